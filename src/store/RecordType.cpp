#include "store/RecordType.h"

namespace quendle2 {

const RecordSchema& schemaOf(RecordType type) {
    static const std::array<RecordSchema, 5> schemas{
        RecordSchema{QStringLiteral("Item"), {QStringLiteral("timestamp")}},
        RecordSchema{QStringLiteral("AppSettings"),
                     {QStringLiteral("showSpeed"), QStringLiteral("showArrivalInfo"),
                      QStringLiteral("showDelay"), QStringLiteral("showWifiStrength"),
                      QStringLiteral("showTrainEmoji"), QStringLiteral("updateIntervalSeconds"),
                      QStringLiteral("stopSelectionEva"), QStringLiteral("arrivalReminderMinutes"),
                      QStringLiteral("notifyPlatformChanges"), QStringLiteral("notifyDelayChanges"),
                      QStringLiteral("notifyInternetGaps")}},
        RecordSchema{QStringLiteral("Trip"),
                     {QStringLiteral("id"), QStringLiteral("startDate"), QStringLiteral("endDate"),
                      QStringLiteral("trainIdentifier"), QStringLiteral("active"), QStringLiteral("maxSpeed"),
                      QStringLiteral("avgSpeed"), QStringLiteral("selectedStopEva")}},
        RecordSchema{QStringLiteral("SpeedSample"),
                     {QStringLiteral("timestamp"), QStringLiteral("speedKmh"), QStringLiteral("trip"),
                      QStringLiteral("latitude"), QStringLiteral("longitude")},
                     2},
        RecordSchema{QStringLiteral("StopSnapshot"),
                     {QStringLiteral("createdAt"), QStringLiteral("trip"), QStringLiteral("stationEva"),
                      QStringLiteral("stationName"), QStringLiteral("scheduledArrivalTime"),
                      QStringLiteral("actualArrivalTime"), QStringLiteral("arrivalDelayText")},
                     1},
    };
    return schemas[static_cast<std::size_t>(type)];
}

} // namespace quendle2
