#pragma once

#include "service/TrainService.h"

namespace quendle2 {

/// The service's internal steps and bookkeeping, for tests and benchmarks that drive them one at a time.
class TrainServiceProbe {
public:
    static void tick(TrainService& service) { service.tick(); }
    static void apply(TrainService& service, const ICEStatus& status) { service.apply(status); }
    static void applyTripInfo(TrainService& service, const ICETripInfo& info) { service.applyTripInfo(info); }
    static void reconcileActiveTrips(TrainService& service) { service.reconcileActiveTrips(); }
    static QTimer* timer(const TrainService& service) { return service.m_timer; }
    static std::optional<bool> portalConnectionFlag(const TrainService& service) {
        return service.m_portalConnectionFlag;
    }
    static std::optional<QString> changeCandidateIdent(const TrainService& service) {
        return service.m_changeCandidateIdent;
    }
};

} // namespace quendle2
