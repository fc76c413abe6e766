// The StatusNotifierItem and its menu as a panel meets them: over a private bus, from another connection.

#include "menubar/AppIcon.h"
#include "menubar/DBusMenuTypes.h"
#include "menubar/SniStatusItem.h"
#include "menubar/SniTypes.h"
#include "menubar/StatusItemFactory.h"
#include "menubar/SwitchingStatusItem.h"
#include "support/CapturedJourney.h"
#include "support/FakeStatusNotifierWatcher.h"
#include "support/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString menuInterface = u"com.canonical.dbusmenu"_s;
const QString title = u"\U0001F684 ICE 123 \u00B7 287 km/h"_s;

/// Every D-Bus signal a connection delivers to it, as "Member arg arg...".
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    QStringList seen;

public Q_SLOTS:
    void record(const QDBusMessage& message) {
        QStringList parts{message.member()};
        for (const QVariant& argument : message.arguments()) {
            parts << argument.toString();
        }
        seen << parts.join(u' ');
    }
};

/// An interface's members as introspected, sorted: "Method(in) -> out", "Signal(args)", "Property type".
QStringList introspectedMembers(const QString& xml, const QString& interface) {
    static const QRegularExpression member(
        u"<(method|signal|property) name=\"(\\w+)\"(?: type=\"([^\"]+)\")?[^>]*?(?:/>|>(.*?)</\\1>)"_s,
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression argument(u"<arg [^>]*?type=\"([^\"]+)\"[^>]*>"_s);
    const QString body =
        xml.section(u"<interface name=\"%1\">"_s.arg(interface), 1).section(u"</interface>"_s, 0, 0);
    QStringList members;
    for (const QRegularExpressionMatch& found : member.globalMatch(body)) {
        if (found.captured(1) == u"property") {
            members << found.captured(2) + u' ' + found.captured(3);
            continue;
        }
        QString in;
        QString out; // signals' arguments are all "out"
        for (const QRegularExpressionMatch& arg : argument.globalMatch(found.captured(4))) {
            const bool result =
                found.captured(1) == u"method" && arg.captured(0).contains(u"direction=\"out\"");
            (result ? out : in) += arg.captured(1);
        }
        members << found.captured(2) + u'(' + in + u')' + (out.isEmpty() ? QString() : u" -> "_s + out);
    }
    members.sort();
    return members;
}

} // namespace

class TestSni : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (PrivateSessionBus::daemonProgram().isEmpty()) {
            QSKIP("dbus-daemon is not installed");
        }
        QString error;
        QVERIFY2(m_bus.start(&error), qPrintable(error));
        qputenv("XDG_DATA_DIRS", m_home.filePath(u"data"_s).toUtf8()); // no installed icon
        qputenv("XDG_CACHE_HOME", m_home.filePath(u"cache"_s).toUtf8());
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());

        m_itemBus = m_bus.connect(u"sni-item"_s);
        m_client = m_bus.connect(u"sni-host"_s);
        QVERIFY2(m_itemBus.isConnected(), qPrintable(m_itemBus.lastError().message()));
        QVERIFY2(m_client.isConnected(), qPrintable(m_client.lastError().message()));
    }

    void init() { startWatcherOnFreshConnection(); }

    void cleanup() {
        m_watcher.reset();
        QDBusConnection::disconnectFromBus(u"sni-watcher-%1"_s.arg(m_watchers));
    }

    void interfacesHaveTheProtocolSignatures() {
        SniStatusItem item(m_itemBus);
        const auto members = [&](const QString& path, const QString& interface) {
            const QDBusMessage reply =
                call(item, path, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s);
            return introspectedMembers(reply.arguments().value(0).toString(), interface);
        };

        // Hosts call by signature: a method whose types differ by one letter is a method they cannot find.
        QCOMPARE(members(SniStatusItem::itemPath(), SniStatusItem::itemInterface()),
                 (u"Activate(ii), AttentionIconName s, AttentionIconPixmap a(iiay), AttentionMovieName s, "
                  u"Category s, ContextMenu(ii), IconName s, IconPixmap a(iiay), IconThemePath s, Id s, "
                  u"ItemIsMenu b, Menu o, NewAttentionIcon(), NewIcon(), NewOverlayIcon(), NewStatus(s), "
                  u"NewTitle(), NewToolTip(), OverlayIconName s, OverlayIconPixmap a(iiay), "
                  u"ProvideXdgActivationToken(s), Scroll(is), "
                  u"SecondaryActivate(ii), Status s, Title s, ToolTip (sa(iiay)ss), WindowId i, "
                  u"XAyatanaLabel s, XAyatanaLabelGuide s, XAyatanaNewLabel(ss)"_s)
                     .split(u", "_s));
        QCOMPARE(
            members(SniStatusItem::menuPath(), menuInterface),
            (u"AboutToShow(i) -> b, AboutToShowGroup(ai) -> aiai, Event(isvu), EventGroup(a(isvu)) -> ai, "
             u"GetGroupProperties(aias) -> a(ia{sv}), GetLayout(iias) -> u(ia{sv}av), "
             u"GetProperty(is) -> v, IconThemePath as, ItemActivationRequested(iu), "
             u"ItemsPropertiesUpdated(a(ia{sv})a(ias)), LayoutUpdated(ui), Status s, TextDirection s, "
             u"Version u"_s)
                .split(u", "_s));
    }

    void registersWhenWatcherAppears() {
        m_watcher->stop();
        auto item = std::make_unique<SniStatusItem>(m_itemBus);
        QSignalSpy registered(item.get(), &SniStatusItem::registeredWithWatcher);
        QVERIFY(item->serviceName().startsWith(
            u"org.kde.StatusNotifierItem-%1-"_s.arg(QCoreApplication::applicationPid())));
        // Answered in order: the first registration has been refused for want of a watcher by now.
        QVERIFY(m_itemBus.interface()->isServiceRegistered(item->serviceName()).value());

        const QStringList entry{item->serviceName() + SniStatusItem::itemPath()};
        QVERIFY(m_watcher->start());
        QTRY_COMPARE(m_watcher->registeredItems(), entry);
        QTRY_COMPARE(registered.count(), 1);

        // The watcher's process goes away with its connection; a new one starts knowing no items.
        startWatcherOnFreshConnection();
        QTRY_COMPARE(m_watcher->registeredItems(), entry);
        QTRY_COMPARE(registered.count(), 2);

        // A removed item gives up its name and objects: the next one on this connection publishes.
        item.reset();
        QTRY_VERIFY(m_watcher->registeredItems().isEmpty());
        SniStatusItem next(m_itemBus);
        QTRY_COMPARE(m_watcher->registeredItems(),
                     QStringList{next.serviceName() + SniStatusItem::itemPath()});
        QCOMPARE(menuCall(next, u"AboutToShow"_s, {0}).type(), QDBusMessage::ReplyMessage);
    }

    void titleAndPropertiesReachHosts() {
        SniStatusItem item(m_itemBus);
        SignalRecorder recorder;
        QVERIFY(m_client.connect(item.serviceName(), SniStatusItem::itemPath(),
                                 SniStatusItem::itemInterface(), QString(), &recorder,
                                 SLOT(record(QDBusMessage))));
        // A round trip to the daemon: the match rule this connection sent is in place.
        QVERIFY(m_client.interface()->isServiceRegistered(u"org.freedesktop.DBus"_s).value());

        item.setTitle(u"A"_s);
        item.setTitle(u"A"_s);
        item.setTitle(title);
        // Signals arrive in order: one for the repeated title would have come before the second label.
        const QString guide = SniStatusItem::labelGuide();
        QTRY_VERIFY(recorder.seen.contains(u"XAyatanaNewLabel %1 %2"_s.arg(title, guide)));
        recorder.seen.sort();
        QCOMPARE(recorder.seen, (QStringList{u"NewTitle"_s, u"NewTitle"_s, u"NewToolTip"_s, u"NewToolTip"_s,
                                             u"XAyatanaNewLabel A "_s + guide,
                                             u"XAyatanaNewLabel %1 %2"_s.arg(title, guide)}));

        // A host re-reads on the signals and must find the new text.
        const QVariantMap properties =
            allProperties(item, SniStatusItem::itemPath(), SniStatusItem::itemInterface());
        const QVariantMap expected{
            {u"Id"_s, u"quendle2"_s},
            {u"Category"_s, u"ApplicationStatus"_s},
            {u"Status"_s, u"Active"_s},
            {u"IconName"_s, u"org.quendle2.Quendle2"_s},
            {u"Title"_s, title},
            {u"XAyatanaLabel"_s, title},
            {u"XAyatanaLabelGuide"_s, u"\U0001F684 888 km/h 88h 88m (+888) \U0001F7E2"_s},
            {u"ItemIsMenu"_s, false}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            QCOMPARE(std::pair(it.key(), properties.value(it.key())), std::pair(it.key(), it.value()));
        }
        QCOMPARE(properties.value(u"Menu"_s).value<QDBusObjectPath>().path(), SniStatusItem::menuPath());
        const auto toolTip = qdbus_cast<SniToolTip>(properties.value(u"ToolTip"_s));
        QCOMPARE(toolTip.title, title);
        QCOMPARE(toolTip.iconName, u"org.quendle2.Quendle2"_s);
        QCOMPARE(toolTip.iconPixmaps.size(), 2);
        const auto pixmaps = qdbus_cast<SniIconPixmapList>(properties.value(u"IconPixmap"_s));
        QCOMPARE(pixmaps.size(), 2);
        for (const int size : {22, 64}) {
            const auto found = std::find_if(pixmaps.cbegin(), pixmaps.cend(),
                                            [size](const SniIconPixmap& p) { return p.width == size; });
            QVERIFY2(found != pixmaps.cend() && found->height == size, qPrintable(QString::number(size)));
            const QImage reference = renderAppIcon(size).convertToFormat(QImage::Format_ARGB32);
            QByteArray expected;
            int opaque = 0, clear = 0, red = 0;
            for (int i = 0; i < size * size; ++i) {
                const QRgb px = reference.pixel(i % size, i / size);
                expected.append(char(qAlpha(px))).append(char(qRed(px))).append(char(qGreen(px)));
                expected.append(char(qBlue(px)));
                opaque += qAlpha(px) == 255 ? 1 : 0;
                clear += qAlpha(px) == 0 ? 1 : 0;
                red += qAlpha(px) == 255 && qRed(px) > qBlue(px) + 100 ? 1 : 0;
            }
            // Alpha first, red before blue on any CPU; a blank, filled or grey square would hide a wrong
            // order.
            QCOMPARE(found->argb, expected);
            QVERIFY(opaque > size * size / 4 && clear > size * size / 8 && red > 0);
        }
        // Not installed: hosts that look icons up by name find it in the folder the item names.
        const QString themePath = properties.value(u"IconThemePath"_s).toString();
        QVERIFY(themePath.startsWith(m_home.path()));
        for (const QString& file :
             {u"hicolor/scalable/apps/org.quendle2.Quendle2.svg"_s, u"org.quendle2.Quendle2.svg"_s}) {
            QFile icon(QDir(themePath).filePath(file));
            QVERIFY2(icon.open(QIODevice::ReadOnly) && icon.readAll().contains("<svg"), qPrintable(file));
        }
    }

    void hostActionsReachTheItem() {
        SniStatusItem item(m_itemBus);
        QSignalSpy clicked(&item, &StatusItem::clicked);
        QSignalSpy quit(&item, &StatusItem::quitRequested);
        const auto itemCall = [&](const QString& method, const QVariantList& arguments) {
            return call(item, SniStatusItem::itemPath(), SniStatusItem::itemInterface(), method, arguments)
                .type();
        };
        const auto event = [&](int id, const QString& eventId) { return menuEvent(item, id, eventId); };
        const auto reply = QDBusMessage::ReplyMessage;

        // Hosts open the menu themselves; neither that nor a scroll is a click.
        QCOMPARE(itemCall(u"ContextMenu"_s, {0, 0}), reply);
        QCOMPARE(itemCall(u"Scroll"_s, {120, u"vertical"_s}), reply);
        // Wayland hosts hand over a token just before the click; it serves that one click.
        QCOMPARE(itemCall(u"ProvideXdgActivationToken"_s, {u"token-1"_s}), reply);
        QCOMPARE(itemCall(u"Activate"_s, {0, 0}), reply);
        QTRY_COMPARE(clicked.count(), 1);
        QCOMPARE(item.takeActivationToken(), u"token-1"_s);
        QVERIFY(item.takeActivationToken().isEmpty());
        QCOMPARE(itemCall(u"SecondaryActivate"_s, {10, 20}), reply);
        QTRY_COMPARE(clicked.count(), 2);

        QCOMPARE(event(1, u"hovered"_s), reply);
        QCOMPARE(event(0, u"opened"_s), reply);
        QCOMPARE(event(1, u"clicked"_s), reply);
        QTRY_COMPARE(clicked.count(), 3);
        QCOMPARE(event(2, u"clicked"_s), reply);
        QTRY_COMPARE(quit.count(), 1);
        QCOMPARE(event(7, u"clicked"_s), QDBusMessage::ErrorMessage);

        const DBusMenuEventList events{{1, u"clicked"_s, QDBusVariant(0), 0},
                                       {9, u"clicked"_s, QDBusVariant(0), 0}};
        const QDBusMessage group = menuCall(item, u"EventGroup"_s, {QVariant::fromValue(events)});
        QCOMPARE(qdbus_cast<QList<int>>(group.arguments().value(0)), QList<int>{9});
        QTRY_COMPARE(clicked.count(), 4);

        // Anything queued by the calls above has been delivered by now.
        QCoreApplication::processEvents();
        QCOMPARE(clicked.count(), 4);
        QCOMPARE(quit.count(), 1);
    }

    void journeyMenuFollowsTheService() {
        qputenv("TZ", "UTC");
        QLocale::setDefault(QLocale::c());
        auto* item = new SniStatusItem(m_itemBus);
        CapturedJourney journey(item);
        SignalRecorder recorder;
        QVERIFY(m_client.connect(m_itemBus.baseService(), SniStatusItem::menuPath(), menuInterface,
                                 u"LayoutUpdated"_s, &recorder, SLOT(record(QDBusMessage))));
        // The layout as a host reads it, with the revision it comes as.
        const auto entries = [&] {
            const QList<QVariant> reply = menuCall(*item, u"GetLayout"_s, {0, -1, QStringList()}).arguments();
            QStringList shown;
            QList<int> ids;
            for (const DBusMenuLayoutItem& child : qdbus_cast<DBusMenuLayoutItem>(reply.value(1)).children) {
                const QVariantMap& p = child.properties;
                QString text =
                    p.value(u"type"_s) == u"separator"_s ? u"---"_s : p.value(u"label"_s).toString();
                if (p.contains(u"toggle-type"_s)) {
                    text.prepend(p.value(u"toggle-state"_s).toInt() == 1 ? u"(x) "_s : u"( ) "_s);
                } else if (!p.value(u"enabled"_s, true).toBool()) {
                    text.prepend(u"[off] "_s);
                }
                shown << text;
                ids << child.id;
            }
            return std::tuple{shown, ids, reply.value(0).toUInt()};
        };
        QCOMPARE(std::get<0>(entries()),
                 (QStringList{u"[off] Disconnected"_s, u"---"_s, u"Open quendle2"_s, u"Quit quendle2"_s}));

        journey.tick();
        const auto [shown, ids, revision] = entries();
        QCOMPARE(shown,
                 (QStringList{
                     u"[off] ICE 9473 \u2192 Frankfurt(Main)Hbf"_s, u"[off] 179 of 476 km"_s,
                     u"(x) Auto (next stop)"_s, u"( ) 19:52 Freiburg(Breisgau) Hbf +3 \u00B7 Pl. 1"_s,
                     u"( ) 20:25 Offenburg \u00B7 Pl. 3"_s, u"( ) 20:56 Karlsruhe Hbf \u00B7 Pl. 3"_s,
                     u"( ) 21:26 Mannheim Hbf \u00B7 Pl. 4 (was 3)"_s,
                     u"( ) 22:09 Frankfurt(Main)Hbf \u00B7 Pl. 2"_s, u"[off] Wi\u2011Fi: UNSTABLE in 10m"_s,
                     u"---"_s, u"Open quendle2"_s, u"Quit quendle2"_s}));
        const QString title = item->title();

        // The same journey again changes nothing a host would see: the layout keeps its revision.
        journey.tick();
        QCOMPARE(std::get<2>(entries()), revision);

        // Choosing Mannheim makes it the destination, the title counts down to it, and hosts hear of it.
        QCOMPARE(menuEvent(*item, ids.at(6)), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(journey.service->selectedStopEva(), std::optional<QString>(u"8000244"_s));
        QVERIFY(item->title() != title && item->title().contains(u"1h 52m"_s));
        const auto [chosen, chosenIds, chosenRevision] = entries();
        QCOMPARE(chosen.value(2), u"( ) Auto (next stop)"_s);
        QCOMPARE(chosen.value(6), u"(x) 21:26 Mannheim Hbf \u00B7 Pl. 4 (was 3)"_s);
        QTRY_VERIFY(recorder.seen.contains(u"LayoutUpdated %1 0"_s.arg(chosenRevision)));
        // An entry of an older layout is refused rather than taken for another.
        QCOMPARE(menuEvent(*item, ids.at(3)), QDBusMessage::ErrorMessage);
        QLocale::setDefault(QLocale::system());
    }

    void menuAnswersHosts() {
        SniStatusItem item(m_itemBus);
        const auto menuCall = [&](const QString& method, const QVariantList& arguments) {
            return this->menuCall(item, method, arguments);
        };
        const auto layout = [&](int parent, int depth, const QStringList& names) {
            const QVariant reply = menuCall(u"GetLayout"_s, {parent, depth, names}).arguments().value(1);
            return qdbus_cast<DBusMenuLayoutItem>(reply);
        };
        const auto group = [&](const QList<int>& ids, const QStringList& names) {
            const QVariant reply =
                menuCall(u"GetGroupProperties"_s, {QVariant::fromValue(ids), names}).arguments().value(0);
            return qdbus_cast<DBusMenuItemList>(reply);
        };

        const DBusMenuLayoutItem root = layout(0, -1, {});
        QCOMPARE(root.id, 0);
        QCOMPARE(root.properties.value(u"children-display"_s).toString(), u"submenu"_s);
        // Entries' own properties are read in journeyMenuFollowsTheService; here the protocol's calls.
        QCOMPARE(root.children.size(), 2);
        const QStringList labels{u"Open quendle2"_s, u"Quit quendle2"_s};
        // Depth 0 is the item alone; a property list keeps only the properties named.
        QVERIFY(layout(0, 0, {}).children.isEmpty());
        const DBusMenuLayoutItem labelsOnly = layout(0, 1, {u"label"_s});
        QVERIFY(labelsOnly.properties.isEmpty());
        QCOMPARE(labelsOnly.children.value(1).properties, (QVariantMap{{u"label"_s, labels.at(1)}}));
        QCOMPARE(layout(2, -1, {}).properties.value(u"label"_s).toString(), labels.at(1));
        QCOMPARE(menuCall(u"GetLayout"_s, {42, -1, QStringList()}).type(), QDBusMessage::ErrorMessage);

        const QVariantMap properties = allProperties(item, SniStatusItem::menuPath(), menuInterface);
        QCOMPARE(properties.value(u"Version"_s), QVariant(3u));
        QCOMPARE(properties.value(u"TextDirection"_s).toString(), u"ltr"_s);
        QCOMPARE(properties.value(u"Status"_s).toString(), u"normal"_s);

        // Unknown ids are left out, the others answered in the order asked; no ids at all means every item.
        const DBusMenuItemList items = group({2, 1, 9}, {u"label"_s});
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).id, 2);
        QCOMPARE(items.at(0).properties, (QVariantMap{{u"label"_s, labels.at(1)}}));
        QCOMPARE(items.at(1).id, 1);
        QCOMPARE(group({}, {}).size(), 3);

        const QVariant label = menuCall(u"GetProperty"_s, {1, u"label"_s}).arguments().value(0);
        QCOMPARE(label.value<QDBusVariant>().variant().toString(), labels.at(0));
        QCOMPARE(menuCall(u"GetProperty"_s, {1, u"icon-name"_s}).type(), QDBusMessage::ErrorMessage);
        QCOMPARE(menuCall(u"GetProperty"_s, {5, u"label"_s}).type(), QDBusMessage::ErrorMessage);

        QCOMPARE(menuCall(u"AboutToShow"_s, {0}).arguments(), QVariantList{false});
        const QDBusMessage shown =
            menuCall(u"AboutToShowGroup"_s, {QVariant::fromValue(QList<int>{0, 1, 9})});
        QCOMPARE(qdbus_cast<QList<int>>(shown.arguments().value(0)), QList<int>{});
        QCOMPARE(qdbus_cast<QList<int>>(shown.arguments().value(1)), QList<int>{9});
    }

    void itemFollowsTheWatcher() {
        // The factory, on the private session bus, finds the watcher.
        QCOMPARE(dynamic_cast<SwitchingStatusItem*>(createStatusItem().get())->backend(),
                 SwitchingStatusItem::Backend::StatusNotifierItem);

        bool trayAvailable = true;
        SwitchingStatusItem::Backends backends = SwitchingStatusItem::desktopBackends();
        backends.trayAvailable = [&] { return trayAvailable; };
        SwitchingStatusItem item(m_itemBus, backends);
        QSignalSpy clicked(&item, &StatusItem::clicked);
        QSignalSpy hosted(&item, &StatusItem::hostedChanged);
        const auto registeredSni = [&] {
            auto* sni = qobject_cast<SniStatusItem*>(item.current());
            return sni != nullptr && m_watcher->registeredItems() ==
                                         QStringList{sni->serviceName() + SniStatusItem::itemPath()};
        };
        QTRY_VERIFY(registeredSni());
        QTRY_COMPARE(hosted.count(), 1);
        item.setTitle(title);
        item.setWarning(u"quendle2 cannot save: disk full"_s);

        // The panel goes: the tray takes over, with the text and the menu.
        m_watcher->stop();
        QTRY_COMPARE(item.backend(), SwitchingStatusItem::Backend::Tray);
        QCOMPARE(item.current()->title(), title);
        QCOMPARE(item.current()->warning(), u"quendle2 cannot save: disk full"_s);
        QVERIFY(item.isHosted());
        Q_EMIT item.current()->clicked();
        QCOMPARE(clicked.count(), 1);

        // It comes back: the item registers again, and the tray icon goes.
        QVERIFY(m_watcher->start());
        QTRY_VERIFY(registeredSni());
        QCOMPARE(item.findChildren<QSystemTrayIcon*>().size() +
                     item.current()->findChildren<QSystemTrayIcon*>().size(),
                 0);
        const auto* sni = qobject_cast<SniStatusItem*>(item.current());
        const QVariantMap back =
            allProperties(*sni, SniStatusItem::itemPath(), SniStatusItem::itemInterface());
        QCOMPARE(back.value(u"XAyatanaLabel"_s).toString(), title);

        // Without a tray the item stays on the bus, waiting, and says that nothing hosts it.
        trayAvailable = false;
        hosted.clear();
        m_watcher->stop();
        QTRY_COMPARE(hosted.count(), 1);
        QCOMPARE(hosted.first().first().toBool(), false);
        QCOMPARE(item.backend(), SwitchingStatusItem::Backend::StatusNotifierItem);
    }

private:
    QDBusMessage call(const SniStatusItem& item, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(item.serviceName(), path, interface, method);
        message.setArguments(arguments);
        // The item answers from this very thread, so the wait must keep the event loop running.
        return m_client.call(message, QDBus::BlockWithGui, 10000);
    }

    QDBusMessage menuCall(const SniStatusItem& item, const QString& method, const QVariantList& arguments) {
        return call(item, SniStatusItem::menuPath(), menuInterface, method, arguments);
    }

    QDBusMessage::MessageType menuEvent(const SniStatusItem& item, int id,
                                        const QString& event = u"clicked"_s) {
        return menuCall(item, u"Event"_s, {id, event, QVariant::fromValue(QDBusVariant(0)), 0u}).type();
    }

    // Hosts such as GNOME's read everything at once: one property that fails to marshal spoils the answer.
    QVariantMap allProperties(const SniStatusItem& item, const QString& path, const QString& interface) {
        return qdbus_cast<QVariantMap>(
            call(item, path, u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s, {interface})
                .arguments()
                .value(0));
    }

    void startWatcherOnFreshConnection() {
        // A connection per watcher: closing it is what a crashing watcher process does to the bus.
        cleanup();
        const QString name = u"sni-watcher-%1"_s.arg(++m_watchers);
        m_watcher =
            std::make_unique<FakeStatusNotifierWatcher>(QDBusConnection::connectToBus(m_bus.address(), name));
        QVERIFY(m_watcher->start());
    }

    QTemporaryDir m_home;
    PrivateSessionBus m_bus;
    QDBusConnection m_itemBus{u"unconnected"_s};
    QDBusConnection m_client{u"unconnected"_s};
    int m_watchers = 0;
    std::unique_ptr<FakeStatusNotifierWatcher> m_watcher;
};

QTEST_MAIN(TestSni)
#include "tst_sni.moc"
