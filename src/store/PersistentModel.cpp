#include "store/PersistentModel.h"

#include "store/ModelContext.h"

namespace quendle2 {

PersistentModel::PersistentModel(QObject* parent)
    : QObject(parent) {}

PersistentModel::~PersistentModel() = default;

void PersistentModel::loadTripLink(Trip*) {}

void PersistentModel::didWrite(int column) {
    if (m_context != nullptr && !m_deleted) {
        m_context->recordWritten(this, column);
    }
}

} // namespace quendle2
