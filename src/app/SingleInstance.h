#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace quendle2 {

/// One running instance per user and flavour. The instance holds a lock file in the user's runtime
/// folder for its whole life, and listens on a local socket beside it; a later launch finds the lock
/// taken, asks the holder over the socket to show its main window, and leaves.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    /// `key` names the instance ("quendle2", "quendle2-demo"), so the demo and the real application can
    /// run side by side.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Takes the lock; false when a live instance holds it. The lock of an instance that died is taken over.
    bool claim();
    /// Asks the running instance to show its main window, retrying while it is still starting (the lock is
    /// taken before it listens); true when it answered.
    bool askRunningInstance(int timeoutMilliseconds = 10'000);
    /// Starts answering later launches; only after claim(). False (with errorString) when the socket cannot
    /// be made.
    bool listen();
    QString errorString() const { return m_error; }
    QString socketPath() const { return m_path; }

Q_SIGNALS:
    /// Another launch asked for the main window.
    void activationRequested();

private:
    void acceptConnections();

    QString m_path;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace quendle2
