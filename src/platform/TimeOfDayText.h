#pragma once

#include <QDateTime>
#include <QString>

namespace quendle2 {

/// The user's short time format without seconds, which some locales' short format carries.
QString timeOfDayFormat();
/// The time of day of `instant` (hours and minutes) in the user's locale and time zone.
QString timeOfDayText(const QDateTime& instant);

} // namespace quendle2
