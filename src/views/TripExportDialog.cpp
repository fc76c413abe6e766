#include "views/TripExportDialog.h"

#include "export/TripExport.h"
#include "store/Trip.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStandardPaths>

namespace quendle2::TripExportDialog {

namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(quendle2::TripExportDialog)
};

TripExport::Format formatOf(const QString& filePath) {
    return TripExport::formatNamed(QFileInfo(filePath).suffix()).value_or(TripExport::Format::Gpx);
}

} // namespace

QString exportTo(const Trip& trip, const QString& filePath) {
    return TripExport::save(filePath, TripExport::encode(TripExport::of(trip), formatOf(filePath)));
}

QString suggestedFileName(const Trip& trip) {
    QString name = trip.title();
    if (trip.startDate().isValid()) {
        name += u' ' + trip.startDate().toLocalTime().date().toString(Qt::ISODate);
    }
    // Slashes would make folders, and the others trouble other systems' file names and shells.
    static const QRegularExpression unsafe(QStringLiteral(R"([/\\:*?"<>|\x00-\x1f]+)"));
    name.replace(unsafe, QStringLiteral("-"));
    return name.trimmed() + QStringLiteral(".gpx");
}

void run(const Trip& trip, QWidget* parent) {
    const QString gpx = Text::tr("GPX track (*.gpx)");
    const QString csv = Text::tr("CSV table (*.csv)");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::homePath();
    }
    QString filter = gpx;
    QString path = QFileDialog::getSaveFileName(parent, Text::tr("Export Trip"),
                                                QDir(folder).filePath(suggestedFileName(trip)),
                                                gpx + QStringLiteral(";;") + csv, &filter);
    if (path.isEmpty()) {
        return;
    }
    // The filter the user picked decides the format when the name does not say it.
    const QString wanted = filter == csv ? QStringLiteral("csv") : QStringLiteral("gpx");
    if (!TripExport::formatNamed(QFileInfo(path).suffix())) {
        path += u'.' + wanted;
    }
    if (const QString error = exportTo(trip, path); !error.isEmpty()) {
        QMessageBox::warning(parent, Text::tr("Export Trip"),
                             Text::tr("The trip could not be exported.") + u'\n' + error);
    }
}

} // namespace quendle2::TripExportDialog
