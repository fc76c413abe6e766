// Used as the application does, never asking for a save, then checked against what reached the file.

#include "StoreTestSupport.h"
#include "store/AppSettings.h"
#include "store/LiveQueryModel.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/StopSnapshot.h"
#include "store/StoreSchema.h"
#include "store/Trip.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <unistd.h>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

namespace {

using Condition = FetchDescriptor::Condition;

QDateTime at(int month, int day, int minute = 0) {
    return QDateTime(QDate(2025, month, day), QTime(10, minute, 0, 125), Qt::UTC);
}

QString label(const Trip* trip) {
    return trip->trainIdentifier() + u'@' + trip->startDate().toString(u"MM-dd"_s);
}

FetchDescriptor byTrip(std::optional<QUuid> id) {
    return {{Condition::tripIdEquals(id)}, {}, {}};
}

const FetchDescriptor oldestFirst{{}, {{u"startDate"_s, true}}, {}};

/// Every record the fetch finds; a failed fetch throws, which fails the test.
template <typename T>
QList<T*> fetchAll(ModelContext* context, const FetchDescriptor& descriptor = {}) {
    return context->fetch<T>(descriptor).value();
}

bool waitForSave(ModelContext* context) {
    QSignalSpy saved(context, &ModelContext::saved);
    return saved.wait();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.write(bytes) == bytes.size();
}

enum class BadFile {
    DamagedHeader,
    Foreign,
    NewerSchema,
    UpgradeFails,
    BackupFails,
    ReadOnlyFile,
    ReadOnlyFolder,
    NoFolder
};

} // namespace

Q_DECLARE_METATYPE(quendle2::FetchDescriptor)
Q_DECLARE_METATYPE(BadFile)

class TestStore : public QObject, private StoreFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(openFresh()); }

    void cleanup() {
        m_store.reset();
        m_dir.reset();
    }

    void tripQueries_data() {
        QTest::addColumn<FetchDescriptor>("descriptor");
        QTest::addColumn<QStringList>("expected");

        const FetchDescriptor::SortKey newest{u"startDate"_s, false};
        const auto train = [&](const QString& text) {
            return FetchDescriptor{{Condition::textEquals(u"trainIdentifier"_s, text)}, {newest}, {}};
        };
        QTest::newRow("newest first")
            << FetchDescriptor{{}, {newest}, {}}
            << QStringList{u"ICE 1@03-03"_s, u"ice 1@02-02"_s, u"ICE 1@01-15"_s, u"ICE 10@01-01"_s};
        QTest::newRow("no sort: store order")
            << FetchDescriptor{}
            << QStringList{u"ICE 1@03-03"_s, u"ICE 10@01-01"_s, u"ice 1@02-02"_s, u"ICE 1@01-15"_s};
        QTest::newRow("newest, limited to one")
            << FetchDescriptor{{}, {newest}, 1} << QStringList{u"ICE 1@03-03"_s};
        QTest::newRow("one train") << train(u"ICE 1"_s) << QStringList{u"ICE 1@03-03"_s, u"ICE 1@01-15"_s};
        QTest::newRow("train text differs in case") << train(u"ice 1"_s) << QStringList{u"ice 1@02-02"_s};
        QTest::newRow("train text is a prefix") << train(u"ICE"_s) << QStringList{};
    }

    void tripQueries() {
        QFETCH(FetchDescriptor, descriptor);
        // Inserted out of date order, so that store order and date order differ.
        context()->insert(std::make_unique<Trip>(at(3, 3), u"ICE 1"_s, false));
        context()->insert(std::make_unique<Trip>(at(1, 1), u"ICE 10"_s, false));
        context()->insert(std::make_unique<Trip>(at(2, 2), u"ice 1"_s, false));
        context()->insert(std::make_unique<Trip>(at(1, 15), u"ICE 1"_s, true));

        for (int pass = 0; pass < 2; ++pass) { // from the open transaction, then from the file
            QStringList labels;
            for (const Trip* trip : fetchAll<Trip>(context(), descriptor)) {
                labels << label(trip);
            }
            QTEST(labels, "expected");
            QVERIFY(reopen());
        }
    }

    // No save anywhere: closing the store must be enough. One row is one object, however it is reached.
    void creationValuesSurviveReopen() {
        RecordRef<AppSettings> settings = context()->insert(std::make_unique<AppSettings>());
        RecordRef<Trip> trip = context()->insert(std::make_unique<Trip>(at(12, 3, 41), u"ICE 577"_s, true));
        const QUuid id = trip->id();
        context()->insert(std::make_unique<SpeedSample>(at(12, 3, 42), 187.5, trip));
        context()->insert(std::make_unique<StopSnapshot>(at(12, 3, 43), trip, u"8000207"_s, u"Köln Hbf"_s,
                                                         at(12, 3, 50), std::nullopt, std::nullopt));
        // The train emoji option may be absent, as in records stored before it existed.
        for (const std::optional<bool> emoji : {std::optional<bool>(), std::optional(false)}) {
            AppSettings* changed = context()->insert(std::make_unique<AppSettings>());
            changed->setShowTrainEmoji(emoji);
            changed->setUpdateIntervalSeconds(30);
        }
        QCOMPARE(fetchAll<Trip>(context()), QList<Trip*>{trip});
        QVERIFY(reopen());

        // The sample first, so that its trip is first reached through the link.
        const auto samples = fetchAll<SpeedSample>(context());
        QVERIFY(samples.size() == 1 && samples[0]->timestamp() == at(12, 3, 42) &&
                samples[0]->speedKmh() == 187.5);
        Trip* stored = samples[0]->trip();
        QVERIFY(stored != nullptr && stored->id() == id && id.version() == QUuid::Random &&
                stored->startDate() == at(12, 3, 41) && stored->trainIdentifier() == u"ICE 577"_s &&
                stored->active() && stored->maxSpeed() == 0 && stored->avgSpeed() == 0 &&
                !stored->endDate() && !stored->selectedStopEva());
        QCOMPARE(fetchAll<Trip>(context()), QList<Trip*>{stored});
        QCOMPARE(stored->samples(), samples);

        const auto snapshots = fetchAll<StopSnapshot>(context(), byTrip(id));
        QCOMPARE(snapshots.size(), 1);
        const StopSnapshot* snapshot = snapshots[0];
        QVERIFY(snapshot->trip() == stored && snapshot->createdAt() == at(12, 3, 43) &&
                snapshot->stationEva() == u"8000207"_s && snapshot->stationName() == u"Köln Hbf"_s &&
                snapshot->scheduledArrivalTime() == std::optional(at(12, 3, 50)) &&
                !snapshot->actualArrivalTime() && !snapshot->arrivalDelayText());

        // The application reads its settings as the first record of an unsorted fetch.
        const auto allSettings = fetchAll<AppSettings>(context());
        QCOMPARE(allSettings.size(), 3);
        const AppSettings* defaults = allSettings[0];
        QVERIFY(defaults->showSpeed() && defaults->showArrivalInfo() && defaults->showDelay() &&
                defaults->showWifiStrength() && defaults->showTrainEmoji() == std::optional<bool>(true) &&
                defaults->updateIntervalSeconds() == 5 && !defaults->stopSelectionEva() &&
                defaults->arrivalReminderMinutes() == 5 && defaults->notifyPlatformChanges() == true &&
                defaults->notifyDelayChanges() == true && defaults->notifyInternetGaps() == true);
        QVERIFY(!allSettings[1]->showTrainEmoji() &&
                allSettings[2]->showTrainEmoji() == std::optional(false));
        QCOMPARE(allSettings[2]->updateIntervalSeconds(), 30);
    }

    // Writing a field's current value back still signals, on the record and the context: views rely on it.
    void settersAlwaysSignal() {
        RecordRef<AppSettings> settings = context()->insert(std::make_unique<AppSettings>());
        RecordRef<Trip> trip = addTrip(at(6, 1), u"ICE 5"_s, true);
        RecordRef<SpeedSample> sample = context()->insert(std::make_unique<SpeedSample>(at(6, 1), 120, trip));
        RecordRef<StopSnapshot> snapshot = context()->insert(std::make_unique<StopSnapshot>(
            at(6, 1), trip, u"8000105"_s, u"Frankfurt(Main)Hbf"_s, at(6, 1), std::nullopt, u"+3"_s));
        const auto signalled = [&](PersistentModel* record, const char* signal,
                                   const std::function<void()>& write) {
            QSignalSpy changed(record,
                               record->metaObject()->method(record->metaObject()->indexOfSignal(signal)));
            QSignalSpy written(context(), &ModelContext::recordChanged);
            write();
            return changed.count() == 1 && written.count() == 1 &&
                   written.first().first().value<PersistentModel*>() == record;
        };
        QVERIFY(signalled(settings, "showTrainEmojiChanged()",
                          [&] { settings->setShowTrainEmoji(settings->showTrainEmoji()); }));
        QVERIFY(signalled(trip, "idChanged()", [&] { trip->setId(trip->id()); }));
        QVERIFY(signalled(sample, "speedKmhChanged()", [&] { sample->setSpeedKmh(sample->speedKmh()); }));
        QVERIFY(signalled(sample, "tripChanged()", [&] { sample->setTrip(sample->trip()); }));
        QVERIFY(signalled(snapshot, "arrivalDelayTextChanged()",
                          [&] { snapshot->setArrivalDelayText(snapshot->arrivalDelayText()); }));
        QVERIFY(signalled(snapshot, "tripChanged()", [&] { snapshot->setTrip(snapshot->trip()); }));
        QVERIFY(!context()->lastSaveError());
    }

    void tripIdsStayUnique_data() {
        QTest::addColumn<bool>("insertCopy");
        QTest::newRow("a new trip carrying a stored id") << true;
        QTest::newRow("a stored trip given another's id") << false;
    }

    void tripIdsStayUnique() {
        QFETCH(bool, insertCopy);
        RecordRef<Trip> first = addTrip(at(1, 1), u"ICE 1"_s, false);
        RecordRef<Trip> second = addTrip(at(1, 2), u"ICE 2"_s, true);
        QVERIFY(waitForSave(context()));
        const QList<QUuid> ids{first->id(), second->id()};

        QSignalSpy failed(context(), &ModelContext::saveFailed);
        if (insertCopy) {
            auto copy = std::make_unique<Trip>(at(1, 3), u"ICE 3"_s, true);
            copy->setId(ids[0]);
            const QPointer<Trip> refused = copy.get();
            QCOMPARE(context()->insert(std::move(copy)), nullptr);
            QVERIFY(refused.isNull()); // freed, not leaked
        } else {
            second->setId(ids[0]);
        }
        QCOMPARE(failed.count(), 1);
        QVERIFY(context()->lastSaveError() && !context()->lastSaveError()->description.isEmpty());

        QVERIFY(reopen());
        const QList<Trip*> stored = fetchAll<Trip>(context(), oldestFirst);
        QVERIFY(stored.size() == 2 && stored[0]->id() == ids[0] && stored[1]->id() == ids[1]);
    }

    // A trip takes its samples with it; its snapshots stay, with an empty link; its row id is never reused.
    void deletingATripTakesItsSamples() {
        RecordRef<Trip> kept = addTrip(at(8, 1), u"ICE 1"_s, true);
        RecordRef<Trip> doomed = addTrip(at(8, 2), u"ICE 2"_s, false);
        QList<SpeedSample*> doomedSamples;
        for (int i = 0; i < 3; ++i) {
            doomedSamples << context()->insert(std::make_unique<SpeedSample>(at(8, 2, i), 100 + i, doomed));
        }
        SpeedSample* keptSample = context()->insert(std::make_unique<SpeedSample>(at(8, 1), 50, kept));
        QList<StopSnapshot*> snapshots;
        for (Trip* trip : {doomed, doomed, kept}) {
            snapshots << context()->insert(std::make_unique<StopSnapshot>(
                at(8, 2, 30), trip, u"8002549"_s, u"Hamburg Hbf"_s, std::nullopt, std::nullopt, u"+2"_s));
        }
        QVERIFY(waitForSave(context()));
        const qint64 freedRow = doomed->persistentId();

        QSignalSpy sampleGone(doomedSamples[0], &PersistentModel::deleted);
        QSignalSpy linkEmptied(snapshots[0], &StopSnapshot::tripChanged);
        QSignalSpy otherLink(snapshots[2], &StopSnapshot::tripChanged);
        context()->deleteRecord(doomed);
        QVERIFY(std::ranges::all_of(doomedSamples, &PersistentModel::isDeleted));
        QCOMPARE(sampleGone.count(), 1);
        QCOMPARE(kept->sampleCount(), 1);
        QCOMPARE(fetchAll<SpeedSample>(context()), QList<SpeedSample*>{keptSample});
        QVERIFY(!snapshots[0]->isDeleted() && snapshots[0]->trip() == nullptr && linkEmptied.count() == 1);
        QVERIFY(snapshots[2]->trip() == kept && otherLink.count() == 0);

        QCOMPARE(context()->insert(std::make_unique<SpeedSample>(at(8, 3), 80, doomed)), nullptr);
        Trip* newcomer = context()->insert(std::make_unique<Trip>(at(8, 3), u"ICE 3"_s, true));
        QVERIFY(newcomer->persistentId() > freedRow);

        QVERIFY(reopen());
        QVERIFY(fetchAll<Trip>(context()).size() == 2 && fetchAll<SpeedSample>(context()).size() == 1);
        QCOMPARE(fetchAll<StopSnapshot>(context()).size(), 3);
        QCOMPARE(fetchAll<StopSnapshot>(context(), byTrip(std::nullopt)).size(), 2);
    }

    // Inserted out of time order: the latest is found by timestamp, not by insertion.
    void latestSample() {
        RecordRef<Trip> trip = addTrip(at(10, 1), u"ICE 4"_s, true);
        QCOMPARE(trip->latestSample(), nullptr);
        QList<SpeedSample*> samples;
        for (int minute : {1, 3, 0, 2}) {
            samples << context()->insert(std::make_unique<SpeedSample>(at(10, 1, minute), minute, trip));
        }
        QCOMPARE(trip->latestSample(), samples[1]);
        QCOMPARE(trip->sampleCount(), 4);
        QCOMPARE(trip->latestSampleMark()->timestamp, at(10, 1, 3));
        // The remembered mark follows a sample that moves back in time, and the next one that joins.
        samples[1]->setTimestamp(at(10, 1, 0));
        QCOMPARE(trip->latestSampleMark()->speedKmh, 2.0);
        context()->insert(std::make_unique<SpeedSample>(at(10, 1, 2), 7, trip));
        QCOMPARE(trip->latestSampleMark()->speedKmh, 7.0);

        QVERIFY(reopen());
        Trip* stored = fetchAll<Trip>(context()).value(0);
        // Joins a trip read back from the file that has not loaded its samples yet.
        SpeedSample* joined = context()->insert(std::make_unique<SpeedSample>(at(10, 1, 1), 88, stored));
        QCOMPARE(stored->sampleCount(), 6);
        QVERIFY(stored->samples().size() == 6 && stored->samples().contains(joined));
        QVERIFY(stored->latestSample() && stored->latestSample()->speedKmh() == 7.0);
        QCOMPARE(stored->latestSampleMark()->timestamp, at(10, 1, 2));
    }

    void speedStats_data() {
        QTest::addColumn<QList<double>>("speeds");
        QTest::addColumn<int>("deleteAt");
        QTest::addColumn<int>("slowAt"); // that sample's speed becomes 50
        QTest::addColumn<QList<double>>("later");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("average");
        QTest::addColumn<qint64>("positive");

        const QList<double> run{0, 100, 120};
        const QList<double> none;
        QTest::newRow("standing, then moving") << run << -1 << -1 << none << 120.0 << 110.0 << 2LL;
        QTest::newRow("only standing") << QList<double>{0, 0} << -1 << -1 << none << 0.0 << 0.0 << 0LL;
        QTest::newRow("negative speed left out")
            << QList<double>{-3, 50} << -1 << -1 << none << 50.0 << 50.0 << 1LL;
        QTest::newRow("maximum lowered") << run << -1 << 2 << none << 100.0 << 75.0 << 2LL;
        QTest::newRow("recorded after the maximum was deleted")
            << run << 2 << -1 << QList<double>{60} << 100.0 << 80.0 << 2LL;
        // The portal may send any finite number: a sum of two such speeds would be infinite for good.
        QTest::newRow("huge speeds keep a finite average")
            << QList<double>{1e308, 1e308} << -1 << -1 << QList<double>{1e308} << 1e308 << 1e308 << 3LL;
    }

    void speedStats() {
        QFETCH(QList<double>, speeds);
        QFETCH(int, deleteAt);
        QFETCH(int, slowAt);
        QFETCH(QList<double>, later);
        RecordRef<Trip> trip = addTrip(at(11, 1), u"ICE 8"_s, true);
        QList<SpeedSample*> samples;
        const auto record = [&](double speed) {
            samples << context()->insert(
                std::make_unique<SpeedSample>(at(11, 1, static_cast<int>(samples.size())), speed, trip));
        };
        std::for_each(speeds.begin(), speeds.end(), record);
        if (deleteAt >= 0) {
            context()->deleteRecord(samples.takeAt(deleteAt));
        }
        if (slowAt >= 0) {
            samples[slowAt]->setSpeedKmh(50);
        }
        trip->positiveSpeedStats(); // the status line reads them after every change
        std::for_each(later.begin(), later.end(), record);

        for (int pass = 0; pass < 2; ++pass) { // kept up to date, then counted from the file
            const Trip::SpeedStats stats = trip->positiveSpeedStats();
            QTEST(stats.maximum, "maximum");
            QTEST(stats.average, "average");
            QTEST(stats.count, "positive");
            QCOMPARE(trip->sampleCount(), samples.size());
            QVERIFY(reopen());
            trip = fetchAll<Trip>(context()).value(0);
        }
    }

    void writesReachTheFileAtTheEndOfTheTurn() {
        RawConnection reader(storePath(), true);
        QVERIFY(reader.isOpen());
        QSignalSpy saved(context(), &ModelContext::saved);
        RecordRef<Trip> trip = addTrip(at(4, 1), u"ICE 3"_s, true);
        for (int i = 1; i <= 10; ++i) {
            context()->insert(std::make_unique<SpeedSample>(at(4, 1, i), 10.0 * i, trip));
            trip->setMaxSpeed(10.0 * i);
        }
        QVERIFY(context()->hasUncommittedChanges());
        QCOMPARE(reader.scalar(u"SELECT COUNT(*) FROM Trip"_s).toInt(), 0);

        QVERIFY(saved.wait());
        QVERIFY(!context()->hasUncommittedChanges());
        QVERIFY(reader.scalar(u"SELECT COUNT(*) FROM SpeedSample"_s).toInt() == 10 &&
                reader.scalar(u"SELECT maxSpeed FROM Trip"_s).toDouble() == 100.0);
        QTest::qWait(0);
        QCOMPARE(saved.count(), 1);

        trip->setActive(false);
        QVERIFY(saved.wait());
        QCOMPARE(reader.scalar(u"SELECT active FROM Trip"_s).toInt(), 0);
    }

    void unusableFilesAreLeftAlone_data() {
        QTest::addColumn<BadFile>("kind");
        QTest::addColumn<QString>("message"); // how it begins
        const QString damaged = u"The file "_s;
        QTest::newRow("store with a damaged header") << BadFile::DamagedHeader << damaged;
        QTest::newRow("another program's database") << BadFile::Foreign << damaged;
        QTest::newRow("store from a newer minor version") << BadFile::NewerSchema << u"The trip store "_s;
        QTest::newRow("upgrade meets a column already there")
            << BadFile::UpgradeFails << u"Cannot upgrade the trip store "_s;
        QTest::newRow("backup name too long") << BadFile::BackupFails << u"Cannot back up the trip store "_s;
        QTest::newRow("read-only store") << BadFile::ReadOnlyFile << u"Cannot write to the trip store "_s;
        QTest::newRow("store in a read-only folder") << BadFile::ReadOnlyFolder << damaged;
        QTest::newRow("folder under a regular file") << BadFile::NoFolder << u"Cannot create the folder "_s;
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
        // The longest name whose "-journal" file still fits the file system's 255 bytes: a backup's does not.
        QString keptPath =
            folder + u'/' + (kind == BadFile::BackupFails ? QString(247, u's') : u"store.sqlite"_s);
        QString openPath = keptPath;
        if (kind != BadFile::Foreign && kind != BadFile::NoFolder) {
            auto store = openStore(keptPath);
            QVERIFY(store);
            store->mainContext()->insert(std::make_unique<Trip>(at(2, 1), u"ICE 1"_s, true));
        }
        switch (kind) {
        case BadFile::DamagedHeader:
            QVERIFY(!QFile::exists(keptPath + u"-wal"_s)); // otherwise SQLite might read page 1 from there
            QVERIFY(writeFile(keptPath, QByteArray(100, '\x5a')));
            break;
        case BadFile::Foreign: {
            RawConnection raw(keptPath, false);
            QVERIFY(raw.exec(u"CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)"_s));
            QVERIFY(raw.exec(u"INSERT INTO notes (body) VALUES ('buy tickets')"_s));
            break;
        }
        case BadFile::NewerSchema:
        case BadFile::UpgradeFails:
        case BadFile::BackupFails: {
            RawConnection raw(keptPath, false);
            const bool newer = kind == BadFile::NewerSchema;
            QVERIFY(raw.exec(u"UPDATE Metadata SET value = '%1' WHERE key = 'schemaVersion'"_s.arg(
                newer ? u"1.3.0"_s : u"1.0.0"_s)));
            // The upgrade adds the first column and fails at the second, which is there already.
            QVERIFY(kind != BadFile::UpgradeFails ||
                    raw.exec(u"ALTER TABLE AppSettings DROP COLUMN arrivalReminderMinutes"_s));
            break;
        }
        case BadFile::ReadOnlyFile:
            QVERIFY(QFile::setPermissions(keptPath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            break;
        case BadFile::ReadOnlyFolder:
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            break;
        case BadFile::NoFolder:
            keptPath = folder + u"/2025"_s;
            openPath = keptPath + u"/store.sqlite"_s;
            QVERIFY(writeFile(keptPath, QByteArray("a file where the folder should be")));
            break;
        }

        const QByteArray before = fileBytes(keptPath);
        QVERIFY(!before.isEmpty());
        const auto opened = ModelContainer::open(openPath);
        QVERIFY(!opened.ok());
        QFETCH(QString, message);
        QVERIFY2(opened.error().description.startsWith(message), qPrintable(opened.error().description));
        QCOMPARE(fileBytes(keptPath), before);
        QCOMPARE(QDir(folder).entryList({u"*.bak*"_s}), QStringList()); // no backup stays behind
    }

    void upgradeKeepsEveryRow_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("earlierBackup");
        QTest::newRow("first upgrade") << u"1.0.0"_s << false;
        QTest::newRow("an earlier backup is kept") << u"1.0.0"_s << true;
        QTest::newRow("from 1.1.0") << u"1.1.0"_s << false;
    }

    // The last rows are still in the log, as a crash leaves them: the backup copy must have them too.
    void upgradeKeepsEveryRow() {
        QFETCH(QString, version);
        QFETCH(bool, earlierBackup);
        m_store.reset();
        QVERIFY(QFile::remove(storePath()));
        auto raw = std::make_unique<RawConnection>(storePath(), false);
        QVERIFY(raw->exec(u"PRAGMA journal_mode = WAL"_s));
        for (const char* statement : StoreSchema::firstVersion()) {
            QVERIFY(raw->exec(QString::fromUtf8(statement)));
        }
        for (auto step = StoreSchema::migrations().begin(); version != QLatin1String(step->from); ++step) {
            for (const char* statement : step->statements) {
                QVERIFY(raw->exec(QString::fromUtf8(statement)));
            }
        }
        const QStringList rows{
            u"INSERT INTO Metadata VALUES ('schemaVersion', '%1')"_s.arg(version),
            u"INSERT INTO AppSettings (pk, showSpeed, showArrivalInfo, showDelay, showWifiStrength, "
            u"showTrainEmoji, updateIntervalSeconds, stopSelectionEva) VALUES (1, 0, 1, 1, 1, 0, 30, '8000105')"_s,
            u"INSERT INTO Trip VALUES (1, '5f0c7c52-5e46-4a52-9d3c-3bd1b9d6a8a1', 1748772000125, NULL, "
            u"'ICE 77', 1, 250.5, 120.25, '8000105')"_s,
            u"INSERT INTO SpeedSample (pk, timestamp, speedKmh, trip) "
            u"VALUES (1, 1748772030125, 99.5, 1), (2, 1748772060125, 120, 1)"_s,
            u"INSERT INTO StopSnapshot VALUES (1, 1748772060125, 1, '8000105', 'Mainz', NULL, NULL, '+4')"_s};
        for (const QString& row : rows) {
            QVERIFY(raw->exec(row));
        }
        const QString backup = storePath() + u".%1.bak"_s.arg(version);
        QVERIFY(!earlierBackup || writeFile(backup, "earlier"));
        QVERIFY(reopen());
        raw.reset();

        RawConnection copy(earlierBackup ? backup + u".1"_s : backup, true);
        QVERIFY(copy.scalar(u"SELECT value FROM Metadata"_s).toString() == version &&
                copy.scalar(u"SELECT COUNT(*) FROM SpeedSample"_s).toInt() == 2);
        QVERIFY(!earlierBackup || fileBytes(backup) == "earlier");
        AppSettings* settings = fetchAll<AppSettings>(context()).value(0);
        QVERIFY(!settings->showSpeed() && settings->showTrainEmoji() == false &&
                settings->updateIntervalSeconds() == 30 && settings->stopSelectionEva() == u"8000105"_s);
        QVERIFY(!settings->arrivalReminderMinutes() && !settings->notifyPlatformChanges() &&
                !settings->notifyDelayChanges() && !settings->notifyInternetGaps());
        const Trip* trip = fetchAll<Trip>(context()).value(0);
        QCOMPARE(label(trip), u"ICE 77@06-01"_s);
        QVERIFY(trip->maxSpeed() == 250.5 && trip->avgSpeed() == 120.25 &&
                trip->selectedStopEva() == u"8000105"_s && trip->sampleCount() == 2);
        SpeedSample* sample = fetchAll<SpeedSample>(context()).value(0);
        QVERIFY(sample->speedKmh() == 99.5 && !sample->latitude() && !sample->longitude());
        QCOMPARE(fetchAll<StopSnapshot>(context(), byTrip(trip->id())).value(0)->arrivalDelayText(), u"+4"_s);

        // Each new column keeps what is written to it, and the next open has nothing to upgrade or back up.
        settings->setArrivalReminderMinutes(10);
        settings->setNotifyDelayChanges(false);
        settings->setNotifyInternetGaps(true);
        sample->setLatitude(-33.5);
        sample->setLongitude(151.25);
        QVERIFY(reopen());
        sample = fetchAll<SpeedSample>(context()).value(0);
        QVERIFY(sample->latitude() == -33.5 && sample->longitude() == 151.25);
        settings = fetchAll<AppSettings>(context()).value(0);
        QVERIFY(settings->arrivalReminderMinutes() == 10 && !settings->notifyPlatformChanges() &&
                settings->notifyDelayChanges() == false && settings->notifyInternetGaps() == true);
        QCOMPARE(QDir(m_dir->path()).entryList({u"*.bak"_s, u"*.bak.?"_s}).size(), earlierBackup ? 2 : 1);
    }

    void liveTripsFollowChanges() {
        std::unique_ptr<LiveQueryModel> model(LiveQueryModel::tripsNewestFirst(context()));
        QSignalSpy refreshed(model.get(), &LiveQueryModel::refreshed);
        QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy moved(model.get(), &QAbstractItemModel::rowsMoved);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);

        RecordRef<Trip> jan = addTrip(at(1, 10), u"ICE 1"_s, false);
        RecordRef<Trip> mar = addTrip(at(3, 10), u"ICE 3"_s, true);
        RecordRef<Trip> feb = addTrip(at(2, 10), u"ICE 2"_s, false);
        QVERIFY(refreshed.wait());
        QCOMPARE(inserted.count(), 3);
        QCOMPARE(model->records(), (QList<PersistentModel*>{mar, feb, jan}));
        QCOMPARE(model->data(model->index(0), LiveQueryModel::RecordRole).value<QObject*>(), mar);

        // A move, not a remove and insert, so that a selected trip stays selected.
        jan->setStartDate(at(4, 10));
        QVERIFY(refreshed.wait());
        QCOMPARE(moved.count(), 1);
        QCOMPARE(inserted.count() + removed.count(), 3);
        QCOMPARE(model->records(), (QList<PersistentModel*>{jan, mar, feb}));

        feb->setMaxSpeed(250);
        QVERIFY(waitForSave(context()));
        QVERIFY(changed.count() == 1 && changed.first().first().value<QModelIndex>().row() == 2);
        QCOMPARE(moved.count(), 1);

        context()->deleteRecord(mar);
        QCOMPARE(removed.count(), 1); // at once: no view may show a deleted trip
        QCOMPARE(model->records(), (QList<PersistentModel*>{jan, feb}));
        QVERIFY(refreshed.wait());
        QCOMPARE(removed.count(), 1);
    }

private:
    Trip* addTrip(const QDateTime& start, const QString& train, bool active) {
        return context()->insert(std::make_unique<Trip>(start, train, active));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
