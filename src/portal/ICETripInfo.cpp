#include "portal/ICETripInfo.h"

#include "portal/JsonDecoder.h"

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

using Trip = ICETripInfo::Trip;
using Stop = Trip::Stop;
using Station = Stop::Station;

Station::Geo decodeGeo(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Station::Geo{
        .latitude = d.number(o, "latitude"_L1),
        .longitude = d.number(o, "longitude"_L1),
    };
}

Station decodeStation(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Station{
        .evaNr = d.string(o, "evaNr"_L1),
        .name = d.string(o, "name"_L1),
        .geocoordinates = d.object(o, "geocoordinates"_L1, decodeGeo),
    };
}

Stop::Timetable decodeTimetable(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Stop::Timetable{
        .scheduledArrivalTime = d.integer(o, "scheduledArrivalTime"_L1),
        .actualArrivalTime = d.integer(o, "actualArrivalTime"_L1),
        .scheduledDepartureTime = d.integer(o, "scheduledDepartureTime"_L1),
        .actualDepartureTime = d.integer(o, "actualDepartureTime"_L1),
        .arrivalDelay = d.string(o, "arrivalDelay"_L1),
        .departureDelay = d.string(o, "departureDelay"_L1),
    };
}

Stop::Track decodeTrack(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Stop::Track{
        .scheduled = d.string(o, "scheduled"_L1),
        .actual = d.string(o, "actual"_L1),
    };
}

Stop::Info decodeInfo(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Stop::Info{
        .status = d.integer(o, "status"_L1),
        .passed = d.boolean(o, "passed"_L1),
        .positionStatus = d.string(o, "positionStatus"_L1),
        .distance = d.integer(o, "distance"_L1),
        .distanceFromStart = d.integer(o, "distanceFromStart"_L1),
    };
}

Stop::DelayReason decodeDelayReason(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Stop::DelayReason{
        .code = d.string(o, "code"_L1),
        .text = d.string(o, "text"_L1),
    };
}

Stop decodeStop(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Stop{
        .station = d.object(o, "station"_L1, decodeStation),
        .timetable = d.object(o, "timetable"_L1, decodeTimetable),
        .track = d.object(o, "track"_L1, decodeTrack),
        .info = d.object(o, "info"_L1, decodeInfo),
        .delayReasons = d.arrayOfObjects(o, "delayReasons"_L1, decodeDelayReason),
    };
}

Trip::StopInfo decodeStopInfo(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Trip::StopInfo{
        .scheduledNext = d.string(o, "scheduledNext"_L1),
        .actualNext = d.string(o, "actualNext"_L1),
        .actualLast = d.string(o, "actualLast"_L1),
        .finalStationName = d.string(o, "finalStationName"_L1),
        .finalStationEvaNr = d.string(o, "finalStationEvaNr"_L1),
    };
}

Trip decodeTrip(JsonDecoder& d, const JsonDecoder::Node& o) {
    return Trip{
        .tripDate = d.string(o, "tripDate"_L1),
        .trainType = d.string(o, "trainType"_L1),
        .vzn = d.string(o, "vzn"_L1),
        .actualPosition = d.integer(o, "actualPosition"_L1),
        .distanceFromLastStop = d.integer(o, "distanceFromLastStop"_L1),
        .totalDistance = d.integer(o, "totalDistance"_L1),
        .stopInfo = d.object(o, "stopInfo"_L1, decodeStopInfo),
        .stops = d.arrayOfObjects(o, "stops"_L1, decodeStop),
    };
}

ICETripInfo decodeTripInfo(JsonDecoder& d, const JsonDecoder::Node& o) {
    return ICETripInfo{.trip = d.object(o, "trip"_L1, decodeTrip)};
}

} // namespace

Result<ICETripInfo, DecodingError> ICETripInfo::decode(const QByteArray& json) {
    return JsonDecoder::decodeDocument<ICETripInfo>(json, decodeTripInfo);
}

} // namespace quendle2
