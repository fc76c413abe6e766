#pragma once

#include "portal/ICEStatus.h"
#include "service/TrainService.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace quendle2 {

/// One entry of the status item's menu, the same in every backend.
struct JourneyMenuEntry {
    enum class Kind {
        Text,        ///< a disabled line of information
        Destination, ///< one of the radio group that chooses the title's arrival stop
        Separator,
        Open, ///< "Open quendle2", which behaves like a click on the item
        Quit,
    };

    Kind kind = Kind::Text;
    QString label;
    /// Destination only: the chosen one is checked.
    bool checked = false;
    /// Destination only: the stop's EVA number; empty for "Auto (next stop)".
    QString eva;

    bool operator==(const JourneyMenuEntry&) const = default;
};

using JourneyMenu = QList<JourneyMenuEntry>;

/// What the menu needs of the service at the moment of a rebuild.
struct JourneySnapshot {
    bool connected = false;
    QString trainIdentifier;
    std::optional<QString> finalStationName;
    std::optional<qint64> actualPositionMeters;
    std::optional<qint64> totalDistanceMeters;
    std::vector<TrainService::UpcomingStop> upcomingStops;
    std::optional<QString> selectedStopEva;
    std::optional<ICEStatus::Connectivity> connectivity;

    static JourneySnapshot of(const TrainService& service);
};

/// How many stops ahead the menu lists; the window's route has them all.
constexpr std::size_t journeyMenuStops = 6;

/// The journey as a menu: the train and its final station, the distance travelled, the next stops as a
/// radio group with "Auto (next stop)", the Wi-Fi forecast; or "Disconnected". "Open quendle2" and
/// "Quit quendle2" always end it.
JourneyMenu composeJourneyMenu(const JourneySnapshot& snapshot, const QDateTime& now);

/// "Open quendle2" and "Quit quendle2": the menu before anything is known.
JourneyMenu baseJourneyMenu();

/// "14:32 Hamburg Hbf +3 · Pl. 8 (was 7)": the arrival in the locale's short time, the delay text, the
/// platform.
QString journeyStopLabel(const TrainService::UpcomingStop& stop);

} // namespace quendle2
