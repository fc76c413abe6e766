#pragma once

#include <QStyledItemDelegate>

namespace quendle2 {

/// An item delegate without Fusion's focus outline: on the current row of a list where nothing is selected,
/// it reads as a faint selection. The keyboard still moves the current row, and the selection it makes shows.
class UnfocusedItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

} // namespace quendle2
