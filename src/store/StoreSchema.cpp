#include "store/StoreSchema.h"

#include "store/ModelContainer.h"

#include <iterator>
#include <string_view>

namespace quendle2::StoreSchema {

namespace {

constexpr const char* version1_0_0[] = {
    R"(CREATE TABLE "Item" (pk INTEGER PRIMARY KEY, "timestamp" INTEGER))",
    R"(CREATE TABLE "AppSettings" (pk INTEGER PRIMARY KEY, "showSpeed" INTEGER NOT NULL,
        "showArrivalInfo" INTEGER NOT NULL, "showDelay" INTEGER NOT NULL, "showWifiStrength" INTEGER NOT NULL,
        "showTrainEmoji" INTEGER, "updateIntervalSeconds" INTEGER NOT NULL, "stopSelectionEva" TEXT))",
    R"(CREATE TABLE "Trip" (pk INTEGER PRIMARY KEY, "id" TEXT NOT NULL UNIQUE, "startDate" INTEGER,
        "endDate" INTEGER, "trainIdentifier" TEXT NOT NULL, "active" INTEGER NOT NULL, "maxSpeed" REAL NOT NULL,
        "avgSpeed" REAL NOT NULL, "selectedStopEva" TEXT))",
    R"(CREATE INDEX "TripByStartDate" ON "Trip" ("startDate"))",
    R"(CREATE INDEX "TripByTrainIdentifier" ON "Trip" ("trainIdentifier"))",
    R"(CREATE TABLE "SpeedSample" (pk INTEGER PRIMARY KEY, "timestamp" INTEGER, "speedKmh" REAL NOT NULL,
        "trip" INTEGER REFERENCES "Trip" (pk) ON DELETE CASCADE))",
    R"(CREATE INDEX "SpeedSampleByTripAndTime" ON "SpeedSample" ("trip", "timestamp"))",
    R"(CREATE TABLE "StopSnapshot" (pk INTEGER PRIMARY KEY, "createdAt" INTEGER,
        "trip" INTEGER REFERENCES "Trip" (pk) ON DELETE SET NULL, "stationEva" TEXT NOT NULL,
        "stationName" TEXT NOT NULL, "scheduledArrivalTime" INTEGER, "actualArrivalTime" INTEGER,
        "arrivalDelayText" TEXT))",
    R"(CREATE INDEX "StopSnapshotByTripStationTime" ON "StopSnapshot" ("trip", "stationEva", "createdAt"))",
    R"(CREATE TABLE "Metadata" ("key" TEXT PRIMARY KEY, "value" TEXT NOT NULL))",
};

// Nullable, so that the rows already there read as the defaults without being rewritten.
constexpr const char* notificationSettings[] = {
    R"(ALTER TABLE "AppSettings" ADD COLUMN "arrivalReminderMinutes" INTEGER)",
    R"(ALTER TABLE "AppSettings" ADD COLUMN "notifyPlatformChanges" INTEGER)",
    R"(ALTER TABLE "AppSettings" ADD COLUMN "notifyDelayChanges" INTEGER)",
    R"(ALTER TABLE "AppSettings" ADD COLUMN "notifyInternetGaps" INTEGER)",
};

// Nullable: samples recorded before, or without a fix, have no position.
constexpr const char* samplePositions[] = {
    R"(ALTER TABLE "SpeedSample" ADD COLUMN "latitude" REAL)",
    R"(ALTER TABLE "SpeedSample" ADD COLUMN "longitude" REAL)",
};

constexpr Migration steps[] = {
    {"1.0.0", "1.1.0", notificationSettings},
    {"1.1.0", "1.2.0", samplePositions},
};

constexpr bool chained() {
    for (std::size_t i = 1; i < std::size(steps); ++i) {
        if (std::string_view(steps[i - 1].to) != steps[i].from) {
            return false;
        }
    }
    return std::string_view(steps[0].from) == "1.0.0" &&
           std::string_view(std::end(steps)[-1].to) == ModelContainer::schemaVersion;
}
static_assert(chained(), "every schema version must be reachable from 1.0.0 and lead to the current one");

} // namespace

std::span<const char* const> firstVersion() {
    return version1_0_0;
}

std::span<const Migration> migrations() {
    return steps;
}

} // namespace quendle2::StoreSchema
