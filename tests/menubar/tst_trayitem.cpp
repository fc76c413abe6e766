// The tray-icon status item: what the user reaches through it, without a tray to show it in.

#include "menubar/TrayStatusItem.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

using namespace quendle2;
using namespace Qt::Literals::StringLiterals;

class TestTrayItem : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void titleIsTheToolTip();
    void menuEntries();
    void onlyAPlainClickCounts();
};

void TestTrayItem::titleIsTheToolTip() {
    TrayStatusItem item;
    auto* icon = item.findChild<QSystemTrayIcon*>();
    QVERIFY(icon != nullptr);
    QVERIFY(!icon->icon().isNull());
    QVERIFY(!icon->icon().availableSizes().isEmpty());

    const QString title = u"\U0001F684 ICE 123 \u00B7 287 km/h"_s;
    item.setTitle(title);
    QCOMPARE(item.title(), title);
    QCOMPARE(icon->toolTip(), title);
}

void TestTrayItem::menuEntries() {
    using Kind = JourneyMenuEntry::Kind;
    TrayStatusItem item;
    QSignalSpy clicked(&item, &StatusItem::clicked);
    QSignalSpy quit(&item, &StatusItem::quitRequested);
    QSignalSpy chosen(&item, &StatusItem::destinationChosen);
    auto* icon = item.findChild<QSystemTrayIcon*>();
    QVERIFY(icon != nullptr && icon->contextMenu() != nullptr);
    item.setMenu(JourneyMenu{{Kind::Text, u"S-Bahn & Bus"_s, false, {}},
                             {Kind::Destination, u"Auto (next stop)"_s, true, {}},
                             {Kind::Destination, u"Mannheim Hbf"_s, false, u"8000244"_s},
                             {Kind::Separator, {}, false, {}}} +
                 baseJourneyMenu());
    QStringList shown;
    for (const QAction* action : icon->contextMenu()->actions()) {
        shown << (action->isSeparator()
                      ? u"---"_s
                      : u"%1%2%3"_s.arg(action->isEnabled() ? u""_s : u"[off] "_s,
                                        action->isCheckable() ? (action->isChecked() ? u"(x) "_s : u"( ) "_s)
                                                              : u""_s,
                                        action->text()));
    }
    QCOMPARE(shown, (QStringList{u"[off] S-Bahn && Bus"_s, u"(x) Auto (next stop)"_s, u"( ) Mannheim Hbf"_s,
                                 u"---"_s, u"Open quendle2"_s, u"Quit quendle2"_s}));

    const QList<QAction*> actions = icon->contextMenu()->actions();
    actions.at(2)->trigger();
    QVERIFY(actions.at(2)->isChecked() && !actions.at(1)->isChecked());
    actions.at(1)->trigger();
    QCOMPARE(chosen, (QList<QVariantList>{{u"8000244"_s}, {QString()}}));
    actions.at(4)->trigger();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(quit.count(), 0);
    actions.at(5)->trigger();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(quit.count(), 1);

    // New texts for the same entries change an open menu in place; a choice then names the new stop.
    JourneyMenu moved = item.menu();
    moved[2] = {Kind::Destination, u"Frankfurt(Main)Hbf"_s, true, u"8000105"_s};
    moved[1].checked = false;
    item.setMenu(moved);
    QCOMPARE(icon->contextMenu()->actions(), actions);
    QVERIFY(actions.at(2)->isChecked() && !actions.at(1)->isChecked());
    QCOMPARE(actions.at(2)->text(), u"Frankfurt(Main)Hbf"_s);
    actions.at(2)->trigger();
    QCOMPARE(chosen.last(), QVariantList{u"8000105"_s});
    item.setMenu(baseJourneyMenu());
    QCOMPARE(icon->contextMenu()->actions().size(), 2);
}

void TestTrayItem::onlyAPlainClickCounts() {
    TrayStatusItem item;
    QSignalSpy clicked(&item, &StatusItem::clicked);
    auto* icon = item.findChild<QSystemTrayIcon*>();
    QVERIFY(icon != nullptr);

    // The context click opens the menu, which the tray does by itself.
    Q_EMIT icon->activated(QSystemTrayIcon::Context);
    Q_EMIT icon->activated(QSystemTrayIcon::MiddleClick);
    QCOMPARE(clicked.count(), 0);
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    QCOMPARE(clicked.count(), 1);
}

QTEST_MAIN(TestTrayItem)
#include "tst_trayitem.moc"
