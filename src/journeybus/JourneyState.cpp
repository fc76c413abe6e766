#include "journeybus/JourneyState.h"

#include "menubar/JourneyMenu.h"
#include "service/TrainService.h"
#include "store/StoreValues.h"
#include "store/Trip.h"

#include <iterator>

namespace quendle2 {

JourneyState JourneyState::of(const TrainService* service, const QString& title) {
    JourneyState state;
    state.title = title;
    if (service == nullptr) {
        return state;
    }
    state.connected = service->connected();
    state.speedKmh = service->currentSpeedKmh();
    state.trainIdentifier = service->trainIdentifier();
    state.wifi = service->wifiQuality();
    if (const std::optional<TrainService::UpcomingStop> stop = service->menubarArrivalStop()) {
        state.destinationName = stop->name;
        state.destinationEva = stop->eva;
        if (const std::optional<QDateTime> arrival =
                stop->actualArrival ? stop->actualArrival : stop->scheduledArrival) {
            state.arrivalEpochMs = arrival->toMSecsSinceEpoch();
        }
        state.delay = stop->arrivalDelayText.value_or(QString());
        state.platform = stop->platform.current().value_or(QString());
    }
    const auto& ahead = service->upcomingStops();
    for (std::size_t i = 0; i < ahead.size() && i < journeyMenuStops; ++i) {
        state.nextStops.append(journeyStopLabel(ahead[i]));
    }
    if (const Trip* trip = service->currentTrip()) {
        // The text the store file holds, so that a reader can find the trip there.
        state.tripId = StoreValues::fromUuid(trip->id()).toString();
    }
    return state;
}

QVariantMap JourneyState::properties() const {
    return {
        {QStringLiteral("Title"), title},
        {QStringLiteral("Connected"), connected},
        {QStringLiteral("SpeedKmh"), speedKmh},
        {QStringLiteral("TrainIdentifier"), trainIdentifier},
        {QStringLiteral("Wifi"), wifi},
        {QStringLiteral("DestinationName"), destinationName},
        {QStringLiteral("DestinationEva"), destinationEva},
        {QStringLiteral("ArrivalEpochMs"), arrivalEpochMs},
        {QStringLiteral("Delay"), delay},
        {QStringLiteral("Platform"), platform},
        {QStringLiteral("TripId"), tripId},
        {QStringLiteral("NextStops"), nextStops},
    };
}

QVariantMap changedProperties(const JourneyState& before, const JourneyState& after) {
    const QVariantMap old = before.properties();
    QVariantMap changed = after.properties();
    for (auto it = changed.begin(); it != changed.end();) {
        it = old.value(it.key()) == it.value() ? changed.erase(it) : std::next(it);
    }
    return changed;
}

} // namespace quendle2
