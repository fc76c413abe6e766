#pragma once

#include "store/AppSettings.h"
#include "store/RecordRef.h"
#include "views/ViewEnvironment.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QButtonGroup;
class QCheckBox;

namespace quendle2 {

class AppSettings;

/// What the menu-bar title shows and how often the portal is polled. Creates the settings record the first
/// time it is built, and hands the stored interval to the service whenever it is shown.
class SettingsView final : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(const ViewEnvironment& environment, QWidget* parent = nullptr);

    AppSettings* settings() const { return m_settings; }
    const std::array<QCheckBox*, 5>& switches() const { return m_switches; }
    QButtonGroup* intervalSegments() const { return m_segments; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void syncControls();
    void chooseInterval(int segment);
    void handIntervalToService();

    ViewEnvironment m_environment;
    RecordRef<AppSettings> m_settings;
    std::array<QCheckBox*, 5> m_switches{};
    QButtonGroup* m_segments;
    bool m_intervalHandedOver = false;
};

} // namespace quendle2
