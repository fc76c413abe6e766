#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray showRequest = "show\n";
const QByteArray activateRequest = "activate ";
const QByteArray showAnswer = "ok\n";
constexpr int retryMilliseconds = 200;
constexpr qsizetype longestRequest = 4096;

/// "ok" when the running instance took the request, "?" when it did not understand it, nothing when it could
/// not be reached in time.
QByteArray askOnce(const QString& path, const QByteArray& request, const QDeadlineTimer& deadline) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        return {};
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
        return {};
    }
    // The answer tells that the request was taken, not merely that a socket existed.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            // An instance that does not understand the request answers a short "?" and hangs up.
            return socket.readAll();
        }
    }
    return socket.readLine();
}

/// Ours, a real folder (not a link), and closed to everyone else's writes.
bool isPrivateFolder(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

QString SingleInstance::privateFolder(QString* error) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime)) {
        return runtime;
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) {
        *error = u"there is neither a usable XDG_RUNTIME_DIR nor a home folder"_s;
        return {};
    }
    const QString folder = cache + u"/quendle2-runtime"_s;
    const QByteArray name = QFile::encodeName(folder);
    QDir().mkpath(cache);
    ::mkdir(name.constData(), S_IRWXU);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
        (info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        ::chmod(name.constData(), S_IRWXU);
    }
    if (!isPrivateFolder(folder)) {
        *error = u"%1 is not a folder of this user's that only this user may write to"_s.arg(folder);
        return {};
    }
    return folder;
}

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent) {
    const QString folder = privateFolder(&m_error);
    if (folder.isEmpty()) {
        return;
    }
    const QString base = QDir(folder).filePath(key);
    m_path = base + u".socket"_s;
    m_lock = std::make_unique<QLockFile>(base + u".lock"_s);
    // Never stale by age: a long-running instance keeps its lock. A lock whose process is gone is stale.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    return m_lock && m_lock->tryLock(0);
}

bool SingleInstance::askRunningInstance(const QString& activationToken, int timeoutMilliseconds) {
    if (!hasFolder()) {
        return false;
    }
    const QDeadlineTimer deadline(timeoutMilliseconds);
    QByteArray request = showRequest;
    if (!activationToken.isEmpty()) {
        request = activateRequest + activationToken.toUtf8().replace('\n', ' ') + '\n';
    }
    while (!deadline.hasExpired()) {
        const QByteArray answer = askOnce(m_path, request, deadline);
        if (answer == showAnswer) {
            return true;
        }
        if (answer.startsWith('?') && request != showRequest) {
            // An instance from before tokens were handed over: it still shows its window on a plain request.
            request = showRequest;
            continue;
        }
        QThread::msleep(
            static_cast<unsigned long>(std::min<qint64>(retryMilliseconds, deadline.remainingTime())));
    }
    return false;
}

bool SingleInstance::listen() {
    // Whoever holds the lock owns the socket path: a socket file there is a leftover of a dead instance.
    QLocalServer::removeServer(m_path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        m_error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine() && socket->bytesAvailable() < longestRequest) {
                return;
            }
            const QByteArray request = socket->readLine(longestRequest);
            std::optional<QString> token;
            if (request == showRequest) {
                token = QString();
            } else if (request.startsWith(activateRequest) && request.endsWith('\n')) {
                token = QString::fromUtf8(request.sliced(activateRequest.size()).chopped(1));
            }
            socket->write(token ? showAnswer : QByteArray("?\n"));
            socket->flush();
            socket->disconnectFromServer();
            if (token) {
                Q_EMIT activationRequested(*token);
            }
        });
    }
}

} // namespace quendle2
