#include "portal/ICEPortalClient.h"

#include "portal/PortalTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>
#include <cmath>

namespace quendle2 {

namespace {

constexpr char productionOriginText[] = "https://iceportal.de";

} // namespace

ICEPortalClient::ICEPortalClient(double timeout, QObject* parent)
    : PortalClient(parent)
    , m_session(new QNetworkAccessManager(this))
    , m_baseURL(productionOrigin())
    , m_timeout(timeout) {}

ICEPortalClient::ICEPortalClient(double timeout, const QUrl& origin,
                                 const QList<QSslCertificate>& caCertificates, QObject* parent)
    : PortalClient(parent)
    , m_session(new QNetworkAccessManager(this))
    , m_baseURL(origin)
    , m_timeout(timeout)
    , m_caCertificates(caCertificates) {}

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

    QNetworkRequest request(urlFor(path));
    request.setTransferTimeout(timeoutMs);
    // Stateless: nothing from one request may influence the next.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (m_caCertificates) {
        tls.setCaCertificates(*m_caCertificates);
    }
    request.setSslConfiguration(tls);

    QNetworkReply* reply = m_session->get(request);
    // Never let Qt buffer more than we are willing to read.
    reply->setReadBufferSize(256 * 1024);

    ++m_inFlight;
    QPointer<ICEPortalClient> self(this);
    new PortalTransfer(reply, timeoutMs, maximumBodySize, [fetch, self](const PortalTransfer::Body& body) {
        if (self) {
            self->transferEnded();
        }
        if (!body.ok()) {
            fetch.complete(Outcome::failure(body.error()));
            return;
        }
        auto decoded = T::decode(body.value());
        if (!decoded.ok()) {
            fetch.complete(Outcome::failure({PortalError::Kind::Decoding, decoded.error().description()}));
            return;
        }
        fetch.complete(Outcome::success(decoded.value()));
    });
    return fetch;
}

void ICEPortalClient::transferEnded() {
    // Qt keeps a record of every connection it has used, also of those the portal closed or broke off; polled
    // for weeks, they add up to megabytes. Once both documents are in, nothing of a connection is kept for
    // the next poll, as nothing else is. Clearing while the other document is still on its way would break
    // it.
    if (--m_inFlight == 0) {
        m_session->clearConnectionCache();
    }
}

} // namespace quendle2
