#pragma once

#include "store/RecordRef.h"
#include "store/Trip.h"
#include "views/ViewEnvironment.h"

#include <QPointer>
#include <QScrollArea>
#include <QTimer>

class QLabel;
class QVBoxLayout;

namespace quendle2 {

class DestinationSelector;
class SpeedChartView;
class StatCard;
class StopsView;
class Trip;

/// One trip: header, three stat cards, the speed chart, and the route of the train being polled.
class TripDetailView final : public QScrollArea {
    Q_OBJECT
public:
    /// How often the header and the cards are rebuilt while shown, so that a running trip's duration counts.
    static constexpr int beatMilliseconds = 10'000;

    TripDetailView(Trip* trip, const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~TripDetailView() override;

    Trip* trip() const { return m_trip; }
    QString titleText() const;
    /// The header's times as shown: the start, or the start, "–" and the end.
    QStringList timeTexts() const;
    bool showsActiveBadge() const;
    QList<StatCard*> cards() const { return m_cards; }
    SpeedChartView* chart() const { return m_chart; }
    DestinationSelector* destinationSelector() const { return m_selector; }
    StopsView* stopsView() const { return m_stops; }
    const QTimer& beat() const { return m_beat; }

    /// Rebuilds the header and the cards from the trip and the clock.
    void refreshLiveBlock();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refreshChart();
    void scheduleChartRefresh();
    bool chartUnseen() const;
    void updateSelector();
    void holdSamples(bool hold);

    RecordRef<Trip> m_trip;
    ViewEnvironment m_environment;
    QTimer m_beat;
    bool m_chartRefreshScheduled = false;
    bool m_chartStale = false;
    bool m_holdingSamples = false;

    QVBoxLayout* m_column = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_activeBadge = nullptr;
    QLabel* m_start = nullptr;
    QLabel* m_dash = nullptr;
    QLabel* m_end = nullptr;
    QList<StatCard*> m_cards;
    SpeedChartView* m_chart = nullptr;
    DestinationSelector* m_selector = nullptr;
    StopsView* m_stops = nullptr;
};

} // namespace quendle2
