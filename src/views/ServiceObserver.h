#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>

#include <functional>

namespace quendle2 {

class AppStore;
class TrainService;

/// Calls `changed` once per event-loop turn after any of the given signals of the live service fired, and
/// when the store hands out another service. A tick assigns several properties in a row; the views that
/// follow them redraw once. While the parent widget cannot be seen (the window closed to the status bar),
/// the call waits until it is shown again: a status-bar application polls for weeks with its window closed,
/// and must not redraw for nobody on every poll.
class ServiceObserver final : public QObject {
    Q_OBJECT
public:
    using Signal = void (TrainService::*)();

    ServiceObserver(AppStore* store, QList<Signal> signalList, std::function<void()> changed,
                    QObject* parent);

    TrainService* service() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach();
    void schedule();
    bool parentHidden() const;

    AppStore* m_store = nullptr;
    QList<Signal> m_signals;
    std::function<void()> m_changed;
    QList<QMetaObject::Connection> m_connections;
    bool m_scheduled = false;
    bool m_stale = false; ///< a change came while the parent could not be seen
};

} // namespace quendle2
