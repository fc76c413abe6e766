// The trip store keeps a user's journeys across restarts. These tests use it the way the application does,
// through records and fetches and never asking for a save, and then look at what reached the file.

#include "StoreTestSupport.h"
#include "store/AppSettings.h"
#include "store/Item.h"
#include "store/LiveQueryModel.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <unistd.h>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QDateTime at(int month, int day, int minute = 0) {
    return QDateTime(QDate(2025, month, day), QTime(10, minute, 0, 125), Qt::UTC);
}

QString label(const Trip* trip) {
    return trip->trainIdentifier() + u'@' + trip->startDate().toString(u"MM-dd"_s);
}

bool waitForSave(ModelContext* context) {
    QSignalSpy saved(context, &ModelContext::saved);
    return saved.wait();
}

bool reopen(std::unique_ptr<ModelContainer>& store) {
    const QString path = store->filePath();
    store.reset();
    store = openStore(path);
    return store != nullptr;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Records {
    Item* item;
    AppSettings* settings;
    Trip* trip;
    SpeedSample* sample;
    StopSnapshot* snapshot;
};
using SameValueWrite = std::function<void(const Records&)>;

enum class TripChoice { First, Second, Absent, Unknown };
enum class EmojiSetup { SetterAbsent, SetterFalse, StoredNull };
enum class SampleLink { AppendBeforeInsert, InConstructor, SetTripAfterInsert, AppendAfterInsert };
enum class BadFile {
    Garbage,
    DamagedHeader,
    ForeignDatabase,
    NewerMajor,
    NewerMinor,
    ReadOnlyFile,
    ReadOnlyFolder,
    UnmakeableFolder
};

} // namespace

Q_DECLARE_METATYPE(quendle2::FetchDescriptor)
Q_DECLARE_METATYPE(quendle2::RecordType)
Q_DECLARE_METATYPE(std::optional<bool>)
Q_DECLARE_METATYPE(SameValueWrite)
Q_DECLARE_METATYPE(TripChoice)
Q_DECLARE_METATYPE(EmojiSetup)
Q_DECLARE_METATYPE(SampleLink)
Q_DECLARE_METATYPE(BadFile)

// Each row writes a field's current value back; the view relies on the signal even then.
#define SAME_VALUE_ROW(Type, member, field, setter)                                                          \
    QTest::newRow(#Type "." #field) << RecordType::Type << QByteArray(#field "Changed()")                    \
                                    << SameValueWrite(                                                       \
                                           [](const Records& r) { r.member->setter(r.member->field()); })

class TestStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup() { m_dir.reset(); }

    void tripQueries_data() {
        QTest::addColumn<FetchDescriptor>("descriptor");
        QTest::addColumn<QStringList>("expected");

        const auto train = [](const QString& text) {
            return FetchDescriptor::Condition::textEquals(u"trainIdentifier"_s, text);
        };
        const FetchDescriptor::SortKey newest{u"startDate"_s, false};
        const FetchDescriptor::SortKey oldest{u"startDate"_s, true};

        QTest::newRow("newest first")
            << FetchDescriptor{{}, {newest}, {}}
            << QStringList{u"ICE 1@03-03"_s, u"ice 1@02-02"_s, u"ICE 1@01-15"_s, u"ICE 10@01-01"_s};
        QTest::newRow("oldest first")
            << FetchDescriptor{{}, {oldest}, {}}
            << QStringList{u"ICE 10@01-01"_s, u"ICE 1@01-15"_s, u"ice 1@02-02"_s, u"ICE 1@03-03"_s};
        QTest::newRow("no sort: store order")
            << FetchDescriptor{}
            << QStringList{u"ICE 1@03-03"_s, u"ICE 10@01-01"_s, u"ice 1@02-02"_s, u"ICE 1@01-15"_s};
        QTest::newRow("one train, newest first") << FetchDescriptor{{train(u"ICE 1"_s)}, {newest}, {}}
                                                 << QStringList{u"ICE 1@03-03"_s, u"ICE 1@01-15"_s};
        QTest::newRow("train text differs in case")
            << FetchDescriptor{{train(u"ice 1"_s)}, {}, {}} << QStringList{u"ice 1@02-02"_s};
        QTest::newRow("train text is a prefix")
            << FetchDescriptor{{train(u"ICE"_s)}, {}, {}} << QStringList{};
        QTest::newRow("train text with a trailing space")
            << FetchDescriptor{{train(u"ICE 1 "_s)}, {}, {}} << QStringList{};
        QTest::newRow("newest, limited to one")
            << FetchDescriptor{{}, {newest}, 1} << QStringList{u"ICE 1@03-03"_s};
    }

    void tripQueries() {
        QFETCH(FetchDescriptor, descriptor);
        QFETCH(QStringList, expected);

        auto store = openStore(storePath());
        QVERIFY(store);
        // Inserted out of date order, so that store order and date order differ.
        store->mainContext()->insert(new Trip(at(3, 3), u"ICE 1"_s, false));
        store->mainContext()->insert(new Trip(at(1, 1), u"ICE 10"_s, false));
        store->mainContext()->insert(new Trip(at(2, 2), u"ice 1"_s, false));
        store->mainContext()->insert(new Trip(at(1, 15), u"ICE 1"_s, true));

        // First from the open transaction, then from the file after a restart.
        for (int pass = 0; pass < 2; ++pass) {
            const auto trips = store->mainContext()->fetch<Trip>(descriptor);
            QVERIFY(trips.ok());
            QStringList labels;
            for (const Trip* trip : trips.value()) {
                labels << label(trip);
            }
            QCOMPARE(labels, expected);
            QVERIFY(reopen(store));
        }
    }

    void snapshotQueries_data() {
        QTest::addColumn<TripChoice>("trip");
        QTest::addColumn<QString>("eva");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("first trip, Frankfurt")
            << TripChoice::First << u"8000105"_s << QStringList{u"10:05"_s, u"10:00"_s};
        QTest::newRow("first trip, Cologne") << TripChoice::First << u"8000207"_s << QStringList{u"10:02"_s};
        QTest::newRow("second trip, Frankfurt")
            << TripChoice::Second << u"8000105"_s << QStringList{u"10:03"_s};
        QTest::newRow("second trip, Cologne") << TripChoice::Second << u"8000207"_s << QStringList{};
        QTest::newRow("absent trip id: only the unlinked one")
            << TripChoice::Absent << u"8000105"_s << QStringList{u"10:04"_s};
        QTest::newRow("trip id never stored") << TripChoice::Unknown << u"8000105"_s << QStringList{};
    }

    void snapshotQueries() {
        QFETCH(TripChoice, trip);
        QFETCH(QString, eva);
        QFETCH(QStringList, expected);

        auto store = openStore(storePath());
        QVERIFY(store);
        auto* first = new Trip(at(5, 1), u"ICE 1"_s, true);
        auto* second = new Trip(at(5, 2), u"ICE 2"_s, false);
        const auto snapshot = [&](Trip* link, const QString& station, int minute) {
            store->mainContext()->insert(new StopSnapshot(at(5, 1, minute), link, station, u"Köln Hbf"_s,
                                                          at(5, 1), std::nullopt, u"+5"_s));
        };
        snapshot(first, u"8000105"_s, 5);
        snapshot(first, u"8000105"_s, 0);
        snapshot(first, u"8000207"_s, 2);
        snapshot(second, u"8000105"_s, 3);
        snapshot(nullptr, u"8000105"_s, 4);

        const std::optional<QUuid> tripIds[] = {first->id(), second->id(), std::nullopt, QUuid::createUuid()};
        const std::optional<QUuid> tripId = tripIds[static_cast<int>(trip)];
        const FetchDescriptor query{{FetchDescriptor::Condition::textEquals(u"stationEva"_s, eva),
                                     FetchDescriptor::Condition::tripIdEquals(tripId)},
                                    {{u"createdAt"_s, false}},
                                    {}};

        for (int pass = 0; pass < 2; ++pass) {
            const auto snapshots = store->mainContext()->fetch<StopSnapshot>(query);
            QVERIFY(snapshots.ok());
            QStringList created;
            for (const StopSnapshot* found : snapshots.value()) {
                QCOMPARE(found->stationEva(), eva);
                created << found->createdAt().toString(u"HH:mm"_s);
            }
            QCOMPARE(created, expected);
            QVERIFY(reopen(store));
        }
    }

    void creationValuesSurviveReopen() {
        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();

        const auto isNewTrip = [](const Trip* trip) {
            return !trip->id().isNull() && trip->id().version() == QUuid::Random &&
                   trip->startDate() == at(12, 3, 41) && trip->trainIdentifier() == u"ICE 577"_s &&
                   trip->active() && trip->maxSpeed() == 0 && trip->avgSpeed() == 0 && !trip->endDate() &&
                   !trip->selectedStopEva();
        };
        const auto isDefaultSettings = [](const AppSettings* settings) {
            return settings->showSpeed() && settings->showArrivalInfo() && settings->showDelay() &&
                   settings->showWifiStrength() && settings->showTrainEmoji() == std::optional<bool>(true) &&
                   settings->updateIntervalSeconds() == 5 && !settings->stopSelectionEva();
        };
        auto* trip = new Trip(at(12, 3, 41), u"ICE 577"_s, true);
        QVERIFY(isNewTrip(trip));
        QCOMPARE(trip->sampleCount(), 0);
        auto* settings = new AppSettings;
        QVERIFY(isDefaultSettings(settings));

        context->insert(new Item(at(12, 3, 1)));
        context->insert(settings);
        context->insert(new SpeedSample(at(12, 3, 42), 187.5, trip));
        context->insert(new StopSnapshot(at(12, 3, 43), trip, u"8000207"_s, u"Köln Hbf"_s, at(12, 3, 50),
                                         std::nullopt, std::nullopt));
        const QUuid id = trip->id();

        // No save anywhere: closing the store must be enough.
        QVERIFY(reopen(store));
        context = store->mainContext();

        const Item* item = context->fetch<Item>().value().value(0);
        QVERIFY(item);
        QCOMPARE(item->timestamp(), at(12, 3, 1));
        const AppSettings* storedSettings = context->fetch<AppSettings>().value().value(0);
        QVERIFY(storedSettings);
        QVERIFY(isDefaultSettings(storedSettings));
        const auto trips = context->fetch<Trip>().value();
        QCOMPARE(trips.size(), 1);
        QCOMPARE(trips[0]->id(), id);
        QVERIFY(isNewTrip(trips[0]));

        const SpeedSample* sample = context->fetch<SpeedSample>().value().value(0);
        QVERIFY(sample);
        QCOMPARE(sample->timestamp(), at(12, 3, 42));
        QCOMPARE(sample->speedKmh(), 187.5);
        QCOMPARE(sample->trip(), trips[0]);

        const StopSnapshot* snapshot = context->fetch<StopSnapshot>().value().value(0);
        QVERIFY(snapshot);
        QCOMPARE(snapshot->createdAt(), at(12, 3, 43));
        QCOMPARE(snapshot->trip(), trips[0]);
        QCOMPARE(snapshot->stationEva(), u"8000207"_s);
        QCOMPARE(snapshot->stationName(), u"Köln Hbf"_s);
        QCOMPARE(snapshot->scheduledArrivalTime(), std::optional<QDateTime>(at(12, 3, 50)));
        QVERIFY(!snapshot->actualArrivalTime());
        QVERIFY(!snapshot->arrivalDelayText());
    }

    void trainEmojiOption_data() {
        QTest::addColumn<EmojiSetup>("setup");
        QTest::addColumn<std::optional<bool>>("expected");

        QTest::newRow("cleared through the setter") << EmojiSetup::SetterAbsent << std::optional<bool>();
        QTest::newRow("turned off") << EmojiSetup::SetterFalse << std::optional<bool>(false);
        QTest::newRow("stored before the option existed") << EmojiSetup::StoredNull << std::optional<bool>();
    }

    void trainEmojiOption() {
        QFETCH(EmojiSetup, setup);
        QFETCH(std::optional<bool>, expected);

        auto store = openStore(storePath());
        QVERIFY(store);
        if (setup == EmojiSetup::StoredNull) {
            store.reset();
            RawConnection raw(storePath(), false);
            QVERIFY(raw.exec(
                u"INSERT INTO AppSettings (showSpeed, showArrivalInfo, showDelay, showWifiStrength, "
                "showTrainEmoji, updateIntervalSeconds, stopSelectionEva) VALUES (1, 0, 1, 1, NULL, 7, NULL)"_s));
            store = openStore(storePath());
            QVERIFY(store);
        } else {
            auto* settings = new AppSettings;
            store->mainContext()->insert(settings);
            settings->setShowTrainEmoji(setup == EmojiSetup::SetterFalse ? std::optional<bool>(false)
                                                                         : std::nullopt);
            QCOMPARE(settings->showTrainEmoji(), expected);
            QVERIFY(reopen(store));
        }
        const auto settings = store->mainContext()->fetch<AppSettings>().value();
        QCOMPARE(settings.size(), 1);
        QCOMPARE(settings[0]->showTrainEmoji(), expected);
        QVERIFY(settings[0]->showSpeed());
    }

    void oneObjectPerRow() {
        auto store = openStore(storePath());
        QVERIFY(store);
        auto* inserted = new Trip(at(7, 1), u"ICE 9"_s, true);
        store->mainContext()->insert(new SpeedSample(at(7, 1, 5), 90, inserted));
        store->mainContext()->insert(
            new StopSnapshot(at(7, 1, 6), inserted, u"8000105"_s, u"Frankfurt(Main)Hbf"_s, {}, {}, {}));
        QCOMPARE(store->mainContext()->fetch<Trip>().value().value(0), inserted);

        QVERIFY(reopen(store));
        ModelContext* context = store->mainContext();
        // The sample first, so that its trip is first reached through the link.
        const auto samples = context->fetch<SpeedSample>().value();
        QCOMPARE(samples.size(), 1);
        Trip* trip = samples[0]->trip();
        QVERIFY(trip != nullptr);
        QCOMPARE(context->fetch<Trip>().value().value(0), trip);
        const FetchDescriptor byTrain{
            {FetchDescriptor::Condition::textEquals(u"trainIdentifier"_s, u"ICE 9"_s)}, {}, {}};
        QCOMPARE(context->fetch<Trip>(byTrain).value().value(0), trip);
        QCOMPARE(trip->samples(), samples);
        QCOMPARE(trip->latestSample(), samples[0]);
        QCOMPARE(context->fetch<SpeedSample>().value(), samples);
        const auto snapshots =
            context->fetch<StopSnapshot>({{FetchDescriptor::Condition::tripIdEquals(trip->id())}, {}, {}})
                .value();
        QCOMPARE(snapshots.size(), 1);
        QCOMPARE(snapshots[0]->trip(), trip);
    }

    void settersAlwaysSignal_data() {
        QTest::addColumn<RecordType>("type");
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<SameValueWrite>("write");

        SAME_VALUE_ROW(Item, item, timestamp, setTimestamp);
        SAME_VALUE_ROW(AppSettings, settings, showSpeed, setShowSpeed);
        SAME_VALUE_ROW(AppSettings, settings, showArrivalInfo, setShowArrivalInfo);
        SAME_VALUE_ROW(AppSettings, settings, showDelay, setShowDelay);
        SAME_VALUE_ROW(AppSettings, settings, showWifiStrength, setShowWifiStrength);
        SAME_VALUE_ROW(AppSettings, settings, showTrainEmoji, setShowTrainEmoji);
        SAME_VALUE_ROW(AppSettings, settings, updateIntervalSeconds, setUpdateIntervalSeconds);
        SAME_VALUE_ROW(AppSettings, settings, stopSelectionEva, setStopSelectionEva);
        SAME_VALUE_ROW(Trip, trip, id, setId);
        SAME_VALUE_ROW(Trip, trip, startDate, setStartDate);
        SAME_VALUE_ROW(Trip, trip, endDate, setEndDate);
        SAME_VALUE_ROW(Trip, trip, trainIdentifier, setTrainIdentifier);
        SAME_VALUE_ROW(Trip, trip, active, setActive);
        SAME_VALUE_ROW(Trip, trip, maxSpeed, setMaxSpeed);
        SAME_VALUE_ROW(Trip, trip, avgSpeed, setAvgSpeed);
        SAME_VALUE_ROW(Trip, trip, selectedStopEva, setSelectedStopEva);
        SAME_VALUE_ROW(SpeedSample, sample, timestamp, setTimestamp);
        SAME_VALUE_ROW(SpeedSample, sample, speedKmh, setSpeedKmh);
        SAME_VALUE_ROW(SpeedSample, sample, trip, setTrip);
        SAME_VALUE_ROW(StopSnapshot, snapshot, createdAt, setCreatedAt);
        SAME_VALUE_ROW(StopSnapshot, snapshot, trip, setTrip);
        SAME_VALUE_ROW(StopSnapshot, snapshot, stationEva, setStationEva);
        SAME_VALUE_ROW(StopSnapshot, snapshot, stationName, setStationName);
        SAME_VALUE_ROW(StopSnapshot, snapshot, scheduledArrivalTime, setScheduledArrivalTime);
        SAME_VALUE_ROW(StopSnapshot, snapshot, actualArrivalTime, setActualArrivalTime);
        SAME_VALUE_ROW(StopSnapshot, snapshot, arrivalDelayText, setArrivalDelayText);
    }

    void settersAlwaysSignal() {
        QFETCH(RecordType, type);
        QFETCH(QByteArray, signal);
        QFETCH(SameValueWrite, write);

        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();
        auto* trip = new Trip(at(6, 1), u"ICE 5"_s, true);
        const Records records{new Item(at(6, 1)), new AppSettings, trip, new SpeedSample(at(6, 1), 120, trip),
                              new StopSnapshot(at(6, 1), trip, u"8000105"_s, u"Frankfurt(Main)Hbf"_s,
                                               at(6, 1), std::nullopt, u"+3"_s)};
        const QList<PersistentModel*> all{records.item, records.settings, records.trip, records.sample,
                                          records.snapshot};
        for (PersistentModel* record : all) {
            context->insert(record);
        }
        PersistentModel* record = all[static_cast<int>(type)];
        QCOMPARE(record->recordType(), type);

        const int signalIndex = record->metaObject()->indexOfSignal(signal.constData());
        QVERIFY2(signalIndex >= 0, signal.constData());
        QSignalSpy changed(record, record->metaObject()->method(signalIndex));
        QSignalSpy written(context, &ModelContext::recordChanged);
        write(records);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(written.count(), 1);
        QCOMPARE(written.first().first().value<PersistentModel*>(), record);
        QVERIFY(!context->lastSaveError());
    }

    void tripIdsStayUnique_data() {
        QTest::addColumn<bool>("insertCopy");
        QTest::newRow("a new trip carrying a stored id") << true;
        QTest::newRow("a stored trip given another's id") << false;
    }

    void tripIdsStayUnique() {
        QFETCH(bool, insertCopy);

        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();
        auto* first = new Trip(at(1, 1), u"ICE 1"_s, false);
        auto* second = new Trip(at(1, 2), u"ICE 2"_s, true);
        QVERIFY(first->id() != second->id());
        context->insert(first);
        context->insert(second);
        QVERIFY(waitForSave(context));
        const QUuid firstId = first->id();
        const QUuid secondId = second->id();

        QSignalSpy failed(context, &ModelContext::saveFailed);
        if (insertCopy) {
            auto copy = std::make_unique<Trip>(at(1, 3), u"ICE 3"_s, true);
            copy->setId(firstId);
            context->insert(copy.get());
            QVERIFY(!copy->isInserted());
        } else {
            second->setId(firstId);
        }
        QCOMPARE(failed.count(), 1);
        QVERIFY(context->lastSaveError());
        QVERIFY(!context->lastSaveError()->description.isEmpty());

        QVERIFY(reopen(store));
        const auto trips = store->mainContext()->fetch<Trip>({{}, {{u"startDate"_s, true}}, {}}).value();
        QCOMPARE(trips.size(), 2);
        QCOMPARE(trips[0]->id(), firstId);
        QCOMPARE(label(trips[0]), u"ICE 1@01-01"_s);
        QCOMPARE(trips[1]->id(), secondId);
        QCOMPARE(label(trips[1]), u"ICE 2@01-02"_s);
    }

    void deletingATripTakesItsSamples() {
        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();
        auto* doomed = new Trip(at(8, 1), u"ICE 1"_s, false);
        auto* kept = new Trip(at(8, 2), u"ICE 2"_s, true);
        QList<SpeedSample*> doomedSamples;
        for (int i = 0; i < 3; ++i) {
            doomedSamples << new SpeedSample(at(8, 1, i), 100 + i, doomed);
            context->insert(doomedSamples.last());
        }
        auto* keptSample = new SpeedSample(at(8, 2), 50, kept);
        context->insert(keptSample);
        const auto snapshot = [&](Trip* trip, const QString& eva) {
            auto* made = new StopSnapshot(at(8, 1, 30), trip, eva, u"Hamburg Hbf"_s, {}, {}, u"+2"_s);
            context->insert(made);
            return made;
        };
        StopSnapshot* orphaned = snapshot(doomed, u"8002549"_s);
        snapshot(doomed, u"8000261"_s);
        StopSnapshot* unaffected = snapshot(kept, u"8002549"_s);
        QVERIFY(waitForSave(context));
        const QUuid doomedId = doomed->id();

        QSignalSpy sampleGone(doomedSamples[0], &PersistentModel::deleted);
        QSignalSpy linkEmptied(orphaned, &StopSnapshot::tripChanged);
        QSignalSpy otherLink(unaffected, &StopSnapshot::tripChanged);
        context->deleteRecord(doomed);

        QVERIFY(doomed->isDeleted());
        for (SpeedSample* sample : std::as_const(doomedSamples)) {
            QVERIFY(sample->isDeleted());
        }
        QCOMPARE(sampleGone.count(), 1);
        QVERIFY(!keptSample->isDeleted());
        QCOMPARE(kept->sampleCount(), 1);
        QVERIFY(!orphaned->isDeleted());
        QCOMPARE(orphaned->trip(), nullptr);
        QCOMPARE(linkEmptied.count(), 1);
        QCOMPARE(unaffected->trip(), kept);
        QCOMPARE(otherLink.count(), 0);
        QCOMPARE(context->fetch<SpeedSample>().value(), QList<SpeedSample*>{keptSample});

        QVERIFY(reopen(store));
        context = store->mainContext();
        const auto trips = context->fetch<Trip>().value();
        QCOMPARE(trips.size(), 1);
        QCOMPARE(trips[0]->trainIdentifier(), u"ICE 2"_s);
        QCOMPARE(context->fetch<SpeedSample>().value().size(), 1);
        QCOMPARE(context->fetch<StopSnapshot>().value().size(), 3);
        using Condition = FetchDescriptor::Condition;
        const auto unlinked =
            context->fetch<StopSnapshot>({{Condition::tripIdEquals(std::nullopt)}, {}, {}}).value();
        QCOMPARE(unlinked.size(), 2);
        QCOMPARE(context->fetch<StopSnapshot>({{Condition::tripIdEquals(doomedId)}, {}, {}}).value().size(),
                 0);
    }

    void linkToADeletedTripIsNotStored() {
        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();
        auto* gone = new Trip(at(8, 1), u"ICE 1"_s, false);
        context->insert(gone);
        const qint64 freedRow = gone->persistentId();
        context->deleteRecord(gone);
        // SQLite hands the freed row id to the next trip; a late record linked to the deleted trip must not
        // end up belonging to it.
        context->insert(new SpeedSample(at(8, 2), 80, gone));
        auto* newcomer = new Trip(at(8, 3), u"ICE 2"_s, true);
        context->insert(newcomer);
        QCOMPARE(newcomer->persistentId(), freedRow);
        using Condition = FetchDescriptor::Condition;
        QCOMPARE(
            context->fetch<SpeedSample>({{Condition::tripIdEquals(newcomer->id())}, {}, {}}).value().size(),
            0);
        QCOMPARE(
            context->fetch<SpeedSample>({{Condition::tripIdEquals(std::nullopt)}, {}, {}}).value().size(), 1);
    }

    void sampleLinks_data() {
        QTest::addColumn<SampleLink>("link");
        QTest::addColumn<bool>("fromFile");

        const std::pair<SampleLink, const char*> links[] = {
            {SampleLink::AppendBeforeInsert, "appendSample, then insert"},
            {SampleLink::InConstructor, "linked when made"},
            {SampleLink::SetTripAfterInsert, "insert, then setTrip"},
            {SampleLink::AppendAfterInsert, "insert, then appendSample"},
        };
        for (const auto& [link, name] : links) {
            QTest::addRow("%s, new trip", name) << link << false;
            // A trip read back from the file has not loaded its samples yet.
            QTest::addRow("%s, trip from the file", name) << link << true;
        }
    }

    void sampleLinks() {
        QFETCH(SampleLink, link);
        QFETCH(bool, fromFile);

        auto store = openStore(storePath());
        QVERIFY(store);
        auto* trip = new Trip(at(9, 1), u"ICE 1"_s, true);
        auto* other = new Trip(at(9, 2), u"ICE 2"_s, true);
        store->mainContext()->insert(trip);
        store->mainContext()->insert(other);
        const qint64 existing = fromFile ? 1 : 0;
        if (fromFile) {
            store->mainContext()->insert(new SpeedSample(at(9, 1, 1), 10, trip));
            QVERIFY(reopen(store));
            const auto trips = store->mainContext()->fetch<Trip>({{}, {{u"startDate"_s, true}}, {}}).value();
            QCOMPARE(trips.size(), 2);
            trip = trips[0];
            other = trips[1];
        }
        ModelContext* context = store->mainContext();

        SpeedSample* sample = nullptr;
        switch (link) {
        case SampleLink::AppendBeforeInsert:
            sample = new SpeedSample(at(9, 1, 2), 88);
            trip->appendSample(sample);
            context->insert(sample);
            break;
        case SampleLink::InConstructor:
            sample = new SpeedSample(at(9, 1, 2), 88, trip);
            context->insert(sample);
            break;
        case SampleLink::SetTripAfterInsert:
            sample = new SpeedSample(at(9, 1, 2), 88);
            context->insert(sample);
            sample->setTrip(trip);
            break;
        case SampleLink::AppendAfterInsert:
            sample = new SpeedSample(at(9, 1, 2), 88);
            context->insert(sample);
            trip->appendSample(sample);
            break;
        }
        QCOMPARE(sample->trip(), trip);
        QCOMPARE(trip->sampleCount(), existing + 1);
        QCOMPARE(trip->samples().size(), existing + 1);
        QVERIFY(trip->samples().contains(sample));

        other->appendSample(sample);
        QCOMPARE(sample->trip(), other);
        QCOMPARE(trip->sampleCount(), existing);
        QVERIFY(!trip->samples().contains(sample));
        QCOMPARE(other->sampleCount(), 1);
        QCOMPARE(other->samples(), QList<SpeedSample*>{sample});

        QVERIFY(reopen(store));
        const auto trips = store->mainContext()->fetch<Trip>({{}, {{u"startDate"_s, true}}, {}}).value();
        QCOMPARE(trips.size(), 2);
        QCOMPARE(trips[0]->sampleCount(), existing);
        QCOMPARE(trips[1]->sampleCount(), 1);
        QCOMPARE(trips[1]->samples().size(), 1);
        QCOMPARE(trips[1]->samples().value(0)->timestamp(), at(9, 1, 2));
    }

    // Inserted out of time order: the latest is found by timestamp, not by insertion.
    void latestSample() {
        auto store = openStore(storePath());
        QVERIFY(store);
        auto* trip = new Trip(at(10, 1), u"ICE 4"_s, true);
        store->mainContext()->insert(trip);
        QCOMPARE(trip->latestSample(), nullptr);
        QList<SpeedSample*> samples;
        for (int minute : {1, 3, 0, 2}) {
            samples << new SpeedSample(at(10, 1, minute), minute, trip);
            store->mainContext()->insert(samples.last());
        }
        QCOMPARE(trip->latestSample(), samples[1]);

        QVERIFY(reopen(store));
        const Trip* storedTrip = store->mainContext()->fetch<Trip>().value().value(0);
        QVERIFY(storedTrip);
        const SpeedSample* stored = storedTrip->latestSample();
        QVERIFY(stored);
        QCOMPARE(stored->timestamp(), at(10, 1, 3));
    }

    void speedStats_data() {
        QTest::addColumn<QList<double>>("speeds");
        QTest::addColumn<int>("deleteAt");
        QTest::addColumn<int>("changeAt");
        QTest::addColumn<double>("changeTo");
        QTest::addColumn<QList<double>>("later");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("average");
        QTest::addColumn<qint64>("positive");

        const QList<double> run{0, 100, 120};
        QTest::newRow("standing, then moving")
            << run << -1 << -1 << 0.0 << QList<double>{} << 120.0 << 110.0 << 2LL;
        QTest::newRow("only standing")
            << QList<double>{0, 0} << -1 << -1 << 0.0 << QList<double>{} << 0.0 << 0.0 << 0LL;
        QTest::newRow("no samples") << QList<double>{} << -1 << -1 << 0.0 << QList<double>{} << 0.0 << 0.0
                                    << 0LL;
        QTest::newRow("negative speed left out")
            << QList<double>{-3, 50} << -1 << -1 << 0.0 << QList<double>{} << 50.0 << 50.0 << 1LL;
        QTest::newRow("maximum deleted") << run << 2 << -1 << 0.0 << QList<double>{} << 100.0 << 100.0 << 1LL;
        QTest::newRow("maximum lowered") << run << -1 << 2 << 50.0 << QList<double>{} << 100.0 << 75.0 << 2LL;
        QTest::newRow("standing sample speeds up")
            << run << -1 << 0 << 80.0 << QList<double>{} << 120.0 << 100.0 << 3LL;
        QTest::newRow("moving sample stops")
            << run << -1 << 1 << 0.0 << QList<double>{} << 120.0 << 120.0 << 1LL;
        QTest::newRow("recorded after a deletion")
            << run << 2 << -1 << 0.0 << QList<double>{60} << 100.0 << 80.0 << 2LL;
    }

    void speedStats() {
        QFETCH(QList<double>, speeds);
        QFETCH(int, deleteAt);
        QFETCH(int, changeAt);
        QFETCH(double, changeTo);
        QFETCH(QList<double>, later);
        QFETCH(double, maximum);
        QFETCH(double, average);
        QFETCH(qint64, positive);

        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();
        auto* trip = new Trip(at(11, 1), u"ICE 8"_s, true);
        context->insert(trip);
        QList<SpeedSample*> samples;
        for (double speed : std::as_const(speeds)) {
            samples << new SpeedSample(at(11, 1, static_cast<int>(samples.size())), speed, trip);
            context->insert(samples.last());
        }
        if (deleteAt >= 0) {
            context->deleteRecord(samples.takeAt(deleteAt));
        }
        if (changeAt >= 0) {
            samples[changeAt]->setSpeedKmh(changeTo);
        }
        trip->positiveSpeedStats(); // the status line reads them after every change
        for (double speed : std::as_const(later)) {
            samples << new SpeedSample(at(11, 1, static_cast<int>(samples.size()) + 10), speed, trip);
            context->insert(samples.last());
        }

        const Trip::SpeedStats kept = trip->positiveSpeedStats();
        QCOMPARE(kept.maximum, maximum);
        QCOMPARE(kept.average, average);
        QCOMPARE(kept.count, positive);
        QCOMPARE(trip->sampleCount(), samples.size());

        QVERIFY(reopen(store));
        const Trip* stored = store->mainContext()->fetch<Trip>().value().value(0);
        QVERIFY(stored);
        const Trip::SpeedStats counted = stored->positiveSpeedStats();
        QCOMPARE(counted.maximum, kept.maximum);
        QCOMPARE(counted.average, kept.average);
        QCOMPARE(counted.count, kept.count);
        QCOMPARE(stored->sampleCount(), samples.size());
    }

    void writesReachTheFileAtTheEndOfTheTurn() {
        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();
        RawConnection reader(storePath(), true);
        QVERIFY(reader.isOpen());
        QCOMPARE(reader.scalar(u"SELECT COUNT(*) FROM Trip"_s).toInt(), 0);

        QSignalSpy saved(context, &ModelContext::saved);
        auto* trip = new Trip(at(4, 1), u"ICE 3"_s, true);
        context->insert(trip);
        for (int i = 1; i <= 10; ++i) {
            context->insert(new SpeedSample(at(4, 1, i), 10.0 * i, trip));
            trip->setMaxSpeed(10.0 * i);
        }
        QVERIFY(context->hasUncommittedChanges());
        QCOMPARE(reader.scalar(u"SELECT COUNT(*) FROM Trip"_s).toInt(), 0);
        QCOMPARE(reader.scalar(u"SELECT COUNT(*) FROM SpeedSample"_s).toInt(), 0);

        QVERIFY(saved.wait());
        QVERIFY(!context->hasUncommittedChanges());
        QCOMPARE(reader.scalar(u"SELECT COUNT(*) FROM Trip"_s).toInt(), 1);
        QCOMPARE(reader.scalar(u"SELECT COUNT(*) FROM SpeedSample"_s).toInt(), 10);
        QCOMPARE(reader.scalar(u"SELECT maxSpeed FROM Trip"_s).toDouble(), 100.0);
        QTest::qWait(0);
        QCOMPARE(saved.count(), 1);

        trip->setActive(false);
        QVERIFY(saved.wait());
        QCOMPARE(saved.count(), 2);
        QCOMPARE(reader.scalar(u"SELECT active FROM Trip"_s).toInt(), 0);
    }

    void unusableFilesAreLeftAlone_data() {
        QTest::addColumn<BadFile>("kind");
        QTest::newRow("garbage bytes") << BadFile::Garbage;
        QTest::newRow("store with a damaged header") << BadFile::DamagedHeader;
        QTest::newRow("another program's database") << BadFile::ForeignDatabase;
        QTest::newRow("store from a newer major version") << BadFile::NewerMajor;
        QTest::newRow("store from a newer minor version") << BadFile::NewerMinor;
        QTest::newRow("read-only store") << BadFile::ReadOnlyFile;
        QTest::newRow("store in a read-only folder") << BadFile::ReadOnlyFolder;
        QTest::newRow("folder under a regular file") << BadFile::UnmakeableFolder;
    }

    void unusableFilesAreLeftAlone() {
        QFETCH(BadFile, kind);
        if ((kind == BadFile::ReadOnlyFile || kind == BadFile::ReadOnlyFolder) && geteuid() == 0) {
            QSKIP("file permissions do not stop root");
        }

        const QString folder = m_dir->filePath(u"trips"_s);
        QVERIFY(QDir().mkpath(folder));
        // Lets QTemporaryDir clean up after the read-only folder row.
        const auto restore = qScopeGuard(
            [&] { QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
        QString openPath = folder + u"/store.sqlite"_s;
        QString keptPath = openPath;
        const auto makeStore = [&] {
            auto store = openStore(openPath);
            if (store) {
                store->mainContext()->insert(new Trip(at(2, 1), u"ICE 1"_s, true));
            }
            return store != nullptr;
        };
        const auto writeFile = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            return file.open(QIODevice::ReadWrite) && file.write(bytes) == bytes.size();
        };
        switch (kind) {
        case BadFile::Garbage:
            QVERIFY(writeFile(keptPath, QByteArray("trip log, not a database\n").repeated(200)));
            break;
        case BadFile::DamagedHeader:
            QVERIFY(makeStore());
            QVERIFY(!QFile::exists(keptPath + u"-wal"_s)); // otherwise SQLite might read page 1 from there
            QVERIFY(writeFile(keptPath, QByteArray(100, '\x5a')));
            break;
        case BadFile::ForeignDatabase: {
            RawConnection raw(keptPath, false);
            QVERIFY(raw.exec(u"CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)"_s));
            QVERIFY(raw.exec(u"INSERT INTO notes (body) VALUES ('buy tickets')"_s));
            break;
        }
        case BadFile::NewerMajor:
        case BadFile::NewerMinor: {
            QVERIFY(makeStore());
            RawConnection raw(keptPath, false);
            QVERIFY(raw.exec(kind == BadFile::NewerMajor
                                 ? u"UPDATE Metadata SET value = '2.0.0' WHERE key = 'schemaVersion'"_s
                                 : u"UPDATE Metadata SET value = '1.1.0' WHERE key = 'schemaVersion'"_s));
            break;
        }
        case BadFile::ReadOnlyFile:
            QVERIFY(makeStore());
            QVERIFY(QFile::setPermissions(keptPath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            break;
        case BadFile::ReadOnlyFolder:
            QVERIFY(makeStore());
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            break;
        case BadFile::UnmakeableFolder:
            keptPath = folder + u"/2025"_s;
            openPath = keptPath + u"/store.sqlite"_s;
            QVERIFY(writeFile(keptPath, QByteArray("a file where the folder should be")));
            break;
        }

        const QByteArray before = fileBytes(keptPath);
        QVERIFY(!before.isEmpty());
        const auto opened = ModelContainer::open(openPath);
        QVERIFY(!opened.ok());
        QVERIFY(!opened.error().description.trimmed().isEmpty());
        QCOMPARE(fileBytes(keptPath), before);
    }

    void liveTripsFollowChanges() {
        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();
        std::unique_ptr<LiveQueryModel> model(LiveQueryModel::tripsNewestFirst(context));
        QCOMPARE(model->rowCount(), 0);
        const auto rows = [&] {
            QList<PersistentModel*> shown;
            for (int row = 0; row < model->rowCount(); ++row) {
                shown << model->recordAt(row);
            }
            return shown;
        };

        QSignalSpy refreshed(model.get(), &LiveQueryModel::refreshed);
        QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy moved(model.get(), &QAbstractItemModel::rowsMoved);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);

        auto* jan = new Trip(at(1, 10), u"ICE 1"_s, false);
        auto* feb = new Trip(at(2, 10), u"ICE 2"_s, false);
        auto* mar = new Trip(at(3, 10), u"ICE 3"_s, true);
        context->insert(jan);
        context->insert(mar);
        context->insert(feb);
        QVERIFY(refreshed.wait());
        QCOMPARE(inserted.count(), 3);
        QCOMPARE(rows(), (QList<PersistentModel*>{mar, feb, jan}));
        QCOMPARE(model->data(model->index(0), LiveQueryModel::RecordRole).value<QObject*>(), mar);

        // A move, not a remove and insert, so that a selected trip stays selected.
        jan->setStartDate(at(4, 10));
        QVERIFY(refreshed.wait());
        QCOMPARE(moved.count(), 1);
        QCOMPARE(inserted.count(), 3);
        QCOMPARE(removed.count(), 0);
        QCOMPARE(rows(), (QList<PersistentModel*>{jan, mar, feb}));

        feb->setMaxSpeed(250);
        QVERIFY(waitForSave(context));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first().value<QModelIndex>().row(), 2);
        QCOMPARE(moved.count(), 1);

        context->deleteRecord(mar);
        QCOMPARE(removed.count(), 1); // at once: no view may show a deleted trip
        QCOMPARE(rows(), (QList<PersistentModel*>{jan, feb}));
        QVERIFY(refreshed.wait());
        QCOMPARE(removed.count(), 1);
        QCOMPARE(rows(), (QList<PersistentModel*>{jan, feb}));
    }

    // The application reads its settings as the first record of an unsorted fetch, or as row 0 of this model.
    void liveSettings() {
        auto store = openStore(storePath());
        QVERIFY(store);
        ModelContext* context = store->mainContext();
        QVERIFY(context->fetch<AppSettings>().value().isEmpty());
        std::unique_ptr<LiveQueryModel> model(LiveQueryModel::allSettings(context));
        QCOMPARE(model->rowCount(), 0);

        QSignalSpy refreshed(model.get(), &LiveQueryModel::refreshed);
        auto* first = new AppSettings;
        first->setUpdateIntervalSeconds(30);
        context->insert(first);
        context->insert(new Trip(at(1, 1), u"ICE 1"_s, true));
        context->insert(new AppSettings);
        QCOMPARE(context->fetch<AppSettings>().value().value(0), first);
        QVERIFY(refreshed.wait());
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->recordAt(0), first);

        model.reset();
        QVERIFY(reopen(store));
        model.reset(LiveQueryModel::allSettings(store->mainContext()));
        QCOMPARE(model->rowCount(), 2);
        const auto stored = static_cast<const AppSettings*>(model->recordAt(0));
        QCOMPARE(stored, store->mainContext()->fetch<AppSettings>().value().value(0));
        QCOMPARE(stored->updateIntervalSeconds(), 30);
    }

private:
    QString storePath() const { return m_dir->filePath(u"store.sqlite"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

#undef SAME_VALUE_ROW

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
