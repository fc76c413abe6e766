#include "views/SpeedChartView.h"

#include "views/ViewStyle.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QGraphicsLayout>
#include <QLabel>
#include <QLineSeries>
#include <QStackedLayout>
#include <QValueAxis>

#include <cmath>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int messageMinimumHeight = 160;
constexpr int chartMinimumHeight = 200;
constexpr int chartInset = 8;

double speedTickInterval(double axisTop) {
    for (const double step : {10.0, 25.0, 50.0, 100.0, 250.0}) {
        if (axisTop / step <= 6) {
            return step;
        }
    }
    return std::ceil(axisTop / 6 / 100) * 100;
}

} // namespace

SpeedChartView::SpeedChartView(QWidget* parent)
    : RoundedPanel(false, parent)
    , m_stack(new QStackedLayout(this))
    , m_message(new QLabel(this))
    , m_chart(new QChart)
    , m_series(new QLineSeries(m_chart))
    , m_timeAxis(new QCategoryAxis(m_chart))
    , m_speedAxis(new QValueAxis(m_chart)) {
    m_message->setAlignment(Qt::AlignCenter);
    ViewStyle::style(m_message, ViewStyle::Font::Body, ViewStyle::Tone::Secondary);

    m_chart->legend()->hide();
    m_chart->setBackgroundVisible(false);
    m_chart->setMargins(QMargins(chartInset, chartInset, chartInset, chartInset));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_chart->addSeries(m_series);
    m_series->setName(tr("Speed (km/h)"));

    m_timeAxis->setTitleText(tr("Time"));
    // A date-time axis divides its range evenly, onto odd instants; these marks sit on round ones.
    m_timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_series->attachAxis(m_timeAxis);

    m_speedAxis->setTitleText(tr("Speed (km/h)"));
    m_speedAxis->setLabelFormat(u"%.0f"_s);
    m_speedAxis->setTickType(QValueAxis::TicksDynamic);
    m_chart->addAxis(m_speedAxis, Qt::AlignLeft);
    m_series->attachAxis(m_speedAxis);

    // Given the chart at construction: a chart view made without one creates a default chart, and
    // setChart() would then release that one to nobody.
    m_chartView = new QChartView(m_chart, this);
    m_chartView->setRenderHint(QPainter::Antialiasing);
    // The panel paints the material; the chart's own view stays see-through.
    m_chartView->setBackgroundBrush(Qt::NoBrush);
    m_chartView->viewport()->setAutoFillBackground(false);
    m_chartView->setFrameShape(QFrame::NoFrame);

    m_stack->addWidget(m_message);
    m_stack->addWidget(m_chartView);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    applyPalette();
    setSamples({});
}

void SpeedChartView::setSamples(const QList<SpeedSample*>& samples) {
    m_plot = SpeedChartPlot::from(samples);
    if (m_plot.state != SpeedChartPlot::State::Chart) {
        m_series->clear();
        m_message->setText(SpeedChartPlot::message(m_plot.state));
        m_stack->setCurrentWidget(m_message);
        setMinimumHeight(messageMinimumHeight);
        return;
    }
    // Every series or axis change makes the chart rebuild its whole line, so the ranges go first and the
    // points last: one rebuild instead of three, which is most of the cost on a long trip.
    m_series->clear();
    const SpeedChartPlot::TimeAxis& time = m_plot.timeAxis;
    for (const QString& label : m_timeAxis->categoriesLabels()) {
        m_timeAxis->remove(label);
    }
    m_timeAxis->setStartValue(static_cast<double>(time.fromMsecs));
    for (const SpeedChartPlot::TimeMark& mark : time.marks) {
        m_timeAxis->append(mark.text, static_cast<double>(mark.msecsSinceEpoch));
    }
    m_timeAxis->setRange(static_cast<double>(time.fromMsecs), static_cast<double>(time.toMsecs));
    m_speedAxis->setRange(0, m_plot.axisTop);
    // Marks on round speeds from 0, rather than on fifths of an odd top such as 264.
    m_speedAxis->setTickAnchor(0);
    m_speedAxis->setTickInterval(speedTickInterval(m_plot.axisTop));
    m_series->replace(m_plot.points);
    m_message->clear();
    m_stack->setCurrentWidget(m_chartView);
    setMinimumHeight(chartMinimumHeight);
}

QString SpeedChartView::message() const {
    return m_stack->currentWidget() == m_message ? m_message->text() : QString();
}

void SpeedChartView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        applyPalette();
    }
    RoundedPanel::changeEvent(event);
}

void SpeedChartView::applyPalette() {
    const QPalette& colours = palette();
    const QColor text = colours.color(QPalette::WindowText);
    const QColor dim = ViewStyle::colour(colours, ViewStyle::Tone::Secondary);
    QColor grid = dim;
    grid.setAlphaF(0.3f);
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(m_timeAxis), static_cast<QAbstractAxis*>(m_speedAxis)}) {
        axis->setLabelsBrush(text);
        axis->setTitleBrush(text);
        axis->setLinePenColor(dim);
        axis->setGridLineColor(grid);
    }
    QPen line(ViewStyle::accent(colours));
    line.setWidthF(2);
    m_series->setPen(line);
}

} // namespace quendle2
