// A turn whose `saved` was signalled must survive the process being killed the next moment, and the file must
// still be a sound database: the application can be ended at any time.

#include "StoreTestSupport.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/Trip.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quendle2;
using namespace quendle2::test;
using namespace Qt::Literals::StringLiterals;

class TestStoreCrash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void savedTurnSurvivesKill() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"store.sqlite"_s);

        QProcess child;
        child.start(QStringLiteral(STORE_CRASH_CHILD), {path});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        QByteArray out;
        while (!out.contains('\n')) {
            if (!child.waitForReadyRead(60'000)) {
                QFAIL(("no flush from the child: " + child.readAllStandardError()).constData());
            }
            out += child.readAllStandardOutput();
        }
        const QList<QByteArray> words = out.trimmed().split(' ');
        QCOMPARE(words.value(0), QByteArray("flushed"));
        const QUuid id = QUuid::fromString(QString::fromLatin1(words.value(1)));
        QVERIFY(!id.isNull());

        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        // The commit sits in the log, never checkpointed: the state a real crash leaves.
        QVERIFY(QFile::exists(path + u"-wal"_s));

        {
            auto store = openStore(path);
            QVERIFY(store);
            const QList<Trip*> trips = store->mainContext()->fetch<Trip>().value();
            QCOMPARE(trips.size(), 1);
            const Trip* trip = trips.first();
            QCOMPARE(trip->id(), id);
            QCOMPARE(trip->sampleCount(), 1000);
            QCOMPARE(trip->samples().size(), 1000);
        }
        RawConnection raw(path, true);
        QVERIFY(raw.isOpen());
        QCOMPARE(raw.scalar(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
        QCOMPARE(raw.scalar(u"SELECT COUNT(*) FROM SpeedSample"_s).toInt(), 1000);
    }
};

QTEST_GUILESS_MAIN(TestStoreCrash)
#include "tst_store_crash.moc"
