#include "views/ServiceObserver.h"

#include "service/AppStore.h"
#include "service/TrainService.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace quendle2 {

ServiceObserver::ServiceObserver(AppStore* store, QList<Signal> signalList, std::function<void()> changed,
                                 QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_signals(std::move(signalList))
    , m_changed(std::move(changed)) {
    if (m_store != nullptr) {
        connect(m_store, &AppStore::serviceChanged, this, [this] {
            attach();
            schedule();
        });
    }
    attach();
    if (parent != nullptr && parent->isWidgetType()) {
        parent->installEventFilter(this);
    }
}

bool ServiceObserver::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched == parent() && m_stale) {
        m_stale = false;
        m_changed();
    }
    return QObject::eventFilter(watched, event);
}

TrainService* ServiceObserver::service() const {
    return m_store != nullptr ? m_store->service() : nullptr;
}

void ServiceObserver::attach() {
    for (const QMetaObject::Connection& connection : std::as_const(m_connections)) {
        disconnect(connection);
    }
    m_connections.clear();
    TrainService* current = service();
    if (current == nullptr) {
        return;
    }
    for (Signal signal : std::as_const(m_signals)) {
        m_connections.append(connect(current, signal, this, &ServiceObserver::schedule));
    }
}

bool ServiceObserver::parentHidden() const {
    const auto* widget = qobject_cast<const QWidget*>(parent());
    return widget != nullptr && !widget->isVisible();
}

void ServiceObserver::schedule() {
    if (parentHidden()) {
        m_stale = true; // not even a timer: a closed window costs a poll nothing
        return;
    }
    if (m_scheduled) {
        return;
    }
    m_scheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        if (parentHidden()) {
            m_stale = true;
            return;
        }
        m_changed();
    });
}

} // namespace quendle2
