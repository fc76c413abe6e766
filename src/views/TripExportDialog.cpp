#include "views/TripExportDialog.h"

#include "export/TripExport.h"
#include "store/Trip.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
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

void run(const Trip* trip, QWidget* parent) {
    if (trip == nullptr) {
        return;
    }
    const QString gpx = Text::tr("GPX track (*.gpx)");
    const QString csv = Text::tr("CSV table (*.csv)");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::homePath();
    }
    QFileDialog dialog(parent, Text::tr("Export Trip"), folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({gpx, csv});
    dialog.selectFile(suggestedFileName(*trip));
    const auto suffixOf = [&csv](const QString& filter) {
        return TripExport::suffix(filter == csv ? TripExport::Format::Csv : TripExport::Format::Gpx);
    };
    // Another type changes the name's suffix with it, so that the name and the content agree.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.size() == 1 && TripExport::formatNamed(QFileInfo(chosen.first()).suffix())) {
            dialog.selectFile(QFileInfo(chosen.first()).completeBaseName() + u'.' + suffixOf(filter));
        }
    });
    const QPointer<const Trip> guard(trip);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty() || !guard) {
        return;
    }
    QString path = dialog.selectedFiles().first();
    if (!TripExport::formatNamed(QFileInfo(path).suffix())) {
        path += u'.' + suffixOf(dialog.selectedNameFilter());
    }
    if (const QString error = exportTo(*guard, path); !error.isEmpty()) {
        QMessageBox::warning(parent, Text::tr("Export Trip"),
                             Text::tr("The trip could not be exported.") + u'\n' + error);
    }
}

} // namespace quendle2::TripExportDialog
