#pragma once

#include "views/UnfocusedItemDelegate.h"

#include <QColor>

namespace quendle2 {

/// Draws a trip of the sidebar: its train and start date on the left, "Active" on the right while it runs.
class TripRowDelegate final : public UnfocusedItemDelegate {
    Q_OBJECT
public:
    using UnfocusedItemDelegate::UnfocusedItemDelegate;

    /// The "Active" badge's text and what it stands on: the list's base, or on a selected row a pill of the
    /// highlighted-text colour, since green on the selection colour is barely legible.
    struct BadgeColours {
        QColor text;
        QColor background;
        bool pill = false;
    };
    static BadgeColours badgeColours(const QPalette& palette, bool selected);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace quendle2
