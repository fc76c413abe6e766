// The service against the simulated portal over real HTTPS, for a whole journey. One manual clock drives
// both, so the journey plays in seconds, and the store is read back from a fresh container after the run.
// The exact rules are the unit tests' business; here the journey must hold reachability and the change.

#include "PortalSimulator.h"
#include "service/TrainService.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/Trip.h"
#include "support/ManualClock.h"
#include "support/TrainServiceProbe.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

using namespace quendle2;
using namespace quendle2::sim;
using namespace Qt::Literals::StringLiterals;

namespace {

// 5 scenario seconds per clock second and 5 s of clock per tick: 25 scenario seconds a tick. The
// 900-second outage then lasts 180 s of clock, past the 120 s grace but well short of the 1200 s after
// which a trip is closed as stale, and the 30 s change debounce spans six ticks.
constexpr double playFactor = 5.0;
constexpr double tickSeconds = 5.0;
// Far enough past the renumbering at 20100 for its debounce to run out, with ticks to spare.
constexpr double lastScenarioSecond = 21100.0;
constexpr int tickTimeoutMs = 15000;

const QString firstTrain = u"ICE 9473"_s;
const QString secondTrain = u"ICE 9475"_s;

struct Tick {
    QDateTime at;
    double scenarioSecond;
    bool statusApplied;
    bool connected;
    QString trainIdentifier;
    std::optional<QString> changeCandidate;
    std::optional<QUuid> trip;
};

} // namespace

class TestServicePortal : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QString path = m_dir.filePath(u"store.sqlite"_s);
        PortalSimulator simulator(Scenario::builtInJourney(), m_clock);
        QVERIFY2(simulator.listen(), qPrintable(simulator.errorString()));
        simulator.play(playFactor, 0);
        {
            const std::unique_ptr<ModelContainer> container = ModelContainer::open(path).takeValue();
            auto service = std::make_unique<TrainService>(container->mainContext(), simulator.origin(),
                                                          PortalSimulator::caCertificates(), m_clock);
            QSignalSpy finished(service.get(), &TrainService::tickFinished);
            while (simulator.scenarioTime() <= lastScenarioSecond) {
                const QDateTime at = m_clock.now();
                const double second = simulator.scenarioTime();
                const qsizetype before = finished.count();
                TrainServiceProbe::tick(*service);
                QVERIFY2(finished.count() > before || finished.wait(tickTimeoutMs),
                         qPrintable(u"no tickFinished at scenario second %1"_s.arg(second)));
                QCOMPARE(finished.count(), before + 1);
                const Trip* trip = service->currentTrip();
                m_ticks.push_back({at, second, service->lastStatusAt() == at, service->connected(),
                                   service->trainIdentifier(),
                                   TrainServiceProbe::changeCandidateIdent(*service),
                                   trip != nullptr ? std::optional(trip->id()) : std::nullopt});
                m_clock.advance(tickSeconds);
            }
            service.reset();
            QCoreApplication::processEvents(); // the turn's commit
            QVERIFY(!container->mainContext()->hasUncommittedChanges());
            QVERIFY(!container->mainContext()->lastSaveError().has_value());
        }
        m_store = ModelContainer::open(path).takeValue();
        m_trips = m_store->mainContext()
                      ->fetch<Trip>(FetchDescriptor{{}, {{u"startDate"_s, true}}, std::nullopt})
                      .value();
    }

    // The portal answers on every tick outside the outage; connected outlasts the outage by 120 s only.
    void connectedOutlastsTheOutageByTheGracePeriodOnly() {
        const Scenario scenario = Scenario::builtInJourney();
        std::optional<QDateTime> lastSuccess;
        int stillConnected = 0;
        int disconnected = 0;
        for (const Tick& tick : m_ticks) {
            const QByteArray where = u"scenario second %1"_s.arg(tick.scenarioSecond).toUtf8();
            QVERIFY2(tick.statusApplied == !scenario.inOutage(tick.scenarioSecond), where.constData());
            if (tick.statusApplied) {
                QVERIFY(tick.connected);
                lastSuccess = tick.at;
                continue;
            }
            QVERIFY(lastSuccess.has_value());
            const bool inGrace =
                Clock::secondsBetween(*lastSuccess, tick.at) <= TrainService::reachabilityGrace;
            QVERIFY2(tick.connected == inGrace, where.constData());
            (tick.connected ? stillConnected : disconnected) += 1;
        }
        // The run covers the whole outage of 36 ticks and the journey around it, or the checks prove little.
        // 120 s of grace are 24 ticks.
        QCOMPARE(stillConnected, 24);
        QCOMPARE(disconnected, 12);
        QVERIFY(m_ticks.back().scenarioSecond > scenario.arrivalAtTerminus());
    }

    // One trip per train: every tick's current trip is the first until the change is committed, on the first
    // tick 30 s after the new number appeared, and the second from then on.
    void trainChangeCommitsAfterTheDebounce() {
        QCOMPARE(m_trips.size(), 2);
        const Trip* first = m_trips[0];
        const Trip* second = m_trips[1];
        QCOMPARE(first->trainIdentifier(), firstTrain);
        QCOMPARE(second->trainIdentifier(), secondTrain);
        QVERIFY(!first->active() && first->endDate().has_value());
        QVERIFY(second->active() && !second->endDate().has_value());
        QCOMPARE(second->startDate(), *first->endDate());

        const auto renumbered = std::find_if(m_ticks.begin(), m_ticks.end(), [](const Tick& tick) {
            return tick.statusApplied && tick.trainIdentifier == secondTrain;
        });
        QVERIFY(renumbered != m_ticks.end());
        QCOMPARE(renumbered->changeCandidate, secondTrain);
        QCOMPARE(Clock::secondsBetween(renumbered->at, *first->endDate()), TrainService::changeDebounce);
        for (const Tick& tick : m_ticks) {
            QCOMPARE(tick.trip, std::optional((tick.at < *first->endDate() ? first : second)->id()));
        }
        const auto samples = m_store->mainContext()->fetch<SpeedSample>(
            FetchDescriptor{{FetchDescriptor::Condition::tripIdEquals(first->id())}, {}, std::nullopt});
        for (const SpeedSample* sample : samples.value()) {
            QVERIFY(sample->timestamp() <= *first->endDate());
        }
    }

private:
    ManualClock m_clock{QDateTime(QDate(2026, 3, 14), QTime(7, 0), Qt::UTC)};
    QTemporaryDir m_dir;
    std::vector<Tick> m_ticks;
    std::unique_ptr<ModelContainer> m_store;
    QList<Trip*> m_trips; // oldest first
};

QTEST_GUILESS_MAIN(TestServicePortal)
#include "tst_service_portal.moc"
