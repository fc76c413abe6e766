#pragma once

#include "store/FetchDescriptor.h"
#include "store/PersistentModel.h"
#include "store/RecordRef.h"
#include "store/StoreError.h"

#include <QAbstractListModel>
#include <QPointer>

#include <optional>

namespace quendle2 {

class ModelContext;

/// A fetch that keeps itself current: its rows follow inserts, deletes and field changes of the records it
/// shows, without the view asking. A field change that cannot move a row is a data change at once; inserts
/// and changes of filtered or sorted fields are gathered and applied once per event-loop turn, as row
/// insertions, removals and moves, so that views keep their selection. A deleted record's row goes at once.
class LiveQueryModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { RecordRole = Qt::UserRole + 1 };

    LiveQueryModel(ModelContext* context, RecordType type, FetchDescriptor descriptor,
                   QObject* parent = nullptr);

    /// Every trip, newest start first.
    static LiveQueryModel* tripsNewestFirst(ModelContext* context, QObject* parent = nullptr);
    /// Every trip in store order.
    static LiveQueryModel* allTrips(ModelContext* context, QObject* parent = nullptr);
    /// Every settings record in store order; the first one is the settings.
    static LiveQueryModel* allSettings(ModelContext* context, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    PersistentModel* recordAt(int row) const;
    QList<PersistentModel*> records() const;
    /// Why the last refresh failed, if it did; the rows are then empty.
    std::optional<StoreError> lastError() const { return m_error; }

    /// Re-runs the fetch now instead of at the end of the turn.
    void refresh();
    /// Whether gathered changes wait for this turn's refresh, so that the rows are not yet current.
    bool refreshPending() const { return m_refreshScheduled; }

Q_SIGNALS:
    void refreshed();

private:
    void onInserted(PersistentModel* record);
    void onChanged(PersistentModel* record, int column);
    void onDeleted(PersistentModel* record);
    void scheduleRefresh();

    QPointer<ModelContext> m_context;
    RecordType m_type;
    FetchDescriptor m_descriptor;
    QStringList m_queryFields; ///< fields whose change can move a record in or out, or reorder it
    QList<PersistentModel*> m_rows;
    /// Keeps the rows' records in memory while they are rows.
    QList<RecordRef<PersistentModel>> m_held;
    std::optional<StoreError> m_error;
    bool m_refreshScheduled = false;
};

} // namespace quendle2
