#include "app/quendle2App.h"

#include "journeybus/JourneyBus.h"
#include "menubar/HostHint.h"
#include "menubar/StatusBarManager.h"
#include "menubar/StatusItemFactory.h"
#include "notify/JourneyNotifier.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "service/AppStore.h"
#include "service/TrainService.h"
#include "store/ModelContainer.h"
#include "views/ContentView.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QWindow>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

quendle2App::quendle2App(std::unique_ptr<ModelContainer> container,
                         AppFlavor::ServiceFactory connectedService, const Clock& clock, QObject* parent,
                         StatusItemFactory makeStatusItem)
    : QObject(parent)
    , m_container(std::move(container))
    , m_connectedService(std::move(connectedService))
    , m_makeStatusItem(makeStatusItem ? std::move(makeStatusItem) : [] { return createStatusItem(nullptr); })
    , m_clock(clock)
    , m_store(new AppStore(new TrainService(nullptr), this)) {
    // The window's own answer covers an open window; this one brings a window back after the last was
    // closed to the status bar.
    NotificationCenter::defaultCenter().addObserver(Notification::OpenMainWindowRequested, this, [this] {
        if (mainWindows().isEmpty()) {
            openMainWindow();
        }
    });
    // The most recently active window comes first: it is the one a click or a later launch brings back.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
        for (qsizetype i = 0; i < m_windows.size(); ++i) {
            if (m_windows.at(i) && m_windows.at(i)->windowHandle() == focus) {
                m_windows.move(i, 0);
                return;
            }
        }
    });
}

quendle2App::~quendle2App() {
    for (const QPointer<ContentView>& window : std::as_const(m_windows)) {
        delete window.data();
    }
    // The manager and the service go before the container whose context they hold.
    m_journeyBus.reset();
    m_statusBarManager.reset();
    delete m_store;
    m_store = nullptr;
}

QList<ContentView*> quendle2App::mainWindows() const {
    QList<ContentView*> windows;
    for (const QPointer<ContentView>& window : m_windows) {
        if (window) {
            windows.append(window);
        }
    }
    return windows;
}

ContentView* quendle2App::openMainWindow(const QString& activationToken) {
    m_windows.removeAll(nullptr);
    if (!m_windows.isEmpty()) {
        ContentView* window = m_windows.constFirst();
        window->bringForward(activationToken);
        return window;
    }
    auto* window = new ContentView({m_container->mainContext(), m_store, &m_clock},
                                   [this](const QString&) { openMainWindow(); });
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* quit = new QAction(u"Quit"_s, window);
    // The desktop's own Quit keys, and Ctrl+Q where the desktop has none; a key bound twice would be an
    // ambiguous shortcut that Qt refuses to trigger.
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (!keys.contains(QKeySequence(u"Ctrl+Q"_s))) {
        keys.append(QKeySequence(u"Ctrl+Q"_s));
    }
    quit->setShortcuts(keys);
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, QCoreApplication::instance(), &QCoreApplication::quit);
    window->addAction(quit);
    connect(window, &ContentView::shown, this, &quendle2App::setup);
    m_windows.append(window);
    window->setHostHint(m_hostHint);
    window->bringForward(activationToken);
    return window;
}

void quendle2App::setup() {
    TrainService* current = m_store->service();
    if (current == nullptr || current->modelContext() == nullptr) {
        TrainService* connected = m_connectedService(m_container->mainContext());
        m_store->setService(connected);
        connected->start();
    }
    if (!m_statusBarManager) {
        m_statusBarManager =
            std::make_unique<StatusBarManager>(m_store, m_container.get(), m_makeStatusItem(), m_clock);
        m_statusBarManager->setUserWindows({[this] {
                                                const QList<ContentView*> windows = mainWindows();
                                                return QList<QWidget*>(windows.cbegin(), windows.cend());
                                            },
                                            [](QWidget* window, const QString& token) {
                                                static_cast<ContentView*>(window)->bringForward(token);
                                            }});
        m_journeyNotifier = std::make_unique<JourneyNotifier>(m_store, m_container.get(),
                                                              std::make_unique<DesktopNotifier>(), m_clock);
        if (!m_busName.isEmpty()) {
            m_journeyBus = std::make_unique<JourneyBus>(m_store, m_statusBarManager.get());
            connect(m_journeyBus.get(), &JourneyBus::showWindowRequested, this, [this] { openMainWindow(); });
            QString error;
            // Scripts lose the journey, the application loses nothing.
            if (!m_journeyBus->publish(QDBusConnection::sessionBus(), m_busName, &error)) {
                qCWarning(lcStatusBar).noquote()
                    << "Could not publish the journey on the session bus:" << error;
            }
        }
        if (StatusItem* item = m_statusBarManager->statusItem()) {
            connect(item, &StatusItem::quitRequested, QCoreApplication::instance(), &QCoreApplication::quit);
            connect(item, &StatusItem::hostedChanged, this, &quendle2App::followHost);
            // Until a host has taken the item, nothing would bring a closed window back.
            QGuiApplication::setQuitOnLastWindowClosed(!item->isHosted());
        } else {
            qCWarning(lcApp).noquote() << "No status item (no session bus and no system tray); closing the "
                                          "window quits";
            followHost(false);
        }
    }
}

void quendle2App::followHost(bool hosted) {
    // Without a host nothing would bring a closed window back or offer "Quit": closing the last window quits.
    QGuiApplication::setQuitOnLastWindowClosed(!hosted);
    m_hostHint = hosted ? QString() : hostHint(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    for (ContentView* window : mainWindows()) {
        window->setHostHint(m_hostHint);
    }
}

} // namespace quendle2
