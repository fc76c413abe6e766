#include "store/SpeedSample.h"

#include "store/StoreValues.h"
#include "store/Trip.h"

namespace quendle2 {

SpeedSample::SpeedSample()
    : PersistentModel(nullptr) {}

SpeedSample::SpeedSample(QDateTime timestamp, double speedKmh, Trip* trip, QObject* parent,
                         std::optional<double> latitude, std::optional<double> longitude)
    : PersistentModel(parent)
    , m_timestamp(std::move(timestamp))
    , m_speedKmh(speedKmh)
    , m_trip(trip)
    , m_latitude(latitude)
    , m_longitude(longitude) {}

QVariant SpeedSample::columnValue(int column) const {
    switch (column) {
    case Timestamp:
        return StoreValues::fromInstant(m_timestamp);
    case SpeedKmh:
        return m_speedKmh;
    case TripLink:
        // A deleted trip's row id may be handed to a new trip: never store a link to it.
        return m_trip && m_trip->isInserted() ? QVariant(m_trip->persistentId()) : QVariant();
    case Latitude:
        return StoreValues::fromNumber(m_latitude);
    case Longitude:
        return StoreValues::fromNumber(m_longitude);
    }
    return {};
}

void SpeedSample::loadColumn(int column, const QVariant& value) {
    switch (column) {
    case Timestamp:
        m_timestamp = StoreValues::toInstant(value);
        break;
    case SpeedKmh:
        m_speedKmh = value.toDouble();
        break;
    case Latitude:
        m_latitude = StoreValues::toOptionalNumber(value);
        break;
    case Longitude:
        m_longitude = StoreValues::toOptionalNumber(value);
        break;
    default:
        break;
    }
}

void SpeedSample::loadTripLink(Trip* trip) {
    m_trip = trip;
}

void SpeedSample::setTimestamp(const QDateTime& timestamp) {
    write(m_timestamp, timestamp, &SpeedSample::timestampChanged, Timestamp);
    if (m_trip && isInserted()) {
        m_trip->forgetSampleCache(); // it may no longer be, or may now be, the latest
    }
}

void SpeedSample::setSpeedKmh(double speedKmh) {
    write(m_speedKmh, speedKmh, &SpeedSample::speedKmhChanged, SpeedKmh);
    if (m_trip && isInserted()) {
        m_trip->forgetSampleCache(); // its statistics must be recounted with the new speed
    }
}

void SpeedSample::setLatitude(std::optional<double> latitude) {
    write(m_latitude, latitude, &SpeedSample::latitudeChanged, Latitude);
}

void SpeedSample::setLongitude(std::optional<double> longitude) {
    write(m_longitude, longitude, &SpeedSample::longitudeChanged, Longitude);
}

void SpeedSample::setTrip(Trip* trip) {
    Trip* previous = m_trip;
    write(m_trip, RecordRef<Trip>(trip), &SpeedSample::tripChanged, TripLink);
    if (!isInserted() || previous == trip) {
        return;
    }
    if (previous != nullptr) {
        previous->sampleLeft(this);
    }
    if (trip != nullptr) {
        trip->sampleJoined(this);
    }
}

} // namespace quendle2
