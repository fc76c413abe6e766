#include "portal/JsonDecoder.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

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

const QString notWhole = QStringLiteral("expected a whole number");
const QString notInRange = QStringLiteral("expected a whole number in the signed 64-bit range");

// Up to 15 significant decimal digits always survive the trip through a double.
constexpr int exactDigits = 15;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

struct ExactInteger {
    bool whole;
    std::optional<qint64> value;
};

// Judges the decimal value of a JSON number literal exactly, without going through a double.
ExactInteger exactInteger(std::string_view literal) {
    std::size_t i = 0;
    const bool negative = literal[0] == '-';
    if (negative) {
        ++i;
    }
    std::string digits;
    for (; i < literal.size() && isDigit(literal[i]); ++i) {
        digits += literal[i];
    }
    qint64 point = qint64(digits.size()); // digits before the decimal point
    if (i < literal.size() && literal[i] == '.') {
        for (++i; i < literal.size() && isDigit(literal[i]); ++i) {
            digits += literal[i];
        }
    }
    if (i < literal.size() && (literal[i] == 'e' || literal[i] == 'E')) {
        ++i;
        const bool down = i < literal.size() && literal[i] == '-';
        if (i < literal.size() && (literal[i] == '-' || literal[i] == '+')) {
            ++i;
        }
        qint64 exponent = 0;
        for (; i < literal.size() && isDigit(literal[i]); ++i) {
            // Capped far beyond any digit count a body can hold, so that it cannot overflow.
            exponent = std::min<qint64>(exponent * 10 + (literal[i] - '0'), 100'000'000);
        }
        point += down ? -exponent : exponent;
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return {true, 0};
    }
    digits.erase(0, first);
    point -= qint64(first);
    digits.erase(digits.find_last_not_of('0') + 1);
    if (qint64(digits.size()) > point) {
        return {false, std::nullopt};
    }
    if (point > 19) { // at least 10^19
        return {true, std::nullopt};
    }
    digits.append(std::size_t(point) - digits.size(), '0');
    quint64 magnitude = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), magnitude); // 19 digits always fit
    const quint64 limit = negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
    if (magnitude > limit) {
        return {true, std::nullopt};
    }
    return {true, negative ? qint64(0 - magnitude) : qint64(magnitude)};
}

QString keyText(QByteArrayView raw) {
    if (!raw.contains('\\')) {
        return QString::fromUtf8(raw);
    }
    // Let the parser resolve the escapes, so that the key reads as QJsonObject holds it.
    return QJsonDocument::fromJson("[\"" + raw.toByteArray() + "\"]").array().at(0).toString();
}

} // namespace

std::vector<JsonDecoder::LongNumber> JsonDecoder::findLongNumbers(QByteArrayView json) {
    // Runs on text the parser has accepted, so the grammar need not be checked again.
    struct Frame {
        bool array;
        qsizetype index;
        QByteArrayView key;
    };
    std::vector<LongNumber> found;
    std::vector<Frame> frames;
    bool expectKey = false;
    const char* p = json.data();
    const char* const end = p + json.size();
    while (p < end) {
        const char c = *p;
        if (c == '{' || c == '[') {
            frames.push_back(Frame{c == '[', 0, {}});
            expectKey = c == '{';
            ++p;
        } else if (c == '}' || c == ']') {
            frames.pop_back();
            expectKey = false;
            ++p;
        } else if (c == ',') {
            if (frames.back().array) {
                ++frames.back().index;
            } else {
                expectKey = true;
            }
            ++p;
        } else if (c == '"') {
            const char* const start = ++p;
            while (*p != '"') {
                p += *p == '\\' ? 2 : 1;
            }
            if (expectKey) {
                frames.back().key = QByteArrayView(start, p - start);
                expectKey = false;
            }
            ++p;
        } else if (c == '-' || isDigit(c)) {
            const char* const start = p;
            int significant = 0;
            bool exponent = false;
            for (; p < end && (isDigit(*p) || *p == '.' || *p == '-' || *p == '+' || *p == 'e' || *p == 'E');
                 ++p) {
                if (*p == 'e' || *p == 'E') {
                    exponent = true;
                } else if (isDigit(*p) && !exponent && (significant > 0 || *p != '0')) {
                    ++significant;
                }
            }
            if (!exponent && significant <= exactDigits) {
                continue;
            }
            QString path;
            for (const Frame& frame : frames) {
                if (frame.array) {
                    path += QLatin1Char('[') + QString::number(frame.index) + QLatin1Char(']');
                } else {
                    if (!path.isEmpty()) {
                        path += QLatin1Char('.');
                    }
                    path += keyText(frame.key);
                }
            }
            const std::string_view literal(start, std::size_t(p - start));
            double parsed = std::numeric_limits<double>::quiet_NaN();
            std::from_chars(literal.data(), literal.data() + literal.size(), parsed);
            const ExactInteger exact = exactInteger(literal);
            found.push_back(LongNumber{path, QByteArray(start, p - start), parsed, exact.whole, exact.value});
        } else {
            ++p; // white space, ':' and the letters of true, false and null
        }
    }
    return found;
}

const JsonDecoder::LongNumber* JsonDecoder::longNumberAt(const QString& path, const QJsonValue& got) const {
    // Of duplicate keys the parser keeps the last.
    const auto it = std::find_if(m_longNumbers.rbegin(), m_longNumbers.rend(),
                                 [&](const LongNumber& n) { return n.path == path; });
    if (it == m_longNumbers.rend() || it->parsed != got.toDouble()) {
        return nullptr;
    }
    return &*it;
}

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
    m_longNumbers = findLongNumbers(json);
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
        fail(key, -1, notWhole, *value);
        return std::nullopt;
    }
    if (!m_longNumbers.empty()) {
        if (const LongNumber* literal = longNumberAt(pathTo(key, -1), *value)) {
            if (!literal->value) {
                fail(key, -1, literal->whole ? notInRange : notWhole, *value);
            }
            return literal->value;
        }
    }
    // Every other literal is exact in a double. Qt answers the default unless the value is whole and within
    // the signed 64-bit range; two different defaults tell the cases apart.
    const qint64 asInteger = value->toInteger(0);
    if (asInteger != value->toInteger(1)) {
        const double asDouble = value->toDouble();
        fail(key, -1, std::trunc(asDouble) == asDouble ? notInRange : notWhole, *value);
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
    const QString path = pathTo(key, index);
    // A long literal is shown as sent: its double may print as a different number.
    const LongNumber* literal = got.isDouble() && !m_longNumbers.empty() ? longNumberAt(path, got) : nullptr;
    const QString gotText = literal ? QString::fromLatin1(literal->literal) : describe(got);
    m_error = DecodingError{path, expectation + QStringLiteral(", got ") + gotText};
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
