#include "portal/ICEStatus.h"

#include "portal/JsonDecoder.h"

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

ICEStatus::Connectivity decodeConnectivity(JsonDecoder& d, const JsonDecoder::Node& o) {
    return ICEStatus::Connectivity{
        .currentState = d.string(o, "currentState"_L1),
        .nextState = d.string(o, "nextState"_L1),
        .remainingTimeSeconds = d.integer(o, "remainingTimeSeconds"_L1),
    };
}

ICEStatus decodeStatus(JsonDecoder& d, const JsonDecoder::Node& o) {
    return ICEStatus{
        .connection = d.boolean(o, "connection"_L1),
        .serviceLevel = d.string(o, "serviceLevel"_L1),
        .gpsStatus = d.string(o, "gpsStatus"_L1),
        .internet = d.string(o, "internet"_L1),
        .latitude = d.number(o, "latitude"_L1),
        .longitude = d.number(o, "longitude"_L1),
        .speed = d.number(o, "speed"_L1),
        .trainType = d.string(o, "trainType"_L1),
        .tzn = d.string(o, "tzn"_L1),
        .wagonClass = d.string(o, "wagonClass"_L1),
        .serverTime = d.integer(o, "serverTime"_L1),
        .connectivity = d.object(o, "connectivity"_L1, decodeConnectivity),
        .bapInstalled = d.boolean(o, "bapInstalled"_L1),
    };
}

} // namespace

Result<ICEStatus, DecodingError> ICEStatus::decode(const QByteArray& json) {
    return JsonDecoder::decodeDocument<ICEStatus>(json, decodeStatus);
}

} // namespace quendle2
