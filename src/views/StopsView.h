#pragma once

#include "views/ViewEnvironment.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

#include <optional>

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace quendle2 {

class ServiceObserver;
class StopRow;

/// "Route": every stop of the train being polled now, whichever trip is on screen.
class StopsView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int maximumListHeight = 280;
    /// How long the list stays where the user scrolled it before it follows the train again.
    static constexpr int userScrollHoldSeconds = 30;

    explicit StopsView(const ViewEnvironment& environment, QWidget* parent = nullptr);

    QList<StopRow*> rows() const { return m_rows; }
    /// Whether "No route data available" shows instead of rows.
    bool showsEmptyText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    /// Scrolls the current stop's row into view, unless the user scrolled the list a moment ago.
    void followCurrentStop();
    /// The list is as tall as its rows, up to the limit; past it, it scrolls.
    void fitHeight();

    ViewEnvironment m_environment;
    ServiceObserver* m_observer = nullptr;
    QLabel* m_empty = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_list = nullptr;
    QVBoxLayout* m_listLayout = nullptr;
    /// Rows are kept by position, so a row stays expanded while the route is refreshed under it.
    QList<StopRow*> m_rows;
    /// The current stop the list last scrolled to; another one (the train moved on) scrolls again.
    std::optional<qsizetype> m_followedStop;
    std::optional<QDateTime> m_userScrolledAt;
};

} // namespace quendle2
