#include "portal/HttpResponseReader.h"

#include <QList>

#include <algorithm>
#include <utility>

namespace quendle2 {

namespace {

// Far beyond any sensible head or chunk line, and small enough that a hostile one costs nothing.
constexpr qsizetype maximumHeadSize = 64 * 1024;
constexpr qsizetype maximumLineSize = 4 * 1024;

QString megabytes(qint64 bytes) {
    return QString::number(bytes / (1024 * 1024)) + QStringLiteral(" MiB");
}

bool isDigits(QByteArrayView text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

/// The comma-separated tokens of a header value, trimmed and in lower case.
QList<QByteArray> tokens(const QByteArray& value) {
    QList<QByteArray> result;
    for (const QByteArray& token : value.split(',')) {
        const QByteArray trimmed = token.trimmed().toLower();
        if (!trimmed.isEmpty()) {
            result.append(trimmed);
        }
    }
    return result;
}

} // namespace

HttpResponseReader::HttpResponseReader(qint64 maximumSize)
    : m_maximumSize(maximumSize) {}

HttpResponseReader::State HttpResponseReader::read(QByteArrayView bytes) {
    if (m_state != State::Reading) {
        m_surplus = m_surplus || !bytes.isEmpty();
        return m_state;
    }
    m_received += bytes.size();
    while (!bytes.isEmpty() && m_state == State::Reading) {
        if (m_step == Step::Body || m_step == Step::ChunkData) {
            const qsizetype take = m_framing == Framing::UntilEnd
                                       ? bytes.size()
                                       : static_cast<qsizetype>(std::min<qint64>(m_remaining, bytes.size()));
            if (!appendBody(bytes.first(take))) {
                return m_state;
            }
            bytes = bytes.sliced(take);
            m_remaining -= take;
            if (m_framing != Framing::UntilEnd && m_remaining == 0) {
                if (m_step == Step::Body) {
                    complete();
                } else {
                    m_step = Step::ChunkEnd;
                }
            }
            continue;
        }

        // Every other step is made of lines. A line may arrive in pieces, so it gathers in m_line.
        const qsizetype end = bytes.indexOf('\n');
        const qsizetype limit = m_step == Step::Head ? maximumHeadSize : maximumLineSize;
        m_line += end < 0 ? bytes : bytes.first(end + 1);
        bytes = end < 0 ? QByteArrayView() : bytes.sliced(end + 1);
        if (m_line.size() > limit) {
            return fail(PortalError::Kind::Network,
                        QStringLiteral("Invalid HTTP response: a header is too long"));
        }
        if (end < 0) {
            break;
        }
        if (m_step == Step::Head) {
            // The head ends with an empty line; until then the lines stay together.
            if (m_line != "\r\n" && m_line != "\n" && !m_line.endsWith("\n\r\n") &&
                !m_line.endsWith("\n\n")) {
                continue;
            }
            const QByteArray head = std::exchange(m_line, QByteArray());
            if (!parseHead(head)) {
                return m_state;
            }
            if (m_step == Step::Head) {
                continue; // an interim answer; the final one follows
            }
            if (m_framing == Framing::None) {
                complete();
            }
            continue;
        }
        QByteArray line = std::exchange(m_line, QByteArray());
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        if (m_step == Step::ChunkEnd) {
            if (!line.isEmpty()) {
                return fail(PortalError::Kind::Network,
                            QStringLiteral("Invalid HTTP response: a chunk overruns"));
            }
            m_step = Step::ChunkSize;
        } else if (m_step == Step::ChunkSize) {
            const QByteArray hex =
                line.left(line.indexOf(';') < 0 ? line.size() : line.indexOf(';')).trimmed();
            bool ok = !hex.isEmpty() && hex.size() <= 15;
            const qint64 size = ok ? hex.toLongLong(&ok, 16) : 0;
            if (!ok || size < 0) {
                return fail(PortalError::Kind::Network,
                            QStringLiteral("Invalid HTTP response: a bad chunk size"));
            }
            if (size == 0) {
                m_step = Step::Trailer;
            } else if (m_size + size > m_maximumSize) {
                return fail(
                    PortalError::Kind::TooLarge,
                    QStringLiteral("The response is too large (more than %1)").arg(megabytes(m_maximumSize)));
            } else {
                m_remaining = size;
                m_step = Step::ChunkData;
            }
        } else if (line.isEmpty()) { // the end of the trailer
            complete();
        }
    }
    if (m_state == State::Complete) {
        m_surplus = m_surplus || !bytes.isEmpty();
    }
    return m_state;
}

bool HttpResponseReader::parseHead(QByteArrayView head) {
    QList<QByteArray> lines = head.toByteArray().split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    const QByteArray& statusLine = lines.first();
    // "HTTP/1.1 200 OK": the version, a space and three digits; the reason phrase is free text.
    if (!statusLine.startsWith("HTTP/1.") || statusLine.size() < 12 || statusLine.at(8) != ' ' ||
        !isDigits(QByteArrayView(statusLine).sliced(9, 3)) ||
        (statusLine.size() > 12 && statusLine.at(12) != ' ')) {
        fail(PortalError::Kind::Network, QStringLiteral("Invalid HTTP response: no status line"));
        return false;
    }
    const bool http10 = statusLine.at(7) == '0';
    m_status = statusLine.mid(9, 3).toInt();

    std::optional<qint64> length;
    bool chunked = false;
    bool encoded = false;
    bool close = false;
    bool keepAlive = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (line.isEmpty()) {
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            fail(PortalError::Kind::Network, QStringLiteral("Invalid HTTP response: a malformed header"));
            return false;
        }
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            bool ok = isDigits(value) && value.size() <= 18;
            const qint64 declared = ok ? value.toLongLong(&ok) : -1;
            if (!ok || (length && *length != declared)) {
                fail(PortalError::Kind::Network,
                     QStringLiteral("Invalid HTTP response: a bad content length"));
                return false;
            }
            length = declared;
        } else if (name == "transfer-encoding") {
            const QList<QByteArray> codings = tokens(value);
            encoded = !codings.isEmpty();
            chunked = encoded && codings.last() == "chunked";
        } else if (name == "connection") {
            const QList<QByteArray> options = tokens(value);
            close = close || options.contains("close");
            keepAlive = keepAlive || options.contains("keep-alive");
        }
    }

    if (m_status >= 100 && m_status < 200) {
        if (m_status == 101) {
            fail(PortalError::Kind::Network, QStringLiteral("Invalid HTTP response: switching protocols"));
            return false;
        }
        return true; // Step::Head again: the final answer follows
    }
    m_keepAlive = !close && (!http10 || keepAlive);
    if (m_status == 204 || m_status == 304) {
        m_framing = Framing::None;
    } else if (encoded) {
        // A transfer coding other than chunked last can only end with the connection.
        m_framing = chunked ? Framing::Chunked : Framing::UntilEnd;
    } else if (length) {
        if (*length > m_maximumSize) {
            fail(PortalError::Kind::TooLarge,
                 QStringLiteral("The response is too large (%1 bytes declared, at most %2)")
                     .arg(*length)
                     .arg(megabytes(m_maximumSize)));
            return false;
        }
        m_framing = *length == 0 ? Framing::None : Framing::Length;
        m_remaining = *length;
    } else {
        m_framing = Framing::UntilEnd;
    }
    if (m_framing == Framing::UntilEnd) {
        m_keepAlive = false;
    }
    m_step = m_framing == Framing::Chunked ? Step::ChunkSize : Step::Body;
    return true;
}

bool HttpResponseReader::appendBody(QByteArrayView bytes) {
    if (m_size + bytes.size() > m_maximumSize) {
        fail(PortalError::Kind::TooLarge,
             QStringLiteral("The response is too large (more than %1)").arg(megabytes(m_maximumSize)));
        return false;
    }
    if (!bytes.isEmpty()) {
        // Kept in the pieces they came in until the body is complete: growing one buffer would briefly
        // hold two copies of it.
        m_chunks.emplace_back(bytes.data(), bytes.size());
        m_size += bytes.size();
    }
    return true;
}

HttpResponseReader::State HttpResponseReader::finishAtEnd() {
    if (m_state != State::Reading) {
        return m_state;
    }
    if (m_step == Step::Body && m_framing == Framing::UntilEnd) {
        return complete();
    }
    return fail(PortalError::Kind::Network,
                started() ? QStringLiteral("Connection closed before the response was complete")
                          : QStringLiteral("Connection closed"));
}

QByteArray HttpResponseReader::takeBody() {
    QByteArray body;
    body.reserve(m_size);
    for (QByteArray& chunk : m_chunks) {
        body += chunk;
        chunk = QByteArray(); // release as we go
    }
    m_chunks.clear();
    return body;
}

HttpResponseReader::State HttpResponseReader::complete() {
    m_state = State::Complete;
    return m_state;
}

HttpResponseReader::State HttpResponseReader::fail(PortalError::Kind kind, const QString& description) {
    m_state = State::Failed;
    m_chunks.clear();
    m_error = PortalError{kind, description};
    return m_state;
}

} // namespace quendle2
