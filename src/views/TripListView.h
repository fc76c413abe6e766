#pragma once

#include <QListView>

namespace quendle2 {

/// The sidebar's list of trips. A right-click opens the row's menu without selecting the row, so that
/// deleting a trip that is not selected leaves the selection (and the detail pane) as it was.
class TripListView final : public QListView {
    Q_OBJECT
public:
    using QListView::QListView;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
};

} // namespace quendle2
