#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/LogSink.h"
#include "platform/ManualClock.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>
#include <QtTest>

#include <algorithm>
#include <cfloat>
#include <clocale>
#include <cstdio>
#include <memory>
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

        QTest::newRow("fixed, no decimals") << Log::fixed(0.0, 0) << u"0"_s;
        QTest::newRow("fixed, one decimal") << Log::fixed(106.3, 1) << u"106.3"_s;
        QTest::newRow("fixed, three decimals, negative") << Log::fixed(-3.14159, 3) << u"-3.142"_s;
        QTest::newRow("fixed, six decimals") << Log::fixed(2.0 / 3.0, 6) << u"0.666667"_s;
        QTest::newRow("fixed, default precision") << Log::fixed(-2.5) << u"-2.500000"_s;
        // The binary value decides the rounding: 0.05 lies just above the tie, 0.35 just below it.
        QTest::newRow("fixed, 0.05 rounds up") << Log::fixed(0.05, 1) << u"0.1"_s;
        QTest::newRow("fixed, 0.35 rounds down") << Log::fixed(0.35, 1) << u"0.3"_s;
        QTest::newRow("fixed, exact tie to even") << Log::fixed(2.5, 0) << u"2"_s;
        QTest::newRow("fixed, negative zero keeps sign") << Log::fixed(-0.04, 1) << u"-0.0"_s;
        QTest::newRow("fixed, beyond 64 bits") << Log::fixed(1e20, 0) << u"100000000000000000000"_s;

        QTest::newRow("optionalBool, true") << Log::optionalBool(true) << u"Optional(true)"_s;
        QTest::newRow("optionalBool, false") << Log::optionalBool(false) << u"Optional(false)"_s;
        QTest::newRow("optionalBool, absent") << Log::optionalBool(std::nullopt) << u"nil"_s;
        QTest::newRow("boolText") << Log::boolText(true) + Log::boolText(false) << u"truefalse"_s;

        QTest::newRow("date, UTC") << Log::date(may1) << u"2024-05-01 08:15:00 +0000"_s;
        QTest::newRow("date, east of UTC, previous UTC day")
            << Log::date(at(QDate(2024, 5, 1), QTime(1, 30), 2 * 3600)) << u"2024-04-30 23:30:00 +0000"_s;
        QTest::newRow("date, west of UTC, next UTC year")
            << Log::date(at(QDate(2024, 12, 31), QTime(22, 0), -5 * 3600)) << u"2025-01-01 03:00:00 +0000"_s;
        QTest::newRow("date, milliseconds cut")
            << Log::date(may1.addMSecs(59'999)) << u"2024-05-01 08:15:59 +0000"_s;

        QTest::newRow("component") << Log::componentOf("org.quendle2.Quendle2.TrainService")
                                   << u"TrainService"_s;
        QTest::newRow("component, deeper") << Log::componentOf("org.quendle2.Quendle2.A.B") << u"A.B"_s;
        QTest::newRow("component, subsystem alone")
            << Log::componentOf("org.quendle2.Quendle2") << u"org.quendle2.Quendle2"_s;
        QTest::newRow("component, longer prefix")
            << Log::componentOf("org.quendle2.Quendle2X.Foo") << u"org.quendle2.Quendle2X.Foo"_s;

        QTest::newRow("stderr line") << LogSink::stderrLine(QtInfoMsg, "org.quendle2.Quendle2.StatusBar",
                                                            u"hello"_s, may1.addMSecs(123))
                                     << u"2024-05-01T08:15:00.123Z info StatusBar: hello"_s;
        QTest::newRow("stderr line, foreign category, local time")
            << LogSink::stderrLine(QtCriticalMsg, "qt.network.ssl", u"hello"_s,
                                   at(QDate(2024, 5, 1), QTime(10, 15), 7200))
            << u"2024-05-01T08:15:00.000Z error qt.network.ssl: hello"_s;
    }

    void logText() {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void fixedGreatestDouble() {
        const QString text = Log::fixed(DBL_MAX, 1);

        char reference[400];
        const int length = std::snprintf(reference, sizeof reference, "%.1f", DBL_MAX);
        QVERIFY(length > 0 && length < int(sizeof reference));
        QCOMPARE(text, QString::fromLatin1(reference, length));
        QVERIFY(text.endsWith(u".0"_s));
        const QString integerPart = text.chopped(2);
        QCOMPARE(integerPart.size(), 309);
        QVERIFY(std::all_of(integerPart.begin(), integerPart.end(), [](QChar c) { return c.isDigit(); }));
    }

    void fixedIgnoresTheUserLocale() {
        // The application adopts the user's locale, and a German desktop writes "106,3" through printf. The
        // locale is compiled into a private folder, so the test needs no system-wide set-up.
        QTemporaryDir folder;
        QProcess localedef;
        localedef.start(u"localedef"_s,
                        {u"-i"_s, u"de_DE"_s, u"-f"_s, u"UTF-8"_s, folder.filePath(u"de_DE.UTF-8"_s)});
        if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0) {
            QSKIP("localedef cannot build a German locale here");
        }
        const QByteArray previousPath = qgetenv("LOCPATH");
        const std::string previousLocale = std::setlocale(LC_NUMERIC, nullptr);
        qputenv("LOCPATH", QFile::encodeName(folder.path()));
        const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        char printed[32];
        std::snprintf(printed, sizeof printed, "%.1f", 106.3);
        const QString text = Log::fixed(106.3, 1);
        std::setlocale(LC_NUMERIC, previousLocale.c_str());
        qputenv("LOCPATH", previousPath);
        QVERIFY(german);
        QCOMPARE(QString::fromLatin1(printed), u"106,3"_s); // the trap is really there
        QCOMPARE(text, u"106.3"_s);
    }

    void categoriesHideDebugByDefault() {
        const QLoggingCategory& trainService = lcTrainService();
        const QLoggingCategory& statusBar = lcStatusBar();
        QCOMPARE(QByteArray(trainService.categoryName()), "org.quendle2.Quendle2.TrainService");
        QCOMPARE(QByteArray(statusBar.categoryName()), "org.quendle2.Quendle2.StatusBar");
        for (const QLoggingCategory* category : {&trainService, &statusBar}) {
            QVERIFY(!category->isDebugEnabled());
            QVERIFY(category->isInfoEnabled());
            QVERIFY(category->isWarningEnabled());
        }
    }

    void manualClockAdvance_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint64>("milliseconds");

        QTest::newRow("fraction") << 1.5 << qint64(1500);
        QTest::newRow("backwards") << -2.25 << qint64(-2250);
        QTest::newRow("an hour") << 3600.0 << qint64(3'600'000);
        QTest::newRow("below half a millisecond") << 0.0004 << qint64(0);
        QTest::newRow("above half a millisecond") << 0.0006 << qint64(1);
    }

    void manualClockAdvance() {
        QFETCH(double, seconds);
        QFETCH(qint64, milliseconds);

        ManualClock clock;
        const QDateTime start = clock.now();
        clock.advance(seconds);
        QCOMPARE(start.msecsTo(clock.now()), milliseconds);
        QCOMPARE(Clock::secondsBetween(start, clock.now()), double(milliseconds) / 1000.0);
        QCOMPARE(Clock::secondsBetween(clock.now(), start), -double(milliseconds) / 1000.0);
        clock.advance(seconds);
        QCOMPARE(start.msecsTo(clock.now()), 2 * milliseconds);
    }

    void manualClockKeepsUtc() {
        const QDateTime local = at(QDate(2024, 5, 1), QTime(10, 15), 7200);
        ManualClock clock(local);
        QCOMPARE(clock.now(), may1);
        QCOMPARE(clock.now().timeZone(), QTimeZone::utc());

        clock.set(local.addSecs(60));
        QCOMPARE(clock.now().timeZone(), QTimeZone::utc());
        QCOMPARE(Clock::secondsBetween(may1, clock.now()), 60.0);
        QCOMPARE(Log::date(clock.now()), u"2024-05-01 08:16:00 +0000"_s);
    }

    void notificationsReachNamedObserversInOrder() {
        NotificationCenter center;
        QStringList calls;
        center.addObserver(Notification::TrainServiceDidUpdate, [&] { calls << u"a"_s; });
        center.addObserver(Notification::SettingsDidChange, [&] { calls << u"settings"_s; });
        center.addObserver(Notification::TrainServiceDidUpdate, [&] { calls << u"b"_s; });
        center.addObserver(Notification::TrainServiceDidUpdate, [&] { calls << u"c"_s; });

        center.post(Notification::TrainServiceDidUpdate);
        QCOMPARE(calls, (QStringList{u"a"_s, u"b"_s, u"c"_s}));
        calls.clear();
        center.post(Notification::SettingsDidChange);
        center.post(Notification::OpenMainWindowRequested);
        QCOMPARE(calls, QStringList{u"settings"_s});
    }

    // The second of three observers changes the registrations the first time it runs.
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
        QFETCH(QStringList, firstPost);
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

        center.post(name);
        QCOMPARE(calls, firstPost);
        calls.clear();
        center.post(name);
        QCOMPARE(calls, secondPost);
        QCOMPARE(center.observerCount(name), secondPost.size());
    }

    void notificationObserverGoesWithContext() {
        const QString name = Notification::SettingsDidChange;
        NotificationCenter center;
        int withContext = 0;
        int without = 0;
        auto context = std::make_unique<QObject>();
        center.addObserver(name, context.get(), [&] { ++withContext; });
        center.addObserver(name, [&] { ++without; });
        center.post(name);
        QCOMPARE(center.observerCount(name), 2);

        context.reset();
        QCOMPARE(center.observerCount(name), 1);
        center.post(name);
        QCOMPARE(withContext, 1);
        QCOMPARE(without, 2);
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
