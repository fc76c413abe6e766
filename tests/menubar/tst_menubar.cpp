// The menu-bar title (as exact UTF-8), the journey menu and what a click on the status item does.

#include "menubar/ClickDecision.h"
#include "menubar/HostHint.h"
#include "menubar/JourneyMenu.h"
#include "menubar/MenubarTitle.h"
#include "menubar/StatusBarManager.h"
#include "platform/Log.h"
#include "service/AppStore.h"
#include "service/TrainService.h"
#include "store/AppSettings.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "support/LogCapture.h"
#include "support/ManualClock.h"
#include "support/RecordingStatusItem.h"
#include "support/TrainServiceProbe.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <limits>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(std::optional<quendle2::MenubarFlags>)
Q_DECLARE_METATYPE(quendle2::MenubarSnapshot)
Q_DECLARE_METATYPE(quendle2::JourneySnapshot)
Q_DECLARE_METATYPE(QList<quendle2::ClickDecision::Window>)
Q_DECLARE_METATYPE(quendle2::ClickDecision::Action)

namespace {

const QDateTime now = QDateTime(QDate(2025, 12, 28), QTime(12, 0), Qt::UTC);
const QString train = u"\U0001F684"_s;
const QString green = u"\U0001F7E2"_s;

TrainService::UpcomingStop stop(std::optional<QDateTime> scheduled, std::optional<QDateTime> actual,
                                std::optional<QString> delay) {
    return TrainService::UpcomingStop{
        QUuid::createUuid(), u"8000105"_s, u"Frankfurt(Main)Hbf"_s, scheduled, actual, delay, false};
}

MenubarSnapshot connectedAt(double speed, std::optional<TrainService::UpcomingStop> arrival = std::nullopt,
                            const QString& wifi = u"HIGH"_s) {
    return MenubarSnapshot{true, speed, wifi, now, std::move(arrival)};
}

/// A fresh store, a clock and an item for a manager to drive.
struct Bar {
    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container =
        ModelContainer::open(dir.filePath(u"store.sqlite"_s)).takeValue();
    ManualClock clock{now};
    RecordingItem* item = new RecordingItem;

    std::unique_ptr<StatusBarManager> manage(AppStore* store) {
        return std::make_unique<StatusBarManager>(store, container.get(), std::unique_ptr<StatusItem>(item),
                                                  clock);
    }
};

} // namespace

class TestMenubar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLoggingCategory::setFilterRules(u"org.quendle2.Quendle2.*.debug=true"_s); }

    void title_data() {
        QTest::addColumn<std::optional<MenubarFlags>>("flags");
        QTest::addColumn<MenubarSnapshot>("snapshot");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, std::optional<MenubarFlags> flags,
                            const MenubarSnapshot& snapshot, const QString& expected) {
            QTest::newRow(name) << flags << snapshot << expected;
        };

        const auto in = [](qint64 seconds) { return std::optional<QDateTime>(now.addSecs(seconds)); };
        const std::optional<MenubarFlags> all;
        // No symbols, and only the segments named.
        const auto only = [](bool speed, bool arrival, bool delay) {
            return std::optional(MenubarFlags{false, speed, arrival, delay, false});
        };
        const MenubarSnapshot disconnected{false, 187.9, u"HIGH"_s, now, stop(in(600), {}, u"+5"_s)};

        row("full title", all, connectedAt(187.9, stop(in(3960), in(3965), u"+5"_s)),
            train + u" 187 km/h 1h 6m (+5) "_s + green);
        row("disconnected, symbol on", all, disconnected, train + u" Disconnected"_s);
        row("disconnected, symbol off, other flags ignored", MenubarFlags{false, true, true, true, true},
            disconnected, u"Disconnected"_s);
        row("emoji unset counts as on", MenubarFlags{std::nullopt, true, false, false, false},
            connectedAt(120), train + u" 120 km/h"_s);
        row("only speed, no leading space", only(true, false, false), connectedAt(120), u"120 km/h"_s);
        row("stopped train shows 0 km/h", only(true, false, false), connectedAt(0), u"0 km/h"_s);
        // The portal may send any number; converting one beyond an integer's range is undefined behaviour.
        row("2^63 exactly is out of range", only(true, false, false), connectedAt(9223372036854775808.0),
            u"9223372036854775807 km/h"_s);
        row("huge negative speed", only(true, false, false), connectedAt(-1e300),
            u"-9223372036854775808 km/h"_s);
        row("not a number shows 0", only(true, false, false),
            connectedAt(std::numeric_limits<double>::quiet_NaN()), u"0 km/h"_s);
        row("nothing to show is empty", only(false, false, false), connectedAt(120), QString());
        row("actual arrival wins", only(false, true, true), connectedAt(0, stop(in(7200), in(600), {})),
            u"10m"_s);
        row("scheduled arrival when no actual", only(false, true, true),
            connectedAt(0, stop(in(600), {}, {})), u"10m"_s);
        row("stop without any arrival: no segment", only(true, true, true),
            connectedAt(50, stop({}, {}, u"+3"_s)), u"50 km/h"_s);
        row("empty delay: no parentheses", only(false, true, true), connectedAt(0, stop(in(600), {}, u""_s)),
            u"10m"_s);
        row("delay off: no parentheses", only(false, true, false), connectedAt(0, stop(in(600), {}, u"+2"_s)),
            u"10m"_s);
        row("delay text kept as sent", only(false, true, true), connectedAt(0, stop(in(600), {}, u" +12 "_s)),
            u"10m ( +12 )"_s);
        row("delay is part of arrival: arrival off hides it", only(true, false, true),
            connectedAt(80, stop(in(600), {}, u"+2"_s)), u"80 km/h"_s);
        row("no arrival stop", all, connectedAt(80), train + u" 80 km/h "_s + green);
        row("unknown quality: no symbol", all, connectedAt(80, std::nullopt, u"SUPERB"_s),
            train + u" 80 km/h"_s);
        row("past arrival, no quality", all, connectedAt(80, stop(in(-5), {}, u"+1"_s), u""_s),
            train + u" 80 km/h arrived (+1)"_s);
    }

    void title() {
        QFETCH(std::optional<MenubarFlags>, flags);
        QFETCH(MenubarSnapshot, snapshot);
        QFETCH(QString, expected);
        QCOMPARE(composeMenubarTitle(flags, snapshot, now).toUtf8(), expected.toUtf8());
    }

    // The full menu of a real journey is read over D-Bus in tst_sni; these are its edges.
    void journeyMenuEdges_data() {
        QTest::addColumn<JourneySnapshot>("snapshot");
        QTest::addColumn<QStringList>("expected");
        const auto along = [](int count, std::optional<QString> chosen) {
            JourneySnapshot snapshot{true, u"ICE 1"_s, {}, 1000, {}, {}, std::move(chosen), {}};
            for (int i = 0; i < count; ++i) {
                snapshot.upcomingStops.push_back({QUuid::createUuid(), QString::number(i), u"S%1"_s.arg(i),
                                                  std::nullopt, std::nullopt, u""_s, false,
                                                  StopPlatform{u""_s, u"7"_s}});
            }
            return snapshot;
        };
        const auto forecast = [](std::optional<QString> current, std::optional<QString> next,
                                 qint64 seconds) {
            return JourneySnapshot{true, {}, {}, {},
                                   {},   {}, {}, ICEStatus::Connectivity{current, next, seconds}};
        };
        const QStringList end{u"---"_s, u"Open quendle2"_s, u"Quit quendle2"_s};
        QTest::newRow("seven stops ahead: six listed, a chosen one checked")
            << along(7, u"2"_s)
            << QStringList{u"ICE 1"_s,          u"( ) Auto (next stop)"_s, u"( ) S0 · Pl. 7"_s,
                           u"( ) S1 · Pl. 7"_s, u"(x) S2 · Pl. 7"_s,       u"( ) S3 · Pl. 7"_s,
                           u"( ) S4 · Pl. 7"_s, u"( ) S5 · Pl. 7"_s} +
                   end;
        QTest::newRow("a choice no longer ahead counts as automatic")
            << along(1, u"9"_s)
            << QStringList{u"ICE 1"_s, u"(x) Auto (next stop)"_s, u"( ) S0 · Pl. 7"_s} + end;
        QTest::newRow("same state ahead, any case") << forecast(u"weak"_s, u"WEAK"_s, 240) << end.mid(1);
        QTest::newRow("nothing left to wait") << forecast(u"HIGH"_s, u"WEAK"_s, 0) << end.mid(1);
        QTest::newRow("no current state")
            << forecast({}, u"weak"_s, 59) << QStringList{u"Wi‑Fi: WEAK in 0m"_s} + end;
    }

    void journeyMenuEdges() {
        QFETCH(JourneySnapshot, snapshot);
        QStringList shown;
        for (const JourneyMenuEntry& entry : composeJourneyMenu(snapshot, now)) {
            const bool radio = entry.kind == JourneyMenuEntry::Kind::Destination;
            shown << (entry.kind == JourneyMenuEntry::Kind::Separator ? u"---"_s
                      : radio ? (entry.checked ? u"(x) "_s : u"( ) "_s) + entry.label
                              : entry.label);
        }
        QTEST(shown, "expected");
    }

    void remainingTime_data() {
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0.7 s") << qint64(700) << u"arrived"_s;
        QTest::newRow("1 s") << qint64(1000) << u"0m"_s;
        QTest::newRow("59.9 s") << qint64(59'900) << u"0m"_s;
        QTest::newRow("60 s") << qint64(60'000) << u"1m"_s;
        QTest::newRow("3599 s") << qint64(3'599'000) << u"59m"_s;
        QTest::newRow("3600 s") << qint64(3'600'000) << u"1h 0m"_s;
        QTest::newRow("25 h + 61 s") << qint64((25 * 3600 + 61) * 1000LL) << u"25h 1m"_s;
        QTest::newRow("the past") << qint64(-90'000) << u"arrived"_s;
    }

    void remainingTime() {
        QFETCH(qint64, milliseconds);
        QTEST(formatRemainingTime(now.addMSecs(milliseconds), now), "expected");
    }

    // Unknown and empty qualities are rows of the title.
    void wifiSymbols_data() {
        QTest::addColumn<QString>("quality");
        QTest::addColumn<QString>("symbol"); // empty: none
        QTest::newRow("HIGH") << u"HIGH"_s << green;
        QTest::newRow("lower case high") << u"high"_s << green;
        QTest::newRow("MEDIUM") << u"MEDIUM"_s << u"\U0001F7E1"_s;
        QTest::newRow("MIDDLE, as the portal sends") << u"MIDDLE"_s << u"\U0001F7E1"_s;
        QTest::newRow("LOW") << u"LOW"_s << u"\U0001F7E0"_s;
        QTest::newRow("WEAK") << u"WEAK"_s << u"\U0001F7E0"_s;
        QTest::newRow("UNSTABLE") << u"UNSTABLE"_s << u"\U0001F7E0"_s;
        QTest::newRow("NO_INTERNET") << u"NO_INTERNET"_s << u"\U0001F534"_s;
        QTest::newRow("OFFLINE") << u"OFFLINE"_s << u"\U0001F534"_s;
        QTest::newRow("not trimmed") << u" HIGH"_s << QString();
    }

    void wifiSymbols() {
        QFETCH(QString, quality);
        QFETCH(QString, symbol);
        QCOMPARE(wifiSymbol(quality).value_or(QString()).toUtf8(), symbol.toUtf8());
    }

    void clickDecisions_data() {
        using W = ClickDecision::Window;
        using A = ClickDecision::Action;
        QTest::addColumn<bool>("active");
        QTest::addColumn<QList<W>>("windows");
        QTest::addColumn<A>("action");
        QTest::addColumn<bool>("restore");

        QTest::newRow("active, window on screen: hide")
            << true << QList<W>{{true, false}} << A::HideApplication << false;
        QTest::newRow("active, only window minimised: restore")
            << true << QList<W>{{true, true}} << A::ShowFirstWindow << true;
        QTest::newRow("active, window hidden: show")
            << true << QList<W>{{false, false}} << A::ShowFirstWindow << false;
        QTest::newRow("inactive, window visible behind others: raise, not hide")
            << false << QList<W>{{true, false}} << A::ShowFirstWindow << false;
        QTest::newRow("first window minimised, second on screen, inactive: restore the first")
            << false << QList<W>{{true, true}, {true, false}} << A::ShowFirstWindow << true;
        QTest::newRow("no window") << true << QList<W>{} << A::RequestMainWindow << false;
    }

    void clickDecisions() {
        QFETCH(bool, active);
        QFETCH(QList<ClickDecision::Window>, windows);
        const ClickDecision decision = ClickDecision::decide(active, windows);
        QTEST(decision.action, "action");
        QTEST(decision.restoreFirstWindow, "restore");
    }

    // Notifications and clicks reach the manager; a click carries the host's activation token.
    void managerFollowsNotificationsAndClicks() {
        Bar bar;
        AppStore store(new TrainService(nullptr));
        const auto manager = bar.manage(&store);
        QCOMPARE(bar.item->sets(), 1); // a title at once, before any notification
        QCOMPARE(bar.item->title(), train + u" Disconnected"_s);

        LogCapture log(lcStatusBar());
        NotificationCenter::defaultCenter().post(Notification::TrainServiceDidUpdate);
        NotificationCenter::defaultCenter().post(Notification::SettingsDidChange);
        NotificationCenter::defaultCenter().post(Notification::TrainServiceDidUpdate);
        QCOMPARE(bar.item->sets(), 1); // never inside the poster's call
        QTRY_COMPARE(bar.item->sets(), 4);
        QCoreApplication::processEvents();
        QCOMPARE(bar.item->sets(), 4); // one rebuild each: neither merged nor repeated
        QCOMPARE(log.startingWith(u"Observer: "_s),
                 (QStringList{u"Observer: trainServiceDidUpdate received"_s,
                              u"Observer: settingsDidChange received"_s,
                              u"Observer: trainServiceDidUpdate received"_s}));

        // A store that cannot save says so in the tooltip until a save works again.
        ModelContext* context = bar.container->mainContext();
        QVERIFY(bar.item->warning().isEmpty());
        context->refuseWrites(true);
        context->insert(std::make_unique<AppSettings>());
        QCOMPARE(bar.item->warning(), u"quendle2 cannot save: attempt to write a readonly database"_s);
        context->refuseWrites(false);
        QVERIFY(context->save());
        QVERIFY(bar.item->warning().isEmpty());

        int requests = 0;
        const auto observer = NotificationCenter::defaultCenter().addObserver(
            Notification::OpenMainWindowRequested, [&] { ++requests; });
        log.clear();
        // No window: a new one is asked for, and the token waits where the window's first activation looks.
        qunsetenv("XDG_ACTIVATION_TOKEN");
        bar.item->token = u"wayland-1"_s;
        Q_EMIT bar.item->clicked();
        NotificationCenter::defaultCenter().removeObserver(observer);
        QCOMPARE(requests, 1);
        QCOMPARE(log.startingWith().value(1),
                 u"No existing user window -> requesting main window creation"_s);
        QVERIFY(log.startingWith().value(0).startsWith(
            u"Menubar click: ensuring app is shown/focused (active="_s));
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), "wayland-1");
        qunsetenv("XDG_ACTIVATION_TOKEN");

        // With windows, only the application's own, first in the list, is brought forward, with the token.
        QWidget first;
        QWidget second;
        QList<std::pair<QWidget*, QString>> broughtForward;
        const auto windows = [&] { return QList<QWidget*>{&first, &second}; };
        const auto bringForward = [&](QWidget* window, const QString& token) {
            broughtForward.append({window, token});
        };
        manager->setUserWindows({windows, bringForward});
        bar.item->token = u"wayland-2"_s;
        Q_EMIT bar.item->clicked();
        Q_EMIT bar.item->clicked(); // a token serves one click
        QCOMPARE(broughtForward,
                 (QList<std::pair<QWidget*, QString>>{{&first, u"wayland-2"_s}, {&first, {}}}));
        QCOMPARE(requests, 1);
    }

    void rebuildUsesStoredSettingsAndLogs() {
        Bar bar;
        auto* service = new TrainService(nullptr, QUrl(u"https://127.0.0.1:1"_s), {}, bar.clock);
        AppStore store(service);
        LogCapture log(lcStatusBar());
        const auto manager = bar.manage(&store);
        QCOMPARE(log.startingWith(),
                 (QStringList{u"Rebuild menubar: connected=false lastStatusAge=nil speed=0.0 wifi="_s,
                              u"Menubar shows disconnected (connected flag false)"_s}));

        auto settings = std::make_unique<AppSettings>();
        settings->setShowTrainEmoji(false);
        bar.container->mainContext()->insert(std::move(settings));
        // Read once and kept: a new settings row counts once the settings say they changed.
        manager->rebuildMenubar();
        QVERIFY(bar.item->title().startsWith(u"\U0001F684"_s));
        NotificationCenter::defaultCenter().post(Notification::SettingsDidChange);
        TrainServiceProbe::apply(*service, ICEStatus::decode(R"({"internet":"high","speed":106.3})").value());
        bar.clock.advance(2.5);
        // apply() alone leaves the service disconnected: only a tick decides that.
        QCoreApplication::processEvents();
        log.clear();
        manager->rebuildMenubar();
        QCOMPARE(log.startingWith().first(),
                 u"Rebuild menubar: connected=false lastStatusAge=2.50s speed=106.3 wifi=high"_s);
        QCOMPARE(bar.item->title(), u"Disconnected"_s);
    }

    void hostHintNamesTheRemedy_data() {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("remedy");
        QTest::newRow("GNOME") << u"ubuntu:GNOME"_s << u"gnome-shell-extension-appindicator"_s;
        QTest::newRow("XFCE") << u"XFCE"_s << u"xfce4-indicator-plugin"_s;
        QTest::newRow("MATE") << u"MATE"_s << u"mate-indicator-applet"_s;
        QTest::newRow("unknown") << u"sway"_s << u"system tray or a StatusNotifierItem host"_s;
    }

    void hostHintNamesTheRemedy() {
        QFETCH(QString, desktop);
        QFETCH(QString, remedy);
        const QString hint = hostHint(desktop);
        QVERIFY2(hint.contains(remedy), qPrintable(hint));
        QVERIFY(hint.endsWith(u"Until then, closing this window quits it."_s));
    }
};

QTEST_MAIN(TestMenubar)
#include "tst_menubar.moc"
