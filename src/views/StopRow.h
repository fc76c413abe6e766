#pragma once

#include "service/TrainService.h"
#include "views/RoutePresentation.h"
#include "views/ViewEnvironment.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPropertyAnimation;
class QVBoxLayout;

namespace quendle2 {

class RouteGlyph;

/// One stop of the route: marker, name, times and platform, the target mark on the menu-bar stop, and on a
/// click the portal's delay reasons and the stop's delay history in the current trip, newest first.
class StopRow final : public QWidget {
    Q_OBJECT
public:
    StopRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    /// Shows `stop` at `index` of the route; `currentStopIndex` and `targetEva` are the service's.
    void setStop(const TrainService::TripStop& stop, qsizetype index,
                 std::optional<qsizetype> currentStopIndex, const std::optional<QString>& targetEva);

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    RoutePresentation::Marker marker() const;
    bool hasTargetMark() const;
    /// The texts of the lines that open on a click: the delay reasons, then the history ("No delay history"
    /// when there is none).
    QStringList historyTexts() const;
    /// "Pl. 8", and the timetable's platform when the train uses another one; empty when unknown.
    QStringList platformTexts() const;

Q_SIGNALS:
    void expandedChanged(bool expanded);
    /// The history is opening or closing: the row is taller or shorter than a moment ago.
    void heightChanging();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void reloadHistory();
    /// Opens or closes the history: at once when the desktop turns animations off, else over a short moment.
    void showHistory(bool shown);

    ViewEnvironment m_environment;
    std::optional<TrainService::TripStop> m_stop;
    bool m_expanded = false;

    QWidget* m_header = nullptr;
    RouteGlyph* m_marker = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_scheduledArrival = nullptr;
    QLabel* m_actualArrival = nullptr;
    QLabel* m_platform = nullptr;
    QLabel* m_scheduledPlatform = nullptr;
    QWidget* m_secondLine = nullptr;
    QLabel* m_delay = nullptr;
    QLabel* m_departureWord = nullptr;
    QLabel* m_scheduledDeparture = nullptr;
    QLabel* m_actualDeparture = nullptr;
    RouteGlyph* m_target = nullptr;
    RouteGlyph* m_chevron = nullptr;
    QWidget* m_history = nullptr;
    QVBoxLayout* m_historyLayout = nullptr;
    QPropertyAnimation* m_historyAnimation = nullptr;
    QStringList m_historyTexts;
};

} // namespace quendle2
