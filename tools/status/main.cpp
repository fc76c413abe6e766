// quendle2-status: the running quendle2's journey for bars and scripts, and recorded trips as GPX or CSV.
#include "StatusTool.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quendle2-status"));
    return quendle2::status::runStatusTool(QCoreApplication::arguments());
}
