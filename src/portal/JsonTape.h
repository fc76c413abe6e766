#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>

#include <cstdint>
#include <string_view>
#include <vector>

namespace quendle2 {

/// A JSON document parsed into a flat array of nodes that point back into the original bytes.
///
/// Portal documents arrive every few seconds on battery power, so parsing must be cheap: no node owns
/// memory, strings are only unescaped when a field is read, and numbers keep their literal text, so that an
/// integer can be judged exactly instead of through a rounded double.
class JsonTape {
public:
    enum class Type : std::uint8_t { Null, False, True, Number, String, Array, Object };

    struct Node {
        std::uint32_t start = 0;    ///< string: first byte after the quote; number: first byte of the literal
        std::uint32_t length = 0;   ///< string: raw bytes between the quotes; number: literal length
        std::uint32_t keyStart = 0; ///< member of an object: its key's raw bytes
        std::uint32_t keyLength = 0;
        std::uint32_t firstChild = 0; ///< containers: index of the first element or member, 0 when empty
        std::uint32_t next = 0;       ///< index of the next sibling, 0 when last
        Type type = Type::Null;
        bool escaped = false; ///< the string holds a backslash escape
        bool keyEscaped = false;
    };

    /// Nesting deeper than this is rejected rather than risking the stack on hostile input.
    static constexpr int maximumDepth = 128;
    /// A 60-stop trip has about 2,000 values; far more can only be an attack on memory.
    static constexpr std::size_t maximumNodes = 200'000;

    /// Parses `json`, which must outlive the tape. On failure, `error()` says what and where.
    bool parse(QByteArrayView json);

    QString error() const { return m_error; }
    const Node& node(std::uint32_t index) const { return m_nodes[index]; }
    const Node& root() const { return m_nodes.front(); }

    /// The member of object node `object` with key `key`; the last one wins if the key repeats.
    const Node* member(const Node& object, QLatin1StringView key) const;

    QString string(const Node& node) const;
    std::string_view literal(const Node& node) const;

private:
    bool value(int depth);
    bool string(std::uint32_t& start, std::uint32_t& length, bool& escaped);
    bool number();
    bool word(std::string_view text, Type type);
    bool fail(const char* what);
    void skipSpace();
    std::uint32_t append(Type type);
    QString unescape(std::uint32_t start, std::uint32_t length) const;
    bool keyEquals(const Node& node, QLatin1StringView key) const;

    const char* m_data = nullptr;
    std::uint32_t m_size = 0;
    std::uint32_t m_pos = 0;
    std::vector<Node> m_nodes;
    QString m_error;
};

} // namespace quendle2
