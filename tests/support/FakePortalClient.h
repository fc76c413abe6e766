#pragma once

#include "portal/PortalClient.h"

#include <deque>
#include <utility>

namespace quendle2::test {

/// A portal that answers from a script. A queued outcome completes its fetch at once; with nothing queued
/// the fetch stays in flight until the test completes it, so a test can choose the order in which the two
/// documents of a tick arrive, or let them arrive after the service is gone.
class FakePortalClient final : public PortalClient {
public:
    using StatusOutcome = PortalFetch<ICEStatus>::Outcome;
    using TripOutcome = PortalFetch<ICETripInfo>::Outcome;

    void queueStatus(StatusOutcome outcome) { m_statusQueue.push_back(std::move(outcome)); }
    void queueTrip(TripOutcome outcome) { m_tripQueue.push_back(std::move(outcome)); }

    PortalFetch<ICEStatus> fetchStatus() override { return serve(m_statusQueue, m_statusInFlight); }

    PortalFetch<ICETripInfo> fetchTrip() override {
        ++m_tripCalls;
        return serve(m_tripQueue, m_tripInFlight);
    }

    /// The latest status fetch that found nothing queued.
    PortalFetch<ICEStatus> statusInFlight() const { return m_statusInFlight; }
    /// The latest trip fetch that found nothing queued.
    PortalFetch<ICETripInfo> tripInFlight() const { return m_tripInFlight; }

    int tripCalls() const { return m_tripCalls; }

private:
    template <typename T>
    static PortalFetch<T> serve(std::deque<typename PortalFetch<T>::Outcome>& queue,
                                PortalFetch<T>& inFlight) {
        PortalFetch<T> fetch;
        if (queue.empty()) {
            inFlight = fetch;
        } else {
            fetch.complete(std::move(queue.front()));
            queue.pop_front();
        }
        return fetch;
    }

    std::deque<StatusOutcome> m_statusQueue;
    std::deque<TripOutcome> m_tripQueue;
    PortalFetch<ICEStatus> m_statusInFlight;
    PortalFetch<ICETripInfo> m_tripInFlight;
    int m_tripCalls = 0;
};

} // namespace quendle2::test
