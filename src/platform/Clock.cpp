#include "platform/Clock.h"

namespace quendle2 {

double Clock::secondsBetween(const QDateTime& from, const QDateTime& to) {
    return static_cast<double>(from.msecsTo(to)) / 1000.0;
}

Clock& Clock::system() {
    static SystemClock clock;
    return clock;
}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTimeUtc();
}

} // namespace quendle2
