#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace quendle2 {

/// The texts the trip list and the trip detail show, as plain functions of a trip's fields.
namespace TripText {

/// "Unknown Train" for an empty identifier; anything else (blanks too) unchanged.
QString rowTitle(const QString& trainIdentifier);
/// "Train" for an empty identifier; anything else unchanged.
QString detailTitle(const QString& trainIdentifier);
/// Whole minutes below an hour ("59m"), else hours and minutes ("1h 0m"). Measured from `start` to `end`,
/// or to `now` for a running trip; a trip that ends before it starts gives a negative text ("-5m").
QString durationText(const QDateTime& start, const std::optional<QDateTime>& end, const QDateTime& now);
/// The date of `instant` in the user's locale and time zone, without the time of day.
QString dateText(const QDateTime& instant);

} // namespace TripText
} // namespace quendle2
