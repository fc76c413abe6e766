#pragma once

#include "platform/Result.h"
#include "store/FetchDescriptor.h"
#include "store/PersistentModel.h"
#include "store/StoreError.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <array>
#include <optional>

namespace quendle2 {

class SpeedSample;
class Trip;

/// The one context through which the main thread reads and writes the store.
///
/// One row is always one object (an identity map). Inserts, field writes and deletes go to the file at once,
/// inside a transaction that is committed at the end of the event-loop turn that opened it, and at quit:
/// callers never save, and a fetch always sees every change made before it.
class ModelContext final : public QObject {
    Q_OBJECT
public:
    using Records = QList<PersistentModel*>;

    struct SampleAggregate {
        qint64 count = 0;
        qint64 positiveCount = 0;
        double positiveSum = 0;
        double positiveMax = 0;
    };

    ~ModelContext() override;

    /// Records of `type` matching `descriptor`, in its order. A failure is handed back; callers treat it as
    /// an empty result.
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

    /// Adds a new record to the store; the context takes ownership. A linked trip not yet in the store is
    /// inserted first.
    void insert(PersistentModel* record);
    /// Removes a record from the store. A trip takes its samples with it; its snapshots stay with an empty
    /// trip link. The object stays alive, detached, and reports isDeleted().
    void deleteRecord(PersistentModel* record);

    /// The last write or save that failed, if any since the last successful save.
    std::optional<StoreError> lastSaveError() const { return m_saveError; }
    bool hasUncommittedChanges() const { return m_inTransaction; }

    // Used by the records themselves.
    void recordWritten(PersistentModel* record, int column);
    QList<SpeedSample*> samplesOf(const Trip* trip);
    SpeedSample* latestSampleOf(const Trip* trip);
    SampleAggregate sampleAggregateOf(const Trip* trip);

Q_SIGNALS:
    void recordInserted(quendle2::PersistentModel* record);
    void recordChanged(quendle2::PersistentModel* record, int column);
    void recordDeleted(quendle2::PersistentModel* record);
    /// All changes of a turn reached the file.
    void saved();
    /// Changes could not be written (for example a full or read-only disk); they are not in the file.
    void saveFailed(const QString& description);

private:
    friend class ModelContainer;

    ModelContext(const QString& connectionName, QObject* parent);

    static PersistentModel* blank(RecordType type);
    QSqlDatabase database() const;
    QSqlQuery& prepared(const QString& sql);
    bool execute(QSqlQuery& query);
    void beginChange();
    void commit();
    void reportFailure(const QString& what, const QString& error);
    PersistentModel* materialize(RecordType type, const QSqlQuery& row);
    PersistentModel* recordFor(RecordType type, qint64 persistentId);
    void markDeleted(PersistentModel* record);

    QString m_connectionName;
    QHash<QString, QSqlQuery> m_statements;
    std::array<QHash<qint64, PersistentModel*>, 5> m_identity;
    bool m_inTransaction = false;
    bool m_turnFailed = false;
    std::optional<StoreError> m_saveError;
};

} // namespace quendle2
