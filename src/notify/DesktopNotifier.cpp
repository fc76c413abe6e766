#include "notify/DesktopNotifier.h"

#include "platform/Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quendle2 {

DesktopNotifier::DesktopNotifier(const QDBusConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection) {}

void DesktopNotifier::show(const JourneyNotice& notice) {
    if (!m_connection.isConnected()) {
        return;
    }
    const int kind = static_cast<int>(notice.kind);
    QDBusMessage message =
        QDBusMessage::createMethodCall(service(), path(), service(), QStringLiteral("Notify"));
    const QString desktopEntry = QStringLiteral("org.quendle2.Quendle2");
    message << QStringLiteral("quendle2") << m_ids.value(kind, 0u) << desktopEntry << notice.summary
            << notice.body << QStringList() << QVariantMap{{QStringLiteral("desktop-entry"), desktopEntry}}
            << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, kind, notice] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            qCDebug(lcNotifications).noquote()
                << QStringLiteral("Notification not shown: %1").arg(reply.error().message());
            return;
        }
        m_ids.insert(kind, reply.value());
        Q_EMIT shown(notice, reply.value());
    });
}

} // namespace quendle2
