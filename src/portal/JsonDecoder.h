#pragma once

#include "portal/DecodingError.h"
#include "portal/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QString>

#include <optional>
#include <vector>

namespace quendle2 {

/// Strict, typed reading of JSON objects into optional fields.
///
/// A missing key or null gives an absent field; a present value must have exactly the field's JSON type.
/// The first mismatch is remembered with its path, and every later read returns absent without looking,
/// so a record can be decoded in one braced initialiser (evaluated in declaration order) and checked once
/// at the end.
class JsonDecoder {
public:
    /// Parses `json` and, if its top-level value is an object, decodes it with `decodeRoot`.
    template <typename T, typename F>
    static Result<T, DecodingError> decodeDocument(const QByteArray& json, F decodeRoot) {
        JsonDecoder decoder;
        const std::optional<QJsonObject> root = decoder.parseObject(json);
        if (!root) {
            return Result<T, DecodingError>::failure(decoder.m_error);
        }
        T value = decodeRoot(decoder, *root);
        if (decoder.failed()) {
            return Result<T, DecodingError>::failure(decoder.m_error);
        }
        return Result<T, DecodingError>::success(std::move(value));
    }

    bool failed() const { return m_failed; }

    std::optional<QString> string(const QJsonObject& object, QLatin1StringView key);
    std::optional<bool> boolean(const QJsonObject& object, QLatin1StringView key);
    std::optional<double> number(const QJsonObject& object, QLatin1StringView key);
    std::optional<qint64> integer(const QJsonObject& object, QLatin1StringView key);

    /// A nested object, decoded by `decode(JsonDecoder&, const QJsonObject&)`.
    template <typename F>
    auto object(const QJsonObject& parent, QLatin1StringView key, F decode)
        -> std::optional<decltype(decode(*this, parent))> {
        const std::optional<QJsonValue> value = present(parent, key);
        if (!value) {
            return std::nullopt;
        }
        if (!value->isObject()) {
            fail(key, -1, QStringLiteral("expected an object"), *value);
            return std::nullopt;
        }
        m_path.push_back(Segment{key, -1});
        auto decoded = decode(*this, value->toObject());
        m_path.pop_back();
        if (m_failed) {
            return std::nullopt;
        }
        return decoded;
    }

    /// An array whose every element is an object, decoded by `decode`; order is kept and a null or other
    /// non-object element rejects the document.
    template <typename F>
    auto arrayOfObjects(const QJsonObject& parent, QLatin1StringView key, F decode)
        -> std::optional<std::vector<decltype(decode(*this, parent))>> {
        using Element = decltype(decode(*this, parent));
        const std::optional<QJsonValue> value = present(parent, key);
        if (!value) {
            return std::nullopt;
        }
        if (!value->isArray()) {
            fail(key, -1, QStringLiteral("expected an array"), *value);
            return std::nullopt;
        }
        const QJsonArray array = value->toArray();
        std::vector<Element> elements;
        elements.reserve(static_cast<std::size_t>(array.size()));
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QJsonValue element = array.at(i);
            if (!element.isObject()) {
                fail(key, i, QStringLiteral("expected an object"), element);
                return std::nullopt;
            }
            m_path.push_back(Segment{key, i});
            elements.push_back(decode(*this, element.toObject()));
            m_path.pop_back();
            if (m_failed) {
                return std::nullopt;
            }
        }
        return elements;
    }

    /// How a JSON value is named in an error: numbers and booleans literally, other kinds by their kind.
    static QString describe(const QJsonValue& value);

private:
    struct Segment {
        QLatin1StringView key;
        qsizetype index; // -1 when the segment is not an array element
    };

    /// A number literal that a double may not hold exactly (it has an exponent or more than 15 significant
    /// digits). The parser keeps only a double, which can round a fraction or an out-of-range literal onto a
    /// valid 64-bit integer, so integer fields judge such literals by their text instead.
    struct LongNumber {
        QString path;
        QByteArray literal;
        double parsed;               ///< what the parser kept: tells which of two duplicate keys survived
        bool whole;                  ///< the literal's exact value has no fraction
        std::optional<qint64> value; ///< the exact value, when whole and within the signed 64-bit range
    };

    JsonDecoder() = default;

    std::optional<QJsonObject> parseObject(const QByteArray& json);
    /// The value under `key`, or absent when the key is missing, null, or decoding already failed.
    std::optional<QJsonValue> present(const QJsonObject& object, QLatin1StringView key) const;
    void fail(QLatin1StringView key, qsizetype index, const QString& expectation, const QJsonValue& got);
    QString pathTo(QLatin1StringView key, qsizetype index) const;
    static std::vector<LongNumber> findLongNumbers(QByteArrayView json);
    /// The long literal that produced `got` at `path`, if there is one.
    const LongNumber* longNumberAt(const QString& path, const QJsonValue& got) const;

    std::vector<LongNumber> m_longNumbers;
    std::vector<Segment> m_path;
    bool m_failed = false;
    DecodingError m_error;
};

} // namespace quendle2
