#pragma once

#include <QWidget>

class QLabel;
class QListView;
class QListWidget;

namespace quendle2 {

class LiveQueryModel;
class TripListView;
class ModelContext;
class Trip;
class TripSelection;

/// The left column: "Current & Recent Trips", newest first, and the link to the settings.
class SidebarView final : public QWidget {
    Q_OBJECT
public:
    SidebarView(ModelContext* context, TripSelection* selection, QWidget* parent = nullptr);

    LiveQueryModel* trips() const { return m_trips; }
    QListView* tripList() const;
    /// Whether "No trips yet" shows instead of the rows.
    bool showsEmptyText() const;
    /// The entries of a trip's context menu: "Export Trip…" for any trip, then "Delete Trip" for a closed
    /// one.
    static QStringList contextMenuEntries(const Trip* trip);
    /// "Delete Trip": clears the selection first when it is this trip, then deletes it with its samples.
    void deleteTrip(Trip* trip);

Q_SIGNALS:
    /// The user picked a trip row.
    void tripChosen();
    /// The user picked "Settings".
    void settingsChosen();

private:
    void showSelection();
    void userSelectionChanged();
    void showContextMenu(const QPoint& position);
    void updateEmptyText();

    ModelContext* m_context = nullptr;
    TripSelection* m_selection = nullptr;
    LiveQueryModel* m_trips = nullptr;
    TripListView* m_list = nullptr;
    QLabel* m_empty = nullptr;
    QListWidget* m_links = nullptr;
    bool m_showingSelection = false;
};

} // namespace quendle2
