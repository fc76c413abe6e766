#include "views/SpeedChartPlot.h"

#include "platform/TimeOfDayText.h"
#include "store/SpeedSample.h"
#include "views/TripText.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cmath>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 second = 1000;
constexpr qint64 minute = 60 * second;
constexpr qint64 hour = 60 * minute;
constexpr qint64 day = 24 * hour;
constexpr qint64 maximumIntervals = 5;
constexpr qint64 shortestSpan = second;
constexpr qint64 widenedSpan = minute;

qint64 ceilToMultiple(qint64 value, qint64 step) {
    qint64 quotient = value / step;
    if (quotient * step < value) {
        ++quotient;
    }
    return quotient * step;
}

qint64 roundStep(qint64 span) {
    static constexpr std::array steps{second,  2 * second, 5 * second, 10 * second, 15 * second, 30 * second,
                                      minute,  2 * minute, 5 * minute, 10 * minute, 15 * minute, 30 * minute,
                                      hour,    2 * hour,   3 * hour,   6 * hour,    12 * hour,   day,
                                      2 * day, 5 * day,    10 * day};
    for (const qint64 step : steps) {
        if (span <= maximumIntervals * step) {
            return step;
        }
    }
    // Weeks of samples: whole days.
    return ceilToMultiple(span, maximumIntervals * day) / maximumIntervals;
}

/// Milliseconds since the epoch as the user's wall clock reads them, so that steps fall on round local times.
qint64 wallClock(const QDateTime& instant) {
    return instant.toMSecsSinceEpoch() + 1000LL * instant.toLocalTime().offsetFromUtc();
}

QDateTime fromWallClock(qint64 wallMsecs) {
    const QDateTime wall = QDateTime::fromMSecsSinceEpoch(wallMsecs, QTimeZone::utc());
    return QDateTime(wall.date(), wall.time(), Qt::LocalTime);
}

QString timeWithSecondsFormat() {
    // The long format carries the seconds, and a zone name too wide for an axis.
    static const QRegularExpression zone(u"\\s*t+"_s);
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(zone);
    return format.trimmed();
}

} // namespace

SpeedChartPlot::TimeAxis SpeedChartPlot::timeAxisFor(const QDateTime& first, const QDateTime& last) {
    TimeAxis axis{first.toMSecsSinceEpoch(), last.toMSecsSinceEpoch(), {}};
    if (axis.toMsecs - axis.fromMsecs < shortestSpan) {
        const qint64 middle = axis.fromMsecs + (axis.toMsecs - axis.fromMsecs) / 2;
        axis.fromMsecs = middle - widenedSpan / 2;
        axis.toMsecs = middle + widenedSpan / 2;
    }
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(axis.fromMsecs).toLocalTime();
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(axis.toMsecs).toLocalTime();
    const qint64 step = roundStep(axis.toMsecs - axis.fromMsecs);
    QString format = step < minute ? timeWithSecondsFormat() : timeOfDayFormat();
    if (from.date() != to.date()) {
        format.prepend(u"ddd "_s);
    }
    const QLocale locale;
    const qint64 wallTo = wallClock(to);
    for (qint64 wall = ceilToMultiple(wallClock(from), step); wall <= wallTo; wall += step) {
        const QDateTime mark = fromWallClock(wall);
        const QString text =
            step >= day ? locale.toString(mark.date(), QLocale::ShortFormat) : locale.toString(mark, format);
        // An hour that the clock goes through twice in autumn would otherwise give a label twice.
        const bool repeated = std::any_of(axis.marks.cbegin(), axis.marks.cend(),
                                          [&](const TimeMark& earlier) { return earlier.text == text; });
        const qint64 instant = mark.toMSecsSinceEpoch();
        if (!repeated && instant >= axis.fromMsecs && instant <= axis.toMsecs) {
            axis.marks.append({instant, text});
        }
    }
    return axis;
}

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
    const auto instant = [](const QPointF& point) {
        return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(point.x()));
    };
    plot.timeAxis = timeAxisFor(instant(plot.points.first()), instant(plot.points.last()));
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
        return QCoreApplication::translate("quendle2::SpeedChartPlot", "No data yet");
    case State::NotEnoughData:
        return QCoreApplication::translate("quendle2::SpeedChartPlot", "Not enough data for chart");
    case State::Chart:
        break;
    }
    return {};
}

} // namespace quendle2
