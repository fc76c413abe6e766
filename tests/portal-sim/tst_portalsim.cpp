// What the simulated portal serves must pass the application's own decoder, or the demo proves nothing.

#include "PortalSimulator.h"
#include "ScenarioClock.h"
#include "portal/ICEPortalClient.h"
#include "support/ManualClock.h"

#include <QTest>

using namespace quendle2;
using namespace quendle2::sim;
using namespace Qt::Literals::StringLiterals;

class TestPortalSim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void journeyAtAMoment_data() {
        QTest::addColumn<double>("minute");
        QTest::addColumn<double>("minSpeed");
        QTest::addColumn<double>("maxSpeed");
        QTest::addColumn<QString>("nextStop");
        QTest::addColumn<QString>("nextArrivalDelay");
        QTest::addColumn<int>("passed");
        QTest::addColumn<QString>("internet");
        QTest::addColumn<QString>("tzn");
        QTest::addColumn<QString>("dortmundDelay"); // the arrival forecast there moves as the journey plays
        QTest::addColumn<QString>("kolnTrack");     // scheduled 11, changed from minute 25 on
        QTest::addColumn<QString>("connectivity");  // current state, next different state, seconds to it
        QTest::addColumn<QString>("reasons");       // codes at Essen | at Dortmund

        QTest::newRow("standing at the first stop")
            << -2.0 << 0.0 << 0.0 << u"Frankfurt(Main)Hbf"_s << QString() << 0 << u"HIGH"_s << u"ICE9473"_s
            << u""_s << u"11"_s << u"HIGH MIDDLE 1020"_s << u"|"_s;
        QTest::newRow("standing at the airport, two minutes late to leave")
            << 12.0 << 0.0 << 0.0 << u"Frankfurt(M) Flughafen Fernbf"_s << QString() << 1 << u"HIGH"_s
            << u"ICE9473"_s << u"+2"_s << u"11"_s << u"HIGH MIDDLE 180"_s << u"|"_s;
        QTest::newRow("Köln's new platform announced")
            << 25.0 << 290.0 << 300.0 << u"Köln Messe/Deutz"_s << u"+2"_s << 2 << u"MIDDLE"_s << u"ICE9473"_s
            << u"+2"_s << u"12"_s << u"MIDDLE HIGH 300"_s << u"|"_s;
        QTest::newRow("the internet drops in five minutes")
            << 50.0 << 295.0 << 300.0 << u"Köln Messe/Deutz"_s << u"+2"_s << 2 << u"WEAK"_s << u"ICE9473"_s
            << u"+2"_s << u"12"_s << u"WEAK NO_INTERNET 300"_s << u"|"_s;
        QTest::newRow("standing in Düsseldorf, five late")
            << 95.0 << 0.0 << 0.0 << u"Düsseldorf Hbf"_s << u"+5"_s << 3 << u"HIGH"_s << u"ICE9473"_s
            << u"+5"_s << u"12"_s << u"HIGH UNSTABLE 300"_s << u"47|47"_s;
        QTest::newRow("after Essen, a repair announced")
            << 130.0 << 205.0 << 210.0 << u"Dortmund Hbf"_s << u"+12"_s << 6 << u"MIDDLE"_s << u"ICE9473"_s
            << u"+12"_s << u"12"_s << u"MIDDLE HIGH 200"_s << u"47|47 36"_s;
        QTest::newRow("without internet, the portal's service failing next")
            << 272.0 << 275.0 << 280.0 << u"Hamburg Hbf"_s << u"+4"_s << 10 << u"NO_INTERNET"_s
            << u"ICE9473"_s << u"+12"_s << u"12"_s << u"NO_INTERNET HIGH 480"_s << u"47|47 36"_s;
        QTest::newRow("arrived at the terminus")
            << 333.0 << 0.0 << 0.0 << u"Hamburg Hbf"_s << u"+2"_s << 11 << u"HIGH"_s << u"ICE9473"_s
            << u"+12"_s << u"12"_s << u"HIGH"_s << u"47|47 36"_s;
        QTest::newRow("renumbered at the terminus")
            << 336.0 << 0.0 << 0.0 << u"Hamburg Hbf"_s << u"+2"_s << 11 << u"HIGH"_s << u"ICE9475"_s
            << u"+12"_s << u"12"_s << u"HIGH"_s << u"47|47 36"_s;
    }

    void journeyAtAMoment() {
        QFETCH(double, minute);
        QFETCH(double, minSpeed);
        QFETCH(double, maxSpeed);
        QFETCH(int, passed);

        PortalSimulator sim(Scenario::builtInJourney(), m_clock);
        sim.play(1.0, minute * 60);

        const auto status = ICEStatus::decode(sim.documentBody(PortalSimulator::Path::Status));
        QVERIFY2(status.ok(), qPrintable(status.ok() ? QString() : status.error().description()));
        QVERIFY2(*status.value().speed >= minSpeed && *status.value().speed <= maxSpeed,
                 qPrintable(QString::number(*status.value().speed)));
        QTEST(status.value().internet.value_or(QString()), "internet");
        QTEST(status.value().tzn.value_or(QString()), "tzn");
        const ICEStatus::Connectivity& forecast = *status.value().connectivity;
        QStringList states{*forecast.currentState};
        if (forecast.nextState) {
            states << *forecast.nextState << QString::number(*forecast.remainingTimeSeconds);
        }
        QTEST(states.join(u' '), "connectivity");

        const auto trip = ICETripInfo::decode(sim.documentBody(PortalSimulator::Path::Trip));
        QVERIFY2(trip.ok(), qPrintable(trip.ok() ? QString() : trip.error().description()));
        const auto& stops = *trip.value().trip->stops;
        QCOMPARE(stops.size(), std::size_t{11});
        QTEST(stops.at(6).timetable->arrivalDelay.value_or(QString()), "dortmundDelay");
        QTEST(stops.at(2).track->actual.value_or(QString()), "kolnTrack");
        const auto codes = [](const ICETripInfo::Trip::Stop& stop) {
            QStringList list;
            for (const auto& reason :
                 stop.delayReasons.value_or(std::vector<ICETripInfo::Trip::Stop::DelayReason>{})) {
                list << *reason.code;
            }
            return list.join(u' ');
        };
        QTEST(codes(stops.at(5)) + u'|' + codes(stops.at(6)), "reasons");
        int passedCount = 0;
        const ICETripInfo::Trip::Stop* next = nullptr;
        for (const auto& stop : stops) {
            if (stop.info->passed.value_or(false)) {
                QVERIFY2(next == nullptr, "a passed stop follows one not yet passed");
                ++passedCount;
            } else if (next == nullptr) {
                next = &stop;
            }
        }
        QCOMPARE(passedCount, passed);
        next = next != nullptr ? next : &stops.back(); // at the terminus, the last stop
        QTEST(next->station->name.value_or(QString()), "nextStop");
        QTEST(next->timetable->arrivalDelay.value_or(QString()), "nextArrivalDelay");
        // The first stop has no arrival and the last no departure, as on the real portal.
        QVERIFY(!stops.front().timetable->scheduledArrivalTime &&
                !stops.back().timetable->scheduledDepartureTime);
    }

    // The demo's clock and portal share one 30x time line, here five hours ahead as an earlier run may leave
    // it.
    void scenarioClockKeepsTheJourneysPace_data() {
        QTest::addColumn<double>("wallSeconds");
        QTest::addColumn<qint64>("journeyMs"); // since the start's instant
        QTest::addColumn<qint64>("remaining"); // seconds to HIGH, at scenario second 1800

        QTest::newRow("at the start") << 0.0 << qint64{0} << qint64{900};
        QTest::newRow("ten seconds on: five minutes") << 10.0 << qint64{300'000} << qint64{600};
        QTest::newRow("a fraction of a second short, rounded up") << 29.99 << qint64{899'700} << qint64{1};
    }

    void scenarioClockKeepsTheJourneysPace() {
        QFETCH(double, wallSeconds);
        QFETCH(qint64, journeyMs);
        const qint64 start = m_clock.now().toMSecsSinceEpoch() + 5 * 3'600'000;
        const SimTimeline timeline{m_clock.now().toMSecsSinceEpoch(), start, 900, 30};
        PortalSimulator sim(Scenario::builtInJourney(), m_clock);
        sim.play(timeline);
        ScenarioClock clock(m_clock);
        clock.follow(timeline);
        m_clock.advance(wallSeconds);

        QCOMPARE(clock.now().toMSecsSinceEpoch(), start + journeyMs);
        const auto status = ICEStatus::decode(sim.documentBody(PortalSimulator::Path::Status));
        QCOMPARE(*status.value().serverTime, start + journeyMs);
        QTEST(*status.value().connectivity->remainingTimeSeconds, "remaining");
        const auto trip = ICETripInfo::decode(sim.documentBody(PortalSimulator::Path::Trip));
        // Scheduled at scenario second 660, four minutes before the start.
        QCOMPARE(*trip.value().trip->stops->at(1).timetable->scheduledArrivalTime, start - 240'000);
    }

    void outageDropsConnections() {
        PortalSimulator sim(Scenario::builtInJourney(), m_clock);
        sim.play(1.0, 13000); // between Bielefeld and Hannover, inside the outage
        QVERIFY(sim.listen());
        ICEPortalClient client(3.0, sim.origin(), PortalSimulator::caCertificates());
        const auto fetch = client.fetchStatus();
        QTRY_VERIFY_WITH_TIMEOUT(fetch.isFinished(), 10000);
        QVERIFY(!fetch.outcome()->ok());
        QCOMPARE(fetch.outcome()->error().kind, PortalError::Kind::Network);

        sim.play(1.0, 13500); // the outage is over
        const auto again = client.fetchStatus();
        QTRY_VERIFY_WITH_TIMEOUT(again.isFinished(), 10000);
        QVERIFY(again.outcome()->ok());
    }

    void scenarioFileErrors_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");

        QTest::newRow("not JSON") << QByteArray("nope") << u"not a JSON object"_s;
        QTest::newRow("one stop") << QByteArray(R"({"stops":[{"evaNr":"1","name":"A","departure":0}]})")
                                  << u"at least two stops"_s;
        QTest::newRow("unnamed stop")
            << QByteArray(R"({"stops":[{"evaNr":"1","departure":0},{"evaNr":"2","name":"B","arrival":60}]})")
            << u"stop 0 needs an evaNr and a name"_s;
        QTest::newRow("middle stop without departure")
            << QByteArray(
                   R"({"stops":[{"evaNr":"1","name":"A","departure":0},{"evaNr":"2","name":"B","arrival":60},)"
                   R"({"evaNr":"3","name":"C","arrival":120}]})")
            << u"stop 1 (B) lacks an arrival or a departure"_s;
        QTest::newRow("delay makes the train run backwards")
            << QByteArray(R"({"stops":[{"evaNr":"1","name":"A","departure":0,"departureDelay":5},)"
                          R"({"evaNr":"2","name":"B","arrival":60}]})")
            << u"the actual times at B run backwards"_s;
    }

    void scenarioFileErrors() {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        QString message;
        QVERIFY(!Scenario::fromJson(json, &message).has_value());
        QVERIFY2(message.contains(error), qPrintable(message));
    }

private:
    ManualClock m_clock{QDateTime(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC)};
};

QTEST_GUILESS_MAIN(TestPortalSim)
#include "tst_portalsim.moc"
