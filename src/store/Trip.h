#pragma once

#include "store/PersistentModel.h"
#include "store/RecordRef.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QUuid>

#include <optional>

namespace quendle2 {

class SpeedSample;

/// One journey on one train, with its speed samples.
class Trip final : public PersistentModel {
    Q_OBJECT
public:
    enum Column { Id, StartDate, EndDate, TrainIdentifier, Active, MaxSpeed, AvgSpeed, SelectedStopEva };

    /// The speeds above zero recorded into a trip: what its maximum and average speed are made of.
    struct SpeedStats {
        double maximum = 0;
        double average = 0;
        qint64 count = 0;
    };
    /// When the latest sample was taken, and its speed.
    struct SampleMark {
        QDateTime timestamp;
        double speedKmh = 0;
    };

    /// A new trip with a fresh random id, no end, no samples and speeds of 0.
    Trip(QDateTime startDate, QString trainIdentifier, bool active, QObject* parent = nullptr);
    ~Trip() override; // out of line: the sample list needs SpeedSample complete

    static constexpr RecordType staticType = RecordType::Trip;
    RecordType recordType() const override { return staticType; }
    QVariant columnValue(int column) const override;

    QUuid id() const { return m_id; }
    QDateTime startDate() const { return m_startDate; }
    std::optional<QDateTime> endDate() const { return m_endDate; }
    QString trainIdentifier() const { return m_trainIdentifier; }
    bool active() const { return m_active; }
    double maxSpeed() const { return m_maxSpeed; }
    double avgSpeed() const { return m_avgSpeed; }
    std::optional<QString> selectedStopEva() const { return m_selectedStopEva; }
    /// What the trip is called wherever it is listed or exported: its train, or "Unknown Train" while the
    /// portal has not named one.
    QString title() const { return titleFor(m_trainIdentifier); }
    static QString titleFor(const QString& trainIdentifier);

    void setId(const QUuid& id);
    void setStartDate(const QDateTime& startDate);
    void setEndDate(const std::optional<QDateTime>& endDate);
    void setTrainIdentifier(const QString& trainIdentifier);
    void setActive(bool active);
    void setMaxSpeed(double maxSpeed);
    void setAvgSpeed(double avgSpeed);
    void setSelectedStopEva(const std::optional<QString>& eva);

    /// Every sample linked to this trip, in the order they were recorded; readers that need time order sort
    /// by timestamp. Read from the store on every call, unless a holder keeps them loaded.
    QList<SpeedSample*> samples() const;
    /// Keeps the samples in memory from the next samples() on, and current as samples join, until the last
    /// holder lets go (a chart that redraws with every sample must not reread them each time).
    void holdSamples();
    void releaseSamples();
    /// Links `sample` to this trip (its `trip` field), if it is not already.
    void appendSample(SpeedSample* sample);
    /// How many samples are linked, without loading them.
    qint64 sampleCount() const;
    /// The sample with the latest timestamp, or none; an indexed look-up, whatever the trip's length.
    SpeedSample* latestSample() const;
    /// The latest sample's time and speed, remembered as samples join, so that a poll does not read the
    /// store for it.
    std::optional<SampleMark> latestSampleMark() const;
    /// Maximum and average of the positive speeds, kept up to date as samples are recorded.
    ///
    /// The sample reads above come back empty when the store cannot be read; the context reports that
    /// (ModelContext::lastReadError()) and nothing read from the failure is kept.
    SpeedStats positiveSpeedStats() const;

Q_SIGNALS:
    void idChanged();
    void startDateChanged();
    void endDateChanged();
    void trainIdentifierChanged();
    void activeChanged();
    void maxSpeedChanged();
    void avgSpeedChanged();
    void selectedStopEvaChanged();
    void samplesChanged();

protected:
    void loadColumn(int column, const QVariant& value) override;

private:
    friend class SpeedSample;
    friend class ModelContext;

    Trip();
    void sampleJoined(SpeedSample* sample);
    void sampleLeft(SpeedSample* sample);
    void forgetSampleCache();

    QUuid m_id;
    QDateTime m_startDate;
    std::optional<QDateTime> m_endDate;
    QString m_trainIdentifier;
    bool m_active = false;
    double m_maxSpeed = 0;
    double m_avgSpeed = 0;
    std::optional<QString> m_selectedStopEva;

    // Derived from the samples; loaded once, then kept current, so that no per-sample work scans them all.
    mutable std::optional<QList<RecordRef<SpeedSample>>> m_samples;
    int m_sampleHolders = 0;
    mutable std::optional<qint64> m_sampleCount;
    mutable std::optional<SpeedStats> m_stats;
    mutable std::optional<std::optional<SampleMark>> m_latestMark; ///< outer: known; inner: any sample
};

} // namespace quendle2
