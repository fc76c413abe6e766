#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace quendle2 {

/// Where log messages end up: the systemd journal when one is reachable, else standard error.
/// Installed once by the executables; tests and tools that do not install it keep Qt's default output.
class LogSink {
public:
    enum class Target { Journal, Stderr };

    /// Installs the process-wide message handler and returns the target it chose. Setting
    /// QT_FORCE_STDERR_LOGGING=1 (Qt's own switch) keeps the messages on the terminal.
    static Target install();

    /// The line written to standard error for one message.
    static QString stderrLine(QtMsgType type, const char* category, const QString& message,
                              const QDateTime& when);

    /// syslog priority of a Qt message type, as the journal's PRIORITY field wants it.
    static int priority(QtMsgType type);

    /// Lower-case level name of a Qt message type.
    static QString levelName(QtMsgType type);
};

} // namespace quendle2
