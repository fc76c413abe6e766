// The shell in-process: once-only setup, the main window's lifecycle, views following a replaced service.
#include "app/SingleInstance.h"
#include "app/quendle2App.h"
#include "menubar/StatusBarManager.h"
#include "platform/NotificationCenter.h"
#include "service/AppStore.h"
#include "support/RecordingStatusItem.h"
#include "support/ServiceTestSupport.h"
#include "views/ContentView.h"
#include "views/StopsView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <sys/stat.h>
#include <thread>

using namespace quendle2;
using namespace quendle2::test;

class AppTest : public QObject {
    Q_OBJECT

private:
    /// A shell on a fresh store whose connected services answer from a script; `made` counts them.
    struct Shell {
        explicit Shell(bool hosted = true) {
            auto container = ModelContainer::open(dir.filePath(u"store.sqlite"_s)).takeValue();
            app = std::make_unique<quendle2App>(
                std::move(container),
                [this](ModelContext* context) {
                    auto fake = std::make_unique<FakePortalClient>();
                    client = fake.get();
                    ++made;
                    return new TrainService(context, std::move(fake), clock);
                },
                clock, nullptr,
                [this, hosted] {
                    auto made = std::make_unique<RecordingItem>();
                    made->setHosted(hosted);
                    item = made.get();
                    return made;
                });
        }
        LogCapture log{lcTrainService()};
        QTemporaryDir dir;
        ManualClock clock{journeyStart};
        FakePortalClient* client = nullptr;
        RecordingItem* item = nullptr;
        int made = 0;
        std::unique_ptr<quendle2App> app;
    };

private Q_SLOTS:
    void initTestCase() {
        // The status item must never appear on the developer's own desktop bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quendle2-test-bus");
    }

    void setupRunsOnceWhateverTheShowings() {
        Shell shell;
        AppStore* store = shell.app->store();
        TrainService* idle = store->service();
        QVERIFY(idle != nullptr && idle->modelContext() == nullptr);
        QVERIFY(shell.app->statusBarManager() == nullptr);
        QSignalSpy replaced(store, &AppStore::serviceChanged);

        ContentView* window = shell.app->openMainWindow(); // shown: the setup runs
        QCOMPARE(shell.made, 1);
        QCOMPARE(replaced.count(), 1);
        TrainService* connected = store->service();
        QCOMPARE(connected->modelContext(), shell.app->sharedModelContainer()->mainContext());
        StatusBarManager* manager = shell.app->statusBarManager();
        QVERIFY(manager != nullptr);
        QVERIFY(shell.log.has(QtInfoMsg, u"TrainService start() called"_s));

        // Closed to the status bar and asked for again: a new window, the same service and manager.
        window->close();
        QTRY_VERIFY(shell.app->mainWindows().isEmpty());
        NotificationCenter::defaultCenter().post(Notification::OpenMainWindowRequested);
        QCOMPARE(shell.app->mainWindows().size(), 1);
        // Asked for with the window hidden: that one comes forward.
        ContentView* again = shell.app->mainWindows().first();
        again->hide();
        NotificationCenter::defaultCenter().post(Notification::OpenMainWindowRequested);
        QCOMPARE(shell.app->mainWindows(), QList<ContentView*>{again});
        QVERIFY(again->isVisible());
        QCOMPARE(shell.made, 1);
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(store->service(), connected);
        QCOMPARE(shell.app->statusBarManager(), manager);
    }

    void clickActsOnMainWindowsOnly() {
        Shell shell;
        ContentView* window = shell.app->openMainWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        // A tray icon and the tray's own top-level window on X11: neither is a window of the user's.
        QSystemTrayIcon tray(QApplication::windowIcon());
        tray.show();
        QWidget trayWindow(nullptr, Qt::Window);
        trayWindow.show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));

        Q_EMIT shell.item->clicked(); // frontmost: out of the way
        QVERIFY(!window->isVisible());
        Q_EMIT shell.item->clicked();
        QVERIFY(window->isVisible());
        QVERIFY(trayWindow.isVisible());

        // Restored as it was: maximised.
        window->showMaximized();
        window->showMinimized();
        Q_EMIT shell.item->clicked();
        QVERIFY(!window->isMinimized());
        QVERIFY(window->isMaximized());

        // Closed to the status bar: the click opens a new one.
        window->close();
        QTRY_VERIFY(shell.app->mainWindows().isEmpty());
        Q_EMIT shell.item->clicked();
        QCOMPARE(shell.app->mainWindows().size(), 1);
        QVERIFY(shell.app->mainWindows().first()->isVisible());
        QVERIFY(trayWindow.isVisible());
    }

    void viewsFollowAReplacedService() {
        Harness first;
        AppStore store(first.service.release());
        StopsView stops({first.context(), &store, &first.clock});
        stops.show();
        QVERIFY(stops.showsEmptyText());

        Harness second;
        TrainService* next = second.service.release();
        TrainServiceProbe::applyTripInfo(*next, route({stop(koeln), stop(dortmund)}));
        store.setService(next);
        QCoreApplication::processEvents();
        QCOMPARE(stops.rows().size(), 2);
        // ...and keeps following it.
        TrainServiceProbe::applyTripInfo(*next, route({stop(koeln)}));
        QCoreApplication::processEvents();
        QCOMPARE(stops.rows().size(), 1);
    }

    void handoverCarriesTheLaunchersToken_data() {
        QTest::addColumn<QString>("token");
        QTest::newRow("none") << QString();
        QTest::newRow("wayland") << u"gnome-shell/quendle2/7-7_TIME1234"_s;
    }

    void handoverCarriesTheLaunchersToken() {
        QFETCH(QString, token);
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        SingleInstance running(u"quendle2-test"_s);
        QVERIFY(running.claim());
        QVERIFY(running.listen());
        QSignalSpy asked(&running, &SingleInstance::activationRequested);
        // The later launch waits for the answer, so it asks from a thread of its own.
        std::atomic<int> answered{-1};
        std::thread later([&] {
            SingleInstance second(u"quendle2-test"_s);
            answered = !second.claim() && second.askRunningInstance(token, 5000) ? 1 : 0;
        });
        QTRY_COMPARE(answered.load(), 1);
        later.join();
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.first().first().toString(), token);
    }

    void lockFolderIsPrivate_data() {
        QTest::addColumn<QString>("runtime"); // relative to the test's folder; "-" for unset
        QTest::addColumn<int>("runtimeMode");
        QTest::addColumn<bool>("usesRuntime");
        QTest::newRow("private runtime folder") << u"run"_s << 0700 << true;
        QTest::newRow("unset") << u"-"_s << 0 << false;
        QTest::newRow("others may write") << u"run"_s << 0777 << false;
        QTest::newRow("missing") << u"nowhere"_s << 0 << false;
    }

    void lockFolderIsPrivate() {
        QFETCH(QString, runtime);
        QFETCH(int, runtimeMode);
        QFETCH(bool, usesRuntime);
        QTemporaryDir home;
        const QString run = home.filePath(runtime);
        if (runtimeMode != 0) {
            QVERIFY(QDir().mkpath(run) &&
                    ::chmod(QFile::encodeName(run).constData(), mode_t(runtimeMode)) == 0);
        }
        runtime == u"-"_s ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", run.toUtf8());
        qputenv("XDG_CACHE_HOME", home.filePath(u"cache"_s).toUtf8());
        // A fallback folder left open to others by someone is closed before use.
        const QString fallback = home.filePath(u"cache/quendle2-runtime"_s);
        QVERIFY(QDir().mkpath(fallback) && ::chmod(QFile::encodeName(fallback).constData(), 0777) == 0);

        SingleInstance instance(u"quendle2-test"_s);
        QVERIFY(instance.claim());
        const QString folder = usesRuntime ? run : fallback;
        QCOMPARE(QFileInfo(instance.socketPath()).path(), folder);
        QVERIFY(QFile::exists(folder + u"/quendle2-test.lock"_s));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, usesRuntime ? mode_t(runtimeMode) : mode_t(0700));
    }

    void withoutADisplayQuendle2Refuses() {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(QString::fromLatin1(name));
        }
        env.insert(u"XDG_RUNTIME_DIR"_s, home.path());
        env.insert(u"XDG_DATA_HOME"_s, home.filePath(u"data"_s));
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(QUENDLE2_BINARY), {});
        QVERIFY(app.waitForFinished(10'000));
        QCOMPARE(app.exitCode(), 1);
        QCOMPARE(app.readAllStandardError(), QByteArray("quendle2 needs a graphical session\n"));
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
    }

    // Last, as the next: they run the application's event loop to its end.
    void closingTheLastWindowQuitsOnlyWithoutAHost() {
        Shell shell(false);
        ContentView* window = shell.app->openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        shell.item->setHosted(false); // as the first registration's answer says
        QVERIFY(window->hostHint()->isVisibleTo(window));
        QVERIFY(window->hostHint()->text().contains(u"closing this window quits"_s));

        // A host takes the item: closing keeps the application in the status bar, and the hint goes.
        shell.item->setHosted(true);
        QVERIFY(!window->hostHint()->isVisibleTo(window));
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());

        // It goes again: now closing the last window quits.
        shell.item->setHosted(false);
        QTimer::singleShot(0, window, [window] { window->close(); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); }); // it did not quit
        QCOMPARE(QCoreApplication::exec(), 0);
        QGuiApplication::setQuitOnLastWindowClosed(false);
    }

    void ctrlQQuits() {
        Shell shell;
        ContentView* window = shell.app->openMainWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QList<QKeySequence> keys;
        for (const QAction* action : window->actions()) {
            keys += action->shortcuts();
        }
        QCOMPARE(keys.count(QKeySequence(u"Ctrl+Q"_s)), 1); // bound twice, Qt would refuse it as ambiguous
        QTimer::singleShot(0, window, [window] { QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); }); // the keys did nothing
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(AppTest)
#include "tst_app.moc"
