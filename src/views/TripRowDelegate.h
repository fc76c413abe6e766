#pragma once

#include <QStyledItemDelegate>

namespace quendle2 {

/// Draws a trip of the sidebar: its train and start date on the left, "Active" on the right while it runs.
class TripRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace quendle2
