// The service decides when the journey counts as live, which trip a speed or a delay belongs to and which
// stop the menu bar counts down to. These tests drive it with a scripted portal and a manual clock, so that
// every grace period, debounce and window is hit exactly at its edge, and check what reaches a real store.

#include "ServiceTestSupport.h"
#include "platform/NotificationCenter.h"
#include "store/SpeedSample.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cfloat>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

namespace {

/// Times are whole milliseconds; 1500 must come out as one and a half seconds.
const QByteArray timedStop = R"({"trip":{"stops":[{"station":{"evaNr":"8000105","name":"Frankfurt(Main)Hbf"},
    "timetable":{"scheduledArrivalTime":1500,"actualArrivalTime":61500,"arrivalDelay":"+1",
    "scheduledDepartureTime":120000,"actualDepartureTime":180000,"departureDelay":"+1"},
    "info":{"passed":false}}]}})";
const QByteArray tripWithoutStops = R"({"trip":{"tripDate":"2024-05-01","trainType":"ICE"}})";

struct Step {
    double advance;
    bool statusOk;
};

struct Sighting {
    double at; ///< seconds after the first status of the new train
    QString train;
};

struct PriorTrip {
    QString train;
    double startedAgo;
    bool active;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)
Q_DECLARE_METATYPE(QList<Sighting>)
Q_DECLARE_METATYPE(QList<PriorTrip>)
Q_DECLARE_METATYPE(QList<Delay>)
Q_DECLARE_METATYPE(std::optional<bool>)
Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::optional<QString>)

class TestTrainService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLoggingCategory::setFilterRules(u"org.quendle2.Quendle2.*.debug=true"_s); }

    // --- Polling and reachability ---

    void reachability_data() {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("changes");

        const QString up = u"Reachability state changed -> connected=true lastSuccessAge=0.0s"_s;
        const QString down = u"Reachability state changed -> connected=false lastSuccessAge=%1s"_s;
        QTest::newRow("first success") << QList<Step>{{0, true}} << true << QStringList{up};
        QTest::newRow("second success is no change")
            << QList<Step>{{0, true}, {5, true}} << true << QStringList{up};
        QTest::newRow("failure at exactly the grace")
            << QList<Step>{{0, true}, {120, false}} << true << QStringList{up};
        QTest::newRow("failure past the grace")
            << QList<Step>{{0, true}, {120.5, false}} << false << QStringList{up, down.arg(u"120.5"_s)};
        QTest::newRow("failure with no status ever") << QList<Step>{{0, false}} << false << QStringList{};
        QTest::newRow("recovery") << QList<Step>{{0, true}, {121, false}, {5, true}} << true
                                  << QStringList{up, down.arg(u"121.0"_s), up};
        QTest::newRow("failing on stays silent") << QList<Step>{{0, true}, {121, false}, {5, false}} << false
                                                 << QStringList{up, down.arg(u"121.0"_s)};
    }

    void reachability() {
        QFETCH(QList<Step>, steps);
        Harness h(false);
        for (const Step& step : steps) {
            h.clock.advance(step.advance);
            h.tick(step.statusOk ? reached(u"ICE 1"_s) : unreachable());
        }
        QTEST(h.service->connected(), "connected");
        QTEST(h.log.startingWith(u"Reachability state changed"_s), "changes");
    }

    void tickWithoutAnyStatus() {
        Harness h;
        h.tick(unreachable(), TripOutcome::success(route({{frankfurt, u"Frankfurt(Main)Hbf"_s}})));
        QVERIFY(!h.service->connected());
        QVERIFY(h.log.has(QtCriticalMsg, u"Status fetch failed: Connection refused"_s));
        QCOMPARE(evasOf(h.service->allStops()), QStringList{frankfurt}); // the route does not need the status

        h.tick(unreachable(), TripOutcome::failure({PortalError::Kind::Timeout, u"Operation timed out"_s}));
        QVERIFY(h.log.has(QtCriticalMsg, u"Trip fetch failed: Operation timed out"_s));

        // "Never" is the greatest finite double, printed in full rather than as "inf" or in exponent form.
        const QString never = Log::fixed(DBL_MAX, 1);
        QVERIFY(never.startsWith(u"17976931348623157"_s));
        QVERIFY(never.endsWith(u".0"_s));
        QCOMPARE(never.size(), 311);
        const QString tickEnd = u"Tick end (elapsed=0.000s) connected=false lastSuccessAge=%1s"_s.arg(never);
        QCOMPARE(h.log.startingWith(u"Tick end"_s), (QStringList{tickEnd, tickEnd}));
        QVERIFY(h.log.startingWith(u"Reachability"_s).isEmpty());
    }

    void statusIsConsumedBeforeTrip() {
        Harness h(false);
        QSignalSpy finished(h.service.get(), &TrainService::tickFinished);
        h.service->tick();
        QCOMPARE(h.client->tripCalls(), 1); // both documents are requested at once
        h.client->tripInFlight().complete(TripOutcome::success(route({{koeln, u"Köln Hbf"_s}})));
        QVERIFY(h.service->allStops().empty());
        QCOMPARE(finished.count(), 0);

        h.client->statusInFlight().complete(reached(u"ICE 1"_s, 80));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(h.service->currentSpeedKmh(), 80.0);
        QCOMPARE(evasOf(h.service->allStops()), QStringList{koeln});
        const qsizetype status = h.log.indexOf(u"Status fetch success"_s);
        QVERIFY(status >= 0);
        QVERIFY(status < h.log.indexOf(u"Trip fetch success"_s));

        // Documents that arrive after the service is gone must not reach it.
        h.service->tick();
        const auto lateStatus = h.client->statusInFlight();
        const auto lateTrip = h.client->tripInFlight();
        h.service.reset();
        lateStatus.complete(reached(u"ICE 2"_s));
        lateTrip.complete(noRoute());
        QVERIFY(h.log.startingWith(u"Train identifier set to ICE 2"_s).isEmpty());
    }

    void updateIsPostedOncePerTickAfterStaleTripClosed() {
        Harness h;
        QStringList events;
        QObject observer;
        NotificationCenter::defaultCenter().addObserver(Notification::TrainServiceDidUpdate, &observer, [&] {
            events << (h.service->currentTrip() != nullptr ? u"posted, trip open"_s
                                                           : u"posted, trip closed"_s);
        });
        connect(h.service.get(), &TrainService::tickFinished, &observer, [&] { events << u"finished"_s; });

        h.tick(reached(u"ICE 1"_s));
        h.clock.advance(1201);
        h.tick(unreachable());
        QCOMPARE(events, (QStringList{u"posted, trip open"_s, u"finished"_s, u"posted, trip closed"_s,
                                      u"finished"_s}));
    }

    void refreshIntervalRestartsTimerEvenWhenUnchanged() {
        Harness h(false);
        for (int i = 0; i < 2; ++i) {
            h.client->queueStatus(reached(u"ICE 1"_s));
            h.client->queueTrip(noRoute());
        }
        QSignalSpy timerChanged(h.service.get(), &TrainService::timerChanged);
        QSignalSpy finished(h.service.get(), &TrainService::tickFinished);

        h.service->setRefreshInterval(5);
        QCoreApplication::processEvents();
        const QPointer<QTimer> first = h.service->timer();
        QVERIFY(first != nullptr);
        QCOMPARE(first->interval(), 5000);
        QCOMPARE(finished.count(), 1);

        h.service->setRefreshInterval(h.service->refreshInterval());
        QVERIFY(h.service->timer() != first);
        QVERIFY(!first->isActive());
        QVERIFY(h.service->timer()->isActive());
        QCOMPARE(timerChanged.count(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 2);
        QCOMPARE(h.client->statusCalls(), 2);
    }

    // --- Applying a status ---

    void statusFields_data() {
        QTest::addColumn<std::optional<double>>("speed");
        QTest::addColumn<std::optional<QString>>("internet");
        QTest::addColumn<std::optional<bool>>("flag");
        QTest::addColumn<double>("shownSpeed");
        QTest::addColumn<QString>("wifi");
        QTest::addColumn<QString>("debug");

        const QString debug = u"apply(status:) reachable=false portalFlag=%1 speed=%2 wifi=%3"_s;
        QTest::newRow("cruising") << std::optional(106.3) << std::optional(u"WEAK"_s) << std::optional(true)
                                  << 106.3 << u"WEAK"_s
                                  << debug.arg(u"Optional(true)"_s, u"106.3"_s, u"WEAK"_s);
        QTest::newRow("negative speed")
            << std::optional(-3.0) << std::optional(u"HIGH"_s) << std::optional(false) << 0.0 << u"HIGH"_s
            << debug.arg(u"Optional(false)"_s, u"0.0"_s, u"HIGH"_s);
        QTest::newRow("NaN speed") << std::optional(qQNaN()) << std::optional(u"HIGH"_s)
                                   << std::optional(true) << 0.0 << u"HIGH"_s
                                   << debug.arg(u"Optional(true)"_s, u"0.0"_s, u"HIGH"_s);
        QTest::newRow("nothing known")
            << std::optional<double>() << std::optional<QString>() << std::optional<bool>() << 0.0
            << QString() << debug.arg(u"nil"_s, u"0.0"_s, QString());
    }

    void statusFields() {
        QFETCH(std::optional<double>, speed);
        QFETCH(std::optional<QString>, internet);
        QFETCH(std::optional<bool>, flag);
        Harness h(false);
        h.service->apply(statusWith(flag, internet, speed, std::nullopt, std::nullopt));
        QTEST(h.service->currentSpeedKmh(), "shownSpeed");
        QTEST(h.service->wifiQuality(), "wifi");
        QCOMPARE(h.service->portalConnectionFlag(), flag);
        QCOMPARE(h.service->lastStatusAt(), std::optional(journeyStart));
        QFETCH(QString, debug);
        QVERIFY2(h.log.has(QtDebugMsg, debug), qPrintable(debug));
    }

    void trainIdentifier_data() {
        QTest::addColumn<std::optional<QString>>("trainType");
        QTest::addColumn<std::optional<QString>>("tzn");
        QTest::addColumn<QString>("composed");

        const std::optional<QString> none;
        const std::optional ice(u"ICE"_s);
        QTest::newRow("type and number") << ice << std::optional(u"ICE 587"_s) << u"ICE 587"_s;
        QTest::newRow("number glued to the type") << ice << std::optional(u"ICE9473"_s) << u"ICE 9473"_s;
        QTest::newRow("type only") << ice << none << u"ICE"_s;
        QTest::newRow("number only") << none << std::optional(u"ICE 587"_s) << u"587"_s;
        QTest::newRow("neither") << none << none << QString();
        QTest::newRow("number that is only the type") << none << std::optional(u"ICE"_s) << QString();
        QTest::newRow("tabs and Unicode spaces")
            << std::optional(u"\u2003ICE"_s) << std::optional(u"\tICE 587\u00A0\u3000"_s) << u"ICE 587"_s;
        QTest::newRow("line break is kept") << ice << std::optional(u"ICE 587\n"_s) << u"ICE 587\n"_s;
        QTest::newRow("same train") << ice << std::optional(u"ICE 100"_s) << u"ICE 100"_s;
    }

    void trainIdentifier() {
        QFETCH(std::optional<QString>, trainType);
        QFETCH(std::optional<QString>, tzn);
        QFETCH(QString, composed);
        QCOMPARE(TrainService::composeIdentifier(trainType, tzn), composed);

        Harness h;
        h.service->apply(statusOf(u"ICE 100"_s));
        QSignalSpy changed(h.service.get(), &TrainService::trainIdentifierChanged);
        for (int i = 0; i < 2; ++i) {
            h.service->apply(statusWith(true, std::nullopt, 100.0 + i, trainType, tzn));
        }
        // An identifier that says nothing keeps the last one and cannot start a change of train.
        QCOMPARE(h.service->trainIdentifier(), composed.isEmpty() ? u"ICE 100"_s : composed);
        const bool otherTrain = !composed.isEmpty() && composed != u"ICE 100"_s;
        QCOMPARE(h.service->changeCandidateIdent(), otherTrain ? std::optional(composed) : std::nullopt);
        // Announced once per new identifier, but observers hear about every status that names one.
        QCOMPARE(h.log.startingWith(u"Train identifier set to"_s).size(), qsizetype(otherTrain ? 2 : 1));
        if (!composed.isEmpty()) {
            QCOMPARE(changed.count(), 2);
        }
    }

    // --- Change of train ---

    void trainChange_data() {
        QTest::addColumn<QList<Sighting>>("sightings");
        QTest::addColumn<QString>("newTrain");
        QTest::addColumn<int>("candidates");

        const QString two = u"ICE 2"_s;
        const QString three = u"ICE 3"_s;
        QTest::newRow("commits at exactly 30 s")
            << QList<Sighting>{{0, two}, {5, two}, {10, two}, {15, two}, {20, two}, {25, two}, {30, two}}
            << two << 1;
        QTest::newRow("29.999 s is not enough")
            << QList<Sighting>{{0, two}, {29.999, two}, {30, two}} << two << 1;
        QTest::newRow("status without identifier keeps the candidate")
            << QList<Sighting>{{0, two}, {10, QString()}, {30, two}} << two << 1;
        QTest::newRow("return to the old train abandons")
            << QList<Sighting>{{0, two}, {20, u"ICE 1"_s}, {25, two}, {54.999, two}, {55, two}} << two << 2;
        QTest::newRow("third train restarts")
            << QList<Sighting>{{0, two}, {10, three}, {39.999, three}, {40, three}} << three << 2;
    }

    void trainChange() {
        QFETCH(QList<Sighting>, sightings);
        QFETCH(QString, newTrain);
        Harness h;
        h.clock.set(journeyStart.addSecs(-5));
        h.service->apply(statusOf(u"ICE 1"_s, 90));
        QPointer<Trip> old = h.service->currentTrip();
        QVERIFY(old != nullptr);

        for (qsizetype i = 0; i < sightings.size(); ++i) {
            const Sighting& sighting = sightings[i];
            const double speed = 100.0 + 10.0 * static_cast<double>(i); // every status leaves a sample
            h.clock.set(journeyStart.addMSecs(qRound64(sighting.at * 1000)));
            h.service->apply(sighting.train.isEmpty()
                                 ? statusWith(true, std::nullopt, speed, std::nullopt, std::nullopt)
                                 : statusOf(sighting.train, speed));
            const bool last = i == sightings.size() - 1;
            QCOMPARE(h.service->currentTrip() == old.data(), !last);
            QCOMPARE(old->active(), !last);
            if (last) {
                // Closed when the change is committed, not when it was first seen; the confirming status
                // was still measured on the old train.
                QCOMPARE(old->endDate(), std::optional(h.clock.now()));
                QCOMPARE(old->latestSample()->timestamp(), h.clock.now());
                QCOMPARE(old->latestSample()->speedKmh(), speed);
                QCOMPARE(h.service->currentTrip()->trainIdentifier(), newTrain);
                QCOMPARE(h.service->currentTrip()->sampleCount(), 0);
                QCOMPARE(h.service->changeCandidateIdent(), std::nullopt);
            }
        }
        QVERIFY(
            h.log.has(QtInfoMsg, u"Train change committed after debounce old=ICE 1 new=%1"_s.arg(newTrain)));
        QVERIFY(h.log.has(QtDebugMsg, u"Train change candidate detected ident=ICE 2"_s));
        QTEST(static_cast<int>(h.log.startingWith(u"Train change candidate detected"_s).size()),
              "candidates");
    }

    // --- Trips ---

    void tripReuse_data() {
        QTest::addColumn<QList<PriorTrip>>("priors");
        QTest::addColumn<int>("reused");
        QTest::addColumn<QString>("message");

        const QString train = u"ICE 5"_s;
        const QString active = u"Reusing active trip ident=ICE 5"_s;
        const QString recent = u"Reusing recent trip ident=ICE 5"_s;
        const QString created = u"Created new trip ident=ICE 5"_s;
        QTest::newRow("active trip") << QList<PriorTrip>{{train, 7200, true}} << 0 << active;
        QTest::newRow("closed, started 29 min ago") << QList<PriorTrip>{{train, 1740, false}} << 0 << recent;
        QTest::newRow("closed, started exactly 1800 s ago")
            << QList<PriorTrip>{{train, 1800, false}} << 0 << recent;
        QTest::newRow("closed, started 31 min ago")
            << QList<PriorTrip>{{train, 1860, false}} << -1 << created;
        QTest::newRow("older active trip is not the newest")
            << QList<PriorTrip>{{train, 7200, true}, {train, 1860, false}} << -1 << created;
        QTest::newRow("recent closed trip is the newest")
            << QList<PriorTrip>{{train, 7200, true}, {train, 600, false}} << 1 << recent;
        QTest::newRow("another train's trip") << QList<PriorTrip>{{u"ICE 6"_s, 60, true}} << -1 << created;
    }

    void tripReuse() {
        QFETCH(QList<PriorTrip>, priors);
        QFETCH(int, reused);
        Harness h;
        QList<Trip*> trips;
        for (const PriorTrip& prior : priors) {
            trips << h.addTrip(prior.train, prior.startedAgo, prior.active);
        }
        // A choice of this session, to see whether the trip's own replaces it.
        h.service->applyTripInfo(
            route({{dortmund, u"Dortmund Hbf"_s}, {frankfurt, u"Frankfurt(Main)Hbf"_s}}));
        h.service->selectDestination(dortmund);

        h.service->apply(statusOf(u"ICE 5"_s));
        Trip* current = h.service->currentTrip();
        QVERIFY(current != nullptr);
        QFETCH(QString, message);
        QVERIFY2(h.log.has(QtInfoMsg, message), qPrintable(message));
        if (reused >= 0) {
            QCOMPARE(current, trips[reused]);
            QCOMPARE(current->active(), priors[reused].active);
            const auto ended = current->startDate().addSecs(300);
            QCOMPARE(current->endDate(), priors[reused].active ? std::nullopt : std::optional(ended));
            QCOMPARE(h.service->selectedStopEva(), std::optional(frankfurt));
        } else {
            QVERIFY(!trips.contains(current));
            QVERIFY(current->active());
            QCOMPARE(current->startDate(), h.clock.now());
            QCOMPARE(current->trainIdentifier(), u"ICE 5"_s);
            QCOMPARE(h.service->selectedStopEva(), std::nullopt);
        }
    }

    void reconciliation_data() {
        QTest::addColumn<QList<PriorTrip>>("priors");
        QTest::addColumn<int>("adopted");
        QTest::addColumn<QStringList>("messages");

        const QString none = u"No active trip found during reconciliation"_s;
        QTest::newRow("two active, older first")
            << QList<PriorTrip>{{u"ICE 1"_s, 3600, true}, {u"ICE 2"_s, 600, true}} << 1
            << QStringList{u"Reconciled existing active trip ident=ICE 2"_s,
                           u"Closed duplicate active trip ident=ICE 1"_s};
        QTest::newRow("two active, newer first")
            << QList<PriorTrip>{{u"ICE 2"_s, 600, true}, {u"ICE 1"_s, 3600, true}} << 0
            << QStringList{u"Reconciled existing active trip ident=ICE 2"_s,
                           u"Closed duplicate active trip ident=ICE 1"_s};
        QTest::newRow("one active among closed")
            << QList<PriorTrip>{{u"ICE 1"_s, 3600, true}, {u"ICE 2"_s, 600, false}} << 0
            << QStringList{u"Reconciled existing active trip ident=ICE 1"_s};
        QTest::newRow("none active") << QList<PriorTrip>{{u"ICE 1"_s, 600, false}} << -1 << QStringList{none};
        QTest::newRow("empty store") << QList<PriorTrip>{} << -1 << QStringList{none};
    }

    void reconciliation() {
        QFETCH(QList<PriorTrip>, priors);
        QFETCH(int, adopted);
        QFETCH(QStringList, messages);
        Harness h;
        QList<Trip*> trips;
        for (const PriorTrip& prior : priors) {
            trips << h.addTrip(prior.train, prior.startedAgo, prior.active);
        }
        h.service->start();
        QCoreApplication::processEvents();

        QVERIFY(h.log.has(QtInfoMsg, u"TrainService start() called"_s));
        QCOMPARE(h.service->currentTrip(), adopted >= 0 ? trips[adopted] : nullptr);
        for (qsizetype i = 0; i < trips.size(); ++i) {
            QCOMPARE(trips[i]->active(), i == adopted);
            if (priors[i].active && i != adopted) {
                QCOMPARE(trips[i]->endDate(), std::optional(h.clock.now()));
            }
        }
        QVERIFY(h.log.has(adopted >= 0 ? QtInfoMsg : QtDebugMsg, messages.first()));
        for (const QString& duplicate : messages.mid(1)) {
            QVERIFY(h.log.has(QtCriticalMsg, duplicate));
        }
    }

    void serviceGoneRightAfterStartDoesNothing() {
        Harness h;
        Trip* older = h.addTrip(u"ICE 1"_s, 3600, true);
        Trip* newer = h.addTrip(u"ICE 2"_s, 600, true);
        h.service->start();
        h.service.reset();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(older->active());
        QVERIFY(newer->active());
        QVERIFY(h.log.startingWith(u"Reconciled"_s).isEmpty());
        QVERIFY(h.log.startingWith(u"Restarting polling timer"_s).isEmpty());
    }

    void tripAdoptedAtStartClosedInFirstTick_data() {
        QTest::addColumn<bool>("portalReachable");
        QTest::addColumn<QString>("reason");
        QTest::newRow("portal unreachable") << false << u"disconnect"_s;
        // The previous run's sample is recent and the speed unchanged, so this run has none of its own yet.
        QTest::newRow("portal reachable, nothing sampled yet") << true << u"inactivity"_s;
    }

    void tripAdoptedAtStartClosedInFirstTick() {
        QFETCH(bool, portalReachable);
        QFETCH(QString, reason);
        Harness h;
        Trip* trip = h.addTrip(u"ICE 1"_s, 600, true);
        h.context()->insert(new SpeedSample(h.clock.now().addSecs(-10), 100.0, trip));
        h.client->queueStatus(portalReachable ? reached(u"ICE 1"_s, 100.0) : unreachable());
        h.client->queueTrip(noRoute());

        h.service->start();
        QSignalSpy finished(h.service.get(), &TrainService::tickFinished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(trip->sampleCount(), 1);
        QVERIFY(!trip->active());
        QCOMPARE(trip->endDate(), std::optional(h.clock.now()));
        QCOMPARE(h.service->currentTrip(), nullptr);
        const QString closed =
            u"Trip closed due to %1 start=2024-05-01 08:05:00 +0000 end=2024-05-01 08:15:00 +0000"_s;
        QVERIFY(h.log.has(QtInfoMsg, closed.arg(reason)));
    }

    void staleTrip_data() {
        QTest::addColumn<double>("silence");
        QTest::addColumn<QString>("closed");

        const QString closed = u"Trip closed due to disconnect start=2024-05-01 08:15:00 +0000 end=%1"_s;
        QTest::newRow("exactly 1200 s") << 1200.0 << QString();
        QTest::newRow("1200.001 s") << 1200.001 << closed.arg(u"2024-05-01 08:35:00 +0000"_s);
        QTest::newRow("1201 s") << 1201.0 << closed.arg(u"2024-05-01 08:35:01 +0000"_s);
    }

    void staleTrip() {
        QFETCH(double, silence);
        QFETCH(QString, closed);
        Harness h;
        h.tick(reached(u"ICE 1"_s));
        Trip* trip = h.service->currentTrip();
        QVERIFY(trip != nullptr);
        h.clock.advance(silence);
        h.tick(unreachable());
        QCOMPARE(trip->active(), closed.isEmpty());
        QCOMPARE(h.service->currentTrip(), closed.isEmpty() ? trip : nullptr);
        QCOMPARE(h.log.startingWith(u"Trip closed"_s),
                 closed.isEmpty() ? QStringList{} : QStringList{closed});
        if (!closed.isEmpty()) {
            QCOMPARE(trip->endDate(), std::optional(h.clock.now()));
        }
    }

    void deletedCurrentTripIsLetGo() {
        Harness h;
        QPointer<Trip> deleted = h.addTrip(u"ICE 1"_s, 1200, false);
        h.service->apply(statusOf(u"ICE 1"_s));
        QCOMPARE(h.service->currentTrip(), deleted.data());
        QSignalSpy currentChanged(h.service.get(), &TrainService::currentTripChanged);
        QSignalSpy endDate(deleted.data(), &Trip::endDateChanged);
        QSignalSpy samples(deleted.data(), &Trip::samplesChanged);
        QSignalSpy maxSpeed(deleted.data(), &Trip::maxSpeedChanged);
        QSignalSpy selection(deleted.data(), &Trip::selectedStopEvaChanged);

        h.context()->deleteRecord(deleted);
        QCOMPARE(h.service->currentTrip(), nullptr);
        QCOMPARE(currentChanged.count(), 1);

        h.clock.advance(5);
        h.tick(reached(u"ICE 1"_s, 150),
               TripOutcome::success(route({{frankfurt, u"Frankfurt(Main)Hbf"_s, false, u"+5"_s}})));
        h.service->selectDestination(frankfurt);
        h.clock.advance(1201);
        h.tick(unreachable());
        QVERIFY(h.log.has(QtInfoMsg, u"Created new trip ident=ICE 1"_s));
        QCOMPARE(endDate.count() + samples.count() + maxSpeed.count() + selection.count(), 0);
        const auto snapshots = h.snapshots();
        QCOMPARE(snapshots.size(), 1);
        QVERIFY(snapshots.first()->trip() != nullptr);
        QVERIFY(snapshots.first()->trip() != deleted.data());
    }

    void withoutStoreOnlyLiveStateChanges() {
        Harness h(false);
        h.tick(reached(u"ICE 1"_s, 120),
               TripOutcome::success(route({{frankfurt, u"Frankfurt(Main)Hbf"_s, false, u"+5"_s}})));
        h.clock.advance(60);
        h.tick(reached(u"ICE 2"_s, 130));
        QVERIFY(h.service->connected());
        QCOMPARE(h.service->trainIdentifier(), u"ICE 2"_s);
        QCOMPARE(h.service->currentSpeedKmh(), 130.0);
        QCOMPARE(h.service->currentTrip(), nullptr);
        QCOMPARE(h.service->lastSampleAt(), std::nullopt);
        QCOMPARE(h.service->changeCandidateIdent(), std::nullopt);
        QVERIFY(h.log.startingWith(u"Recorded speed sample"_s).isEmpty());
    }

    // --- Speed samples ---

    void sampleRule_data() {
        QTest::addColumn<std::optional<double>>("latest");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<double>("speed");
        QTest::addColumn<bool>("recorded");

        QTest::newRow("no sample yet") << std::optional<double>() << 0.0 << 100.0 << true;
        QTest::newRow("0.9 km/h faster") << std::optional(100.0) << 0.0 << 100.9 << false;
        QTest::newRow("1 km/h faster") << std::optional(100.0) << 0.0 << 101.0 << true;
        QTest::newRow("0.9 km/h slower") << std::optional(100.0) << 0.0 << 99.1 << false;
        QTest::newRow("1 km/h slower") << std::optional(100.0) << 0.0 << 99.0 << true;
        QTest::newRow("29.9 s later") << std::optional(100.0) << 29.9 << 100.0 << false;
        QTest::newRow("30 s later") << std::optional(100.0) << 30.0 << 100.0 << true;
    }

    void sampleRule() {
        QFETCH(std::optional<double>, latest);
        QFETCH(double, elapsed);
        QFETCH(double, speed);
        Harness h(false);
        SpeedSample sample(h.clock.now(), latest.value_or(0));
        h.clock.advance(elapsed);
        QTEST(h.service->shouldRecordSample(latest ? &sample : nullptr, speed), "recorded");
    }

    void speedStatistics_data() {
        QTest::addColumn<QList<double>>("speeds");
        QTest::addColumn<double>("interval");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<double>("maxSpeed");
        QTest::addColumn<double>("avgSpeed");
        QTest::addColumn<QString>("lastRecorded");

        // The trip starts with maximum 99 and average 42 to show which of them a sample replaces.
        QTest::newRow("standstill not averaged")
            << QList<double>{0, 100, 120} << 30.0 << qint64(3) << 120.0 << 110.0
            << u"Recorded speed sample: speed=120.0 km/h totalSamples=3"_s;
        QTest::newRow("only standstill") << QList<double>{0, 0} << 30.0 << qint64(2) << 0.0 << 42.0
                                         << u"Recorded speed sample: speed=0.0 km/h totalSamples=2"_s;
        QTest::newRow("small change skipped")
            << QList<double>{100, 100.9} << 5.0 << qint64(1) << 100.0 << 100.0
            << u"Recorded speed sample: speed=100.0 km/h totalSamples=1"_s;
        QTest::newRow("1 km/h change recorded")
            << QList<double>{100, 101} << 5.0 << qint64(2) << 101.0 << 100.5
            << u"Recorded speed sample: speed=101.0 km/h totalSamples=2"_s;
    }

    void speedStatistics() {
        QFETCH(QList<double>, speeds);
        QFETCH(double, interval);
        QFETCH(QString, lastRecorded);
        Harness h;
        auto* trip = new Trip(h.clock.now(), u"ICE 1"_s, true);
        trip->setMaxSpeed(99);
        trip->setAvgSpeed(42);
        h.context()->insert(trip);
        for (double speed : speeds) {
            h.clock.advance(interval);
            h.service->apply(statusOf(u"ICE 1"_s, speed));
        }
        QCOMPARE(h.service->currentTrip(), trip);
        QTEST(trip->sampleCount(), "count");
        QTEST(trip->maxSpeed(), "maxSpeed");
        QTEST(trip->avgSpeed(), "avgSpeed");
        QCOMPARE(h.log.startingWith(u"Recorded speed sample"_s).last(), lastRecorded);
        QCOMPARE(h.service->lastSampleAt(), std::optional(trip->latestSample()->timestamp()));
    }

    // --- Route and destination ---

    void routeStops_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("all");
        QTest::addColumn<QStringList>("upcoming");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("arrival");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("choiceKept");

        const QString none = u"Trip apply: no stops in payload"_s;
        const StopDoc a{koeln, u"Köln Hbf"_s};
        const StopDoc b{dortmund, u"Dortmund Hbf"_s};
        const StopDoc c{frankfurt, u"Frankfurt(Main)Hbf"_s};
        const StopDoc passedA{koeln, u"Köln Hbf"_s, true};
        QTest::newRow("no trip") << QByteArray("{}") << QStringList{} << QStringList{} << -1 << QString()
                                 << none << true;
        QTest::newRow("trip without stops")
            << tripWithoutStops << QStringList{} << QStringList{} << -1 << QString() << none << true;
        QTest::newRow("empty route") << tripJson({}) << QStringList{} << QStringList{} << -1 << QString()
                                     << u"Trip apply: 0 total stops"_s << false;
        QTest::newRow("unusable stops dropped, no info")
            << tripJson({a, {QString(), u"Hagen Hbf"_s}, {u"8000142"_s, QString()}, c})
            << QStringList{koeln, frankfurt} << QStringList{koeln, frankfurt} << 0 << koeln
            << u"Trip apply: 2 total stops"_s << false;
        QTest::newRow("chosen stop ahead")
            << tripJson({passedA, b, c}) << QStringList{koeln, dortmund, frankfurt}
            << QStringList{dortmund, frankfurt} << 1 << dortmund << u"Trip apply: 3 total stops"_s << true;
        QTest::newRow("chosen stop passed")
            << tripJson({passedA, {dortmund, u"Dortmund Hbf"_s, true}, c})
            << QStringList{koeln, dortmund, frankfurt} << QStringList{frankfurt} << 2 << frankfurt
            << u"Trip apply: 3 total stops"_s << false;
        QTest::newRow("all passed") << tripJson({passedA, {frankfurt, u"Frankfurt(Main)Hbf"_s, true}})
                                    << QStringList{koeln, frankfurt} << QStringList{} << 1 << QString()
                                    << u"Trip apply: 2 total stops"_s << false;
    }

    void routeStops() {
        QFETCH(QByteArray, json);
        QFETCH(int, index);
        QFETCH(bool, choiceKept);
        Harness h(false);
        h.service->applyTripInfo(route({{dortmund, u"Dortmund Hbf"_s}}));
        h.service->selectDestination(dortmund);

        h.service->applyTripInfo(decodeTrip(json));
        QTEST(evasOf(h.service->allStops()), "all");
        QTEST(evasOf(h.service->upcomingStops()), "upcoming");
        QCOMPARE(h.service->currentStopIndex(), index >= 0 ? std::optional<qsizetype>(index) : std::nullopt);
        const auto arrival = h.service->menubarArrivalStop();
        QTEST(arrival ? arrival->eva : QString(), "arrival");
        QCOMPARE(h.service->selectedStopEva(), choiceKept ? std::optional(dortmund) : std::nullopt);
        QFETCH(QString, message);
        QVERIFY2(h.log.has(QtDebugMsg, message), qPrintable(message));
    }

    void stopTimesAndFreshIds() {
        Harness h(false);
        h.service->applyTripInfo(decodeTrip(timedStop));
        const TrainService::TripStop first = h.service->allStops().front();
        const QDateTime epoch = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
        QCOMPARE(first.scheduledArrival, std::optional(epoch.addMSecs(1500)));
        QCOMPARE(first.actualArrival, std::optional(epoch.addSecs(61).addMSecs(500)));
        QCOMPARE(first.scheduledDeparture, std::optional(epoch.addSecs(120)));
        QCOMPARE(first.actualDeparture, std::optional(epoch.addSecs(180)));
        const TrainService::UpcomingStop upcoming = h.service->upcomingStops().front();
        QVERIFY(upcoming.id != first.id);
        QCOMPARE(upcoming.scheduledArrival, first.scheduledArrival);
        QCOMPARE(upcoming.arrivalDelayText, std::optional(u"+1"_s));

        // Views key their rows on the ids: the same document must still produce new rows.
        h.service->applyTripInfo(decodeTrip(timedStop));
        const TrainService::TripStop again = h.service->allStops().front();
        QVERIFY(again.id != first.id && !again.id.isNull());
        QVERIFY(h.service->upcomingStops().front() != upcoming);
    }

    void storedChoice_data() {
        QTest::addColumn<std::optional<QString>>("sessionChoice");
        QTest::addColumn<std::optional<QString>>("tripChoice");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<std::optional<QString>>("selection");
        QTest::addColumn<QString>("arrival");

        const std::optional<QString> none;
        const StopDoc passedA{koeln, u"Köln Hbf"_s, true};
        const StopDoc b{dortmund, u"Dortmund Hbf"_s};
        const StopDoc passedB{dortmund, u"Dortmund Hbf"_s, true};
        const StopDoc c{frankfurt, u"Frankfurt(Main)Hbf"_s};
        QTest::newRow("kept while ahead")
            << std::optional(frankfurt) << std::optional(frankfurt) << tripJson({passedA, b, c})
            << std::optional(frankfurt) << frankfurt;
        QTest::newRow("passed choice cleared") << std::optional(dortmund) << std::optional(dortmund)
                                               << tripJson({passedA, passedB, c}) << none << frankfurt;
        QTest::newRow("passed choice falls back to the trip's")
            << std::optional(dortmund) << std::optional(frankfurt) << tripJson({passedA, passedB, c})
            << std::optional(frankfurt) << frankfurt;
        QTest::newRow("trip's choice restored")
            << none << std::optional(frankfurt) << tripJson({passedA, b, c}) << std::optional(frankfurt)
            << frankfurt;
        QTest::newRow("trip's passed choice not restored")
            << none << std::optional(koeln) << tripJson({passedA, b, c}) << none << dortmund;
        QTest::newRow("choice left the route") << std::optional(frankfurt) << std::optional(frankfurt)
                                               << tripJson({{koeln, u"Köln Hbf"_s}, b}) << none << koeln;
        QTest::newRow("automatic") << none << none << tripJson({passedA, b, c}) << none << dortmund;
    }

    void storedChoice() {
        QFETCH(std::optional<QString>, sessionChoice);
        QFETCH(std::optional<QString>, tripChoice);
        QFETCH(QByteArray, json);
        Harness h;
        h.service->apply(statusOf(u"ICE 1"_s));
        h.service->applyTripInfo(route(
            {{koeln, u"Köln Hbf"_s}, {dortmund, u"Dortmund Hbf"_s}, {frankfurt, u"Frankfurt(Main)Hbf"_s}}));
        h.service->selectDestination(sessionChoice);
        h.service->currentTrip()->setSelectedStopEva(tripChoice);

        h.service->applyTripInfo(decodeTrip(json));
        QTEST(h.service->selectedStopEva(), "selection");
        QTEST(h.service->menubarArrivalStop()->eva, "arrival");
    }

    void selectDestination_data() {
        QTest::addColumn<std::optional<QString>>("eva");
        QTest::addColumn<std::optional<QString>>("selection");
        QTest::newRow("upcoming stop") << std::optional(dortmund) << std::optional(dortmund);
        QTest::newRow("passed stop") << std::optional(koeln) << std::optional<QString>();
        QTest::newRow("unknown stop") << std::optional(u"8099999"_s) << std::optional<QString>();
        QTest::newRow("automatic") << std::optional<QString>() << std::optional<QString>();
    }

    void selectDestination() {
        QFETCH(std::optional<QString>, eva);
        QFETCH(std::optional<QString>, selection);
        Harness h;
        h.service->apply(statusOf(u"ICE 1"_s));
        h.service->applyTripInfo(route({{koeln, u"Köln Hbf"_s, true},
                                        {dortmund, u"Dortmund Hbf"_s},
                                        {frankfurt, u"Frankfurt(Main)Hbf"_s}}));
        h.service->selectDestination(frankfurt);
        h.service->selectDestination(eva);
        QCOMPARE(h.service->selectedStopEva(), selection);
        QCOMPARE(h.service->currentTrip()->selectedStopEva(), selection);
    }

    // --- Delay history ---

    void delaySnapshots_data() {
        QTest::addColumn<QList<Delay>>("delays");
        QTest::addColumn<int>("restartBefore");
        QTest::addColumn<QStringList>("stored");

        const Delay five(u"+5"_s);
        const Delay seven(u"+7"_s);
        const Delay empty(QString{});
        QTest::newRow("unchanged written once") << QList<Delay>{five, five} << -1 << QStringList{u"+5"_s};
        QTest::newRow("change written") << QList<Delay>{five, seven} << -1 << QStringList{u"+5"_s, u"+7"_s};
        QTest::newRow("empty text in between")
            << QList<Delay>{five, empty, five} << -1 << QStringList{u"+5"_s};
        QTest::newRow("absent text in between")
            << QList<Delay>{five, std::nullopt, five} << -1 << QStringList{u"+5"_s};
        QTest::newRow("back to an earlier text")
            << QList<Delay>{five, seven, five} << -1 << QStringList{u"+5"_s, u"+7"_s, u"+5"_s};
        QTest::newRow("never a text") << QList<Delay>{empty, std::nullopt} << -1 << QStringList{};
        // After a restart only the newest stored text counts: "+7" is no change, "+5" is one.
        QTest::newRow("after a restart")
            << QList<Delay>{five, seven, seven, five} << 2 << QStringList{u"+5"_s, u"+7"_s, u"+5"_s};
    }

    void delaySnapshots() {
        QFETCH(QList<Delay>, delays);
        QFETCH(int, restartBefore);
        QFETCH(QStringList, stored);
        Harness h;
        h.service->apply(statusOf(u"ICE 1"_s));
        Trip* trip = h.service->currentTrip();
        for (qsizetype i = 0; i < delays.size(); ++i) {
            if (i == restartBefore) {
                h.restartService();
                h.service->reconcileActiveTrips();
                QCOMPARE(h.service->currentTrip(), trip);
            }
            h.clock.advance(5);
            h.service->applyTripInfo(route(
                {{koeln, u"Köln Hbf"_s, true}, {frankfurt, u"Frankfurt(Main)Hbf"_s, false, delays[i]}}));
        }
        QStringList texts;
        QStringList messages;
        for (const StopSnapshot* snapshot : h.snapshots()) {
            texts << snapshot->arrivalDelayText().value_or(u"<absent>"_s);
            QCOMPARE(snapshot->trip(), trip);
            QCOMPARE(snapshot->stationEva(), frankfurt);
            messages << u"Snapshot delay change: stop=Frankfurt(Main)Hbf delay=%1"_s.arg(texts.last());
        }
        QCOMPARE(texts, stored);
        QCOMPARE(h.log.startingWith(u"Snapshot delay change"_s), messages);
    }
};

QTEST_GUILESS_MAIN(TestTrainService)
#include "tst_trainservice.moc"
