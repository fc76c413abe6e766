#include "store/PersistentModel.h"

#include "store/ModelContext.h"

namespace quendle2 {

PersistentModel::PersistentModel(QObject* parent)
    : QObject(parent) {}

PersistentModel::~PersistentModel() = default;

void PersistentModel::loadTripLink(Trip*) {}

void PersistentModel::release() {
    if (--m_holds == 0 && m_owner != nullptr) {
        m_owner->scheduleSweep();
    }
}

void PersistentModel::didWrite(int column) {
    if (m_context != nullptr && !m_deleted) {
        m_context->recordWritten(this, column);
    }
}

} // namespace quendle2
