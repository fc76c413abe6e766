#pragma once

#include "portal/PortalError.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

namespace quendle2 {

/// Reads one HTTP/1.x answer as it arrives, in pieces of any size: the status line and head, then a body
/// framed by its length, by chunks or by the end of the connection. Interim (1xx) answers are skipped. The
/// body may not pass `maximumSize`; a larger declared length fails before any of the body arrives.
///
/// Nothing in the answer but its framing is judged: the status code and the other headers are the
/// portal's business, and any body is handed on.
class HttpResponseReader {
public:
    enum class State { Reading, Complete, Failed };

    explicit HttpResponseReader(qint64 maximumSize);

    /// Takes the next bytes of the connection. Bytes after a complete answer are never consumed.
    State read(QByteArrayView bytes);
    /// The connection ended: completes a body that runs to the end, fails anything else unfinished.
    State finishAtEnd();

    State state() const { return m_state; }
    /// Whether any byte of an answer has arrived.
    bool started() const { return m_received > 0; }
    /// Once complete: whether the connection may carry the next request.
    bool keepsConnection() const { return m_keepAlive && !m_surplus; }
    /// Once complete: the body, handed over once.
    QByteArray takeBody();
    /// Once failed.
    const PortalError& error() const { return *m_error; }

private:
    enum class Step { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer };
    enum class Framing { None, Length, Chunked, UntilEnd };

    bool parseHead(QByteArrayView head);
    bool appendBody(QByteArrayView bytes);
    State complete();
    State fail(PortalError::Kind kind, const QString& description);

    const qint64 m_maximumSize;
    State m_state = State::Reading;
    Step m_step = Step::Head;
    Framing m_framing = Framing::None;
    QByteArray m_line; ///< a head, chunk-size line or trailer that is still arriving
    qint64 m_remaining = 0;
    qint64 m_size = 0;
    qint64 m_received = 0;
    int m_status = 0;
    bool m_keepAlive = false;
    bool m_surplus = false;
    std::vector<QByteArray> m_chunks;
    std::optional<PortalError> m_error;
};

} // namespace quendle2
