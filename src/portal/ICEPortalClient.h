#pragma once

#include "portal/PortalClient.h"
#include "portal/PortalConnection.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QUrl>

#include <vector>

namespace quendle2 {

/// The one component that talks to the onboard portal: two stateless HTTPS GETs, each decoded strictly.
///
/// The client keeps no state between calls (no cookies, cache or credentials), never retries and never
/// logs; the caller logs failures. Only its HTTPS connections outlive a fetch, so that polling does not
/// pay a handshake each time. Both fetches may be in flight at once, each on a connection of its own, and
/// neither blocks the thread. TLS is always verified. A fetch fails when the whole transfer, or any pause
/// in it, exceeds the time-out, and when the body grows past `maximumBodySize`. The HTTP status is not
/// examined: any body that decodes is a success. A fetch's handler may release the client only with
/// deleteLater(): the connection that reported is still on the stack.
class ICEPortalClient final : public PortalClient {
    Q_OBJECT
public:
    static constexpr qint64 maximumBodySize = 4 * 1024 * 1024;

    /// The production portal, trusting the system's certificate authorities.
    explicit ICEPortalClient(double timeout, QObject* parent = nullptr);

    /// Another origin (https, host, optional port) trusting only `caCertificates`: for tests and the demo.
    ICEPortalClient(double timeout, const QUrl& origin, const QList<QSslCertificate>& caCertificates,
                    QObject* parent = nullptr);
    ~ICEPortalClient() override;

    static QUrl productionOrigin();

    QUrl baseURL() const { return m_baseURL; }
    double timeout() const { return m_timeout; }

    /// GET api1/rs/status. If the client is destroyed first, the fetch never completes.
    PortalFetch<ICEStatus> fetchStatus() override;
    /// GET api1/rs/tripInfo/trip. If the client is destroyed first, the fetch never completes.
    PortalFetch<ICETripInfo> fetchTrip() override;

    /// The request URL of a path below the origin, e.g. "api1/rs/status".
    QUrl urlFor(const QString& path) const;

private:
    template <typename T>
    PortalFetch<T> fetchDocument(const QString& path);
    PortalConnection* idleConnection();
    void closeSurplusConnections();

    const QUrl m_baseURL;
    const double m_timeout;
    const PortalConnection::Endpoint m_endpoint;
    std::vector<PortalConnection*> m_connections;
};

} // namespace quendle2
