#include "store/Item.h"

#include "store/StoreValues.h"

namespace quendle2 {

Item::Item(QDateTime timestamp, QObject* parent)
    : PersistentModel(parent)
    , m_timestamp(std::move(timestamp)) {}

QVariant Item::columnValue(int) const {
    return StoreValues::fromInstant(m_timestamp);
}

void Item::loadColumn(int, const QVariant& value) {
    m_timestamp = StoreValues::toInstant(value);
}

void Item::setTimestamp(const QDateTime& timestamp) {
    write(m_timestamp, timestamp, &Item::timestampChanged, 0);
}

} // namespace quendle2
