#pragma once

#include <QDateTime>
#include <QUuid>
#include <QVariant>

#include <optional>

namespace quendle2::StoreValues {

// How field values are kept in SQLite: instants as whole milliseconds since the Unix epoch (UTC), UUIDs as
// text without braces, booleans as 0 or 1, absent optionals as NULL.

inline QVariant fromInstant(const QDateTime& instant) {
    return instant.isValid() ? QVariant(instant.toMSecsSinceEpoch()) : QVariant();
}

inline QVariant fromInstant(const std::optional<QDateTime>& instant) {
    return instant ? fromInstant(*instant) : QVariant();
}

inline QDateTime toInstant(const QVariant& value) {
    return value.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

inline std::optional<QDateTime> toOptionalInstant(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional<QDateTime>(toInstant(value));
}

inline QVariant fromText(const std::optional<QString>& text) {
    return text ? QVariant(*text) : QVariant();
}

inline std::optional<QString> toOptionalText(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional<QString>(value.toString());
}

inline QVariant fromBool(std::optional<bool> flag) {
    return flag ? QVariant(*flag ? 1 : 0) : QVariant();
}

inline std::optional<bool> toOptionalBool(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional<bool>(value.toLongLong() != 0);
}

inline QVariant fromInteger(std::optional<qint64> number) {
    return number ? QVariant(*number) : QVariant();
}

inline std::optional<qint64> toOptionalInteger(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional<qint64>(value.toLongLong());
}

inline QVariant fromNumber(std::optional<double> number) {
    return number ? QVariant(*number) : QVariant();
}

inline std::optional<double> toOptionalNumber(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

inline QVariant fromUuid(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces);
}

} // namespace quendle2::StoreValues
