// Inserts, field writes and deletes; the turn's transaction, the journal of uncommitted changes and its
// replay after a failed save.

#include "platform/Log.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QTimer>

#include <utility>

namespace quendle2 {

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

/// SQLite's own words for a failure, without Qt's additions when SQLite said something.
QString describe(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

/// A change SQLite refuses on its own merits (a duplicate trip id, say) fails the same way every time:
/// retrying it would keep every later change out of the file for good.
bool refusedForGood(const QSqlError& error) {
    constexpr int tooBig = 18;
    constexpr int constraint = 19;
    constexpr int mismatch = 20;
    const int primary = error.nativeErrorCode().toInt() & 0xff; // extended codes keep the primary one low
    return primary == tooBig || primary == constraint || primary == mismatch;
}

Trip* linkedTrip(PersistentModel* record) {
    switch (record->recordType()) {
    case RecordType::SpeedSample:
        return static_cast<SpeedSample*>(record)->trip();
    case RecordType::StopSnapshot:
        return static_cast<StopSnapshot*>(record)->trip();
    default:
        return nullptr;
    }
}

} // namespace

qint64 ModelContext::allocateId(RecordType type) {
    qint64& last = m_lastId[static_cast<std::size_t>(type)];
    if (last == 0) {
        // Counted on from the file's highest row, in memory only: a row that is written later, after a
        // failed save, keeps its number, and no other record can be given it meanwhile.
        QSqlQuery& query =
            prepared(QStringLiteral("SELECT MAX(pk) FROM %1").arg(quoted(schemaOf(type).table)));
        if (!query.exec() || !query.next()) {
            reportFailure(describe(query.lastError()));
            return 0;
        }
        last = std::max<qint64>(query.value(0).toLongLong(), 0);
        query.finish();
    }
    return ++last;
}

PersistentModel* ModelContext::insertRecord(std::unique_ptr<PersistentModel> owned) {
    if (owned == nullptr || owned->isInserted() || owned->isDeleted()) {
        return nullptr;
    }
    // A link to a trip outside the store would be stored as no link at all.
    if (Trip* trip = linkedTrip(owned.get()); trip != nullptr && trip->modelContext() != this) {
        return nullptr;
    }
    const qint64 persistentId = allocateId(owned->recordType());
    if (persistentId == 0) {
        return nullptr;
    }
    PersistentModel* record = adopt(owned.release(), persistentId);
    if (!journal({Change::Kind::Insert, record})) {
        m_identity[static_cast<std::size_t>(record->recordType())].remove(persistentId);
        record->m_owner = nullptr; // freed here, before the sweep could reach it
        delete record;
        return nullptr;
    }
    m_pendingInserts.insert(record);
    if (record->recordType() == RecordType::SpeedSample) {
        if (Trip* trip = linkedTrip(record)) {
            trip->sampleJoined(static_cast<SpeedSample*>(record));
        }
    }
    Q_EMIT recordInserted(record);
    return record;
}

void ModelContext::recordWritten(PersistentModel* record, int column) {
    journal({Change::Kind::Update, record, column});
    Q_EMIT recordChanged(record, column);
}

void ModelContext::deleteRecord(PersistentModel* record) {
    if (record == nullptr || record->m_context != this || record->isDeleted()) {
        return;
    }
    journal({Change::Kind::Delete, record});
    if (record->recordType() == RecordType::Trip) {
        auto* trip = static_cast<Trip*>(record);
        // The file cascades on its own; the objects in memory follow it. A sample still waiting to be saved
        // is deleted by name, so that a replay does not leave it behind without its trip.
        const auto samples = m_identity[static_cast<std::size_t>(RecordType::SpeedSample)];
        for (PersistentModel* sample : samples) {
            if (static_cast<SpeedSample*>(sample)->trip() == trip) {
                if (m_pendingInserts.contains(sample)) {
                    journal({Change::Kind::Delete, sample});
                }
                markDeleted(sample);
            }
        }
        const auto snapshots = m_identity[static_cast<std::size_t>(RecordType::StopSnapshot)];
        for (PersistentModel* snapshot : snapshots) {
            auto* stop = static_cast<StopSnapshot*>(snapshot);
            if (stop->trip() == trip) {
                stop->m_trip = nullptr;
                Q_EMIT stop->tripChanged();
            }
        }
    } else if (record->recordType() == RecordType::SpeedSample) {
        if (Trip* trip = linkedTrip(record)) {
            trip->sampleLeft(static_cast<SpeedSample*>(record));
        }
    }
    markDeleted(record);
}

bool ModelContext::journal(Change change) {
    beginChange();
    // After a failure the transaction may already be gone: nothing more runs in it, the journal keeps all.
    if (m_inTransaction && !m_turnFailed) {
        switch (apply(change)) {
        case Applied::Done:
            break;
        case Applied::Refused:
            return false;
        case Applied::Failed:
            m_turnFailed = true;
            break;
        }
    }
    m_journal.append(std::move(change));
    return true;
}

ModelContext::Applied ModelContext::apply(const Change& change) {
    PersistentModel* record = change.record.get();
    if (record == nullptr) {
        return Applied::Done; // the context is being torn down
    }
    const RecordSchema& schema = schemaOf(record->recordType());
    QSqlQuery* query = nullptr;
    switch (change.kind) {
    case Change::Kind::Insert: {
        QStringList columns{QStringLiteral("pk")};
        QStringList marks{QStringLiteral("?")};
        for (const QString& column : schema.columns) {
            columns << quoted(column);
            marks << QStringLiteral("?");
        }
        query = &prepared(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                              .arg(quoted(schema.table), columns.join(QStringLiteral(", ")),
                                   marks.join(QStringLiteral(", "))));
        query->bindValue(0, record->persistentId());
        for (int column = 0; column < schema.columns.size(); ++column) {
            query->bindValue(column + 1, record->columnValue(column));
        }
        break;
    }
    case Change::Kind::Update:
        query = &prepared(QStringLiteral("UPDATE %1 SET %2 = ? WHERE pk = ?")
                              .arg(quoted(schema.table), quoted(schema.columns[change.column])));
        query->bindValue(0, record->columnValue(change.column));
        query->bindValue(1, record->persistentId());
        break;
    case Change::Kind::Delete:
        query = &prepared(QStringLiteral("DELETE FROM %1 WHERE pk = ?").arg(quoted(schema.table)));
        query->bindValue(0, record->persistentId());
        break;
    }
    if (!query->exec()) {
        reportFailure(describe(query->lastError()));
        return refusedForGood(query->lastError()) ? Applied::Refused : Applied::Failed;
    }
    return Applied::Done;
}

void ModelContext::reportFailure(const QString& error) {
    // Once per stretch of failures: the log must show it, but not on every tick while the disk is full.
    if (!m_saveError) {
        qCCritical(lcStore).noquote() << QStringLiteral("Could not save the trip store: %1").arg(error);
    }
    m_saveError = StoreError{error};
    Q_EMIT saveFailed(error);
}

StoreError ModelContext::reportReadFailure(const QSqlError& error) {
    const QString description = describe(error);
    const bool first = !m_readError;
    m_readError = StoreError{description};
    // Once per stretch of failures: a view that rereads on the signal must not start it again.
    if (first) {
        qCCritical(lcStore).noquote() << QStringLiteral("Could not read the trip store: %1").arg(description);
        Q_EMIT readFailed(description);
    }
    return *m_readError;
}

void ModelContext::readSucceeded() {
    if (std::exchange(m_readError, std::nullopt)) {
        qCInfo(lcStore).noquote() << "The trip store is read again";
        Q_EMIT readRecovered();
    }
}

void ModelContext::beginChange() {
    if (m_inTransaction || m_turnFailed) {
        return;
    }
    // Whatever happens, the turn ends with a commit or a rollback.
    QTimer::singleShot(0, this, &ModelContext::commit);
    QSqlDatabase db = database();
    if (!db.transaction()) {
        m_turnFailed = true;
        reportFailure(describe(db.lastError()));
        return;
    }
    m_inTransaction = true;
    for (auto it = m_journal.begin(); it != m_journal.end();) {
        switch (apply(*it)) {
        case Applied::Done:
            ++it;
            break;
        case Applied::Refused:
            it = m_journal.erase(it);
            break;
        case Applied::Failed:
            m_turnFailed = true;
            return;
        }
    }
}

void ModelContext::catchUp() {
    if (!m_journal.isEmpty()) {
        beginChange();
    }
}

void ModelContext::commit() {
    const bool failed = std::exchange(m_turnFailed, false);
    if (!std::exchange(m_inTransaction, false)) {
        if (failed) {
            m_retry.start();
        }
        return;
    }
    QSqlDatabase db = database();
    for (QSqlQuery& statement : m_statements) {
        statement.finish();
    }
    if (failed || !db.commit()) {
        if (!failed) {
            reportFailure(describe(db.lastError()));
        }
        db.rollback();
        m_retry.start();
        return;
    }
    m_retry.stop();
    m_journal.clear();
    m_pendingInserts.clear();
    scheduleSweep();
    if (std::exchange(m_saveError, std::nullopt)) {
        qCInfo(lcStore).noquote() << "The trip store is saved again";
    }
    Q_EMIT saved();
}

void ModelContext::refuseWrites(bool refuse) {
    QSqlQuery query(database());
    query.exec(refuse ? QStringLiteral("PRAGMA query_only = ON") : QStringLiteral("PRAGMA query_only = OFF"));
}

QString ModelContext::saveWarning() const {
    if (m_saveError) {
        return QCoreApplication::translate("quendle2::ModelContext", "quendle2 cannot save: %1")
            .arg(m_saveError->description);
    }
    return m_readError ? QCoreApplication::translate("quendle2::ModelContext", "quendle2 cannot read: %1")
                             .arg(m_readError->description)
                       : QString();
}

bool ModelContext::save() {
    commit(); // ends the turn: its changes are committed, or a failed turn is rolled back
    if (!m_journal.isEmpty()) {
        beginChange(); // a fresh transaction for what is still waiting
        commit();
    }
    return m_journal.isEmpty() && !m_inTransaction;
}

} // namespace quendle2
