#pragma once

#include "menubar/StatusItem.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "store/AppSettings.h"
#include "store/RecordRef.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
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
    /// The application's own main windows, as a click sees them; no other top-level widget (a tray icon's
    /// own window, a dialog) is ever hidden or raised by a click.
    struct UserWindows {
        /// Most recently active first.
        std::function<QList<QWidget*>()> list;
        /// Shows one (restored, keeping it maximised), raised and active, with the host's activation token.
        std::function<void(QWidget* window, const QString& activationToken)> bringForward;
    };

    /// `item` may be null when no status item could be made (no session bus, no tray): the manager still
    /// rebuilds and logs. The container is held weakly.
    StatusBarManager(AppStore* store, ModelContainer* container, std::unique_ptr<StatusItem> item,
                     const Clock& clock = Clock::system(), QObject* parent = nullptr);
    ~StatusBarManager() override;

    StatusItem* statusItem() const { return m_statusItem.get(); }

    /// Until set, a click finds no window and asks for a new one.
    void setUserWindows(UserWindows windows) { m_windows = std::move(windows); }

    void rebuildMenubar();
    void onClick();
    /// A destination chosen by the user (an upcoming stop's EVA number, empty for automatic): selected,
    /// and the title follows at once rather than at the next poll.
    void chooseDestination(const QString& eva);
    /// The title of the latest rebuild.
    QString title() const { return m_title; }

Q_SIGNALS:
    /// The end of every rebuild, with the title the status item shows.
    void rebuilt(const QString& title);

private:
    void observe(const QString& name, const char* message);

    std::unique_ptr<StatusItem> m_statusItem;
    QPointer<ModelContainer> m_modelContainer;
    QPointer<AppStore> m_store;
    /// Read once, not on every poll (also when there is no settings row yet); read again when the settings
    /// say they changed.
    std::optional<RecordRef<AppSettings>> m_settings;
    QList<NotificationCenter::Token> m_observers;
    UserWindows m_windows;
    QString m_title;
    const Clock& m_clock;
};

} // namespace quendle2
