#include "views/SettingsOptions.h"

#include "platform/NotificationCenter.h"
#include "store/AppSettings.h"
#include "store/ModelContext.h"

#include <QCoreApplication>

#include <array>
#include <memory>

namespace quendle2::SettingsOptions {

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

/// In the view's translation context, so that translators find the page's texts together.
QString settingsText(const char* source) {
    return QCoreApplication::translate("quendle2::SettingsView", source);
}

} // namespace

QString Switch::label() const {
    return settingsText(sourceLabel);
}

QString Segment::text() const {
    return settingsText(sourceText);
}

std::span<const Switch> displaySwitches() {
    static const std::array<Switch, 5> switches{{
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Show Speed"),
         [](const AppSettings& s) { return s.showSpeed(); },
         [](AppSettings& s, bool on) { s.setShowSpeed(on); }},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Show Arrival Info"),
         [](const AppSettings& s) { return s.showArrivalInfo(); },
         [](AppSettings& s, bool on) { s.setShowArrivalInfo(on); }},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Show Delay"),
         [](const AppSettings& s) { return s.showDelay(); },
         [](AppSettings& s, bool on) { s.setShowDelay(on); }},
        // The hyphen is U+2011, which does not break, so "Wi‑Fi" stays on one line. It is written as itself
        // because lupdate does not read \u escapes.
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Show Wi‑Fi Strength"),
         [](const AppSettings& s) { return s.showWifiStrength(); },
         [](AppSettings& s, bool on) { s.setShowWifiStrength(on); }},
        // Records from before the option existed have no value; they show the emoji.
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Show Train Emoji"),
         [](const AppSettings& s) { return s.showTrainEmoji().value_or(true); },
         [](AppSettings& s, bool on) { s.setShowTrainEmoji(on); }},
    }};
    return switches;
}

std::span<const Switch> notificationSwitches() {
    // Records from before these options existed have no value; they notify.
    static const std::array<Switch, 3> switches{{
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Platform changes"),
         [](const AppSettings& s) { return s.notifyPlatformChanges().value_or(true); },
         [](AppSettings& s, bool on) { s.setNotifyPlatformChanges(on); }},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Delay changes"),
         [](const AppSettings& s) { return s.notifyDelayChanges().value_or(true); },
         [](AppSettings& s, bool on) { s.setNotifyDelayChanges(on); }},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Internet gaps"),
         [](const AppSettings& s) { return s.notifyInternetGaps().value_or(true); },
         [](AppSettings& s, bool on) { s.setNotifyInternetGaps(on); }},
    }};
    return switches;
}

std::span<const Segment> intervalSegments() {
    static const std::array<Segment, 5> segments{{
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "5s"), 5},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "10s"), 10},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "20s"), 20},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "30s"), 30},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "60s"), 60},
    }};
    return segments;
}

std::span<const Segment> reminderSegments() {
    static const std::array<Segment, 4> segments{{
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "Off"), 0},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "2 min"), 2},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "5 min"), 5},
        {QT_TRANSLATE_NOOP("quendle2::SettingsView", "10 min"), 10},
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
