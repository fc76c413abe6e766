#include "views/TripListModel.h"

#include "store/LiveQueryModel.h"
#include "store/Trip.h"
#include "views/TripText.h"

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

QVariant TripListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
        return QIdentityProxyModel::data(index, role);
    }
    const auto* trip = qobject_cast<const Trip*>(
        QIdentityProxyModel::data(index, LiveQueryModel::RecordRole).value<QObject*>());
    if (trip == nullptr) {
        return {};
    }
    const QString title = TripText::rowTitle(trip->trainIdentifier());
    if (role == Qt::DisplayRole) {
        return title;
    }
    const QString date = TripText::dateText(trip->startDate());
    return trip->active() ? tr("%1, %2, Active").arg(title, date) : u"%1, %2"_s.arg(title, date);
}

} // namespace quendle2
