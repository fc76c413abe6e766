#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace quendle2 {

/// One running instance per user and flavour. The first launch listens on a local socket in the user's
/// runtime folder; a later launch finds it, asks it to show its main window, and leaves.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    /// `key` names the instance ("quendle2", "quendle2-demo"), so the demo and the real application can
    /// run side by side.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Asks a running instance to show its main window; true when one answered.
    bool askRunningInstance(int timeoutMilliseconds = 2000);
    /// Becomes the running instance; false (with errorString) when the socket cannot be made.
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
    QLocalServer* m_server = nullptr;
};

} // namespace quendle2
