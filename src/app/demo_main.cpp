// quendle2-demo: the application on a simulated portal that plays a whole journey in minutes, in a data
// folder of its own so that demo trips never mix with real ones.
#include "PortalSimulator.h"
#include "app/AppLauncher.h"
#include "platform/Clock.h"
#include "service/TrainService.h"

namespace {

// Thirty journey seconds per wall second: Frankfurt to Hamburg in about twelve minutes.
constexpr double timeFactor = 30;
// Starts with the train already on its way, so the title shows speed and arrival from the first tick.
constexpr double startOffset = 900;

} // namespace

int main(int argc, char** argv) {
    using namespace quendle2;
    AppFlavor flavor;
    flavor.applicationName = QStringLiteral("quendle2-demo");
    flavor.displayName = QStringLiteral("quendle2 demo");
    flavor.preparePortal = [](QObject* owner, QString* error) -> AppFlavor::ServiceFactory {
        auto* portal = new sim::PortalSimulator(sim::Scenario::builtInJourney(), Clock::system(), owner);
        if (!portal->listen()) {
            *error = QStringLiteral("Could not start the simulated portal: ") + portal->errorString();
            return {};
        }
        portal->play(timeFactor, startOffset);
        const QUrl origin = portal->origin();
        return [origin](ModelContext* context) {
            return new TrainService(context, origin, sim::PortalSimulator::caCertificates(), Clock::system());
        };
    };
    return AppLauncher::run(argc, argv, flavor);
}
