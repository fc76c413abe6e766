#include "PortalSimulator.h"

#include "PortalDocuments.h"
#include "platform/Clock.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>

#include <memory>
#include <sys/socket.h>

namespace quendle2::sim {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 hugeBodySize = 20 * 1024 * 1024;
constexpr qint64 streamWindow = 256 * 1024;
constexpr qsizetype maximumRequestHead = 16 * 1024;
constexpr int keepAliveIdleMs = 75'000;

QByteArray resource(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

int pathIndex(PortalSimulator::Path path) {
    return path == PortalSimulator::Path::Status ? 0 : 1;
}

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 407:
        return "Proxy Authentication Required";
    case 418:
        return "I'm a teapot";
    case 500:
        return "Internal Server Error";
    }
    return "Unknown";
}

QByteArray head(int status, const QByteArray& contentType, std::optional<qint64> length,
                bool keepAlive = false) {
    QByteArray h = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    h += "Content-Type: " + contentType + "\r\n";
    if (length) {
        h += "Content-Length: " + QByteArray::number(*length) + "\r\n";
    }
    h += keepAlive ? "Cache-Control: no-store\r\nConnection: keep-alive\r\n\r\n"
                   : "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
    return h;
}

/// Closes with a TCP reset instead of an orderly shutdown, as a dropped link looks to the client.
void hardReset(QSslSocket* socket) {
    const qintptr fd = socket->socketDescriptor();
    if (fd != -1) {
        const linger immediate{1, 0};
        ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
    }
    socket->abort();
}

} // namespace

PortalSimulator::PortalSimulator(Scenario scenario, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_scenario(std::move(scenario))
    , m_clock(clock)
    , m_server(new QSslServer(this)) {
    setServerIdentity(QSslCertificate(resource(u":/portal-sim/certs/server.pem"_s), QSsl::Pem),
                      QSslKey(resource(u":/portal-sim/certs/server.key"_s), QSsl::Rsa, QSsl::Pem));
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &PortalSimulator::acceptConnections);
    play(1.0);
}

PortalSimulator::~PortalSimulator() = default;

void PortalSimulator::setServerIdentity(const QSslCertificate& certificate, const QSslKey& key) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server->setSslConfiguration(tls);
}

bool PortalSimulator::listen(quint16 port, const QHostAddress& address) {
    return m_server->listen(address, port);
}

QString PortalSimulator::errorString() const {
    return m_server->errorString();
}

quint16 PortalSimulator::port() const {
    return m_server->serverPort();
}

QUrl PortalSimulator::origin() const {
    QUrl url;
    url.setScheme(u"https"_s);
    url.setHost(m_server->serverAddress().toString());
    url.setPort(port());
    return url;
}

QList<QSslCertificate> PortalSimulator::caCertificates() {
    return QSslCertificate::fromData(resource(u":/portal-sim/certs/ca.pem"_s), QSsl::Pem);
}

void PortalSimulator::play(double factor, double startOffset) {
    const qint64 now = m_clock.now().toMSecsSinceEpoch();
    play(SimTimeline{now, now, startOffset, factor});
}

void PortalSimulator::play(const SimTimeline& timeline) {
    m_timeline = timeline;
}

double PortalSimulator::scenarioTime() const {
    return m_timeline.scenarioTime(m_clock.now());
}

void PortalSimulator::setFault(Path path, Fault fault) {
    m_faults[pathIndex(path)] = fault;
}

PortalSimulator::Fault PortalSimulator::fault(Path path) const {
    return m_faults[pathIndex(path)];
}

int PortalSimulator::requestCount(Path path) const {
    return m_requests[pathIndex(path)];
}

void PortalSimulator::setKeepAlive(bool keepAlive) {
    m_keepAlive = keepAlive;
}

void PortalSimulator::setStatusCode(Path path, int status) {
    m_statusCodes[pathIndex(path)] = status;
}

int PortalSimulator::statusCode(Path path) const {
    return m_statusCodes[pathIndex(path)];
}

void PortalSimulator::setBody(Path path, std::optional<QByteArray> body) {
    m_bodies[pathIndex(path)] = std::move(body);
}

QByteArray PortalSimulator::documentBody(Path path) const {
    if (const auto& body = m_bodies[pathIndex(path)]) {
        return *body;
    }
    const QDateTime now = m_clock.now();
    QJsonObject document = path == Path::Status ? PortalDocuments::status(m_scenario, m_timeline, now)
                                                : PortalDocuments::trip(m_scenario, m_timeline, now);
    if (fault(path) == Fault::WrongType) {
        if (path == Path::Status) {
            document.insert(u"connection"_s, u"true"_s);
        } else {
            QJsonObject trip = document.value("trip"_L1).toObject();
            trip.insert(u"totalDistance"_s, u"475 km"_s);
            document.insert(u"trip"_s, trip);
        }
    }
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

std::optional<PortalSimulator::Fault> PortalSimulator::faultFromName(const QString& name) {
    for (Fault f : {Fault::None, Fault::Hang, Fault::Trickle, Fault::ServerError, Fault::NotFoundJson,
                    Fault::WrongType, Fault::Huge, Fault::Reset, Fault::Chunked, Fault::NoLength}) {
        if (faultName(f) == name) {
            return f;
        }
    }
    return std::nullopt;
}

QString PortalSimulator::faultName(Fault fault) {
    switch (fault) {
    case Fault::None:
        return u"none"_s;
    case Fault::Hang:
        return u"hang"_s;
    case Fault::Trickle:
        return u"trickle"_s;
    case Fault::ServerError:
        return u"500-html"_s;
    case Fault::NotFoundJson:
        return u"404-json"_s;
    case Fault::WrongType:
        return u"wrong-type"_s;
    case Fault::Huge:
        return u"huge"_s;
    case Fault::Reset:
        return u"reset"_s;
    case Fault::Chunked:
        return u"chunked"_s;
    case Fault::NoLength:
        return u"no-length"_s;
    }
    return {};
}

void PortalSimulator::acceptConnections() {
    while (m_server->hasPendingConnections()) {
        auto* socket = qobject_cast<QSslSocket*>(m_server->nextPendingConnection());
        if (socket == nullptr) {
            continue;
        }
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        ++m_connections;
        serve(socket);
    }
}

void PortalSimulator::serve(QSslSocket* socket) {
    // One reader for all the requests of a connection. Connecting a reader per request, and disconnecting it
    // inside the socket's own signal, piles up bookkeeping for as long as the connection is kept.
    struct Request {
        QList<QByteArray> lines;
        qsizetype headSize = 0;
        bool awaited = true; ///< false while an answer is being written
    };
    auto request = std::make_shared<Request>();
    // Like a web server, an idle connection is closed after a while.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, socket, &QAbstractSocket::disconnectFromHost);
    // Line by line, so that a request sent right behind this one stays in the socket for the next round.
    auto onData = [this, socket, request, idle] {
        while (request->awaited && socket->canReadLine()) {
            const QByteArray line = socket->readLine();
            request->headSize += line.size();
            if (line != "\r\n" && line != "\n") {
                request->lines.append(line.trimmed());
                continue;
            }
            request->awaited = false;
            idle->stop();
            m_idle.removeAll(socket);
            const QList<QByteArray> requestLine =
                request->lines.isEmpty() ? QList<QByteArray>() : request->lines.first().split(' ');
            if (requestLine.size() < 2) {
                socket->abort();
                return;
            }
            QByteArray target = requestLine.at(1);
            target = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
            respond(socket, requestLine.at(0), target);
            return;
        }
        if (request->awaited && request->headSize + socket->bytesAvailable() > maximumRequestHead) {
            socket->abort();
        }
    };
    const auto awaitRequest = [this, socket, request, idle, onData] {
        *request = Request{};
        idle->start(keepAliveIdleMs);
        m_idle.removeIf([](const QPointer<QSslSocket>& gone) { return gone.isNull(); });
        m_idle.append(socket);
        if (socket->bytesAvailable() > 0) {
            onData();
        }
    };
    m_awaitNextRequest.insert(socket, awaitRequest);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_awaitNextRequest.remove(socket); });
    connect(socket, &QIODevice::readyRead, this, onData);
    awaitRequest();
}

void PortalSimulator::answered(QSslSocket* socket) {
    if (!m_keepAlive) {
        socket->disconnectFromHost();
        return;
    }
    if (const auto next = m_awaitNextRequest.constFind(socket); next != m_awaitNextRequest.cend()) {
        const std::function<void()> awaitRequest = next.value(); // may read and answer the next one at once
        awaitRequest();
    }
}

void PortalSimulator::respond(QSslSocket* socket, const QByteArray& method, const QByteArray& target) {
    std::optional<Path> path;
    if (target == "/api1/rs/status") {
        path = Path::Status;
    } else if (target == "/api1/rs/tripInfo/trip") {
        path = Path::Trip;
    }
    if (!path) {
        writeResponse(socket, 404, "text/plain", "Not Found\n");
        return;
    }
    if (method != "GET") {
        writeResponse(socket, 405, "text/plain", "Method Not Allowed\n");
        return;
    }
    ++m_requests[pathIndex(*path)];
    if (m_scenario.inOutage(scenarioTime())) {
        hardReset(socket);
        return;
    }

    switch (fault(*path)) {
    case Fault::None:
    case Fault::WrongType:
        writeResponse(socket, statusCode(*path), "application/json", documentBody(*path));
        return;
    case Fault::Hang:
        return;
    case Fault::Trickle:
        trickle(socket, documentBody(*path));
        return;
    case Fault::ServerError:
        writeResponse(
            socket, 500, "text/html",
            "<!DOCTYPE html>\n<html><head><title>500 Internal Server Error</title></head>"
            "<body><h1>Internal Server Error</h1><p>The portal is not available.</p></body></html>\n");
        return;
    case Fault::NotFoundJson:
        writeResponse(socket, 404, "application/json", documentBody(*path));
        return;
    case Fault::Huge:
        streamHuge(socket);
        return;
    case Fault::Reset:
        resetMidBody(socket, documentBody(*path));
        return;
    case Fault::Chunked:
        writeChunked(socket, documentBody(*path));
        return;
    case Fault::NoLength:
        socket->write(head(200, "application/json", std::nullopt));
        socket->write(documentBody(*path));
        socket->disconnectFromHost();
        return;
    }
}

void PortalSimulator::writeResponse(QSslSocket* socket, int status, const QByteArray& contentType,
                                    const QByteArray& body) {
    socket->write(head(status, contentType, body.size(), m_keepAlive));
    socket->write(body);
    answered(socket);
}

void PortalSimulator::trickle(QSslSocket* socket, const QByteArray& body) {
    socket->write(head(200, "application/json", body.size()));
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent] {
        socket->write(body.mid(*sent, 1));
        if (++*sent >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(1000);
}

void PortalSimulator::streamHuge(QSslSocket* socket) {
    // No declared length, so only counting what arrives can stop the client. The body is written as the
    // socket drains, keeping the simulator's own memory flat.
    socket->write(head(200, "application/json", std::nullopt));
    const QByteArray prefix = R"({"trip":{"tripDate":")";
    const QByteArray suffix = R"("}})";
    const QByteArray filler(64 * 1024, 'x');
    auto sent = std::make_shared<qint64>(0);
    auto pump = [socket, prefix, suffix, filler, sent] {
        while (*sent < hugeBodySize &&
               socket->bytesToWrite() + socket->encryptedBytesToWrite() < streamWindow) {
            QByteArray chunk;
            if (*sent == 0) {
                chunk = prefix;
            }
            const qint64 room = hugeBodySize - *sent - suffix.size() - chunk.size();
            chunk += filler.left(static_cast<qsizetype>(std::min<qint64>(room, filler.size())));
            if (*sent + chunk.size() + suffix.size() >= hugeBodySize) {
                chunk += suffix;
            }
            const qint64 written = socket->write(chunk);
            if (written <= 0) {
                return; // the client went away
            }
            *sent += written;
        }
        if (*sent >= hugeBodySize) {
            socket->disconnectFromHost();
        }
    };
    connect(socket, &QSslSocket::encryptedBytesWritten, socket, pump);
    pump();
}

void PortalSimulator::writeChunked(QSslSocket* socket, const QByteArray& body) {
    QByteArray h = head(200, "application/json", std::nullopt, m_keepAlive);
    h.replace("\r\n\r\n", "\r\nTransfer-Encoding: chunked\r\n\r\n");
    socket->write(h);
    constexpr qsizetype piece = 7; // small and odd, so that chunk lines fall anywhere in the client's reads
    for (qsizetype at = 0; at < body.size(); at += piece) {
        const QByteArray part = body.mid(at, piece);
        socket->write(QByteArray::number(part.size(), 16) + ";ext=1\r\n" + part + "\r\n");
    }
    socket->write("0\r\nX-Trailer: done\r\n\r\n");
    answered(socket);
}

void PortalSimulator::closeIdleConnections() {
    for (const QPointer<QSslSocket>& socket : std::exchange(m_idle, {})) {
        if (socket) {
            socket->abort();
        }
    }
}

void PortalSimulator::resetMidBody(QSslSocket* socket, const QByteArray& body) {
    socket->write(head(200, "application/json", body.size()));
    socket->write(body.left(body.size() / 2));
    socket->flush();
    QTimer::singleShot(100, socket, [socket] { hardReset(socket); });
}

} // namespace quendle2::sim
