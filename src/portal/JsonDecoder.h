#pragma once

#include "platform/Result.h"
#include "portal/DecodingError.h"
#include "portal/JsonTape.h"

#include <QByteArray>
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
    using Node = JsonTape::Node;

    /// Parses `json` and, if its top-level value is an object, decodes it with
    /// `decodeRoot(JsonDecoder&, const Node& object)`.
    template <typename T, typename F>
    static Result<T, DecodingError> decodeDocument(const QByteArray& json, F decodeRoot) {
        JsonDecoder decoder;
        if (!decoder.parseObject(json)) {
            return Result<T, DecodingError>::failure(decoder.m_error);
        }
        T value = decodeRoot(decoder, decoder.m_tape.root());
        if (decoder.m_failed) {
            return Result<T, DecodingError>::failure(decoder.m_error);
        }
        return Result<T, DecodingError>::success(std::move(value));
    }

    std::optional<QString> string(const Node& object, QLatin1StringView key);
    std::optional<bool> boolean(const Node& object, QLatin1StringView key);
    std::optional<double> number(const Node& object, QLatin1StringView key);
    std::optional<qint64> integer(const Node& object, QLatin1StringView key);

    /// A nested object, decoded by `decode(JsonDecoder&, const Node&)`.
    template <typename F>
    auto object(const Node& parent, QLatin1StringView key, F decode)
        -> std::optional<decltype(decode(*this, parent))> {
        const Node* value = present(parent, key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (value->type != JsonTape::Type::Object) {
            fail(key, -1, QStringLiteral("expected an object"), *value);
            return std::nullopt;
        }
        m_path.push_back(Segment{key, -1});
        auto decoded = decode(*this, *value);
        m_path.pop_back();
        if (m_failed) {
            return std::nullopt;
        }
        return decoded;
    }

    /// An array whose every element is an object, decoded by `decode`; order is kept and a null or other
    /// non-object element rejects the document.
    template <typename F>
    auto arrayOfObjects(const Node& parent, QLatin1StringView key, F decode)
        -> std::optional<std::vector<decltype(decode(*this, parent))>> {
        const Node* value = present(parent, key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (value->type != JsonTape::Type::Array) {
            fail(key, -1, QStringLiteral("expected an array"), *value);
            return std::nullopt;
        }
        std::optional<std::vector<decltype(decode(*this, parent))>> elements(std::in_place);
        qsizetype index = 0;
        for (std::uint32_t i = value->firstChild; i != 0; i = m_tape.node(i).next, ++index) {
            const Node& element = m_tape.node(i);
            if (element.type != JsonTape::Type::Object) {
                fail(key, index, QStringLiteral("expected an object"), element);
                return std::nullopt;
            }
            m_path.push_back(Segment{key, index});
            elements->push_back(decode(*this, element));
            m_path.pop_back();
            if (m_failed) {
                return std::nullopt;
            }
        }
        return elements;
    }

private:
    struct Segment {
        QLatin1StringView key;
        qsizetype index; // -1 when the segment is not an array element
    };

    JsonDecoder() = default;

    bool parseObject(const QByteArray& json);
    /// The value under `key`, or null when the key is missing, null, or decoding already failed.
    const Node* present(const Node& object, QLatin1StringView key) const;
    /// How a JSON value is named in an error: numbers as sent, true, false and null literally, other
    /// kinds by their kind.
    QString describe(const Node& value) const;
    void fail(QLatin1StringView key, qsizetype index, const QString& expectation, const Node& got);
    QString pathTo(QLatin1StringView key, qsizetype index) const;

    JsonTape m_tape;
    std::vector<Segment> m_path;
    bool m_failed = false;
    DecodingError m_error;
};

} // namespace quendle2
