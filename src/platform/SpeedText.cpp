#include "platform/SpeedText.h"

#include <cmath>
#include <limits>

namespace quendle2 {

QString speedText(double kmh) {
    const double whole = std::trunc(kmh);
    qint64 value = 0;
    // 2^63 itself does not fit: the conversion of anything at or beyond it is undefined behaviour.
    if (std::fabs(whole) < 9223372036854775808.0) {
        value = static_cast<qint64>(whole);
    } else if (whole > 0) {
        value = std::numeric_limits<qint64>::max();
    } else if (whole < 0) {
        value = std::numeric_limits<qint64>::min();
    }
    return QStringLiteral("%1 km/h").arg(value);
}

} // namespace quendle2
