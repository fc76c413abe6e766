// quendle2-demo: the application on a simulated portal that plays a whole journey in minutes, in a data
// folder of its own so that demo trips never mix with real ones.
#include "PortalSimulator.h"
#include "ScenarioClock.h"
#include "app/AppLauncher.h"
#include "platform/Clock.h"
#include "platform/JourneyBusNames.h"
#include "service/TrainService.h"
#include "store/ModelContext.h"
#include "store/Trip.h"

#include <QFile>
#include <QTimer>

namespace {

// Thirty journey seconds per wall second: Frankfurt to Hamburg in about eleven minutes.
constexpr double timeFactor = 30;
// Starts with the train already on its way, so the title shows speed and arrival from the first tick.
constexpr double startOffset = 900;

/// While the file named by QUENDLE2_DEMO_FULL_DISK_FLAG exists, the store takes no writes, as on a full disk:
/// what the demo records meanwhile must reach the file once the flag is gone.
void drillFullDisk(quendle2::ModelContext* context) {
    const QString flag = qEnvironmentVariable("QUENDLE2_DEMO_FULL_DISK_FLAG");
    if (flag.isEmpty() || context == nullptr) {
        return;
    }
    auto* check = new QTimer(context);
    QObject::connect(check, &QTimer::timeout, context, [context, flag, full = false]() mutable {
        if (QFile::exists(flag) != full) {
            full = !full;
            context->refuseWrites(full);
        }
    });
    check->start(200);
}

/// The latest instant the store holds, in milliseconds since the epoch. An earlier run's clock ran ahead of
/// the wall, thirty times as fast; starting behind it would date this run's samples before that run's, and
/// close its trips before they began.
qint64 latestRecordedMs(quendle2::ModelContext* store) {
    qint64 latest = 0;
    const auto consider = [&latest](const std::optional<QDateTime>& instant) {
        if (instant) {
            latest = std::max(latest, instant->toMSecsSinceEpoch());
        }
    };
    const auto trips = store->fetch<quendle2::Trip>();
    for (const quendle2::Trip* trip : trips.ok() ? trips.value() : QList<quendle2::Trip*>{}) {
        consider(trip->startDate());
        consider(trip->endDate());
        if (const auto mark = trip->latestSampleMark()) {
            consider(mark->timestamp);
        }
    }
    return latest;
}

} // namespace

int main(int argc, char** argv) {
    using namespace quendle2;
    AppFlavor flavor;
    flavor.applicationName = QStringLiteral("quendle2-demo");
    flavor.displayName = QStringLiteral("quendle2 demo");
    flavor.busName = QString::fromLatin1(JourneyBusNames::demo);
    flavor.runsWithoutDisplay = true;
    // The whole application lives on the journey's time, so that its countdowns, durations and grace periods
    // run at the pace the journey plays. The journey's instant at launch is the real one, so that recorded
    // trips are dated when they were played, unless an earlier run went further.
    sim::ScenarioClock clock(Clock::system());
    flavor.clock = &clock;
    flavor.preparePortal = [&clock](QObject* owner, ModelContext* store,
                                    QString* error) -> AppFlavor::ServiceFactory {
        auto* portal = new sim::PortalSimulator(sim::Scenario::builtInJourney(), Clock::system(), owner);
        if (!portal->listen()) {
            *error = QStringLiteral("Could not start the simulated portal: ") + portal->errorString();
            return {};
        }
        const qint64 now = Clock::system().now().toMSecsSinceEpoch();
        const sim::SimTimeline timeline{now, std::max(now, latestRecordedMs(store)), startOffset, timeFactor};
        portal->play(timeline);
        clock.follow(timeline);
        const QUrl origin = portal->origin();
        return [origin, &clock](ModelContext* context) {
            drillFullDisk(context);
            return new TrainService(context, origin, sim::PortalSimulator::caCertificates(), clock);
        };
    };
    return AppLauncher::run(argc, argv, flavor);
}
