#include "platform/LogSink.h"

#include "platform/Log.h"

#include <QByteArray>

#include <cstdio>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace quendle2 {

namespace {

void writeToStderr(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray line = LogSink::stderrLine(type, context.category ? context.category : "default",
                                                message, QDateTime::currentDateTimeUtc())
                                .toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void writeToJournal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const char* category = context.category ? context.category : "default";
    const QByteArray text = message.toUtf8();
    const QByteArray component = Log::componentOf(category).toUtf8();
    const int rc = sd_journal_send("MESSAGE=%s", text.constData(), "PRIORITY=%d", LogSink::priority(type),
                                   "SYSLOG_IDENTIFIER=quendle2", "QUENDLE2_SUBSYSTEM=%s", Log::subsystem,
                                   "QUENDLE2_CATEGORY=%s", component.constData(), nullptr);
    if (rc < 0) {
        // The journal went away (for example a container without it): never drop the message.
        writeToStderr(type, context, message);
    }
}

bool journalReachable() {
    return ::access("/run/systemd/journal/socket", W_OK) == 0;
}

} // namespace

LogSink::Target LogSink::install() {
    const bool forceStderr = qEnvironmentVariableIntValue("QT_FORCE_STDERR_LOGGING") != 0;
    if (!forceStderr && journalReachable()) {
        qInstallMessageHandler(writeToJournal);
        return Target::Journal;
    }
    qInstallMessageHandler(writeToStderr);
    return Target::Stderr;
}

QString LogSink::stderrLine(QtMsgType type, const char* category, const QString& message,
                            const QDateTime& when) {
    return when.toUTC().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + levelName(type) + QLatin1Char(' ') +
           Log::componentOf(category) + QStringLiteral(": ") + message;
}

int LogSink::priority(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return 7;
    case QtInfoMsg:
        return 6;
    case QtWarningMsg:
        return 4;
    case QtCriticalMsg:
        return 3;
    case QtFatalMsg:
        return 2;
    }
    return 6;
}

QString LogSink::levelName(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("debug");
    case QtInfoMsg:
        return QStringLiteral("info");
    case QtWarningMsg:
        return QStringLiteral("warning");
    case QtCriticalMsg:
        return QStringLiteral("error");
    case QtFatalMsg:
        return QStringLiteral("fatal");
    }
    return QStringLiteral("info");
}

} // namespace quendle2
