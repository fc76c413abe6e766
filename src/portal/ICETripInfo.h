#pragma once

#include "platform/Result.h"
#include "portal/DecodingError.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace quendle2 {

/// The portal's trip-info document (api1/rs/tripInfo/trip): the journey's stops in route order. Every
/// field is optional; times are whole milliseconds since the Unix epoch, and a station's EVA number is
/// its key, compared as exact text. Every known key is validated, whether the application reads it or not.
struct ICETripInfo {
    struct Trip {
        struct StopInfo {
            const std::optional<QString> scheduledNext;
            const std::optional<QString> actualNext;
            const std::optional<QString> actualLast;
            const std::optional<QString> finalStationName;
            const std::optional<QString> finalStationEvaNr;

            bool operator==(const StopInfo&) const = default;
        };

        struct Stop {
            struct Station {
                struct Geo {
                    const std::optional<double> latitude;
                    const std::optional<double> longitude;

                    bool operator==(const Geo&) const = default;
                };

                const std::optional<QString> evaNr;
                const std::optional<QString> name;
                const std::optional<Geo> geocoordinates;

                bool operator==(const Station&) const = default;
            };

            struct Timetable {
                const std::optional<qint64> scheduledArrivalTime;
                const std::optional<qint64> actualArrivalTime;
                const std::optional<qint64> scheduledDepartureTime;
                const std::optional<qint64> actualDepartureTime;
                const std::optional<QString> arrivalDelay;
                const std::optional<QString> departureDelay;

                bool operator==(const Timetable&) const = default;
            };

            struct Track {
                const std::optional<QString> scheduled;
                const std::optional<QString> actual;

                bool operator==(const Track&) const = default;
            };

            struct Info {
                const std::optional<qint64> status;
                const std::optional<bool> passed;
                const std::optional<QString> positionStatus;
                const std::optional<qint64> distance;
                const std::optional<qint64> distanceFromStart;

                bool operator==(const Info&) const = default;
            };

            struct DelayReason {
                const std::optional<QString> code;
                const std::optional<QString> text;

                bool operator==(const DelayReason&) const = default;
            };

            const std::optional<Station> station;
            const std::optional<Timetable> timetable;
            const std::optional<Track> track;
            const std::optional<Info> info;
            const std::optional<std::vector<DelayReason>> delayReasons;

            bool operator==(const Stop&) const = default;
        };

        const std::optional<QString> tripDate;
        const std::optional<QString> trainType;
        const std::optional<QString> vzn;
        const std::optional<qint64> actualPosition;
        const std::optional<qint64> distanceFromLastStop;
        const std::optional<qint64> totalDistance;
        const std::optional<StopInfo> stopInfo;
        const std::optional<std::vector<Stop>> stops;

        bool operator==(const Trip&) const = default;
    };

    const std::optional<Trip> trip;

    bool operator==(const ICETripInfo&) const = default;

    /// Strictly decodes one JSON document.
    static Result<ICETripInfo, DecodingError> decode(const QByteArray& json);
};

} // namespace quendle2
