#pragma once

#include "store/PersistentModel.h"

#include <QDateTime>

namespace quendle2 {

/// Registered so that the store has its table; the application never creates one.
class Item final : public PersistentModel {
    Q_OBJECT
public:
    explicit Item(QDateTime timestamp = {}, QObject* parent = nullptr);

    static constexpr RecordType staticType = RecordType::Item;
    RecordType recordType() const override { return staticType; }
    QVariant columnValue(int column) const override;

    QDateTime timestamp() const { return m_timestamp; }
    void setTimestamp(const QDateTime& timestamp);

Q_SIGNALS:
    void timestampChanged();

protected:
    void loadColumn(int column, const QVariant& value) override;

private:
    QDateTime m_timestamp;
};

} // namespace quendle2
