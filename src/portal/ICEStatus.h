#pragma once

#include "platform/Result.h"
#include "portal/DecodingError.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quendle2 {

/// The portal's status document (api1/rs/status). Every field is optional: a missing key or a JSON null
/// is absent. Only connection, internet, speed, trainType and tzn are read by the application, but every
/// known key is validated, so a document with any wrong type is rejected whole.
struct ICEStatus {
    struct Connectivity {
        const std::optional<QString> currentState;
        const std::optional<QString> nextState;
        const std::optional<qint64> remainingTimeSeconds;

        bool operator==(const Connectivity&) const = default;
    };

    const std::optional<bool> connection;
    const std::optional<QString> serviceLevel;
    const std::optional<QString> gpsStatus;
    const std::optional<QString> internet;
    const std::optional<double> latitude;
    const std::optional<double> longitude;
    const std::optional<double> speed; ///< km/h
    const std::optional<QString> trainType;
    const std::optional<QString> tzn;
    const std::optional<QString> wagonClass;
    const std::optional<qint64> serverTime;
    const std::optional<Connectivity> connectivity;
    const std::optional<bool> bapInstalled;

    bool operator==(const ICEStatus&) const = default;

    /// Strictly decodes one JSON document.
    static Result<ICEStatus, DecodingError> decode(const QByteArray& json);
};

} // namespace quendle2
