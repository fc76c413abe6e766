#pragma once

#include "store/PersistentModel.h"
#include "store/RecordRef.h"
#include "store/Trip.h"

#include <QDateTime>
#include <QPointer>

#include <optional>

namespace quendle2 {

class Trip;

/// One recorded speed of a trip, with where the train was when the portal told us.
class SpeedSample final : public PersistentModel {
    Q_OBJECT
public:
    enum Column { Timestamp, SpeedKmh, TripLink, Latitude, Longitude };

    SpeedSample(QDateTime timestamp, double speedKmh, Trip* trip = nullptr, QObject* parent = nullptr,
                std::optional<double> latitude = std::nullopt,
                std::optional<double> longitude = std::nullopt);

    static constexpr RecordType staticType = RecordType::SpeedSample;
    RecordType recordType() const override { return staticType; }
    QVariant columnValue(int column) const override;

    QDateTime timestamp() const { return m_timestamp; }
    double speedKmh() const { return m_speedKmh; }
    Trip* trip() const { return m_trip; }
    /// Degrees (WGS 84); absent on samples recorded without a position, and on every one before 1.2.0.
    std::optional<double> latitude() const { return m_latitude; }
    std::optional<double> longitude() const { return m_longitude; }

    void setTimestamp(const QDateTime& timestamp);
    void setSpeedKmh(double speedKmh);
    /// Links the sample to a trip; the trip's `samples` follows (the two are each other's inverse).
    void setTrip(Trip* trip);
    void setLatitude(std::optional<double> latitude);
    void setLongitude(std::optional<double> longitude);

Q_SIGNALS:
    void timestampChanged();
    void speedKmhChanged();
    void tripChanged();
    void latitudeChanged();
    void longitudeChanged();

protected:
    void loadColumn(int column, const QVariant& value) override;
    void loadTripLink(Trip* trip) override;

private:
    friend class ModelContext;

    SpeedSample();

    QDateTime m_timestamp;
    double m_speedKmh = 0;
    RecordRef<Trip> m_trip;
    std::optional<double> m_latitude;
    std::optional<double> m_longitude;
};

} // namespace quendle2
