#include "views/RoundedPanel.h"

#include "views/ViewStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace quendle2 {

RoundedPanel::RoundedPanel(bool thick, QWidget* parent)
    : QWidget(parent)
    , m_thick(thick) {}

void RoundedPanel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ViewStyle::material(palette(), m_thick));
    painter.drawRoundedRect(QRectF(rect()), ViewStyle::cornerRadius, ViewStyle::cornerRadius);
}

} // namespace quendle2
