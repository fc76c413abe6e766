#include "views/SpeedChartPlot.h"

#include "store/SpeedSample.h"

#include <algorithm>
#include <cmath>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

double SpeedChartPlot::plottedSpeed(double speedKmh) {
    // The portal never sends an infinite speed (decoding refuses it); should one arrive from elsewhere it is
    // drawn at 0 like NaN, so that the axis stays finite.
    return std::isfinite(speedKmh) && speedKmh >= 0 ? speedKmh : 0.0;
}

SpeedChartPlot SpeedChartPlot::from(const QList<Sample>& samples) {
    SpeedChartPlot plot;
    if (samples.size() < 2) {
        plot.state = samples.isEmpty() ? State::NoData : State::NotEnoughData;
        return plot;
    }
    plot.state = State::Chart;
    plot.points.reserve(samples.size());
    for (const Sample& sample : samples) {
        plot.points.append(QPointF(static_cast<double>(sample.timestamp.toMSecsSinceEpoch()),
                                   plottedSpeed(sample.speedKmh)));
    }
    std::stable_sort(plot.points.begin(), plot.points.end(),
                     [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    double top = 0;
    for (const QPointF& point : plot.points) {
        top = std::max(top, point.y());
    }
    plot.axisTop = std::max(minimumAxisTop, axisHeadroom * top);
    return plot;
}

SpeedChartPlot SpeedChartPlot::from(const QList<SpeedSample*>& samples) {
    QList<Sample> values;
    values.reserve(samples.size());
    for (const SpeedSample* sample : samples) {
        values.append({sample->timestamp(), sample->speedKmh()});
    }
    return from(values);
}

QString SpeedChartPlot::message(State state) {
    switch (state) {
    case State::NoData:
        return u"No data yet"_s;
    case State::NotEnoughData:
        return u"Not enough data for chart"_s;
    case State::Chart:
        break;
    }
    return {};
}

} // namespace quendle2
