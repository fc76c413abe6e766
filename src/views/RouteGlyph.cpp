#include "views/RouteGlyph.h"

#include "views/ViewStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace quendle2 {

namespace {

constexpr int markerSize = 8;
constexpr int symbolSize = 12;

} // namespace

RouteGlyph::RouteGlyph(Kind kind, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void RouteGlyph::setMarker(RoutePresentation::Marker marker) {
    if (marker != m_marker) {
        m_marker = marker;
        update();
    }
}

void RouteGlyph::setExpanded(bool expanded) {
    if (expanded != m_expanded) {
        m_expanded = expanded;
        update();
    }
}

QSize RouteGlyph::sizeHint() const {
    const int side = m_kind == Kind::Marker ? markerSize : symbolSize;
    return {side, side};
}

void RouteGlyph::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    switch (m_kind) {
    case Kind::Marker: {
        using RoutePresentation::Marker;
        QColor fill = Qt::transparent;
        if (m_marker == Marker::Current) {
            fill = ViewStyle::accent(colours);
        } else if (m_marker == Marker::Passed) {
            fill = ViewStyle::colour(colours, ViewStyle::Tone::Secondary);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawEllipse(box);
        QColor outline = ViewStyle::colour(colours, ViewStyle::Tone::Secondary);
        outline.setAlphaF(0.4f);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(box);
        break;
    }
    case Kind::Target: {
        const QColor tint = ViewStyle::accent(colours);
        painter.setPen(QPen(tint, 1.2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.drawEllipse(box.center(), box.width() / 4, box.height() / 4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(tint);
        painter.drawEllipse(box.center(), 1.2, 1.2);
        break;
    }
    case Kind::Chevron: {
        painter.setPen(QPen(ViewStyle::colour(colours, ViewStyle::Tone::Secondary), 1.5, Qt::SolidLine,
                            Qt::RoundCap, Qt::RoundJoin));
        const QPointF c = box.center();
        const double r = box.width() / 4;
        QPainterPath path;
        if (m_expanded) {
            path.moveTo(c.x() - r, c.y() - r / 2);
            path.lineTo(c.x(), c.y() + r / 2);
            path.lineTo(c.x() + r, c.y() - r / 2);
        } else {
            path.moveTo(c.x() - r / 2, c.y() - r);
            path.lineTo(c.x() + r / 2, c.y());
            path.lineTo(c.x() - r / 2, c.y() + r);
        }
        painter.drawPath(path);
        break;
    }
    }
}

} // namespace quendle2
