#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

namespace quendle2 {

/// The names of the in-process notifications. They carry no sender and no payload.
namespace Notification {
inline const QString TrainServiceDidUpdate = QStringLiteral("TrainServiceDidUpdate");
inline const QString SettingsDidChange = QStringLiteral("SettingsDidChange");
inline const QString OpenMainWindowRequested = QStringLiteral("OpenMainWindowRequested");
} // namespace Notification

/// Name-based broadcast between components that must not know each other (the service and the menu bar,
/// the settings view and the menu bar). Observers always run on the thread the centre lives on, the main
/// thread; a post from another thread is handed over to it. Observers are added and removed on the main
/// thread only.
class NotificationCenter final : public QObject {
    Q_OBJECT
public:
    using Token = quint64;
    using Callback = std::function<void()>;

    explicit NotificationCenter(QObject* parent = nullptr);

    /// The process's default centre, living on the application's main thread.
    static NotificationCenter& defaultCenter();

    /// Calls every observer registered for `name`, in registration order, before returning (when posted
    /// on the centre's own thread). Observers added during the post are not called for it; observers
    /// removed during the post are not called any more.
    void post(const QString& name);

    Token addObserver(const QString& name, Callback callback);
    /// As above, and the observer goes away on its own when `context` is destroyed.
    Token addObserver(const QString& name, QObject* context, Callback callback);
    void removeObserver(Token token);

    int observerCount(const QString& name) const;

private:
    struct Observer {
        Token token;
        QString name;
        QPointer<QObject> context;
        bool hasContext;
        Callback callback;
    };

    void deliver(const QString& name);
    const Observer* find(Token token) const;

    std::vector<Observer> m_observers;
    Token m_nextToken = 1;
};

} // namespace quendle2
