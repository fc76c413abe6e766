#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace quendle2 {

class Trip;

/// One speed sample as it leaves the application: plain values, no store behind them.
struct ExportRow {
    QDateTime timestamp;
    double speedKmh = 0;
    std::optional<double> latitude;
    std::optional<double> longitude;

    bool operator==(const ExportRow&) const = default;
};

/// A trip's title and its samples in time order.
struct ExportTrip {
    QString title;
    QList<ExportRow> rows;
};

namespace TripExport {

enum class Format { Gpx, Csv };

/// "gpx" or "csv" in any case; nothing for any other name.
std::optional<Format> formatNamed(const QString& name);
/// The file name suffix of a format, without the dot.
QString suffix(Format format);

/// A trip of the application's own store, as it stands in memory: its title and every sample.
ExportTrip of(const Trip& trip);

/// The extension namespace of the speed in km/h that each track point carries.
inline constexpr char speedNamespace[] = "https://quendle2.org/xmlns/gpx/1";

/// GPX 1.1 in UTF-8: one track named after the trip, one segment, a point for each row that has both
/// coordinates.
QByteArray gpx(const ExportTrip& trip);

/// RFC 4180 in UTF-8 with a header row: timestamp (UTC, milliseconds), speed_kmh, latitude, longitude;
/// an absent coordinate is an empty field.
QByteArray csv(const ExportTrip& trip);

QByteArray encode(const ExportTrip& trip, Format format);

/// Replaces `filePath` with `bytes` whole, or leaves it as it was: a half-written export would pass for a
/// short trip. Empty on success, else what went wrong.
QString save(const QString& filePath, const QByteArray& bytes);

} // namespace TripExport

} // namespace quendle2
