#pragma once

#include "Scenario.h"
#include "SimTimeline.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QUrl>

#include <array>
#include <functional>
#include <optional>

class QSslKey;
class QSslServer;
class QSslSocket;

namespace quendle2 {
class Clock;
}

namespace quendle2::sim {

/// A stand-in for the train's onboard portal: HTTPS on loopback, serving the status and trip-info documents
/// of a scenario as it plays, with switchable faults per path. Runs on the caller's event loop.
class PortalSimulator final : public QObject {
    Q_OBJECT
public:
    enum class Path { Status, Trip };

    enum class Fault {
        None,
        Hang,         ///< accept the request, never answer
        Trickle,      ///< answer one body byte a second
        ServerError,  ///< 500 with an HTML page
        NotFoundJson, ///< 404 carrying the normal JSON document
        WrongType,    ///< the normal document with one value of the wrong JSON type
        Huge,         ///< a 20 MiB body without a declared length
        Reset,        ///< reset the connection half-way through the body
        Chunked,      ///< the normal document in chunks of a few bytes (chunked transfer coding)
        NoLength,     ///< the normal document without a declared length, ended by closing the connection
    };

    /// `clock` drives the scenario; it must outlive the simulator.
    PortalSimulator(Scenario scenario, const Clock& clock, QObject* parent = nullptr);
    ~PortalSimulator() override;

    /// Listens on loopback; port 0 picks a free one. Returns false (see errorString) on failure.
    bool listen(quint16 port = 0, const QHostAddress& address = QHostAddress::LocalHost);
    QString errorString() const;
    quint16 port() const;
    /// https://127.0.0.1:<port> (or the address listened on).
    QUrl origin() const;

    /// Serves `certificate` instead of the built-in one (signed by the test CA for loopback addresses), for
    /// standing in for the portal under another name.
    void setServerIdentity(const QSslCertificate& certificate, const QSslKey& key);

    /// The certificate authority that signed the simulator's server certificate: the one a client trusts.
    static QList<QSslCertificate> caCertificates();

    /// Plays the scenario from `startOffset` scenario seconds on, `factor` scenario seconds per wall second,
    /// starting now, at the real instant.
    void play(double factor, double startOffset = 0);
    /// Plays the scenario on `timeline`, for sharing it with a ScenarioClock.
    void play(const SimTimeline& timeline);
    double scenarioTime() const;
    const Scenario& scenario() const { return m_scenario; }

    void setFault(Path path, Fault fault);
    Fault fault(Path path) const;
    int requestCount(Path path) const;
    /// Connections accepted since the simulator started.
    int connectionCount() const { return m_connections; }
    /// Closes every kept connection that waits for its next request, as a server does after a while.
    void closeIdleConnections();

    /// Whether a connection stays open for further requests after a complete answer, as web servers keep
    /// it (the default); faults that stream, stall or break always close it.
    void setKeepAlive(bool keepAlive);

    /// Answers `path` with `status` instead of 200 wherever a fault leaves the status to the document (no
    /// fault, wrong type): the status line changes, the body does not.
    void setStatusCode(Path path, int status);
    int statusCode(Path path) const;

    /// Serves `body` verbatim on `path` instead of the scenario's document (none: back to the scenario).
    void setBody(Path path, std::optional<QByteArray> body);

    /// The document a request would get now, fault "wrong type" applied when it is set.
    QByteArray documentBody(Path path) const;

    static std::optional<Fault> faultFromName(const QString& name);
    static QString faultName(Fault fault);

private:
    void acceptConnections();
    void serve(QSslSocket* socket);
    /// An answer is complete: the connection closes, or waits for its next request.
    void answered(QSslSocket* socket);
    void respond(QSslSocket* socket, const QByteArray& method, const QByteArray& target);
    void writeResponse(QSslSocket* socket, int status, const QByteArray& contentType, const QByteArray& body);
    void trickle(QSslSocket* socket, const QByteArray& body);
    void streamHuge(QSslSocket* socket);
    void resetMidBody(QSslSocket* socket, const QByteArray& body);
    void writeChunked(QSslSocket* socket, const QByteArray& body);

    Scenario m_scenario;
    const Clock& m_clock;
    SimTimeline m_timeline;
    QSslServer* m_server;
    std::array<Fault, 2> m_faults{Fault::None, Fault::None};
    std::array<int, 2> m_requests{0, 0};
    std::array<int, 2> m_statusCodes{200, 200};
    bool m_keepAlive = true;
    int m_connections = 0;
    QList<QPointer<QSslSocket>> m_idle;
    QHash<QObject*, std::function<void()>> m_awaitNextRequest;
    std::array<std::optional<QByteArray>, 2> m_bodies;
};

} // namespace quendle2::sim
