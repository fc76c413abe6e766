#pragma once

#include "service/TrainService.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace quendle2 {

class AppSettings;
class ModelContext;

/// The display options of the title. Absent as a whole when there is no settings record: then every option
/// counts as on.
struct MenubarFlags {
    std::optional<bool> showTrainEmoji = true; ///< absent counts as on
    bool showSpeed = true;
    bool showArrivalInfo = true;
    bool showDelay = true;
    bool showWifiStrength = true;

    static MenubarFlags from(const AppSettings& settings);
};

/// What the title needs of the service at the moment of a rebuild.
struct MenubarSnapshot {
    bool connected = false;
    double currentSpeedKmh = 0;
    QString wifiQuality;
    std::optional<QDateTime> lastStatusAt;
    std::optional<TrainService::UpcomingStop> arrivalStop;

    static MenubarSnapshot of(const TrainService& service);
};

/// Train symbol, speed, time to arrival with delay, Wi-Fi symbol, joined by single spaces; or the symbol and
/// "Disconnected" while not connected.
QString composeMenubarTitle(const std::optional<MenubarFlags>& flags, const MenubarSnapshot& snapshot,
                            const QDateTime& now);

/// "arrived", "59m" or "25h 1m": whole seconds to `arrival`, truncated, never rounded.
QString formatRemainingTime(const QDateTime& arrival, const QDateTime& now);

/// The coloured symbol of the portal's internet quality, compared in upper case; none for unknown values.
std::optional<QString> wifiSymbol(const QString& quality);

/// The first settings record of an unsorted fetch; none when the store holds none or the fetch fails.
AppSettings* loadMenubarSettings(ModelContext* context);

} // namespace quendle2
