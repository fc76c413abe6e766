// The main window's decisions, without widgets.
#include "platform/NotificationCenter.h"
#include "platform/TimeOfDayText.h"
#include "store/AppSettings.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"
#include "views/DetailChoice.h"
#include "views/RoutePresentation.h"
#include "views/SettingsOptions.h"
#include "views/SpeedChartPlot.h"
#include "views/TripText.h"

#include <QTemporaryDir>
#include <QTest>

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

    // A closed trip's duration ends at its end, whatever the current instant.
    void texts_data() {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const auto timeOfDay = [](const QString& locale) {
            QLocale::setDefault(QLocale(locale));
            const QString text = timeOfDayText(t0.addSecs(42));
            QLocale::setDefault(QLocale::c());
            return text;
        };
        const auto duration = [](qint64 endSeconds) {
            return TripText::durationText(t0, t0.addSecs(endSeconds), t0.addDays(3));
        };
        QTest::newRow("time of day, C carries seconds in its short format")
            << timeOfDay(u"C"_s) << u"08:15"_s;
        QTest::newRow("time of day, US, 12 hours") << timeOfDay(u"en_US"_s) << u"8:15 AM"_s;
        QTest::newRow("duration just under an hour") << duration(3599) << u"59m"_s;
        QTest::newRow("duration of an hour") << duration(3600) << u"1h 0m"_s;
        QTest::newRow("duration, hours not capped") << duration(100LL * 3600 + 5 * 60 + 59) << u"100h 5m"_s;
        QTest::newRow("duration, end before start truncates toward zero") << duration(-359) << u"-5m"_s;
        QTest::newRow("row title without a train") << TripText::rowTitle(QString()) << u"Unknown Train"_s;
        QTest::newRow("detail title without a train") << TripText::detailTitle(QString()) << u"Train"_s;
        QTest::newRow("blank row title kept") << TripText::rowTitle(u"  "_s) << u"  "_s;
    }
    void texts() {
        QFETCH(QString, actual);
        QTEST(actual, "expected");
    }

    // The other choices are made through the window in tst_sidebar's deletingTrips.
    void detailChoice() {
        QObject owner;
        QList<Trip*> trips;
        for (const bool active : {false, true, true}) {
            trips.append(new Trip(t0, u"ICE 1"_s, active, &owner));
        }
        QCOMPARE(chooseDetailTrip(trips, std::nullopt), trips.at(1));        // the first active one
        QCOMPARE(chooseDetailTrip(trips, QUuid::createUuid()), trips.at(1)); // a deleted trip's id
    }

    // The messages for fewer than two samples and the chart's wiring are checked in tst_views.
    void chartPlot_data() {
        QTest::addColumn<QList<qint64>>("seconds");
        QTest::addColumn<QList<double>>("speeds");
        QTest::addColumn<QList<double>>("plotted"); // in time order
        QTest::addColumn<double>("axisTop");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("random order drawn in time order, axis at least 50")
            << QList<qint64>{60, 0, 90, 30} << QList<double>{3, 1, 4, 2} << QList<double>{1, 2, 3, 4} << 50.0;
        QTest::newRow("equal timestamps keep their order")
            << QList<qint64>{30, 0, 30} << QList<double>{7, 1, 8} << QList<double>{1, 7, 8} << 50.0;
        QTest::newRow("negative and NaN drawn at 0")
            << QList<qint64>{0, 30, 60} << QList<double>{-20, nan, 250} << QList<double>{0, 0, 250} << 275.0;
    }
    void chartPlot() {
        QFETCH(QList<qint64>, seconds);
        QFETCH(QList<double>, speeds);
        QFETCH(QList<double>, plotted);
        QFETCH(double, axisTop);
        QList<SpeedChartPlot::Sample> samples;
        for (qsizetype i = 0; i < seconds.size(); ++i) {
            samples.append({t0.addSecs(seconds.at(i)), speeds.at(i)});
        }
        const SpeedChartPlot plot = SpeedChartPlot::from(samples);
        QCOMPARE(plot.state, SpeedChartPlot::State::Chart);
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

    // Marks at round steps in the user's zone (UTC here, 2024-05-01 a Wednesday), each label once.
    void timeAxis_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qint64>("first"); // seconds after 08:15:00
        QTest::addColumn<qint64>("last");
        QTest::addColumn<qint64>("span"); // of the axis, in seconds
        QTest::addColumn<qint64>("firstMark");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("first minutes: a mark a minute")
            << u"C"_s << 20LL << 240LL << 220LL << 60LL
            << QStringList{u"08:16"_s, u"08:17"_s, u"08:18"_s, u"08:19"_s};
        QTest::newRow("under a minute: seconds, 12 hours")
            << u"en_US"_s << 3LL << 43LL << 40LL << 10LL
            << QStringList{u"8:15:10 AM"_s, u"8:15:20 AM"_s, u"8:15:30 AM"_s, u"8:15:40 AM"_s};
        QTest::newRow("across midnight: the weekday with each time")
            << u"C"_s << 50100LL << 63300LL << 13200LL << 53100LL
            << QStringList{u"Wed 23:00"_s, u"Thu 00:00"_s, u"Thu 01:00"_s};
        QTest::newRow("several days: dates")
            << u"C"_s << 0LL << 266400LL << 266400LL << 56700LL
            << QStringList{u"2 May 2024"_s, u"3 May 2024"_s, u"4 May 2024"_s};
        QTest::newRow("one instant: a minute around it")
            << u"C"_s << 0LL << 0LL << 60LL << -30LL
            << QStringList{u"08:14:30"_s, u"08:14:45"_s, u"08:15:00"_s, u"08:15:15"_s, u"08:15:30"_s};
    }
    void timeAxis() {
        QFETCH(QString, locale);
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        QLocale::setDefault(QLocale(locale));
        const auto axis = SpeedChartPlot::timeAxisFor(t0.addSecs(first), t0.addSecs(last));
        QLocale::setDefault(QLocale::c());
        QTEST((axis.toMsecs - axis.fromMsecs) / 1000, "span");
        QStringList labels;
        for (const SpeedChartPlot::TimeMark& mark : axis.marks) {
            labels << mark.text;
            QVERIFY(mark.msecsSinceEpoch >= axis.fromMsecs && mark.msecsSinceEpoch <= axis.toMsecs);
        }
        QTEST(labels, "labels");
        QTEST(t0.secsTo(QDateTime::fromMSecsSinceEpoch(axis.marks.first().msecsSinceEpoch)), "firstMark");
    }

    // Rows' markers, target and second line; the common cases are drawn in tst_views' route rows.
    void routeRows() {
        using RoutePresentation::marker;
        using RoutePresentation::targetEva;
        QCOMPARE(marker(2, 2, true), Marker::Current); // the last stop of a finished route
        QCOMPARE(marker(0, std::nullopt, true), Marker::Passed);

        // A chosen stop keeps the mark after the train passed it.
        QCOMPARE(targetEva(u"Z"_s, upcoming({u"A"_s})), std::optional(u"Z"_s));
        QCOMPARE(targetEva(std::nullopt, {}), std::nullopt);

        QCOMPARE(RoutePresentation::delayText(tripStop(u"A"_s, u"+5"_s, false)), std::optional(u"+5"_s));
        QCOMPARE(RoutePresentation::delayText(tripStop(u"A"_s, u""_s, false)), std::nullopt);
        QCOMPARE(RoutePresentation::delayText(tripStop(u"A"_s, std::nullopt, false)), std::nullopt);
        QVERIFY(RoutePresentation::showsDeparture(tripStop(u"A"_s, std::nullopt, true)));
        QVERIFY(!RoutePresentation::showsDeparture(tripStop(u"A"_s, std::nullopt, false)));
    }

    void delayHistory() {
        QTemporaryDir dir;
        auto store = openStore(dir);
        ModelContext* context = store->mainContext();
        Trip* trip = context->insert(std::make_unique<Trip>(t0, u"ICE 1"_s, true));
        Trip* other = context->insert(std::make_unique<Trip>(t0, u"ICE 2"_s, false));
        const auto snapshot = [&](Trip* owner, const QString& eva, int minute, const QString& delay) {
            context->insert(std::make_unique<StopSnapshot>(t0.addSecs(minute * 60), owner, eva, eva,
                                                           std::nullopt, std::nullopt, delay));
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
        QCOMPARE(delays(QUuid::createUuid(), u"X"_s), QStringList{});
        // Without a service there is no current trip: only snapshots without a trip.
        QCOMPARE(RoutePresentation::delayHistory(context, nullptr, u"X"_s).size(), 1);
    }

    // Each switch writes only its own field and notifies only on a change; an absent option reads as on.
    void settingsOptions() {
        int posted = 0;
        NotificationCenter& centre = NotificationCenter::defaultCenter();
        const auto token = centre.addObserver(Notification::SettingsDidChange, [&] { ++posted; });
        const auto fields = [](const AppSettings& s) {
            return QList<std::optional<bool>>{s.showSpeed(),          s.showArrivalInfo(),
                                              s.showDelay(),          s.showWifiStrength(),
                                              s.showTrainEmoji(),     s.notifyPlatformChanges(),
                                              s.notifyDelayChanges(), s.notifyInternetGaps()};
        };
        QStringList labels;
        for (const auto group :
             {SettingsOptions::displaySwitches(), SettingsOptions::notificationSwitches()}) {
            for (const auto& option : group) {
                labels << option.label();
                AppSettings settings;
                settings.setShowTrainEmoji(std::nullopt);
                settings.setNotifyPlatformChanges(std::nullopt);
                settings.setNotifyDelayChanges(std::nullopt);
                settings.setNotifyInternetGaps(std::nullopt);
                QList<std::optional<bool>> expected = fields(settings);
                posted = 0;
                SettingsOptions::applySwitch(settings, option, true); // already on: no notification
                QCOMPARE(posted, 0);
                for (const bool on : {false, true}) {
                    SettingsOptions::applySwitch(settings, option, on);
                    expected[labels.size() - 1] = on;
                    QCOMPARE(fields(settings), expected);
                    QCOMPARE(option.read(settings), on);
                }
                QCOMPARE(posted, 2);
            }
        }
        AppSettings settings;
        settings.setArrivalReminderMinutes(std::nullopt); // reads as 5: choosing 5 changes nothing
        posted = 0;
        SettingsOptions::applyArrivalReminder(settings, 5);
        SettingsOptions::applyArrivalReminder(settings, 0);
        QCOMPARE(posted, 1);
        QCOMPARE(settings.arrivalReminderMinutes(), std::optional<qint64>(0));
        centre.removeObserver(token);
        QCOMPARE(labels, (QStringList{u"Show Speed"_s, u"Show Arrival Info"_s, u"Show Delay"_s,
                                      u"Show Wi\u2011Fi Strength"_s, u"Show Train Emoji"_s,
                                      u"Platform changes"_s, u"Delay changes"_s, u"Internet gaps"_s}));

        QStringList segments;
        for (const auto table : {SettingsOptions::intervalSegments(), SettingsOptions::reminderSegments()}) {
            for (const SettingsOptions::Segment& segment : table) {
                segments << segment.text() + u'=' + QString::number(segment.value);
            }
        }
        QCOMPARE(segments, (QStringList{u"5s=5"_s, u"10s=10"_s, u"20s=20"_s, u"30s=30"_s, u"60s=60"_s,
                                        u"Off=0"_s, u"2 min=2"_s, u"5 min=5"_s, u"10 min=10"_s}));
        QCOMPARE(SettingsOptions::segmentIndex(SettingsOptions::reminderSegments(), 10), 3);
    }

    void settingsRecordCreatedOnce() {
        QTemporaryDir dir;
        auto store = openStore(dir);
        // Two builds in the same turn, before the live query has caught up.
        AppSettings* first = SettingsOptions::findOrCreate(store->mainContext());
        QCOMPARE(SettingsOptions::findOrCreate(store->mainContext()), first);
        QCOMPARE(store->mainContext()->fetch<AppSettings>().value().size(), 1);
    }
};

QTEST_GUILESS_MAIN(ViewLogicTest)
#include "tst_viewlogic.moc"
