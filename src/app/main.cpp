// quendle2: the application on the train's own portal.
#include "app/AppLauncher.h"
#include "platform/JourneyBusNames.h"
#include "service/TrainService.h"

int main(int argc, char** argv) {
    using namespace quendle2;
    AppFlavor flavor;
    flavor.applicationName = QStringLiteral("quendle2");
    flavor.displayName = QStringLiteral("quendle2");
    flavor.busName = QString::fromLatin1(JourneyBusNames::application);
    flavor.preparePortal = [](QObject*, ModelContext*, QString*) -> AppFlavor::ServiceFactory {
        return [](ModelContext* context) { return new TrainService(context); };
    };
    return AppLauncher::run(argc, argv, flavor);
}
