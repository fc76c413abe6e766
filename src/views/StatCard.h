#pragma once

#include "views/RoundedPanel.h"

class QLabel;

namespace quendle2 {

/// A small titled box with one figure: "Duration", "Max Speed", "Avg Speed".
class StatCard final : public RoundedPanel {
    Q_OBJECT
public:
    StatCard(const QString& title, const QString& value, QWidget* parent = nullptr);

    QString title() const;
    QString value() const;
    void setValue(const QString& value);

private:
    QLabel* m_title = nullptr;
    QLabel* m_value = nullptr;
};

} // namespace quendle2
