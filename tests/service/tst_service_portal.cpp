// The service against the simulated portal over real HTTPS, for a whole journey. One manual clock drives
// both: the simulator turns it into scenario seconds, and the service measures its debounce, grace period
// and stale-trip limit on it, so the journey plays in seconds without any waiting.
//
// The expectations come from the simulator's own documents at each tick, read with Qt's JSON parser rather
// than the application's decoder, and the store is read back from a fresh container after the run, so what
// is checked is what reached the file.

#include "PortalSimulator.h"
#include "platform/ManualClock.h"
#include "service/TrainService.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <vector>

using namespace quendle2;
using namespace quendle2::sim;
using namespace Qt::Literals::StringLiterals;

namespace {

// 20 scenario seconds per clock second and 5 s of clock per tick: 100 scenario seconds a tick. The
// 4200-second outage then lasts 210 s of clock, past the 120 s grace but well short of the 1200 s after
// which a trip is closed as stale, and the 30 s change debounce spans six ticks.
constexpr double playFactor = 20.0;
constexpr double tickSeconds = 5.0;
// Far enough past the renumbering at 20100 for its debounce to run out, with ticks to spare.
constexpr double lastScenarioSecond = 21100.0;
constexpr int tickTimeoutMs = 15000;

const QString firstTrain = u"ICE 9473"_s;
const QString secondTrain = u"ICE 9475"_s;

struct PortalStop {
    QString eva;
    QString name;
    QString arrivalDelay;
    std::optional<qint64> scheduledArrivalMs;
};

struct Tick {
    QDateTime at;
    double scenarioSecond = 0;
    bool statusApplied = false;
    bool connected = false;
    QString trainIdentifier;
    std::optional<QString> changeCandidate;
    std::optional<QUuid> tripBefore;
    std::optional<QUuid> tripAfter;
    std::optional<bool> tripAfterActive;
    double portalSpeed = 0;
    std::vector<PortalStop> portalStops;
};

struct ExpectedSample {
    QDateTime at;
    double speed = 0;
};

struct ExpectedSnapshot {
    QDateTime at;
    QString text;
    QString name;
    std::optional<qint64> scheduledArrivalMs;
};

std::optional<QUuid> currentTripId(const TrainService& service) {
    const Trip* trip = service.currentTrip();
    return trip != nullptr ? std::optional<QUuid>(trip->id()) : std::nullopt;
}

std::vector<PortalStop> portalStops(const QByteArray& tripDocument) {
    std::vector<PortalStop> stops;
    const QJsonArray array = QJsonDocument::fromJson(tripDocument)
                                 .object()
                                 .value("trip"_L1)
                                 .toObject()
                                 .value("stops"_L1)
                                 .toArray();
    for (const QJsonValue& value : array) {
        const QJsonObject stop = value.toObject();
        const QJsonObject station = stop.value("station"_L1).toObject();
        const QJsonObject timetable = stop.value("timetable"_L1).toObject();
        const QJsonValue scheduled = timetable.value("scheduledArrivalTime"_L1);
        stops.push_back(PortalStop{station.value("evaNr"_L1).toString(), station.value("name"_L1).toString(),
                                   timetable.value("arrivalDelay"_L1).toString(),
                                   scheduled.isDouble()
                                       ? std::optional<qint64>(static_cast<qint64>(scheduled.toDouble()))
                                       : std::nullopt});
    }
    return stops;
}

std::optional<qint64> epochMs(const std::optional<QDateTime>& instant) {
    return instant ? std::optional<qint64>(instant->toMSecsSinceEpoch()) : std::nullopt;
}

QString describe(const std::vector<ExpectedSnapshot>& snapshots) {
    constexpr std::size_t shown = 6;
    QStringList parts;
    for (std::size_t i = 0; i < std::min(shown, snapshots.size()); ++i) {
        parts << u"%1@%2"_s.arg(snapshots[i].text, snapshots[i].at.toString(Qt::ISODate));
    }
    if (snapshots.size() > shown) {
        parts << u"... %1 in all"_s.arg(snapshots.size());
    }
    return parts.join(u", "_s);
}

} // namespace

class TestServicePortal : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyTickReachesThePortalOutsideTheOutage();
    void oneTripPerTrain();
    void samplesAreThePortalsSpeedsWhenTheyMove();
    void tripSpeedsComeFromItsSamples();
    void snapshotsFollowDelayChanges();
    void trainChangeCommitsAfterTheDebounce();
    void connectedOutlastsTheOutageByTheGracePeriodOnly();

private:
    const Tick& firstTickOf(const QString& identifier) const;
    QList<SpeedSample*> storedSamples(const QUuid& trip);
    QList<StopSnapshot*> storedSnapshots(const QUuid& trip);

    ManualClock m_clock{QDateTime(QDate(2026, 3, 14), QTime(7, 0), Qt::UTC)};
    QTemporaryDir m_dir;
    std::vector<Tick> m_ticks;
    std::unique_ptr<ModelContainer> m_store;
    QList<Trip*> m_trips; // oldest first
};

void TestServicePortal::initTestCase() {
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(u"store.sqlite"_s);

    PortalSimulator simulator(Scenario::builtInJourney(), m_clock);
    QVERIFY2(simulator.listen(), qPrintable(simulator.errorString()));
    simulator.play(playFactor, 0);

    {
        auto opened = ModelContainer::open(path);
        QVERIFY2(opened.ok(), qPrintable(opened.ok() ? QString() : opened.error().description));
        std::unique_ptr<ModelContainer> container = opened.takeValue();
        auto service = std::make_unique<TrainService>(container->mainContext(), simulator.origin(),
                                                      PortalSimulator::caCertificates(), m_clock);
        QSignalSpy finished(service.get(), &TrainService::tickFinished);

        while (simulator.scenarioTime() <= lastScenarioSecond) {
            Tick tick;
            tick.at = m_clock.now();
            tick.scenarioSecond = simulator.scenarioTime();
            tick.tripBefore = currentTripId(*service);

            const qsizetype before = finished.count();
            service->tick();
            QVERIFY2(finished.count() > before || finished.wait(tickTimeoutMs),
                     qPrintable(u"no tickFinished at scenario second %1"_s.arg(tick.scenarioSecond)));
            QCOMPARE(finished.count(), before + 1);

            tick.statusApplied = service->lastStatusAt() == tick.at;
            tick.connected = service->connected();
            tick.trainIdentifier = service->trainIdentifier();
            tick.changeCandidate = service->changeCandidateIdent();
            tick.tripAfter = currentTripId(*service);
            if (const Trip* trip = service->currentTrip()) {
                tick.tripAfterActive = trip->active();
            }
            if (tick.statusApplied) {
                // The clock has not moved since the service fetched, so these are the documents it got.
                tick.portalSpeed =
                    QJsonDocument::fromJson(simulator.documentBody(PortalSimulator::Path::Status))
                        .object()
                        .value("speed"_L1)
                        .toDouble(-1);
                tick.portalStops = portalStops(simulator.documentBody(PortalSimulator::Path::Trip));
            }
            m_ticks.push_back(std::move(tick));
            m_clock.advance(tickSeconds);
        }
        QVERIFY(simulator.requestCount(PortalSimulator::Path::Status) >= static_cast<int>(m_ticks.size()));

        service.reset();
        QCoreApplication::processEvents(); // the turn's commit
        QVERIFY(!container->mainContext()->hasUncommittedChanges());
        QVERIFY(!container->mainContext()->lastSaveError().has_value());
    }

    auto reopened = ModelContainer::open(path);
    QVERIFY2(reopened.ok(), qPrintable(reopened.ok() ? QString() : reopened.error().description));
    m_store = reopened.takeValue();
    const auto trips = m_store->mainContext()->fetch<Trip>(
        FetchDescriptor{{}, {{u"startDate"_s, true}, {u"trainIdentifier"_s, true}}, std::nullopt});
    QVERIFY(trips.ok());
    m_trips = trips.value();
}

const Tick& TestServicePortal::firstTickOf(const QString& identifier) const {
    static const Tick none;
    for (const Tick& tick : m_ticks) {
        if (tick.statusApplied && tick.trainIdentifier == identifier) {
            return tick;
        }
    }
    return none;
}

QList<SpeedSample*> TestServicePortal::storedSamples(const QUuid& trip) {
    const auto samples = m_store->mainContext()->fetch<SpeedSample>(FetchDescriptor{
        {FetchDescriptor::Condition::tripIdEquals(trip)}, {{u"timestamp"_s, true}}, std::nullopt});
    return samples.ok() ? samples.value() : QList<SpeedSample*>{};
}

QList<StopSnapshot*> TestServicePortal::storedSnapshots(const QUuid& trip) {
    const auto snapshots = m_store->mainContext()->fetch<StopSnapshot>(FetchDescriptor{
        {FetchDescriptor::Condition::tripIdEquals(trip)}, {{u"createdAt"_s, true}}, std::nullopt});
    return snapshots.ok() ? snapshots.value() : QList<StopSnapshot*>{};
}

void TestServicePortal::everyTickReachesThePortalOutsideTheOutage() {
    const Scenario scenario = Scenario::builtInJourney();
    int outageTicks = 0;
    for (const Tick& tick : m_ticks) {
        const bool outage = scenario.inOutage(tick.scenarioSecond);
        outageTicks += outage ? 1 : 0;
        QVERIFY2(
            tick.statusApplied == !outage,
            qPrintable(
                u"scenario second %1: status applied %2"_s.arg(tick.scenarioSecond).arg(tick.statusApplied)));
    }
    // The run must cover the whole outage and the journey around it, or the other checks prove little.
    QCOMPARE(outageTicks, 42);
    QVERIFY(m_ticks.back().scenarioSecond > scenario.arrivalAtTerminus());
}

void TestServicePortal::oneTripPerTrain() {
    QCOMPARE(m_trips.size(), 2);
    QCOMPARE(m_trips[0]->trainIdentifier(), firstTrain);
    QCOMPARE(m_trips[1]->trainIdentifier(), secondTrain);
    QVERIFY(m_trips[0]->id() != m_trips[1]->id());
    // Every tick after the first status kept one of the two as the current trip, the outage included.
    for (const Tick& tick : m_ticks) {
        QVERIFY(tick.tripAfter.has_value());
        QVERIFY(*tick.tripAfter == m_trips[0]->id() || *tick.tripAfter == m_trips[1]->id());
    }
    QCOMPARE(m_ticks.front().tripAfter, m_trips[0]->id());
    QCOMPARE(m_ticks.back().tripAfter, m_trips[1]->id());
}

void TestServicePortal::samplesAreThePortalsSpeedsWhenTheyMove() {
    QCOMPARE(m_trips.size(), 2);
    // A status samples into the trip that was current when it arrived (the first one creates it): a sample
    // whenever the speed moved by a whole km/h or half a minute has passed since the trip's last one.
    std::map<QUuid, std::vector<ExpectedSample>> expected;
    for (const Tick& tick : m_ticks) {
        if (!tick.statusApplied) {
            continue;
        }
        QVERIFY(tick.portalSpeed >= 0);
        QVERIFY(tick.tripAfter.has_value());
        std::vector<ExpectedSample>& trip = expected[tick.tripBefore.value_or(*tick.tripAfter)];
        if (trip.empty() || std::abs(trip.back().speed - tick.portalSpeed) >= TrainService::sampleSpeedStep ||
            Clock::secondsBetween(trip.back().at, tick.at) >= TrainService::sampleInterval) {
            trip.push_back({tick.at, tick.portalSpeed});
        }
    }
    for (const Trip* trip : m_trips) {
        const QList<SpeedSample*> stored = storedSamples(trip->id());
        const std::vector<ExpectedSample>& wanted = expected[trip->id()];
        QVERIFY2(!wanted.empty(), qPrintable(trip->trainIdentifier()));
        QCOMPARE(stored.size(), static_cast<qsizetype>(wanted.size()));
        for (qsizetype i = 0; i < stored.size(); ++i) {
            const ExpectedSample& want = wanted[static_cast<std::size_t>(i)];
            QCOMPARE(stored[i]->timestamp(), want.at);
            QVERIFY2(std::abs(stored[i]->speedKmh() - want.speed) < 1e-9,
                     qPrintable(u"%1 at %2: stored %3, portal %4"_s.arg(trip->trainIdentifier())
                                    .arg(want.at.toString(Qt::ISODate))
                                    .arg(stored[i]->speedKmh())
                                    .arg(want.speed)));
        }
    }
}

void TestServicePortal::tripSpeedsComeFromItsSamples() {
    QCOMPARE(m_trips.size(), 2);
    for (const Trip* trip : m_trips) {
        const QList<SpeedSample*> samples = storedSamples(trip->id());
        QVERIFY(!samples.isEmpty());
        double maximum = 0;
        double sum = 0;
        int positive = 0;
        for (const SpeedSample* sample : samples) {
            maximum = std::max(maximum, sample->speedKmh());
            if (sample->speedKmh() > 0) {
                sum += sample->speedKmh();
                ++positive;
            }
        }
        QCOMPARE(trip->maxSpeed(), maximum);
        QVERIFY2(std::abs(trip->avgSpeed() - (positive > 0 ? sum / positive : 0.0)) < 1e-6,
                 qPrintable(u"%1: stored average %2"_s.arg(trip->trainIdentifier()).arg(trip->avgSpeed())));
    }
    // The first train ran the whole line; the second only stood in Hamburg.
    QVERIFY2(m_trips[0]->maxSpeed() >= 205 && m_trips[0]->maxSpeed() <= 300,
             qPrintable(QString::number(m_trips[0]->maxSpeed())));
    QVERIFY(m_trips[0]->avgSpeed() > 100 && m_trips[0]->avgSpeed() < m_trips[0]->maxSpeed());
    QCOMPARE(m_trips[1]->maxSpeed(), 0.0);
}

void TestServicePortal::snapshotsFollowDelayChanges() {
    QCOMPARE(m_trips.size(), 2);
    // Within a trip, a stop gets a snapshot whenever its arrival delay text turns into a different non-empty
    // one; an empty text is no delay and is not recorded.
    std::map<QUuid, std::map<QString, std::vector<ExpectedSnapshot>>> expected;
    for (const Tick& tick : m_ticks) {
        if (!tick.statusApplied) {
            continue;
        }
        QVERIFY(tick.tripAfter.has_value());
        auto& trip = expected[*tick.tripAfter];
        for (const PortalStop& stop : tick.portalStops) {
            std::vector<ExpectedSnapshot>& station = trip[stop.eva];
            if (!stop.arrivalDelay.isEmpty() &&
                (station.empty() || station.back().text != stop.arrivalDelay)) {
                station.push_back({tick.at, stop.arrivalDelay, stop.name, stop.scheduledArrivalMs});
            }
        }
    }

    int total = 0;
    int stationsWithSeveralTexts = 0;
    for (const Trip* trip : m_trips) {
        std::map<QString, std::vector<ExpectedSnapshot>> stored;
        for (const StopSnapshot* snapshot : storedSnapshots(trip->id())) {
            QVERIFY(snapshot->arrivalDelayText().has_value());
            stored[snapshot->stationEva()].push_back({snapshot->createdAt(), *snapshot->arrivalDelayText(),
                                                      snapshot->stationName(),
                                                      epochMs(snapshot->scheduledArrivalTime())});
            ++total;
        }
        std::map<QString, std::vector<ExpectedSnapshot>> wanted;
        for (auto& [eva, list] : expected[trip->id()]) {
            if (!list.empty()) {
                wanted[eva] = list;
            }
        }
        QCOMPARE(stored.size(), wanted.size());
        for (const auto& [eva, list] : wanted) {
            const std::vector<ExpectedSnapshot>& got = stored[eva];
            QVERIFY2(got.size() == list.size(),
                     qPrintable(u"%1, %2: stored [%3], portal changes [%4]"_s.arg(
                         trip->trainIdentifier(), eva, describe(got), describe(list))));
            for (std::size_t i = 0; i < list.size(); ++i) {
                QCOMPARE(got[i].at, list[i].at);
                QCOMPARE(got[i].text, list[i].text);
                QCOMPARE(got[i].name, list[i].name);
                QCOMPARE(got[i].scheduledArrivalMs, list[i].scheduledArrivalMs);
                if (i > 0) {
                    QVERIFY(got[i].text != got[i - 1].text);
                }
            }
            stationsWithSeveralTexts += got.size() >= 3 ? 1 : 0;
        }
    }
    // The drifting delays of this journey must actually have been seen, or the comparison above is hollow.
    QVERIFY2(total >= 30, qPrintable(QString::number(total)));
    QVERIFY2(stationsWithSeveralTexts >= 3, qPrintable(QString::number(stationsWithSeveralTexts)));
}

void TestServicePortal::trainChangeCommitsAfterTheDebounce() {
    QCOMPARE(m_trips.size(), 2);
    const Trip* first = m_trips[0];
    const Trip* second = m_trips[1];
    const Tick& renumbered = firstTickOf(secondTrain);
    QVERIFY(renumbered.at.isValid());
    QCOMPARE(renumbered.changeCandidate, secondTrain);

    QVERIFY(!first->active());
    QVERIFY(first->endDate().has_value());
    QVERIFY(second->active());
    QVERIFY(!second->endDate().has_value());
    QCOMPARE(second->startDate(), *first->endDate());

    // Committed on the first tick at least 30 s after the new number showed up, not earlier.
    const double waited = Clock::secondsBetween(renumbered.at, *first->endDate());
    QVERIFY2(waited >= TrainService::changeDebounce && waited < TrainService::changeDebounce + tickSeconds,
             qPrintable(QString::number(waited)));
    for (const Tick& tick : m_ticks) {
        if (tick.at < *first->endDate()) {
            QCOMPARE(tick.tripAfter, first->id());
            QCOMPARE(tick.tripAfterActive, std::optional<bool>(true));
        } else {
            QCOMPARE(tick.tripAfter, second->id());
            QVERIFY(!tick.changeCandidate.has_value());
        }
    }
    // No sample of the first train after it was closed.
    for (const SpeedSample* sample : storedSamples(first->id())) {
        QVERIFY(sample->timestamp() <= *first->endDate());
    }
}

void TestServicePortal::connectedOutlastsTheOutageByTheGracePeriodOnly() {
    std::optional<QDateTime> lastSuccess;
    int unreachableButConnected = 0;
    int unreachableAndDisconnected = 0;
    for (const Tick& tick : m_ticks) {
        const double since = lastSuccess ? Clock::secondsBetween(*lastSuccess, tick.at) : 1e9;
        const bool expected = tick.statusApplied || since <= TrainService::reachabilityGrace;
        QVERIFY2(tick.connected == expected,
                 qPrintable(u"scenario second %1, %2 s after the last status: connected %3"_s
                                .arg(tick.scenarioSecond)
                                .arg(since)
                                .arg(tick.connected)));
        if (tick.statusApplied) {
            lastSuccess = tick.at;
        } else {
            (tick.connected ? unreachableButConnected : unreachableAndDisconnected) += 1;
        }
    }
    // 120 s of grace are 24 ticks, the rest of the 42 unreachable ones count as disconnected.
    QCOMPARE(unreachableButConnected, 24);
    QCOMPARE(unreachableAndDisconnected, 18);
}

QTEST_GUILESS_MAIN(TestServicePortal)
#include "tst_service_portal.moc"
