#pragma once

#include "store/PersistentModel.h"

#include <optional>

namespace quendle2 {

/// The user's menu-bar options and polling interval. The settings view creates it with these defaults the
/// first time it is shown; until then every reader treats every option as on.
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
        StopSelectionEva
    };

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

    void setShowSpeed(bool value);
    void setShowArrivalInfo(bool value);
    void setShowDelay(bool value);
    void setShowWifiStrength(bool value);
    void setShowTrainEmoji(std::optional<bool> value);
    void setUpdateIntervalSeconds(qint64 value);
    void setStopSelectionEva(std::optional<QString> value);

Q_SIGNALS:
    void showSpeedChanged();
    void showArrivalInfoChanged();
    void showDelayChanged();
    void showWifiStrengthChanged();
    void showTrainEmojiChanged();
    void updateIntervalSecondsChanged();
    void stopSelectionEvaChanged();

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
};

} // namespace quendle2
