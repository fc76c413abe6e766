// A scripted portal and a manual clock hit every grace period, debounce and window exactly at its edge.

#include "platform/NotificationCenter.h"
#include "store/SpeedSample.h"
#include "support/ServiceTestSupport.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cfloat>
#include <limits>

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
    bool connected; ///< afterwards
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

QList<Trip*> addTrips(Harness& h, const QList<PriorTrip>& priors) {
    QList<Trip*> trips;
    for (const PriorTrip& prior : priors) {
        trips << h.addTrip(prior.train, prior.startedAgo, prior.active);
    }
    return trips;
}

} // namespace

Q_DECLARE_METATYPE(QList<Sighting>)
Q_DECLARE_METATYPE(QList<PriorTrip>)
Q_DECLARE_METATYPE(QList<Delay>)
Q_DECLARE_METATYPE(std::optional<QString>)

class TestTrainService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLoggingCategory::setFilterRules(u"org.quendle2.Quendle2.*.debug=true"_s); }

    // Connected until 120 s after the last status, each change told once; a route waits for its status.
    void reachability() {
        Harness h(false);
        QSignalSpy finished(h.service.get(), &TrainService::tickFinished);
        TrainServiceProbe::tick(*h.service);
        QCOMPARE(h.client->tripCalls(), 1); // both documents are requested at once, the status consumed first
        h.client->tripInFlight().complete(TripOutcome::success(route({stop(frankfurt)})));
        QVERIFY(h.service->allStops().empty() && finished.isEmpty());
        h.client->statusInFlight().complete(unreachable());
        QCOMPARE(finished.count(), 1);
        h.tick(unreachable(), TripOutcome::failure({PortalError::Kind::Timeout, u"Operation timed out"_s}));
        QVERIFY(h.log.has(QtCriticalMsg, u"Status fetch failed: Connection refused"_s));
        QVERIFY(h.log.has(QtCriticalMsg, u"Trip fetch failed: Operation timed out"_s));
        QCOMPARE(evasOf(h.service->allStops()), QStringList{frankfurt}); // the route does not need the status
        const QString tickEnd =
            u"Tick end (elapsed=0.000s) connected=false lastSuccessAge=%1s"_s.arg(Log::fixed(DBL_MAX, 1));
        QCOMPARE(h.log.startingWith(u"Tick end"_s), (QStringList{tickEnd, tickEnd}));

        const Step steps[] = {{0, true, true},     {5, true, true},   {120, false, true},
                              {0.5, false, false}, {5, false, false}, {5, true, true}};
        for (const Step& step : steps) {
            h.clock.advance(step.advance);
            h.tick(step.statusOk ? reached(u"ICE 1"_s) : unreachable());
            QCOMPARE(h.service->connected(), step.connected);
        }
        const QString up = u"Reachability state changed -> connected=true lastSuccessAge=0.0s"_s;
        const QString down = u"Reachability state changed -> connected=false lastSuccessAge=120.5s"_s;
        QCOMPARE(h.log.startingWith(u"Reachability state changed"_s), (QStringList{up, down, up}));
    }

    // A damaged settings row may hold any number: the timer never runs faster than 1 s, nor overflows.
    void refreshIntervalRestartsTimerEvenWhenUnchanged_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("5 s") << 5.0 << 5000;
        QTest::newRow("0 s held at 1 s") << 0.0 << 1000;
        QTest::newRow("not a number held at 1 s") << std::numeric_limits<double>::quiet_NaN() << 1000;
        QTest::newRow("beyond a timer's range") << 1e12 << std::numeric_limits<int>::max();
    }
    void refreshIntervalRestartsTimerEvenWhenUnchanged() {
        QFETCH(double, seconds);
        QFETCH(int, milliseconds);
        Harness h(false);
        for (int i = 0; i < 2; ++i) {
            h.client->queueStatus(reached(u"ICE 1"_s));
            h.client->queueTrip(noRoute());
        }
        QSignalSpy finished(h.service.get(), &TrainService::tickFinished);
        h.service->setRefreshInterval(seconds);
        QCoreApplication::processEvents();
        const QPointer<QTimer> first = TrainServiceProbe::timer(*h.service);
        QVERIFY(first != nullptr);
        QCOMPARE(first->interval(), milliseconds);
        QCOMPARE(finished.count(), 1);

        h.service->setRefreshInterval(h.service->refreshInterval());
        QVERIFY(TrainServiceProbe::timer(*h.service) != first &&
                TrainServiceProbe::timer(*h.service)->isActive());
        QVERIFY(!first->isActive());
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 2);
    }

    // The speed shown is never negative or NaN; absent fields read as nothing.
    void statusFields() {
        Harness h(false);
        for (const std::optional<double> speed :
             {std::optional(-3.0), std::optional(qQNaN()), std::optional<double>()}) {
            h.apply(statusWith(true, u"WEAK"_s, 106.3, std::nullopt, std::nullopt));
            QVERIFY(h.service->currentSpeedKmh() == 106.3 && h.service->wifiQuality() == u"WEAK"_s &&
                    TrainServiceProbe::portalConnectionFlag(*h.service) == std::optional(true));
            h.apply(statusWith(std::nullopt, std::nullopt, speed, std::nullopt, std::nullopt));
            QCOMPARE(h.service->currentSpeedKmh(), 0.0);
            QCOMPARE(h.service->wifiQuality(), QString());
            QCOMPARE(TrainServiceProbe::portalConnectionFlag(*h.service), std::nullopt);
        }
    }

    void trainIdentifier_data() {
        QTest::addColumn<std::optional<QString>>("trainType");
        QTest::addColumn<std::optional<QString>>("tzn");
        QTest::addColumn<QString>("composed");

        const std::optional<QString> none;
        const std::optional ice(u"ICE"_s);
        QTest::newRow("number glued to the type") << ice << std::optional(u"ICE9473"_s) << u"ICE 9473"_s;
        QTest::newRow("type only") << ice << none << u"ICE"_s;
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
        Harness h;
        h.apply(statusOf(u"ICE 100"_s));
        QSignalSpy changed(h.service.get(), &TrainService::trainIdentifierChanged);
        for (int i = 0; i < 2; ++i) {
            h.apply(statusWith(true, std::nullopt, 100.0 + i, trainType, tzn));
        }
        // An identifier that says nothing keeps the last one and cannot start a change of train.
        QCOMPARE(h.service->trainIdentifier(), composed.isEmpty() ? u"ICE 100"_s : composed);
        const bool otherTrain = !composed.isEmpty() && composed != u"ICE 100"_s;
        QCOMPARE(TrainServiceProbe::changeCandidateIdent(*h.service),
                 otherTrain ? std::optional(composed) : std::nullopt);
        // Announced once per new identifier, but observers hear about every status that names one.
        QCOMPARE(h.log.startingWith(u"Train identifier set to"_s).size(), qsizetype(otherTrain ? 2 : 1));
        if (!composed.isEmpty()) {
            QCOMPARE(changed.count(), 2);
        }
    }

    void trainChange_data() {
        QTest::addColumn<QList<Sighting>>("sightings");
        QTest::addColumn<QString>("newTrain");
        QTest::addColumn<int>("candidates");

        const QString two = u"ICE 2"_s;
        const QString three = u"ICE 3"_s;
        // A status without an identifier keeps the candidate.
        QTest::newRow("at exactly 30 s, not at 29.999 s")
            << QList<Sighting>{{0, two}, {10, QString()}, {29.999, two}, {30, two}} << two << 1;
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
        h.apply(statusOf(u"ICE 1"_s, 90));
        QPointer<Trip> old = h.service->currentTrip();
        QVERIFY(old != nullptr);

        for (qsizetype i = 0; i < sightings.size(); ++i) {
            const Sighting& sighting = sightings[i];
            const double speed = 100.0 + 10.0 * static_cast<double>(i); // every status leaves a sample
            h.clock.set(journeyStart.addMSecs(qRound64(sighting.at * 1000)));
            h.apply(sighting.train.isEmpty()
                        ? statusWith(true, std::nullopt, speed, std::nullopt, std::nullopt)
                        : statusOf(sighting.train, speed));
            const bool last = i == sightings.size() - 1;
            QCOMPARE(h.service->currentTrip() == old.data(), !last);
            QCOMPARE(old->active(), !last);
            if (last) {
                // Closed at the commit; the confirming status was still measured on the old train.
                QCOMPARE(old->endDate(), std::optional(h.clock.now()));
                QCOMPARE(old->latestSample()->timestamp(), h.clock.now());
                QCOMPARE(old->latestSample()->speedKmh(), speed);
                QCOMPARE(h.service->currentTrip()->trainIdentifier(), newTrain);
                QCOMPARE(h.service->currentTrip()->sampleCount(), 0);
                QCOMPARE(TrainServiceProbe::changeCandidateIdent(*h.service), std::nullopt);
            }
        }
        QVERIFY(
            h.log.has(QtInfoMsg, u"Train change committed after debounce old=ICE 1 new=%1"_s.arg(newTrain)));
        QVERIFY(h.log.has(QtDebugMsg, u"Train change candidate detected ident=ICE 2"_s));
        QTEST(static_cast<int>(h.log.startingWith(u"Train change candidate detected"_s).size()),
              "candidates");
    }

    void tripReuse_data() {
        QTest::addColumn<QList<PriorTrip>>("priors");
        QTest::addColumn<int>("reused");
        QTest::addColumn<QString>("message");

        const QString train = u"ICE 5"_s;
        const QString active = u"Reusing active trip ident=ICE 5"_s;
        const QString recent = u"Reusing recent trip ident=ICE 5"_s;
        const QString created = u"Created new trip ident=ICE 5"_s;
        QTest::newRow("active trip") << QList<PriorTrip>{{train, 7200, true}} << 0 << active;
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
        QFETCH(QString, message);
        Harness h;
        const QList<Trip*> trips = addTrips(h, priors);
        // A choice of this session, to see whether the trip's own replaces it.
        h.applyTripInfo(route({stop(dortmund), stop(frankfurt)}));
        h.service->selectDestination(dortmund);

        h.apply(statusOf(u"ICE 5"_s));
        Trip* current = h.service->currentTrip();
        QVERIFY2(h.log.has(QtInfoMsg, message), qPrintable(message));
        if (reused >= 0) {
            // Taken up as it is: a closed one stays closed and keeps its end.
            const PriorTrip& prior = priors[reused];
            QCOMPARE(current, trips[reused]);
            QCOMPARE(current->active(), prior.active);
            QCOMPARE(current->endDate(),
                     prior.active ? std::nullopt : std::optional(current->startDate().addSecs(300)));
            QCOMPARE(h.service->selectedStopEva(), std::optional(frankfurt));
        } else {
            QVERIFY(current != nullptr && !trips.contains(current) && current->active());
            QCOMPARE(current->startDate(), h.clock.now());
            QCOMPARE(h.service->selectedStopEva(), std::nullopt);
        }
    }

    void reconciliation_data() {
        QTest::addColumn<QList<PriorTrip>>("priors");
        QTest::addColumn<int>("adopted");
        QTest::addColumn<QStringList>("messages");

        QTest::newRow("two active, older stored first")
            << QList<PriorTrip>{{u"ICE 1"_s, 3600, true}, {u"ICE 2"_s, 600, true}} << 1
            << QStringList{u"Reconciled existing active trip ident=ICE 2"_s,
                           u"Closed duplicate active trip ident=ICE 1"_s};
        QTest::newRow("one active among newer closed")
            << QList<PriorTrip>{{u"ICE 1"_s, 3600, true}, {u"ICE 2"_s, 600, false}} << 0
            << QStringList{u"Reconciled existing active trip ident=ICE 1"_s};
        QTest::newRow("none active") << QList<PriorTrip>{{u"ICE 1"_s, 600, false}} << -1
                                     << QStringList{u"No active trip found during reconciliation"_s};
    }

    void reconciliation() {
        QFETCH(QList<PriorTrip>, priors);
        QFETCH(int, adopted);
        QFETCH(QStringList, messages);
        Harness h;
        const QList<Trip*> trips = addTrips(h, priors);
        h.service->start();
        QCoreApplication::processEvents();

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

    // Neither the start's steps nor the documents of a tick under way may reach a service that is gone.
    void serviceGoneDoesNothing() {
        Harness h;
        Trip* older = h.addTrip(u"ICE 1"_s, 3600, true);
        Trip* newer = h.addTrip(u"ICE 2"_s, 600, true);
        h.service->start();
        TrainServiceProbe::tick(*h.service);
        const auto lateStatus = h.client->statusInFlight();
        const auto lateTrip = h.client->tripInFlight();
        h.service.reset();
        lateStatus.complete(reached(u"ICE 2"_s));
        lateTrip.complete(noRoute());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(older->active() && newer->active());
        for (const QString& message :
             {u"Reconciled"_s, u"Restarting polling timer"_s, u"Train identifier"_s}) {
            QVERIFY2(h.log.startingWith(message).isEmpty(), qPrintable(message));
        }
    }

    // The previous run's sample is not this run's: the trip closes for inactivity, or for the disconnect.
    void tripAdoptedAtStartClosedInFirstTick() {
        for (const bool reachable : {false, true}) {
            Harness h;
            Trip* trip = h.addTrip(u"ICE 1"_s, 600, true);
            h.context()->insert(std::make_unique<SpeedSample>(h.clock.now().addSecs(-10), 100.0, trip));
            h.client->queueStatus(reachable ? reached(u"ICE 1"_s, 100.0) : unreachable());
            h.client->queueTrip(noRoute());
            h.service->start();
            QSignalSpy finished(h.service.get(), &TrainService::tickFinished);
            QVERIFY(finished.wait(5000)); // the start's real 0.5 s delay
            QCOMPARE(trip->sampleCount(), 1);
            QVERIFY(!trip->active());
            QCOMPARE(trip->endDate(), std::optional(h.clock.now()));
            QCOMPARE(h.service->currentTrip(), nullptr);
            const QString closed =
                u"Trip closed due to %1 start=2024-05-01 08:05:00 +0000 end=2024-05-01 08:15:00 +0000"_s;
            QVERIFY(h.log.has(QtInfoMsg, closed.arg(reachable ? u"inactivity"_s : u"disconnect"_s)));
        }
    }

    // Closed only after more than 1200 s, before the tick posts its update, which comes before the tick ends.
    void staleTrip() {
        const QString closed =
            u"Trip closed due to disconnect start=2024-05-01 08:15:00 +0000 end=2024-05-01 08:35:00 +0000"_s;
        for (const double silence : {1200.0, 1200.001}) {
            const bool closes = silence > 1200;
            Harness h;
            QStringList events;
            QObject observer;
            NotificationCenter::defaultCenter().addObserver(
                Notification::TrainServiceDidUpdate, &observer, [&] {
                    events << (h.service->currentTrip() != nullptr ? u"posted, trip open"_s
                                                                   : u"posted, trip closed"_s);
                });
            connect(h.service.get(), &TrainService::tickFinished, &observer,
                    [&] { events << u"finished"_s; });

            h.tick(reached(u"ICE 1"_s));
            Trip* trip = h.service->currentTrip();
            QVERIFY(trip != nullptr);
            h.clock.advance(silence);
            h.tick(unreachable());
            QCOMPARE(trip->active(), !closes);
            QCOMPARE(trip->endDate(), closes ? std::optional(h.clock.now()) : std::nullopt);
            QCOMPARE(h.log.startingWith(u"Trip closed"_s), closes ? QStringList{closed} : QStringList{});
            const QString second = closes ? u"posted, trip closed"_s : u"posted, trip open"_s;
            QCOMPARE(events, (QStringList{u"posted, trip open"_s, u"finished"_s, second, u"finished"_s}));
        }
    }

    void deletedCurrentTripIsLetGo() {
        Harness h;
        QPointer<Trip> deleted = h.addTrip(u"ICE 1"_s, 1200, false);
        h.apply(statusOf(u"ICE 1"_s));
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
        h.tick(reached(u"ICE 1"_s, 150), TripOutcome::success(route({stop(frankfurt, false, u"+5"_s)})));
        h.service->selectDestination(frankfurt);
        h.clock.advance(1201);
        h.tick(unreachable());
        QVERIFY(h.log.has(QtInfoMsg, u"Created new trip ident=ICE 1"_s));
        QCOMPARE(endDate.count() + samples.count() + maxSpeed.count() + selection.count(), 0);
        const auto snapshots = h.snapshots();
        QCOMPARE(snapshots.size(), 1);
        QVERIFY(snapshots.first()->trip() != nullptr && snapshots.first()->trip() != deleted.data());
    }

    void speedSamples_data() {
        QTest::addColumn<QList<double>>("speeds");
        QTest::addColumn<double>("interval");
        QTest::addColumn<QList<double>>("position");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<double>("maxSpeed");
        QTest::addColumn<double>("avgSpeed");
        QTest::addColumn<QString>("lastRecorded");
        QTest::addColumn<QString>("lastPosition");

        // The trip starts with maximum 99 and average 42 to show which of them a sample replaces.
        QTest::newRow("unchanged, 30 s later; only standstill")
            << QList<double>{0, 0} << 30.0 << QList<double>{50.5, 8.25} << 2LL << 0.0 << 42.0
            << u"Recorded speed sample: speed=0.0 km/h totalSamples=2"_s << u"50.5 8.25"_s;
        QTest::newRow("0.9 km/h faster, 29.9 s later; latitude off the globe")
            << QList<double>{100, 100.9} << 29.9 << QList<double>{90.001, 8.25} << 1LL << 100.0 << 100.0
            << u"Recorded speed sample: speed=100.0 km/h totalSamples=1"_s << u"nan nan"_s;
        QTest::newRow("1 km/h faster, then slower; at the poles' limits")
            << QList<double>{100, 101, 100} << 5.0 << QList<double>{-90, -180} << 3LL << 101.0 << 301.0 / 3
            << u"Recorded speed sample: speed=100.0 km/h totalSamples=3"_s << u"-90 -180"_s;
        QTest::newRow("longitude not a number")
            << QList<double>{100} << 5.0 << QList<double>{50.5, qQNaN()} << 1LL << 100.0 << 100.0
            << u"Recorded speed sample: speed=100.0 km/h totalSamples=1"_s << u"nan nan"_s;
    }

    void speedSamples() {
        QFETCH(QList<double>, speeds);
        QFETCH(double, interval);
        QFETCH(QList<double>, position);
        Harness h;
        RecordRef<Trip> trip = h.context()->insert(std::make_unique<Trip>(h.clock.now(), u"ICE 1"_s, true));
        trip->setMaxSpeed(99);
        trip->setAvgSpeed(42);
        for (double speed : speeds) {
            h.clock.advance(interval);
            h.apply(statusOf(u"ICE 1"_s, speed, position[0], position[1]));
        }
        QCOMPARE(h.service->currentTrip(), trip);
        QTEST(trip->sampleCount(), "count");
        QTEST(trip->maxSpeed(), "maxSpeed");
        QTEST(trip->avgSpeed(), "avgSpeed");
        QTEST(h.log.startingWith(u"Recorded speed sample"_s).last(), "lastRecorded");
        const SpeedSample* latest = trip->latestSample();
        QTEST(u"%1 %2"_s.arg(latest->latitude().value_or(qQNaN())).arg(latest->longitude().value_or(qQNaN())),
              "lastPosition");
    }

    void routeStops_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("all");
        QTest::addColumn<QStringList>("upcoming");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("arrival");
        QTest::addColumn<bool>("choiceKept");

        const QStringList none;
        const QStringList all{koeln, dortmund, frankfurt};
        QTest::newRow("no trip") << QByteArray("{}") << none << none << -1 << QString() << true;
        QTest::newRow("trip without stops") << tripWithoutStops << none << none << -1 << QString() << true;
        QTest::newRow("empty route") << tripJson({}) << none << none << -1 << QString() << false;
        QTest::newRow("unusable stops dropped, no info")
            << tripJson(
                   {stop(koeln), {QString(), u"Hagen Hbf"_s}, {u"8000142"_s, QString()}, stop(frankfurt)})
            << QStringList{koeln, frankfurt} << QStringList{koeln, frankfurt} << 0 << koeln << false;
        QTest::newRow("chosen stop passed")
            << tripJson({stop(koeln, true), stop(dortmund, true), stop(frankfurt)}) << all
            << QStringList{frankfurt} << 2 << frankfurt << false;
        QTest::newRow("all passed") << tripJson({stop(koeln, true), stop(frankfurt, true)})
                                    << QStringList{koeln, frankfurt} << none << 1 << QString() << false;
    }

    void routeStops() {
        QFETCH(QByteArray, json);
        QFETCH(int, index);
        QFETCH(bool, choiceKept);
        Harness h(false);
        h.applyTripInfo(route({stop(dortmund)}));
        h.service->selectDestination(dortmund);

        h.applyTripInfo(decodeTrip(json));
        QTEST(evasOf(h.service->allStops()), "all");
        QTEST(evasOf(h.service->upcomingStops()), "upcoming");
        QCOMPARE(h.service->currentStopIndex(), index >= 0 ? std::optional<qsizetype>(index) : std::nullopt);
        const auto arrival = h.service->menubarArrivalStop();
        QTEST(arrival ? arrival->eva : QString(), "arrival");
        QCOMPARE(h.service->selectedStopEva(), choiceKept ? std::optional(dortmund) : std::nullopt);
    }

    void stopTimesAndFreshIds() {
        Harness h(false);
        h.applyTripInfo(decodeTrip(timedStop));
        const TrainService::TripStop first = h.service->allStops().front();
        const QDateTime epoch = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
        QCOMPARE(first.scheduledArrival, std::optional(epoch.addMSecs(1500)));
        QCOMPARE(first.actualArrival, std::optional(epoch.addMSecs(61500)));
        QCOMPARE(first.scheduledDeparture, std::optional(epoch.addSecs(120)));
        QCOMPARE(first.actualDeparture, std::optional(epoch.addSecs(180)));
        const TrainService::UpcomingStop upcoming = h.service->upcomingStops().front();
        QVERIFY(upcoming.id != first.id);
        QCOMPARE(upcoming.scheduledArrival, first.scheduledArrival);
        QCOMPARE(upcoming.arrivalDelayText, std::optional(u"+1"_s));

        // Views key their rows on the ids: the same document must still produce new rows.
        h.applyTripInfo(decodeTrip(timedStop));
        const TrainService::TripStop again = h.service->allStops().front();
        QVERIFY(again.id != first.id && !again.id.isNull());
        QVERIFY(h.service->upcomingStops().front() != upcoming);
    }

    void storedChoice_data() {
        QTest::addColumn<std::optional<QString>>("sessionChoice");
        QTest::addColumn<std::optional<QString>>("tripChoice");
        QTest::addColumn<bool>("dortmundPassed");
        QTest::addColumn<std::optional<QString>>("selection");
        QTest::addColumn<QString>("arrival");

        const std::optional<QString> none;
        const std::optional<QString> k(koeln);
        const std::optional<QString> d(dortmund);
        const std::optional<QString> f(frankfurt);
        QTest::newRow("kept while ahead") << f << f << false << f << frankfurt;
        QTest::newRow("passed choice cleared") << d << d << true << none << frankfurt;
        QTest::newRow("passed choice falls back to the trip's") << d << f << true << f << frankfurt;
        QTest::newRow("trip's choice restored") << none << f << false << f << frankfurt;
        QTest::newRow("trip's passed choice not restored") << none << k << false << none << dortmund;
    }

    void storedChoice() {
        QFETCH(std::optional<QString>, sessionChoice);
        QFETCH(std::optional<QString>, tripChoice);
        QFETCH(bool, dortmundPassed);
        Harness h;
        h.apply(statusOf(u"ICE 1"_s));
        h.applyTripInfo(route({stop(koeln), stop(dortmund), stop(frankfurt)}));
        h.service->selectDestination(sessionChoice);
        h.service->currentTrip()->setSelectedStopEva(tripChoice);

        h.applyTripInfo(route({stop(koeln, true), stop(dortmund, dortmundPassed), stop(frankfurt)}));
        QTEST(h.service->selectedStopEva(), "selection");
        QTEST(h.service->menubarArrivalStop()->eva, "arrival");

        // Only an upcoming stop can be chosen, for the session and the trip; anything else means automatic.
        h.service->selectDestination(koeln);
        QCOMPARE(h.service->selectedStopEva(), std::nullopt);
        QCOMPARE(h.service->currentTrip()->selectedStopEva(), std::nullopt);
    }

    void delaySnapshots_data() {
        QTest::addColumn<QList<Delay>>("delays");
        QTest::addColumn<int>("restartBefore");
        QTest::addColumn<QStringList>("stored");

        const Delay five(u"+5"_s);
        const Delay seven(u"+7"_s);
        QTest::newRow("empty and absent texts are no change")
            << QList<Delay>{five, Delay(QString()), std::nullopt, five} << -1 << QStringList{u"+5"_s};
        QTest::newRow("back to an earlier text")
            << QList<Delay>{five, seven, five} << -1 << QStringList{u"+5"_s, u"+7"_s, u"+5"_s};
        // After a restart only the newest stored text counts: "+7" is no change, "+5" is one.
        QTest::newRow("after a restart")
            << QList<Delay>{five, seven, seven, five} << 2 << QStringList{u"+5"_s, u"+7"_s, u"+5"_s};
    }

    void delaySnapshots() {
        QFETCH(QList<Delay>, delays);
        QFETCH(int, restartBefore);
        Harness h;
        h.apply(statusOf(u"ICE 1"_s));
        Trip* trip = h.service->currentTrip();
        for (qsizetype i = 0; i < delays.size(); ++i) {
            if (i == restartBefore) {
                h.restartService();
                TrainServiceProbe::reconcileActiveTrips(*h.service);
                QCOMPARE(h.service->currentTrip(), trip);
            }
            h.clock.advance(5);
            h.applyTripInfo(route({stop(koeln, true), stop(frankfurt, false, delays[i])}));
        }
        QStringList texts;
        QStringList messages;
        for (const StopSnapshot* snapshot : h.snapshots()) {
            QVERIFY(snapshot->trip() == trip && snapshot->stationEva() == frankfurt);
            texts << snapshot->arrivalDelayText().value_or(u"<absent>"_s);
            messages << u"Snapshot delay change: stop=Frankfurt(Main)Hbf delay=%1"_s.arg(texts.last());
        }
        QTEST(texts, "stored");
        QCOMPARE(h.log.startingWith(u"Snapshot delay change"_s), messages);
    }
};

QTEST_GUILESS_MAIN(TestTrainService)
#include "tst_trainservice.moc"
