#pragma once

#include "platform/Result.h"
#include "portal/HttpResponseReader.h"
#include "portal/PortalError.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class QSslSocket;

namespace quendle2 {

/// One HTTPS connection to the portal that carries one GET at a time and stays open for the next while
/// the portal allows it, so that a poll costs no new handshake. It runs on the thread that owns it.
///
/// A request either yields the complete body of the answer or fails: the whole exchange, connecting and
/// any pause included, is bounded by the time-out, and the body by the size limit. Only the connection is
/// kept between requests: no cookie, cache, credential or anything else of an earlier answer is ever
/// sent again. A kept connection that the portal closed meanwhile is replaced once, transparently.
class PortalConnection final : public QObject {
    Q_OBJECT
public:
    using Body = Result<QByteArray, PortalError>;
    using Completion = std::function<void(const Body&)>;

    /// Where the portal is and whom to trust; owned by the client and shared by its connections.
    struct Endpoint {
        QString host;
        quint16 port = 443;
        QSslConfiguration tls;
    };

    /// A connection left unused this long is not trusted to be alive any more: a train's network may
    /// drop it without a word, and a request sent into it would only time out.
    static constexpr qint64 maximumIdleMs = 30'000;

    PortalConnection(const Endpoint& endpoint, QObject* parent);
    ~PortalConnection() override;

    bool isBusy() const { return static_cast<bool>(m_completion); }
    /// Whether a kept connection is there to carry the next request without a new handshake.
    bool isOpen() const;

    /// Sends `request` (a complete HTTP/1.1 GET) and reports exactly once, unless the connection is
    /// destroyed first. The report may release the owner only with deleteLater().
    void get(const QByteArray& request, int timeoutMs, qint64 maximumSize, Completion completion);

private:
    void open();
    void drop();
    void send();
    void onReadyRead(QSslSocket* socket);
    void readAvailable(QSslSocket* socket);
    /// Reports the answer once it is complete or has failed.
    void reportIfDone();
    void onError(QSslSocket* socket);
    void onClosed(QSslSocket* socket);
    void fail(PortalError::Kind kind, const QString& description);
    void finish(const Body& body);

    const Endpoint& m_endpoint;
    QSslSocket* m_socket = nullptr;
    QTimer m_deadline;
    QElapsedTimer m_idleSince;
    QByteArray m_request;
    int m_timeoutMs = 0;
    Completion m_completion;
    std::optional<HttpResponseReader> m_reader;
    QList<QSslError> m_sslErrors;
    bool m_reused = false;
    bool m_retried = false;
};

} // namespace quendle2
