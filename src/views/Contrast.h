#pragma once

#include <QColor>

namespace quendle2::Contrast {

/// The WCAG 2 contrast ratio of two opaque colours, from 1 (the same) to 21 (black on white).
double ratio(const QColor& first, const QColor& second);

/// `colour`, darkened or lightened towards whichever of black and white reads better on `background`, just
/// enough to reach `minimum`; unchanged when it already does.
QColor readableOn(const QColor& colour, const QColor& background, double minimum = 4.5);

} // namespace quendle2::Contrast
