#pragma once

#include "store/PersistentModel.h"
#include "store/RecordRef.h"

#include <QDateTime>
#include <QPointer>

#include <optional>

namespace quendle2 {

class Trip;

/// A stop's arrival data at the moment its delay text changed. The trip link has no inverse: deleting the
/// trip empties the link and keeps the snapshot.
class StopSnapshot final : public PersistentModel {
    Q_OBJECT
public:
    enum Column {
        CreatedAt,
        TripLink,
        StationEva,
        StationName,
        ScheduledArrivalTime,
        ActualArrivalTime,
        ArrivalDelayText
    };

    StopSnapshot(QDateTime createdAt, Trip* trip, QString stationEva, QString stationName,
                 std::optional<QDateTime> scheduledArrivalTime, std::optional<QDateTime> actualArrivalTime,
                 std::optional<QString> arrivalDelayText, QObject* parent = nullptr);

    static constexpr RecordType staticType = RecordType::StopSnapshot;
    RecordType recordType() const override { return staticType; }
    QVariant columnValue(int column) const override;

    QDateTime createdAt() const { return m_createdAt; }
    Trip* trip() const { return m_trip; }
    QString stationEva() const { return m_stationEva; }
    QString stationName() const { return m_stationName; }
    std::optional<QDateTime> scheduledArrivalTime() const { return m_scheduledArrivalTime; }
    std::optional<QDateTime> actualArrivalTime() const { return m_actualArrivalTime; }
    std::optional<QString> arrivalDelayText() const { return m_arrivalDelayText; }

    void setCreatedAt(const QDateTime& value);
    void setTrip(Trip* trip);
    void setStationEva(const QString& value);
    void setStationName(const QString& value);
    void setScheduledArrivalTime(const std::optional<QDateTime>& value);
    void setActualArrivalTime(const std::optional<QDateTime>& value);
    void setArrivalDelayText(const std::optional<QString>& value);

Q_SIGNALS:
    void createdAtChanged();
    void tripChanged();
    void stationEvaChanged();
    void stationNameChanged();
    void scheduledArrivalTimeChanged();
    void actualArrivalTimeChanged();
    void arrivalDelayTextChanged();

protected:
    void loadColumn(int column, const QVariant& value) override;
    void loadTripLink(Trip* trip) override;

private:
    friend class ModelContext;

    StopSnapshot();

    QDateTime m_createdAt;
    RecordRef<Trip> m_trip;
    QString m_stationEva;
    QString m_stationName;
    std::optional<QDateTime> m_scheduledArrivalTime;
    std::optional<QDateTime> m_actualArrivalTime;
    std::optional<QString> m_arrivalDelayText;
};

} // namespace quendle2
