#include "portal/ICEPortalClient.h"

#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>
#include <cmath>
#include <optional>

namespace quendle2 {

namespace {

constexpr char productionOriginText[] = "https://iceportal.de";

// Two documents per poll, each on its own connection; more stay open only while ticks overlap.
constexpr std::size_t maximumIdleConnections = 2;

PortalConnection::Endpoint endpointOf(const QUrl& origin,
                                      const std::optional<QList<QSslCertificate>>& authorities) {
    PortalConnection::Endpoint endpoint;
    endpoint.host = origin.host();
    endpoint.port = static_cast<quint16>(origin.port(443));
    endpoint.tls = QSslConfiguration::defaultConfiguration();
    endpoint.tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (authorities) {
        endpoint.tls.setCaCertificates(*authorities);
    }
    return endpoint;
}

} // namespace

ICEPortalClient::ICEPortalClient(double timeout, QObject* parent)
    : PortalClient(parent)
    , m_baseURL(productionOrigin())
    , m_timeout(timeout)
    , m_endpoint(endpointOf(m_baseURL, std::nullopt)) {}

ICEPortalClient::ICEPortalClient(double timeout, const QUrl& origin,
                                 const QList<QSslCertificate>& caCertificates, QObject* parent)
    : PortalClient(parent)
    , m_baseURL(origin)
    , m_timeout(timeout)
    , m_endpoint(endpointOf(origin, caCertificates)) {}

QUrl ICEPortalClient::productionOrigin() {
    return QUrl(QString::fromLatin1(productionOriginText));
}

PortalFetch<ICEStatus> ICEPortalClient::fetchStatus() {
    return fetchDocument<ICEStatus>(QStringLiteral("api1/rs/status"));
}

PortalFetch<ICETripInfo> ICEPortalClient::fetchTrip() {
    return fetchDocument<ICETripInfo>(QStringLiteral("api1/rs/tripInfo/trip"));
}

QUrl ICEPortalClient::urlFor(const QString& path) const {
    QUrl url = m_baseURL;
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    url.setPath(base + QLatin1Char('/') + path);
    return url;
}

template <typename T>
PortalFetch<T> ICEPortalClient::fetchDocument(const QString& path) {
    using Outcome = typename PortalFetch<T>::Outcome;
    PortalFetch<T> fetch;
    if (m_baseURL.scheme() != QLatin1StringView("https")) {
        // Never talk to the portal without TLS, whatever origin a caller passed in.
        fetch.complete(Outcome::failure(
            {PortalError::Kind::Network, QStringLiteral("Refusing %1: the portal is only reached over https")
                                             .arg(m_baseURL.toDisplayString())}));
        return fetch;
    }
    // A time-out that is not a positive number would disable both time-outs; keep at least a millisecond.
    const double boundedMs =
        std::isfinite(m_timeout) ? std::clamp(m_timeout * 1000.0, 1.0, 3'600'000.0) : 3000.0;
    const int timeoutMs = static_cast<int>(boundedMs);

    const QUrl url = urlFor(path);
    // The default headers of a browser-like client, without compression: nothing of an earlier answer
    // (cookie, credential, validator) is ever sent.
    const QByteArray request = "GET " + url.path(QUrl::FullyEncoded).toLatin1() + " HTTP/1.1\r\nHost: " +
                               url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1() +
                               "\r\nUser-Agent: Mozilla/5.0\r\nConnection: keep-alive\r\n\r\n";
    idleConnection()->get(
        request, timeoutMs, maximumBodySize, [this, fetch](const PortalConnection::Body& body) {
            closeSurplusConnections();
            if (!body.ok()) {
                fetch.complete(Outcome::failure(body.error()));
                return;
            }
            auto decoded = T::decode(body.value());
            if (!decoded.ok()) {
                fetch.complete(
                    Outcome::failure({PortalError::Kind::Decoding, decoded.error().description()}));
                return;
            }
            fetch.complete(Outcome::success(decoded.takeValue()));
        });
    return fetch;
}

ICEPortalClient::~ICEPortalClient() {
    // Before the endpoint they refer to goes; a fetch in flight is never reported.
    qDeleteAll(m_connections);
}

PortalConnection* ICEPortalClient::idleConnection() {
    PortalConnection* closed = nullptr;
    for (PortalConnection* connection : m_connections) {
        if (!connection->isBusy()) {
            if (connection->isOpen()) {
                return connection;
            }
            closed = closed != nullptr ? closed : connection;
        }
    }
    return closed != nullptr ? closed : m_connections.emplace_back(new PortalConnection(m_endpoint, this));
}

void ICEPortalClient::closeSurplusConnections() {
    // Keep the idle connections that are still open, as many as one poll needs.
    std::stable_partition(m_connections.begin(), m_connections.end(),
                          [](const PortalConnection* connection) { return connection->isOpen(); });
    std::size_t idle = 0;
    std::erase_if(m_connections, [&idle](PortalConnection* connection) {
        if (connection->isBusy() || ++idle <= maximumIdleConnections) {
            return false;
        }
        connection->deleteLater(); // it may be the one reporting right now
        return true;
    });
}

} // namespace quendle2
