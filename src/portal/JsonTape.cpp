#include "portal/JsonTape.h"

#include <algorithm>
#include <cstring>

namespace quendle2 {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void appendUtf8(QByteArray& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

bool JsonTape::parse(QByteArrayView json) {
    m_data = json.data();
    m_size = static_cast<std::uint32_t>(json.size());
    m_pos = 0;
    m_nodes.clear();
    m_nodes.reserve(std::min<std::size_t>(static_cast<std::size_t>(json.size()) / 16 + 8, maximumNodes));
    m_error.clear();
    skipSpace();
    if (!value(0)) {
        return false;
    }
    skipSpace();
    if (m_pos != m_size) {
        return fail("unexpected content after the document");
    }
    return true;
}

void JsonTape::skipSpace() {
    while (m_pos < m_size) {
        const char c = m_data[m_pos];
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t') {
            return;
        }
        ++m_pos;
    }
}

bool JsonTape::fail(const char* what) {
    if (m_error.isEmpty()) {
        m_error = QString::fromLatin1(what) + QStringLiteral(" at offset ") + QString::number(m_pos);
    }
    return false;
}

std::uint32_t JsonTape::append(Type type) {
    Node node;
    node.type = type;
    m_nodes.push_back(node);
    return static_cast<std::uint32_t>(m_nodes.size() - 1);
}

bool JsonTape::value(int depth) {
    if (m_pos >= m_size) {
        return fail("unexpected end of the document");
    }
    if (m_nodes.size() >= maximumNodes) {
        return fail("too many values");
    }
    const char c = m_data[m_pos];
    if (c == '{' || c == '[') {
        if (depth >= maximumDepth) {
            return fail("nesting too deep");
        }
        const bool isObject = c == '{';
        const char close = isObject ? '}' : ']';
        const std::uint32_t self = append(isObject ? Type::Object : Type::Array);
        ++m_pos;
        skipSpace();
        if (m_pos < m_size && m_data[m_pos] == close) {
            ++m_pos;
            return true;
        }
        std::uint32_t previous = 0;
        for (;;) {
            std::uint32_t keyStart = 0;
            std::uint32_t keyLength = 0;
            bool keyEscaped = false;
            if (isObject) {
                if (m_pos >= m_size || m_data[m_pos] != '"') {
                    return fail("expected a key");
                }
                if (!string(keyStart, keyLength, keyEscaped)) {
                    return false;
                }
                skipSpace();
                if (m_pos >= m_size || m_data[m_pos] != ':') {
                    return fail("expected ':'");
                }
                ++m_pos;
                skipSpace();
            }
            const auto child = static_cast<std::uint32_t>(m_nodes.size());
            if (!value(depth + 1)) {
                return false;
            }
            Node& added = m_nodes[child];
            added.keyStart = keyStart;
            added.keyLength = keyLength;
            added.keyEscaped = keyEscaped;
            if (previous == 0) {
                m_nodes[self].firstChild = child;
            } else {
                m_nodes[previous].next = child;
            }
            previous = child;
            skipSpace();
            if (m_pos >= m_size) {
                return fail("unexpected end of the document");
            }
            if (m_data[m_pos] == ',') {
                ++m_pos;
                skipSpace();
                continue;
            }
            if (m_data[m_pos] == close) {
                ++m_pos;
                return true;
            }
            return fail(isObject ? "expected ',' or '}'" : "expected ',' or ']'");
        }
    }
    if (c == '"') {
        const std::uint32_t self = append(Type::String);
        std::uint32_t start = 0;
        std::uint32_t length = 0;
        bool escaped = false;
        if (!string(start, length, escaped)) {
            return false;
        }
        Node& node = m_nodes[self];
        node.start = start;
        node.length = length;
        node.escaped = escaped;
        return true;
    }
    if (c == '-' || isDigit(c)) {
        return number();
    }
    if (c == 't') {
        return word("true", Type::True);
    }
    if (c == 'f') {
        return word("false", Type::False);
    }
    if (c == 'n') {
        return word("null", Type::Null);
    }
    return fail("unexpected character");
}

bool JsonTape::string(std::uint32_t& start, std::uint32_t& length, bool& escaped) {
    ++m_pos; // the opening quote
    start = m_pos;
    escaped = false;
    while (m_pos < m_size) {
        const char* at = m_data + m_pos;
        const auto c = static_cast<unsigned char>(*at);
        if (c == '"') {
            length = m_pos - start;
            ++m_pos;
            return true;
        }
        if (c < 0x20) {
            return fail("control character in a string");
        }
        if (c == '\\') {
            escaped = true;
            if (m_pos + 1 >= m_size) {
                break;
            }
            const char e = at[1];
            if (e == 'u') {
                if (m_pos + 5 >= m_size || hexValue(at[2]) < 0 || hexValue(at[3]) < 0 ||
                    hexValue(at[4]) < 0 || hexValue(at[5]) < 0) {
                    return fail("invalid \\u escape");
                }
                m_pos += 6;
                continue;
            }
            if (std::strchr("\"\\/bfnrt", e) == nullptr || e == '\0') {
                return fail("invalid escape");
            }
            m_pos += 2;
            continue;
        }
        ++m_pos;
    }
    return fail("unterminated string");
}

bool JsonTape::number() {
    const std::uint32_t start = m_pos;
    if (m_data[m_pos] == '-') {
        ++m_pos;
    }
    if (m_pos >= m_size || !isDigit(m_data[m_pos])) {
        return fail("invalid number");
    }
    if (m_data[m_pos] == '0') {
        ++m_pos;
    } else {
        while (m_pos < m_size && isDigit(m_data[m_pos])) {
            ++m_pos;
        }
    }
    if (m_pos < m_size && m_data[m_pos] == '.') {
        ++m_pos;
        if (m_pos >= m_size || !isDigit(m_data[m_pos])) {
            return fail("invalid number");
        }
        while (m_pos < m_size && isDigit(m_data[m_pos])) {
            ++m_pos;
        }
    }
    if (m_pos < m_size && (m_data[m_pos] == 'e' || m_data[m_pos] == 'E')) {
        ++m_pos;
        if (m_pos < m_size && (m_data[m_pos] == '+' || m_data[m_pos] == '-')) {
            ++m_pos;
        }
        if (m_pos >= m_size || !isDigit(m_data[m_pos])) {
            return fail("invalid number");
        }
        while (m_pos < m_size && isDigit(m_data[m_pos])) {
            ++m_pos;
        }
    }
    const std::uint32_t self = append(Type::Number);
    m_nodes[self].start = start;
    m_nodes[self].length = m_pos - start;
    return true;
}

bool JsonTape::word(std::string_view text, Type type) {
    if (m_size - m_pos < text.size() || std::memcmp(m_data + m_pos, text.data(), text.size()) != 0) {
        return fail("unexpected character");
    }
    m_pos += static_cast<std::uint32_t>(text.size());
    append(type);
    return true;
}

bool JsonTape::keyEquals(const Node& node, QLatin1StringView key) const {
    if (!node.keyEscaped) {
        return node.keyLength == static_cast<std::uint32_t>(key.size()) &&
               std::memcmp(m_data + node.keyStart, key.data(), node.keyLength) == 0;
    }
    return unescape(node.keyStart, node.keyLength) == key;
}

const JsonTape::Node* JsonTape::member(const Node& object, QLatin1StringView key) const {
    const Node* found = nullptr;
    for (std::uint32_t i = object.firstChild; i != 0; i = m_nodes[i].next) {
        if (keyEquals(m_nodes[i], key)) {
            found = &m_nodes[i];
        }
    }
    return found;
}

QString JsonTape::string(const Node& node) const {
    if (!node.escaped) {
        return QString::fromUtf8(m_data + node.start, node.length);
    }
    return unescape(node.start, node.length);
}

std::string_view JsonTape::literal(const Node& node) const {
    return std::string_view(m_data + node.start, node.length);
}

QString JsonTape::unescape(std::uint32_t start, std::uint32_t length) const {
    // Escapes were checked while parsing; only their meaning is left to work out.
    QByteArray out;
    out.reserve(length);
    const char* p = m_data + start;
    const char* end = p + length;
    auto hex4 = [](const char* h) {
        return static_cast<char32_t>((hexValue(h[0]) << 12) | (hexValue(h[1]) << 8) | (hexValue(h[2]) << 4) |
                                     hexValue(h[3]));
    };
    while (p < end) {
        if (*p != '\\') {
            out += *p++;
            continue;
        }
        const char e = p[1];
        p += 2;
        switch (e) {
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            char32_t code = hex4(p);
            p += 4;
            if (code >= 0xD800 && code <= 0xDBFF && end - p >= 6 && p[0] == '\\' && p[1] == 'u') {
                const char32_t low = hex4(p + 2);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    p += 6;
                }
            }
            if (code >= 0xD800 && code <= 0xDFFF) {
                code = 0xFFFD; // a lone surrogate cannot be represented
            }
            appendUtf8(out, code);
            break;
        }
        default: // '"', '\\' and '/'
            out += e;
            break;
        }
    }
    return QString::fromUtf8(out);
}

} // namespace quendle2
