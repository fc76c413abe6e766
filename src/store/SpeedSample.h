#pragma once

#include "store/PersistentModel.h"
#include "store/RecordRef.h"
#include "store/Trip.h"

#include <QDateTime>
#include <QPointer>

namespace quendle2 {

class Trip;

/// One recorded speed of a trip.
class SpeedSample final : public PersistentModel {
    Q_OBJECT
public:
    enum Column { Timestamp, SpeedKmh, TripLink };

    SpeedSample(QDateTime timestamp, double speedKmh, Trip* trip = nullptr, QObject* parent = nullptr);

    static constexpr RecordType staticType = RecordType::SpeedSample;
    RecordType recordType() const override { return staticType; }
    QVariant columnValue(int column) const override;

    QDateTime timestamp() const { return m_timestamp; }
    double speedKmh() const { return m_speedKmh; }
    Trip* trip() const { return m_trip; }

    void setTimestamp(const QDateTime& timestamp);
    void setSpeedKmh(double speedKmh);
    /// Links the sample to a trip; the trip's `samples` follows (the two are each other's inverse).
    void setTrip(Trip* trip);

Q_SIGNALS:
    void timestampChanged();
    void speedKmhChanged();
    void tripChanged();

protected:
    void loadColumn(int column, const QVariant& value) override;
    void loadTripLink(Trip* trip) override;

private:
    friend class ModelContext;

    SpeedSample();

    QDateTime m_timestamp;
    double m_speedKmh = 0;
    RecordRef<Trip> m_trip;
};

} // namespace quendle2
