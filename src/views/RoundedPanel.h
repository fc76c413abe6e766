#pragma once

#include <QWidget>

namespace quendle2 {

/// A box with a translucent material behind its content and rounded corners (radius 8): the background of
/// stat cards, the speed chart and its empty state.
class RoundedPanel : public QWidget {
    Q_OBJECT
public:
    explicit RoundedPanel(bool thick, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_thick;
};

} // namespace quendle2
