#pragma once

#include "views/ViewEnvironment.h"

#include <QWidget>

class QLabel;
class QStackedLayout;

namespace quendle2 {

class LiveQueryModel;
class Trip;
class TripDetailView;
class TripSelection;

/// The right column: the selected trip, else the active one, else the first; a hint only when there are no
/// trips at all.
class DetailPaneView final : public QWidget {
    Q_OBJECT
public:
    DetailPaneView(const ViewEnvironment& environment, TripSelection* selection, QWidget* parent = nullptr);

    /// The trip shown, or none while the hint shows.
    Trip* shownTrip() const;
    TripDetailView* detailView() const { return m_detail; }
    /// Whether "Select a trip or open Settings" shows.
    bool showsHint() const;

private:
    void scheduleChoice();
    void choose();

    ViewEnvironment m_environment;
    TripSelection* m_selection = nullptr;
    LiveQueryModel* m_trips = nullptr;
    QStackedLayout* m_stack = nullptr;
    QLabel* m_hint = nullptr;
    TripDetailView* m_detail = nullptr;
    bool m_choicePending = false;
};

} // namespace quendle2
