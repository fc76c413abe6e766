#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace quendle2::test {

/// A dbus-daemon of the test's own, so D-Bus tests never touch the desktop's session bus and need none.
/// The daemon offers no activatable services: nothing on the machine can be started by a call on it.
class PrivateSessionBus {
public:
    PrivateSessionBus() = default;
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    /// The dbus-daemon executable, empty if it is not installed.
    static QString daemonProgram();

    /// Starts the daemon and waits for its address; false with `error` set if it could not.
    bool start(QString* error);
    QString address() const { return m_address; }
    /// A named connection to the bus, closed with it; its holders must let go of it first (declare the bus
    /// before them).
    QDBusConnection connect(const QString& name);

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

} // namespace quendle2::test
