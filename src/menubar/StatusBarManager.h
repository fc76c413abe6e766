#pragma once

#include "menubar/StatusItem.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "store/AppSettings.h"
#include "store/RecordRef.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QWidget;

namespace quendle2 {

class AppStore;
class ModelContainer;

/// Owns the status item: keeps its title current after every service update and settings change, and turns
/// a click into hiding the application, raising its window, or asking for a new main window.
class StatusBarManager final : public QObject {
    Q_OBJECT
public:
    /// `item` may be null when no status item could be made (no session bus, no tray): the manager still
    /// rebuilds and logs. The container is held weakly.
    StatusBarManager(AppStore* store, ModelContainer* container, std::unique_ptr<StatusItem> item,
                     const Clock& clock = Clock::system(), QObject* parent = nullptr);
    ~StatusBarManager() override;

    StatusItem* statusItem() const { return m_statusItem.get(); }

    void rebuildMenubar();
    void onClick();

    /// The application's own top-level windows of type Qt::Window, in the application's order.
    static QList<QWidget*> userWindows();

private:
    void observe(const QString& name, const char* message);

    std::unique_ptr<StatusItem> m_statusItem;
    QPointer<ModelContainer> m_modelContainer;
    QPointer<AppStore> m_store;
    /// Read once, not on every poll (also when there is no settings row yet); read again when the settings
    /// say they changed.
    std::optional<RecordRef<AppSettings>> m_settings;
    QList<NotificationCenter::Token> m_observers;
    const Clock& m_clock;
};

} // namespace quendle2
