#pragma once

#include "platform/Clock.h"
#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"
#include "portal/PortalClient.h"
#include "service/StopPlatform.h"
#include "store/Trip.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

namespace quendle2 {

class ModelContext;
class SpeedSample;
class Trip;

/// The live state of the journey and the engine behind it: polls the portal, applies what it says, and
/// keeps the trip store up to date. Every property assignment emits its change signal, also for an
/// unchanged value, so that views and the menu bar can follow without polling.
///
/// Its work is split by concern: TrainServicePolling.cpp (start, timer, tick), TrainServiceStatus.cpp
/// (status and train change), TrainServiceTrips.cpp (trips and samples), TrainServiceStops.cpp (route,
/// arrival and delay snapshots).
class TrainService final : public QObject {
    Q_OBJECT
public:
    /// One usable stop of the route, rebuilt with a fresh id on every trip-info document.
    struct TripStop {
        const QUuid id;
        const QString eva;
        const QString name;
        const std::optional<QDateTime> scheduledArrival;
        const std::optional<QDateTime> actualArrival;
        const std::optional<QString> arrivalDelayText;
        const std::optional<QDateTime> scheduledDeparture;
        const std::optional<QDateTime> actualDeparture;
        const std::optional<QString> departureDelayText;
        const bool passed;
        const StopPlatform platform = {};
        /// The portal's reasons for the delay, in its words (German), in its order.
        const QStringList delayReasons = {};

        bool operator==(const TripStop&) const = default;
    };

    /// A stop still ahead; its id is its own, not the TripStop's.
    struct UpcomingStop {
        const QUuid id;
        const QString eva;
        const QString name;
        const std::optional<QDateTime> scheduledArrival;
        const std::optional<QDateTime> actualArrival;
        const std::optional<QString> arrivalDelayText;
        const bool passed;
        const StopPlatform platform = {};

        bool operator==(const UpcomingStop&) const = default;
    };

    static constexpr double clientTimeout = 3.0;
    static constexpr double reachabilityGrace = 120.0;
    static constexpr double changeDebounce = 30.0;
    static constexpr double tripReuseWindow = 1800.0;
    static constexpr double staleTripAfter = 1200.0;
    static constexpr double sampleSpeedStep = 1.0;
    static constexpr double sampleInterval = 30.0;
    static constexpr int minimumTimerMs = 1000;

    /// The production portal with a 3-second time-out and the wall clock. `context` may be null: the service
    /// then polls and updates its live state but touches no store.
    explicit TrainService(ModelContext* context, QObject* parent = nullptr);
    /// Another portal endpoint (tests, the demo), trusting only `caCertificates`.
    TrainService(ModelContext* context, const QUrl& origin, const QList<QSslCertificate>& caCertificates,
                 const Clock& clock, QObject* parent = nullptr);
    /// A client of the caller's making (tests).
    TrainService(ModelContext* context, std::unique_ptr<PortalClient> client, const Clock& clock,
                 QObject* parent = nullptr);
    ~TrainService() override;

    // Observable state, in declaration order.
    bool connected() const { return m_connected; }
    double currentSpeedKmh() const { return m_currentSpeedKmh; }
    QString wifiQuality() const { return m_wifiQuality; }
    QString trainIdentifier() const { return m_trainIdentifier; }
    std::optional<QDateTime> lastStatusAt() const { return m_lastStatusAt; }
    /// The Wi-Fi forecast of the latest status document.
    std::optional<ICEStatus::Connectivity> connectivity() const { return m_connectivity; }
    /// The last stop of the train's run, from the trip document.
    std::optional<QString> finalStationName() const { return m_finalStationName; }
    /// Metres travelled and the run's whole length, from the trip document.
    std::optional<qint64> actualPositionMeters() const { return m_actualPositionMeters; }
    std::optional<qint64> totalDistanceMeters() const { return m_totalDistanceMeters; }
    /// The trip samples and snapshots go into; a trip the user has deleted counts as none.
    Trip* currentTrip() const;
    const std::vector<UpcomingStop>& upcomingStops() const { return m_upcomingStops; }
    const std::vector<TripStop>& allStops() const { return m_allStops; }
    std::optional<qsizetype> currentStopIndex() const { return m_currentStopIndex; }
    std::optional<QString> selectedStopEva() const { return m_selectedStopEva; }
    double refreshInterval() const { return m_refreshInterval; }
    ModelContext* modelContext() const;

    /// Stores the interval (seconds, not clamped), restarts the timer and runs one tick at once.
    void setRefreshInterval(double seconds);

    /// Adopts the newest active trip of the last run now-ish, and starts polling half a second later.
    void start();

    /// The stop whose arrival the menu bar shows: the chosen one while it is ahead, else the next one.
    std::optional<UpcomingStop> menubarArrivalStop() const;
    /// The destination selector's choice: an upcoming stop's EVA number, or none for automatic.
    void selectDestination(const std::optional<QString>& eva);

Q_SIGNALS:
    void connectedChanged();
    void portalConnectionFlagChanged();
    void currentSpeedKmhChanged();
    void wifiQualityChanged();
    void trainIdentifierChanged();
    void lastStatusAtChanged();
    void connectivityChanged();
    void finalStationNameChanged();
    void actualPositionMetersChanged();
    void totalDistanceMetersChanged();
    void currentTripChanged();
    void upcomingStopsChanged();
    void allStopsChanged();
    void currentStopIndexChanged();
    void selectedStopEvaChanged();
    void refreshIntervalChanged();
    void timerChanged();
    void lastConnectedAtChanged();
    void lastSampleAtChanged();
    void changeCandidateIdentChanged();
    void changeCandidateSinceChanged();
    /// A tick has run to its end (after "TrainServiceDidUpdate" was posted).
    void tickFinished();

private:
    /// Tests and benchmarks drive the steps below one at a time.
    friend class TrainServiceProbe;

    void restartPollingTimer();
    void timerFired();
    /// One polling cycle; finishes when both fetches have been consumed.
    void tick();

    // Status and train change.
    void apply(const ICEStatus& status);
    void evaluateTrainChange(const QString& identifier);
    /// trainType and tzn (without "ICE") joined by a space and trimmed; empty when neither says anything.
    static QString composeIdentifier(const std::optional<QString>& trainType,
                                     const std::optional<QString>& tzn);

    // Trips and samples.
    void reconcileActiveTrips();
    Trip* findOrCreateTrip(const QString& identifier);
    void recordSpeedSample(double speedKmh, std::optional<double> latitude, std::optional<double> longitude);
    bool shouldRecordSample(const std::optional<Trip::SampleMark>& latest, double speedKmh) const;
    void closeStaleTrip();

    // Stops.
    void applyTripInfo(const ICETripInfo& info);
    static std::optional<TripStop> makeTripStop(const ICETripInfo::Trip::Stop& stop);
    void recordDelaySnapshots(const std::vector<TripStop>& stops);

    template <typename T, typename V>
    void assign(T& field, V&& value, void (TrainService::*changed)()) {
        field = std::forward<V>(value);
        (this->*changed)();
    }

    void setConnected(bool value) { assign(m_connected, value, &TrainService::connectedChanged); }
    void setCurrentTrip(Trip* trip);
    void setSelectedStopEva(const std::optional<QString>& eva) {
        assign(m_selectedStopEva, eva, &TrainService::selectedStopEvaChanged);
    }
    void clearChangeCandidate();
    void closeTrip(Trip* trip, const QDateTime& at);
    void finishTick(bool statusSucceeded, const QDateTime& tickStart);
    /// Seconds since `instant`, or the greatest finite double when there is none.
    double secondsSince(const std::optional<QDateTime>& instant) const;

    bool m_connected = false;
    std::optional<bool> m_portalConnectionFlag;
    double m_currentSpeedKmh = 0;
    QString m_wifiQuality;
    QString m_trainIdentifier;
    std::optional<QDateTime> m_lastStatusAt;
    std::optional<ICEStatus::Connectivity> m_connectivity;
    std::optional<QString> m_finalStationName;
    std::optional<qint64> m_actualPositionMeters;
    std::optional<qint64> m_totalDistanceMeters;
    RecordRef<Trip> m_currentTrip;
    std::vector<UpcomingStop> m_upcomingStops;
    std::vector<TripStop> m_allStops;
    std::optional<qsizetype> m_currentStopIndex;
    std::optional<QString> m_selectedStopEva;
    double m_refreshInterval = 5;
    QTimer* m_timer = nullptr;
    PortalClient* m_client = nullptr;
    QPointer<ModelContext> m_modelContext;
    std::optional<QDateTime> m_lastConnectedAt;
    std::optional<QDateTime> m_lastSampleAt;
    std::optional<QString> m_changeCandidateIdent;
    std::optional<QDateTime> m_changeCandidateSince;

    const Clock& m_clock;
    /// The newest delay text recorded for each stop of the current trip, so that a tick does not query the
    /// store once per stop. Only this service writes snapshots, so it stays true; it is dropped whenever the
    /// current trip changes.
    QHash<QString, std::optional<QString>> m_lastSnapshotDelay;
    QUuid m_lastSnapshotTrip;
};

} // namespace quendle2
