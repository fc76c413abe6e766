// quendle2-demo as a user runs it, seen from outside: on a private session bus with a stand-in status
// notifier host, its title read over D-Bus, its store read from disk, a second launch, and a quit through
// the status item's menu.
#include "menubar/DBusMenuTypes.h"
#include "store/ModelContainer.h"
#include "support/FakeNotificationServer.h"
#include "support/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace quendle2;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString itemInterface = u"org.kde.StatusNotifierItem"_s;
const QString menuInterface = u"com.canonical.dbusmenu"_s;

/// The item's D-Bus name from a watcher line "registered :1.5/StatusNotifierItem" or "... org.kde...".
QString itemService(const QString& registration) {
    return registration.section(u' ', 1).section(u'/', 0, 0);
}

/// Trips and their samples in the demo's store, read over a connection of our own while the demo runs.
struct StoreCounts {
    qint64 trips = 0;
    qint64 samples = 0;
    qint64 positioned = 0;
    QString integrity;
    QStringList speeds; // every sample's, oldest first
};

StoreCounts readStore(const QString& path) {
    StoreCounts counts;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"e2e-reader"_s);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(u"SELECT COUNT(DISTINCT t.pk), COUNT(s.pk), COUNT(s.latitude) FROM Trip t "
                           u"JOIN SpeedSample s ON s.trip = t.pk"_s) &&
                query.next()) {
                counts.trips = query.value(0).toLongLong();
                counts.samples = query.value(1).toLongLong();
                counts.positioned = query.value(2).toLongLong();
            }
            if (query.exec(u"PRAGMA integrity_check"_s) && query.next()) {
                counts.integrity = query.value(0).toString();
            }
            for (query.exec(u"SELECT speedKmh FROM SpeedSample ORDER BY pk"_s); query.next();) {
                counts.speeds << QString::number(query.value(0).toDouble(), 'f', 1);
            }
        }
    }
    QSqlDatabase::removeDatabase(u"e2e-reader"_s);
    return counts;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private:
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_bus.address());
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"QT_FORCE_STDERR_LOGGING"_s, u"1"_s);
        // The title read below is the English one, whatever the desktop's language.
        env.insert(u"LANGUAGE"_s, u"en"_s);
        // The click's decision is only logged at debug level.
        env.insert(u"QT_LOGGING_RULES"_s, u"org.quendle2.Quendle2.StatusBar.debug=true"_s);
        for (const QString& folder : {u"XDG_DATA_HOME"_s, u"XDG_CONFIG_HOME"_s, u"XDG_CACHE_HOME"_s}) {
            env.insert(folder, m_home.filePath(folder));
        }
        env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        return env;
    }

    QString storePath() const { return m_home.filePath(u"XDG_DATA_HOME/quendle2-demo/store.sqlite"_s); }

    void startDemo(QProcess& demo, const QProcessEnvironment& env) {
        demo.setProcessEnvironment(env);
        demo.setProgram(QStringLiteral(QUENDLE2_DEMO));
        demo.start();
        QVERIFY2(demo.waitForStarted(), qPrintable(demo.errorString()));
    }
    void startDemo(QProcess& demo) { startDemo(demo, environment()); }

    struct ToolRun {
        int exitCode = -1;
        QByteArray output;
        QString errors;
    };
    /// quendle2-status, run to its end.
    ToolRun status(const QStringList& arguments) const {
        QProcess tool;
        tool.setProcessEnvironment(environment());
        tool.start(QStringLiteral(QUENDLE2_STATUS), arguments);
        tool.waitForFinished(15'000);
        return {tool.exitCode(), tool.readAllStandardOutput().trimmed(),
                QString::fromUtf8(tool.readAllStandardError())};
    }
    static QJsonObject jsonLine(const QByteArray& line) { return QJsonDocument::fromJson(line).object(); }

    /// Reads lines of `process`'s standard output until one starts with `prefix`.
    static std::optional<QString> awaitLine(QProcess& process, const QString& prefix, int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(prefix)) {
                    return line;
                }
            }
            process.waitForReadyRead(200);
        }
        return std::nullopt;
    }

    QTemporaryDir m_home;
    QTemporaryDir m_runtime;
    test::PrivateSessionBus m_bus;

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_bus.start(&error), qPrintable(error));
        QVERIFY(
            QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void demoShowsTheJourneyAndQuitsThroughItsMenu() {
        // The desktop's notification server is there from the start.
        QDBusConnection desktop = m_bus.connect(u"e2e-desktop"_s);
        test::FakeNotificationServer notices;
        QVERIFY(desktop.registerObject(u"/org/freedesktop/Notifications"_s, &notices,
                                       QDBusConnection::ExportAllSlots) &&
                desktop.registerService(u"org.freedesktop.Notifications"_s));
        // The panel comes up after the application, as at login: the item must find it when it appears.
        QProcess demo;
        startDemo(demo);
        QByteArray demoLog;
        const auto logged = [&demo, &demoLog](const char* text) {
            demoLog += demo.readAllStandardError();
            return demoLog.count(text);
        };
        QTRY_VERIFY_WITH_TIMEOUT(logged("TrainService start() called") == 1, 15'000);
        QProcess watcher;
        watcher.setProcessEnvironment(environment());
        watcher.start(QStringLiteral(FAKE_SNI_WATCHER), {});
        QVERIFY(awaitLine(watcher, u"ready"_s, 10'000));
        const std::optional<QString> registration = awaitLine(watcher, u"registered "_s, 20'000);
        QVERIFY2(registration, demo.readAllStandardError().constData());
        QDBusConnection bus = m_bus.connect(u"e2e"_s);
        QVERIFY(bus.isConnected());
        const QString service = itemService(*registration);

        // The title, as the panel reads it: a speed and the time to the next stop.
        const QRegularExpression journey(u"\\d+ km/h (\\d+h \\d+m|\\d+m|arrived)"_s);
        QString label;
        // Plain calls rather than QDBusInterface, whose introspected meta-objects Qt never frees.
        const auto call = [&bus, &service](const QString& path, const QString& interface,
                                           const QString& method, const QVariantList& arguments) {
            QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
            message.setArguments(arguments);
            return bus.call(message);
        };
        const auto readLabel = [&call] {
            return QDBusReply<QDBusVariant>(call(u"/StatusNotifierItem"_s,
                                                 u"org.freedesktop.DBus.Properties"_s, u"Get"_s,
                                                 {itemInterface, u"XAyatanaLabel"_s}))
                .value()
                .variant()
                .toString();
        };
        QTRY_VERIFY2_WITH_TIMEOUT((label = readLabel(), journey.match(label).hasMatch()),
                                  qPrintable(u"label: "_s + label), 30'000);

        // Scripts and bars read the very title the panel shows; both are read afresh until a tick leaves
        // them alone.
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(status({u"--demo"_s}).output), readLabel(), 10'000);
        const QJsonObject properties = jsonLine(status({u"--demo"_s, u"--json"_s}).output);
        QCOMPARE(properties.size(), 12);
        QCOMPARE(properties.value(u"TrainIdentifier"_s).toString(), u"ICE 9473"_s);
        const QJsonObject waybar = jsonLine(status({u"--demo"_s, u"--waybar"_s}).output);
        QCOMPARE(waybar.keys(), (QStringList{u"alt"_s, u"class"_s, u"text"_s, u"tooltip"_s}));
        QCOMPARE(waybar.value(u"class"_s).toString(), u"connected"_s);
        // The train, the stops ahead, the Wi-Fi.
        const QStringList tooltip = waybar.value(u"tooltip"_s).toString().split(u'\n');
        QVERIFY2(tooltip.size() >= 3 && tooltip.first() == u"ICE 9473"_s, qPrintable(tooltip.join(u" | "_s)));
        // The Waybar module of the README: a new line as soon as the title moves on.
        QProcess follow;
        follow.setProcessEnvironment(environment());
        follow.start(QStringLiteral(QUENDLE2_STATUS), {u"--demo"_s, u"--waybar"_s, u"--follow"_s});
        const std::optional<QString> firstLine = awaitLine(follow, u"{"_s, 10'000);
        QVERIFY(firstLine);
        const QString firstTitle = jsonLine(firstLine->toUtf8()).value(u"text"_s).toString();
        QVERIFY2(journey.match(firstTitle).hasMatch(), qPrintable(*firstLine));
        QString nextTitle = firstTitle;
        for (std::optional<QString> line;
             nextTitle == firstTitle && (line = awaitLine(follow, u"{"_s, 30'000));) {
            nextTitle = jsonLine(line->toUtf8()).value(u"text"_s).toString();
        }
        QVERIFY2(nextTitle != firstTitle && journey.match(nextTitle).hasMatch(), qPrintable(nextTitle));

        // The menu is the journey at a glance, headed by the train and where it runs to.
        registerDBusMenuTypes();
        const auto firstMenuLine = [&] {
            const QVariant layout = call(u"/MenuBar"_s, menuInterface, u"GetLayout"_s, {0, -1, QStringList()})
                                        .arguments()
                                        .value(1);
            return qdbus_cast<DBusMenuLayoutItem>(layout)
                .children.value(0)
                .properties.value(u"label"_s)
                .toString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(firstMenuLine(), u"ICE 9473 \u2192 Hamburg Hbf"_s, 10'000);

        StoreCounts running;
        QTRY_VERIFY_WITH_TIMEOUT((running = readStore(storePath())).samples > 0, 15'000);
        QCOMPARE(running.trips, 1);

        // Closed to the status bar by a click on the item; a second launch hands over to the first and
        // leaves, and the first shows its window again: the next click closes it once more.
        const auto click = [&] {
            return call(u"/StatusNotifierItem"_s, itemInterface, u"Activate"_s, {0, 0}).type();
        };
        QCOMPARE(click(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY_WITH_TIMEOUT(logged("hiding app") == 1, 10'000);
        QProcess second;
        startDemo(second);
        QVERIFY(second.waitForFinished(15'000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(logged("Showing the main window for another launch") == 1, 10'000);
        QCOMPARE(click(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY_WITH_TIMEOUT(logged("hiding app") == 2, 10'000);

        // The platform change at Köln, announced early in the journey, reaches the desktop.
        QTRY_VERIFY2_WITH_TIMEOUT(notices.summaries().contains(u"Platform change at K\u00F6ln Messe/Deutz"_s),
                                  qPrintable(notices.summaries().join(u" | "_s)), 40'000);

        // "Quit quendle2" (entry 2, see tst_sni) from the item's menu ends the process cleanly, with the data
        // on disk.
        QCOMPARE(call(u"/MenuBar"_s, menuInterface, u"Event"_s,
                      {2, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u})
                     .type(),
                 QDBusMessage::ReplyMessage);
        QVERIFY(demo.waitForFinished(15'000));
        QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(demo.exitCode(), 0);
        QVERIFY(awaitLine(watcher, u"unregistered "_s, 5'000));

        const StoreCounts after = readStore(storePath());
        QCOMPARE(after.integrity, u"ok"_s);
        QCOMPARE(after.trips, 1);
        QVERIFY(after.samples >= running.samples);

        // A follower sees the application go, says so and ends; a new look finds nothing running.
        QVERIFY(awaitLine(follow, u"{\"alt\":\"disconnected\""_s, 10'000));
        QVERIFY(follow.waitForFinished(10'000));
        QCOMPARE(follow.exitCode(), 0);
        const ToolRun gone = status({u"--demo"_s});
        QCOMPARE(gone.exitCode, 1);
        QCOMPARE(gone.errors.trimmed(), u"quendle2 is not running"_s);

        // The demo's trip as GPX: every sample with a position is a track point.
        const QString gpx = m_home.filePath(u"trip.gpx"_s);
        QCOMPARE(status({u"--demo"_s, u"export"_s, u"latest"_s, u"--format"_s, u"gpx"_s, u"--output"_s, gpx})
                     .exitCode,
                 0);
        QVERIFY(after.positioned > 0);
        QProcess gpsbabel;
        gpsbabel.start(u"gpsbabel"_s,
                       {u"-t"_s, u"-i"_s, u"gpx"_s, u"-f"_s, gpx, u"-o"_s, u"unicsv"_s, u"-F"_s, u"-"_s});
        QVERIFY2(gpsbabel.waitForFinished(30'000) && gpsbabel.exitCode() == 0,
                 gpsbabel.readAllStandardError().constData());
        QCOMPARE(gpsbabel.readAllStandardOutput().trimmed().count('\n'),
                 after.positioned); // a header, then the points
        watcher.kill();
        watcher.waitForFinished();
    }

    // A disk that takes no writes for a while loses nothing: every sample the log says was recorded is in the
    // file once writing works again. If it still takes none at quit, the quit says so and fails.
    void fullDiskLosesNothing() {
        const QString flag = m_home.filePath(u"disk-full"_s);
        QProcessEnvironment drill = environment();
        drill.insert(u"QUENDLE2_DEMO_FULL_DISK_FLAG"_s, flag);
        drill.insert(u"QT_LOGGING_RULES"_s, u"org.quendle2.Quendle2.TrainService.debug=true"_s);
        const auto setFull = [&flag](bool full) {
            QFile file(flag);
            return full ? file.open(QIODevice::WriteOnly) : file.remove();
        };
        QDir(QFileInfo(storePath()).path()).removeRecursively();

        QProcess demo;
        startDemo(demo, drill);
        QByteArray log;
        const auto logged = [&demo, &log](const char* text) {
            log += demo.readAllStandardError();
            return log.count(text);
        };
        QTRY_VERIFY_WITH_TIMEOUT(logged("Recorded speed sample") >= 1, 20'000);
        QVERIFY(setFull(true));
        QTRY_VERIFY_WITH_TIMEOUT(logged("Could not save the trip store: ") == 1, 10'000);
        const qsizetype beforeSpace = logged("Recorded speed sample");
        QTRY_VERIFY_WITH_TIMEOUT(logged("Recorded speed sample") >= beforeSpace + 2, 30'000);
        QVERIFY(setFull(false));
        QTRY_VERIFY_WITH_TIMEOUT(logged("The trip store is saved again") == 1, 10'000);
        demo.terminate();
        QVERIFY(demo.waitForFinished(15'000));
        QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(demo.exitCode(), 0);
        QCOMPARE(logged("Could not save the trip store: "), 1);

        QStringList recorded;
        static const QRegularExpression sample(u"Recorded speed sample: speed=([0-9.]+) km/h"_s);
        for (auto match = sample.globalMatch(QString::fromUtf8(log)); match.hasNext();) {
            recorded << match.next().captured(1);
        }
        // Ended by SIGTERM, as at logout: every recorded sample is in a sound file.
        const StoreCounts stored = readStore(storePath());
        QCOMPARE(stored.speeds, recorded);
        QCOMPARE(stored.integrity, u"ok"_s);

        QProcess stuck;
        startDemo(stuck, drill);
        QTRY_VERIFY_WITH_TIMEOUT(readStore(storePath()).samples > recorded.size(), 20'000);
        QVERIFY(setFull(true));
        QByteArray stuckLog;
        QTRY_VERIFY_WITH_TIMEOUT((stuckLog += stuck.readAllStandardError()).contains("Could not save"),
                                 10'000);
        stuck.terminate();
        QVERIFY(stuck.waitForFinished(15'000));
        stuckLog += stuck.readAllStandardError();
        QCOMPARE(stuck.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stuck.exitCode(), 1);
        QVERIFY(
            stuckLog.contains("Quit; the store could not be saved: attempt to write a readonly database"));
        QVERIFY(!stuckLog.contains("Quit; the store is saved"));
        QVERIFY(setFull(false));
    }

    void unusableStoreStopsWithStatusOne() {
        QDir(QFileInfo(storePath()).path()).removeRecursively(); // the earlier runs' store goes
        QDir().mkpath(QFileInfo(storePath()).path());
        const QByteArray garbage("this is not a database, and it must stay exactly as it is\n");
        {
            QFile file(storePath());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(garbage);
        }
        QProcess demo;
        startDemo(demo);
        QVERIFY(demo.waitForFinished(15'000));
        QCOMPARE(demo.exitCode(), 1);
        QFile file(storePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), garbage);
        QVERIFY(!QFile::exists(storePath() + u"-wal"_s) && !QFile::exists(storePath() + u"-shm"_s));
        // The store's own words for what is wrong with the file (opening it again changes nothing either).
        const QString description = ModelContainer::open(storePath()).error().description;
        QVERIFY(!description.isEmpty());
        QVERIFY(demo.readAllStandardError().contains(
            (u"Could not create ModelContainer: "_s + description).toUtf8()));
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_e2e.moc"
