#include "portal/PortalConnection.h"

#include <QSslSocket>

#include <algorithm>
#include <utility>

namespace quendle2 {

namespace {

// Bounds what the socket holds ahead of us and what one read takes, so that a hostile body never sits in
// memory far beyond the size limit.
constexpr qint64 socketBufferSize = 256 * 1024;
constexpr qint64 readStep = 64 * 1024;

QString seconds(int ms) {
    return QString::number(ms / 1000.0, 'g', 3) + QStringLiteral(" s");
}

} // namespace

PortalConnection::PortalConnection(const Endpoint& endpoint, QObject* parent)
    : QObject(parent)
    , m_endpoint(endpoint) {
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        fail(PortalError::Kind::Timeout,
             QStringLiteral("The request timed out (not complete within %1)").arg(seconds(m_timeoutMs)));
    });
}

PortalConnection::~PortalConnection() {
    if (m_socket != nullptr) {
        // Torn down with a request in flight, the socket must not report into a half-destroyed object.
        m_socket->disconnect(this);
        delete m_socket;
    }
}

bool PortalConnection::isOpen() const {
    return m_socket != nullptr && m_socket->state() == QAbstractSocket::ConnectedState &&
           m_socket->isEncrypted();
}

void PortalConnection::get(const QByteArray& request, int timeoutMs, qint64 maximumSize,
                           Completion completion) {
    m_request = request;
    m_timeoutMs = timeoutMs;
    m_completion = std::move(completion);
    m_reader.emplace(maximumSize);
    m_retried = false;
    m_deadline.start(timeoutMs);
    m_reused = isOpen() && m_idleSince.isValid() && m_idleSince.elapsed() < maximumIdleMs;
    if (m_reused) {
        send();
    } else {
        open();
    }
}

void PortalConnection::open() {
    drop();
    m_sslErrors.clear();
    auto* socket = new QSslSocket(this);
    m_socket = socket;
    socket->setSslConfiguration(m_endpoint.tls);
    socket->setReadBufferSize(socketBufferSize);
    // Each handler names its socket: a replaced socket's late signals must not touch the current exchange.
    connect(socket, &QSslSocket::encrypted, this, [this, socket] {
        if (socket == m_socket) {
            send();
        }
    });
    connect(socket, &QSslSocket::sslErrors, this, [this, socket](const QList<QSslError>& errors) {
        if (socket == m_socket) {
            m_sslErrors = errors; // never ignored: the handshake fails with them
        }
    });
    connect(socket, &QIODevice::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket] { onError(socket); });
    connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { onClosed(socket); });
    socket->connectToHostEncrypted(m_endpoint.host, m_endpoint.port);
}

void PortalConnection::drop() {
    if (m_socket == nullptr) {
        return;
    }
    QSslSocket* socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater(); // may be inside one of its own signals
}

void PortalConnection::send() {
    m_socket->write(m_request);
}

void PortalConnection::onReadyRead(QSslSocket* socket) {
    if (socket != m_socket) {
        return;
    }
    if (!isBusy()) {
        drop(); // nothing may arrive between answers; such a connection is not reused
        return;
    }
    readAvailable(socket);
    reportIfDone();
}

void PortalConnection::readAvailable(QSslSocket* socket) {
    while (socket->bytesAvailable() > 0 && m_reader->state() == HttpResponseReader::State::Reading) {
        m_reader->read(socket->read(std::min(socket->bytesAvailable(), readStep)));
    }
}

void PortalConnection::reportIfDone() {
    if (m_reader->state() == HttpResponseReader::State::Complete) {
        finish(Body::success(m_reader->takeBody()));
    } else if (m_reader->state() == HttpResponseReader::State::Failed) {
        finish(Body::failure(m_reader->error()));
    }
}

void PortalConnection::onError(QSslSocket* socket) {
    if (socket != m_socket) {
        return;
    }
    const QAbstractSocket::SocketError error = socket->error();
    if (!isBusy()) {
        drop();
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        onClosed(socket); // the end of the stream, which may also be the end of the body
        return;
    }
    if (m_reused && !m_retried && !m_reader->started()) {
        // The portal dropped the kept connection just as the request went out: once more on a fresh one.
        m_retried = true;
        open();
        return;
    }
    QString description;
    if (error == QAbstractSocket::SslHandshakeFailedError) {
        QStringList problems;
        for (const QSslError& problem : std::as_const(m_sslErrors)) {
            problems << problem.errorString();
        }
        description =
            QStringLiteral("SSL handshake failed: %1")
                .arg(problems.isEmpty() ? socket->errorString() : problems.join(QStringLiteral("; ")));
    } else if (error == QAbstractSocket::HostNotFoundError) {
        description = QStringLiteral("Host %1 not found").arg(m_endpoint.host);
    } else {
        description = socket->errorString();
    }
    fail(PortalError::Kind::Network, description);
}

void PortalConnection::onClosed(QSslSocket* socket) {
    if (socket != m_socket) {
        return;
    }
    if (!isBusy()) {
        drop();
        return;
    }
    readAvailable(socket);
    if (m_reader->state() == HttpResponseReader::State::Reading) {
        if (m_reused && !m_retried && !m_reader->started()) {
            // Closed by the portal while idle, and we learn it only now: once more on a fresh connection.
            m_retried = true;
            open();
            return;
        }
        m_reader->finishAtEnd();
    }
    reportIfDone();
}

void PortalConnection::fail(PortalError::Kind kind, const QString& description) {
    finish(Body::failure({kind, description}));
}

void PortalConnection::finish(const Body& body) {
    if (!isBusy()) {
        return;
    }
    m_deadline.stop();
    const bool keep = body.ok() && m_socket != nullptr &&
                      m_socket->state() == QAbstractSocket::ConnectedState &&
                      m_socket->bytesAvailable() == 0 && m_reader->keepsConnection();
    m_reader.reset();
    if (keep) {
        m_idleSince.start();
    } else {
        drop();
    }
    // Last: the report may start the next request on this very connection, or release the owner.
    Completion completion = std::exchange(m_completion, nullptr);
    completion(body);
}

} // namespace quendle2
