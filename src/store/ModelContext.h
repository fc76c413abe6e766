#pragma once

#include "platform/Result.h"
#include "store/FetchDescriptor.h"
#include "store/PersistentModel.h"
#include "store/RecordRef.h"
#include "store/StoreError.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace quendle2 {

class SpeedSample;
class Trip;

/// The one context through which the main thread reads and writes the store.
///
/// One row is always one object (an identity map) for as long as anybody holds it (see RecordRef). Inserts,
/// field writes and deletes go to the file at once, inside a transaction that is committed at the end of the
/// event-loop turn that opened it, and at quit: callers never save, and a fetch always sees every change made
/// before it.
///
/// Every change is also kept in a journal until a commit has taken it into the file. When a write or a
/// commit fails (a full or read-only disk), the transaction is rolled back and the journal is replayed into
/// the next one, so nothing the application recorded is lost once writing works again. Row identifiers are
/// handed out here, never reused, so a replayed row keeps the identity it was given.
class ModelContext final : public QObject {
    Q_OBJECT
public:
    using Records = QList<PersistentModel*>;

    struct SampleAggregate {
        qint64 count = 0;
        qint64 positiveCount = 0;
        double positiveMean = 0;
        double positiveMax = 0;
    };

    ~ModelContext() override;

    /// Records of `type` matching `descriptor`, in its order. A failure is handed back; callers treat it as
    /// an empty result, and a failed read of the file is reported as every failed read is (readFailed()).
    Result<Records, StoreError> fetchRecords(RecordType type, const FetchDescriptor& descriptor = {});

    template <typename T>
    Result<QList<T*>, StoreError> fetch(const FetchDescriptor& descriptor = {}) {
        auto records = fetchRecords(T::staticType, descriptor);
        if (!records.ok()) {
            return Result<QList<T*>, StoreError>::failure(records.error());
        }
        QList<T*> typed;
        typed.reserve(records.value().size());
        for (PersistentModel* record : records.value()) {
            typed.append(static_cast<T*>(record));
        }
        return Result<QList<T*>, StoreError>::success(typed);
    }

    /// Adds a new record to the store and takes ownership of it; null (and the record freed) when it cannot
    /// be added: already stored, deleted, linked to a trip that is not in the store, or refused by SQLite.
    template <typename T>
    T* insert(std::unique_ptr<T> record) {
        static_assert(std::is_base_of_v<PersistentModel, T>);
        return static_cast<T*>(insertRecord(std::move(record)));
    }
    /// Removes a record from the store. A trip takes its samples with it; its snapshots stay with an empty
    /// trip link. The object stays alive, detached, and reports isDeleted().
    void deleteRecord(PersistentModel* record);

    /// Commits now, replaying whatever earlier saves could not write. True when every change made so far is
    /// in the file.
    bool save();

    /// SQLite's description of the failure that keeps changes out of the file, while there is one.
    std::optional<StoreError> lastSaveError() const { return m_saveError; }
    /// SQLite's description of the failure that made the last read of the file come back empty, while
    /// reads fail.
    std::optional<StoreError> lastReadError() const { return m_readError; }
    /// The line the status item and the main window show while saving fails ("quendle2 cannot save: " and
    /// SQLite's description), or else while reading fails ("quendle2 cannot read: "); empty once both work.
    QString saveWarning() const;
    bool hasUncommittedChanges() const { return m_inTransaction || !m_journal.isEmpty(); }
    /// Makes every write fail, as a disk that takes none would, until called with false: the demo's fault
    /// drill and tests.
    void refuseWrites(bool refuse);
    /// How many records are in memory, held or waiting to be saved (for tests and benchmarks).
    qsizetype recordsInMemory() const;

    // Used by the records themselves. A failed read is reported (readFailed()) and handed back.
    void recordWritten(PersistentModel* record, int column);
    void scheduleSweep();
    Result<QList<SpeedSample*>, StoreError> samplesOf(const Trip* trip);
    /// Null when the trip has no samples.
    Result<SpeedSample*, StoreError> latestSampleOf(const Trip* trip);
    Result<SampleAggregate, StoreError> sampleAggregateOf(const Trip* trip);

Q_SIGNALS:
    void recordInserted(quendle2::PersistentModel* record);
    void recordChanged(quendle2::PersistentModel* record, int column);
    void recordDeleted(quendle2::PersistentModel* record);
    /// Every change made so far reached the file.
    void saved();
    /// Changes could not be written (for example a full or read-only disk); they are kept and retried.
    /// `description` is SQLite's own.
    void saveFailed(const QString& description);
    /// Reads of the file began to fail; each is handed on as an empty result. `description` is SQLite's own.
    void readFailed(const QString& description);
    /// The first read after failed ones worked.
    void readRecovered();

private:
    friend class ModelContainer;

    /// One change not yet committed; replayed with the record's values at the time of the replay.
    struct Change {
        enum class Kind { Insert, Update, Delete };
        Kind kind;
        RecordRef<PersistentModel> record;
        int column = -1;
    };

    ModelContext(const QString& connectionName, QObject* parent);

    static PersistentModel* blank(RecordType type);
    QSqlDatabase database() const;
    QSqlQuery& prepared(const QString& sql);
    /// Opens the turn's transaction, replaying the journal into it.
    void beginChange();
    /// Replays pending changes before a read, so that it sees them.
    void catchUp();
    void commit();
    enum class Applied { Done, Refused, Failed };

    /// insert() for any record type: the record is the store's, or freed, on every path.
    PersistentModel* insertRecord(std::unique_ptr<PersistentModel> record);

    /// Runs a change in the turn's transaction and keeps it until the next commit; false when SQLite
    /// refuses it for good.
    bool journal(Change change);
    Applied apply(const Change& change);
    void reportFailure(const QString& error);
    /// Logs and signals a failed read once per stretch of failures, as reportFailure() does for writes.
    StoreError reportReadFailure(const QSqlError& error);
    /// Ends a stretch of failed reads.
    void readSucceeded();
    qint64 allocateId(RecordType type);
    PersistentModel* adopt(PersistentModel* record, qint64 persistentId);
    PersistentModel* materialize(RecordType type, const QSqlQuery& row);
    PersistentModel* recordFor(RecordType type, qint64 persistentId);
    void markDeleted(PersistentModel* record);
    void sweep();

    QString m_connectionName;
    QHash<QString, QSqlQuery> m_statements;
    std::array<QHash<qint64, PersistentModel*>, 5> m_identity;
    std::array<qint64, 5> m_lastId{};
    QList<PersistentModel*> m_deletedRecords;
    QList<Change> m_journal;
    QSet<PersistentModel*> m_pendingInserts;
    QTimer m_retry;
    bool m_inTransaction = false;
    bool m_turnFailed = false;
    bool m_sweepScheduled = false;
    std::optional<StoreError> m_saveError;
    std::optional<StoreError> m_readError;
};

} // namespace quendle2
