#include "views/SettingsOptions.h"

#include "platform/NotificationCenter.h"
#include "store/AppSettings.h"
#include "store/ModelContext.h"

#include <memory>

namespace quendle2::SettingsOptions {

using namespace Qt::Literals::StringLiterals;

const std::array<DisplaySwitch, 5>& displaySwitches() {
    static const std::array<DisplaySwitch, 5> switches{{
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

const std::array<IntervalSegment, 5>& intervalSegments() {
    static const std::array<IntervalSegment, 5> segments{{
        {u"5s"_s, 5},
        {u"10s"_s, 10},
        {u"20s"_s, 20},
        {u"30s"_s, 30},
        {u"60s"_s, 60},
    }};
    return segments;
}

int segmentIndex(qint64 seconds) {
    const auto& segments = intervalSegments();
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (segments[i].seconds == seconds) {
            return static_cast<int>(i);
        }
    }
    return -1;
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

void applySwitch(AppSettings& settings, const DisplaySwitch& displaySwitch, bool on) {
    const bool before = displaySwitch.read(settings);
    displaySwitch.write(settings, on);
    if (displaySwitch.read(settings) != before) {
        NotificationCenter::defaultCenter().post(Notification::SettingsDidChange);
    }
}

} // namespace quendle2::SettingsOptions
