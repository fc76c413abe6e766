// The StatusNotifierItem and its menu as a desktop panel meets them: on a private bus, found through a
// watcher, with every call, property read and signal travelling over the wire from another connection.

#include "FakeStatusNotifierWatcher.h"
#include "PrivateSessionBus.h"
#include "menubar/AppIcon.h"
#include "menubar/DBusMenuTypes.h"
#include "menubar/SniStatusItem.h"
#include "menubar/SniTypes.h"
#include "menubar/StatusItemFactory.h"
#include "menubar/TrayStatusItem.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString propertiesInterface = u"org.freedesktop.DBus.Properties"_s;
const QString menuInterface = u"com.canonical.dbusmenu"_s;
const QString title = u"\U0001F684 ICE 123 \u00B7 287 km/h"_s;

/// Every D-Bus signal a connection delivers to it, in order of arrival.
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    QList<QDBusMessage> messages;

    QList<QDBusMessage> named(const QString& member) const {
        QList<QDBusMessage> found;
        for (const QDBusMessage& message : messages) {
            if (message.member() == member) {
                found.append(message);
            }
        }
        return found;
    }

public Q_SLOTS:
    void record(const QDBusMessage& message) { messages.append(message); }
};

/// Members of one interface as introspection describes them: "method Name(in) -> out",
/// "signal Name(args)", "property Name type access".
QStringList introspectedMembers(const QString& xml, const QString& interface) {
    QStringList members;
    QXmlStreamReader reader(xml);
    bool inInterface = false;
    QString kind;
    QString name;
    QString in;
    QString out;
    while (!reader.atEnd()) {
        reader.readNext();
        const auto attribute = [&reader](const char* key) {
            return reader.attributes().value(QLatin1StringView(key)).toString();
        };
        if (reader.isStartElement()) {
            const QStringView element = reader.name();
            if (element == u"interface") {
                inInterface = attribute("name") == interface;
            } else if (inInterface && (element == u"method" || element == u"signal")) {
                kind = element.toString();
                name = attribute("name");
                in.clear();
                out.clear();
            } else if (inInterface && element == u"arg") {
                (kind == u"method" && attribute("direction") != u"out" ? in : out) += attribute("type");
            } else if (inInterface && element == u"property") {
                members.append(
                    u"property %1 %2 %3"_s.arg(attribute("name"), attribute("type"), attribute("access")));
            }
        } else if (reader.isEndElement() && inInterface) {
            if (reader.name() == u"method") {
                members.append(u"method %1(%2) -> %3"_s.arg(name, in, out));
            } else if (reader.name() == u"signal") {
                members.append(u"signal %1(%2)"_s.arg(name, out));
            } else if (reader.name() == u"interface") {
                inInterface = false;
            }
        }
    }
    members.sort();
    return members;
}

} // namespace

class TestSni : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void interfacesHaveTheProtocolSignatures();
    void registersWithWatcher();
    void registersWhenWatcherStartsLater();
    void registersAgainWhenWatcherReturns();
    void registersWithWatcherInAnotherProcess();
    void leavesWatcherWhenDestroyed();
    void propertiesOverDBus();
    void iconPixmapsAreArgbInNetworkOrder();
    void setTitleSignalsNewLabel();
    void activateEmitsClicked();
    void menuLayoutListsTheEntries();
    void menuPropertiesAndErrors();
    void menuEventsTriggerEntries();
    void factoryPrefersStatusNotifierItem();
    void factoryWithoutWatcher();

private:
    QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& arguments = {});
    QDBusMessage getProperty(const QString& service, const QString& path, const QString& interface,
                             const QString& name);
    QVariant itemProperty(const SniStatusItem& item, const QString& name);
    /// A round trip to the daemon: what this connection sent before (match rules included) has arrived.
    void syncClient();
    void startWatcherOnFreshConnection();

    PrivateSessionBus m_bus;
    QDBusConnection m_itemBus{u"unconnected"_s};
    QDBusConnection m_client{u"unconnected"_s};
    QDBusConnection m_watcherBus{u"unconnected"_s};
    QString m_watcherConnectionName;
    int m_watcherConnections = 0;
    std::unique_ptr<FakeStatusNotifierWatcher> m_watcher;
};

void TestSni::initTestCase() {
    if (PrivateSessionBus::daemonProgram().isEmpty()) {
        QSKIP("dbus-daemon is not installed");
    }
    QString error;
    QVERIFY2(m_bus.start(&error), qPrintable(error));
    // The factory always uses the session bus: point it at the private one before anything opens it.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());

    m_itemBus = QDBusConnection::connectToBus(m_bus.address(), u"sni-item"_s);
    m_client = QDBusConnection::connectToBus(m_bus.address(), u"sni-host"_s);
    QVERIFY2(m_itemBus.isConnected(), qPrintable(m_itemBus.lastError().message()));
    QVERIFY2(m_client.isConnected(), qPrintable(m_client.lastError().message()));
}

void TestSni::init() {
    startWatcherOnFreshConnection();
}

void TestSni::cleanup() {
    m_watcher.reset();
    if (!m_watcherConnectionName.isEmpty()) {
        m_watcherBus = QDBusConnection(u"unconnected"_s);
        QDBusConnection::disconnectFromBus(m_watcherConnectionName);
        m_watcherConnectionName.clear();
    }
}

void TestSni::cleanupTestCase() {
    m_itemBus = QDBusConnection(u"unconnected"_s);
    m_client = QDBusConnection(u"unconnected"_s);
    QDBusConnection::disconnectFromBus(u"sni-item"_s);
    QDBusConnection::disconnectFromBus(u"sni-host"_s);
}

void TestSni::startWatcherOnFreshConnection() {
    // A connection of its own per watcher, as a watcher is a process of its own: closing it is what a
    // crashing watcher does to the bus.
    cleanup();
    m_watcherConnectionName = u"sni-watcher-%1"_s.arg(++m_watcherConnections);
    m_watcherBus = QDBusConnection::connectToBus(m_bus.address(), m_watcherConnectionName);
    QVERIFY(m_watcherBus.isConnected());
    m_watcher = std::make_unique<FakeStatusNotifierWatcher>(m_watcherBus);
    QVERIFY(m_watcher->start());
}

QDBusMessage TestSni::call(const QString& service, const QString& path, const QString& interface,
                           const QString& method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    // The item answers from this very thread, so the wait must keep the event loop running.
    return m_client.call(message, QDBus::BlockWithGui, 10000);
}

QDBusMessage TestSni::getProperty(const QString& service, const QString& path, const QString& interface,
                                  const QString& name) {
    return call(service, path, propertiesInterface, u"Get"_s, {interface, name});
}

QVariant TestSni::itemProperty(const SniStatusItem& item, const QString& name) {
    const QDBusMessage reply =
        getProperty(item.serviceName(), SniStatusItem::itemPath(), SniStatusItem::itemInterface(), name);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
        qWarning().noquote() << "Get" << name << "failed:" << reply.errorMessage();
        return {};
    }
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

void TestSni::syncClient() {
    QVERIFY(m_client.interface()->isServiceRegistered(u"org.freedesktop.DBus"_s).value());
}

void TestSni::interfacesHaveTheProtocolSignatures() {
    SniStatusItem item(m_itemBus);
    QVERIFY(item.isExported());

    const auto introspect = [this, &item](const QString& path) {
        const QDBusMessage reply =
            call(item.serviceName(), path, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s);
        return reply.arguments().value(0).toString();
    };

    // Hosts call by signature: a method whose types differ by one letter is a method they cannot find.
    const QStringList itemMembers{
        u"method Activate(ii) -> "_s,
        u"method ContextMenu(ii) -> "_s,
        u"method Scroll(is) -> "_s,
        u"method SecondaryActivate(ii) -> "_s,
        u"property AttentionIconName s read"_s,
        u"property AttentionIconPixmap a(iiay) read"_s,
        u"property AttentionMovieName s read"_s,
        u"property Category s read"_s,
        u"property IconName s read"_s,
        u"property IconPixmap a(iiay) read"_s,
        u"property IconThemePath s read"_s,
        u"property Id s read"_s,
        u"property ItemIsMenu b read"_s,
        u"property Menu o read"_s,
        u"property OverlayIconName s read"_s,
        u"property OverlayIconPixmap a(iiay) read"_s,
        u"property Status s read"_s,
        u"property Title s read"_s,
        u"property ToolTip (sa(iiay)ss) read"_s,
        u"property WindowId i read"_s,
        u"property XAyatanaLabel s read"_s,
        u"property XAyatanaLabelGuide s read"_s,
        u"signal NewAttentionIcon()"_s,
        u"signal NewIcon()"_s,
        u"signal NewOverlayIcon()"_s,
        u"signal NewStatus(s)"_s,
        u"signal NewTitle()"_s,
        u"signal NewToolTip()"_s,
        u"signal XAyatanaNewLabel(ss)"_s,
    };
    QCOMPARE(introspectedMembers(introspect(SniStatusItem::itemPath()), SniStatusItem::itemInterface()),
             itemMembers);

    const QStringList menuMembers{
        u"method AboutToShow(i) -> b"_s,
        u"method AboutToShowGroup(ai) -> aiai"_s,
        u"method Event(isvu) -> "_s,
        u"method EventGroup(a(isvu)) -> ai"_s,
        u"method GetGroupProperties(aias) -> a(ia{sv})"_s,
        u"method GetLayout(iias) -> u(ia{sv}av)"_s,
        u"method GetProperty(is) -> v"_s,
        u"property IconThemePath as read"_s,
        u"property Status s read"_s,
        u"property TextDirection s read"_s,
        u"property Version u read"_s,
        u"signal ItemActivationRequested(iu)"_s,
        u"signal ItemsPropertiesUpdated(a(ia{sv})a(ias))"_s,
        u"signal LayoutUpdated(ui)"_s,
    };
    QCOMPARE(introspectedMembers(introspect(SniStatusItem::menuPath()), menuInterface), menuMembers);
}

void TestSni::registersWithWatcher() {
    SniStatusItem item(m_itemBus);
    QSignalSpy registered(&item, &SniStatusItem::registeredWithWatcher);
    QVERIFY(item.isExported());
    QVERIFY(QRegularExpression(
                u"^org\\.kde\\.StatusNotifierItem-%1-\\d+$"_s.arg(QCoreApplication::applicationPid()))
                .match(item.serviceName())
                .hasMatch());
    QVERIFY(m_client.interface()->isServiceRegistered(item.serviceName()).value());

    QTRY_COMPARE(m_watcher->registeredItems(), QStringList{item.serviceName() + SniStatusItem::itemPath()});
    QTRY_COMPARE(registered.count(), 1);
}

void TestSni::registersWhenWatcherStartsLater() {
    m_watcher->stop();
    SniStatusItem item(m_itemBus);
    QSignalSpy registered(&item, &SniStatusItem::registeredWithWatcher);
    // The daemon handles a connection's messages in order: once it answers this, it has refused the
    // item's first registration for want of a watcher, and only the watcher's arrival can bring a second.
    QVERIFY(m_itemBus.interface()->isServiceRegistered(item.serviceName()).value());

    QVERIFY(m_watcher->start());
    QTRY_COMPARE(m_watcher->registeredItems(), QStringList{item.serviceName() + SniStatusItem::itemPath()});
    QTRY_COMPARE(registered.count(), 1);
}

void TestSni::registersAgainWhenWatcherReturns() {
    SniStatusItem item(m_itemBus);
    const QString entry = item.serviceName() + SniStatusItem::itemPath();
    QTRY_COMPARE(m_watcher->registeredItems(), QStringList{entry});

    // The watcher's process goes away with its connection; a new one starts knowing no items.
    startWatcherOnFreshConnection();
    QVERIFY(m_watcher->registeredItems().isEmpty());
    QTRY_COMPARE(m_watcher->registeredItems(), QStringList{entry});

    // A watcher that releases its name and takes it again on the same connection counts as a new one too.
    m_watcher->stop();
    QVERIFY(m_watcher->start());
    QTRY_COMPARE(m_watcher->registeredItems(), QStringList{entry});
}

void TestSni::registersWithWatcherInAnotherProcess() {
    m_watcher->stop();
    QProcess watcher;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_bus.address());
    watcher.setProcessEnvironment(environment);
    watcher.start(QStringLiteral(FAKE_SNI_WATCHER), {});
    QVERIFY2(watcher.waitForStarted(), qPrintable(watcher.errorString()));
    const auto readLine = [&watcher]() -> QByteArray {
        while (!watcher.canReadLine()) {
            if (!watcher.waitForReadyRead(10000)) {
                return "(no line; stderr: " + watcher.readAllStandardError() + ")";
            }
        }
        return watcher.readLine().trimmed();
    };
    QCOMPARE(readLine(), QByteArray("ready"));

    auto item = std::make_unique<SniStatusItem>(m_itemBus);
    const QByteArray entry = (item->serviceName() + SniStatusItem::itemPath()).toUtf8();
    QCOMPARE(readLine(), "registered " + entry);
    item.reset();
    QCOMPARE(readLine(), "unregistered " + entry);

    watcher.terminate();
    QVERIFY(watcher.waitForFinished(10000));
}

void TestSni::leavesWatcherWhenDestroyed() {
    auto item = std::make_unique<SniStatusItem>(m_itemBus);
    const QString service = item->serviceName();
    QTRY_COMPARE(m_watcher->registeredItems().size(), 1);
    QSignalSpy unregistered(m_watcher.get(), &FakeStatusNotifierWatcher::itemUnregistered);

    item.reset();
    QTRY_COMPARE(unregistered.count(), 1);
    QCOMPARE(unregistered.constFirst().constFirst().toString(), service + SniStatusItem::itemPath());
    QVERIFY(!m_client.interface()->isServiceRegistered(service).value());

    // The objects went with it, so the next item on this connection can publish its own.
    SniStatusItem next(m_itemBus);
    QVERIFY(next.isExported());
}

void TestSni::propertiesOverDBus() {
    SniStatusItem item(m_itemBus);
    item.setTitle(title);
    QCOMPARE(item.title(), title);

    QCOMPARE(itemProperty(item, u"Id"_s).toString(), u"quendle2"_s);
    QCOMPARE(itemProperty(item, u"Category"_s).toString(), u"ApplicationStatus"_s);
    QCOMPARE(itemProperty(item, u"Status"_s).toString(), u"Active"_s);
    QCOMPARE(itemProperty(item, u"Title"_s).toString(), title);
    QCOMPARE(itemProperty(item, u"XAyatanaLabel"_s).toString(), title);
    QCOMPARE(itemProperty(item, u"XAyatanaLabelGuide"_s).toString(), title);
    QCOMPARE(itemProperty(item, u"IconName"_s).toString(), u"org.quendle2.Quendle2"_s);
    const QVariant itemIsMenu = itemProperty(item, u"ItemIsMenu"_s);
    QCOMPARE(itemIsMenu.metaType(), QMetaType::fromType<bool>());
    QCOMPARE(itemIsMenu.toBool(), false);
    QCOMPARE(itemProperty(item, u"Menu"_s).value<QDBusObjectPath>().path(), u"/MenuBar"_s);

    const QDBusArgument toolTipArgument = itemProperty(item, u"ToolTip"_s).value<QDBusArgument>();
    QCOMPARE(toolTipArgument.currentSignature(), u"(sa(iiay)ss)"_s);
    SniToolTip toolTip;
    toolTipArgument >> toolTip;
    QCOMPARE(toolTip.iconName, u"org.quendle2.Quendle2"_s);
    QCOMPARE(toolTip.iconPixmaps.size(), 2);
    QCOMPARE(toolTip.title, title);
    QCOMPARE(toolTip.description, QString());

    // GNOME's extension reads everything at once: one property that fails to marshal spoils the whole
    // answer.
    const QDBusMessage all = call(item.serviceName(), SniStatusItem::itemPath(), propertiesInterface,
                                  u"GetAll"_s, {SniStatusItem::itemInterface()});
    QCOMPARE(all.type(), QDBusMessage::ReplyMessage);
    QVariantMap properties;
    all.arguments().value(0).value<QDBusArgument>() >> properties;
    for (const QString& name :
         {u"Id"_s, u"Category"_s, u"Status"_s, u"Title"_s, u"IconName"_s, u"IconPixmap"_s, u"ToolTip"_s,
          u"ItemIsMenu"_s, u"Menu"_s, u"XAyatanaLabel"_s, u"XAyatanaLabelGuide"_s}) {
        QVERIFY2(properties.contains(name), qPrintable(name));
    }
    QCOMPARE(properties.value(u"XAyatanaLabel"_s).toString(), title);
}

void TestSni::iconPixmapsAreArgbInNetworkOrder() {
    SniStatusItem item(m_itemBus);
    const QDBusArgument argument = itemProperty(item, u"IconPixmap"_s).value<QDBusArgument>();
    QCOMPARE(argument.currentSignature(), u"a(iiay)"_s);
    SniIconPixmapList pixmaps;
    argument >> pixmaps;
    QCOMPARE(pixmaps.size(), 2);

    for (const int size : {22, 64}) {
        const auto found = std::find_if(pixmaps.cbegin(), pixmaps.cend(),
                                        [size](const SniIconPixmap& pixmap) { return pixmap.width == size; });
        QVERIFY2(found != pixmaps.cend(), qPrintable(u"no %1 px picture"_s.arg(size)));
        QCOMPARE(found->height, size);
        QCOMPARE(found->argb.size(), qsizetype(size) * size * 4);

        const QImage reference = renderAppIcon(size).convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!reference.isNull());
        int opaque = 0;
        int clear = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = reference.pixel(x, y);
                const qsizetype at = (qsizetype(y) * size + x) * 4;
                const auto byte = [&found, at](int i) { return uchar(found->argb.at(at + i)); };
                if (byte(0) != qAlpha(pixel) || byte(1) != qRed(pixel) || byte(2) != qGreen(pixel) ||
                    byte(3) != qBlue(pixel)) {
                    QFAIL(qPrintable(u"%1 px: pixel (%2, %3) is %4 %5 %6 %7, expected ARGB %8"_s.arg(
                        QString::number(size), QString::number(x), QString::number(y),
                        QString::number(byte(0), 16), QString::number(byte(1), 16),
                        QString::number(byte(2), 16), QString::number(byte(3), 16),
                        QString::number(pixel, 16))));
                }
                opaque += qAlpha(pixel) == 255 ? 1 : 0;
                clear += qAlpha(pixel) == 0 ? 1 : 0;
            }
        }
        // A blank or fully filled square would pass the comparison above and show nothing.
        QVERIFY(opaque > size * size / 4);
        QVERIFY(clear > size * size / 8);
    }

    // The body of the train is red: alpha must come first and red before blue, whatever the CPU's order.
    const SniIconPixmap& large = pixmaps.at(0).width == 64 ? pixmaps.at(0) : pixmaps.at(1);
    const qsizetype body = (qsizetype(38) * 64 + 32) * 4;
    QCOMPARE(uchar(large.argb.at(body)), uchar(0xff));
    QVERIFY(uchar(large.argb.at(body + 1)) > uchar(large.argb.at(body + 3)) + 100);
}

void TestSni::setTitleSignalsNewLabel() {
    SniStatusItem item(m_itemBus);
    SignalRecorder recorder;
    for (const QString& name : {u"XAyatanaNewLabel"_s, u"NewTitle"_s, u"NewToolTip"_s}) {
        QVERIFY(m_client.connect(item.serviceName(), SniStatusItem::itemPath(),
                                 SniStatusItem::itemInterface(), name, &recorder,
                                 SLOT(record(QDBusMessage))));
    }
    syncClient();

    item.setTitle(u"A"_s);
    item.setTitle(u"A"_s);
    item.setTitle(title);
    // One sender's signals arrive in order: once the second label is here, a signal for the repeated
    // title would have come before it.
    QTRY_COMPARE(recorder.named(u"XAyatanaNewLabel"_s).size(), 2);
    const QList<QDBusMessage> labels = recorder.named(u"XAyatanaNewLabel"_s);
    QCOMPARE(labels.at(0).arguments(), (QVariantList{u"A"_s, u"A"_s}));
    QCOMPARE(labels.at(1).arguments(), (QVariantList{title, title}));
    QCOMPARE(labels.at(1).path(), SniStatusItem::itemPath());
    QCOMPARE(labels.at(1).interface(), SniStatusItem::itemInterface());
    QCOMPARE(recorder.named(u"NewTitle"_s).size(), 2);
    QCOMPARE(recorder.named(u"NewToolTip"_s).size(), 2);

    // A host re-reads on the signal and must find the new text.
    QCOMPARE(itemProperty(item, u"XAyatanaLabel"_s).toString(), title);
    QCOMPARE(itemProperty(item, u"Title"_s).toString(), title);
}

void TestSni::activateEmitsClicked() {
    SniStatusItem item(m_itemBus);
    QSignalSpy clicked(&item, &StatusItem::clicked);
    QSignalSpy quit(&item, &StatusItem::quitRequested);
    const auto itemCall = [&](const QString& method, const QVariantList& arguments) {
        return call(item.serviceName(), SniStatusItem::itemPath(), SniStatusItem::itemInterface(), method,
                    arguments);
    };

    QCOMPARE(itemCall(u"ContextMenu"_s, {0, 0}).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(itemCall(u"Scroll"_s, {120, u"vertical"_s}).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(itemCall(u"Activate"_s, {0, 0}).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(clicked.count(), 1);
    QCOMPARE(itemCall(u"SecondaryActivate"_s, {10, 20}).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(clicked.count(), 2);

    // Anything queued by the calls above has been delivered by now.
    QCoreApplication::processEvents();
    QCOMPARE(clicked.count(), 2);
    QCOMPARE(quit.count(), 0);
}

void TestSni::menuLayoutListsTheEntries() {
    SniStatusItem item(m_itemBus);
    QCOMPARE(itemProperty(item, u"Menu"_s).value<QDBusObjectPath>().path(), SniStatusItem::menuPath());
    const auto getLayout = [&](int parent, int depth, const QStringList& names) {
        return call(item.serviceName(), SniStatusItem::menuPath(), menuInterface, u"GetLayout"_s,
                    {parent, depth, names});
    };

    const QDBusMessage reply = getLayout(0, -1, {});
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(reply.signature(), u"u(ia{sv}av)"_s);
    QCOMPARE(reply.arguments().at(0).toUInt(), 1u);
    DBusMenuLayoutItem root;
    reply.arguments().at(1).value<QDBusArgument>() >> root;
    QCOMPARE(root.id, 0);
    QCOMPARE(root.properties.value(u"children-display"_s).toString(), u"submenu"_s);
    QCOMPARE(root.children.size(), 2);
    QCOMPARE(root.children.at(0).id, 1);
    QCOMPARE(root.children.at(0).properties.value(u"label"_s).toString(), u"Open quendle2"_s);
    QCOMPARE(root.children.at(1).id, 2);
    QCOMPARE(root.children.at(1).properties.value(u"label"_s).toString(), u"Quit quendle2"_s);
    for (const DBusMenuLayoutItem& child : root.children) {
        QVERIFY(child.children.isEmpty());
        QCOMPARE(child.properties.value(u"enabled"_s, false).toBool(), true);
        QCOMPARE(child.properties.value(u"visible"_s, false).toBool(), true);
    }

    // Depth 0 is the item alone; a property list keeps only the properties named.
    DBusMenuLayoutItem shallow;
    getLayout(0, 0, {}).arguments().value(1).value<QDBusArgument>() >> shallow;
    QCOMPARE(shallow.id, 0);
    QVERIFY(shallow.children.isEmpty());

    DBusMenuLayoutItem labelsOnly;
    getLayout(0, 1, {u"label"_s}).arguments().value(1).value<QDBusArgument>() >> labelsOnly;
    QVERIFY(labelsOnly.properties.isEmpty());
    QCOMPARE(labelsOnly.children.size(), 2);
    QCOMPARE(labelsOnly.children.at(1).properties, (QVariantMap{{u"label"_s, QVariant(u"Quit quendle2"_s)}}));

    DBusMenuLayoutItem entry;
    getLayout(2, -1, {}).arguments().value(1).value<QDBusArgument>() >> entry;
    QCOMPARE(entry.id, 2);
    QCOMPARE(entry.properties.value(u"label"_s).toString(), u"Quit quendle2"_s);

    QCOMPARE(getLayout(42, -1, {}).type(), QDBusMessage::ErrorMessage);
}

void TestSni::menuPropertiesAndErrors() {
    SniStatusItem item(m_itemBus);
    const auto menuCall = [&](const QString& method, const QVariantList& arguments) {
        return call(item.serviceName(), SniStatusItem::menuPath(), menuInterface, method, arguments);
    };
    const auto menuProperty = [&](const QString& name) {
        return getProperty(item.serviceName(), SniStatusItem::menuPath(), menuInterface, name)
            .arguments()
            .value(0)
            .value<QDBusVariant>()
            .variant();
    };

    const QVariant version = menuProperty(u"Version"_s);
    QCOMPARE(version.metaType(), QMetaType::fromType<uint>());
    QCOMPARE(version.toUInt(), 3u);
    QCOMPARE(menuProperty(u"TextDirection"_s).toString(), u"ltr"_s);
    QCOMPARE(menuProperty(u"Status"_s).toString(), u"normal"_s);

    const QDBusMessage group = menuCall(u"GetGroupProperties"_s,
                                        {QVariant::fromValue(QList<int>{2, 1, 9}), QStringList{u"label"_s}});
    QCOMPARE(group.signature(), u"a(ia{sv})"_s);
    DBusMenuItemList items;
    group.arguments().value(0).value<QDBusArgument>() >> items;
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0).id, 2);
    QCOMPARE(items.at(0).properties, (QVariantMap{{u"label"_s, QVariant(u"Quit quendle2"_s)}}));
    QCOMPARE(items.at(1).id, 1);
    QCOMPARE(items.at(1).properties, (QVariantMap{{u"label"_s, QVariant(u"Open quendle2"_s)}}));

    const QDBusMessage label = menuCall(u"GetProperty"_s, {1, u"label"_s});
    QCOMPARE(label.arguments().value(0).value<QDBusVariant>().variant().toString(), u"Open quendle2"_s);
    QCOMPARE(menuCall(u"GetProperty"_s, {1, u"icon-name"_s}).type(), QDBusMessage::ErrorMessage);
    QCOMPARE(menuCall(u"GetProperty"_s, {5, u"label"_s}).type(), QDBusMessage::ErrorMessage);

    const QDBusMessage aboutToShow = menuCall(u"AboutToShow"_s, {0});
    QCOMPARE(aboutToShow.arguments(), QVariantList{false});

    const QDBusMessage aboutToShowGroup =
        menuCall(u"AboutToShowGroup"_s, {QVariant::fromValue(QList<int>{0, 1, 9})});
    QCOMPARE(aboutToShowGroup.signature(), u"aiai"_s);
    QCOMPARE(qdbus_cast<QList<int>>(aboutToShowGroup.arguments().value(0)), QList<int>{});
    QCOMPARE(qdbus_cast<QList<int>>(aboutToShowGroup.arguments().value(1)), QList<int>{9});
}

void TestSni::menuEventsTriggerEntries() {
    SniStatusItem item(m_itemBus);
    QSignalSpy clicked(&item, &StatusItem::clicked);
    QSignalSpy quit(&item, &StatusItem::quitRequested);
    const QVariant noData = QVariant::fromValue(QDBusVariant(0));
    const auto event = [&](int id, const QString& eventId) {
        return call(item.serviceName(), SniStatusItem::menuPath(), menuInterface, u"Event"_s,
                    {id, eventId, noData, 0u});
    };

    QCOMPARE(event(1, u"hovered"_s).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(event(0, u"opened"_s).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(event(1, u"clicked"_s).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(clicked.count(), 1);
    QCOMPARE(quit.count(), 0);

    QCOMPARE(event(2, u"clicked"_s).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(quit.count(), 1);
    QCOMPARE(clicked.count(), 1);

    QCOMPARE(event(7, u"clicked"_s).type(), QDBusMessage::ErrorMessage);

    const DBusMenuEventList events{{1, u"clicked"_s, QDBusVariant(0), 0},
                                   {9, u"clicked"_s, QDBusVariant(0), 0}};
    const QDBusMessage group = call(item.serviceName(), SniStatusItem::menuPath(), menuInterface,
                                    u"EventGroup"_s, {QVariant::fromValue(events)});
    QCOMPARE(group.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(qdbus_cast<QList<int>>(group.arguments().value(0)), QList<int>{9});
    QTRY_COMPARE(clicked.count(), 2);

    QCoreApplication::processEvents();
    QCOMPARE(clicked.count(), 2);
    QCOMPARE(quit.count(), 1);
}

void TestSni::factoryPrefersStatusNotifierItem() {
    // The factory's bus must be the private one, or this test would be about the machine's desktop.
    QDBusConnection session = QDBusConnection::sessionBus();
    const QString probe = u"org.quendle2.Test.Probe%1"_s.arg(QCoreApplication::applicationPid());
    QVERIFY(session.registerService(probe));
    QVERIFY(m_client.interface()->isServiceRegistered(probe).value());
    QVERIFY(session.unregisterService(probe));

    std::unique_ptr<StatusItem> item = createStatusItem();
    auto* sni = dynamic_cast<SniStatusItem*>(item.get());
    QVERIFY(sni != nullptr);
    QVERIFY(sni->isExported());
    QTRY_COMPARE(m_watcher->registeredItems(), QStringList{sni->serviceName() + SniStatusItem::itemPath()});
}

void TestSni::factoryWithoutWatcher() {
    m_watcher->stop();
    std::unique_ptr<StatusItem> item = createStatusItem();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        QVERIFY(dynamic_cast<TrayStatusItem*>(item.get()) != nullptr);
    } else {
        QVERIFY(item == nullptr);
    }
}

QTEST_MAIN(TestSni)
#include "tst_sni.moc"
