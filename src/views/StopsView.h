#pragma once

#include "views/ViewEnvironment.h"

#include <QList>
#include <QWidget>

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

    explicit StopsView(const ViewEnvironment& environment, QWidget* parent = nullptr);

    QList<StopRow*> rows() const { return m_rows; }
    /// Whether "No route data available" shows instead of rows.
    bool showsEmptyText() const;

private:
    void refresh();
    /// The list is as tall as its rows, up to the limit; past it, it scrolls.
    void fitHeight();

    ViewEnvironment m_environment;
    ServiceObserver* m_observer;
    QLabel* m_empty;
    QScrollArea* m_scroll;
    QWidget* m_list;
    QVBoxLayout* m_listLayout;
    /// Rows are kept by position, so a row stays expanded while the route is refreshed under it.
    QList<StopRow*> m_rows;
};

} // namespace quendle2
