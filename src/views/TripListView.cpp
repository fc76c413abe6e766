#include "views/TripListView.h"

#include <QMouseEvent>

namespace quendle2 {

QItemSelectionModel::SelectionFlags TripListView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
    const bool mouse = event != nullptr &&
                       (event->type() == QEvent::MouseButtonPress ||
                        event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseMove);
    if (mouse) {
        const auto* press = static_cast<const QMouseEvent*>(event);
        if (press->button() == Qt::RightButton || press->buttons().testFlag(Qt::RightButton)) {
            return QItemSelectionModel::NoUpdate;
        }
    }
    return QListView::selectionCommand(index, event);
}

} // namespace quendle2
