#pragma once

#include "views/RoundedPanel.h"
#include "views/SpeedChartPlot.h"

#include <QList>

class QCategoryAxis;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QStackedLayout;
class QValueAxis;

namespace quendle2 {

class SpeedSample;

/// A trip's speed over time as one line, every sample drawn; a short message with fewer than two samples.
class SpeedChartView final : public RoundedPanel {
    Q_OBJECT
public:
    explicit SpeedChartView(QWidget* parent = nullptr);

    /// Recomputes the plot from scratch and redraws.
    void setSamples(const QList<SpeedSample*>& samples);
    const SpeedChartPlot& plot() const { return m_plot; }
    /// The message shown instead of a chart, or empty while the chart shows.
    QString message() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyPalette();

    SpeedChartPlot m_plot;
    QStackedLayout* m_stack = nullptr;
    QLabel* m_message = nullptr;
    QChartView* m_chartView = nullptr;
    QChart* m_chart = nullptr;
    QLineSeries* m_series = nullptr;
    QCategoryAxis* m_timeAxis = nullptr; ///< milliseconds since the epoch, with the plot's marks as labels
    QValueAxis* m_speedAxis = nullptr;
};

} // namespace quendle2
