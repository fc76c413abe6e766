// The main window's decisions, without widgets: texts, the detail pane's choice, the chart's points and
// axis, the route's markers and selector, the delay history, and the settings' effects.
#include "platform/NotificationCenter.h"
#include "store/AppSettings.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"
#include "views/DetailChoice.h"
#include "views/RoutePresentation.h"
#include "views/SettingsOptions.h"
#include "views/SpeedChartPlot.h"
#include "views/TripText.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <ctime>
#include <limits>
#include <memory>

using namespace quendle2;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime t0(QDate(2024, 5, 1), QTime(8, 15), Qt::UTC);
using Stop = TrainService::TripStop;
using Upcoming = TrainService::UpcomingStop;
using Marker = RoutePresentation::Marker;

Stop tripStop(const QString& eva, std::optional<QString> delay, bool departure) {
    const std::optional<QDateTime> dep = departure ? std::optional(t0) : std::nullopt;
    return Stop{QUuid::createUuid(), eva, eva,          t0,           std::nullopt,
                std::move(delay),    dep, std::nullopt, std::nullopt, false};
}

std::vector<Upcoming> upcoming(const QStringList& evas) {
    std::vector<Upcoming> stops;
    for (const QString& eva : evas) {
        stops.push_back(
            Upcoming{QUuid::createUuid(), eva, u"Stop "_s + eva, t0, std::nullopt, std::nullopt, false});
    }
    return stops;
}

std::unique_ptr<ModelContainer> openStore(const QTemporaryDir& dir) {
    return ModelContainer::open(dir.filePath(u"store.sqlite"_s)).takeValue();
}

} // namespace

class ViewLogicTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // Times of day are shown in the user's zone; the expected texts below are for UTC.
        qputenv("TZ", "UTC");
        tzset();
    }

    void timeOfDay_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("C carries seconds in its short format") << u"C"_s << u"08:15"_s;
        QTest::newRow("German") << u"de_DE"_s << u"08:15"_s;
        QTest::newRow("US, 12 hours") << u"en_US"_s << u"8:15 AM"_s;
    }
    void timeOfDay() {
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        const QString text = TripText::timeOfDayText(t0.addSecs(42));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(text, expected);
    }

    void durationText_data() {
        QTest::addColumn<qint64>("endSeconds");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("40 s") << 40LL << true << u"0m"_s;
        QTest::newRow("just under an hour") << 3599LL << true << u"59m"_s;
        QTest::newRow("running, 59m30s") << 3570LL << false << u"59m"_s;
        QTest::newRow("running, 30 s later") << 3600LL << false << u"1h 0m"_s;
        QTest::newRow("closed, exactly 2 h") << 7200LL << true << u"2h 0m"_s;
        QTest::newRow("hours not capped") << 100LL * 3600 + 5 * 60 + 59 << true << u"100h 5m"_s;
        QTest::newRow("end before start") << -300LL << true << u"-5m"_s;
        QTest::newRow("negative truncates toward zero") << -359LL << true << u"-5m"_s;
    }
    void durationText() {
        QFETCH(qint64, endSeconds);
        QFETCH(bool, closed);
        QFETCH(QString, expected);
        const QDateTime end = t0.addSecs(endSeconds);
        // The current instant only counts for a running trip.
        const QDateTime now = closed ? t0.addDays(3) : end;
        QCOMPARE(TripText::durationText(t0, closed ? std::optional(end) : std::nullopt, now), expected);
    }

    void titles() {
        QCOMPARE(TripText::rowTitle(QString()), u"Unknown Train"_s);
        QCOMPARE(TripText::detailTitle(QString()), u"Train"_s);
        QCOMPARE(TripText::rowTitle(u"  "_s), u"  "_s);
        QCOMPARE(TripText::detailTitle(u"ICE 9473"_s), u"ICE 9473"_s);
    }

    void detailChoice_data() {
        QTest::addColumn<QList<bool>>("active");
        QTest::addColumn<int>("selected"); // index into the trips, -1 none, -2 a deleted trip's id
        QTest::addColumn<int>("expected"); // -1: the hint
        QTest::newRow("selected closed trip beats active") << QList<bool>{false, true} << 0 << 0;
        QTest::newRow("no selection: first active") << QList<bool>{false, true, true} << -1 << 1;
        QTest::newRow("stale selection: active") << QList<bool>{false, true} << -2 << 1;
        QTest::newRow("none active: first in store order") << QList<bool>{false, false} << -1 << 0;
        QTest::newRow("stale selection, none active") << QList<bool>{false, false} << -2 << 0;
        QTest::newRow("no trips: hint") << QList<bool>{} << -2 << -1;
    }
    void detailChoice() {
        QFETCH(QList<bool>, active);
        QFETCH(int, selected);
        QFETCH(int, expected);
        QObject owner;
        QList<Trip*> trips;
        for (qsizetype i = 0; i < active.size(); ++i) {
            // Later trips start earlier: store order is not newest first.
            trips.append(new Trip(t0.addDays(-i), u"ICE %1"_s.arg(i), active.at(i), &owner));
        }
        std::optional<QUuid> selection;
        if (selected >= 0) {
            selection = trips.at(selected)->id();
        } else if (selected == -2) {
            selection = QUuid::createUuid();
        }
        QCOMPARE(chooseDetailTrip(trips, selection), expected < 0 ? nullptr : trips.at(expected));
    }

    void chartPlot_data() {
        QTest::addColumn<QList<qint64>>("seconds");
        QTest::addColumn<QList<double>>("speeds");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<double>>("plotted"); // in time order
        QTest::addColumn<double>("axisTop");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("none") << QList<qint64>{} << QList<double>{} << u"No data yet"_s << QList<double>{}
                              << 50.0;
        QTest::newRow("one") << QList<qint64>{0} << QList<double>{120} << u"Not enough data for chart"_s
                             << QList<double>{} << 50.0;
        QTest::newRow("two: one segment")
            << QList<qint64>{0, 30} << QList<double>{10, 20} << QString() << QList<double>{10, 20} << 50.0;
        QTest::newRow("standing still") << QList<qint64>{0, 30, 60} << QList<double>{0, 0, 0} << QString()
                                        << QList<double>{0, 0, 0} << 50.0;
        QTest::newRow("200 km/h") << QList<qint64>{0, 30} << QList<double>{200, 150} << QString()
                                  << QList<double>{200, 150} << 220.0;
        QTest::newRow("random order drawn in time order")
            << QList<qint64>{60, 0, 90, 30} << QList<double>{3, 1, 4, 2} << QString()
            << QList<double>{1, 2, 3, 4} << 50.0;
        QTest::newRow("equal timestamps keep their order")
            << QList<qint64>{30, 0, 30} << QList<double>{7, 1, 8} << QString() << QList<double>{1, 7, 8}
            << 50.0;
        QTest::newRow("negative and NaN drawn at 0")
            << QList<qint64>{0, 30, 60} << QList<double>{-20, nan, 250} << QString()
            << QList<double>{0, 0, 250} << 275.0;
    }
    void chartPlot() {
        QFETCH(QList<qint64>, seconds);
        QFETCH(QList<double>, speeds);
        QFETCH(QString, message);
        QFETCH(QList<double>, plotted);
        QFETCH(double, axisTop);
        QList<SpeedChartPlot::Sample> samples;
        for (qsizetype i = 0; i < seconds.size(); ++i) {
            samples.append({t0.addSecs(seconds.at(i)), speeds.at(i)});
        }
        const SpeedChartPlot plot = SpeedChartPlot::from(samples);
        QCOMPARE(SpeedChartPlot::message(plot.state), message);
        QList<double> ys;
        for (qsizetype i = 0; i < plot.points.size(); ++i) {
            ys << plot.points.at(i).y();
            if (i > 0) {
                QVERIFY(plot.points.at(i - 1).x() <= plot.points.at(i).x());
            }
        }
        QCOMPARE(ys, plotted);
        QCOMPARE(plot.axisTop, axisTop);
    }

    void route_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("current"); // -1: none
        QTest::addColumn<bool>("passed");
        QTest::addColumn<Marker>("marker");
        QTest::newRow("current row, passed or not") << 2 << 2 << true << Marker::Current;
        QTest::newRow("passed row") << 1 << 2 << true << Marker::Passed;
        QTest::newRow("ahead") << 3 << 2 << false << Marker::Ahead;
        QTest::newRow("no current stop, passed") << 0 << -1 << true << Marker::Passed;
        QTest::newRow("no current stop, ahead") << 0 << -1 << false << Marker::Ahead;
    }
    void route() {
        QFETCH(int, index);
        QFETCH(int, current);
        QFETCH(bool, passed);
        QFETCH(Marker, marker);
        QCOMPARE(RoutePresentation::marker(
                     index, current < 0 ? std::nullopt : std::optional<qsizetype>(current), passed),
                 marker);
    }

    void targetAndSecondLine() {
        using RoutePresentation::targetEva;
        QCOMPARE(targetEva(std::nullopt, upcoming({u"A"_s, u"B"_s})), std::optional(u"A"_s));
        QCOMPARE(targetEva(u"B"_s, upcoming({u"A"_s, u"B"_s})), std::optional(u"B"_s));
        // A chosen stop keeps the mark after the train passed it.
        QCOMPARE(targetEva(u"Z"_s, upcoming({u"A"_s})), std::optional(u"Z"_s));
        QCOMPARE(targetEva(std::nullopt, {}), std::nullopt);

        QCOMPARE(RoutePresentation::delayText(tripStop(u"A"_s, u"+5"_s, false)), std::optional(u"+5"_s));
        QCOMPARE(RoutePresentation::delayText(tripStop(u"A"_s, u""_s, false)), std::nullopt);
        QCOMPARE(RoutePresentation::delayText(tripStop(u"A"_s, std::nullopt, false)), std::nullopt);
        QVERIFY(RoutePresentation::showsDeparture(tripStop(u"A"_s, std::nullopt, true)));
        QVERIFY(!RoutePresentation::showsDeparture(tripStop(u"A"_s, std::nullopt, false)));
    }

    void destinationSelector() {
        using namespace RoutePresentation;
        const auto stops = upcoming({u"8000207"_s, u"8000080"_s});
        const QList<DestinationEntry> entries = destinationEntries(stops);
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.at(0).label, u"Auto (next stop)"_s);
        QCOMPARE(entries.at(0).value, u"AUTO"_s);
        QCOMPARE(entries.at(2).label, u"Stop 8000080"_s);
        QCOMPARE(entries.at(2).value, u"8000080"_s);
        QCOMPARE(entries.at(2).id, stops.at(1).id);
        QCOMPARE(destinationEntries({}).size(), 1);
        QCOMPARE(destinationValue(std::nullopt), u"AUTO"_s);
        QCOMPARE(destinationValue(u"8000080"_s), u"8000080"_s);
        QCOMPARE(destinationChoice(u"AUTO"_s), std::nullopt);
        QCOMPARE(destinationChoice(u"8000080"_s), std::optional(u"8000080"_s));
    }

    void delayHistory() {
        QTemporaryDir dir;
        auto store = openStore(dir);
        ModelContext* context = store->mainContext();
        RecordRef<Trip> trip = new Trip(t0, u"ICE 1"_s, true);
        RecordRef<Trip> other = new Trip(t0, u"ICE 2"_s, false);
        context->insert(trip);
        context->insert(other);
        const auto snapshot = [&](Trip* owner, const QString& eva, int minute, const QString& delay) {
            context->insert(new StopSnapshot(t0.addSecs(minute * 60), owner, eva, eva, std::nullopt,
                                             std::nullopt, delay));
        };
        snapshot(trip, u"X"_s, 1, u"+2"_s);
        snapshot(trip, u"X"_s, 9, u"+8"_s);
        snapshot(trip, u"X"_s, 5, u"+5"_s);
        snapshot(trip, u"Y"_s, 6, u"+1"_s);
        snapshot(other, u"X"_s, 7, u"+9"_s);
        snapshot(nullptr, u"X"_s, 3, u"+3"_s);
        const auto delays = [&](const std::optional<QUuid>& tripId, const QString& eva) {
            QStringList texts;
            const auto fetched =
                context->fetch<StopSnapshot>(RoutePresentation::delayHistoryDescriptor(eva, tripId));
            for (const StopSnapshot* s : fetched.value()) {
                texts << s->arrivalDelayText().value_or(QString());
            }
            return texts;
        };
        QCOMPARE(delays(trip->id(), u"X"_s), (QStringList{u"+8"_s, u"+5"_s, u"+2"_s}));
        QCOMPARE(delays(std::nullopt, u"X"_s), QStringList{u"+3"_s});
        QCOMPARE(delays(trip->id(), u"Z"_s), QStringList{});
        // Without a service there is no current trip: only snapshots without a trip.
        QCOMPARE(RoutePresentation::delayHistory(context, nullptr, u"X"_s).size(), 1);
    }

    void settingsSwitches_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("label");
        QTest::newRow("speed") << 0 << u"Show Speed"_s;
        QTest::newRow("arrival") << 1 << u"Show Arrival Info"_s;
        QTest::newRow("delay") << 2 << u"Show Delay"_s;
        QTest::newRow("wifi, non-breaking hyphen") << 3 << u"Show Wi\u2011Fi Strength"_s;
        QTest::newRow("emoji") << 4 << u"Show Train Emoji"_s;
    }
    void settingsSwitches() {
        QFETCH(int, index);
        QFETCH(QString, label);
        const auto& option = SettingsOptions::displaySwitches().at(static_cast<std::size_t>(index));
        QCOMPARE(option.label, label);

        AppSettings settings;
        settings.setShowTrainEmoji(std::nullopt); // as stored before the option existed
        int posted = 0;
        NotificationCenter& centre = NotificationCenter::defaultCenter();
        const auto token = centre.addObserver(Notification::SettingsDidChange, [&] { ++posted; });
        QVERIFY(option.read(settings));
        SettingsOptions::applySwitch(settings, option, true); // already on: no change, no notification
        QCOMPARE(posted, 0);
        SettingsOptions::applySwitch(settings, option, false);
        QCOMPARE(posted, 1);
        QVERIFY(!option.read(settings));
        SettingsOptions::applySwitch(settings, option, true);
        QCOMPARE(posted, 2);
        QVERIFY(option.read(settings));
        centre.removeObserver(token);
        if (index == 4) {
            QCOMPARE(settings.showTrainEmoji(), std::optional(true)); // never absent again
        }
    }

    void intervalSegments() {
        const QStringList texts{u"5s"_s, u"10s"_s, u"20s"_s, u"30s"_s, u"60s"_s};
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(SettingsOptions::intervalSegments().at(static_cast<std::size_t>(i)).text, texts.at(i));
            QCOMPARE(SettingsOptions::segmentIndex(texts.at(i).chopped(1).toLongLong()), i);
        }
        QCOMPARE(SettingsOptions::segmentIndex(7), -1);
    }

    void settingsRecordCreatedOnce() {
        QTemporaryDir dir;
        auto store = openStore(dir);
        // Two builds in the same turn, before the live query has caught up.
        AppSettings* first = SettingsOptions::findOrCreate(store->mainContext());
        AppSettings* second = SettingsOptions::findOrCreate(store->mainContext());
        QCOMPARE(second, first);
        QCOMPARE(store->mainContext()->fetch<AppSettings>().value().size(), 1);
        QVERIFY(first->showSpeed() && first->showArrivalInfo() && first->showDelay() &&
                first->showWifiStrength());
        QCOMPARE(first->showTrainEmoji(), std::optional(true));
        QCOMPARE(first->updateIntervalSeconds(), 5);
        QCOMPARE(first->stopSelectionEva(), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(ViewLogicTest)
#include "tst_viewlogic.moc"
