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
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &ModelContext::save);
    }
    // Retries a failed save even when nothing else changes (a disconnected train records nothing).
    m_retry.setSingleShot(true);
    m_retry.setInterval(10'000);
    m_retry.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_retry, &QTimer::timeout, this, &ModelContext::save);
}

ModelContext::~ModelContext() {
    save();
    // The records die with this object; none may call back into it on the way.
    m_journal.clear();
    for (auto& map : m_identity) {
        for (PersistentModel* record : std::as_const(map)) {
            record->m_owner = nullptr;
        }
    }
    for (PersistentModel* record : std::as_const(m_deletedRecords)) {
        record->m_owner = nullptr;
    }
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

qsizetype ModelContext::recordsInMemory() const {
    qsizetype count = m_deletedRecords.size();
    for (const auto& map : m_identity) {
        count += map.size();
    }
    return count;
}

PersistentModel* ModelContext::adopt(PersistentModel* record, qint64 persistentId) {
    record->m_persistentId = persistentId;
    record->m_context = this;
    record->m_owner = this;
    record->setParent(this);
    m_identity[slot(record->recordType())].insert(persistentId, record);
    // Handed out as a plain pointer: kept at least until the turn is over.
    scheduleSweep();
    return record;
}

void ModelContext::markDeleted(PersistentModel* record) {
    m_identity[slot(record->recordType())].remove(record->persistentId());
    m_deletedRecords.append(record);
    record->m_deleted = true;
    record->m_context = nullptr;
    scheduleSweep();
    Q_EMIT record->deleted();
    Q_EMIT recordDeleted(record);
}

void ModelContext::scheduleSweep() {
    if (m_sweepScheduled) {
        return;
    }
    m_sweepScheduled = true;
    QTimer::singleShot(0, this, &ModelContext::sweep);
}

void ModelContext::sweep() {
    m_sweepScheduled = false;
    const auto unheld = [](const PersistentModel* record) { return record->m_holds == 0; };
    m_deletedRecords.removeIf([&](PersistentModel* record) {
        if (!unheld(record)) {
            return false;
        }
        delete record;
        return true;
    });
    // Samples and snapshots hold their trip, so they go first and may free it in the same sweep.
    for (RecordType type : {RecordType::SpeedSample, RecordType::StopSnapshot, RecordType::Trip,
                            RecordType::AppSettings, RecordType::Item}) {
        auto& map = m_identity[slot(type)];
        for (auto it = map.begin(); it != map.end();) {
            if (unheld(it.value())) {
                delete it.value();
                it = map.erase(it);
            } else {
                ++it;
            }
        }
    }
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

    catchUp();
    QSqlQuery& query = prepared(sql);
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    if (!query.exec()) {
        reportReadFailure(query.lastError()); // reported; handed back in its own words
        return Outcome::failure(
            {QStringLiteral("Could not read the trip store: %1").arg(query.lastError().text())});
    }
    readSucceeded();
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
    PersistentModel* record = adopt(blank(type), persistentId);
    const RecordSchema& schema = schemaOf(type);
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
    if (!query.exec()) {
        reportReadFailure(query.lastError()); // reported; the link reads as empty
        return nullptr;
    }
    return query.next() ? materialize(type, query) : nullptr;
}

Result<QList<SpeedSample*>, StoreError> ModelContext::samplesOf(const Trip* trip) {
    using Outcome = Result<QList<SpeedSample*>, StoreError>;
    QList<SpeedSample*> samples;
    if (trip->persistentId() == 0) {
        return Outcome::success(samples);
    }
    catchUp();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(selectColumns(RecordType::SpeedSample) + QStringLiteral(" WHERE trip = ? ORDER BY pk"));
    query.bindValue(0, trip->persistentId());
    if (!query.exec()) {
        return Outcome::failure(reportReadFailure(query.lastError()));
    }
    readSucceeded();
    while (query.next()) {
        samples.append(static_cast<SpeedSample*>(materialize(RecordType::SpeedSample, query)));
    }
    return Outcome::success(samples);
}

Result<SpeedSample*, StoreError> ModelContext::latestSampleOf(const Trip* trip) {
    using Outcome = Result<SpeedSample*, StoreError>;
    catchUp();
    QSqlQuery& query = prepared(selectColumns(RecordType::SpeedSample) +
                                QStringLiteral(" WHERE trip = ? ORDER BY timestamp DESC, pk DESC LIMIT 1"));
    query.bindValue(0, trip->persistentId());
    if (!query.exec()) {
        return Outcome::failure(reportReadFailure(query.lastError()));
    }
    readSucceeded();
    SpeedSample* latest = nullptr;
    if (query.next()) {
        latest = static_cast<SpeedSample*>(materialize(RecordType::SpeedSample, query));
    }
    query.finish();
    return Outcome::success(latest);
}

Result<ModelContext::SampleAggregate, StoreError> ModelContext::sampleAggregateOf(const Trip* trip) {
    using Outcome = Result<SampleAggregate, StoreError>;
    catchUp();
    // Speeds count when positive and finite; the mean is a sum of fractions, so that huge speeds cannot
    // overflow it to infinity.
    const QString counted = QStringLiteral("speedKmh > 0 AND speedKmh <= 1.7976931348623157e308");
    QSqlQuery& query =
        prepared(QStringLiteral("SELECT COUNT(*), COUNT(CASE WHEN %1 THEN 1 END), MAX(CASE WHEN %1 "
                                "THEN speedKmh END) FROM \"SpeedSample\" WHERE trip = ?")
                     .arg(counted));
    query.bindValue(0, trip->persistentId());
    if (!query.exec()) {
        return Outcome::failure(reportReadFailure(query.lastError()));
    }
    readSucceeded();
    SampleAggregate aggregate;
    if (query.next()) {
        aggregate.count = query.value(0).toLongLong();
        aggregate.positiveCount = query.value(1).toLongLong();
        aggregate.positiveMax = query.value(2).toDouble();
    }
    query.finish();
    if (aggregate.positiveCount > 0) {
        QSqlQuery& mean =
            prepared(QStringLiteral("SELECT TOTAL(speedKmh / ?) FROM \"SpeedSample\" WHERE trip = ? AND %1")
                         .arg(counted));
        mean.bindValue(0, static_cast<double>(aggregate.positiveCount));
        mean.bindValue(1, trip->persistentId());
        if (!mean.exec()) {
            return Outcome::failure(reportReadFailure(mean.lastError()));
        }
        if (mean.next()) {
            aggregate.positiveMean = mean.value(0).toDouble();
        }
        mean.finish();
    }
    return Outcome::success(aggregate);
}

} // namespace quendle2
