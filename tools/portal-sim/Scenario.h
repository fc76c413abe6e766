#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace quendle2::sim {

/// A journey for the simulated portal, in scenario seconds from the scheduled departure at the first stop.
///
/// The train actually runs each stop's scheduled time plus that stop's delay. Between stops the delay it
/// reports for the stops ahead drifts from the last departure's delay towards the next arrival's, whole
/// minutes at a time, so the delay texts change as the journey plays; a stop with `delayAnnouncedAt` takes
/// its delay at that second instead, all at once.
///
/// The scenario document (scenarios/journey.json is the built-in one), every time in scenario seconds:
/// - `description`, `trainType` (ICE), `vzn`, `tzn`, `wagonClass` (SECOND);
/// - `trainChange`: `{at, tzn}`, the train's new number from then on;
/// - `outages`: `[{from, to}]`, while the portal drops every connection;
/// - `wifi`: `[{at, internet}]`, the `internet` value from then on;
/// - `delayReasons`: `[{at, code, text}]`, known from then on, given on stops five or more minutes late;
/// - `stops`: `[{evaNr, name, latitude, longitude, track, arrival, departure, arrivalDelay, departureDelay
///   (minutes), lineSpeed (km/h to the next stop), delayAnnouncedAt, trackChange: {at, track}}]`, the
///   platform actually used differing from `track` from `trackChange.at` on.
class Scenario {
public:
    struct TrackChange {
        double at;
        QString track;
    };

    struct Stop {
        QString evaNr;
        QString name;
        double latitude = 0;
        double longitude = 0;
        QString track;                          ///< scheduled
        std::optional<TrackChange> trackChange; ///< another platform, announced on the way
        std::optional<double> arrival;          ///< scheduled, absent at the first stop
        std::optional<double> departure;        ///< scheduled, absent at the last stop
        int arrivalDelay = 0;                   ///< minutes
        int departureDelay = 0;                 ///< minutes
        std::optional<double> delayAnnouncedAt; ///< when the arrival delay is known in full, else it drifts
        double lineSpeed = 0;                   ///< km/h on the way to the next stop

        std::optional<double> actualArrival() const;
        std::optional<double> actualDeparture() const;
        /// The platform the portal names at `t`.
        QString trackAt(double t) const;
    };

    struct WifiChange {
        double at;
        QString internet;
    };

    struct DelayReason {
        double at;
        QString code;
        QString text; ///< in German, as the portal gives it
    };

    /// The portal's Wi-Fi forecast at one moment, in its own states (OFFLINE reads NO_INTERNET).
    struct Connectivity {
        QString currentState;
        std::optional<QString> nextState; ///< the next state that differs from the current one
        std::optional<double> nextAt;     ///< scenario second at which it begins
    };

    struct Outage {
        double from;
        double to;
    };

    /// How a stop stands at one moment.
    struct StopState {
        std::optional<double> expectedArrival;   ///< actual once reached, else the forecast
        std::optional<double> expectedDeparture; ///< actual once left, else the forecast
        int arrivalDelay = 0;                    ///< minutes, as shown at that moment
        int departureDelay = 0;
        bool passed = false;
        QString positionStatus; ///< "passed", "arrived" or "future"
    };

    /// Reads a scenario document; on failure `error` says what is wrong.
    static std::optional<Scenario> fromJson(const QByteArray& json, QString* error);
    /// The journey that ships with the simulator.
    static Scenario builtInJourney();

    const std::vector<Stop>& stops() const { return m_stops; }
    QString trainType() const { return m_trainType; }
    QString vzn() const { return m_vzn; }
    QString wagonClass() const { return m_wagonClass; }
    QString description() const { return m_description; }

    /// Scenario second at which the train reaches its last stop.
    double arrivalAtTerminus() const;

    QString tznAt(double t) const;
    QString internetAt(double t) const;
    Connectivity connectivityAt(double t) const;
    bool inOutage(double t) const;

    /// km/h: 0 while standing, ramping up and down on the line.
    double speedAt(double t) const;
    /// Whole minutes of delay the train reports for the stops ahead.
    int currentDelay(double t) const;
    StopState stopStateAt(std::size_t index, double t) const;

    /// Metres along the route, from the first stop.
    double distanceFromStart(std::size_t index) const;
    double positionAt(double t) const;
    /// Index of the stop the train is at or heading for.
    std::size_t nextStopIndex(double t) const;
    /// Interpolated coordinates at `t`.
    std::pair<double, double> coordinatesAt(double t) const;

    /// Why the stop is late at `t`: nothing below five minutes, else the reasons known by `t` or, once the
    /// train has left the stop, by then.
    std::vector<DelayReason> delayReasonsAt(std::size_t index, double t) const;

private:
    /// Index i such that the train is on the line from stop i to stop i+1 at `t`, with the fraction done.
    std::optional<std::pair<std::size_t, double>> segmentAt(double t) const;

    QString m_description;
    QString m_trainType;
    QString m_vzn;
    QString m_tzn;
    QString m_wagonClass;
    std::optional<double> m_changeAt;
    QString m_changedTzn;
    std::vector<Outage> m_outages;
    std::vector<WifiChange> m_wifi;
    std::vector<Stop> m_stops;
    std::vector<double> m_distances;
    std::vector<DelayReason> m_delayReasons;
};

} // namespace quendle2::sim
