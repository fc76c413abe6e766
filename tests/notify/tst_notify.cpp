// Notices about the journey: when each is due, and how it reaches the desktop's notification server.

#include "notify/DesktopNotifier.h"
#include "notify/JourneyNotices.h"
#include "platform/Log.h"
#include "support/FakeNotificationServer.h"
#include "support/LogCapture.h"
#include "support/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime now(QDate(2025, 12, 28), QTime(19, 0), Qt::UTC);

/// One update: the destination (Hamburg Hbf, scheduled platform 8) and the Wi-Fi forecast.
struct Step {
    qint64 secondsToArrival = 3600;
    QString delay = {};
    QString platform = u"8"_s;
    std::optional<QString> nextState = std::nullopt;
    qint64 secondsToNextState = 0;
    bool connected = true;
    bool passed = false;
    QString trip = u"trip-1"_s;
    NoticeSettings settings = {};
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestNotify : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        qputenv("TZ", "UTC");
        QLocale::setDefault(QLocale::c());
    }

    void noticesFireOnceAtTheirBoundary_data() {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QStringList>("expected"); // "step: summary | body"
        const NoticeSettings off{0, false, false, false};
        const NoticeSettings twoMinutes{2, true, true, true};
        const auto at = [](qint64 seconds, QString delay = {}) {
            return Step{.secondsToArrival = seconds, .delay = std::move(delay)};
        };
        const Step disconnected{.secondsToArrival = 100, .connected = false};
        const Step passed{.secondsToArrival = 100, .passed = true};
        const Step nextTrip{.secondsToArrival = 250, .delay = u"+3"_s, .trip = u"trip-2"_s};
        const Step quiet{.secondsToArrival = 100, .settings = off};

        QTest::newRow("reminder at 5m, not at 5m 1s, once")
            << QList<Step>{at(301), at(300, u"+3"_s), at(200), at(60)}
            << QStringList{u"1: Hamburg Hbf in 5m | Platform 8 \u00B7 +3"_s};
        QTest::newRow("reminder at the chosen 2 minutes")
            << QList<Step>{{.secondsToArrival = 121, .settings = twoMinutes},
                           {.secondsToArrival = 120, .platform = u""_s, .settings = twoMinutes}}
            << QStringList{u"1: Hamburg Hbf in 2m | Platform 8"_s};
        QTest::newRow("never disconnected, passed or switched off, and again on the next trip")
            << QList<Step>{disconnected, passed, quiet, at(0), nextTrip, nextTrip}
            << QStringList{u"4: Hamburg Hbf in 4m | Platform 8 \u00B7 +3"_s};

        const Step changed{.platform = u"12"_s};
        const Step changedAgain{.platform = u"13"_s};
        const Step changedQuietly{.platform = u"14"_s, .settings = off};
        QTest::newRow("platform change, once per new platform, not when switched off")
            << QList<Step>{at(3600), changed, changed, changedAgain, changedQuietly}
            << QStringList{u"1: Platform change at Hamburg Hbf | Now platform 12 (was 8)"_s,
                           u"3: Platform change at Hamburg Hbf | Now platform 13 (was 8)"_s};

        const Step bigDelayQuietly{.delay = u"+30"_s, .settings = off};
        QTest::newRow("delay change of 5 minutes from the first seen or last told")
            << QList<Step>{at(3600, u"+3"_s), at(3600, u"+7"_s), at(3600, u"+8"_s), at(3600, u"+12"_s),
                           at(3600, u""_s),   bigDelayQuietly,   at(3600, u"+26"_s)}
            << QStringList{u"2: Hamburg Hbf: delay +8 | Arrival 20:00"_s,
                           u"4: Hamburg Hbf: delay +0 | Arrival 20:00"_s};

        const auto gap = [](qint64 seconds, QString state = u"no_internet"_s, NoticeSettings settings = {}) {
            return Step{.nextState = std::move(state), .secondsToNextState = seconds, .settings = settings};
        };
        const Step gapQuietly = gap(100, u"no_internet"_s, off);
        QTest::newRow("internet gap within 300 s, once per announced gap")
            << QList<Step>{gap(301), gap(300), gap(10), gap(0), gap(299), gap(120, u"WEAK"_s), gapQuietly}
            << QStringList{u"1: Internet drops in 5m | "_s, u"4: Internet drops in 4m | "_s};
    }

    void noticesFireOnceAtTheirBoundary() {
        QFETCH(QList<Step>, steps);
        JourneyNotices notices;
        QStringList told;
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const Step& step = steps.at(i);
            const NoticeSnapshot snapshot{
                step.connected, step.trip,
                TrainService::UpcomingStop{QUuid(),
                                           u"8002549"_s,
                                           u"Hamburg Hbf"_s,
                                           now.addSecs(step.secondsToArrival),
                                           {},
                                           step.delay,
                                           step.passed,
                                           StopPlatform{u"8"_s, step.platform}},
                ICEStatus::Connectivity{u"WEAK"_s, step.nextState, step.secondsToNextState}};
            for (const JourneyNotice& notice : notices.update(snapshot, step.settings, now)) {
                told << u"%1: %2 | %3"_s.arg(i).arg(notice.summary, notice.body);
            }
        }
        QTEST(told, "expected");
    }

    void serverGetsEachKindReplacingItsOwn() {
        if (PrivateSessionBus::daemonProgram().isEmpty()) {
            QSKIP("dbus-daemon is not installed");
        }
        PrivateSessionBus bus;
        QString error;
        QVERIFY2(bus.start(&error), qPrintable(error));
        QDBusConnection app = bus.connect(u"notify-app"_s);
        QDBusConnection desktop = bus.connect(u"notify-desktop"_s);

        // Without a server nothing is shown, and nothing fails.
        QLoggingCategory::setFilterRules(u"org.quendle2.Quendle2.Notifications.debug=true"_s);
        LogCapture log(lcNotifications());
        DesktopNotifier notifier(app);
        QSignalSpy shown(&notifier, &DesktopNotifier::shown);
        const JourneyNotice reminder{JourneyNotice::Kind::ArrivalReminder, u"Hamburg Hbf in 5m"_s, u"+3"_s};
        notifier.show(reminder);
        QTRY_COMPARE(log.startingWith(u"Notification not shown: "_s).size(), 1);
        QCOMPARE(shown.count(), 0);

        FakeNotificationServer server;
        QVERIFY(desktop.registerObject(DesktopNotifier::path(), &server, QDBusConnection::ExportAllSlots));
        QVERIFY(desktop.registerService(DesktopNotifier::service()));
        const JourneyNotice gap{JourneyNotice::Kind::InternetGap, u"Internet drops in 4m"_s, {}};
        const QList<JourneyNotice> sent{reminder, gap, reminder};
        for (qsizetype i = 0; i < sent.size(); ++i) {
            // One at a time: an id is known only once the server has answered.
            notifier.show(sent.at(i));
            QTRY_COMPARE(shown.count(), i + 1);
        }
        QCOMPARE(server.calls.size(), 3);
        const QVariantMap hints{{u"desktop-entry"_s, u"org.quendle2.Quendle2"_s}};
        QCOMPARE(server.calls.at(0),
                 (QVariantList{u"quendle2"_s, 0u, u"org.quendle2.Quendle2"_s, u"Hamburg Hbf in 5m"_s, u"+3"_s,
                               QStringList(), hints, -1}));
        QCOMPARE(server.calls.at(1).value(1), QVariant(0u));  // another kind: a notice of its own
        QCOMPARE(server.calls.at(2).value(1), QVariant(41u)); // the same kind replaces its own
    }
};

QTEST_MAIN(TestNotify)
#include "tst_notify.moc"
