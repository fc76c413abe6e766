// The main window's widgets wired to a real store and a service on a scripted portal.
#include "ViewsTestSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/TimeOfDayText.h"
#include "store/AppSettings.h"
#include "store/LiveQueryModel.h"
#include "store/SpeedSample.h"
#include "views/ContentView.h"
#include "views/DestinationSelector.h"
#include "views/DetailPaneView.h"
#include "views/SettingsView.h"
#include "views/SidebarView.h"
#include "views/SpeedChartView.h"
#include "views/StatCard.h"
#include "views/StopRow.h"
#include "views/StopsView.h"
#include "views/TripDetailView.h"
#include "views/ViewStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QValueAxis>
#include <QXYSeries>

using namespace quendle2;
using namespace quendle2::test;

namespace {

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
    // On a train change the trip first in store order is never built between the old and the new.
    void detailFollowsTheService() {
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
        QVERIFY(detail->trip() == running && detail->showsActiveBadge() && detail->destinationSelector());

        NewWidgets built(window.detailPane());
        running->setActive(false);
        running->setEndDate(running->startDate().addSecs(7200));
        QVERIFY(!detail->showsActiveBadge() && !detail->destinationSelector() && detail->stopsView());
        QCOMPARE(detail->cards().at(0)->value(), u"2h 0m"_s);
        QCOMPARE(detail->timeTexts(), (QStringList{timeOfDayText(running->startDate()), u"\u2013"_s,
                                                   timeOfDayText(*running->endDate())}));
        Trip* next = f.h.addTrip(u"ICE 2"_s, 0, true);
        QCoreApplication::processEvents();
        QCOMPARE(window.detailPane()->shownTrip(), next);
        QCOMPARE(built.count, 1);
    }

    // The beat and the chart run only while seen, and catch up when back.
    void runningTripFollowsWhileSeen_data() {
        QTest::addColumn<bool>("minimise"); // else hide
        QTest::newRow("minimised") << true;
        QTest::newRow("hidden") << false;
    }
    void runningTripFollowsWhileSeen() {
        QFETCH(bool, minimise);
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
        QVERIFY(view.beat().isActive() && view.beat().interval() == 10'000);
        f.h.clock.advance(30);
        QCOMPARE(view.cards().at(0)->value(), u"59m"_s); // nothing changed until the beat
        QVERIFY(QMetaObject::invokeMethod(const_cast<QTimer*>(&view.beat()), "timeout")); // the beat fires
        QCOMPARE(view.cards().at(0)->value(), u"1h 0m"_s);
        trip->setAvgSpeed(150.6); // a record change shows at once
        QCOMPARE(view.cards().at(2)->value(), u"150 km/h"_s);

        const auto addSample = [&](int second) {
            f.h.context()->insert(
                std::make_unique<SpeedSample>(trip->startDate().addSecs(second), 100, trip));
            QCoreApplication::processEvents();
            return view.chart()->plot().points.size();
        };
        addSample(0);
        QCOMPARE(addSample(10), 2);
        minimise ? view.showMinimized() : view.hide();
        QVERIFY(!view.beat().isActive());
        QCOMPARE(addSample(20), 2);
        view.showNormal();
        QVERIFY(view.chart()->plot().points.size() == 3 && view.beat().isActive());
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
        for (QCheckBox* box : settings->switches()) {
            QVERIFY2(box->isChecked(), qPrintable(box->text()));
        }
        QVERIFY(settings->intervalSegments()->checkedId() == 0 &&
                settings->reminderSegments()->checkedId() == 2);
        QVERIFY(posted == 0 && f.service->refreshInterval() == 5.0);
        QSignalSpy handedOver(f.service, &TrainService::refreshIntervalChanged);
        // Back from the status bar: the same visit, so the interval is not handed over (and polled) again.
        window.hide();
        window.show();
        QCoreApplication::processEvents();
        QCOMPARE(handedOver.count(), 0);

        // What the clicks wrote is read back through a new view below.
        settings->switches()[4]->click(); // "Show Train Emoji" off
        QCOMPARE(posted, 1);
        settings->switches()[7]->click();                 // "Internet gaps" off
        settings->reminderSegments()->button(0)->click(); // "Off"
        QCOMPARE(posted, 3);

        settings->intervalSegments()->button(4)->click(); // "60s"
        QCOMPARE(TrainServiceProbe::timer(*f.service)->interval(), 60'000);
        QCOMPARE(posted, 3);

        // Away and back: a new view, the same record, and the stored interval handed over again.
        window.showDetailPane();
        f.service->setRefreshInterval(5);
        window.showSettings();
        QCoreApplication::processEvents();
        QCOMPARE(f.h.context()->fetch<AppSettings>().value().size(), 1);
        settings = window.settingsView();
        QVERIFY(!settings->switches()[4]->isChecked() && !settings->switches()[7]->isChecked());
        QVERIFY(settings->intervalSegments()->checkedId() == 4 &&
                settings->reminderSegments()->checkedId() == 0);
        QVERIFY(f.service->refreshInterval() == 60.0 && posted == 3);
        // A stored interval the view does not offer selects no segment, and still reaches the service.
        settings->settings()->setUpdateIntervalSeconds(7);
        QCOMPARE(settings->intervalSegments()->checkedId(), -1);
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
        f.tickRoute({stop(koeln), stop(dortmund), stop(frankfurt)});
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
        QVERIFY(f.service->selectedStopEva() == dortmund && trip->selectedStopEva() == dortmund);
        QCoreApplication::processEvents();
        QCOMPARE(combo->currentIndex(), 2);

        Q_EMIT combo->activated(0);
        QVERIFY(!f.service->selectedStopEva() && !trip->selectedStopEva());

        // The route moves on: the menu follows the stops ahead.
        f.tickRoute({stop(koeln, true), stop(dortmund, true), stop(frankfurt)});
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(1), u"Frankfurt(Main)Hbf"_s);
    }

    void routeRows() {
        Fixture f;
        StopsView stops(f.environment());
        stops.resize(500, 400);
        stops.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stops));
        const auto delayedBy = [&](const QString& delay) {
            f.h.clock.advance(60);
            f.tickRoute({stop(koeln, true), stop(dortmund, false, u""_s), stop(frankfurt, false, delay)});
        };
        delayedBy(u"+2"_s);
        delayedBy(u"+5"_s);
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
        f.tickRoute({stop(koeln, true), stop(dortmund, true)});
        QCOMPARE(stops.rows().size(), 3);
        stops.show();
        QCOMPARE(stops.rows().size(), 2);
        StopDoc late = stop(frankfurt, false, u"+5"_s);
        late.platform = {u"7"_s, u"8"_s};
        late.delayReasons = {u"Reparatur am Zug"_s, u"Reparatur am Zug"_s, u"Warten auf Anschlussreisende"_s};
        StopDoc onTime = stop(dortmund, false, u""_s);
        onTime.platform = {u"3"_s, u""_s};
        f.tickRoute({stop(koeln, true), onTime, late});
        // The platform to go to, and a changed one beside the timetable's.
        QCOMPARE(stops.rows().at(0)->platformTexts(), QStringList());
        QCOMPARE(stops.rows().at(1)->platformTexts(), QStringList{u"Pl. 3"_s});
        QCOMPARE(stops.rows().at(2)->platformTexts(), (QStringList{u"Pl. 8"_s, u"7"_s}));

        // A click on the header expands the row: the reasons, each once, then the newest delay first.
        StopRow* row = stops.rows().at(2);
        QVERIFY(QTest::qWaitForWindowExposed(&stops));
        auto* scroll = stops.findChild<QScrollArea*>();
        const int collapsedHeight = scroll->height();
        QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(20, 8));
        QVERIFY(row->isExpanded());
        QVERIFY(scroll->height() > collapsedHeight); // the list grows with the row, below its limit
        const QStringList history = row->historyTexts().mid(2);
        QCOMPARE(row->historyTexts().mid(0, 2),
                 (QStringList{u"Reparatur am Zug"_s, u"Warten auf Anschlussreisende"_s}));
        QCOMPARE(history.size(), 2);
        QVERIFY2(history.at(0).endsWith(u"+5"_s) && history.at(1).endsWith(u"+2"_s),
                 qPrintable(history.join(u"|"_s)));
        delayedBy(u"+7"_s); // a poll keeps the row open and adds its new delay on top
        QCOMPARE(stops.rows().at(2), row);
        QVERIFY(row->isExpanded());
        QCOMPARE(row->historyTexts().size(), 3); // the reasons left with the new document
        rows.at(0)->setExpanded(true);
        QCOMPARE(rows.at(0)->historyTexts(), QStringList{u"No delay history"_s});
        rows.at(0)->setExpanded(false);
        QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(20, 8));
        QVERIFY(!row->isExpanded());
        QCOMPARE(scroll->height(), collapsedHeight);

        // With animations on the row opens over a moment, which the test ends at once.
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
            f.tickRoute(docs);
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
