#pragma once

#include <QDateTime>

namespace quendle2::sim {

/// Maps wall-clock instants to scenario seconds and back. With a factor of 30, one wall second plays
/// thirty scenario seconds, and the times in the documents are squeezed the same way, so a countdown to
/// the next stop runs at the speed the journey plays.
struct SimTimeline {
    qint64 wallStartMs = 0; ///< the wall instant at which the scenario stood at `startOffset`
    double startOffset = 0; ///< scenario seconds
    double factor = 1;      ///< scenario seconds per wall second

    double scenarioTime(const QDateTime& now) const {
        return startOffset + static_cast<double>(now.toMSecsSinceEpoch() - wallStartMs) / 1000.0 * factor;
    }

    qint64 epochMs(double scenarioSeconds) const {
        return wallStartMs + static_cast<qint64>((scenarioSeconds - startOffset) / factor * 1000.0);
    }
};

} // namespace quendle2::sim
