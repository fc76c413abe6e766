#pragma once

#include "SimTimeline.h"
#include "platform/Clock.h"

namespace quendle2::sim {

/// "Now" on a scenario's time line: the instant the simulated portal's documents carry at this wall instant.
/// An application reading it counts down, dates its trips and measures its grace periods at the pace the
/// journey plays, in step with the portal it polls.
class ScenarioClock final : public Clock {
public:
    /// Reads `wall` (which must outlive the clock) until it follows a time line.
    explicit ScenarioClock(const Clock& wall)
        : m_wall(wall) {}

    /// From now on, the time line the simulator plays.
    void follow(const SimTimeline& timeline) { m_timeline = timeline; }

    QDateTime now() const override { return m_timeline.instantAt(m_wall.now()); }

private:
    const Clock& m_wall;
    SimTimeline m_timeline;
};

} // namespace quendle2::sim
