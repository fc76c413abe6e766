#pragma once

#include <QString>

namespace quendle2 {

/// A speed as the status item and the window show it: the integer part, truncated toward zero, and
/// " km/h" (249.8 gives "249 km/h"). The portal may send any number: a speed beyond an integer's range
/// is held at its ends, and one that is not a number shows as 0.
QString speedText(double kmh);

} // namespace quendle2
