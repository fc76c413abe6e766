// A day in the life of an autostarted quendle2: the whole application (store, service, status bar manager and
// main window) against the simulated portal in one process, with a manual clock stepping 5 s per tick through
// 24 hours: four journeys, each with its long Wi-Fi outage and its renumbered train, the window shown and
// hidden on the way. Prints resident memory and open file descriptors every simulated hour.
//
//   bench_soak [HOURS]      (default 24)
//
// Target: resident memory at the end within 5 MiB of the value after the first hour, and no growth in file
// descriptors.
#include "PortalSimulator.h"
#include "app/quendle2App.h"
#include "service/TrainService.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/Trip.h"
#include "support/ManualClock.h"
#include "support/TrainServiceProbe.h"
#include "views/ContentView.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace quendle2;

namespace {

constexpr int tickSeconds = 5;
constexpr int ticksPerHour = 3600 / tickSeconds;
// The built-in journey ends at Hamburg after about 5.5 hours; a new one starts a while later.
constexpr double journeySeconds = 21'600;
// The window is shown for one hour in every three, as a traveller glances at it now and then.
constexpr int windowPeriodHours = 3;

qint64 residentKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

qsizetype openDescriptors() {
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
}

void die(const QString& message) {
    std::fprintf(stderr, "bench_soak: %s\n", qPrintable(message));
    std::exit(1);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Only the figures: the application's own log would be the bulk of the output.
    qputenv("QT_LOGGING_RULES", "org.quendle2.*=false");
    QApplication application(argc, argv);
    const int hours = argc > 1 ? std::atoi(argv[1]) : 24;

    QTemporaryDir dir;
    ManualClock clock;
    sim::PortalSimulator portal(sim::Scenario::builtInJourney(), clock);
    if (!dir.isValid() || !portal.listen()) {
        die(QStringLiteral("cannot set up: ") + portal.errorString());
    }
    portal.play(1.0, 0);
    auto opened = ModelContainer::open(dir.filePath(QStringLiteral("store.sqlite")));
    if (!opened.ok()) {
        die(opened.error().description);
    }
    TrainService* service = nullptr;
    quendle2App shell(
        opened.takeValue(),
        [&](ModelContext* context) {
            service =
                new TrainService(context, portal.origin(), sim::PortalSimulator::caCertificates(), clock);
            return service;
        },
        clock);
    ContentView* window = shell.openMainWindow();
    QApplication::processEvents();
    if (service == nullptr) {
        die(QStringLiteral("the window's first showing made no service"));
    }
    // The ticks below are the only ones: the service's own timer would run on the wall clock.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    service->setRefreshInterval(1e9);

    // One guard for all ticks: a wall-clock timer per tick would keep thousands of objects alive at once
    // and weigh on the very figure this measures.
    QTimer guard;
    guard.setSingleShot(true);
    guard.setInterval(30'000);
    QObject::connect(&guard, &QTimer::timeout, [] { die(QStringLiteral("a tick did not finish")); });
    const auto runTick = [&] {
        QEventLoop loop;
        QObject::connect(service, &TrainService::tickFinished, &loop, &QEventLoop::quit);
        guard.start();
        TrainServiceProbe::tick(*service);
        loop.exec();
        guard.stop();
    };

    std::printf("hour  rss_kib  fds  records  trips\n");
    qint64 firstHourRss = 0;
    qsizetype firstHourFds = 0;
    for (int hour = 1; hour <= hours; ++hour) {
        window->setVisible(hour % windowPeriodHours == 1);
        for (int tick = 0; tick < ticksPerHour; ++tick) {
            clock.advance(tickSeconds);
            if (portal.scenarioTime() >= journeySeconds) {
                portal.play(1.0, 0);
            }
            runTick();
        }
        // Let deferred work (saves, redraws, freeing) run, as the idle event loop would.
        QApplication::processEvents();
        QApplication::processEvents();
        const qint64 rss = residentKib();
        const qsizetype fds = openDescriptors();
        if (hour == 1) {
            firstHourRss = rss;
            firstHourFds = fds;
        }
        const auto trips = shell.sharedModelContainer()->mainContext()->fetch<Trip>();
        std::printf("%4d  %7lld  %3lld  %7lld  %5lld\n", hour, static_cast<long long>(rss),
                    static_cast<long long>(fds),
                    static_cast<long long>(shell.sharedModelContainer()->mainContext()->recordsInMemory()),
                    static_cast<long long>(trips.ok() ? trips.value().size() : -1));
        std::fflush(stdout);
    }
    const qint64 growth = residentKib() - firstHourRss;
    const qsizetype fdGrowth = openDescriptors() - firstHourFds;
    const bool met = growth <= 5 * 1024 && fdGrowth <= 0;
    std::printf("resident growth after the first hour: %lld KiB; descriptors: %+lld; target %s\n",
                static_cast<long long>(growth), static_cast<long long>(fdGrowth), met ? "met" : "MISSED");
    return met ? 0 : 1;
}
