#include "menubar/StatusBarManager.h"

#include "menubar/ClickDecision.h"
#include "menubar/MenubarTitle.h"
#include "platform/ActivationToken.h"
#include "platform/Log.h"
#include "service/AppStore.h"
#include "service/TrainService.h"
#include "store/AppSettings.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"

#include <QGuiApplication>
#include <QWidget>

namespace quendle2 {

StatusBarManager::StatusBarManager(AppStore* store, ModelContainer* container,
                                   std::unique_ptr<StatusItem> item, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_statusItem(std::move(item))
    , m_modelContainer(container)
    , m_store(store)
    , m_clock(clock) {
    if (m_statusItem) {
        connect(m_statusItem.get(), &StatusItem::clicked, this, &StatusBarManager::onClick);
        connect(m_statusItem.get(), &StatusItem::destinationChosen, this,
                &StatusBarManager::chooseDestination);
        if (ModelContext* context = container != nullptr ? container->mainContext() : nullptr) {
            const auto showSaveState = [this, context] { m_statusItem->setWarning(context->saveWarning()); };
            connect(context, &ModelContext::saveFailed, this, showSaveState);
            connect(context, &ModelContext::saved, this, showSaveState);
            connect(context, &ModelContext::readFailed, this, showSaveState);
            connect(context, &ModelContext::readRecovered, this, showSaveState);
            showSaveState();
        }
    }
    rebuildMenubar();
    observe(Notification::TrainServiceDidUpdate, "Observer: trainServiceDidUpdate received");
    observe(Notification::SettingsDidChange, "Observer: settingsDidChange received");
}

StatusBarManager::~StatusBarManager() {
    for (NotificationCenter::Token token : std::as_const(m_observers)) {
        NotificationCenter::defaultCenter().removeObserver(token);
    }
}

void StatusBarManager::observe(const QString& name, const char* message) {
    m_observers.append(NotificationCenter::defaultCenter().addObserver(name, this, [this, name, message] {
        // One rebuild per notification, in a later turn: never inside the poster's call.
        QMetaObject::invokeMethod(
            this,
            [this, name, message] {
                qCDebug(lcStatusBar).noquote() << QLatin1StringView(message);
                if (name == Notification::SettingsDidChange) {
                    m_settings.reset();
                }
                rebuildMenubar();
            },
            Qt::QueuedConnection);
    }));
}

void StatusBarManager::chooseDestination(const QString& eva) {
    if (TrainService* service = m_store ? m_store->service() : nullptr) {
        service->selectDestination(eva.isEmpty() ? std::nullopt : std::optional<QString>(eva));
        rebuildMenubar();
    }
}

void StatusBarManager::rebuildMenubar() {
    ModelContainer* container = m_modelContainer;
    if (container == nullptr) {
        return;
    }
    if (!m_settings) {
        m_settings = loadMenubarSettings(container->mainContext());
    }
    const AppSettings* settings = *m_settings;
    const TrainService* service = m_store ? m_store->service() : nullptr;
    const MenubarSnapshot snapshot = service != nullptr ? MenubarSnapshot::of(*service) : MenubarSnapshot{};
    const QDateTime now = m_clock.now();
    if (!snapshot.lastStatusAt) {
        qCDebug(lcStatusBar).noquote()
            << QStringLiteral("Rebuild menubar: connected=%1 lastStatusAge=nil speed=%2 wifi=%3")
                   .arg(Log::boolText(snapshot.connected), Log::fixed(snapshot.currentSpeedKmh, 1),
                        snapshot.wifiQuality);
    } else {
        qCDebug(lcStatusBar).noquote()
            << QStringLiteral("Rebuild menubar: connected=%1 lastStatusAge=%2s speed=%3 wifi=%4")
                   .arg(Log::boolText(snapshot.connected),
                        Log::fixed(Clock::secondsBetween(*snapshot.lastStatusAt, now), 2),
                        Log::fixed(snapshot.currentSpeedKmh, 1), snapshot.wifiQuality);
    }
    const std::optional<MenubarFlags> flags =
        settings != nullptr ? std::optional<MenubarFlags>(MenubarFlags::from(*settings)) : std::nullopt;
    const QString title = composeMenubarTitle(flags, snapshot, now);
    if (m_statusItem) {
        m_statusItem->setTitle(title);
        m_statusItem->setMenu(service != nullptr ? composeJourneyMenu(JourneySnapshot::of(*service), now)
                                                 : composeJourneyMenu(JourneySnapshot{}, now));
    }
    if (!snapshot.connected) {
        qCDebug(lcStatusBar).noquote() << "Menubar shows disconnected (connected flag false)";
    } else {
        qCDebug(lcStatusBar).noquote() << QStringLiteral("Menubar title updated: %1").arg(title);
    }
    m_title = title;
    Q_EMIT rebuilt(title);
}

void StatusBarManager::onClick() {
    const QString token = m_statusItem ? m_statusItem->takeActivationToken() : QString();
    const QList<QWidget*> windows = m_windows.list ? m_windows.list() : QList<QWidget*>{};
    QList<ClickDecision::Window> states;
    for (const QWidget* window : windows) {
        states.append({window->isVisible(), window->isMinimized()});
    }
    const bool active = QGuiApplication::applicationState() == Qt::ApplicationActive;
    const ClickDecision decision = ClickDecision::decide(active, states);
    if (decision.action == ClickDecision::Action::HideApplication) {
        qCDebug(lcStatusBar).noquote() << "Menubar click: active + visible window(s) -> hiding app";
        for (QWidget* window : windows) {
            window->hide();
        }
        return;
    }
    qCDebug(lcStatusBar).noquote()
        << QStringLiteral("Menubar click: ensuring app is shown/focused (active=%1 hasVisibleWindow=%2)")
               .arg(Log::boolText(active), Log::boolText(decision.hasVisibleWindow));
    if (decision.action == ClickDecision::Action::ShowFirstWindow) {
        if (decision.restoreFirstWindow) {
            qCDebug(lcStatusBar).noquote() << "Restoring miniaturized window";
        }
        m_windows.bringForward(windows.first(), token);
        return;
    }
    qCDebug(lcStatusBar).noquote() << "No existing user window -> requesting main window creation";
    // The new window asks for the focus when it first shows; the host's token must be there by then.
    ActivationToken::offer(token);
    NotificationCenter::defaultCenter().post(Notification::OpenMainWindowRequested);
}

} // namespace quendle2
