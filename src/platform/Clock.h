#pragma once

#include <QDateTime>

namespace quendle2 {

/// The source of "now" for everything time-based. Injected so that tests can drive time by hand
/// instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;

    /// The current instant, in UTC, with millisecond precision.
    virtual QDateTime now() const = 0;

    /// Seconds from `from` to `to`; negative when `to` lies before `from`.
    static double secondsBetween(const QDateTime& from, const QDateTime& to);

    /// The process-wide wall clock.
    static Clock& system();
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
};

} // namespace quendle2
