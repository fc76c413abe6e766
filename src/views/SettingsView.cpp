#include "views/SettingsView.h"

#include "service/AppStore.h"
#include "service/TrainService.h"
#include "store/AppSettings.h"
#include "views/SettingsOptions.h"
#include "views/ViewStyle.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace quendle2 {

namespace {

/// Checks the segment at `index`, or none when the stored value has no segment.
void checkSegment(QButtonGroup* group, int index) {
    if (index >= 0) {
        group->button(index)->setChecked(true);
    } else if (QAbstractButton* checked = group->checkedButton()) {
        group->setExclusive(false);
        checked->setChecked(false);
        group->setExclusive(true);
    }
}

} // namespace

SettingsView::SettingsView(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent)
    , m_environment(environment)
    , m_settings(SettingsOptions::findOrCreate(environment.context))
    , m_segments(new QButtonGroup(this))
    , m_reminderSegments(new QButtonGroup(this)) {
    auto* display = new QGroupBox(tr("Display Options (Menubar)"), this);
    addSwitches(new QVBoxLayout(display), SettingsOptions::displaySwitches());

    auto* interval = new QGroupBox(tr("Update Interval"), this);
    auto* intervalLayout = new QFormLayout(interval);
    intervalLayout->addRow(tr("Refresh"), segmentRow(m_segments, SettingsOptions::intervalSegments()));
    connect(m_segments, &QButtonGroup::idClicked, this, &SettingsView::chooseInterval);

    auto* notifications = new QGroupBox(tr("Notifications"), this);
    auto* notificationsLayout = new QVBoxLayout(notifications);
    auto* reminder = new QFormLayout;
    reminder->addRow(tr("Arrival reminder"),
                     segmentRow(m_reminderSegments, SettingsOptions::reminderSegments()));
    notificationsLayout->addLayout(reminder);
    connect(m_reminderSegments, &QButtonGroup::idClicked, this, &SettingsView::chooseReminder);
    addSwitches(notificationsLayout, SettingsOptions::notificationSwitches());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(ViewStyle::margin, ViewStyle::margin, ViewStyle::margin, ViewStyle::margin);
    layout->addWidget(display);
    layout->addWidget(interval);
    layout->addWidget(notifications);
    layout->addStretch();

    if (m_settings) {
        for (auto changed :
             {&AppSettings::showSpeedChanged, &AppSettings::showArrivalInfoChanged,
              &AppSettings::showDelayChanged, &AppSettings::showWifiStrengthChanged,
              &AppSettings::showTrainEmojiChanged, &AppSettings::updateIntervalSecondsChanged,
              &AppSettings::arrivalReminderMinutesChanged, &AppSettings::notifyPlatformChangesChanged,
              &AppSettings::notifyDelayChangesChanged, &AppSettings::notifyInternetGapsChanged}) {
            connect(m_settings.get(), changed, this, &SettingsView::syncControls);
        }
    }
    syncControls();
}

void SettingsView::addSwitches(QLayout* layout, std::span<const SettingsOptions::Switch> options) {
    for (const SettingsOptions::Switch& option : options) {
        auto* box = new QCheckBox(option.label(), layout->parentWidget());
        m_switches.append(box);
        m_switchOptions.append(&option);
        layout->addWidget(box);
        // `clicked` comes from the user only, so showing the stored values never writes or notifies.
        connect(box, &QCheckBox::clicked, this, [this, &option](bool on) {
            if (m_settings) {
                SettingsOptions::applySwitch(*m_settings, option, on);
            }
        });
    }
}

QWidget* SettingsView::segmentRow(QButtonGroup* group, std::span<const SettingsOptions::Segment> segments) {
    auto* row = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(0);
    group->setExclusive(true);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        auto* button = new QToolButton(row);
        button->setText(segments[i].text());
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        group->addButton(button, static_cast<int>(i));
        rowLayout->addWidget(button);
    }
    rowLayout->addStretch();
    return row;
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Once per visit: the window coming back from the status bar or from being minimised shows the same
    // settings again, which is no new visit.
    if (!m_intervalHandedOver) {
        m_intervalHandedOver = true;
        handIntervalToService();
    }
}

void SettingsView::syncControls() {
    if (!m_settings) {
        return;
    }
    for (qsizetype i = 0; i < m_switches.size(); ++i) {
        m_switches[i]->setChecked(m_switchOptions[i]->read(*m_settings));
    }
    // A stored value this view does not offer selects no segment.
    checkSegment(m_segments, SettingsOptions::segmentIndex(SettingsOptions::intervalSegments(),
                                                           m_settings->updateIntervalSeconds()));
    checkSegment(m_reminderSegments,
                 SettingsOptions::segmentIndex(SettingsOptions::reminderSegments(),
                                               SettingsOptions::arrivalReminderMinutes(*m_settings)));
}

void SettingsView::chooseInterval(int segment) {
    if (!m_settings || segment < 0) {
        return;
    }
    const qint64 seconds = SettingsOptions::intervalSegments()[static_cast<std::size_t>(segment)].value;
    if (seconds == m_settings->updateIntervalSeconds()) {
        return;
    }
    m_settings->setUpdateIntervalSeconds(seconds);
    handIntervalToService();
}

void SettingsView::chooseReminder(int segment) {
    if (m_settings && segment >= 0) {
        SettingsOptions::applyArrivalReminder(
            *m_settings, SettingsOptions::reminderSegments()[static_cast<std::size_t>(segment)].value);
    }
}

void SettingsView::handIntervalToService() {
    if (!m_settings || m_environment.store == nullptr || m_environment.store->service() == nullptr) {
        return;
    }
    m_environment.store->service()->setRefreshInterval(
        static_cast<double>(m_settings->updateIntervalSeconds()));
}

} // namespace quendle2
