#include "service/AppStore.h"

#include "service/TrainService.h"

namespace quendle2 {

AppStore::AppStore(TrainService* service, QObject* parent)
    : QObject(parent)
    , m_service(service) {
    if (service != nullptr) {
        service->setParent(this);
    }
}

void AppStore::setService(TrainService* service) {
    TrainService* previous = m_service;
    if (service != nullptr) {
        service->setParent(this);
    }
    m_service = service;
    Q_EMIT serviceChanged();
    if (previous != nullptr && previous != service) {
        previous->deleteLater();
    }
}

} // namespace quendle2
