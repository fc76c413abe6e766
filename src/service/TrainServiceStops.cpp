// The route of the current train, the stop the menu bar counts down to, and the delay history.

#include "platform/Log.h"
#include "service/TrainService.h"
#include "store/ModelContext.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"

namespace quendle2 {

namespace {

std::optional<QDateTime> instantOf(const std::optional<qint64>& milliseconds) {
    if (!milliseconds) {
        return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(*milliseconds, Qt::UTC);
}

QStringList
delayReasonTexts(const std::optional<std::vector<ICETripInfo::Trip::Stop::DelayReason>>& reasons) {
    QStringList texts;
    for (const auto& reason : reasons.value_or(std::vector<ICETripInfo::Trip::Stop::DelayReason>{})) {
        // The portal repeats a reason once per cause code; the traveller needs each wording once.
        if (reason.text && !reason.text->trimmed().isEmpty() && !texts.contains(reason.text->trimmed())) {
            texts.append(reason.text->trimmed());
        }
    }
    return texts;
}

} // namespace

std::optional<TrainService::TripStop> TrainService::makeTripStop(const ICETripInfo::Trip::Stop& stop) {
    const QString eva = stop.station ? stop.station->evaNr.value_or(QString()) : QString();
    const QString name = stop.station ? stop.station->name.value_or(QString()) : QString();
    if (eva.isEmpty() || name.isEmpty()) {
        return std::nullopt;
    }
    const auto& timetable = stop.timetable;
    return TripStop{
        .id = QUuid::createUuid(),
        .eva = eva,
        .name = name,
        .scheduledArrival = timetable ? instantOf(timetable->scheduledArrivalTime) : std::nullopt,
        .actualArrival = timetable ? instantOf(timetable->actualArrivalTime) : std::nullopt,
        .arrivalDelayText = timetable ? timetable->arrivalDelay : std::nullopt,
        .scheduledDeparture = timetable ? instantOf(timetable->scheduledDepartureTime) : std::nullopt,
        .actualDeparture = timetable ? instantOf(timetable->actualDepartureTime) : std::nullopt,
        .departureDelayText = timetable ? timetable->departureDelay : std::nullopt,
        .passed = stop.info && stop.info->passed.value_or(false),
        .platform = stop.track ? StopPlatform{stop.track->scheduled, stop.track->actual} : StopPlatform{},
        .delayReasons = delayReasonTexts(stop.delayReasons),
    };
}

void TrainService::applyTripInfo(const ICETripInfo& info) {
    const auto& trip = info.trip;
    const auto& stopInfo = trip ? trip->stopInfo : std::nullopt;
    const std::optional<QString> finalStation = stopInfo ? stopInfo->finalStationName : std::nullopt;
    assign(m_finalStationName, finalStation && !finalStation->isEmpty() ? finalStation : std::nullopt,
           &TrainService::finalStationNameChanged);
    assign(m_actualPositionMeters, trip ? trip->actualPosition : std::nullopt,
           &TrainService::actualPositionMetersChanged);
    assign(m_totalDistanceMeters, trip ? trip->totalDistance : std::nullopt,
           &TrainService::totalDistanceMetersChanged);
    if (!info.trip || !info.trip->stops) {
        assign(m_allStops, std::vector<TripStop>{}, &TrainService::allStopsChanged);
        assign(m_upcomingStops, std::vector<UpcomingStop>{}, &TrainService::upcomingStopsChanged);
        assign(m_currentStopIndex, std::nullopt, &TrainService::currentStopIndexChanged);
        qCDebug(lcTrainService).noquote() << "Trip apply: no stops in payload";
        return;
    }
    std::vector<TripStop> stops;
    for (const ICETripInfo::Trip::Stop& stop : *info.trip->stops) {
        if (std::optional<TripStop> made = makeTripStop(stop)) {
            stops.push_back(std::move(*made));
        }
    }
    assign(m_allStops, std::move(stops), &TrainService::allStopsChanged);
    qCDebug(lcTrainService).noquote() << QStringLiteral("Trip apply: %1 total stops")
                                             .arg(Log::integer(static_cast<qint64>(m_allStops.size())));

    std::optional<qsizetype> next;
    std::vector<UpcomingStop> upcoming;
    for (std::size_t i = 0; i < m_allStops.size(); ++i) {
        const TripStop& stop = m_allStops[i];
        if (stop.passed) {
            continue;
        }
        if (!next) {
            next = static_cast<qsizetype>(i);
        }
        upcoming.push_back(UpcomingStop{QUuid::createUuid(), stop.eva, stop.name, stop.scheduledArrival,
                                        stop.actualArrival, stop.arrivalDelayText, stop.passed,
                                        stop.platform});
    }
    if (!next && !m_allStops.empty()) {
        next = static_cast<qsizetype>(m_allStops.size()) - 1;
    }
    assign(m_currentStopIndex, next, &TrainService::currentStopIndexChanged);
    assign(m_upcomingStops, std::move(upcoming), &TrainService::upcomingStopsChanged);

    const auto isUpcoming = [this](const QString& eva) {
        return std::any_of(m_upcomingStops.begin(), m_upcomingStops.end(),
                           [&](const UpcomingStop& stop) { return stop.eva == eva; });
    };
    // A chosen stop that was passed or left the route falls back to automatic...
    if (m_selectedStopEva && !isUpcoming(*m_selectedStopEva)) {
        setSelectedStopEva(std::nullopt);
    }
    // ...or to the trip's own choice, while that one is still ahead.
    if (!m_selectedStopEva) {
        if (Trip* trip = currentTrip()) {
            if (const auto stored = trip->selectedStopEva(); stored && isUpcoming(*stored)) {
                setSelectedStopEva(stored);
            }
        }
    }
    recordDelaySnapshots(m_allStops);
}

void TrainService::recordDelaySnapshots(const std::vector<TripStop>& stops) {
    Trip* trip = currentTrip();
    if (!m_modelContext || trip == nullptr) {
        return;
    }
    const QUuid tripId = trip->id();
    if (tripId != m_lastSnapshotTrip) {
        m_lastSnapshotDelay.clear();
        m_lastSnapshotTrip = tripId;
    }
    for (const TripStop& stop : stops) {
        if (!stop.arrivalDelayText || stop.arrivalDelayText->isEmpty()) {
            continue;
        }
        auto known = m_lastSnapshotDelay.find(stop.eva);
        if (known == m_lastSnapshotDelay.end()) {
            using Condition = FetchDescriptor::Condition;
            const auto newest = m_modelContext->fetch<StopSnapshot>(
                FetchDescriptor{{Condition::tripIdEquals(tripId),
                                 Condition::textEquals(QStringLiteral("stationEva"), stop.eva)},
                                {{QStringLiteral("createdAt"), false}},
                                1});
            // A failed look-up counts as no earlier snapshot.
            std::optional<QString> text;
            if (newest.ok() && !newest.value().isEmpty()) {
                text = newest.value().first()->arrivalDelayText();
            }
            known = m_lastSnapshotDelay.insert(stop.eva, text);
        }
        if (*known == stop.arrivalDelayText) {
            continue;
        }
        if (m_modelContext->insert(std::make_unique<StopSnapshot>(m_clock.now(), trip, stop.eva, stop.name,
                                                                  stop.scheduledArrival, stop.actualArrival,
                                                                  stop.arrivalDelayText)) == nullptr) {
            continue; // not recorded: the next document tries again
        }
        *known = stop.arrivalDelayText;
        qCDebug(lcTrainService).noquote() << QStringLiteral("Snapshot delay change: stop=%1 delay=%2")
                                                 .arg(stop.name, *stop.arrivalDelayText);
    }
}

std::optional<TrainService::UpcomingStop> TrainService::menubarArrivalStop() const {
    if (m_selectedStopEva) {
        for (const UpcomingStop& stop : m_upcomingStops) {
            if (stop.eva == *m_selectedStopEva) {
                return stop;
            }
        }
        return std::nullopt;
    }
    if (m_upcomingStops.empty()) {
        return std::nullopt;
    }
    return m_upcomingStops.front();
}

void TrainService::selectDestination(const std::optional<QString>& eva) {
    std::optional<QString> selection;
    if (eva) {
        for (const UpcomingStop& stop : m_upcomingStops) {
            if (stop.eva == *eva) {
                selection = stop.eva;
                break;
            }
        }
    }
    setSelectedStopEva(selection);
    if (Trip* trip = currentTrip()) {
        trip->setSelectedStopEva(selection);
    }
}

} // namespace quendle2
