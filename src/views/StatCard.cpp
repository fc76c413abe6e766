#include "views/StatCard.h"

#include "views/ViewStyle.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quendle2 {

StatCard::StatCard(const QString& title, const QString& value, QWidget* parent)
    : RoundedPanel(true, parent)
    , m_title(new QLabel(title, this))
    , m_value(new QLabel(value, this)) {
    ViewStyle::style(m_title, ViewStyle::Font::Caption, ViewStyle::Tone::Secondary);
    ViewStyle::style(m_value, ViewStyle::Font::Headline);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(ViewStyle::margin, ViewStyle::margin, ViewStyle::margin, ViewStyle::margin);
    layout->addWidget(m_title);
    layout->addWidget(m_value);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
}

QString StatCard::title() const {
    return m_title->text();
}

QString StatCard::value() const {
    return m_value->text();
}

void StatCard::setValue(const QString& value) {
    m_value->setText(value);
}

} // namespace quendle2
