#pragma once

#include "store/RecordType.h"

#include <QObject>
#include <QVariant>

namespace quendle2 {

class ModelContext;
class Trip;

/// A stored record: an object with identity. Every holder of a record sees the same object, every field
/// assignment emits the field's change signal (also when the value is unchanged) once the store has the new
/// value, and, once the record is inserted, every assignment reaches the store without anybody asking for a
/// save. The context owns every record it hands out and frees it once no RecordRef holds it and none of its
/// changes is waiting to be saved.
class PersistentModel : public QObject {
    Q_OBJECT
public:
    ~PersistentModel() override;

    virtual RecordType recordType() const = 0;

    /// The row's identifier in the store: 0 until inserted. Two references are the same record exactly
    /// when they are the same object.
    qint64 persistentId() const { return m_persistentId; }
    ModelContext* modelContext() const { return m_context; }
    bool isInserted() const { return m_context != nullptr; }
    /// True once the record was deleted from the store; it is then detached for good.
    bool isDeleted() const { return m_deleted; }

    /// The SQL value of column `column` of `schemaOf(recordType())`.
    virtual QVariant columnValue(int column) const = 0;

Q_SIGNALS:
    /// The record was deleted from the store.
    void deleted();

protected:
    explicit PersistentModel(QObject* parent = nullptr);

    /// Assigns a field, emits its change signal (also for an unchanged value) and hands the new value to
    /// the store.
    template <typename Self, typename T, typename V>
    void write(T& field, V&& value, void (Self::*changed)(), int column) {
        field = std::forward<V>(value);
        // The row first: a slot that fetches by this field must find the new value.
        didWrite(column);
        (static_cast<Self*>(this)->*changed)();
    }

    /// Hands the current value of `column` to the store.
    void didWrite(int column);
    /// Sets a column from a stored row while loading; emits nothing.
    virtual void loadColumn(int column, const QVariant& value) = 0;
    /// Sets the trip link column from a stored row while loading; emits nothing.
    virtual void loadTripLink(Trip* trip);

private:
    friend class ModelContext;
    template <typename>
    friend class RecordRef;

    void retain() { ++m_holds; }
    void release();

    qint64 m_persistentId = 0;
    ModelContext* m_context = nullptr;
    /// The context that owns this record, also after it was deleted from the store.
    ModelContext* m_owner = nullptr;
    int m_holds = 0;
    bool m_deleted = false;
};

} // namespace quendle2
