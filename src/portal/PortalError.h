#pragma once

#include <QString>

namespace quendle2 {

/// Why a fetch from the portal produced no document. The description is what the log shows.
struct PortalError {
    enum class Kind {
        Network,  ///< no route, refused, name resolution, TLS, reset
        Timeout,  ///< no complete response within the time-out
        TooLarge, ///< the body exceeded the size a portal document can sensibly have
        Decoding, ///< the body is not a document of the expected shape
    };

    Kind kind;
    QString description;
};

} // namespace quendle2
