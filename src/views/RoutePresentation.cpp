#include "views/RoutePresentation.h"

#include "store/ModelContext.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"

#include <QCoreApplication>

namespace quendle2::RoutePresentation {

using namespace Qt::Literals::StringLiterals;

Marker marker(qsizetype index, std::optional<qsizetype> currentStopIndex, bool passed) {
    if (currentStopIndex && *currentStopIndex == index) {
        return Marker::Current;
    }
    return passed ? Marker::Passed : Marker::Ahead;
}

std::optional<QString> targetEva(const std::optional<QString>& selectedStopEva,
                                 const std::vector<TrainService::UpcomingStop>& upcomingStops) {
    if (selectedStopEva) {
        return selectedStopEva;
    }
    if (upcomingStops.empty()) {
        return std::nullopt;
    }
    return upcomingStops.front().eva;
}

std::optional<QString> delayText(const TrainService::TripStop& stop) {
    if (!stop.arrivalDelayText || stop.arrivalDelayText->isEmpty()) {
        return std::nullopt;
    }
    return stop.arrivalDelayText;
}

bool showsDeparture(const TrainService::TripStop& stop) {
    return stop.scheduledDeparture.has_value() || stop.actualDeparture.has_value();
}

QList<DestinationEntry> destinationEntries(const std::vector<TrainService::UpcomingStop>& upcomingStops) {
    QList<DestinationEntry> entries;
    entries.reserve(static_cast<qsizetype>(upcomingStops.size()) + 1);
    entries.append(
        {QUuid(), QCoreApplication::translate("quendle2::RoutePresentation", "Auto (next stop)"), autoValue});
    for (const TrainService::UpcomingStop& stop : upcomingStops) {
        entries.append({stop.id, stop.name, stop.eva});
    }
    return entries;
}

QString destinationValue(const std::optional<QString>& selectedStopEva) {
    return selectedStopEva.value_or(autoValue);
}

std::optional<QString> destinationChoice(const QString& value) {
    if (value == autoValue) {
        return std::nullopt;
    }
    return value;
}

FetchDescriptor delayHistoryDescriptor(const QString& stationEva, const std::optional<QUuid>& tripId) {
    FetchDescriptor descriptor;
    descriptor.filter = {FetchDescriptor::Condition::textEquals(u"stationEva"_s, stationEva),
                         FetchDescriptor::Condition::tripIdEquals(tripId)};
    descriptor.sort = {{u"createdAt"_s, false}};
    return descriptor;
}

QList<StopSnapshot*> delayHistory(ModelContext* context, const TrainService* service,
                                  const QString& stationEva) {
    if (context == nullptr) {
        return {};
    }
    std::optional<QUuid> tripId;
    if (service != nullptr) {
        if (const Trip* trip = service->currentTrip()) {
            tripId = trip->id();
        }
    }
    auto fetched = context->fetch<StopSnapshot>(delayHistoryDescriptor(stationEva, tripId));
    return fetched.ok() ? fetched.value() : QList<StopSnapshot*>{};
}

} // namespace quendle2::RoutePresentation
