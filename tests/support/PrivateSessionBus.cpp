#include "support/PrivateSessionBus.h"

#include <QFile>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>

namespace quendle2::test {

namespace {

QByteArray configFor(const QString& socketDir) {
    // The stock session configuration would also offer every activatable service installed on the
    // machine; a real StatusNotifierWatcher started that way would race the test's fake one.
    return QByteArrayLiteral(
               R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=)") +
           socketDir.toUtf8() + QByteArrayLiteral(R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
}

} // namespace

QDBusConnection PrivateSessionBus::connect(const QString& name) {
    m_connections << name;
    return QDBusConnection::connectToBus(m_address, name);
}

PrivateSessionBus::~PrivateSessionBus() {
    for (const QString& name : std::as_const(m_connections)) {
        QDBusConnection::disconnectFromBus(name);
    }
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
}

QString PrivateSessionBus::daemonProgram() {
    return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
}

bool PrivateSessionBus::start(QString* error) {
    const QString program = daemonProgram();
    if (program.isEmpty()) {
        *error = QStringLiteral("dbus-daemon is not installed");
        return false;
    }
    if (!m_dir.isValid()) {
        *error = QStringLiteral("no temporary directory: ") + m_dir.errorString();
        return false;
    }
    const QString configPath = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly) || config.write(configFor(m_dir.path())) < 0) {
        *error = QStringLiteral("cannot write ") + configPath;
        return false;
    }
    config.close();

    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    // A test that crashes or is killed by its time-out runs no destructor; the daemon goes with it anyway.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(program, {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                             QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000)) {
        *error = QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
        return false;
    }
    QByteArray out;
    while (!out.contains('\n')) {
        if (!m_daemon.waitForReadyRead(10000)) {
            *error = QStringLiteral("dbus-daemon printed no address: ") +
                     QString::fromLocal8Bit(m_daemon.readAllStandardError());
            return false;
        }
        out += m_daemon.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(out.left(out.indexOf('\n')).trimmed());
    return !m_address.isEmpty();
}

} // namespace quendle2::test
