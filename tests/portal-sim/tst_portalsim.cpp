// The simulated portal must play a believable journey, and what it serves must pass the application's
// own decoder: otherwise the demo and the integration tests prove nothing.

#include "PortalSimulator.h"
#include "platform/ManualClock.h"
#include "portal/ICEPortalClient.h"

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

        QTest::newRow("standing at the first stop") << -2.0 << 0.0 << 0.0 << u"Frankfurt(Main)Hbf"_s
                                                    << QString() << 0 << u"HIGH"_s << u"ICE9473"_s << u""_s;
        QTest::newRow("cruising to the airport, on time")
            << 5.0 << 215.0 << 220.0 << u"Frankfurt(M) Flughafen Fernbf"_s << QString() << 1 << u"HIGH"_s
            << u"ICE9473"_s << u""_s;
        QTest::newRow("standing at the airport, two minutes late to leave")
            << 12.0 << 0.0 << 0.0 << u"Frankfurt(M) Flughafen Fernbf"_s << QString() << 1 << u"HIGH"_s
            << u"ICE9473"_s << u"+2"_s;
        QTest::newRow("high-speed line") << 40.0 << 295.0 << 300.0 << u"Köln Messe/Deutz"_s << u"+2"_s << 2
                                         << u"HIGH"_s << u"ICE9473"_s << u"+2"_s;
        QTest::newRow("standing in Düsseldorf, five late")
            << 95.0 << 0.0 << 0.0 << u"Düsseldorf Hbf"_s << u"+5"_s << 3 << u"HIGH"_s << u"ICE9473"_s
            << u"+5"_s;
        QTest::newRow("after Essen, delay drifting")
            << 130.0 << 205.0 << 210.0 << u"Dortmund Hbf"_s << u"+6"_s << 6 << u"MIDDLE"_s << u"ICE9473"_s
            << u"+6"_s;
        QTest::newRow("arrived at the terminus") << 333.0 << 0.0 << 0.0 << u"Hamburg Hbf"_s << u"+2"_s << 11
                                                 << u"HIGH"_s << u"ICE9473"_s << u"+8"_s;
        QTest::newRow("renumbered at the terminus") << 336.0 << 0.0 << 0.0 << u"Hamburg Hbf"_s << u"+2"_s
                                                    << 11 << u"HIGH"_s << u"ICE9475"_s << u"+8"_s;
    }

    void journeyAtAMoment() {
        QFETCH(double, minute);
        QFETCH(double, minSpeed);
        QFETCH(double, maxSpeed);
        QFETCH(QString, nextStop);
        QFETCH(QString, nextArrivalDelay);
        QFETCH(int, passed);
        QFETCH(QString, internet);
        QFETCH(QString, tzn);
        QFETCH(QString, dortmundDelay);

        PortalSimulator sim(Scenario::builtInJourney(), m_clock);
        sim.play(1.0, minute * 60);

        const auto status = ICEStatus::decode(sim.documentBody(PortalSimulator::Path::Status));
        QVERIFY2(status.ok(), qPrintable(status.ok() ? QString() : status.error().description()));
        QVERIFY2(*status.value().speed >= minSpeed && *status.value().speed <= maxSpeed,
                 qPrintable(QString::number(*status.value().speed)));
        QCOMPARE(status.value().internet, internet);
        QCOMPARE(status.value().tzn, tzn);

        const auto trip = ICETripInfo::decode(sim.documentBody(PortalSimulator::Path::Trip));
        QVERIFY2(trip.ok(), qPrintable(trip.ok() ? QString() : trip.error().description()));
        const auto& stops = *trip.value().trip->stops;
        QCOMPARE(stops.size(), std::size_t{11});
        QCOMPARE(stops.at(6).timetable->arrivalDelay, dortmundDelay);
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
        if (passed < 11) {
            QVERIFY(next != nullptr);
            QCOMPARE(next->station->name, nextStop);
            QCOMPARE(next->timetable->arrivalDelay.value_or(QString()), nextArrivalDelay);
        } else {
            QCOMPARE(stops.back().station->name, nextStop);
            QCOMPARE(stops.back().timetable->arrivalDelay, nextArrivalDelay);
        }
        // The first stop has no arrival and the last no departure, as on the real portal.
        QVERIFY(!stops.front().timetable->scheduledArrivalTime.has_value());
        QVERIFY(!stops.back().timetable->scheduledDepartureTime.has_value());
    }

    void timeFactorSqueezesDocumentTimes() {
        PortalSimulator sim(Scenario::builtInJourney(), m_clock);
        const qint64 wallStart = m_clock.now().toMSecsSinceEpoch();
        sim.play(30.0);
        m_clock.advance(10); // 300 scenario seconds
        QCOMPARE(sim.scenarioTime(), 300.0);

        const auto trip = ICETripInfo::decode(sim.documentBody(PortalSimulator::Path::Trip));
        QVERIFY(trip.ok());
        // The airport is 11 scheduled minutes out: 22 wall seconds at 30x.
        QCOMPARE(*trip.value().trip->stops->at(1).timetable->scheduledArrivalTime, wallStart + 22'000);
        const auto status = ICEStatus::decode(sim.documentBody(PortalSimulator::Path::Status));
        QCOMPARE(*status.value().serverTime, m_clock.now().toMSecsSinceEpoch());
        // MIDDLE starts at scenario second 900: 20 wall seconds away.
        QCOMPARE(status.value().connectivity->nextState, u"MIDDLE"_s);
        QCOMPARE(status.value().connectivity->remainingTimeSeconds, qint64{20});
    }

    void outageDropsConnections() {
        PortalSimulator sim(Scenario::builtInJourney(), m_clock);
        sim.play(1.0, 11000); // between Hamm and Hannover, inside the outage
        QVERIFY(sim.listen());
        ICEPortalClient client(3.0, sim.origin(), PortalSimulator::caCertificates());
        const auto fetch = client.fetchStatus();
        QTRY_VERIFY_WITH_TIMEOUT(fetch.isFinished(), 10000);
        QVERIFY(!fetch.outcome()->ok());
        QCOMPARE(fetch.outcome()->error().kind, PortalError::Kind::Network);

        sim.play(1.0, 14500); // the outage is over
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
