#include "PortalDocuments.h"

#include <QJsonArray>

#include <cmath>

namespace quendle2::sim {

using namespace Qt::Literals::StringLiterals;

namespace {

QString delayText(int minutes) {
    return minutes > 0 ? u"+%1"_s.arg(minutes) : QString();
}

QJsonValue epochOrNull(const SimTimeline& timeline, const std::optional<double>& scenarioSeconds) {
    return scenarioSeconds ? QJsonValue(timeline.epochMs(*scenarioSeconds)) : QJsonValue(QJsonValue::Null);
}

QJsonValue speedValue(double speed) {
    // The portal sends whole speeds as integers and others with a fraction; keep both shapes alive.
    if (speed == std::trunc(speed)) {
        return QJsonValue(static_cast<qint64>(speed));
    }
    return QJsonValue(speed);
}

} // namespace

QJsonObject PortalDocuments::status(const Scenario& scenario, const SimTimeline& timeline,
                                    const QDateTime& wallNow) {
    const double t = timeline.scenarioTime(wallNow);
    const QString internet = scenario.internetAt(t);
    const bool offline = internet == "OFFLINE"_L1;
    const auto [latitude, longitude] = scenario.coordinatesAt(t);

    const Scenario::Connectivity forecast = scenario.connectivityAt(t);
    // Whole seconds rounded up, so that the count never reads 0 while the state still holds.
    const QJsonObject connectivity{
        {u"currentState"_s, forecast.currentState},
        {u"nextState"_s, forecast.nextState ? QJsonValue(*forecast.nextState) : QJsonValue(QJsonValue::Null)},
        {u"remainingTimeSeconds"_s, forecast.nextAt
                                        ? QJsonValue(static_cast<qint64>(std::ceil(*forecast.nextAt - t)))
                                        : QJsonValue(QJsonValue::Null)},
    };

    return QJsonObject{
        {u"connection"_s, !offline},
        {u"serviceLevel"_s, offline ? u"SERVICE_ERROR"_s : u"AVAILABLE_SERVICE"_s},
        {u"gpsStatus"_s, u"VALID"_s},
        {u"internet"_s, internet},
        {u"latitude"_s, latitude},
        {u"longitude"_s, longitude},
        {u"tileY"_s, static_cast<int>(std::round((latitude - 50.0) * 100))},
        {u"tileX"_s, static_cast<int>(std::round((longitude - 9.0) * 100))},
        {u"series"_s, u"412"_s},
        {u"serverTime"_s, timeline.epochMs(t)},
        {u"speed"_s, speedValue(scenario.speedAt(t))},
        {u"trainType"_s, scenario.trainType()},
        {u"tzn"_s, scenario.tznAt(t)},
        {u"wagonClass"_s, scenario.wagonClass()},
        {u"connectivity"_s, connectivity},
        {u"bapInstalled"_s, true},
    };
}

QJsonObject PortalDocuments::trip(const Scenario& scenario, const SimTimeline& timeline,
                                  const QDateTime& wallNow) {
    const double t = timeline.scenarioTime(wallNow);
    const auto& stops = scenario.stops();
    const std::size_t next = scenario.nextStopIndex(t);
    const double position = scenario.positionAt(t);

    QJsonArray stopArray;
    std::size_t lastPassed = 0;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const Scenario::Stop& stop = stops[i];
        const Scenario::StopState state = scenario.stopStateAt(i, t);
        if (state.passed) {
            lastPassed = i;
        }
        QJsonArray reasons;
        for (const Scenario::DelayReason& reason : scenario.delayReasonsAt(i, t)) {
            reasons.append(QJsonObject{{u"code"_s, reason.code}, {u"text"_s, reason.text}});
        }
        const double fromStart = scenario.distanceFromStart(i);
        stopArray.append(QJsonObject{
            {u"station"_s, QJsonObject{{u"evaNr"_s, stop.evaNr},
                                       {u"name"_s, stop.name},
                                       {u"code"_s, QJsonValue::Null},
                                       {u"geocoordinates"_s, QJsonObject{{u"latitude"_s, stop.latitude},
                                                                         {u"longitude"_s, stop.longitude}}}}},
            {u"timetable"_s,
             QJsonObject{
                 {u"scheduledArrivalTime"_s, epochOrNull(timeline, stop.arrival)},
                 {u"actualArrivalTime"_s, epochOrNull(timeline, state.expectedArrival)},
                 {u"showActualArrivalTime"_s, stop.arrival ? QJsonValue(true) : QJsonValue(QJsonValue::Null)},
                 {u"arrivalDelay"_s, delayText(stop.arrival ? state.arrivalDelay : 0)},
                 {u"scheduledDepartureTime"_s, epochOrNull(timeline, stop.departure)},
                 {u"actualDepartureTime"_s, epochOrNull(timeline, state.expectedDeparture)},
                 {u"showActualDepartureTime"_s,
                  stop.departure ? QJsonValue(true) : QJsonValue(QJsonValue::Null)},
                 {u"departureDelay"_s, delayText(stop.departure ? state.departureDelay : 0)},
             }},
            {u"track"_s, QJsonObject{{u"scheduled"_s, stop.track}, {u"actual"_s, stop.trackAt(t)}}},
            {u"info"_s,
             QJsonObject{{u"status"_s, 0},
                         {u"passed"_s, state.passed},
                         {u"positionStatus"_s, state.positionStatus},
                         {u"distance"_s, static_cast<qint64>(std::llround(
                                             i == 0 ? 0 : fromStart - scenario.distanceFromStart(i - 1)))},
                         {u"distanceFromStart"_s, static_cast<qint64>(std::llround(fromStart))}}},
            {u"delayReasons"_s, reasons.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(reasons)},
        });
    }

    const Scenario::Stop& nextStop = stops[next];
    const Scenario::Stop& lastStop = stops.back();
    const QDate tripDate = QDateTime::fromMSecsSinceEpoch(timeline.epochMs(0), Qt::UTC).date();
    return QJsonObject{
        {u"trip"_s,
         QJsonObject{
             {u"tripDate"_s, tripDate.toString(Qt::ISODate)},
             {u"trainType"_s, scenario.trainType()},
             {u"vzn"_s, scenario.vzn()},
             {u"actualPosition"_s, static_cast<qint64>(std::llround(position))},
             {u"distanceFromLastStop"_s,
              static_cast<qint64>(std::llround(position - scenario.distanceFromStart(lastPassed)))},
             {u"totalDistance"_s,
              static_cast<qint64>(std::llround(scenario.distanceFromStart(stops.size() - 1)))},
             {u"stopInfo"_s, QJsonObject{{u"scheduledNext"_s, nextStop.evaNr},
                                         {u"actualNext"_s, nextStop.evaNr},
                                         {u"actualLast"_s, stops[lastPassed].evaNr},
                                         {u"actualLastStarted"_s, nextStop.evaNr},
                                         {u"finalStationName"_s, lastStop.name},
                                         {u"finalStationEvaNr"_s, lastStop.evaNr}}},
             {u"stops"_s, stopArray},
         }},
        {u"connection"_s, QJsonValue::Null},
        {u"active"_s, QJsonValue::Null},
    };
}

} // namespace quendle2::sim
