#include "views/TripSelection.h"

namespace quendle2 {

void TripSelection::setTripID(const std::optional<QUuid>& tripID) {
    if (tripID == m_tripID) {
        return;
    }
    m_tripID = tripID;
    Q_EMIT changed();
}

} // namespace quendle2
