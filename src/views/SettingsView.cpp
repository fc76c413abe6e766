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

using namespace Qt::Literals::StringLiterals;

SettingsView::SettingsView(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent)
    , m_environment(environment)
    , m_settings(SettingsOptions::findOrCreate(environment.context))
    , m_segments(new QButtonGroup(this)) {
    auto* display = new QGroupBox(u"Display Options (Menubar)"_s, this);
    auto* displayLayout = new QVBoxLayout(display);
    const auto& options = SettingsOptions::displaySwitches();
    for (std::size_t i = 0; i < options.size(); ++i) {
        auto* box = new QCheckBox(options[i].label, display);
        m_switches[i] = box;
        displayLayout->addWidget(box);
        // `clicked` comes from the user only, so showing the stored values never writes or notifies.
        connect(box, &QCheckBox::clicked, this, [this, i](bool on) {
            if (m_settings) {
                SettingsOptions::applySwitch(*m_settings, SettingsOptions::displaySwitches()[i], on);
            }
        });
    }

    auto* interval = new QGroupBox(u"Update Interval"_s, this);
    auto* intervalLayout = new QFormLayout(interval);
    auto* segmentRow = new QWidget(interval);
    auto* segmentLayout = new QHBoxLayout(segmentRow);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(0);
    m_segments->setExclusive(true);
    const auto& segments = SettingsOptions::intervalSegments();
    for (std::size_t i = 0; i < segments.size(); ++i) {
        auto* button = new QToolButton(segmentRow);
        button->setText(segments[i].text);
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        m_segments->addButton(button, static_cast<int>(i));
        segmentLayout->addWidget(button);
    }
    segmentLayout->addStretch();
    intervalLayout->addRow(u"Refresh"_s, segmentRow);
    connect(m_segments, &QButtonGroup::idClicked, this, &SettingsView::chooseInterval);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(ViewStyle::margin, ViewStyle::margin, ViewStyle::margin, ViewStyle::margin);
    layout->addWidget(display);
    layout->addWidget(interval);
    layout->addStretch();

    if (m_settings) {
        for (auto changed :
             {&AppSettings::showSpeedChanged, &AppSettings::showArrivalInfoChanged,
              &AppSettings::showDelayChanged, &AppSettings::showWifiStrengthChanged,
              &AppSettings::showTrainEmojiChanged, &AppSettings::updateIntervalSecondsChanged}) {
            connect(m_settings.get(), changed, this, &SettingsView::syncControls);
        }
    }
    syncControls();
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
    const auto& options = SettingsOptions::displaySwitches();
    for (std::size_t i = 0; i < options.size(); ++i) {
        m_switches[i]->setChecked(options[i].read(*m_settings));
    }
    const int segment = SettingsOptions::segmentIndex(m_settings->updateIntervalSeconds());
    if (segment >= 0) {
        m_segments->button(segment)->setChecked(true);
    } else if (QAbstractButton* checked = m_segments->checkedButton()) {
        // An interval this view does not offer selects no segment.
        m_segments->setExclusive(false);
        checked->setChecked(false);
        m_segments->setExclusive(true);
    }
}

void SettingsView::chooseInterval(int segment) {
    if (!m_settings || segment < 0) {
        return;
    }
    const qint64 seconds = SettingsOptions::intervalSegments()[static_cast<std::size_t>(segment)].seconds;
    if (seconds == m_settings->updateIntervalSeconds()) {
        return;
    }
    m_settings->setUpdateIntervalSeconds(seconds);
    handIntervalToService();
}

void SettingsView::handIntervalToService() {
    if (!m_settings || m_environment.store == nullptr || m_environment.store->service() == nullptr) {
        return;
    }
    m_environment.store->service()->setRefreshInterval(
        static_cast<double>(m_settings->updateIntervalSeconds()));
}

} // namespace quendle2
