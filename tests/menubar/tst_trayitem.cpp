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
    TrayStatusItem item;
    QSignalSpy clicked(&item, &StatusItem::clicked);
    QSignalSpy quit(&item, &StatusItem::quitRequested);
    auto* icon = item.findChild<QSystemTrayIcon*>();
    QVERIFY(icon != nullptr);
    QMenu* menu = icon->contextMenu();
    QVERIFY(menu != nullptr);
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions.at(0)->text(), u"Open quendle2"_s);
    QCOMPARE(actions.at(1)->text(), u"Quit quendle2"_s);

    actions.at(0)->trigger();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(quit.count(), 0);
    actions.at(1)->trigger();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(quit.count(), 1);
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
