#pragma once

#include "platform/Clock.h"

namespace quendle2 {

/// A clock that only moves when told to. Tests use it to step through debounces, grace periods and
/// time-outs without waiting.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC));

    QDateTime now() const override;

    void set(const QDateTime& instant);
    void advance(double seconds);

private:
    QDateTime m_now;
};

} // namespace quendle2
