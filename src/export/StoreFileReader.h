#pragma once

#include "export/TripExport.h"
#include "platform/Result.h"

#include <QString>

namespace quendle2::StoreFileReader {

/// What `readTrip` takes for the trip that started last.
inline constexpr char latestTrip[] = "latest";

/// Reads one trip and its samples from the store file at `filePath`, on a read-only connection of its own:
/// the file is never written, and the application may have it open meanwhile. `trip` is a trip's id or
/// `latestTrip`. A file of an earlier schema is refused in SQLite's words: the application upgrades it
/// when it next opens it.
Result<ExportTrip, QString> readTrip(const QString& filePath, const QString& trip);

} // namespace quendle2::StoreFileReader
