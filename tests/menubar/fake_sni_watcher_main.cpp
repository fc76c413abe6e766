// A StatusNotifierWatcher for end-to-end runs without a desktop: it claims the watcher's name on the bus
// that DBUS_SESSION_BUS_ADDRESS names and prints one line per event, flushed at once so a parent process
// can follow along: "ready", "registered <item>", "unregistered <item>".

#include "support/FakeStatusNotifierWatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>

namespace {

void say(const QString& line) {
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "fake-sni-watcher: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    quendle2::test::FakeStatusNotifierWatcher watcher(bus);
    QObject::connect(&watcher, &quendle2::test::FakeStatusNotifierWatcher::itemRegistered,
                     [](const QString& item) { say(QStringLiteral("registered ") + item); });
    QObject::connect(&watcher, &quendle2::test::FakeStatusNotifierWatcher::itemUnregistered,
                     [](const QString& item) { say(QStringLiteral("unregistered ") + item); });
    if (!watcher.start()) {
        std::fprintf(stderr, "fake-sni-watcher: org.kde.StatusNotifierWatcher is taken\n");
        return 1;
    }
    say(QStringLiteral("ready"));
    return app.exec();
}
