#pragma once

#include "platform/Result.h"
#include "portal/PortalError.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace quendle2 {

/// One fetch in flight: completes exactly once, with the decoded document or an error.
///
/// Both fetches of a polling tick are started together and consumed in a fixed order:
///
///     auto status = client.fetchStatus();
///     auto trip = client.fetchTrip();
///     status.then(this, [=](const auto& s) { ...; trip.then(this, [=](const auto& t) { ... }); });
///
/// A handler attached after completion runs at once; a handler whose context object is gone never runs.
template <typename T>
class PortalFetch {
public:
    using Outcome = Result<T, PortalError>;
    using Handler = std::function<void(const Outcome&)>;

    PortalFetch()
        : m_state(std::make_shared<State>()) {}

    bool isFinished() const { return m_state->outcome.has_value(); }

    /// The outcome, once finished.
    const std::optional<Outcome>& outcome() const { return m_state->outcome; }

    /// Sets the one handler of this fetch. With a null context the handler always runs.
    void then(QObject* context, Handler handler) const {
        m_state->guarded = context != nullptr;
        m_state->context = context;
        m_state->handler = std::move(handler);
        if (m_state->outcome) {
            deliver();
        }
    }

    /// Called by the producer; a second completion is ignored.
    void complete(Outcome outcome) const {
        if (m_state->outcome) {
            return;
        }
        m_state->outcome.emplace(std::move(outcome));
        if (m_state->handler) {
            deliver();
        }
    }

private:
    struct State {
        std::optional<Outcome> outcome;
        QPointer<QObject> context;
        bool guarded = false;
        Handler handler;
    };

    void deliver() const {
        Handler handler = std::exchange(m_state->handler, nullptr);
        if (!m_state->guarded || m_state->context) {
            handler(*m_state->outcome);
        }
    }

    std::shared_ptr<State> m_state;
};

} // namespace quendle2
