#include "support/ManualClock.h"

#include <cmath>

namespace quendle2 {

ManualClock::ManualClock(QDateTime start)
    : m_now(start.toUTC()) {}

QDateTime ManualClock::now() const {
    return m_now;
}

void ManualClock::set(const QDateTime& instant) {
    m_now = instant.toUTC();
}

void ManualClock::advance(double seconds) {
    m_now = m_now.addMSecs(static_cast<qint64>(std::llround(seconds * 1000.0)));
}

} // namespace quendle2
