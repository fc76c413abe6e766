#include "store/ModelContext.h"

#include "store/AppSettings.h"
#include "store/Item.h"
#include "store/SpeedSample.h"
#include "store/StopSnapshot.h"
#include "store/StoreValues.h"
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

QString selectColumns(RecordType type) {
    const RecordSchema& schema = schemaOf(type);
    QStringList columns{QStringLiteral("pk")};
    for (const QString& column : schema.columns) {
        columns << quoted(column);
    }
    return QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), quoted(schema.table));
}

std::size_t slot(RecordType type) {
    return static_cast<std::size_t>(type);
}

} // namespace

PersistentModel* ModelContext::blank(RecordType type) {
    switch (type) {
    case RecordType::Item:
        return new Item;
    case RecordType::AppSettings:
        return new AppSettings;
    case RecordType::Trip:
        return new Trip;
    case RecordType::SpeedSample:
        return new SpeedSample;
    case RecordType::StopSnapshot:
        return new StopSnapshot;
    }
    return nullptr;
}

ModelContext::ModelContext(const QString& connectionName, QObject* parent)
    : QObject(parent)
    , m_connectionName(connectionName) {
    if (QCoreApplication::instance() != nullptr) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &ModelContext::commit);
    }
}

ModelContext::~ModelContext() {
    commit();
    m_statements.clear();
}

QSqlDatabase ModelContext::database() const {
    return QSqlDatabase::database(m_connectionName, false);
}

QSqlQuery& ModelContext::prepared(const QString& sql) {
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        QSqlQuery query(database());
        query.setForwardOnly(true);
        query.prepare(sql);
        it = m_statements.insert(sql, query);
    }
    return *it;
}

bool ModelContext::execute(QSqlQuery& query) {
    const bool ok = query.exec();
    if (!ok) {
        m_turnFailed = true;
        reportFailure(QStringLiteral("write"), query.lastError().text());
    }
    return ok;
}

void ModelContext::reportFailure(const QString& what, const QString& error) {
    m_saveError = StoreError{QStringLiteral("Could not %1 the trip store: %2").arg(what, error)};
    Q_EMIT saveFailed(m_saveError->description);
}

void ModelContext::beginChange() {
    if (m_inTransaction) {
        return;
    }
    QSqlDatabase db = database();
    if (!db.transaction()) {
        reportFailure(QStringLiteral("write to"), db.lastError().text());
        return;
    }
    m_inTransaction = true;
    // Everything a turn changes goes into one transaction, committed once the turn is over.
    QTimer::singleShot(0, this, &ModelContext::commit);
}

void ModelContext::commit() {
    if (!m_inTransaction) {
        return;
    }
    m_inTransaction = false;
    QSqlDatabase db = database();
    for (QSqlQuery& statement : m_statements) {
        statement.finish();
    }
    if (!db.commit()) {
        m_turnFailed = false;
        const QString error = db.lastError().text();
        db.rollback();
        reportFailure(QStringLiteral("save"), error);
        return;
    }
    // A turn in which a write failed is not a clean save: its error stays until one is.
    if (!std::exchange(m_turnFailed, false)) {
        m_saveError.reset();
        Q_EMIT saved();
    }
}

void ModelContext::insert(PersistentModel* record) {
    if (record == nullptr || record->isInserted() || record->isDeleted()) {
        return;
    }
    const RecordType type = record->recordType();
    const RecordSchema& schema = schemaOf(type);
    if (schema.tripLinkColumn >= 0) {
        Trip* trip = type == RecordType::SpeedSample ? static_cast<SpeedSample*>(record)->trip()
                                                     : static_cast<StopSnapshot*>(record)->trip();
        if (trip != nullptr && !trip->isInserted()) {
            insert(trip);
        }
    }
    beginChange();
    QStringList columns;
    QStringList marks;
    for (const QString& column : schema.columns) {
        columns << quoted(column);
        marks << QStringLiteral("?");
    }
    QSqlQuery& query = prepared(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoted(schema.table), columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (int column = 0; column < schema.columns.size(); ++column) {
        query.bindValue(column, record->columnValue(column));
    }
    if (!execute(query)) {
        return;
    }
    record->m_persistentId = query.lastInsertId().toLongLong();
    record->m_context = this;
    record->setParent(this);
    m_identity[slot(type)].insert(record->m_persistentId, record);
    if (type == RecordType::SpeedSample) {
        if (Trip* trip = static_cast<SpeedSample*>(record)->trip()) {
            trip->sampleJoined(static_cast<SpeedSample*>(record));
        }
    }
    Q_EMIT recordInserted(record);
}

void ModelContext::recordWritten(PersistentModel* record, int column) {
    const RecordSchema& schema = schemaOf(record->recordType());
    beginChange();
    QSqlQuery& query = prepared(QStringLiteral("UPDATE %1 SET %2 = ? WHERE pk = ?")
                                    .arg(quoted(schema.table), quoted(schema.columns[column])));
    query.bindValue(0, record->columnValue(column));
    query.bindValue(1, record->persistentId());
    execute(query);
    Q_EMIT recordChanged(record, column);
}

void ModelContext::deleteRecord(PersistentModel* record) {
    if (record == nullptr || record->m_context != this || record->isDeleted()) {
        return;
    }
    const RecordType type = record->recordType();
    beginChange();
    QSqlQuery& query =
        prepared(QStringLiteral("DELETE FROM %1 WHERE pk = ?").arg(quoted(schemaOf(type).table)));
    query.bindValue(0, record->persistentId());
    if (!execute(query)) {
        return;
    }
    if (type == RecordType::Trip) {
        auto* trip = static_cast<Trip*>(record);
        // The file cascades on its own; the objects in memory follow it.
        const auto samples = m_identity[slot(RecordType::SpeedSample)];
        for (PersistentModel* sample : samples) {
            if (static_cast<SpeedSample*>(sample)->trip() == trip) {
                markDeleted(sample);
            }
        }
        for (PersistentModel* snapshot : std::as_const(m_identity[slot(RecordType::StopSnapshot)])) {
            auto* stop = static_cast<StopSnapshot*>(snapshot);
            if (stop->trip() == trip) {
                stop->m_trip = nullptr;
                Q_EMIT stop->tripChanged();
            }
        }
    } else if (type == RecordType::SpeedSample) {
        if (Trip* trip = static_cast<SpeedSample*>(record)->trip()) {
            trip->sampleLeft(static_cast<SpeedSample*>(record));
        }
    }
    markDeleted(record);
}

void ModelContext::markDeleted(PersistentModel* record) {
    m_identity[slot(record->recordType())].remove(record->persistentId());
    record->m_deleted = true;
    record->m_context = nullptr;
    Q_EMIT record->deleted();
    Q_EMIT recordDeleted(record);
}

Result<ModelContext::Records, StoreError> ModelContext::fetchRecords(RecordType type,
                                                                     const FetchDescriptor& descriptor) {
    using Outcome = Result<Records, StoreError>;
    const RecordSchema& schema = schemaOf(type);
    QString sql = selectColumns(type);
    QStringList conditions;
    QVariantList values;
    for (const FetchDescriptor::Condition& condition : descriptor.filter) {
        if (!schema.columns.contains(condition.field)) {
            return Outcome::failure(
                {QStringLiteral("%1 has no field %2").arg(schema.table, condition.field)});
        }
        if (condition.kind == FetchDescriptor::Condition::Kind::TextEquals) {
            conditions << quoted(condition.field) + QStringLiteral(" = ?");
            values << condition.text;
        } else if (schema.tripLinkColumn < 0 || condition.field != schema.columns[schema.tripLinkColumn]) {
            return Outcome::failure({QStringLiteral("%1 has no trip link").arg(schema.table)});
        } else if (condition.tripId) {
            conditions << quoted(condition.field) +
                              QStringLiteral(" = (SELECT pk FROM \"Trip\" WHERE id = ?)");
            values << StoreValues::fromUuid(*condition.tripId);
        } else {
            conditions << quoted(condition.field) + QStringLiteral(" IS NULL");
        }
    }
    if (!conditions.isEmpty()) {
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    }
    QStringList order;
    for (const FetchDescriptor::SortKey& key : descriptor.sort) {
        if (!schema.columns.contains(key.field)) {
            return Outcome::failure({QStringLiteral("%1 has no field %2").arg(schema.table, key.field)});
        }
        order << quoted(key.field) + (key.ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
    }
    order << QStringLiteral("pk ASC"); // store order breaks ties
    sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    if (descriptor.limit) {
        sql += QStringLiteral(" LIMIT %1").arg(*descriptor.limit);
    }

    QSqlQuery& query = prepared(sql);
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    if (!query.exec()) {
        return Outcome::failure(
            {QStringLiteral("Could not read the trip store: %1").arg(query.lastError().text())});
    }
    Records records;
    while (query.next()) {
        records.append(materialize(type, query));
    }
    query.finish();
    return Outcome::success(records);
}

PersistentModel* ModelContext::materialize(RecordType type, const QSqlQuery& row) {
    const qint64 persistentId = row.value(0).toLongLong();
    if (PersistentModel* known = m_identity[slot(type)].value(persistentId)) {
        return known; // its fields in memory are the newest: every write went through it
    }
    PersistentModel* record = blank(type);
    const RecordSchema& schema = schemaOf(type);
    record->m_persistentId = persistentId;
    record->m_context = this;
    record->setParent(this);
    m_identity[slot(type)].insert(persistentId, record);
    for (int column = 0; column < schema.columns.size(); ++column) {
        if (column == schema.tripLinkColumn) {
            const QVariant link = row.value(column + 1);
            record->loadTripLink(
                link.isNull() ? nullptr : static_cast<Trip*>(recordFor(RecordType::Trip, link.toLongLong())));
        } else {
            record->loadColumn(column, row.value(column + 1));
        }
    }
    return record;
}

PersistentModel* ModelContext::recordFor(RecordType type, qint64 persistentId) {
    if (PersistentModel* known = m_identity[slot(type)].value(persistentId)) {
        return known;
    }
    // A separate statement: the caller may still be stepping through its own rows.
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(selectColumns(type) + QStringLiteral(" WHERE pk = ?"));
    query.bindValue(0, persistentId);
    if (!query.exec() || !query.next()) {
        return nullptr;
    }
    return materialize(type, query);
}

QList<SpeedSample*> ModelContext::samplesOf(const Trip* trip) {
    QList<SpeedSample*> samples;
    if (trip->persistentId() == 0) {
        return samples;
    }
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(selectColumns(RecordType::SpeedSample) + QStringLiteral(" WHERE trip = ? ORDER BY pk"));
    query.bindValue(0, trip->persistentId());
    if (query.exec()) {
        while (query.next()) {
            samples.append(static_cast<SpeedSample*>(materialize(RecordType::SpeedSample, query)));
        }
    }
    return samples;
}

SpeedSample* ModelContext::latestSampleOf(const Trip* trip) {
    QSqlQuery& query = prepared(selectColumns(RecordType::SpeedSample) +
                                QStringLiteral(" WHERE trip = ? ORDER BY timestamp DESC, pk DESC LIMIT 1"));
    query.bindValue(0, trip->persistentId());
    SpeedSample* latest = nullptr;
    if (query.exec() && query.next()) {
        latest = static_cast<SpeedSample*>(materialize(RecordType::SpeedSample, query));
    }
    query.finish();
    return latest;
}

ModelContext::SampleAggregate ModelContext::sampleAggregateOf(const Trip* trip) {
    QSqlQuery& query = prepared(
        QStringLiteral("SELECT COUNT(*), COUNT(CASE WHEN speedKmh > 0 THEN 1 END), TOTAL(CASE WHEN speedKmh "
                       "> 0 THEN speedKmh END), "
                       "MAX(CASE WHEN speedKmh > 0 THEN speedKmh END) FROM \"SpeedSample\" WHERE trip = ?"));
    query.bindValue(0, trip->persistentId());
    SampleAggregate aggregate;
    if (query.exec() && query.next()) {
        aggregate.count = query.value(0).toLongLong();
        aggregate.positiveCount = query.value(1).toLongLong();
        aggregate.positiveSum = query.value(2).toDouble();
        aggregate.positiveMax = query.value(3).toDouble();
    }
    query.finish();
    return aggregate;
}

} // namespace quendle2
