#pragma once

#include <QString>

namespace quendle2 {

/// Why a portal document was rejected: where in the JSON (for example
/// "trip.stops[3].timetable.scheduledArrivalTime") and what was wrong there.
struct DecodingError {
    QString path;
    QString problem;

    /// "path: problem", or just the problem when it concerns the document as a whole.
    QString description() const;

    bool operator==(const DecodingError&) const = default;
};

} // namespace quendle2
