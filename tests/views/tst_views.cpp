// The main window's widgets wired to a real store and a service on a scripted portal: deletion and the
// detail pane's next choice, the settings record and its notifications, the destination selector, the route.
#include "ServiceTestSupport.h"
#include "platform/NotificationCenter.h"
#include "service/AppStore.h"
#include "store/AppSettings.h"
#include "store/LiveQueryModel.h"
#include "store/SpeedSample.h"
#include "views/ContentView.h"
#include "views/Contrast.h"
#include "views/DestinationSelector.h"
#include "views/DetailPaneView.h"
#include "views/SettingsView.h"
#include "views/SidebarView.h"
#include "views/SpeedChartView.h"
#include "views/StatCard.h"
#include "views/StopRow.h"
#include "views/StopsView.h"
#include "views/TripDetailView.h"
#include "views/TripRowDelegate.h"
#include "views/TripSelection.h"
#include "views/TripText.h"
#include "views/ViewIcons.h"
#include "views/ViewStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSvgGenerator>
#include <QTest>
#include <QValueAxis>
#include <QXYSeries>

using namespace quendle2;
using namespace quendle2::test;

namespace {

/// The service lives in an AppStore, as in the application; the harness keeps the store, clock and portal.
struct Fixture {
    Fixture()
        : service(h.service.get())
        , appStore(h.service.release()) {}

    void tick(StatusOutcome status, TripOutcome trip = noRoute()) {
        h.client->queueStatus(std::move(status));
        h.client->queueTrip(std::move(trip));
        service->tick();
        QCoreApplication::processEvents(); // the store commits, live queries and views catch up
    }
    ViewEnvironment environment() { return {h.context(), &appStore, &h.clock}; }

    Harness h;
    TrainService* service;
    AppStore appStore;
};

/// Counts the widgets a parent gains from now on: for a detail pane, the details it builds.
class NewWidgets final : public QObject {
public:
    explicit NewWidgets(QObject* parent) { parent->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded &&
            static_cast<QChildEvent*>(event)->child()->isWidgetType()) {
            ++count;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class ViewsTest : public QObject {
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
            trips.append(new Trip(journeyStart.addDays(i), u"ICE %1"_s.arg(i), active.at(i)));
            f.h.context()->insert(trips.last());
        }
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
        // An active trip's row has no menu, and a right-click selects nothing.
        if (const qsizetype running = active.indexOf(true); running >= 0 && running != selected) {
            QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                              list->visualRect(rowOf(running)).center());
        }
        QCOMPARE(window.selection()->tripID(), trips.at(selected)->id());
        QCOMPARE(window.detailPane()->shownTrip(), trips.at(selected));

        QCOMPARE(SidebarView::contextMenuEntries(trips.at(deleted)),
                 active.at(deleted) ? QStringList{} : QStringList{u"Delete Trip"_s});
        sidebar->deleteTrip(trips.at(deleted));
        QCoreApplication::processEvents();

        QCOMPARE(window.selection()->tripID(),
                 selectionAfter < 0 ? std::nullopt : std::optional(trips.at(selectionAfter)->id()));
        QCOMPARE(window.detailPane()->shownTrip(), shownAfter < 0 ? nullptr : trips.at(shownAfter));
        QCOMPARE(window.detailPane()->showsHint(), shownAfter < 0);
        const qsizetype left = f.h.context()->fetch<Trip>().value().size();
        QCOMPARE(left, active.size() - (active.at(deleted) ? 0 : 1));
        QCOMPARE(sidebar->showsEmptyText(), left == 0);
    }

    void newTripListedOnTopAndBadgeFollowsService() {
        Fixture f;
        Trip* old = f.h.addTrip(u"ICE 9"_s, 86400, false);
        ContentView window(f.environment());
        window.show();
        QCoreApplication::processEvents();
        f.tick(reached(u"ICE 1"_s));
        Trip* running = f.service->currentTrip();
        QVERIFY(running != nullptr && running != old);
        QCOMPARE(window.sidebar()->trips()->recordAt(0), running);
        // No selection: the detail shows the active trip, with its badge and the destination selector.
        TripDetailView* detail = window.detailPane()->detailView();
        QCOMPARE(detail->trip(), running);
        QVERIFY(detail->showsActiveBadge());
        QVERIFY(detail->destinationSelector() != nullptr);

        running->setActive(false);
        running->setEndDate(running->startDate().addSecs(7200));
        QVERIFY(!detail->showsActiveBadge());
        QVERIFY(detail->destinationSelector() == nullptr);
        QVERIFY(detail->stopsView() != nullptr);
        QCOMPARE(detail->cards().at(0)->value(), u"2h 0m"_s);
        QCOMPARE(detail->timeTexts(), (QStringList{TripText::timeOfDayText(running->startDate()), u"\u2013"_s,
                                                   TripText::timeOfDayText(*running->endDate())}));
    }

    // The old trip closes at once and the new one joins the rows later in the turn; the trip first in store
    // order, neither of them, is never built in between.
    void trainChangeBuildsOneDetail() {
        Fixture f;
        f.h.addTrip(u"ICE 9"_s, 86400, false);
        Trip* old = f.h.addTrip(u"ICE 1"_s, 600, true);
        TripSelection selection;
        DetailPaneView pane(f.environment(), &selection);
        pane.show();
        QCOMPARE(pane.shownTrip(), old);
        NewWidgets built(&pane);
        old->setActive(false);
        old->setEndDate(f.h.clock.now());
        Trip* next = f.h.addTrip(u"ICE 2"_s, 0, true);
        QCoreApplication::processEvents();
        QCOMPARE(pane.shownTrip(), next);
        QCOMPARE(built.count, 1);
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

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(window.selection()->tripID(), unnamed->id());
        QCOMPARE(window.detailPane()->shownTrip(), unnamed);
        auto* links = window.sidebar()->findChild<QListWidget*>();
        QTest::mouseClick(links->viewport(), Qt::LeftButton, {},
                          links->visualItemRect(links->item(0)).center());
        QVERIFY(window.settingsView() != nullptr && window.settingsView()->isVisible());
        QCOMPARE(window.selection()->tripID(), std::nullopt);
        QVERIFY(list->selectionModel()->selectedIndexes().isEmpty());
    }

    void emptySidebar() {
        Fixture f;
        const QStringList themePaths = QIcon::themeSearchPaths();
        QIcon::setThemeSearchPaths({}); // a desktop without these icons: ours show
        TripSelection selection;
        SidebarView sidebar(f.h.context(), &selection);
        sidebar.resize(220, 600);
        sidebar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sidebar));
        QLabel* header = nullptr;
        QLabel* empty = nullptr;
        for (QLabel* label : sidebar.findChildren<QLabel*>()) {
            (label->text() == u"No trips yet"_s ? empty : header) = label;
        }
        // The text right under the header, the settings link at the bottom; a label taller than its text
        // would draw the text in its middle, far from where the label begins.
        QVERIFY(empty->isVisible());
        QCOMPARE(header->height(), header->sizeHint().height());
        QCOMPARE(empty->height(), empty->sizeHint().height());
        QCOMPARE_LE(empty->geometry().top() - header->geometry().bottom(), 12);
        auto* links = sidebar.findChild<QListWidget*>();
        QCOMPARE_LE(sidebar.height() - links->geometry().bottom(), 16);
        QVERIFY(!links->item(0)->icon().pixmap(16).isNull());
        QVERIFY(!ViewIcons::deleteTrip().pixmap(16).isNull());
        QIcon::setThemeSearchPaths(themePaths);
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
        QPalette palette = QApplication::style()->standardPalette();
        if (dark) {
            for (auto [role, colour] : {std::pair{QPalette::Window, 0x2b2b2b},
                                        {QPalette::WindowText, 0xeeeeee},
                                        {QPalette::Base, 0x1f1f1f},
                                        {QPalette::Text, 0xeeeeee},
                                        {QPalette::Highlight, 0x3d8ee6},
                                        {QPalette::HighlightedText, 0xffffff}}) {
                palette.setColor(role, QColor::fromRgb(QRgb(colour)));
            }
        }
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

    void runningTripCountsOnTheBeat() {
        Fixture f;
        Trip* trip = f.h.addTrip(u""_s, 3570, true);
        trip->setMaxSpeed(99.99);
        TripDetailView view(trip, f.environment());
        QCOMPARE(view.titleText(), u"Train"_s);
        QCOMPARE(view.cards().at(0)->value(), u"59m"_s);
        QCOMPARE(view.cards().at(1)->value(), u"99 km/h"_s);
        QCOMPARE(view.cards().at(2)->value(), u"0 km/h"_s);
        QCOMPARE(view.timeTexts().size(), 1);
        QVERIFY(!view.beat().isActive());
        view.show();
        QVERIFY(view.beat().isActive());
        QCOMPARE(view.beat().interval(), 10'000);
        f.h.clock.advance(30);
        QCOMPARE(view.cards().at(0)->value(), u"59m"_s); // nothing changed until the beat
        QVERIFY(QMetaObject::invokeMethod(const_cast<QTimer*>(&view.beat()), "timeout")); // the beat fires
        QCOMPARE(view.cards().at(0)->value(), u"1h 0m"_s);
        trip->setAvgSpeed(150.6); // a record change shows at once
        QCOMPARE(view.cards().at(2)->value(), u"150 km/h"_s);
        view.hide();
        QVERIFY(!view.beat().isActive());
    }

    // The chart follows new samples while seen; minimised or hidden, it waits and catches up when back.
    void chartFollowsSamplesWhileSeen_data() {
        QTest::addColumn<bool>("minimise"); // else hide
        QTest::newRow("minimised") << true;
        QTest::newRow("hidden") << false;
    }
    void chartFollowsSamplesWhileSeen() {
        QFETCH(bool, minimise);
        Fixture f;
        Trip* trip = f.h.addTrip(u"ICE 1"_s, 60, true);
        TripDetailView view(trip, f.environment());
        view.show();
        const auto addSample = [&](int second) {
            f.h.context()->insert(new SpeedSample(trip->startDate().addSecs(second), 100, trip));
            QCoreApplication::processEvents();
            return view.chart()->plot().points.size();
        };
        addSample(0);
        QCOMPARE(addSample(10), 2);
        minimise ? view.showMinimized() : view.hide();
        QCOMPARE(addSample(20), 2);
        view.showNormal();
        QCOMPARE(view.chart()->plot().points.size(), 3);
    }

    void settingsView() {
        Fixture f;
        int posted = 0;
        const auto token = NotificationCenter::defaultCenter().addObserver(Notification::SettingsDidChange,
                                                                           [&] { ++posted; });
        ContentView window(f.environment());
        window.show();
        window.showSettings();
        QCoreApplication::processEvents();
        SettingsView* settings = window.settingsView();
        QVERIFY(settings != nullptr && settings->isVisible());
        QCOMPARE(f.h.context()->fetch<AppSettings>().value().size(), 1);
        for (QCheckBox* box : settings->switches()) {
            QVERIFY2(box->isChecked(), qPrintable(box->text()));
        }
        QCOMPARE(settings->intervalSegments()->checkedId(), 0);
        QCOMPARE(posted, 0);
        QCOMPARE(f.service->refreshInterval(), 5.0);
        QSignalSpy handedOver(f.service, &TrainService::refreshIntervalChanged);
        // Back from the status bar: the same visit, so the interval is not handed over (and polled) again.
        window.hide();
        window.show();
        QCoreApplication::processEvents();
        QCOMPARE(handedOver.count(), 0);

        settings->switches()[4]->click(); // "Show Train Emoji" off
        QCOMPARE(posted, 1);
        QCOMPARE(settings->settings()->showTrainEmoji(), std::optional(false));

        settings->intervalSegments()->button(4)->click(); // "60s"
        QCOMPARE(settings->settings()->updateIntervalSeconds(), 60);
        QCOMPARE(f.service->refreshInterval(), 60.0);
        QCOMPARE(f.service->timer()->interval(), 60'000);
        QCOMPARE(posted, 1);

        // Away and back: a new view, the same record, and the stored interval handed over again.
        window.showDetailPane();
        f.service->setRefreshInterval(5);
        window.showSettings();
        QCoreApplication::processEvents();
        QCOMPARE(f.h.context()->fetch<AppSettings>().value().size(), 1);
        QCOMPARE(window.settingsView()->intervalSegments()->checkedId(), 4);
        QVERIFY(!window.settingsView()->switches()[4]->isChecked());
        QCOMPARE(f.service->refreshInterval(), 60.0);
        QCOMPARE(posted, 1);
        // A stored interval the view does not offer selects no segment, and still reaches the service.
        window.settingsView()->settings()->setUpdateIntervalSeconds(7);
        QCOMPARE(window.settingsView()->intervalSegments()->checkedId(), -1);
        window.showDetailPane();
        window.showSettings();
        QCoreApplication::processEvents();
        QCOMPARE(window.settingsView()->intervalSegments()->checkedId(), -1);
        QCOMPARE(f.service->refreshInterval(), 7.0);
        NotificationCenter::defaultCenter().removeObserver(token);

        // A choice the disk cannot take: the window says so above the detail until a save works again.
        QVERIFY(window.saveWarning()->isHidden());
        f.h.context()->refuseWrites(true);
        window.settingsView()->switches()[4]->click();
        QVERIFY(!window.saveWarning()->isHidden());
        QCOMPARE(window.saveWarning()->text(),
                 u"quendle2 cannot save: attempt to write a readonly database"_s);
        f.h.context()->refuseWrites(false);
        QVERIFY(f.h.context()->save());
        QVERIFY(window.saveWarning()->isHidden());
    }

    void destinationSelector() {
        Fixture f;
        f.tick(reached(u"ICE 1"_s),
               TripOutcome::success(route({stop(koeln), stop(dortmund), stop(frankfurt)})));
        Trip* trip = f.service->currentTrip();
        QVERIFY(trip != nullptr);
        DestinationSelector selector(f.environment());
        selector.show();
        QComboBox* combo = selector.comboBox();
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->itemText(0), u"Auto (next stop)"_s);
        QCOMPARE(combo->itemText(2), u"Dortmund Hbf"_s);
        QCOMPARE(combo->currentIndex(), 0);

        Q_EMIT combo->activated(2);
        QCOMPARE(f.service->selectedStopEva(), std::optional(dortmund));
        QCOMPARE(trip->selectedStopEva(), std::optional(dortmund));
        QCoreApplication::processEvents();
        QCOMPARE(combo->currentIndex(), 2);

        Q_EMIT combo->activated(0);
        QCOMPARE(f.service->selectedStopEva(), std::nullopt);
        QCOMPARE(trip->selectedStopEva(), std::nullopt);

        // The route moves on: the menu follows the stops ahead.
        f.tick(reached(u"ICE 1"_s),
               TripOutcome::success(route({stop(koeln, true), stop(dortmund, true), stop(frankfurt)})));
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(1), u"Frankfurt(Main)Hbf"_s);
    }

    void routeRows() {
        Fixture f;
        StopsView stops(f.environment());
        stops.resize(500, 400);
        stops.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stops));
        QVERIFY(stops.showsEmptyText());
        f.tick(reached(u"ICE 1"_s),
               TripOutcome::success(route(
                   {stop(koeln, true), stop(dortmund, false, u""_s), stop(frankfurt, false, u"+2"_s)})));
        f.h.clock.advance(60);
        f.tick(reached(u"ICE 1"_s),
               TripOutcome::success(route(
                   {stop(koeln, true), stop(dortmund, false, u""_s), stop(frankfurt, false, u"+5"_s)})));
        QVERIFY(!stops.showsEmptyText());
        const QList<StopRow*> rows = stops.rows();
        QCOMPARE(rows.size(), 3);
        using Marker = RoutePresentation::Marker;
        const std::optional<qsizetype> current = f.service->currentStopIndex();
        QCOMPARE(current, std::optional<qsizetype>(1));
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const Marker expected = current == i ? Marker::Current : i == 0 ? Marker::Passed : Marker::Ahead;
            QCOMPARE(rows.at(i)->marker(), expected);
        }
        // No choice: the target is the first stop ahead; a choice moves it.
        QVERIFY(!rows.at(0)->hasTargetMark() && rows.at(1)->hasTargetMark() && !rows.at(2)->hasTargetMark());
        f.service->selectDestination(frankfurt);
        QCoreApplication::processEvents();
        QVERIFY(!rows.at(1)->hasTargetMark() && rows.at(2)->hasTargetMark());

        // Hidden, the list does not follow the route; shown again, it catches up before it is drawn.
        stops.hide();
        f.tick(reached(u"ICE 1"_s), TripOutcome::success(route({stop(koeln, true), stop(dortmund, true)})));
        QCOMPARE(stops.rows().size(), 3);
        stops.show();
        QCOMPARE(stops.rows().size(), 2);
        f.tick(reached(u"ICE 1"_s),
               TripOutcome::success(route(
                   {stop(koeln, true), stop(dortmund, false, u""_s), stop(frankfurt, false, u"+5"_s)})));

        // A click on the header expands the row: newest delay first.
        StopRow* row = stops.rows().at(2);
        QVERIFY(QTest::qWaitForWindowExposed(&stops));
        auto* scroll = stops.findChild<QScrollArea*>();
        const int collapsedHeight = scroll->height();
        QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(20, 8));
        QVERIFY(row->isExpanded());
        QVERIFY(scroll->height() > collapsedHeight); // the list grows with the row, below its limit
        const QStringList history = row->historyTexts();
        QCOMPARE(history.size(), 2);
        QVERIFY2(history.at(0).endsWith(u"+5"_s) && history.at(1).endsWith(u"+2"_s),
                 qPrintable(history.join(u"|"_s)));
        // A poll keeps the row open and adds its new delay on top.
        f.h.clock.advance(60);
        f.tick(reached(u"ICE 1"_s),
               TripOutcome::success(route(
                   {stop(koeln, true), stop(dortmund, false, u""_s), stop(frankfurt, false, u"+7"_s)})));
        QCOMPARE(stops.rows().at(2), row);
        QVERIFY(row->isExpanded());
        QCOMPARE(row->historyTexts().size(), 3);
        rows.at(0)->setExpanded(true);
        QCOMPARE(rows.at(0)->historyTexts(), QStringList{u"No delay history"_s});
        rows.at(0)->setExpanded(false);
        QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(20, 8));
        QVERIFY(!row->isExpanded());
        QCOMPARE(scroll->height(), collapsedHeight);

        // With animations on, the row opens over a moment; the test ends it at once instead of waiting.
        QApplication::setEffectEnabled(Qt::UI_General);
        QApplication::setEffectEnabled(Qt::UI_AnimateCombo);
        row->setExpanded(true);
        QApplication::setEffectEnabled(Qt::UI_General, false);
        auto* animation = row->findChild<QPropertyAnimation*>();
        QCOMPARE(animation->state(), QAbstractAnimation::Running);
        QCOMPARE(scroll->height(), collapsedHeight);
        animation->setCurrentTime(animation->duration());
        QVERIFY(scroll->height() > collapsedHeight);
    }

    void routeFollowsTheTrain_data() {
        QTest::addColumn<bool>("routeFirst");
        QTest::newRow("a trip shown with its route") << true;
        QTest::newRow("the route comes while shown") << false;
    }
    void routeFollowsTheTrain() {
        QFETCH(bool, routeFirst);
        Fixture f;
        const auto tickAt = [&](int current) {
            QList<StopDoc> docs;
            for (int i = 0; i < 20; ++i) {
                docs << stop(QString::number(8000300 + i), i < current);
            }
            f.tick(reached(u"ICE 1"_s), TripOutcome::success(route(docs)));
        };
        if (routeFirst) {
            tickAt(12);
        }
        StopsView stops(f.environment());
        stops.resize(500, 400);
        stops.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stops));
        if (!routeFirst) {
            tickAt(12);
        }
        QScrollArea* scroll = stops.findChild<QScrollArea*>();
        const auto inView = [&](int index) {
            const StopRow* row = stops.rows().at(index);
            return scroll->viewport()->rect().contains(
                QRect(row->mapTo(scroll->viewport(), QPoint()), row->size()));
        };
        QVERIFY(inView(12));
        tickAt(14); // the train moves on: the list follows it
        QVERIFY(inView(14));

        scroll->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum); // the user looks back
        QVERIFY(inView(0));
        f.h.clock.advance(29);
        tickAt(15);
        QVERIFY(inView(0) && !inView(15)); // no jump while the user looks
        f.h.clock.advance(1);
        tickAt(16);
        QVERIFY(inView(16));
    }

    // The tone's keeper is told apart from the widget's other children, and follows the theme.
    void toneFollowsThemeBesideChildren() {
        QWidget widget;
        QLabel child(&widget);
        ViewStyle::setTone(&widget, ViewStyle::Tone::Green);
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Window, Qt::black);
        QApplication::setPalette(dark);
        // Sent to every widget by a running event loop; a test has none running.
        QEvent themeChange(QEvent::ApplicationPaletteChange);
        QCoreApplication::sendEvent(&widget, &themeChange);
        const QColor shown = widget.palette().color(QPalette::WindowText);
        QApplication::setPalette(light);
        QCOMPARE(shown, ViewStyle::colour(dark, ViewStyle::Tone::Green));
    }

    void speedChart() {
        SpeedChartView chart;
        QCOMPARE(chart.message(), u"No data yet"_s);
        QObject owner;
        QList<SpeedSample*> samples{new SpeedSample(journeyStart.addSecs(30), 200, nullptr, &owner)};
        chart.setSamples(samples);
        QCOMPARE(chart.message(), u"Not enough data for chart"_s);
        samples.prepend(new SpeedSample(journeyStart, -5, nullptr, &owner));
        chart.setSamples(samples);
        QCOMPARE(chart.message(), QString());
        QChart* drawn = chart.findChild<QChartView*>()->chart();
        QCOMPARE(static_cast<QXYSeries*>(drawn->series().first())->points(),
                 (QList<QPointF>{{double(journeyStart.toMSecsSinceEpoch()), 0.0},
                                 {double(journeyStart.addSecs(30).toMSecsSinceEpoch()), 200.0}}));
        const auto* speedAxis = static_cast<QValueAxis*>(drawn->axes(Qt::Vertical).first());
        QCOMPARE(speedAxis->min(), 0.0);
        QCOMPARE(speedAxis->max(), 220.0);
        // The marks of a longer span replace the first ones.
        samples.append(new SpeedSample(journeyStart.addSecs(600), 100, nullptr, &owner));
        chart.setSamples(samples);
        auto* timeAxis = static_cast<QCategoryAxis*>(drawn->axes(Qt::Horizontal).first());
        QStringList marks;
        for (const SpeedChartPlot::TimeMark& mark : chart.plot().timeAxis.marks) {
            marks << mark.text;
            QCOMPARE(timeAxis->endValue(mark.text), double(mark.msecsSinceEpoch));
        }
        QCOMPARE(timeAxis->categoriesLabels(), marks);
        QCOMPARE(timeAxis->min(), double(journeyStart.toMSecsSinceEpoch()));
        chart.setSamples({});
        QCOMPARE(chart.message(), u"No data yet"_s);
    }
};

QTEST_MAIN(ViewsTest)
#include "tst_views.moc"
