// The sidebar wired to a real store and the main window: the trip list and its rows as drawn, deletion and
// the detail pane's next choice, the settings link, and the empty list.
#include "ViewsTestSupport.h"
#include "views/ContentView.h"
#include "views/Contrast.h"
#include "views/DetailPaneView.h"
#include "views/SettingsView.h"
#include "views/SidebarView.h"
#include "views/TripRowDelegate.h"
#include "views/TripSelection.h"
#include "views/ViewIcons.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QSvgGenerator>
#include <QTest>

using namespace quendle2;
using namespace quendle2::test;

class SidebarTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deletingTrips_data() {
        QTest::addColumn<QList<bool>>("active"); // store order; trip i started i days after trip 0
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("selectionAfter"); // -1: none
        QTest::addColumn<int>("shownAfter");     // -1: the hint
        QTest::newRow("selected trip: the active one shows next")
            << QList<bool>{false, true, false} << 2 << 2 << -1 << 1;
        QTest::newRow("selected trip, none active: first in store order, not the newest")
            << QList<bool>{false, false, false} << 1 << 1 << -1 << 0;
        QTest::newRow("the only trip: the hint") << QList<bool>{false} << 0 << 0 << -1 << -1;
        QTest::newRow("another trip: selection untouched") << QList<bool>{false, false} << 0 << 1 << 0 << 0;
        QTest::newRow("an active trip cannot be deleted") << QList<bool>{false, true} << 1 << 1 << 1 << 1;
    }
    void deletingTrips() {
        QFETCH(QList<bool>, active);
        QFETCH(int, selected);
        QFETCH(int, deleted);
        QFETCH(int, selectionAfter);
        QFETCH(int, shownAfter);
        Fixture f;
        QList<Trip*> trips;
        for (qsizetype i = 0; i < active.size(); ++i) {
            trips.append(f.h.context()->insert(
                std::make_unique<Trip>(journeyStart.addDays(i), u"ICE %1"_s.arg(i), active.at(i))));
        }
        const QStringList themePaths = QIcon::themeSearchPaths();
        QIcon::setThemeSearchPaths({}); // a desktop without these icons: ours show
        ContentView window(f.environment());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SidebarView* sidebar = window.sidebar();
        QListView* list = sidebar->tripList();
        // Newest first; typing a train number finds its row.
        const auto rowOf = [&](qsizetype trip) {
            return list->model()->index(int(active.size() - 1 - trip), 0);
        };
        QCOMPARE(rowOf(0).data().toString(), u"ICE 0"_s);
        list->selectionModel()->select(rowOf(selected), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(window.selection()->tripID(), trips.at(selected)->id());
        QCOMPARE(window.detailPane()->shownTrip(), trips.at(selected));

        QStringList entries{u"Export Trip…"_s};
        if (!active.at(deleted)) {
            entries << u"Delete Trip"_s;
        }
        QCOMPARE(SidebarView::contextMenuEntries(trips.at(deleted)), entries);
        sidebar->deleteTrip(trips.at(deleted));
        QCoreApplication::processEvents();

        QCOMPARE(window.selection()->tripID(),
                 selectionAfter < 0 ? std::nullopt : std::optional(trips.at(selectionAfter)->id()));
        QCOMPARE(window.detailPane()->shownTrip(), shownAfter < 0 ? nullptr : trips.at(shownAfter));
        QCOMPARE(window.detailPane()->showsHint(), shownAfter < 0);
        const qsizetype left = f.h.context()->fetch<Trip>().value().size();
        QCOMPARE(left, active.size() - (active.at(deleted) ? 0 : 1));
        QCOMPARE(sidebar->showsEmptyText(), left == 0);
        if (left == 0) {
            QLabel* header = nullptr;
            QLabel* empty = nullptr;
            for (QLabel* label : sidebar->findChildren<QLabel*>()) {
                (label->text() == u"No trips yet"_s ? empty : header) = label;
            }
            // The text right under the header, the settings link at the bottom; a label taller than its
            // text would draw the text in its middle, far from where the label begins.
            QVERIFY(empty->isVisible());
            QCOMPARE(header->height(), header->sizeHint().height());
            QCOMPARE(empty->height(), empty->sizeHint().height());
            QCOMPARE_LE(empty->geometry().top() - header->geometry().bottom(), 12);
            auto* links = sidebar->findChild<QListWidget*>();
            QCOMPARE_LE(sidebar->height() - links->geometry().bottom(), 16);
            QVERIFY(!links->item(0)->icon().pixmap(16).isNull());
            QVERIFY(!ViewIcons::deleteTrip().pixmap(16).isNull());
        }
        QIcon::setThemeSearchPaths(themePaths);
    }

    void sidebarChoices() {
        Fixture f;
        f.h.addTrip(u"ICE 1"_s, 60, true);
        Trip* unnamed = f.h.addTrip(u""_s, 6000, false);
        ContentView window(f.environment());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QListView* list = window.sidebar()->tripList();
        // The rows as drawn, as text: the running trip's badge, a name for a trip without one.
        QBuffer drawn;
        QSvgGenerator svg;
        svg.setOutputDevice(&drawn);
        {
            QPainter painter(&svg);
            list->viewport()->render(&painter);
        }
        QVERIFY(drawn.data().contains(">Active<") && drawn.data().contains(">Unknown Train<"));

        clickRow(list, 1);
        QCOMPARE(window.selection()->tripID(), unnamed->id());
        QCOMPARE(window.detailPane()->shownTrip(), unnamed);
        clickRow(window.sidebar()->findChild<QListWidget*>(), 0);
        QVERIFY(window.settingsView() != nullptr && window.settingsView()->isVisible());
        QCOMPARE(window.selection()->tripID(), std::nullopt);
        QVERIFY(list->selectionModel()->selectedIndexes().isEmpty());
    }

    void tripRowDelegate_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("selected");
        QTest::newRow("light") << false << false;
        QTest::newRow("light, selected") << false << true;
        QTest::newRow("dark") << true << false;
        QTest::newRow("dark, selected") << true << true;
    }
    void tripRowDelegate() {
        QFETCH(bool, dark);
        QFETCH(bool, selected);
        const QPalette light = QApplication::style()->standardPalette();
        const QPalette palette = dark ? darkPalette(light) : light;
        const TripRowDelegate::BadgeColours badge = TripRowDelegate::badgeColours(palette, selected);
        QCOMPARE_GE(Contrast::ratio(badge.text, badge.background), 4.5);
        QCOMPARE(badge.background, palette.color(selected ? QPalette::HighlightedText : QPalette::Base));

        // The current row, and the settings link, look the same with or without the focus: no outline that
        // reads as a selection.
        Fixture f;
        f.h.addTrip(u"ICE 1"_s, 60, true);
        TripSelection selection;
        SidebarView sidebar(f.h.context(), &selection);
        const auto paint = [&](QAbstractItemView* view, QStyle::State extra) {
            QStyleOptionViewItem option;
            option.initFrom(view);
            option.palette = palette;
            option.rect = QRect(0, 0, 220, 44);
            option.widget = view;
            option.state = QStyle::State_Enabled | QStyle::State_Active | extra;
            option.state.setFlag(QStyle::State_Selected, selected);
            QImage image(option.rect.size(), QImage::Format_ARGB32);
            image.fill(palette.color(QPalette::Base));
            QPainter painter(&image);
            view->itemDelegate()->paint(&painter, option, view->model()->index(0, 0));
            return image;
        };
        const QList<QAbstractItemView*> views{sidebar.tripList(), sidebar.findChild<QListWidget*>()};
        for (QAbstractItemView* view : views) {
            QCOMPARE(paint(view, QStyle::State_HasFocus), paint(view, {}));
        }
    }
};

QTEST_MAIN(SidebarTest)
#include "tst_sidebar.moc"
