#include "portal/PortalTransfer.h"

#include <QNetworkReply>
#include <QPointer>

namespace quendle2 {

namespace {

QString seconds(int ms) {
    return QString::number(ms / 1000.0, 'g', 3) + QStringLiteral(" s");
}

QString megabytes(qint64 bytes) {
    return QString::number(bytes / (1024 * 1024)) + QStringLiteral(" MiB");
}

/// Whether the whole answer arrived although Qt reports an error. Qt turns every HTTP status of 400 and
/// above into an error of one of several families (content, server, authentication, proxy authentication,
/// and "invalid operation" for 400 and 418); for the portal those are answers like any other, and only
/// whether the body decodes decides. A dropped link, a time-out or a TLS failure keeps its own error.
bool isAnsweredWithErrorStatus(const QNetworkReply& reply) {
    if (reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() < 400) {
        return false;
    }
    switch (const QNetworkReply::NetworkError error = reply.error()) {
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::ProtocolInvalidOperationError:
        return true;
    case QNetworkReply::ContentReSendError:
        return false;
    default:
        return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
               (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    }
}

} // namespace

PortalTransfer::PortalTransfer(QNetworkReply* reply, int timeoutMs, qint64 maximumSize, Completion completion)
    : QObject(reply)
    , m_reply(reply)
    , m_timeoutMs(timeoutMs)
    , m_maximumSize(maximumSize)
    , m_completion(std::move(completion)) {
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    connect(&m_deadline, &QTimer::timeout, this, &PortalTransfer::onDeadline);
    connect(reply, &QNetworkReply::metaDataChanged, this, &PortalTransfer::onMetaData);
    connect(reply, &QNetworkReply::readyRead, this, &PortalTransfer::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &PortalTransfer::onFinished);
    m_deadline.start(timeoutMs);
}

void PortalTransfer::onMetaData() {
    bool known = false;
    const qint64 declared = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (known && declared > m_maximumSize) {
        fail({PortalError::Kind::TooLarge,
              QStringLiteral("The response is too large (%1 bytes declared, at most %2)")
                  .arg(declared)
                  .arg(megabytes(m_maximumSize))});
    }
}

void PortalTransfer::onReadyRead() {
    if (m_done) {
        return;
    }
    // Read in bounded steps so that a hostile body never sits in memory beyond the limit. Chunks are kept
    // apart until the body is complete: growing one buffer would briefly hold two copies of it.
    while (m_reply->bytesAvailable() > 0) {
        QByteArray chunk = m_reply->read(std::min(m_maximumSize - m_size + 1, m_reply->bytesAvailable()));
        m_size += chunk.size();
        m_chunks.push_back(std::move(chunk));
        if (m_size > m_maximumSize) {
            fail({PortalError::Kind::TooLarge,
                  QStringLiteral("The response is too large (more than %1)").arg(megabytes(m_maximumSize))});
            return;
        }
    }
}

QByteArray PortalTransfer::takeBody() {
    QByteArray body;
    body.reserve(m_size);
    for (QByteArray& chunk : m_chunks) {
        body += chunk;
        chunk = QByteArray(); // release as we go
    }
    m_chunks.clear();
    return body;
}

void PortalTransfer::onFinished() {
    if (m_done) {
        return;
    }
    const QPointer<PortalTransfer> self(this);
    onReadyRead();
    if (self.isNull() || m_done) {
        return;
    }
    const QNetworkReply::NetworkError error = m_reply->error();
    if (error == QNetworkReply::NoError || isAnsweredWithErrorStatus(*m_reply)) {
        finish(Body::success(takeBody()));
        return;
    }
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        // The idle time-out of the request aborts the reply without our deadline having fired.
        fail({PortalError::Kind::Timeout,
              QStringLiteral("The request timed out (no data for %1)").arg(seconds(m_timeoutMs))});
        return;
    }
    fail({PortalError::Kind::Network, m_reply->errorString()});
}

void PortalTransfer::onDeadline() {
    fail({PortalError::Kind::Timeout,
          QStringLiteral("The request timed out (not complete within %1)").arg(seconds(m_timeoutMs))});
}

void PortalTransfer::fail(PortalError error) {
    finish(Body::failure(std::move(error)));
}

void PortalTransfer::finish(const Body& body) {
    if (m_done) {
        return;
    }
    m_done = true;
    m_deadline.stop();
    m_chunks.clear();
    // Stop the transfer before reporting: abort() re-enters onFinished, which m_done now ignores, and the
    // report may tear down the client, the reply and this object with it, so nothing follows it.
    if (m_reply->isRunning()) {
        m_reply->abort();
    }
    m_reply->deleteLater();
    Completion completion = std::exchange(m_completion, nullptr);
    completion(body);
}

} // namespace quendle2
