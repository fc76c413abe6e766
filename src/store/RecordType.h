#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace quendle2 {

/// The five record types of the store, in schema order. Writes are flushed in this order too, so that a
/// trip always reaches the file before the samples and snapshots that point at it.
enum class RecordType { Item, AppSettings, Trip, SpeedSample, StopSnapshot };

inline constexpr std::array<RecordType, 5> allRecordTypes{RecordType::Item, RecordType::AppSettings,
                                                          RecordType::Trip, RecordType::SpeedSample,
                                                          RecordType::StopSnapshot};

/// Where a record type lives on disk: its table and its columns after the primary key `pk`, in the record's
/// field order. Column names are the field names.
struct RecordSchema {
    QString table;
    QStringList columns;
    int tripLinkColumn = -1; ///< the column holding a link to a trip's `pk`, if any
};

const RecordSchema& schemaOf(RecordType type);

} // namespace quendle2
