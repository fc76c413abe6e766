#pragma once

#include "store/PersistentModel.h"

#include <optional>

namespace quendle2 {

/// The user's menu-bar options, polling interval and notification choices. The settings view creates it with
/// these defaults the first time it is shown; until then every reader treats every option as on and the
/// arrival reminder as `defaultArrivalReminderMinutes`.
class AppSettings final : public PersistentModel {
    Q_OBJECT
public:
    enum Column {
        ShowSpeed,
        ShowArrivalInfo,
        ShowDelay,
        ShowWifiStrength,
        ShowTrainEmoji,
        UpdateIntervalSeconds,
        StopSelectionEva,
        ArrivalReminderMinutes,
        NotifyPlatformChanges,
        NotifyDelayChanges,
        NotifyInternetGaps
    };

    static constexpr qint64 defaultArrivalReminderMinutes = 5;

    explicit AppSettings(QObject* parent = nullptr);

    static constexpr RecordType staticType = RecordType::AppSettings;
    RecordType recordType() const override { return staticType; }
    QVariant columnValue(int column) const override;

    bool showSpeed() const { return m_showSpeed; }
    bool showArrivalInfo() const { return m_showArrivalInfo; }
    bool showDelay() const { return m_showDelay; }
    bool showWifiStrength() const { return m_showWifiStrength; }
    /// Absent in records stored before the option existed; readers count absent as on.
    std::optional<bool> showTrainEmoji() const { return m_showTrainEmoji; }
    qint64 updateIntervalSeconds() const { return m_updateIntervalSeconds; }
    std::optional<QString> stopSelectionEva() const { return m_stopSelectionEva; }
    // The notification choices are absent in records stored before they existed: readers count an absent
    // reminder as `defaultArrivalReminderMinutes` and an absent switch as on.
    /// Minutes before the arrival; 0 means no reminder.
    std::optional<qint64> arrivalReminderMinutes() const { return m_arrivalReminderMinutes; }
    std::optional<bool> notifyPlatformChanges() const { return m_notifyPlatformChanges; }
    std::optional<bool> notifyDelayChanges() const { return m_notifyDelayChanges; }
    std::optional<bool> notifyInternetGaps() const { return m_notifyInternetGaps; }

    void setShowSpeed(bool value);
    void setShowArrivalInfo(bool value);
    void setShowDelay(bool value);
    void setShowWifiStrength(bool value);
    void setShowTrainEmoji(std::optional<bool> value);
    void setUpdateIntervalSeconds(qint64 value);
    void setStopSelectionEva(std::optional<QString> value);
    void setArrivalReminderMinutes(std::optional<qint64> value);
    void setNotifyPlatformChanges(std::optional<bool> value);
    void setNotifyDelayChanges(std::optional<bool> value);
    void setNotifyInternetGaps(std::optional<bool> value);

Q_SIGNALS:
    void showSpeedChanged();
    void showArrivalInfoChanged();
    void showDelayChanged();
    void showWifiStrengthChanged();
    void showTrainEmojiChanged();
    void updateIntervalSecondsChanged();
    void stopSelectionEvaChanged();
    void arrivalReminderMinutesChanged();
    void notifyPlatformChangesChanged();
    void notifyDelayChangesChanged();
    void notifyInternetGapsChanged();

protected:
    void loadColumn(int column, const QVariant& value) override;

private:
    bool m_showSpeed = true;
    bool m_showArrivalInfo = true;
    bool m_showDelay = true;
    bool m_showWifiStrength = true;
    std::optional<bool> m_showTrainEmoji = true;
    qint64 m_updateIntervalSeconds = 5;
    std::optional<QString> m_stopSelectionEva;
    std::optional<qint64> m_arrivalReminderMinutes = defaultArrivalReminderMinutes;
    std::optional<bool> m_notifyPlatformChanges = true;
    std::optional<bool> m_notifyDelayChanges = true;
    std::optional<bool> m_notifyInternetGaps = true;
};

} // namespace quendle2
