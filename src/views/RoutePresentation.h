#pragma once

#include "service/TrainService.h"
#include "store/FetchDescriptor.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

namespace quendle2 {

class ModelContext;
class StopSnapshot;

/// The decisions of the route views (stops list, stop rows, destination selector), as plain functions of
/// the service's live state.
namespace RoutePresentation {

/// The selector's value for "no chosen stop"; it never leaves the selector.
inline const QString autoValue = QStringLiteral("AUTO");

enum class Marker {
    Current, ///< filled with the accent colour
    Passed,  ///< filled grey
    Ahead,   ///< hollow
};

Marker marker(qsizetype index, std::optional<qsizetype> currentStopIndex, bool passed);

/// The EVA number of the stop that carries the target mark: the chosen stop, else the first one ahead;
/// none when nothing is chosen and nothing lies ahead.
std::optional<QString> targetEva(const std::optional<QString>& selectedStopEva,
                                 const std::vector<TrainService::UpcomingStop>& upcomingStops);

/// The orange text of the second line, when there is one to show.
std::optional<QString> delayText(const TrainService::TripStop& stop);
/// Whether the second line has a "dep" group.
bool showsDeparture(const TrainService::TripStop& stop);

struct DestinationEntry {
    QUuid id;
    QString label;
    QString value;

    bool operator==(const DestinationEntry&) const = default;
};

/// "Auto (next stop)", then every stop ahead, in order, by name.
QList<DestinationEntry> destinationEntries(const std::vector<TrainService::UpcomingStop>& upcomingStops);
/// The chosen EVA number, or `autoValue`.
QString destinationValue(const std::optional<QString>& selectedStopEva);
/// What choosing `value` hands to `selectDestination`.
std::optional<QString> destinationChoice(const QString& value);

/// The snapshots of `stationEva` in the trip `tripId` (none: snapshots without trip), newest first.
FetchDescriptor delayHistoryDescriptor(const QString& stationEva, const std::optional<QUuid>& tripId);
/// The delay history of a stop of the service's current trip; empty when the fetch fails.
QList<StopSnapshot*> delayHistory(ModelContext* context, const TrainService* service,
                                  const QString& stationEva);

} // namespace RoutePresentation
} // namespace quendle2
