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
/// follow them redraw once.
class ServiceObserver final : public QObject {
    Q_OBJECT
public:
    using Signal = void (TrainService::*)();

    ServiceObserver(AppStore* store, QList<Signal> signalList, std::function<void()> changed,
                    QObject* parent);

    TrainService* service() const;

private:
    void attach();
    void schedule();

    AppStore* m_store;
    QList<Signal> m_signals;
    std::function<void()> m_changed;
    QList<QMetaObject::Connection> m_connections;
    bool m_scheduled = false;
};

} // namespace quendle2
