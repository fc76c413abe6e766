#include "menubar/SniStatusItem.h"

#include "menubar/AppIcon.h"
#include "menubar/DBusMenuExporter.h"
#include "menubar/SniTypes.h"
#include "menubar/StatusItemMenu.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QLoggingCategory>
#include <QMetaObject>

#include <atomic>
#include <utility>

namespace quendle2 {

namespace {

constexpr int menuOpenId = 1;
constexpr int menuQuitId = 2;

/// The icon at a panel's usual size and at a size hosts with large or high-density panels scale down from.
const SniIconPixmapList& iconPixmaps() {
    static const SniIconPixmapList pixmaps = [] {
        SniIconPixmapList list;
        for (const int size : {22, 64}) {
            const QImage image = renderAppIcon(size);
            if (!image.isNull()) {
                list.append(SniIconPixmap::fromImage(image));
            }
        }
        return list;
    }();
    return pixmaps;
}

QString nextServiceName() {
    // A process may hold several items (tests do); the counter keeps their names apart.
    static std::atomic<int> counter{0};
    return QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
        .arg(QString::number(QCoreApplication::applicationPid()), QString::number(++counter));
}

} // namespace

class SniItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(quendle2::SniIconPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    // Declared though unused: some hosts read every icon property and log an error for each one missing.
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(quendle2::SniIconPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(quendle2::SniIconPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(quendle2::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    // Ayatana's extension: GNOME's AppIndicator extension and Unity show this text beside the icon.
    Q_PROPERTY(QString XAyatanaLabel READ title)
    // Hosts size the label for this text, so that it keeps its width as the minutes tick down.
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)

public:
    explicit SniItemAdaptor(SniStatusItem* item)
        : QDBusAbstractAdaptor(item)
        , m_item(item) {}

    QString id() const { return QStringLiteral("quendle2"); }
    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString status() const { return QStringLiteral("Active"); }
    QString title() const { return m_item->title(); }
    int windowId() const { return 0; }
    QString iconName() const { return appIconName(); }
    QString iconThemePath() const { return appIconThemePath(); }
    QString labelGuide() const { return SniStatusItem::labelGuide(); }
    SniIconPixmapList iconPixmap() const { return iconPixmaps(); }
    QString none() const { return {}; }
    SniIconPixmapList noPixmaps() const { return {}; }
    SniToolTip toolTip() const {
        return SniToolTip{appIconName(), iconPixmaps(), m_item->title(), m_item->warning()};
    }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(SniStatusItem::menuPath()); }

    void announceToolTip() { Q_EMIT NewToolTip(); }

    void announceTitle(const QString& title) {
        Q_EMIT NewTitle();
        Q_EMIT NewToolTip();
        Q_EMIT XAyatanaNewLabel(title, SniStatusItem::labelGuide());
    }

public Q_SLOTS:
    void Activate(int x, int y) {
        Q_UNUSED(x);
        Q_UNUSED(y);
        emitClicked();
    }

    void SecondaryActivate(int x, int y) {
        Q_UNUSED(x);
        Q_UNUSED(y);
        emitClicked();
    }

    /// Sent by Wayland hosts just before Activate: with it, the compositor lets the window take the focus.
    void ProvideXdgActivationToken(const QString& token) { m_item->m_activationToken = token; }

    void ContextMenu(int x, int y) {
        // Hosts open the menu from the Menu property themselves.
        Q_UNUSED(x);
        Q_UNUSED(y);
    }

    void Scroll(int delta, const QString& orientation) {
        Q_UNUSED(delta);
        Q_UNUSED(orientation);
    }

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void XAyatanaNewLabel(const QString& label, const QString& guide);

private:
    void emitClicked() {
        // Queued so the host's call is answered before whatever the click starts, which may take a while
        // or delete the item.
        QMetaObject::invokeMethod(
            m_item, [item = m_item] { Q_EMIT item->clicked(); }, Qt::QueuedConnection);
    }

    SniStatusItem* m_item = nullptr;
};

SniStatusItem::SniStatusItem(const QDBusConnection& connection, QObject* parent)
    : StatusItem(parent)
    , m_connection(connection)
    , m_serviceName(nextServiceName()) {
    registerSniTypes();
    m_adaptor = new SniItemAdaptor(this);
    m_menu = new DBusMenuExporter(m_connection, menuPath(), menuEntries(menu()), this);

    if (!m_connection.isConnected()) {
        qCWarning(lcStatusItem).noquote()
            << "No D-Bus connection for the status item:" << m_connection.lastError().message();
        return;
    }
    m_objectRegistered = m_connection.registerObject(itemPath(), this, QDBusConnection::ExportAdaptors);
    m_serviceRegistered = m_objectRegistered && m_connection.registerService(m_serviceName);
    if (!isExported()) {
        qCWarning(lcStatusItem).noquote() << "Could not publish the status item as" << m_serviceName;
        return;
    }

    // Watched before the first registration so that a watcher starting in between is not missed. Owner
    // changes rather than plain registrations, so that a watcher replacing another is also told.
    m_watcherWatch = new QDBusServiceWatcher(watcherService(), m_connection,
                                             QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcherWatch, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner.isEmpty()) {
                    setHosted(false);
                } else {
                    registerWithWatcher();
                }
            });
    registerWithWatcher();
}

SniStatusItem::~SniStatusItem() {
    // The name goes first: hosts drop the item as soon as it vanishes, before they could ask the
    // objects for anything more.
    if (m_serviceRegistered) {
        m_connection.unregisterService(m_serviceName);
    }
    if (m_objectRegistered) {
        m_connection.unregisterObject(itemPath());
    }
}

bool SniStatusItem::isExported() const {
    return m_objectRegistered && m_serviceRegistered && m_menu->isExported();
}

QList<DBusMenuExporter::Entry> SniStatusItem::menuEntries(const JourneyMenu& menu) {
    using Kind = JourneyMenuEntry::Kind;
    QList<DBusMenuExporter::Entry> entries;
    for (const JourneyMenuEntry& entry : menu) {
        DBusMenuExporter::Entry made;
        made.id = ++m_lastMenuId;
        made.label = entry.label;
        switch (entry.kind) {
        case Kind::Text:
            made.enabled = false;
            break;
        case Kind::Separator:
            made.separator = true;
            break;
        case Kind::Destination:
            made.radioChecked = entry.checked;
            made.trigger = [this, eva = entry.eva] { Q_EMIT destinationChosen(eva); };
            break;
        case Kind::Open:
            made.id = menuOpenId;
            made.trigger = [this] { Q_EMIT clicked(); };
            break;
        case Kind::Quit:
            made.id = menuQuitId;
            made.trigger = [this] { Q_EMIT quitRequested(); };
            break;
        }
        entries.append(std::move(made));
    }
    return entries;
}

void SniStatusItem::showMenu(const JourneyMenu& menu) {
    m_menu->setEntries(menuEntries(menu));
}

void SniStatusItem::setWarning(const QString& warning) {
    if (warning == m_warning) {
        return;
    }
    m_warning = warning;
    m_adaptor->announceToolTip();
}

void SniStatusItem::setTitle(const QString& title) {
    if (title == m_title) {
        return;
    }
    m_title = title;
    m_adaptor->announceTitle(m_title);
}

QString SniStatusItem::takeActivationToken() {
    return std::exchange(m_activationToken, QString());
}

void SniStatusItem::setHosted(bool hosted) {
    if (hosted == m_hosted) {
        return;
    }
    m_hosted = hosted;
    Q_EMIT hostedChanged(hosted);
}

void SniStatusItem::registerWithWatcher() {
    QDBusMessage call = QDBusMessage::createMethodCall(watcherService(), watcherPath(), watcherService(),
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    auto* pending = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (finished->isError()) {
            // Normal on desktops without a watcher; it is retried when one appears.
            qCInfo(lcStatusItem).noquote()
                << "No StatusNotifierWatcher took the status item:" << finished->error().message();
            setHosted(false);
            return;
        }
        setHosted(true);
        Q_EMIT registeredWithWatcher();
    });
}

} // namespace quendle2

#include "SniStatusItem.moc"
