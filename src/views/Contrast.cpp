#include "views/Contrast.h"

#include <cmath>

namespace quendle2::Contrast {

namespace {

double channel(float value) {
    return value <= 0.04045F ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

QColor towards(const QColor& colour, const QColor& end, double amount) {
    const QColor from = colour.toRgb();
    const auto mix = [amount](float a, float b) { return static_cast<float>(a + (b - a) * amount); };
    return QColor::fromRgbF(mix(from.redF(), end.redF()), mix(from.greenF(), end.greenF()),
                            mix(from.blueF(), end.blueF()));
}

} // namespace

double ratio(const QColor& first, const QColor& second) {
    const double a = luminance(first) + 0.05;
    const double b = luminance(second) + 0.05;
    return a > b ? a / b : b / a;
}

QColor readableOn(const QColor& colour, const QColor& background, double minimum) {
    if (ratio(colour, background) >= minimum) {
        return colour;
    }
    // Black or white always reaches 4.5:1 on one side; the colour keeps as much of its hue as it can.
    const QColor end =
        ratio(Qt::black, background) >= ratio(Qt::white, background) ? QColor(Qt::black) : QColor(Qt::white);
    double low = 0;
    double high = 1;
    for (int step = 0; step < 16; ++step) {
        const double middle = (low + high) / 2;
        (ratio(towards(colour, end, middle), background) >= minimum ? high : low) = middle;
    }
    return towards(colour, end, high);
}

} // namespace quendle2::Contrast
