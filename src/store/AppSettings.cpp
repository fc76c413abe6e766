#include "store/AppSettings.h"

#include "store/StoreValues.h"

namespace quendle2 {

AppSettings::AppSettings(QObject* parent)
    : PersistentModel(parent) {}

QVariant AppSettings::columnValue(int column) const {
    switch (column) {
    case ShowSpeed:
        return StoreValues::fromBool(m_showSpeed);
    case ShowArrivalInfo:
        return StoreValues::fromBool(m_showArrivalInfo);
    case ShowDelay:
        return StoreValues::fromBool(m_showDelay);
    case ShowWifiStrength:
        return StoreValues::fromBool(m_showWifiStrength);
    case ShowTrainEmoji:
        return StoreValues::fromBool(m_showTrainEmoji);
    case UpdateIntervalSeconds:
        return m_updateIntervalSeconds;
    case StopSelectionEva:
        return StoreValues::fromText(m_stopSelectionEva);
    case ArrivalReminderMinutes:
        return StoreValues::fromInteger(m_arrivalReminderMinutes);
    case NotifyPlatformChanges:
        return StoreValues::fromBool(m_notifyPlatformChanges);
    case NotifyDelayChanges:
        return StoreValues::fromBool(m_notifyDelayChanges);
    case NotifyInternetGaps:
        return StoreValues::fromBool(m_notifyInternetGaps);
    }
    return {};
}

void AppSettings::loadColumn(int column, const QVariant& value) {
    switch (column) {
    case ShowSpeed:
        m_showSpeed = value.toLongLong() != 0;
        break;
    case ShowArrivalInfo:
        m_showArrivalInfo = value.toLongLong() != 0;
        break;
    case ShowDelay:
        m_showDelay = value.toLongLong() != 0;
        break;
    case ShowWifiStrength:
        m_showWifiStrength = value.toLongLong() != 0;
        break;
    case ShowTrainEmoji:
        m_showTrainEmoji = StoreValues::toOptionalBool(value);
        break;
    case UpdateIntervalSeconds:
        m_updateIntervalSeconds = value.toLongLong();
        break;
    case StopSelectionEva:
        m_stopSelectionEva = StoreValues::toOptionalText(value);
        break;
    case ArrivalReminderMinutes:
        m_arrivalReminderMinutes = StoreValues::toOptionalInteger(value);
        break;
    case NotifyPlatformChanges:
        m_notifyPlatformChanges = StoreValues::toOptionalBool(value);
        break;
    case NotifyDelayChanges:
        m_notifyDelayChanges = StoreValues::toOptionalBool(value);
        break;
    case NotifyInternetGaps:
        m_notifyInternetGaps = StoreValues::toOptionalBool(value);
        break;
    }
}

void AppSettings::setShowSpeed(bool value) {
    write(m_showSpeed, std::move(value), &AppSettings::showSpeedChanged, ShowSpeed);
}

void AppSettings::setShowArrivalInfo(bool value) {
    write(m_showArrivalInfo, std::move(value), &AppSettings::showArrivalInfoChanged, ShowArrivalInfo);
}

void AppSettings::setShowDelay(bool value) {
    write(m_showDelay, std::move(value), &AppSettings::showDelayChanged, ShowDelay);
}

void AppSettings::setShowWifiStrength(bool value) {
    write(m_showWifiStrength, std::move(value), &AppSettings::showWifiStrengthChanged, ShowWifiStrength);
}

void AppSettings::setShowTrainEmoji(std::optional<bool> value) {
    write(m_showTrainEmoji, std::move(value), &AppSettings::showTrainEmojiChanged, ShowTrainEmoji);
}

void AppSettings::setUpdateIntervalSeconds(qint64 value) {
    write(m_updateIntervalSeconds, std::move(value), &AppSettings::updateIntervalSecondsChanged,
          UpdateIntervalSeconds);
}

void AppSettings::setStopSelectionEva(std::optional<QString> value) {
    write(m_stopSelectionEva, std::move(value), &AppSettings::stopSelectionEvaChanged, StopSelectionEva);
}

void AppSettings::setArrivalReminderMinutes(std::optional<qint64> value) {
    write(m_arrivalReminderMinutes, std::move(value), &AppSettings::arrivalReminderMinutesChanged,
          ArrivalReminderMinutes);
}

void AppSettings::setNotifyPlatformChanges(std::optional<bool> value) {
    write(m_notifyPlatformChanges, std::move(value), &AppSettings::notifyPlatformChangesChanged,
          NotifyPlatformChanges);
}

void AppSettings::setNotifyDelayChanges(std::optional<bool> value) {
    write(m_notifyDelayChanges, std::move(value), &AppSettings::notifyDelayChangesChanged,
          NotifyDelayChanges);
}

void AppSettings::setNotifyInternetGaps(std::optional<bool> value) {
    write(m_notifyInternetGaps, std::move(value), &AppSettings::notifyInternetGapsChanged,
          NotifyInternetGaps);
}

} // namespace quendle2
