#include "store/Trip.h"

#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/StoreValues.h"

#include <cmath>

namespace quendle2 {

Trip::Trip()
    : PersistentModel(nullptr) {}

Trip::Trip(QDateTime startDate, QString trainIdentifier, bool active, QObject* parent)
    : PersistentModel(parent)
    , m_id(QUuid::createUuid())
    , m_startDate(std::move(startDate))
    , m_trainIdentifier(std::move(trainIdentifier))
    , m_active(active) {
    // A trip that was never stored has, by definition, no samples yet.
    m_sampleCount = 0;
    m_stats = SpeedStats{};
    m_latestMark.emplace();
}

Trip::~Trip() = default;

QString Trip::titleFor(const QString& trainIdentifier) {
    return trainIdentifier.isEmpty() ? tr("Unknown Train") : trainIdentifier;
}

QVariant Trip::columnValue(int column) const {
    switch (column) {
    case Id:
        return StoreValues::fromUuid(m_id);
    case StartDate:
        return StoreValues::fromInstant(m_startDate);
    case EndDate:
        return StoreValues::fromInstant(m_endDate);
    case TrainIdentifier:
        return m_trainIdentifier;
    case Active:
        return StoreValues::fromBool(m_active);
    case MaxSpeed:
        return m_maxSpeed;
    case AvgSpeed:
        return m_avgSpeed;
    case SelectedStopEva:
        return StoreValues::fromText(m_selectedStopEva);
    }
    return {};
}

void Trip::loadColumn(int column, const QVariant& value) {
    switch (column) {
    case Id:
        m_id = QUuid::fromString(value.toString());
        break;
    case StartDate:
        m_startDate = StoreValues::toInstant(value);
        break;
    case EndDate:
        m_endDate = StoreValues::toOptionalInstant(value);
        break;
    case TrainIdentifier:
        m_trainIdentifier = value.toString();
        break;
    case Active:
        m_active = value.toLongLong() != 0;
        break;
    case MaxSpeed:
        m_maxSpeed = value.toDouble();
        break;
    case AvgSpeed:
        m_avgSpeed = value.toDouble();
        break;
    case SelectedStopEva:
        m_selectedStopEva = StoreValues::toOptionalText(value);
        break;
    }
}

void Trip::setId(const QUuid& id) {
    write(m_id, id, &Trip::idChanged, Id);
}

void Trip::setStartDate(const QDateTime& startDate) {
    write(m_startDate, startDate, &Trip::startDateChanged, StartDate);
}

void Trip::setEndDate(const std::optional<QDateTime>& endDate) {
    write(m_endDate, endDate, &Trip::endDateChanged, EndDate);
}

void Trip::setTrainIdentifier(const QString& trainIdentifier) {
    write(m_trainIdentifier, trainIdentifier, &Trip::trainIdentifierChanged, TrainIdentifier);
}

void Trip::setActive(bool active) {
    write(m_active, active, &Trip::activeChanged, Active);
}

void Trip::setMaxSpeed(double maxSpeed) {
    write(m_maxSpeed, maxSpeed, &Trip::maxSpeedChanged, MaxSpeed);
}

void Trip::setAvgSpeed(double avgSpeed) {
    write(m_avgSpeed, avgSpeed, &Trip::avgSpeedChanged, AvgSpeed);
}

void Trip::setSelectedStopEva(const std::optional<QString>& eva) {
    write(m_selectedStopEva, eva, &Trip::selectedStopEvaChanged, SelectedStopEva);
}

QList<SpeedSample*> Trip::samples() const {
    ModelContext* context = modelContext();
    if (m_samples) {
        QList<SpeedSample*> list;
        list.reserve(m_samples->size());
        for (const RecordRef<SpeedSample>& sample : *m_samples) {
            if (sample && !sample->isDeleted()) {
                list.append(sample);
            }
        }
        return list;
    }
    if (context == nullptr) {
        return {};
    }
    const auto loaded = context->samplesOf(this);
    if (!loaded.ok()) {
        return {}; // reported by the context; not kept, so the next call reads again
    }
    if (m_sampleHolders > 0) {
        m_samples.emplace(loaded.value().begin(), loaded.value().end());
    }
    return loaded.value();
}

void Trip::holdSamples() {
    ++m_sampleHolders;
}

void Trip::releaseSamples() {
    if (--m_sampleHolders == 0) {
        m_samples.reset();
    }
}

void Trip::appendSample(SpeedSample* sample) {
    if (sample != nullptr && sample->trip() != this) {
        sample->setTrip(this);
    }
}

qint64 Trip::sampleCount() const {
    if (!m_sampleCount) {
        positiveSpeedStats(); // fills in the count, unless the read failed
    }
    return m_sampleCount.value_or(0);
}

SpeedSample* Trip::latestSample() const {
    ModelContext* context = modelContext();
    if (context == nullptr || isDeleted()) {
        return nullptr;
    }
    const auto latest = context->latestSampleOf(this);
    return latest.ok() ? latest.value() : nullptr; // a failure is reported by the context
}

std::optional<Trip::SampleMark> Trip::latestSampleMark() const {
    if (!m_latestMark) {
        ModelContext* context = modelContext();
        const auto latest = context != nullptr && !isDeleted()
                                ? context->latestSampleOf(this)
                                : Result<SpeedSample*, StoreError>::success(nullptr);
        if (!latest.ok()) {
            return std::nullopt; // not kept: the next call reads again
        }
        m_latestMark = latest.value() != nullptr
                           ? std::optional<SampleMark>(
                                 SampleMark{latest.value()->timestamp(), latest.value()->speedKmh()})
                           : std::nullopt;
    }
    return *m_latestMark;
}

Trip::SpeedStats Trip::positiveSpeedStats() const {
    if (!m_stats) {
        ModelContext* context = modelContext();
        const auto read = context != nullptr ? context->sampleAggregateOf(this)
                                             : Result<ModelContext::SampleAggregate, StoreError>::success({});
        if (!read.ok()) {
            return {}; // not kept: the next call reads again
        }
        const ModelContext::SampleAggregate& aggregate = read.value();
        m_sampleCount = aggregate.count;
        m_stats = SpeedStats{aggregate.positiveMax, aggregate.positiveMean, aggregate.positiveCount};
    }
    return *m_stats;
}

void Trip::sampleJoined(SpeedSample* sample) {
    if (m_samples) {
        m_samples->append(sample);
    }
    if (m_sampleCount) {
        ++*m_sampleCount;
    }
    const double speed = sample->speedKmh();
    // Equal times: the later insert is the latest, as in the store's order.
    if (m_latestMark && (!*m_latestMark || sample->timestamp() >= (*m_latestMark)->timestamp)) {
        *m_latestMark = SampleMark{sample->timestamp(), speed};
    }
    if (m_stats && speed > 0 && std::isfinite(speed)) {
        m_stats->count += 1;
        m_stats->maximum = std::max(m_stats->maximum, speed);
        // A running mean, not a running sum: two huge speeds would make a sum, and the average for good,
        // infinite.
        m_stats->average += (speed - m_stats->average) / static_cast<double>(m_stats->count);
    }
    Q_EMIT samplesChanged();
}

void Trip::sampleLeft(SpeedSample* sample) {
    if (m_samples) {
        m_samples->removeAll(sample);
    }
    // A maximum cannot be taken back incrementally; the next reader recounts from the store.
    m_sampleCount.reset();
    m_stats.reset();
    m_latestMark.reset();
    Q_EMIT samplesChanged();
}

void Trip::forgetSampleCache() {
    m_samples.reset();
    m_sampleCount.reset();
    m_stats.reset();
    m_latestMark.reset();
}

} // namespace quendle2
