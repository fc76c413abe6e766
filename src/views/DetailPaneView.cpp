#include "views/DetailPaneView.h"

#include "store/LiveQueryModel.h"
#include "store/Trip.h"
#include "views/DetailChoice.h"
#include "views/TripDetailView.h"
#include "views/TripSelection.h"
#include "views/ViewStyle.h"

#include <QLabel>
#include <QStackedLayout>
#include <QTimer>

namespace quendle2 {

DetailPaneView::DetailPaneView(const ViewEnvironment& environment, TripSelection* selection, QWidget* parent)
    : QWidget(parent)
    , m_environment(environment)
    , m_selection(selection)
    , m_trips(LiveQueryModel::allTrips(environment.context, this))
    , m_stack(new QStackedLayout(this))
    , m_hint(new QLabel(tr("Select a trip or open Settings"), this)) {
    m_hint->setAlignment(Qt::AlignCenter);
    ViewStyle::style(m_hint, ViewStyle::Font::Body, ViewStyle::Tone::Secondary);
    m_stack->addWidget(m_hint);

    // A click is answered at once, unless the rows are about to change in this turn.
    connect(m_selection, &TripSelection::changed, this, [this] {
        if (m_trips->refreshPending()) {
            scheduleChoice();
        } else {
            choose();
        }
    });
    // Every change that can alter the choice: trips coming and going, and a trip starting or ending.
    connect(m_trips, &QAbstractItemModel::rowsInserted, this, &DetailPaneView::scheduleChoice);
    connect(m_trips, &QAbstractItemModel::rowsRemoved, this, &DetailPaneView::scheduleChoice);
    connect(m_trips, &QAbstractItemModel::rowsMoved, this, &DetailPaneView::scheduleChoice);
    connect(m_trips, &QAbstractItemModel::modelReset, this, &DetailPaneView::scheduleChoice);
    connect(m_trips, &QAbstractItemModel::dataChanged, this, &DetailPaneView::scheduleChoice);
    connect(m_trips, &LiveQueryModel::refreshed, this, [this] {
        if (m_choicePending) {
            choose();
        }
    });
    choose();
}

Trip* DetailPaneView::shownTrip() const {
    return m_detail != nullptr ? m_detail->trip() : nullptr;
}

bool DetailPaneView::showsHint() const {
    return m_stack->currentWidget() == m_hint;
}

void DetailPaneView::scheduleChoice() {
    // A train change closes the old trip at once and brings the new one with the next refresh of the rows.
    // Deciding in between would build the detail of whichever trip comes first (all its samples, its chart)
    // only to drop it: the choice waits for the refresh when one is due, and is made once per turn.
    if (m_choicePending) {
        return;
    }
    m_choicePending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_choicePending && !m_trips->refreshPending()) {
            choose();
        }
    });
}

void DetailPaneView::choose() {
    m_choicePending = false;
    QList<Trip*> trips;
    trips.reserve(m_trips->rowCount());
    for (PersistentModel* record : m_trips->records()) {
        trips.append(static_cast<Trip*>(record));
    }
    Trip* chosen = chooseDetailTrip(trips, m_selection->tripID());
    if (chosen == shownTrip() && (chosen != nullptr || m_detail == nullptr)) {
        return;
    }
    if (m_detail != nullptr) {
        m_stack->removeWidget(m_detail);
        m_detail->hide();
        m_detail->deleteLater();
        m_detail = nullptr;
    }
    if (chosen == nullptr) {
        m_stack->setCurrentWidget(m_hint);
        return;
    }
    m_detail = new TripDetailView(chosen, m_environment, this);
    m_stack->addWidget(m_detail);
    m_stack->setCurrentWidget(m_detail);
}

} // namespace quendle2
