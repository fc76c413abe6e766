// Adopting, reusing, creating and closing trips, and recording speed samples.

#include "platform/Log.h"
#include "service/TrainService.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/Trip.h"

#include <cmath>

namespace quendle2 {

namespace {

FetchDescriptor newestFirst(QList<FetchDescriptor::Condition> filter = {}) {
    return FetchDescriptor{std::move(filter), {{QStringLiteral("startDate"), false}}, std::nullopt};
}

} // namespace

void TrainService::closeTrip(Trip* trip, const QDateTime& at) {
    trip->setActive(false);
    trip->setEndDate(at);
    if (trip == currentTrip()) {
        setCurrentTrip(nullptr);
    }
}

void TrainService::reconcileActiveTrips() {
    if (!m_modelContext) {
        return;
    }
    const auto trips = m_modelContext->fetch<Trip>(newestFirst());
    if (!trips.ok()) {
        return;
    }
    QList<Trip*> active;
    for (Trip* trip : trips.value()) {
        if (trip->active()) {
            active.append(trip);
        }
    }
    if (active.isEmpty()) {
        setCurrentTrip(nullptr);
        qCDebug(lcTrainService).noquote() << "No active trip found during reconciliation";
        return;
    }
    setCurrentTrip(active.first());
    qCInfo(lcTrainService).noquote()
        << QStringLiteral("Reconciled existing active trip ident=%1").arg(active.first()->trainIdentifier());
    for (qsizetype i = 1; i < active.size(); ++i) {
        active[i]->setActive(false);
        active[i]->setEndDate(m_clock.now());
        qCCritical(lcTrainService).noquote()
            << QStringLiteral("Closed duplicate active trip ident=%1").arg(active[i]->trainIdentifier());
    }
}

Trip* TrainService::findOrCreateTrip(const QString& identifier) {
    const auto trips = m_modelContext->fetch<Trip>(
        newestFirst({FetchDescriptor::Condition::textEquals(QStringLiteral("trainIdentifier"), identifier)}));
    if (trips.ok() && !trips.value().isEmpty()) {
        Trip* newest = trips.value().first();
        if (newest->active()) {
            setSelectedStopEva(newest->selectedStopEva());
            qCInfo(lcTrainService).noquote()
                << QStringLiteral("Reusing active trip ident=%1").arg(identifier);
            return newest;
        }
        if (Clock::secondsBetween(newest->startDate(), m_clock.now()) <= tripReuseWindow) {
            // Taken up as it is: it stays inactive and keeps its end date.
            setSelectedStopEva(newest->selectedStopEva());
            qCInfo(lcTrainService).noquote()
                << QStringLiteral("Reusing recent trip ident=%1").arg(identifier);
            return newest;
        }
    }
    Trip* trip = m_modelContext->insert(std::make_unique<Trip>(m_clock.now(), identifier, true));
    if (trip == nullptr) {
        return nullptr;
    }
    setSelectedStopEva(std::nullopt);
    qCInfo(lcTrainService).noquote() << QStringLiteral("Created new trip ident=%1").arg(identifier);
    return trip;
}

bool TrainService::shouldRecordSample(const std::optional<Trip::SampleMark>& latest, double speedKmh) const {
    return !latest || std::abs(latest->speedKmh - speedKmh) >= sampleSpeedStep ||
           Clock::secondsBetween(latest->timestamp, m_clock.now()) >= sampleInterval;
}

void TrainService::recordSpeedSample(double speedKmh, std::optional<double> latitude,
                                     std::optional<double> longitude) {
    if (!m_modelContext) {
        return;
    }
    if (currentTrip() == nullptr && !m_trainIdentifier.isEmpty()) {
        setCurrentTrip(findOrCreateTrip(m_trainIdentifier));
    }
    Trip* trip = currentTrip();
    if (trip == nullptr || !shouldRecordSample(trip->latestSampleMark(), speedKmh)) {
        return;
    }
    const QDateTime now = m_clock.now();
    if (m_modelContext->insert(
            std::make_unique<SpeedSample>(now, speedKmh, trip, nullptr, latitude, longitude)) == nullptr) {
        return;
    }
    assign(m_lastSampleAt, now, &TrainService::lastSampleAtChanged);
    qCDebug(lcTrainService).noquote()
        << QStringLiteral("Recorded speed sample: speed=%1 km/h totalSamples=%2")
               .arg(Log::fixed(speedKmh, 1), Log::integer(trip->sampleCount()));
    // Kept up to date by the trip itself, so this never rereads all samples.
    const Trip::SpeedStats stats = trip->positiveSpeedStats();
    if (m_modelContext->lastReadError()) {
        return; // no statistics could be read: the stored ones stay
    }
    trip->setMaxSpeed(stats.count > 0 ? stats.maximum : 0.0);
    if (stats.count > 0) {
        trip->setAvgSpeed(stats.average);
    }
}

void TrainService::closeStaleTrip() {
    Trip* trip = currentTrip();
    if (trip == nullptr) {
        return;
    }
    const QDateTime now = m_clock.now();
    const double sinceStatus = secondsSince(m_lastStatusAt);
    const double sinceSample = secondsSince(m_lastSampleAt);
    if (sinceStatus <= staleTripAfter && sinceSample <= staleTripAfter) {
        return;
    }
    const QDateTime started = trip->startDate();
    closeTrip(trip, now);
    const QString reason =
        sinceStatus > staleTripAfter ? QStringLiteral("disconnect") : QStringLiteral("inactivity");
    qCInfo(lcTrainService).noquote() << QStringLiteral("Trip closed due to %1 start=%2 end=%3")
                                            .arg(reason, Log::date(started), Log::date(now));
}

} // namespace quendle2
