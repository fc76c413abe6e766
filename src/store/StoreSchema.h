#pragma once

#include <span>

namespace quendle2::StoreSchema {

/// One step from a schema version to the next. An upgrade runs every step a file needs in one transaction.
struct Migration {
    const char* from = nullptr;
    const char* to = nullptr;
    std::span<const char* const> statements;
};

/// The tables and indexes of the first schema, 1.0.0. A new file runs these and then every migration, so
/// that a new file and an upgraded one cannot come out different.
std::span<const char* const> firstVersion();

/// In order: each step starts where the one before ends, and the last ends at
/// `ModelContainer::schemaVersion`. The next schema is one more entry here.
std::span<const Migration> migrations();

} // namespace quendle2::StoreSchema
