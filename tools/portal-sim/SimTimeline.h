#pragma once

#include <QDateTime>

#include <cmath>

namespace quendle2::sim {

/// Maps wall-clock instants to scenario seconds, and scenario seconds to the instants the documents carry.
/// The journey plays `factor` times faster than the wall clock, but its instants keep the journey's own
/// pace: at 30x, ten wall seconds on, the portal's "now" is five minutes later and a stop's times stay put,
/// so a countdown to the next stop reads as on a real train.
struct SimTimeline {
    qint64 wallStartMs = 0;    ///< the wall instant at which the scenario stood at `startOffset`
    qint64 startInstantMs = 0; ///< the instant the documents carry at `startOffset`
    double startOffset = 0;    ///< scenario seconds
    double factor = 1;         ///< scenario seconds per wall second

    double scenarioTime(const QDateTime& wallNow) const {
        return startOffset + static_cast<double>(wallNow.toMSecsSinceEpoch() - wallStartMs) / 1000.0 * factor;
    }

    /// The instant of a scenario second, in milliseconds since the epoch.
    qint64 epochMs(double scenarioSeconds) const {
        return startInstantMs + std::llround((scenarioSeconds - startOffset) * 1000.0);
    }

    /// The scenario's own instant at a wall instant.
    QDateTime instantAt(const QDateTime& wallNow) const {
        return QDateTime::fromMSecsSinceEpoch(epochMs(scenarioTime(wallNow)), Qt::UTC);
    }
};

} // namespace quendle2::sim
