#pragma once

#include "platform/Result.h"
#include "portal/PortalError.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

class QNetworkReply;

namespace quendle2 {

/// Watches one network reply until it yields a complete body or fails: collects the body, enforces the
/// total deadline and the size limit, and reports exactly once. It lives as a child of the reply, so a
/// reply torn down with its manager takes the transfer along without reporting.
class PortalTransfer final : public QObject {
    Q_OBJECT
public:
    using Body = Result<QByteArray, PortalError>;
    using Completion = std::function<void(const Body&)>;

    /// Starts watching `reply`; `timeoutMs` bounds the whole transfer, `maximumSize` the body.
    PortalTransfer(QNetworkReply* reply, int timeoutMs, qint64 maximumSize, Completion completion);

private:
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void onDeadline();
    void fail(PortalError error);
    void finish(const Body& body);
    QByteArray takeBody();

    QNetworkReply* m_reply;
    const int m_timeoutMs;
    const qint64 m_maximumSize;
    Completion m_completion;
    QTimer m_deadline;
    std::vector<QByteArray> m_chunks;
    qint64 m_size = 0;
    bool m_done = false;
};

} // namespace quendle2
