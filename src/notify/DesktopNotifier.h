#pragma once

#include "notify/JourneyNotices.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

namespace quendle2 {

/// Shows notices through the desktop's notification server (org.freedesktop.Notifications). Each kind of
/// notice replaces its own previous one, so a changed platform does not pile up beside the old news. Without
/// a server nothing is shown and nothing fails.
class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    static QString service() { return QStringLiteral("org.freedesktop.Notifications"); }
    static QString path() { return QStringLiteral("/org/freedesktop/Notifications"); }

    explicit DesktopNotifier(const QDBusConnection& connection = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

    /// Sends without waiting; the server's answer arrives later.
    void show(const JourneyNotice& notice);

Q_SIGNALS:
    /// The server answered a notice with its id (tests wait for it).
    void shown(const JourneyNotice& notice, uint id);

private:
    QDBusConnection m_connection;
    /// The server's id of the latest notice of each kind.
    QHash<int, uint> m_ids;
};

} // namespace quendle2
