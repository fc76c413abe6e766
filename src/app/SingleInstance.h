#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace quendle2 {

/// One running instance per user and flavour. The instance holds a lock file in the user's runtime
/// folder for its whole life, and listens on a local socket beside it; a later launch finds the lock
/// taken, asks the holder over the socket to show its main window (handing over the launcher's activation
/// token), and leaves.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    /// `key` names the instance ("quendle2", "quendle2-demo"), so the demo and the real application can
    /// run side by side.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// The folder for the lock and the socket: $XDG_RUNTIME_DIR when it is ours and closed to others, else
    /// "quendle2-runtime" in the user's cache folder, made (or closed) with mode 0700. Never a folder others
    /// may write to, where they could put a lock or socket first. Empty, with `error` set, if there is none.
    static QString privateFolder(QString* error);

    /// Takes the lock; false when a live instance holds it, or when there is no private folder
    /// (errorString says so). The lock of an instance that died is taken over.
    bool claim();
    /// Whether the folder was usable; when not, claim() fails and errorString tells why.
    bool hasFolder() const { return !m_path.isEmpty(); }
    /// Asks the running instance to show its main window, retrying while it is still starting (the lock is
    /// taken before it listens); true when it answered. `activationToken` lets that window take the focus.
    bool askRunningInstance(const QString& activationToken = {}, int timeoutMilliseconds = 10'000);
    /// Starts answering later launches; only after claim(). False (with errorString) when the socket cannot
    /// be made.
    bool listen();
    QString errorString() const { return m_error; }
    QString socketPath() const { return m_path; }

Q_SIGNALS:
    /// Another launch asked for the main window, with its launcher's activation token (empty for none).
    void activationRequested(const QString& activationToken);

private:
    void acceptConnections();

    QString m_path;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace quendle2
