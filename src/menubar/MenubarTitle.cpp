#include "menubar/MenubarTitle.h"

#include "menubar/StatusItemMenu.h"
#include "platform/SpeedText.h"
#include "store/AppSettings.h"
#include "store/ModelContext.h"

#include <QCoreApplication>

#include <cmath>

namespace quendle2 {

MenubarFlags MenubarFlags::from(const AppSettings& settings) {
    return MenubarFlags{settings.showTrainEmoji(), settings.showSpeed(), settings.showArrivalInfo(),
                        settings.showDelay(), settings.showWifiStrength()};
}

MenubarSnapshot MenubarSnapshot::of(const TrainService& service) {
    return MenubarSnapshot{service.connected(), service.currentSpeedKmh(), service.wifiQuality(),
                           service.lastStatusAt(), service.menubarArrivalStop()};
}

QString formatRemainingTime(const QDateTime& arrival, const QDateTime& now) {
    const qint64 seconds = now.msecsTo(arrival) / 1000; // integer division truncates toward zero
    if (seconds <= 0) {
        return QCoreApplication::translate("quendle2::MenubarTitle", "arrived");
    }
    const qint64 minutes = (seconds % 3600) / 60;
    if (seconds < 3600) {
        return QString::number(minutes) + QLatin1Char('m');
    }
    return QString::number(seconds / 3600) + QStringLiteral("h ") + QString::number(minutes) +
           QLatin1Char('m');
}

std::optional<QString> wifiSymbol(const QString& quality) {
    const QString upper = quality.toUpper();
    if (upper == QLatin1StringView("HIGH")) {
        return QStringLiteral("\U0001F7E2");
    }
    // MIDDLE is what the portal actually sends for middling quality; UNSTABLE and OFFLINE also occur.
    if (upper == QLatin1StringView("MEDIUM") || upper == QLatin1StringView("MIDDLE")) {
        return QStringLiteral("\U0001F7E1");
    }
    if (upper == QLatin1StringView("LOW") || upper == QLatin1StringView("WEAK") ||
        upper == QLatin1StringView("UNSTABLE")) {
        return QStringLiteral("\U0001F7E0");
    }
    if (upper == QLatin1StringView("NO_INTERNET") || upper == QLatin1StringView("OFFLINE")) {
        return QStringLiteral("\U0001F534");
    }
    return std::nullopt;
}

QString composeMenubarTitle(const std::optional<MenubarFlags>& flags, const MenubarSnapshot& snapshot,
                            const QDateTime& now) {
    const auto on = [&flags](bool MenubarFlags::*flag) { return !flags || (*flags).*flag; };
    QStringList segments;
    if (!flags || flags->showTrainEmoji.value_or(true)) {
        segments << QStringLiteral("\U0001F684");
    }
    if (!snapshot.connected) {
        segments << StatusItemMenu::disconnectedLabel();
        return segments.join(QLatin1Char(' '));
    }
    if (on(&MenubarFlags::showSpeed)) {
        segments << speedText(snapshot.currentSpeedKmh);
    }
    if (on(&MenubarFlags::showArrivalInfo) && snapshot.arrivalStop) {
        const TrainService::UpcomingStop& stop = *snapshot.arrivalStop;
        const std::optional<QDateTime> arrival =
            stop.actualArrival ? stop.actualArrival : stop.scheduledArrival;
        if (arrival) {
            QString segment = formatRemainingTime(*arrival, now);
            if (on(&MenubarFlags::showDelay) && stop.arrivalDelayText && !stop.arrivalDelayText->isEmpty()) {
                segment += QStringLiteral(" (") + *stop.arrivalDelayText + QLatin1Char(')');
            }
            segments << segment;
        }
    }
    if (on(&MenubarFlags::showWifiStrength)) {
        if (const std::optional<QString> symbol = wifiSymbol(snapshot.wifiQuality)) {
            segments << *symbol;
        }
    }
    return segments.join(QLatin1Char(' '));
}

AppSettings* loadMenubarSettings(ModelContext* context) {
    if (context == nullptr) {
        return nullptr;
    }
    const auto settings = context->fetch<AppSettings>();
    return settings.ok() && !settings.value().isEmpty() ? settings.value().first() : nullptr;
}

} // namespace quendle2
