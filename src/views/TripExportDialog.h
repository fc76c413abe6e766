#pragma once

#include <QString>

class QWidget;

namespace quendle2 {

class Trip;

/// "Export Trip…": a save dialog offering GPX and CSV, then the trip written whole to the chosen file.
namespace TripExportDialog {

/// Asks where to, writes, and tells the user when writing failed. Does nothing when the dialog is cancelled
/// or the trip is deleted meanwhile.
void run(const Trip* trip, QWidget* parent);

/// Writes the trip to `filePath`: CSV when the name ends in .csv, GPX otherwise. Empty on success, else what
/// went wrong; a file that was there stays as it was on failure.
QString exportTo(const Trip& trip, const QString& filePath);

/// "ICE 9473 2026-12-08.gpx": the title and the day the trip began, without characters a file name cannot
/// hold.
QString suggestedFileName(const Trip& trip);

} // namespace TripExportDialog

} // namespace quendle2
