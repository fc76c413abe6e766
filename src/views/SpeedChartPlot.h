#pragma once

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>

namespace quendle2 {

class SpeedSample;

/// What the speed chart draws for a trip's samples: a message when there are fewer than two, else every
/// sample in time order with its speed clamped at 0, on an axis from 0 to `axisTop`.
struct SpeedChartPlot {
    enum class State { NoData, NotEnoughData, Chart };

    struct Sample {
        QDateTime timestamp;
        double speedKmh = 0;
    };

    State state = State::NoData;
    /// x: milliseconds since the epoch; y: the plotted speed in km/h. Empty unless `state` is Chart.
    QList<QPointF> points;
    double axisTop = 50;

    static constexpr double minimumAxisTop = 50;
    static constexpr double axisHeadroom = 1.1;

    /// Samples in any order; equal timestamps keep their given order.
    static SpeedChartPlot from(const QList<Sample>& samples);
    static SpeedChartPlot from(const QList<SpeedSample*>& samples);
    /// "No data yet", "Not enough data for chart", or empty for a chart.
    static QString message(State state);
    /// A negative speed, or one that is not a finite number, is drawn as 0.
    static double plottedSpeed(double speedKmh);
};

} // namespace quendle2
