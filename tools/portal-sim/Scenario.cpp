#include "Scenario.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace quendle2::sim {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double rampSeconds = 240.0;

double haversineMetres(double lat1, double lon1, double lat2, double lon2) {
    constexpr double earthRadius = 6'371'000.0;
    constexpr double toRadians = 3.14159265358979323846 / 180.0;
    const double dLat = (lat2 - lat1) * toRadians;
    const double dLon = (lon2 - lon1) * toRadians;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) + std::cos(lat1 * toRadians) *
                                                                   std::cos(lat2 * toRadians) *
                                                                   std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * earthRadius * std::asin(std::sqrt(a));
}

std::optional<double> optionalNumber(const QJsonObject& o, QLatin1StringView key) {
    const QJsonValue v = o.value(key);
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

} // namespace

std::optional<double> Scenario::Stop::actualArrival() const {
    return arrival ? std::optional<double>(*arrival + arrivalDelay * 60.0) : std::nullopt;
}

std::optional<double> Scenario::Stop::actualDeparture() const {
    return departure ? std::optional<double>(*departure + departureDelay * 60.0) : std::nullopt;
}

QString Scenario::Stop::trackAt(double t) const {
    return trackChange && t >= trackChange->at ? trackChange->track : track;
}

std::optional<Scenario> Scenario::fromJson(const QByteArray& json, QString* error) {
    auto failWith = [error](const QString& text) -> std::optional<Scenario> {
        if (error != nullptr) {
            *error = text;
        }
        return std::nullopt;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        return failWith(u"the scenario is not a JSON object (%1)"_s.arg(parseError.errorString()));
    }
    const QJsonObject root = document.object();

    Scenario s;
    s.m_description = root.value("description"_L1).toString();
    s.m_trainType = root.value("trainType"_L1).toString(u"ICE"_s);
    s.m_vzn = root.value("vzn"_L1).toString();
    s.m_tzn = root.value("tzn"_L1).toString();
    s.m_wagonClass = root.value("wagonClass"_L1).toString(u"SECOND"_s);
    const QJsonObject change = root.value("trainChange"_L1).toObject();
    if (!change.isEmpty()) {
        s.m_changeAt = optionalNumber(change, "at"_L1);
        s.m_changedTzn = change.value("tzn"_L1).toString();
    }
    for (const QJsonValue& v : root.value("outages"_L1).toArray()) {
        const QJsonObject o = v.toObject();
        s.m_outages.push_back({o.value("from"_L1).toDouble(), o.value("to"_L1).toDouble()});
    }
    for (const QJsonValue& v : root.value("wifi"_L1).toArray()) {
        const QJsonObject o = v.toObject();
        s.m_wifi.push_back({o.value("at"_L1).toDouble(), o.value("internet"_L1).toString()});
    }
    std::stable_sort(s.m_wifi.begin(), s.m_wifi.end(),
                     [](const WifiChange& a, const WifiChange& b) { return a.at < b.at; });
    for (const QJsonValue& v : root.value("delayReasons"_L1).toArray()) {
        const QJsonObject o = v.toObject();
        s.m_delayReasons.push_back(
            {o.value("at"_L1).toDouble(), o.value("code"_L1).toString(), o.value("text"_L1).toString()});
    }

    const QJsonArray stops = root.value("stops"_L1).toArray();
    if (stops.size() < 2) {
        return failWith(u"a scenario needs at least two stops"_s);
    }
    for (qsizetype i = 0; i < stops.size(); ++i) {
        const QJsonObject o = stops.at(i).toObject();
        Stop stop;
        stop.evaNr = o.value("evaNr"_L1).toString();
        stop.name = o.value("name"_L1).toString();
        stop.latitude = o.value("latitude"_L1).toDouble();
        stop.longitude = o.value("longitude"_L1).toDouble();
        stop.track = o.value("track"_L1).toString();
        stop.arrival = optionalNumber(o, "arrival"_L1);
        stop.departure = optionalNumber(o, "departure"_L1);
        stop.arrivalDelay = o.value("arrivalDelay"_L1).toInt();
        stop.departureDelay = o.value("departureDelay"_L1).toInt();
        stop.delayAnnouncedAt = optionalNumber(o, "delayAnnouncedAt"_L1);
        const QJsonObject trackChange = o.value("trackChange"_L1).toObject();
        if (!trackChange.isEmpty()) {
            stop.trackChange =
                TrackChange{trackChange.value("at"_L1).toDouble(), trackChange.value("track"_L1).toString()};
        }
        stop.lineSpeed = o.value("lineSpeed"_L1).toDouble();
        const bool first = i == 0;
        const bool last = i == stops.size() - 1;
        if (stop.evaNr.isEmpty() || stop.name.isEmpty()) {
            return failWith(u"stop %1 needs an evaNr and a name"_s.arg(i));
        }
        if ((!first && !stop.arrival) || (!last && !stop.departure)) {
            return failWith(u"stop %1 (%2) lacks an arrival or a departure"_s.arg(i).arg(stop.name));
        }
        s.m_stops.push_back(stop);
    }
    // The train's own timeline must move forwards, or speeds and positions make no sense.
    double previous = -1e300;
    for (const Stop& stop : s.m_stops) {
        for (const std::optional<double>& t : {stop.actualArrival(), stop.actualDeparture()}) {
            if (t) {
                if (*t < previous) {
                    return failWith(u"the actual times at %1 run backwards"_s.arg(stop.name));
                }
                previous = *t;
            }
        }
    }

    s.m_distances.push_back(0);
    for (std::size_t i = 1; i < s.m_stops.size(); ++i) {
        const Stop& a = s.m_stops[i - 1];
        const Stop& b = s.m_stops[i];
        s.m_distances.push_back(s.m_distances.back() +
                                haversineMetres(a.latitude, a.longitude, b.latitude, b.longitude));
    }
    return s;
}

Scenario Scenario::builtInJourney() {
    QFile file(u":/portal-sim/scenarios/journey.json"_s);
    file.open(QIODevice::ReadOnly);
    QString error;
    std::optional<Scenario> scenario = fromJson(file.readAll(), &error);
    Q_ASSERT_X(scenario.has_value(), "Scenario::builtInJourney", qPrintable(error));
    return *scenario;
}

double Scenario::arrivalAtTerminus() const {
    return m_stops.back().actualArrival().value_or(0);
}

QString Scenario::tznAt(double t) const {
    return (m_changeAt && t >= *m_changeAt) ? m_changedTzn : m_tzn;
}

QString Scenario::internetAt(double t) const {
    QString current = m_wifi.empty() ? u"HIGH"_s : m_wifi.front().internet;
    for (const WifiChange& change : m_wifi) {
        if (change.at <= t) {
            current = change.internet;
        }
    }
    return current;
}

Scenario::Connectivity Scenario::connectivityAt(double t) const {
    // The forecast knows no OFFLINE: a portal whose own service fails still reports NO_INTERNET there.
    const auto portalState = [](const QString& internet) {
        return internet == "OFFLINE"_L1 ? u"NO_INTERNET"_s : internet;
    };
    Connectivity connectivity{portalState(internetAt(t)), std::nullopt, std::nullopt};
    for (const WifiChange& change : m_wifi) {
        if (change.at > t && portalState(change.internet) != connectivity.currentState) {
            connectivity.nextState = portalState(change.internet);
            connectivity.nextAt = change.at;
            break;
        }
    }
    return connectivity;
}

bool Scenario::inOutage(double t) const {
    return std::any_of(m_outages.begin(), m_outages.end(),
                       [t](const Outage& o) { return t >= o.from && t < o.to; });
}

std::optional<std::pair<std::size_t, double>> Scenario::segmentAt(double t) const {
    for (std::size_t i = 0; i + 1 < m_stops.size(); ++i) {
        const double departure = *m_stops[i].actualDeparture();
        const double arrival = *m_stops[i + 1].actualArrival();
        if (t >= departure && t < arrival) {
            return std::pair{i, (t - departure) / (arrival - departure)};
        }
    }
    return std::nullopt;
}

double Scenario::speedAt(double t) const {
    const auto segment = segmentAt(t);
    if (!segment) {
        return 0;
    }
    const auto [i, fraction] = *segment;
    const double departure = *m_stops[i].actualDeparture();
    const double arrival = *m_stops[i + 1].actualArrival();
    const double ramp = std::min(rampSeconds, (arrival - departure) / 2);
    const double envelope = std::min({1.0, (t - departure) / ramp, (arrival - t) / ramp});
    // Cruising is never perfectly flat: a slow wobble of up to 5 km/h below the line speed.
    const double wobble = 1.25 * (2.0 + std::sin(t / 23.0) + std::sin(t / 7.0));
    const double speed = std::max(0.0, m_stops[i].lineSpeed * envelope - wobble * envelope);
    return std::round(speed * 10) / 10;
}

int Scenario::currentDelay(double t) const {
    if (t < *m_stops.front().actualDeparture()) {
        return m_stops.front().departureDelay;
    }
    if (const auto segment = segmentAt(t)) {
        const auto [i, fraction] = *segment;
        const double from = m_stops[i].departureDelay;
        const double to = m_stops[i + 1].arrivalDelay;
        if (const auto announced = m_stops[i + 1].delayAnnouncedAt) {
            return static_cast<int>(t >= *announced ? to : from);
        }
        return static_cast<int>(std::trunc(from + (to - from) * fraction));
    }
    for (const Stop& stop : m_stops) {
        const auto arrival = stop.actualArrival();
        const auto departure = stop.actualDeparture();
        if (arrival && t >= *arrival && (!departure || t < *departure)) {
            return departure ? stop.departureDelay : stop.arrivalDelay;
        }
    }
    return m_stops.back().arrivalDelay;
}

Scenario::StopState Scenario::stopStateAt(std::size_t index, double t) const {
    const Stop& stop = m_stops[index];
    const auto actualArrival = stop.actualArrival();
    const auto actualDeparture = stop.actualDeparture();
    const bool arrived = !actualArrival || t >= *actualArrival;
    const bool departed = actualDeparture && t >= *actualDeparture;
    const bool last = index + 1 == m_stops.size();
    const int forecast = currentDelay(t);

    StopState state;
    if (stop.arrival) {
        state.arrivalDelay = arrived ? stop.arrivalDelay : forecast;
        state.expectedArrival = *stop.arrival + state.arrivalDelay * 60.0;
    }
    if (stop.departure) {
        state.departureDelay = (arrived || departed) ? stop.departureDelay : forecast;
        state.expectedDeparture = *stop.departure + state.departureDelay * 60.0;
    }
    state.passed = departed || (last && arrived);
    state.positionStatus = state.passed ? u"passed"_s : (arrived ? u"arrived"_s : u"future"_s);
    return state;
}

std::vector<Scenario::DelayReason> Scenario::delayReasonsAt(std::size_t index, double t) const {
    const StopState state = stopStateAt(index, t);
    if (state.arrivalDelay < 5 && state.departureDelay < 5) {
        return {};
    }
    const Stop& stop = m_stops[index];
    const double knownBy = std::min(t, stop.actualDeparture().value_or(stop.actualArrival().value_or(t)));
    std::vector<DelayReason> reasons;
    std::copy_if(m_delayReasons.begin(), m_delayReasons.end(), std::back_inserter(reasons),
                 [knownBy](const DelayReason& reason) { return reason.at <= knownBy; });
    return reasons;
}

double Scenario::distanceFromStart(std::size_t index) const {
    return m_distances[index];
}

std::size_t Scenario::nextStopIndex(double t) const {
    for (std::size_t i = 0; i < m_stops.size(); ++i) {
        if (!stopStateAt(i, t).passed) {
            return i;
        }
    }
    return m_stops.size() - 1;
}

double Scenario::positionAt(double t) const {
    if (const auto segment = segmentAt(t)) {
        const auto [i, fraction] = *segment;
        return m_distances[i] + fraction * (m_distances[i + 1] - m_distances[i]);
    }
    return m_distances[nextStopIndex(t)];
}

std::pair<double, double> Scenario::coordinatesAt(double t) const {
    if (const auto segment = segmentAt(t)) {
        const auto [i, fraction] = *segment;
        const Stop& a = m_stops[i];
        const Stop& b = m_stops[i + 1];
        return {a.latitude + fraction * (b.latitude - a.latitude),
                a.longitude + fraction * (b.longitude - a.longitude)};
    }
    const Stop& here = m_stops[nextStopIndex(t)];
    return {here.latitude, here.longitude};
}

} // namespace quendle2::sim
