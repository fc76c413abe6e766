#pragma once

#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"
#include "portal/PortalFetch.h"

#include <QObject>

namespace quendle2 {

/// What the polling loop needs of the portal: the two documents, each fetched on request. ICEPortalClient
/// is the real one; tests put a scripted one in its place.
class PortalClient : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual PortalFetch<ICEStatus> fetchStatus() = 0;
    virtual PortalFetch<ICETripInfo> fetchTrip() = 0;
};

} // namespace quendle2
