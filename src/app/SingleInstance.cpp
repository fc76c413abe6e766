#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray showRequest = "show\n";
const QByteArray showAnswer = "ok\n";
constexpr int retryMilliseconds = 200;

bool askOnce(const QString& path, const QDeadlineTimer& deadline) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        return false;
    }
    socket.write(showRequest);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
        return false;
    }
    // The answer tells that the request was taken, not merely that a socket existed.
    while (socket.bytesAvailable() < showAnswer.size()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    return socket.readAll().startsWith(showAnswer);
}

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent) {
    QString base;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) {
        // Without a runtime folder the files go to the temporary folder, made per user by the uid.
        base = QDir(QDir::tempPath()).filePath(u"%1-%2"_s.arg(key).arg(::getuid()));
    } else {
        base = QDir(runtime).filePath(key);
    }
    m_path = base + u".socket"_s;
    m_lock = std::make_unique<QLockFile>(base + u".lock"_s);
    // Never stale by age: a long-running instance keeps its lock. A lock whose process is gone is stale.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    return m_lock->tryLock(0);
}

bool SingleInstance::askRunningInstance(int timeoutMilliseconds) {
    const QDeadlineTimer deadline(timeoutMilliseconds);
    while (!deadline.hasExpired()) {
        if (askOnce(m_path, deadline)) {
            return true;
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
            if (socket->bytesAvailable() < showRequest.size()) {
                return;
            }
            const bool show = socket->read(showRequest.size()) == showRequest;
            socket->write(show ? showAnswer : QByteArray("?\n"));
            socket->flush();
            socket->disconnectFromServer();
            if (show) {
                Q_EMIT activationRequested();
            }
        });
    }
}

} // namespace quendle2
