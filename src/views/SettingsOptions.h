#pragma once

#include <QList>
#include <QString>

#include <span>

namespace quendle2 {

class AppSettings;
class ModelContext;

/// The settings view's controls and their effects on the settings record, without widgets.
namespace SettingsOptions {

// The tables are built once, perhaps before a translator is installed: they hold the English source texts,
// translated on every reading.

/// One switch: its label and the field of AppSettings it shows.
struct Switch {
    const char* sourceLabel = nullptr;
    bool (*read)(const AppSettings&);
    void (*write)(AppSettings&, bool);

    QString label() const;
};

/// The five menu-bar switches, in the order the view shows them.
std::span<const Switch> displaySwitches();
/// "Platform changes", "Delay changes", "Internet gaps".
std::span<const Switch> notificationSwitches();

/// One choice of a segmented control and the number it stores.
struct Segment {
    const char* sourceText = nullptr;
    qint64 value;

    QString text() const;
};

/// "5s" to "60s", in seconds.
std::span<const Segment> intervalSegments();
/// "Off", "2 min", "5 min", "10 min", in minutes before the arrival.
std::span<const Segment> reminderSegments();
/// The index of the segment for `value` among `segments`, or -1 when the stored value is none of them.
int segmentIndex(std::span<const Segment> segments, qint64 value);

/// The stored arrival reminder, or the default for records from before the option existed.
qint64 arrivalReminderMinutes(const AppSettings& settings);

/// The settings record (the first in store order), or a new one with every option at its default, inserted
/// into `context`.
AppSettings* findOrCreate(ModelContext* context);

/// Writes a switch the user turned; posts "SettingsDidChange" when the stored value changed by it.
void applySwitch(AppSettings& settings, const Switch& option, bool on);
/// Writes the arrival reminder the user chose; posts "SettingsDidChange" when the stored value changed by it.
void applyArrivalReminder(AppSettings& settings, qint64 minutes);

} // namespace SettingsOptions
} // namespace quendle2
