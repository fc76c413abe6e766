#include "portal/DecodingError.h"

namespace quendle2 {

QString DecodingError::description() const {
    return path.isEmpty() ? problem : path + QStringLiteral(": ") + problem;
}

} // namespace quendle2
