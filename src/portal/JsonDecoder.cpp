#include "portal/JsonDecoder.h"

#include <charconv>
#include <limits>

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

/// A number literal's exact value: `digits` times ten to the `exponent`, with sign. The digits carry no
/// leading or trailing zeros, so zero has none.
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

/// Reads a literal the parser has accepted, so the grammar need not be checked again.
Decimal decimalOf(std::string_view literal) {
    Decimal d;
    std::size_t i = 0;
    d.negative = literal[0] == '-';
    if (d.negative) {
        ++i;
    }
    for (; i < literal.size() && literal[i] >= '0' && literal[i] <= '9'; ++i) {
        d.digits += literal[i];
    }
    if (i < literal.size() && literal[i] == '.') {
        for (++i; i < literal.size() && literal[i] >= '0' && literal[i] <= '9'; ++i) {
            d.digits += literal[i];
            --d.exponent;
        }
    }
    if (i < literal.size() && (literal[i] == 'e' || literal[i] == 'E')) {
        ++i;
        const bool negativeExponent = literal[i] == '-';
        if (literal[i] == '+' || literal[i] == '-') {
            ++i;
        }
        long long e = 0;
        for (; i < literal.size(); ++i) {
            e = std::min(e * 10 + (literal[i] - '0'), 1'000'000'000LL); // saturate: only the size matters
        }
        d.exponent += negativeExponent ? -e : e;
    }
    const std::size_t firstNonZero = d.digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {
        d.digits.clear();
        d.exponent = 0;
        return d;
    }
    d.digits.erase(0, firstNonZero);
    while (d.digits.back() == '0') {
        d.digits.pop_back();
        ++d.exponent;
    }
    return d;
}

enum class Wholeness { Whole, Fraction, OutOfRange };

/// Judges a literal as a signed 64-bit integer by its exact decimal value, never through a double:
/// 9007199254740993.5 is a fraction and -9223372036854775809 is out of range, although both round onto
/// valid integers as doubles.
Wholeness judgeInteger(std::string_view literal, qint64& value) {
    const Decimal d = decimalOf(literal);
    if (d.digits.empty()) {
        value = 0;
        return Wholeness::Whole;
    }
    if (d.exponent < 0) {
        return Wholeness::Fraction;
    }
    if (static_cast<long long>(d.digits.size()) + d.exponent > 19) {
        return Wholeness::OutOfRange;
    }
    unsigned long long magnitude = 0;
    for (const char digit : d.digits) {
        magnitude = magnitude * 10 + static_cast<unsigned>(digit - '0');
    }
    for (long long e = 0; e < d.exponent; ++e) {
        if (magnitude > std::numeric_limits<unsigned long long>::max() / 10) {
            return Wholeness::OutOfRange;
        }
        magnitude *= 10;
    }
    constexpr unsigned long long greatest = std::numeric_limits<qint64>::max();
    if (magnitude > greatest + (d.negative ? 1 : 0)) {
        return Wholeness::OutOfRange;
    }
    value = d.negative ? static_cast<qint64>(0ULL - magnitude) : static_cast<qint64>(magnitude);
    return Wholeness::Whole;
}

/// Whether a literal that no double can hold is below the smallest one rather than above the greatest.
bool tooSmallForADouble(std::string_view literal) {
    const Decimal d = decimalOf(literal);
    return d.exponent + static_cast<long long>(d.digits.size()) - 1 < 0;
}

} // namespace

bool JsonDecoder::parseObject(const QByteArray& json) {
    m_failed = true;
    if (json.trimmed().isEmpty()) {
        m_error = DecodingError{{}, QStringLiteral("the body is empty, expected a JSON object")};
        return false;
    }
    if (!m_tape.parse(json)) {
        m_error = DecodingError{{}, QStringLiteral("the body is not valid JSON (%1)").arg(m_tape.error())};
        return false;
    }
    if (m_tape.root().type != JsonTape::Type::Object) {
        m_error = DecodingError{
            {}, QStringLiteral("expected a JSON object at the top level, got ") + describe(m_tape.root())};
        return false;
    }
    m_failed = false;
    return true;
}

const JsonDecoder::Node* JsonDecoder::present(const Node& object, QLatin1StringView key) const {
    if (m_failed) {
        return nullptr;
    }
    const Node* value = m_tape.member(object, key);
    if (value == nullptr || value->type == JsonTape::Type::Null) {
        return nullptr;
    }
    return value;
}

std::optional<QString> JsonDecoder::string(const Node& object, QLatin1StringView key) {
    const Node* value = present(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->type != JsonTape::Type::String) {
        fail(key, -1, QStringLiteral("expected a string"), *value);
        return std::nullopt;
    }
    return m_tape.string(*value);
}

std::optional<bool> JsonDecoder::boolean(const Node& object, QLatin1StringView key) {
    const Node* value = present(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->type != JsonTape::Type::True && value->type != JsonTape::Type::False) {
        fail(key, -1, QStringLiteral("expected true or false"), *value);
        return std::nullopt;
    }
    return value->type == JsonTape::Type::True;
}

std::optional<double> JsonDecoder::number(const Node& object, QLatin1StringView key) {
    const Node* value = present(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->type != JsonTape::Type::Number) {
        fail(key, -1, QStringLiteral("expected a number"), *value);
        return std::nullopt;
    }
    const std::string_view literal = m_tape.literal(*value);
    double parsed = 0;
    const auto [end, status] = std::from_chars(literal.data(), literal.data() + literal.size(), parsed);
    if (status == std::errc::result_out_of_range) {
        // Too small to tell from zero is zero; too large to hold is an error, not infinity.
        if (!tooSmallForADouble(literal)) {
            fail(key, -1, QStringLiteral("expected a number within the range of a double"), *value);
            return std::nullopt;
        }
        return literal[0] == '-' ? -0.0 : 0.0;
    }
    return parsed;
}

std::optional<qint64> JsonDecoder::integer(const Node& object, QLatin1StringView key) {
    const Node* value = present(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->type != JsonTape::Type::Number) {
        fail(key, -1, QStringLiteral("expected a whole number"), *value);
        return std::nullopt;
    }
    qint64 result = 0;
    switch (judgeInteger(m_tape.literal(*value), result)) {
    case Wholeness::Whole:
        return result;
    case Wholeness::Fraction:
        fail(key, -1, QStringLiteral("expected a whole number"), *value);
        return std::nullopt;
    case Wholeness::OutOfRange:
        fail(key, -1, QStringLiteral("expected a whole number in the signed 64-bit range"), *value);
        return std::nullopt;
    }
    return std::nullopt;
}

QString JsonDecoder::describe(const Node& value) const {
    switch (value.type) {
    case JsonTape::Type::Null:
        return QStringLiteral("null");
    case JsonTape::Type::True:
        return QStringLiteral("true");
    case JsonTape::Type::False:
        return QStringLiteral("false");
    case JsonTape::Type::Number: {
        // Quoted as sent, but a hostile megabyte of digits must not end up in the log.
        constexpr std::size_t shown = 40;
        const std::string_view literal = m_tape.literal(value);
        const QString text =
            QString::fromLatin1(literal.data(), static_cast<qsizetype>(std::min(literal.size(), shown)));
        return literal.size() > shown ? text + QStringLiteral("...") : text;
    }
    case JsonTape::Type::String:
        return QStringLiteral("a string");
    case JsonTape::Type::Array:
        return QStringLiteral("an array");
    case JsonTape::Type::Object:
        return QStringLiteral("an object");
    }
    return {};
}

void JsonDecoder::fail(QLatin1StringView key, qsizetype index, const QString& expectation, const Node& got) {
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
