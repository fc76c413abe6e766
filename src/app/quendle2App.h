#pragma once

#include "app/AppFlavor.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

namespace quendle2 {

class AppStore;
class Clock;
class ContentView;
class ModelContainer;
class StatusBarManager;

/// The application: owns the store's container, the AppStore with the live service, the status bar manager
/// and the main windows, and starts polling when a main window first comes on screen.
class quendle2App final : public QObject {
    Q_OBJECT
public:
    /// The container is open; the first service is idle (no store, never started).
    quendle2App(std::unique_ptr<ModelContainer> container, AppFlavor::ServiceFactory connectedService,
                const Clock& clock, QObject* parent = nullptr);
    ~quendle2App() override;

    ModelContainer* sharedModelContainer() const { return m_container.get(); }
    AppStore* store() const { return m_store; }
    StatusBarManager* statusBarManager() const { return m_statusBarManager.get(); }
    QList<ContentView*> mainWindows() const;

    /// Brings the main window forward, creating it when there is none.
    ContentView* openMainWindow();
    /// Runs each time a main window comes on screen: the connected service replaces the idle one and
    /// starts, once; the status bar manager is made, once.
    void setup();

    /// The message for a store that cannot be opened.
    static QString storeFailureMessage(const QString& description);

private:
    std::unique_ptr<ModelContainer> m_container;
    AppFlavor::ServiceFactory m_connectedService;
    const Clock& m_clock;
    AppStore* m_store;
    std::unique_ptr<StatusBarManager> m_statusBarManager;
    QList<QPointer<ContentView>> m_windows;
};

} // namespace quendle2
