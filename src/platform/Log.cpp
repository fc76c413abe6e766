#include "platform/Log.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace quendle2 {

Q_LOGGING_CATEGORY(lcTrainService, "org.quendle2.Quendle2.TrainService", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStatusBar, "org.quendle2.Quendle2.StatusBar", QtInfoMsg)

namespace Log {

QString componentOf(const char* categoryName) {
    const std::size_t prefixLength = std::strlen(subsystem);
    if (std::strncmp(categoryName, subsystem, prefixLength) == 0 && categoryName[prefixLength] == '.') {
        return QString::fromUtf8(categoryName + prefixLength + 1);
    }
    return QString::fromUtf8(categoryName);
}

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString optionalBool(std::optional<bool> value) {
    if (!value.has_value()) {
        return QStringLiteral("nil");
    }
    return *value ? QStringLiteral("Optional(true)") : QStringLiteral("Optional(false)");
}

QString fixed(double value, int decimals) {
    char small[64];
    const int needed = std::snprintf(small, sizeof small, "%.*f", decimals, value);
    if (needed < 0) {
        return {};
    }
    if (static_cast<std::size_t>(needed) < sizeof small) {
        return QString::fromLatin1(small, needed);
    }
    // Large magnitudes print every integer digit (up to 309 of them).
    std::vector<char> big(static_cast<std::size_t>(needed) + 1);
    std::snprintf(big.data(), big.size(), "%.*f", decimals, value);
    return QString::fromLatin1(big.data(), needed);
}

QString fixed(double value) {
    return fixed(value, 6);
}

QString integer(qint64 value) {
    return QString::number(value);
}

QString date(const QDateTime& instant) {
    return instant.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

} // namespace Log

} // namespace quendle2
