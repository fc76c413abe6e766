#include "platform/Log.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace quendle2 {

Q_LOGGING_CATEGORY(lcTrainService, "org.quendle2.Quendle2.TrainService", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStatusBar, "org.quendle2.Quendle2.StatusBar", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStatusItem, "org.quendle2.Quendle2.StatusItem", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStore, "org.quendle2.Quendle2.Store", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNotifications, "org.quendle2.Quendle2.Notifications", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "org.quendle2.Quendle2.App", QtInfoMsg)

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
    // to_chars, unlike printf, ignores the user's locale: a German desktop must not log "106,3".
    // The greatest finite double needs 309 integer digits, plus sign, point and the decimals.
    std::vector<char> buffer(static_cast<std::size_t>(std::max(decimals, 0)) + 320);
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
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
