#include "store/LiveQueryModel.h"

#include "store/ModelContext.h"

#include <QSet>
#include <QTimer>

namespace quendle2 {

LiveQueryModel::LiveQueryModel(ModelContext* context, RecordType type, FetchDescriptor descriptor,
                               QObject* parent)
    : QAbstractListModel(parent)
    , m_context(context)
    , m_type(type)
    , m_descriptor(std::move(descriptor)) {
    for (const FetchDescriptor::Condition& condition : m_descriptor.filter) {
        m_queryFields << condition.field;
    }
    for (const FetchDescriptor::SortKey& key : m_descriptor.sort) {
        m_queryFields << key.field;
    }
    connect(context, &ModelContext::recordInserted, this, &LiveQueryModel::onInserted);
    connect(context, &ModelContext::recordChanged, this, &LiveQueryModel::onChanged);
    connect(context, &ModelContext::recordDeleted, this, &LiveQueryModel::onDeleted);
    refresh();
}

LiveQueryModel* LiveQueryModel::tripsNewestFirst(ModelContext* context, QObject* parent) {
    return new LiveQueryModel(context, RecordType::Trip,
                              FetchDescriptor{{}, {{QStringLiteral("startDate"), false}}, std::nullopt},
                              parent);
}

LiveQueryModel* LiveQueryModel::allTrips(ModelContext* context, QObject* parent) {
    return new LiveQueryModel(context, RecordType::Trip, FetchDescriptor{}, parent);
}

LiveQueryModel* LiveQueryModel::allSettings(ModelContext* context, QObject* parent) {
    return new LiveQueryModel(context, RecordType::AppSettings, FetchDescriptor{}, parent);
}

int LiveQueryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant LiveQueryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size() || role != RecordRole) {
        return {};
    }
    return QVariant::fromValue<QObject*>(m_rows.at(index.row()));
}

QHash<int, QByteArray> LiveQueryModel::roleNames() const {
    return {{RecordRole, "record"}};
}

PersistentModel* LiveQueryModel::recordAt(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : nullptr;
}

QList<PersistentModel*> LiveQueryModel::records() const {
    return m_rows;
}

void LiveQueryModel::onInserted(PersistentModel* record) {
    if (record->recordType() == m_type) {
        scheduleRefresh();
    }
}

void LiveQueryModel::onChanged(PersistentModel* record, int column) {
    if (record->recordType() != m_type) {
        return;
    }
    if (m_queryFields.contains(schemaOf(m_type).columns.value(column))) {
        scheduleRefresh(); // may enter, leave or move
        return;
    }
    const qsizetype row = m_rows.indexOf(record);
    if (row >= 0) {
        const QModelIndex at = index(static_cast<int>(row));
        Q_EMIT dataChanged(at, at, {RecordRole});
    }
}

void LiveQueryModel::onDeleted(PersistentModel* record) {
    if (record->recordType() != m_type &&
        !(m_type == RecordType::StopSnapshot && record->recordType() == RecordType::Trip)) {
        return;
    }
    const qsizetype row = m_rows.indexOf(record);
    if (row >= 0) {
        // Gone at once, so that no view ever shows a deleted record.
        beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
        m_rows.removeAt(row);
        endRemoveRows();
        m_held = {m_rows.cbegin(), m_rows.cend()};
    }
    scheduleRefresh();
}

void LiveQueryModel::scheduleRefresh() {
    if (m_refreshScheduled) {
        return;
    }
    m_refreshScheduled = true;
    QTimer::singleShot(0, this, [this] {
        if (m_refreshScheduled) {
            refresh();
        }
    });
}

void LiveQueryModel::refresh() {
    m_refreshScheduled = false;
    QList<PersistentModel*> fresh;
    if (m_context) {
        auto fetched = m_context->fetchRecords(m_type, m_descriptor);
        if (fetched.ok()) {
            fresh = fetched.value();
            m_error.reset();
        } else {
            m_error = fetched.error();
        }
    }

    // Bring the rows to the new list one step at a time, so that views keep selection and scroll position.
    const QSet<PersistentModel*> wanted(fresh.begin(), fresh.end());
    for (qsizetype row = m_rows.size() - 1; row >= 0; --row) {
        if (!wanted.contains(m_rows.at(row))) {
            beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
            m_rows.removeAt(row);
            endRemoveRows();
        }
    }
    for (qsizetype target = 0; target < fresh.size(); ++target) {
        PersistentModel* record = fresh.at(target);
        if (target < m_rows.size() && m_rows.at(target) == record) {
            continue;
        }
        const qsizetype current = m_rows.indexOf(record, target);
        if (current > target) {
            beginMoveRows({}, static_cast<int>(current), static_cast<int>(current), {},
                          static_cast<int>(target));
            m_rows.move(current, target);
            endMoveRows();
        } else {
            beginInsertRows({}, static_cast<int>(target), static_cast<int>(target));
            m_rows.insert(target, record);
            endInsertRows();
        }
    }
    m_held = {m_rows.cbegin(), m_rows.cend()};
    Q_EMIT refreshed();
}

} // namespace quendle2
