#pragma once

#include <QList>
#include <QUuid>

#include <optional>

namespace quendle2 {

class Trip;

/// Which trip the detail pane shows, from all trips in store order and the sidebar's selection: the
/// selected trip if it still exists, else the first active trip, else the first trip; none only when there
/// are no trips at all.
Trip* chooseDetailTrip(const QList<Trip*>& tripsInStoreOrder, const std::optional<QUuid>& selectedTripID);

} // namespace quendle2
