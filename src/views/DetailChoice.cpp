#include "views/DetailChoice.h"

#include "store/Trip.h"

#include <algorithm>

namespace quendle2 {

Trip* chooseDetailTrip(const QList<Trip*>& tripsInStoreOrder, const std::optional<QUuid>& selectedTripID) {
    if (selectedTripID) {
        const auto selected = std::find_if(tripsInStoreOrder.begin(), tripsInStoreOrder.end(),
                                           [&](const Trip* trip) { return trip->id() == *selectedTripID; });
        if (selected != tripsInStoreOrder.end()) {
            return *selected;
        }
    }
    const auto active = std::find_if(tripsInStoreOrder.begin(), tripsInStoreOrder.end(),
                                     [](const Trip* trip) { return trip->active(); });
    if (active != tripsInStoreOrder.end()) {
        return *active;
    }
    return tripsInStoreOrder.isEmpty() ? nullptr : tripsInStoreOrder.first();
}

} // namespace quendle2
