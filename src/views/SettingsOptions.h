#pragma once

#include <QList>
#include <QString>

#include <array>

namespace quendle2 {

class AppSettings;
class ModelContext;

/// The settings view's controls and their effects on the settings record, without widgets.
namespace SettingsOptions {

/// One display switch: its label and the field of AppSettings it shows.
struct DisplaySwitch {
    QString label;
    bool (*read)(const AppSettings&);
    void (*write)(AppSettings&, bool);
};

/// The five switches, in the order the view shows them.
const std::array<DisplaySwitch, 5>& displaySwitches();

struct IntervalSegment {
    QString text;
    qint64 seconds;
};

/// "5s" to "60s".
const std::array<IntervalSegment, 5>& intervalSegments();
/// The index of the segment for `seconds`, or -1 when the stored value is none of them.
int segmentIndex(qint64 seconds);

/// The settings record (the first in store order), or a new one with every option on and a 5-second
/// interval, inserted into `context`.
AppSettings* findOrCreate(ModelContext* context);

/// Writes a switch the user turned; posts "SettingsDidChange" when the stored value changed by it.
void applySwitch(AppSettings& settings, const DisplaySwitch& displaySwitch, bool on);

} // namespace SettingsOptions
} // namespace quendle2
