#pragma once

#include "store/AppSettings.h"
#include "store/RecordRef.h"
#include "views/SettingsOptions.h"
#include "views/ViewEnvironment.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QLayout;

namespace quendle2 {

class AppSettings;

/// What the menu-bar title shows, how often the portal is polled and what the user is notified of. Creates
/// the settings record the first time it is built, and hands the stored interval to the service whenever it
/// is shown.
class SettingsView final : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(const ViewEnvironment& environment, QWidget* parent = nullptr);

    AppSettings* settings() const { return m_settings; }
    /// The menu-bar switches, then the notification switches.
    const QList<QCheckBox*>& switches() const { return m_switches; }
    QButtonGroup* intervalSegments() const { return m_segments; }
    QButtonGroup* reminderSegments() const { return m_reminderSegments; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addSwitches(QLayout* layout, std::span<const SettingsOptions::Switch> options);
    QWidget* segmentRow(QButtonGroup* group, std::span<const SettingsOptions::Segment> segments);
    void syncControls();
    void chooseInterval(int segment);
    void chooseReminder(int segment);
    void handIntervalToService();

    ViewEnvironment m_environment;
    RecordRef<AppSettings> m_settings;
    QList<QCheckBox*> m_switches;
    QList<const SettingsOptions::Switch*> m_switchOptions; ///< what each of `m_switches` shows
    QButtonGroup* m_segments = nullptr;
    QButtonGroup* m_reminderSegments = nullptr;
    bool m_intervalHandedOver = false;
};

} // namespace quendle2
