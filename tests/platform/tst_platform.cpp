#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/LogSink.h"
#include "platform/NotificationCenter.h"
#include "support/ManualClock.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>
#include <QtTest>

#include <cfloat>
#include <clocale>
#include <cstdio>
#include <iomanip>
#include <locale>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

using namespace quendle2;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime may1 = QDateTime(QDate(2024, 5, 1), QTime(8, 15), Qt::UTC);

QDateTime at(QDate date, QTime time, int utcOffsetSeconds) {
    return QDateTime(date, time, QTimeZone(utcOffsetSeconds));
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each row renders a value with one of the log's text helpers.
    void logText_data() {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QString& actual, const QString& expected) {
            QTest::newRow(name) << actual << expected;
        };

        row("fixed, three decimals, negative", Log::fixed(-3.14159, 3), u"-3.142"_s);
        row("fixed, default precision", Log::fixed(-2.5), u"-2.500000"_s);
        // The binary value decides the rounding: 0.05 lies just above the tie, 0.35 just below it.
        row("fixed, 0.05 rounds up", Log::fixed(0.05, 1), u"0.1"_s);
        row("fixed, 0.35 rounds down", Log::fixed(0.35, 1), u"0.3"_s);
        row("fixed, exact tie to even", Log::fixed(2.5, 0), u"2"_s);
        row("fixed, negative zero keeps sign", Log::fixed(-0.04, 1), u"-0.0"_s);
        row("fixed, beyond 64 bits", Log::fixed(1e20, 0), u"100000000000000000000"_s);
        // All 309 integer digits, exact, as printf writes them in the C locale.
        std::ostringstream printed;
        printed.imbue(std::locale::classic());
        printed << std::fixed << std::setprecision(1) << DBL_MAX;
        row("fixed, greatest double", Log::fixed(DBL_MAX, 1), QString::fromStdString(printed.str()));

        row("optionalBool, true", Log::optionalBool(true), u"Optional(true)"_s);
        row("optionalBool, false", Log::optionalBool(false), u"Optional(false)"_s);
        row("optionalBool, absent", Log::optionalBool(std::nullopt), u"nil"_s);
        row("boolText", Log::boolText(true) + Log::boolText(false), u"truefalse"_s);

        row("date, UTC", Log::date(may1), u"2024-05-01 08:15:00 +0000"_s);
        row("date, west of UTC, next UTC year", Log::date(at(QDate(2024, 12, 31), QTime(22, 0), -5 * 3600)),
            u"2025-01-01 03:00:00 +0000"_s);
        row("date, milliseconds cut", Log::date(may1.addMSecs(59'999)), u"2024-05-01 08:15:59 +0000"_s);

        row("component", Log::componentOf("org.quendle2.Quendle2.TrainService"), u"TrainService"_s);
        row("component, deeper", Log::componentOf("org.quendle2.Quendle2.A.B"), u"A.B"_s);
        row("component, subsystem alone", Log::componentOf("org.quendle2.Quendle2"),
            u"org.quendle2.Quendle2"_s);
        row("component, longer prefix", Log::componentOf("org.quendle2.Quendle2X.Foo"),
            u"org.quendle2.Quendle2X.Foo"_s);

        row("stderr line",
            LogSink::stderrLine(QtInfoMsg, "org.quendle2.Quendle2.StatusBar", u"hello"_s, may1.addMSecs(123)),
            u"2024-05-01T08:15:00.123Z info StatusBar: hello"_s);
        row("stderr line, foreign category, local time",
            LogSink::stderrLine(QtCriticalMsg, "qt.network.ssl", u"hello"_s,
                                at(QDate(2024, 5, 1), QTime(10, 15), 7200)),
            u"2024-05-01T08:15:00.000Z error qt.network.ssl: hello"_s);
    }

    void logText() {
        QFETCH(QString, actual);
        QTEST(actual, "expected");
    }

    // The journal would fill with every tick's details otherwise.
    void debugHiddenByDefault() {
        QVERIFY(!lcTrainService().isDebugEnabled() && lcTrainService().isInfoEnabled());
    }

    void fixedIgnoresTheUserLocale() {
        // A German desktop writes "106,3" through printf; the locale is compiled into a private folder.
        QTemporaryDir folder;
        const QString target = folder.filePath(u"de_DE.UTF-8"_s);
        if (QProcess::execute(u"localedef"_s, {u"-i"_s, u"de_DE"_s, u"-f"_s, u"UTF-8"_s, target}) != 0) {
            QSKIP("localedef cannot build a German locale here");
        }
        const QByteArray previousPath = qgetenv("LOCPATH");
        const std::string previousLocale = std::setlocale(LC_NUMERIC, nullptr);
        qputenv("LOCPATH", QFile::encodeName(folder.path()));
        const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        char printed[32];
        std::snprintf(printed, sizeof printed, "%.1f", 106.3);
        const QString text = Log::fixed(106.3, 1);
        qputenv("LOCPATH", previousPath); // first, or the previous locale may not be found
        std::setlocale(LC_NUMERIC, previousLocale.c_str());
        QVERIFY(german);
        QCOMPARE(QString::fromLatin1(printed), u"106,3"_s); // the trap is really there
        QCOMPARE(text, u"106.3"_s);
    }

    void manualClock_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint64>("milliseconds");

        QTest::newRow("fraction") << 1.5 << qint64(1500);
        QTest::newRow("backwards") << -2.25 << qint64(-2250);
        QTest::newRow("below half a millisecond") << 0.0004 << qint64(0);
        QTest::newRow("above half a millisecond") << 0.0006 << qint64(1);
    }

    // The clock advances by whole milliseconds and keeps UTC, whatever zone it is given.
    void manualClock() {
        QFETCH(double, seconds);
        QFETCH(qint64, milliseconds);

        const QDateTime local = at(QDate(2024, 5, 1), QTime(10, 15), 7200);
        ManualClock clock(local);
        QCOMPARE(clock.now(), may1);
        QCOMPARE(clock.now().timeZone(), QTimeZone::utc());
        clock.advance(seconds);
        QCOMPARE(Clock::secondsBetween(may1, clock.now()), double(milliseconds) / 1000.0);
        clock.advance(seconds);
        QCOMPARE(may1.msecsTo(clock.now()), 2 * milliseconds);
        clock.set(local.addSecs(60));
        QCOMPARE(clock.now(), may1.addSecs(60));
        QCOMPARE(clock.now().timeZone(), QTimeZone::utc());
    }

    // The second of three observers changes the registrations mid-delivery; others hear only their own.
    void notificationsWhileDelivering_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("firstPost");
        QTest::addColumn<QStringList>("secondPost");

        const QStringList all{u"first"_s, u"second"_s, u"third"_s};
        const QStringList firstTwo{u"first"_s, u"second"_s};
        QTest::newRow("removes a later observer") << u"remove third"_s << firstTwo << firstTwo;
        QTest::newRow("removes an earlier observer")
            << u"remove first"_s << all << QStringList{u"second"_s, u"third"_s};
        QTest::newRow("removes itself") << u"remove second"_s << all << QStringList{u"first"_s, u"third"_s};
        QTest::newRow("adds an observer") << u"add"_s << all << (all + QStringList{u"added"_s});
        QTest::newRow("destroys a later observer's context") << u"destroy context"_s << firstTwo << firstTwo;
    }

    void notificationsWhileDelivering() {
        QFETCH(QString, action);
        QFETCH(QStringList, secondPost);

        const QString name = Notification::TrainServiceDidUpdate;
        const QStringList observers{u"first"_s, u"second"_s, u"third"_s};
        NotificationCenter center;
        QStringList calls;
        bool acted = false;
        auto thirdContext = std::make_unique<QObject>();
        std::vector<NotificationCenter::Token> tokens;
        tokens.push_back(center.addObserver(name, [&] { calls << u"first"_s; }));
        tokens.push_back(center.addObserver(name, [&] {
            calls << u"second"_s;
            if (std::exchange(acted, true)) {
                return;
            }
            if (action.startsWith(u"remove "_s)) {
                center.removeObserver(tokens.at(observers.indexOf(action.mid(7))));
            } else if (action == u"add"_s) {
                center.addObserver(name, [&] { calls << u"added"_s; });
            } else {
                thirdContext.reset();
            }
        }));
        tokens.push_back(center.addObserver(name, thirdContext.get(), [&] { calls << u"third"_s; }));
        auto settingsContext = std::make_unique<QObject>();
        center.addObserver(Notification::SettingsDidChange, settingsContext.get(),
                           [&] { calls << u"settings"_s; });

        center.post(name);
        QTEST(calls, "firstPost");
        calls.clear();
        center.post(Notification::OpenMainWindowRequested);
        center.post(name);
        QCOMPARE(calls, secondPost);
        QCOMPARE(center.observerCount(name), secondPost.size());
        calls.clear();
        center.post(Notification::SettingsDidChange);
        QCOMPARE(calls, QStringList{u"settings"_s});
        settingsContext.reset();
        QCOMPARE(center.observerCount(Notification::SettingsDidChange), 0); // at once, not at the next post
    }

    void notificationFromAnotherThread() {
        const QString name = Notification::TrainServiceDidUpdate;
        NotificationCenter center;
        QList<QThread*> deliveredOn;
        center.addObserver(name, [&] { deliveredOn << QThread::currentThread(); });

        std::unique_ptr<QThread> poster(QThread::create([&] { center.post(name); }));
        poster->start();
        QVERIFY(poster->wait());
        QVERIFY(deliveredOn.isEmpty()); // handed over, not run on the posting thread

        QCoreApplication::sendPostedEvents();
        QCOMPARE(deliveredOn, QList<QThread*>{QThread::currentThread()});
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
