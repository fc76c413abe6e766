#include "portal/ICEPortalClient.h"

#include "portal/PortalTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslSocket>

namespace quendle2 {

namespace {

constexpr char productionOriginText[] = "https://iceportal.de";

} // namespace

ICEPortalClient::ICEPortalClient(double timeout, QObject* parent)
    : QObject(parent)
    , m_session(new QNetworkAccessManager(this))
    , m_baseURL(productionOrigin())
    , m_timeout(timeout) {}

ICEPortalClient::ICEPortalClient(double timeout, const QUrl& origin,
                                 const QList<QSslCertificate>& caCertificates, QObject* parent)
    : QObject(parent)
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
    const int timeoutMs = static_cast<int>(m_timeout * 1000.0);

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

    PortalFetch<T> fetch;
    new PortalTransfer(reply, timeoutMs, maximumBodySize, [fetch](const PortalTransfer::Body& body) {
        using Outcome = typename PortalFetch<T>::Outcome;
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

} // namespace quendle2
