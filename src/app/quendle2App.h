#pragma once

#include "app/AppFlavor.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace quendle2 {

class AppStore;
class Clock;
class ContentView;
class ModelContainer;
class JourneyBus;
class JourneyNotifier;
class StatusBarManager;
class StatusItem;

/// The application: owns the store's container, the AppStore with the live service, the status bar manager
/// and the main windows, and starts polling when a main window first comes on screen.
class quendle2App final : public QObject {
    Q_OBJECT
public:
    using StatusItemFactory = std::function<std::unique_ptr<StatusItem>()>;

    /// The container is open; the first service is idle (no store, never started). Without
    /// `makeStatusItem`, the status item is the desktop's (createStatusItem).
    quendle2App(std::unique_ptr<ModelContainer> container, AppFlavor::ServiceFactory connectedService,
                const Clock& clock, QObject* parent = nullptr, StatusItemFactory makeStatusItem = {});
    ~quendle2App() override;

    ModelContainer* sharedModelContainer() const { return m_container.get(); }
    AppStore* store() const { return m_store; }
    StatusBarManager* statusBarManager() const { return m_statusBarManager.get(); }
    QList<ContentView*> mainWindows() const;

    /// Brings the most recently active main window forward, creating one when there is none;
    /// `activationToken` is the launcher's or host's (see ContentView::bringForward).
    ContentView* openMainWindow(const QString& activationToken = {});
    /// The session-bus name the journey is published under when the status bar manager is made; none
    /// until set.
    void setBusName(const QString& name) { m_busName = name; }
    /// Runs each time a main window comes on screen: the connected service replaces the idle one and
    /// starts, once; the status bar manager is made, once.
    void setup();

private:
    /// Whether anything on the desktop shows the status item decides what closing the last window does,
    /// and whether the windows say what to install.
    void followHost(bool hosted);

    std::unique_ptr<ModelContainer> m_container;
    AppFlavor::ServiceFactory m_connectedService;
    StatusItemFactory m_makeStatusItem;
    QString m_hostHint;
    const Clock& m_clock;
    AppStore* m_store = nullptr;
    std::unique_ptr<StatusBarManager> m_statusBarManager;
    std::unique_ptr<JourneyNotifier> m_journeyNotifier;
    QString m_busName;
    std::unique_ptr<JourneyBus> m_journeyBus;
    QList<QPointer<ContentView>> m_windows;
};

} // namespace quendle2
