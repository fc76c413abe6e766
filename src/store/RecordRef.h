#pragma once

#include "store/PersistentModel.h"

#include <QPointer>

#include <utility>

namespace quendle2 {

/// A strong reference to a record: while one exists, the context keeps the record in memory and hands out
/// this same object for its row. Fetches return plain pointers that stay valid until the event-loop turn
/// is over; whoever keeps a record longer holds it through a RecordRef. It never dangles: if the context
/// itself goes away first, it reads as null.
template <typename T>
class RecordRef {
public:
    RecordRef() = default;
    RecordRef(T* record) // NOLINT(google-explicit-constructor): stands in for a plain pointer
        : m_record(record) {
        hold();
    }
    RecordRef(const RecordRef& other)
        : m_record(other.m_record) {
        hold();
    }
    RecordRef(RecordRef&& other) noexcept
        : m_record(std::exchange(other.m_record, nullptr)) {}
    RecordRef& operator=(RecordRef other) noexcept {
        std::swap(m_record, other.m_record);
        return *this;
    }
    ~RecordRef() {
        if (m_record) {
            static_cast<PersistentModel*>(m_record.data())->release();
        }
    }

    T* get() const { return m_record.data(); }
    operator T*() const { return get(); } // NOLINT(google-explicit-constructor)
    T* operator->() const { return get(); }

private:
    void hold() {
        if (m_record) {
            static_cast<PersistentModel*>(m_record.data())->retain();
        }
    }

    QPointer<T> m_record;
};

} // namespace quendle2
