#include "store/StopSnapshot.h"

#include "store/StoreValues.h"
#include "store/Trip.h"

namespace quendle2 {

StopSnapshot::StopSnapshot()
    : PersistentModel(nullptr) {}

StopSnapshot::StopSnapshot(QDateTime createdAt, Trip* trip, QString stationEva, QString stationName,
                           std::optional<QDateTime> scheduledArrivalTime,
                           std::optional<QDateTime> actualArrivalTime,
                           std::optional<QString> arrivalDelayText, QObject* parent)
    : PersistentModel(parent)
    , m_createdAt(std::move(createdAt))
    , m_trip(trip)
    , m_stationEva(std::move(stationEva))
    , m_stationName(std::move(stationName))
    , m_scheduledArrivalTime(std::move(scheduledArrivalTime))
    , m_actualArrivalTime(std::move(actualArrivalTime))
    , m_arrivalDelayText(std::move(arrivalDelayText)) {}

QVariant StopSnapshot::columnValue(int column) const {
    switch (column) {
    case CreatedAt:
        return StoreValues::fromInstant(m_createdAt);
    case TripLink:
        // A deleted trip's row id may be handed to a new trip: never store a link to it.
        return m_trip && m_trip->isInserted() ? QVariant(m_trip->persistentId()) : QVariant();
    case StationEva:
        return m_stationEva;
    case StationName:
        return m_stationName;
    case ScheduledArrivalTime:
        return StoreValues::fromInstant(m_scheduledArrivalTime);
    case ActualArrivalTime:
        return StoreValues::fromInstant(m_actualArrivalTime);
    case ArrivalDelayText:
        return StoreValues::fromText(m_arrivalDelayText);
    }
    return {};
}

void StopSnapshot::loadColumn(int column, const QVariant& value) {
    switch (column) {
    case CreatedAt:
        m_createdAt = StoreValues::toInstant(value);
        break;
    case StationEva:
        m_stationEva = value.toString();
        break;
    case StationName:
        m_stationName = value.toString();
        break;
    case ScheduledArrivalTime:
        m_scheduledArrivalTime = StoreValues::toOptionalInstant(value);
        break;
    case ActualArrivalTime:
        m_actualArrivalTime = StoreValues::toOptionalInstant(value);
        break;
    case ArrivalDelayText:
        m_arrivalDelayText = StoreValues::toOptionalText(value);
        break;
    default:
        break;
    }
}

void StopSnapshot::loadTripLink(Trip* trip) {
    m_trip = trip;
}

void StopSnapshot::setCreatedAt(const QDateTime& value) {
    write(m_createdAt, value, &StopSnapshot::createdAtChanged, CreatedAt);
}

void StopSnapshot::setTrip(Trip* trip) {
    write(m_trip, RecordRef<Trip>(trip), &StopSnapshot::tripChanged, TripLink);
}

void StopSnapshot::setStationEva(const QString& value) {
    write(m_stationEva, value, &StopSnapshot::stationEvaChanged, StationEva);
}

void StopSnapshot::setStationName(const QString& value) {
    write(m_stationName, value, &StopSnapshot::stationNameChanged, StationName);
}

void StopSnapshot::setScheduledArrivalTime(const std::optional<QDateTime>& value) {
    write(m_scheduledArrivalTime, value, &StopSnapshot::scheduledArrivalTimeChanged, ScheduledArrivalTime);
}

void StopSnapshot::setActualArrivalTime(const std::optional<QDateTime>& value) {
    write(m_actualArrivalTime, value, &StopSnapshot::actualArrivalTimeChanged, ActualArrivalTime);
}

void StopSnapshot::setArrivalDelayText(const std::optional<QString>& value) {
    write(m_arrivalDelayText, value, &StopSnapshot::arrivalDelayTextChanged, ArrivalDelayText);
}

} // namespace quendle2
