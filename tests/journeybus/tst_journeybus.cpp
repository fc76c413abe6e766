// The journey as a script meets it: on a private bus, every read, call and signal crossing the wire from
// another connection.

#include "journeybus/JourneyBus.h"
#include "platform/JourneyBusNames.h"
#include "store/Trip.h"
#include "support/CapturedJourney.h"
#include "support/PrivateSessionBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString busName = QString::fromLatin1(JourneyBusNames::application);
const QString interfaceName = QString::fromLatin1(JourneyBusNames::interface);
const QString objectPath = QString::fromLatin1(JourneyBusNames::objectPath);

/// Each PropertiesChanged as "interface: Name,Name | invalidated".
class ChangeRecorder : public QObject {
    Q_OBJECT
public:
    QStringList seen;

public Q_SLOTS:
    void record(const QString& interface, const QVariantMap& changed, const QStringList& invalidated) {
        seen << u"%1: %2 | %3"_s.arg(interface, changed.keys().join(u','), invalidated.join(u','));
    }
};

/// The captured journey, published.
struct Journey : CapturedJourney {
    JourneyBus bus{&store, &manager};
};

} // namespace

class TestJourneyBus : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        qputenv("TZ", "UTC");
        QLocale::setDefault(QLocale::c());
        if (PrivateSessionBus::daemonProgram().isEmpty()) {
            QSKIP("dbus-daemon is not installed");
        }
        QString error;
        QVERIFY2(m_bus.start(&error), qPrintable(error));
        m_appBus = m_bus.connect(u"journey-app"_s);
        m_client = m_bus.connect(u"journey-script"_s);
        QVERIFY(m_appBus.isConnected() && m_client.isConnected());
    }

    void publishesTheJourney() {
        Journey journey;
        QString error;
        QVERIFY2(journey.bus.publish(m_appBus, busName, &error), qPrintable(error));
        // Before the first poll, too, the title is the status item's.
        const QDBusMessage title =
            call(u"org.freedesktop.DBus.Properties"_s, u"Get"_s, {interfaceName, u"Title"_s});
        QCOMPARE(title.arguments().value(0).value<QDBusVariant>().variant().toString(),
                 journey.manager.title());
        ChangeRecorder recorder;
        QVERIFY(connectRecorder(recorder));
        journey.tick();
        QTRY_COMPARE(recorder.seen.size(), 1);

        const QVariantMap all = qdbus_cast<QVariantMap>(
            call(u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s, {interfaceName}).arguments().value(0));
        QStringList shown;
        for (auto it = all.cbegin(); it != all.cend(); ++it) {
            shown << u"%1 %2 %3"_s.arg(it.key(), QString::fromLatin1(it.value().metaType().name()),
                                       it.value().typeId() == QMetaType::QStringList
                                           ? it.value().toStringList().join(u" / "_s)
                                           : it.value().toString());
        }
        const Trip* trip = journey.service->currentTrip();
        QVERIFY(trip != nullptr);
        QCOMPARE(
            shown,
            (QStringList{
                u"ArrivalEpochMs qlonglong 1766951700000"_s, u"Connected bool true"_s, u"Delay QString +3"_s,
                u"DestinationEva QString 8000107"_s, u"DestinationName QString Freiburg(Breisgau) Hbf"_s,
                u"NextStops QStringList 19:52 Freiburg(Breisgau) Hbf +3 \u00B7 Pl. 1 / 20:25 Offenburg "
                u"\u00B7 Pl. 3 / "
                u"20:56 Karlsruhe Hbf \u00B7 Pl. 3 / 21:26 Mannheim Hbf \u00B7 Pl. 4 (was 3) / "
                u"22:09 Frankfurt(Main)Hbf \u00B7 Pl. 2"_s,
                u"Platform QString 1"_s, u"SpeedKmh double 106.3"_s,
                u"Title QString "_s + journey.manager.title(), u"TrainIdentifier QString ICE 9473"_s,
                u"TripId QString "_s + trip->id().toString(QUuid::WithoutBraces), u"Wifi QString WEAK"_s}));

        // A minute on, only the countdown moved; a rebuild that changes nothing says nothing, and one
        // sender's signals arrive in order, so a silent rebuild's signal would show before the next one.
        journey.manager.rebuildMenubar();
        journey.clock.advance(60);
        journey.manager.rebuildMenubar();
        QTRY_COMPARE(recorder.seen.size(), 2);
        QCOMPARE(recorder.seen.last(), interfaceName + u": Title | "_s);

        // The desktop session runs one quendle2: a second cannot take the name.
        Journey second;
        QVERIFY(!second.bus.publish(m_client, busName, &error));
    }

    void callsChangeTheJourney_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("eva");
        QTest::addColumn<QString>("errorName");
        QTest::addColumn<QString>("changed");
        QTest::addColumn<int>("showRequests");

        const QString unknown = QString::fromLatin1(JourneyBusNames::unknownStopError);
        const QString destination = u"ArrivalEpochMs,Delay,DestinationEva,DestinationName,Platform,Title"_s;
        QTest::newRow("a stop ahead")
            << u"SelectDestination"_s << u"8000244"_s << QString() << destination << 0;
        QTest::newRow("automatic") << u"SelectDestination"_s << QString() << QString() << QString() << 0;
        QTest::newRow("a stop passed") << u"SelectDestination"_s << u"8000026"_s << unknown << QString() << 0;
        QTest::newRow("no such stop") << u"SelectDestination"_s << u"1234567"_s << unknown << QString() << 0;
        QTest::newRow("show the window") << u"ShowWindow"_s << QString() << QString() << QString() << 1;
    }

    void callsChangeTheJourney() {
        QFETCH(QString, method);
        QFETCH(QString, eva);
        QFETCH(QString, errorName);
        QFETCH(QString, changed);
        QFETCH(int, showRequests);
        Journey journey;
        QString error;
        QVERIFY2(journey.bus.publish(m_appBus, busName, &error), qPrintable(error));
        journey.tick();
        QSignalSpy shown(&journey.bus, &JourneyBus::showWindowRequested);
        ChangeRecorder recorder;
        QVERIFY(connectRecorder(recorder));

        const QDBusMessage reply =
            call(interfaceName, method, method == u"ShowWindow"_s ? QVariantList{} : QVariantList{eva});
        QCOMPARE(reply.errorName(), errorName);
        // A minute on, the title changes for certain: its signal closes what the call brought.
        journey.clock.advance(60);
        journey.manager.rebuildMenubar();
        QTRY_VERIFY(recorder.seen.endsWith(interfaceName + u": Title | "_s));
        QStringList expected;
        if (!changed.isEmpty()) {
            expected << interfaceName + u": "_s + changed + u" | "_s;
        }
        expected << interfaceName + u": Title | "_s;
        QCOMPARE(recorder.seen, expected);
        QCOMPARE(shown.count(), showRequests);
    }

private:
    bool connectRecorder(ChangeRecorder& recorder) {
        const bool connected = m_client.connect(busName, objectPath, u"org.freedesktop.DBus.Properties"_s,
                                                u"PropertiesChanged"_s, &recorder,
                                                SLOT(record(QString, QVariantMap, QStringList)));
        // A round trip to the daemon: the match rule is in place before anything is sent.
        return connected &&
               call(u"org.freedesktop.DBus.Peer"_s, u"Ping"_s).type() == QDBusMessage::ReplyMessage;
    }

    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(busName, objectPath, interface, method);
        message.setArguments(arguments);
        // The journey answers from this very thread, so the wait must keep the event loop running.
        return m_client.call(message, QDBus::BlockWithGui, 10000);
    }

    PrivateSessionBus m_bus;
    QDBusConnection m_appBus{u"unconnected"_s};
    QDBusConnection m_client{u"unconnected"_s};
};

QTEST_MAIN(TestJourneyBus)
#include "tst_journeybus.moc"
