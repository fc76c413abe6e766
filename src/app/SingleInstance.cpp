#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray showRequest = "show\n";
const QByteArray showAnswer = "ok\n";

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        // Without a runtime folder the socket goes to the temporary folder, made per user by the uid.
        folder = QDir::tempPath();
        m_path = QDir(folder).filePath(u"%1-%2.socket"_s.arg(key).arg(::getuid()));
    } else {
        m_path = QDir(folder).filePath(key + u".socket"_s);
    }
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::askRunningInstance(int timeoutMilliseconds) {
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMilliseconds)) {
        return false;
    }
    socket.write(showRequest);
    if (!socket.waitForBytesWritten(timeoutMilliseconds)) {
        return false;
    }
    // The answer tells that the request was taken, not merely that a socket file existed.
    while (socket.bytesAvailable() < showAnswer.size()) {
        if (!socket.waitForReadyRead(timeoutMilliseconds)) {
            return false;
        }
    }
    return socket.readAll().startsWith(showAnswer);
}

bool SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        // A socket file left by an instance that crashed: nobody answered on it (askRunningInstance came
        // first), so it can go.
        if (m_server->serverError() == QAbstractSocket::AddressInUseError &&
            QLocalServer::removeServer(m_path) && m_server->listen(m_path)) {
            m_error.clear();
        } else {
            m_error = m_server->errorString();
            return false;
        }
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
