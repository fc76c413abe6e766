// quendle2-demo: the application on a simulated portal that plays a whole journey in minutes, in a data
// folder of its own so that demo trips never mix with real ones.
#include "PortalSimulator.h"
#include "app/AppLauncher.h"
#include "platform/Clock.h"
#include "service/TrainService.h"
#include "store/ModelContext.h"

#include <QFile>
#include <QTimer>

namespace {

// Thirty journey seconds per wall second: Frankfurt to Hamburg in about twelve minutes.
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

} // namespace

int main(int argc, char** argv) {
    using namespace quendle2;
    AppFlavor flavor;
    flavor.applicationName = QStringLiteral("quendle2-demo");
    flavor.displayName = QStringLiteral("quendle2 demo");
    flavor.runsWithoutDisplay = true;
    flavor.preparePortal = [](QObject* owner, QString* error) -> AppFlavor::ServiceFactory {
        auto* portal = new sim::PortalSimulator(sim::Scenario::builtInJourney(), Clock::system(), owner);
        if (!portal->listen()) {
            *error = QStringLiteral("Could not start the simulated portal: ") + portal->errorString();
            return {};
        }
        portal->play(timeFactor, startOffset);
        const QUrl origin = portal->origin();
        return [origin](ModelContext* context) {
            drillFullDisk(context);
            return new TrainService(context, origin, sim::PortalSimulator::caCertificates(), Clock::system());
        };
    };
    return AppLauncher::run(argc, argv, flavor);
}
