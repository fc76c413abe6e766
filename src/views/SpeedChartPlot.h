#pragma once

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>

namespace quendle2 {

class SpeedSample;

/// What the speed chart draws for a trip's samples: a message when there are fewer than two, else every
/// sample in time order with its speed clamped at 0, on an axis from 0 to `axisTop`, over `timeAxis`.
struct SpeedChartPlot {
    enum class State { NoData, NotEnoughData, Chart };

    struct TimeMark {
        qint64 msecsSinceEpoch = 0;
        QString text;
    };
    /// The time axis: its range in milliseconds since the epoch and its marks within it, earliest first.
    struct TimeAxis {
        qint64 fromMsecs = 0;
        qint64 toMsecs = 0;
        QList<TimeMark> marks;
    };

    struct Sample {
        QDateTime timestamp;
        double speedKmh = 0;
    };

    State state = State::NoData;
    /// x: milliseconds since the epoch; y: the plotted speed in km/h. Empty unless `state` is Chart.
    QList<QPointF> points;
    double axisTop = 50;
    TimeAxis timeAxis;

    static constexpr double minimumAxisTop = 50;
    static constexpr double axisHeadroom = 1.1;

    /// Samples in any order; equal timestamps keep their given order.
    static SpeedChartPlot from(const QList<Sample>& samples);
    static SpeedChartPlot from(const QList<SpeedSample*>& samples);
    /// "No data yet", "Not enough data for chart", or empty for a chart.
    static QString message(State state);
    /// A negative speed, or one that is not a finite number, is drawn as 0.
    static double plottedSpeed(double speedKmh);
    /// About five marks from `first` to `last` at a round step of seconds, minutes, hours or days in the
    /// user's zone, no two labelled alike: times of day, each with its weekday when the span crosses a day,
    /// or dates for a step of days. A span under a second is widened to a minute around it, so that its
    /// line shows.
    static TimeAxis timeAxisFor(const QDateTime& first, const QDateTime& last);
};

} // namespace quendle2
