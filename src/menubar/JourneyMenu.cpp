#include "menubar/JourneyMenu.h"

#include "menubar/MenubarTitle.h"
#include "menubar/StatusItemMenu.h"
#include "platform/TimeOfDayText.h"

#include <QCoreApplication>

namespace quendle2 {

namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(quendle2::JourneyMenu)
};

JourneyMenuEntry text(const QString& label) {
    return JourneyMenuEntry{JourneyMenuEntry::Kind::Text, label, false, {}};
}

QString kilometres(qint64 metres) {
    return QString::number((metres + 500) / 1000);
}

/// The Wi-Fi state ahead, when the portal announces a different one.
std::optional<QString> wifiForecast(const std::optional<ICEStatus::Connectivity>& connectivity,
                                    const QDateTime& now) {
    if (!connectivity || !connectivity->nextState || connectivity->nextState->isEmpty() ||
        connectivity->remainingTimeSeconds.value_or(0) <= 0) {
        return std::nullopt;
    }
    const QString next = connectivity->nextState->toUpper();
    if (next == connectivity->currentState.value_or(QString()).toUpper()) {
        return std::nullopt;
    }
    // The hyphen is U+2011, which does not break, so the line never wraps between "Wi" and "Fi". It is
    // written as itself because lupdate does not read \u escapes.
    return Text::tr("Wi‑Fi: %1 in %2")
        .arg(next, formatRemainingTime(now.addSecs(*connectivity->remainingTimeSeconds), now));
}

} // namespace

JourneySnapshot JourneySnapshot::of(const TrainService& service) {
    return JourneySnapshot{service.connected(),           service.trainIdentifier(),
                           service.finalStationName(),    service.actualPositionMeters(),
                           service.totalDistanceMeters(), service.upcomingStops(),
                           service.selectedStopEva(),     service.connectivity()};
}

QString journeyStopLabel(const TrainService::UpcomingStop& stop) {
    QString label = stop.name;
    // The timetable's time with the delay beside it, as the station boards show it; the actual time only
    // where there is no timetable.
    if (const auto arrival = stop.scheduledArrival ? stop.scheduledArrival : stop.actualArrival) {
        label = timeOfDayText(*arrival) + QLatin1Char(' ') + label;
    }
    if (stop.arrivalDelayText && !stop.arrivalDelayText->isEmpty()) {
        label += QLatin1Char(' ') + *stop.arrivalDelayText;
    }
    if (const std::optional<QString> platform = stop.platform.current()) {
        label +=
            QStringLiteral(" \u00B7 ") +
            (stop.platform.changed() ? Text::tr("Pl. %1 (was %2)").arg(*platform, *stop.platform.scheduled)
                                     : Text::tr("Pl. %1").arg(*platform));
    }
    return label;
}

JourneyMenu composeJourneyMenu(const JourneySnapshot& snapshot, const QDateTime& now) {
    using Kind = JourneyMenuEntry::Kind;
    JourneyMenu menu;
    if (!snapshot.connected) {
        menu << text(StatusItemMenu::disconnectedLabel());
    } else {
        if (!snapshot.trainIdentifier.isEmpty()) {
            menu << text(snapshot.finalStationName ? snapshot.trainIdentifier + QStringLiteral(" \u2192 ") +
                                                         *snapshot.finalStationName
                                                   : snapshot.trainIdentifier);
        }
        if (snapshot.actualPositionMeters && snapshot.totalDistanceMeters &&
            *snapshot.totalDistanceMeters > 0) {
            menu << text(Text::tr("%1 of %2 km")
                             .arg(kilometres(std::clamp(*snapshot.actualPositionMeters, qint64{0},
                                                        *snapshot.totalDistanceMeters)),
                                  kilometres(*snapshot.totalDistanceMeters)));
        }
        if (!snapshot.upcomingStops.empty()) {
            // A choice that is no longer ahead counts as automatic, as the title does.
            const bool chosenAhead =
                snapshot.selectedStopEva &&
                std::any_of(snapshot.upcomingStops.begin(), snapshot.upcomingStops.end(),
                            [&](const auto& stop) { return stop.eva == *snapshot.selectedStopEva; });
            menu << JourneyMenuEntry{Kind::Destination, Text::tr("Auto (next stop)"), !chosenAhead, {}};
            const std::size_t count = std::min(snapshot.upcomingStops.size(), journeyMenuStops);
            for (std::size_t i = 0; i < count; ++i) {
                const TrainService::UpcomingStop& stop = snapshot.upcomingStops[i];
                menu << JourneyMenuEntry{Kind::Destination, journeyStopLabel(stop),
                                         chosenAhead && stop.eva == *snapshot.selectedStopEva, stop.eva};
            }
        }
        if (const std::optional<QString> forecast = wifiForecast(snapshot.connectivity, now)) {
            menu << text(*forecast);
        }
    }
    if (!menu.isEmpty()) {
        menu << JourneyMenuEntry{Kind::Separator, {}, false, {}};
    }
    return menu + baseJourneyMenu();
}

JourneyMenu baseJourneyMenu() {
    return {JourneyMenuEntry{JourneyMenuEntry::Kind::Open, StatusItemMenu::openLabel(), false, {}},
            JourneyMenuEntry{JourneyMenuEntry::Kind::Quit, StatusItemMenu::quitLabel(), false, {}}};
}

} // namespace quendle2
