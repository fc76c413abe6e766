#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

namespace quendle2 {

NotificationCenter::NotificationCenter(QObject* parent)
    : QObject(parent) {}

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = [] {
        auto* c = new NotificationCenter;
        // Observers run on the main thread, even if a worker happens to ask first.
        if (QCoreApplication::instance() != nullptr) {
            c->moveToThread(QCoreApplication::instance()->thread());
        }
        return c;
    }();
    return *center;
}

void NotificationCenter::post(const QString& name) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, name] { deliver(name); }, Qt::QueuedConnection);
        return;
    }
    deliver(name);
}

void NotificationCenter::deliver(const QString& name) {
    // Collect first: callbacks may add or remove observers while we iterate.
    std::vector<Token> due;
    for (const Observer& o : m_observers) {
        if (o.name == name) {
            due.push_back(o.token);
        }
    }
    for (Token token : due) {
        const Observer* o = find(token);
        if (o == nullptr) {
            continue;
        }
        if (o->hasContext && o->context.isNull()) {
            removeObserver(token);
            continue;
        }
        Callback callback = o->callback; // the observer may remove itself while running
        callback();
    }
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, Callback callback) {
    const Token token = m_nextToken++;
    m_observers.push_back(Observer{token, name, nullptr, false, std::move(callback)});
    return token;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, QObject* context,
                                                          Callback callback) {
    const Token token = m_nextToken++;
    m_observers.push_back(Observer{token, name, context, true, std::move(callback)});
    if (context != nullptr) {
        connect(context, &QObject::destroyed, this, [this, token] { removeObserver(token); });
    }
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::erase_if(m_observers, [token](const Observer& o) { return o.token == token; });
}

int NotificationCenter::observerCount(const QString& name) const {
    return static_cast<int>(std::count_if(m_observers.begin(), m_observers.end(),
                                          [&](const Observer& o) { return o.name == name; }));
}

const NotificationCenter::Observer* NotificationCenter::find(Token token) const {
    auto it = std::find_if(m_observers.begin(), m_observers.end(),
                           [token](const Observer& o) { return o.token == token; });
    return it == m_observers.end() ? nullptr : &*it;
}

} // namespace quendle2
