#include "portal/JsonDecoder.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>

namespace quendle2 {

namespace {

void appendSegment(QString& path, QLatin1StringView key, qsizetype index) {
    if (!path.isEmpty()) {
        path += QLatin1Char('.');
    }
    path += key;
    if (index >= 0) {
        path += QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
    }
}

} // namespace

std::optional<QJsonObject> JsonDecoder::parseObject(const QByteArray& json) {
    if (json.trimmed().isEmpty()) {
        m_failed = true;
        m_error = DecodingError{{}, QStringLiteral("the body is empty, expected a JSON object")};
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        m_failed = true;
        m_error = DecodingError{{},
                                QStringLiteral("the body is not valid JSON (%1 at offset %2)")
                                    .arg(parseError.errorString())
                                    .arg(parseError.offset)};
        return std::nullopt;
    }
    if (!document.isObject()) {
        m_failed = true;
        m_error = DecodingError{{},
                                document.isArray()
                                    ? QStringLiteral("expected a JSON object at the top level, got an array")
                                    : QStringLiteral("expected a JSON object at the top level")};
        return std::nullopt;
    }
    return document.object();
}

std::optional<QJsonValue> JsonDecoder::present(const QJsonObject& object, QLatin1StringView key) const {
    if (m_failed) {
        return std::nullopt;
    }
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        return std::nullopt;
    }
    return value;
}

std::optional<QString> JsonDecoder::string(const QJsonObject& object, QLatin1StringView key) {
    const std::optional<QJsonValue> value = present(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->isString()) {
        fail(key, -1, QStringLiteral("expected a string"), *value);
        return std::nullopt;
    }
    return value->toString();
}

std::optional<bool> JsonDecoder::boolean(const QJsonObject& object, QLatin1StringView key) {
    const std::optional<QJsonValue> value = present(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->isBool()) {
        fail(key, -1, QStringLiteral("expected true or false"), *value);
        return std::nullopt;
    }
    return value->toBool();
}

std::optional<double> JsonDecoder::number(const QJsonObject& object, QLatin1StringView key) {
    const std::optional<QJsonValue> value = present(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->isDouble()) {
        fail(key, -1, QStringLiteral("expected a number"), *value);
        return std::nullopt;
    }
    return value->toDouble();
}

std::optional<qint64> JsonDecoder::integer(const QJsonObject& object, QLatin1StringView key) {
    const std::optional<QJsonValue> value = present(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->isDouble()) {
        fail(key, -1, QStringLiteral("expected a whole number"), *value);
        return std::nullopt;
    }
    // Qt keeps integer literals exact and turns a double into an integer only when it is whole and within
    // the signed 64-bit range; otherwise it answers the default. Two different defaults tell the cases apart
    // without re-implementing the range check.
    const qint64 asInteger = value->toInteger(0);
    if (asInteger != value->toInteger(1)) {
        fail(key, -1, QStringLiteral("expected a whole number in the signed 64-bit range"), *value);
        return std::nullopt;
    }
    return asInteger;
}

QString JsonDecoder::describe(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: {
        const qint64 asInteger = value.toInteger(0);
        if (asInteger == value.toInteger(1)) {
            return QString::number(asInteger);
        }
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

void JsonDecoder::fail(QLatin1StringView key, qsizetype index, const QString& expectation,
                       const QJsonValue& got) {
    m_failed = true;
    m_error = DecodingError{pathTo(key, index), expectation + QStringLiteral(", got ") + describe(got)};
}

QString JsonDecoder::pathTo(QLatin1StringView key, qsizetype index) const {
    QString path;
    for (const Segment& segment : m_path) {
        appendSegment(path, segment.key, segment.index);
    }
    appendSegment(path, key, index);
    return path;
}

} // namespace quendle2
