// The shell in-process: the setup action's once-only effects, the main window's lifecycle, and views
// following a replaced service.
#include "ServiceTestSupport.h"
#include "app/quendle2App.h"
#include "menubar/StatusBarManager.h"
#include "platform/NotificationCenter.h"
#include "service/AppStore.h"
#include "views/ContentView.h"
#include "views/StopsView.h"

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace quendle2;
using namespace quendle2::test;

class AppTest : public QObject {
    Q_OBJECT

private:
    /// A shell on a fresh store whose connected services answer from a script; `made` counts them.
    struct Shell {
        Shell() {
            auto container = ModelContainer::open(dir.filePath(u"store.sqlite"_s)).takeValue();
            app = std::make_unique<quendle2App>(
                std::move(container),
                [this](ModelContext* context) {
                    auto fake = std::make_unique<FakePortalClient>();
                    client = fake.get();
                    ++made;
                    return new TrainService(context, std::move(fake), clock);
                },
                clock);
        }
        LogCapture log;
        QTemporaryDir dir;
        ManualClock clock{journeyStart};
        FakePortalClient* client = nullptr;
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
        shell.app->mainWindows().first()->hide();
        shell.app->openMainWindow();
        QCOMPARE(shell.app->mainWindows().size(), 1);
        QCOMPARE(shell.made, 1);
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(store->service(), connected);
        QCOMPARE(shell.app->statusBarManager(), manager);
    }

    void requestWithAWindowOpenBringsItForward() {
        Shell shell;
        ContentView* window = shell.app->openMainWindow();
        window->hide();
        NotificationCenter::defaultCenter().post(Notification::OpenMainWindowRequested);
        QCOMPARE(shell.app->mainWindows(), QList<ContentView*>{window});
        QVERIFY(window->isVisible());
    }

    void viewsFollowAReplacedService() {
        Harness first;
        AppStore store(first.service.release());
        StopsView stops({first.context(), &store, &first.clock});
        stops.show();
        QVERIFY(stops.showsEmptyText());

        Harness second;
        TrainService* next = second.service.release();
        next->applyTripInfo(route({stop(koeln), stop(dortmund)}));
        store.setService(next);
        QCoreApplication::processEvents();
        QCOMPARE(stops.rows().size(), 2);
        // ...and keeps following it.
        next->applyTripInfo(route({stop(koeln)}));
        QCoreApplication::processEvents();
        QCOMPARE(stops.rows().size(), 1);
    }

    void storeFailureMessage() {
        QCOMPARE(quendle2App::storeFailureMessage(u"file is not a database"_s),
                 u"Could not create ModelContainer: file is not a database"_s);
    }

    // Last: it runs the application's event loop to its end.
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
