// Records a trip the way the application does and then waits to be killed, so that tst_store_crash can check
// what a crash right after a committed turn leaves in the file.

#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/Trip.h"

#include <QCoreApplication>

#include <cstdio>

using namespace quendle2;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: store_crash_child STORE_FILE\n");
        return 2;
    }
    const auto opened = ModelContainer::open(QString::fromLocal8Bit(argv[1]));
    if (!opened.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error().description));
        return 1;
    }
    ModelContext* context = opened.value()->mainContext();
    const QDateTime start = QDateTime::currentDateTimeUtc();
    RecordRef<Trip> trip = context->insert(std::make_unique<Trip>(start, QStringLiteral("ICE 1001"), true));
    for (int i = 0; i < 1000; ++i) {
        context->insert(std::make_unique<SpeedSample>(start.addSecs(i), i % 300, trip));
    }
    QObject::connect(context, &ModelContext::saved, context, [trip] {
        std::printf("flushed %s\n", qPrintable(trip->id().toString(QUuid::WithoutBraces)));
        std::fflush(stdout);
    });
    QObject::connect(context, &ModelContext::saveFailed, context, [](const QString& description) {
        std::fprintf(stderr, "%s\n", qPrintable(description));
        QCoreApplication::exit(1);
    });
    return QCoreApplication::exec();
}
