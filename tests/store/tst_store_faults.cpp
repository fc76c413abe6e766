// A disk that refuses writes for a while costs nothing: what is recorded meanwhile reaches the file later.
#include "StoreTestSupport.h"
#include "platform/Log.h"
#include "store/AppSettings.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/Trip.h"
#include "support/LogCapture.h"

#include <QSignalSpy>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

namespace {

enum class Fault { WritesRefused, CommitRefused, StatementsInterrupted };

QDateTime at(int minute) {
    return QDateTime(QDate(2025, 6, 1), QTime(10, 0), Qt::UTC).addSecs(minute * 60);
}

/// A full disk shows up at COMMIT, so a refusing commit hook on the store's connection stands in for it.
sqlite3* storeHandle() {
    for (const QString& name : QSqlDatabase::connectionNames()) {
        if (name.startsWith(u"quendle2-store-"_s)) {
            const QVariant handle = QSqlDatabase::database(name, false).driver()->handle();
            return *static_cast<sqlite3* const*>(handle.constData());
        }
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(Fault)
using SampleRead = qint64 (*)(ModelContext*, Trip*);
Q_DECLARE_METATYPE(SampleRead)

class TestStoreFaults : public QObject, private StoreFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(openFresh()); }

    void cleanup() {
        setFault(std::nullopt);
        m_store.reset();
    }

    void nothingRecordedDuringAFailureIsLost_data() {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("writes refused (a read-only disk)") << Fault::WritesRefused;
        QTest::newRow("commit refused (a full disk)") << Fault::CommitRefused;
    }

    void nothingRecordedDuringAFailureIsLost() {
        QFETCH(Fault, fault);
        ModelContext* context = StoreFixture::context();
        RecordRef<Trip> old = context->insert(std::make_unique<Trip>(at(0), u"ICE 1"_s, true));
        QList<RecordRef<SpeedSample>> oldSamples;
        for (int minute = 1; minute <= 3; ++minute) {
            oldSamples << context->insert(std::make_unique<SpeedSample>(at(minute), 100 + minute, old));
        }
        QVERIFY(context->save());

        LogCapture errors(lcStore());
        QSignalSpy failed(context, &ModelContext::saveFailed);
        setFault(fault);
        // Several turns of a journey while nothing can be written.
        for (int minute = 4; minute <= 7; ++minute) {
            QVERIFY(context->insert(std::make_unique<SpeedSample>(at(minute), 100 + minute, old)));
            QCoreApplication::processEvents(); // the turn ends, and with it the attempt to save
            QCOMPARE(failed.count(), minute - 3);
        }
        old->setActive(false);
        old->setEndDate(at(8));
        RecordRef<Trip> next = context->insert(std::make_unique<Trip>(at(9), u"ICE 2"_s, true));
        for (int minute = 10; minute <= 11; ++minute) {
            context->insert(std::make_unique<SpeedSample>(at(minute), 200 + minute, next));
        }
        context->deleteRecord(oldSamples[0]);
        context->insert(std::make_unique<AppSettings>());
        QVERIFY(!context->save());
        QVERIFY(context->hasUncommittedChanges());
        QCOMPARE(context->saveWarning().left(22), u"quendle2 cannot save: "_s);
        QCOMPARE(errors.startingWith({}, QtCriticalMsg).size(), 1);
        QCOMPARE(errors.startingWith(u"Could not save the trip store: "_s, QtCriticalMsg).size(), 1);
        {
            RawConnection reader(storePath(), true);
            QCOMPARE(reader.scalar(u"SELECT COUNT(*) FROM SpeedSample"_s).toInt(), 3);
        }

        setFault(std::nullopt);
        QSignalSpy saved(context, &ModelContext::saved);
        context->insert(std::make_unique<SpeedSample>(at(12), 212, next)); // the next turn retries by itself
        QVERIFY(saved.wait());
        QVERIFY(!context->hasUncommittedChanges());
        QVERIFY(context->saveWarning().isEmpty());
        QCOMPARE(errors.startingWith({}, QtCriticalMsg).size(), 1);

        const qint64 oldId = old->persistentId();
        const qint64 nextId = next->persistentId();
        QVERIFY(reopen());
        RawConnection reader(storePath(), true);
        QCOMPARE(reader.scalar(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
        QVERIFY(reader.scalar(u"PRAGMA foreign_key_check"_s).isNull());
        const auto samplesOf = [&reader](qint64 trip) {
            return reader
                .scalar(u"SELECT group_concat(CAST(speedKmh AS INTEGER), ' ') FROM (SELECT speedKmh "
                        u"FROM SpeedSample WHERE trip = %1 ORDER BY timestamp)"_s.arg(trip))
                .toString();
        };
        QCOMPARE(samplesOf(oldId), u"102 103 104 105 106 107"_s);
        QCOMPARE(samplesOf(nextId), u"210 211 212"_s);
        QCOMPARE(reader.scalar(u"SELECT active FROM Trip WHERE pk = %1"_s.arg(oldId)).toInt(), 0);
        QVERIFY(!reader.scalar(u"SELECT endDate FROM Trip WHERE pk = %1"_s.arg(oldId)).isNull());
        QCOMPARE(reader.scalar(u"SELECT COUNT(*) FROM AppSettings"_s).toInt(), 1);
    }

    void failedReadsAreReported_data() {
        QTest::addColumn<SampleRead>("read");
        QTest::newRow("fetch") << SampleRead([](ModelContext* context, Trip*) {
            const auto fetched = context->fetch<SpeedSample>();
            return fetched.ok() ? fetched.value().size() : 0;
        });
        QTest::newRow("samples") << SampleRead(
            [](ModelContext*, Trip* trip) { return trip->samples().size(); });
        QTest::newRow("latest") << SampleRead(
            [](ModelContext*, Trip* trip) { return qint64(trip->latestSampleMark().has_value()); });
        QTest::newRow("count") << SampleRead([](ModelContext*, Trip* trip) { return trip->sampleCount(); });
    }

    // A read that fails is reported as a failed save is, and what it read as empty is not kept.
    void failedReadsAreReported() {
        QFETCH(SampleRead, read);
        RecordRef<Trip> trip = context()->insert(std::make_unique<Trip>(at(0), u"ICE 1"_s, true));
        context()->insert(std::make_unique<SpeedSample>(at(1), 120, trip));
        trip = nullptr;
        QVERIFY(reopen()); // nothing of the trip in memory
        trip = context()->fetch<Trip>().value().value(0);

        LogCapture errors(lcStore());
        QSignalSpy failed(context(), &ModelContext::readFailed);
        QSignalSpy recovered(context(), &ModelContext::readRecovered);
        setFault(Fault::StatementsInterrupted);
        QCOMPARE(read(context(), trip), 0);
        QCOMPARE(read(context(), trip), 0);
        QCOMPARE(errors.startingWith({}, QtCriticalMsg),
                 QStringList{u"Could not read the trip store: interrupted"_s});
        QVERIFY(failed.count() == 1 && context()->saveWarning() == u"quendle2 cannot read: interrupted"_s);

        setFault(std::nullopt);
        QCOMPARE(read(context(), trip), 1);
        QVERIFY(recovered.count() == 1 && context()->saveWarning().isEmpty() && !context()->lastReadError());
    }

    // Records nobody holds leave memory once their changes are in the file; a held one keeps its identity.
    void unheldRecordsAreFreed() {
        ModelContext* context = StoreFixture::context();
        RecordRef<Trip> trip = context->insert(std::make_unique<Trip>(at(0), u"ICE 1"_s, true));
        for (int minute = 1; minute <= 50; ++minute) {
            context->insert(std::make_unique<SpeedSample>(at(minute), minute, trip));
        }
        QVERIFY(context->save());
        QTRY_COMPARE(context->recordsInMemory(), 1);
        QCOMPARE(trip->samples().size(), 50);
        QCOMPARE(context->fetch<Trip>().value(), QList<Trip*>{trip});
        QTRY_COMPARE(context->recordsInMemory(), 1);

        trip->holdSamples();
        QCOMPARE(trip->samples().size(), 50);
        context->insert(std::make_unique<SpeedSample>(at(51), 51, trip)); // joins the held samples
        QCOMPARE(trip->samples().size(), 51);
        QVERIFY(context->save());
        QTest::qWait(0);
        QCOMPARE(context->recordsInMemory(), 52);
        trip->releaseSamples();
        QTRY_COMPARE(context->recordsInMemory(), 1);

        context->deleteRecord(trip);
        QVERIFY(trip->isDeleted()); // still readable while held
        trip = nullptr;
        QTRY_COMPARE(context->recordsInMemory(), 0);
    }

private:
    void setFault(std::optional<Fault> fault) {
        if (!m_store) {
            return;
        }
        m_store->mainContext()->refuseWrites(fault == Fault::WritesRefused);
        const auto refuse = [](void*) { return 1; };
        sqlite3_commit_hook(storeHandle(), fault == Fault::CommitRefused ? +refuse : nullptr, nullptr);
        // A statement SQLite gives up on while stepping, as on an unreadable page.
        const auto interrupt = [](void*) { return 1; };
        sqlite3_progress_handler(storeHandle(), 1,
                                 fault == Fault::StatementsInterrupted ? +interrupt : nullptr, nullptr);
    }
};

QTEST_GUILESS_MAIN(TestStoreFaults)
#include "tst_store_faults.moc"
