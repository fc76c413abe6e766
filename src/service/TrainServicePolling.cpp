// Start-up, the polling timer and one tick.

#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "portal/ICEPortalClient.h"
#include "service/TrainService.h"
#include "store/ModelContext.h"
#include "store/Trip.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace quendle2 {

TrainService::TrainService(ModelContext* context, QObject* parent)
    : TrainService(context, std::make_unique<ICEPortalClient>(clientTimeout), Clock::system(), parent) {}

TrainService::TrainService(ModelContext* context, const QUrl& origin,
                           const QList<QSslCertificate>& caCertificates, const Clock& clock, QObject* parent)
    : TrainService(context, std::make_unique<ICEPortalClient>(clientTimeout, origin, caCertificates), clock,
                   parent) {}

TrainService::TrainService(ModelContext* context, std::unique_ptr<PortalClient> client, const Clock& clock,
                           QObject* parent)
    : QObject(parent)
    , m_client(client.release())
    , m_clock(clock) {
    m_client->setParent(this);
    m_modelContext = context; // last, and held weakly: the service never keeps the store alive
}

TrainService::~TrainService() = default;

void TrainService::start() {
    qCInfo(lcTrainService).noquote() << "TrainService start() called";
    // Both steps hold the service weakly: a service released in the meantime starts nothing.
    QTimer::singleShot(0, this, [this] {
        reconcileActiveTrips();
        QTimer::singleShot(500, this, &TrainService::restartPollingTimer);
    });
}

void TrainService::setRefreshInterval(double seconds) {
    assign(m_refreshInterval, seconds, &TrainService::refreshIntervalChanged);
    restartPollingTimer();
}

void TrainService::restartPollingTimer() {
    qCDebug(lcTrainService).noquote()
        << QStringLiteral("Restarting polling timer (interval=%1s)").arg(Log::fixed(m_refreshInterval));
    if (m_timer != nullptr) {
        m_timer->stop();
        m_timer->deleteLater();
    }
    auto* timer = new QTimer(this);
    // A damaged settings row may hold anything: never poll faster than once a second (a 0 ms timer would
    // start ticks and HTTPS requests as fast as they can overlap), and never overflow a timer's range.
    const double milliseconds = m_refreshInterval * 1000.0;
    timer->setInterval(std::isnan(milliseconds) ? minimumTimerMs
                                                : static_cast<int>(std::clamp(
                                                      milliseconds, double(minimumTimerMs), 2147483647.0)));
    connect(timer, &QTimer::timeout, this, &TrainService::timerFired);
    timer->start();
    assign(m_timer, timer, &TrainService::timerChanged);
    QMetaObject::invokeMethod(this, &TrainService::tick, Qt::QueuedConnection);
}

void TrainService::timerFired() {
    QMetaObject::invokeMethod(this, &TrainService::tick, Qt::QueuedConnection);
}

void TrainService::tick() {
    const QDateTime tickStart = m_clock.now();
    qCDebug(lcTrainService).noquote() << "Tick begin";
    // Both documents travel at once; their results are consumed in a fixed order, status first.
    const PortalFetch<ICEStatus> status = m_client->fetchStatus();
    const PortalFetch<ICETripInfo> trip = m_client->fetchTrip();
    status.then(this, [this, trip, tickStart](const PortalFetch<ICEStatus>::Outcome& statusOutcome) {
        const bool statusSucceeded = statusOutcome.ok();
        if (statusSucceeded) {
            qCDebug(lcTrainService).noquote() << "Status fetch success";
            apply(statusOutcome.value());
        } else {
            qCCritical(lcTrainService).noquote()
                << QStringLiteral("Status fetch failed: %1").arg(statusOutcome.error().description);
        }
        trip.then(this,
                  [this, statusSucceeded, tickStart](const PortalFetch<ICETripInfo>::Outcome& tripOutcome) {
                      if (tripOutcome.ok()) {
                          qCDebug(lcTrainService).noquote() << "Trip fetch success";
                          applyTripInfo(tripOutcome.value());
                      } else {
                          qCCritical(lcTrainService).noquote()
                              << QStringLiteral("Trip fetch failed: %1").arg(tripOutcome.error().description);
                      }
                      finishTick(statusSucceeded, tickStart);
                  });
    });
}

double TrainService::secondsSince(const std::optional<QDateTime>& instant) const {
    return instant ? Clock::secondsBetween(*instant, m_clock.now()) : DBL_MAX;
}

void TrainService::finishTick(bool statusSucceeded, const QDateTime& tickStart) {
    const double lastSuccessAge = secondsSince(m_lastStatusAt);
    const bool wasConnected = m_connected;
    if (statusSucceeded) {
        setConnected(true);
    } else if (lastSuccessAge > reachabilityGrace) {
        setConnected(false);
    }
    if (m_connected != wasConnected) {
        qCInfo(lcTrainService).noquote()
            << QStringLiteral("Reachability state changed -> connected=%1 lastSuccessAge=%2s")
                   .arg(Log::boolText(m_connected), Log::fixed(lastSuccessAge, 1));
    }
    closeStaleTrip();
    NotificationCenter::defaultCenter().post(Notification::TrainServiceDidUpdate);
    qCDebug(lcTrainService).noquote()
        << QStringLiteral("Tick end (elapsed=%1s) connected=%2 lastSuccessAge=%3s")
               .arg(Log::fixed(Clock::secondsBetween(tickStart, m_clock.now()), 3),
                    Log::boolText(m_connected), Log::fixed(lastSuccessAge, 1));
    Q_EMIT tickFinished();
}

ModelContext* TrainService::modelContext() const {
    return m_modelContext;
}

Trip* TrainService::currentTrip() const {
    return m_currentTrip && !m_currentTrip->isDeleted() ? m_currentTrip.get() : nullptr;
}

void TrainService::setCurrentTrip(Trip* trip) {
    if (m_currentTrip != trip) {
        if (m_currentTrip) {
            disconnect(m_currentTrip.get(), nullptr, this, nullptr);
        }
        m_lastSnapshotDelay.clear();
        if (trip != nullptr) {
            // The user may delete a reused (inactive) current trip; from then on there is none.
            connect(trip, &PersistentModel::deleted, this, [this] { setCurrentTrip(nullptr); });
        }
    }
    assign(m_currentTrip, RecordRef<Trip>(trip), &TrainService::currentTripChanged);
}

} // namespace quendle2
