#include "views/SettingsOptions.h"

#include "platform/NotificationCenter.h"
#include "store/AppSettings.h"
#include "store/ModelContext.h"

#include <QCoreApplication>

#include <array>
#include <memory>

namespace quendle2::SettingsOptions {

using namespace Qt::Literals::StringLiterals;

namespace {

/// Runs `write` and posts "SettingsDidChange" when it changed what `read` sees.
template <typename Read, typename Write>
void notifyOnChange(AppSettings& settings, Read read, Write write) {
    const auto before = read(settings);
    write();
    if (read(settings) != before) {
        NotificationCenter::defaultCenter().post(Notification::SettingsDidChange);
    }
}

} // namespace

std::span<const Switch> displaySwitches() {
    static const std::array<Switch, 5> switches{{
        {u"Show Speed"_s, [](const AppSettings& s) { return s.showSpeed(); },
         [](AppSettings& s, bool on) { s.setShowSpeed(on); }},
        {u"Show Arrival Info"_s, [](const AppSettings& s) { return s.showArrivalInfo(); },
         [](AppSettings& s, bool on) { s.setShowArrivalInfo(on); }},
        {u"Show Delay"_s, [](const AppSettings& s) { return s.showDelay(); },
         [](AppSettings& s, bool on) { s.setShowDelay(on); }},
        // U+2011, a non-breaking hyphen, keeps "Wi‑Fi" on one line.
        {u"Show Wi\u2011Fi Strength"_s, [](const AppSettings& s) { return s.showWifiStrength(); },
         [](AppSettings& s, bool on) { s.setShowWifiStrength(on); }},
        // Records from before the option existed have no value; they show the emoji.
        {u"Show Train Emoji"_s, [](const AppSettings& s) { return s.showTrainEmoji().value_or(true); },
         [](AppSettings& s, bool on) { s.setShowTrainEmoji(on); }},
    }};
    return switches;
}

// Texts in the view's translation context, so that translators find the page's texts together. The tables
// are built on first use: a translator must be installed before the first settings view is.
std::span<const Switch> notificationSwitches() {
    // Records from before these options existed have no value; they notify.
    static const std::array<Switch, 3> switches{{
        {QCoreApplication::translate("quendle2::SettingsView", "Platform changes"),
         [](const AppSettings& s) { return s.notifyPlatformChanges().value_or(true); },
         [](AppSettings& s, bool on) { s.setNotifyPlatformChanges(on); }},
        {QCoreApplication::translate("quendle2::SettingsView", "Delay changes"),
         [](const AppSettings& s) { return s.notifyDelayChanges().value_or(true); },
         [](AppSettings& s, bool on) { s.setNotifyDelayChanges(on); }},
        {QCoreApplication::translate("quendle2::SettingsView", "Internet gaps"),
         [](const AppSettings& s) { return s.notifyInternetGaps().value_or(true); },
         [](AppSettings& s, bool on) { s.setNotifyInternetGaps(on); }},
    }};
    return switches;
}

std::span<const Segment> intervalSegments() {
    static const std::array<Segment, 5> segments{{
        {u"5s"_s, 5},
        {u"10s"_s, 10},
        {u"20s"_s, 20},
        {u"30s"_s, 30},
        {u"60s"_s, 60},
    }};
    return segments;
}

std::span<const Segment> reminderSegments() {
    static const std::array<Segment, 4> segments{{
        {QCoreApplication::translate("quendle2::SettingsView", "Off"), 0},
        {QCoreApplication::translate("quendle2::SettingsView", "2 min"), 2},
        {QCoreApplication::translate("quendle2::SettingsView", "5 min"), 5},
        {QCoreApplication::translate("quendle2::SettingsView", "10 min"), 10},
    }};
    return segments;
}

int segmentIndex(std::span<const Segment> segments, qint64 value) {
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (segments[i].value == value) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

qint64 arrivalReminderMinutes(const AppSettings& settings) {
    return settings.arrivalReminderMinutes().value_or(AppSettings::defaultArrivalReminderMinutes);
}

AppSettings* findOrCreate(ModelContext* context) {
    // A fetch rather than a live query: it also sees a record created earlier in this turn (by another
    // settings view), which must not get a twin.
    FetchDescriptor first;
    first.limit = 1;
    if (auto stored = context->fetch<AppSettings>(first); stored.ok() && !stored.value().isEmpty()) {
        return stored.value().first();
    }
    return context->insert(std::make_unique<AppSettings>());
}

void applySwitch(AppSettings& settings, const Switch& option, bool on) {
    notifyOnChange(settings, option.read, [&] { option.write(settings, on); });
}

void applyArrivalReminder(AppSettings& settings, qint64 minutes) {
    notifyOnChange(settings, &SettingsOptions::arrivalReminderMinutes,
                   [&] { settings.setArrivalReminderMinutes(minutes); });
}

} // namespace quendle2::SettingsOptions
