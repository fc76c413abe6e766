#include "views/SidebarView.h"

#include "store/LiveQueryModel.h"
#include "store/ModelContext.h"
#include "store/Trip.h"
#include "views/TripExportDialog.h"
#include "views/TripListModel.h"
#include "views/TripListView.h"
#include "views/TripRowDelegate.h"
#include "views/TripSelection.h"
#include "views/UnfocusedItemDelegate.h"
#include "views/ViewIcons.h"
#include "views/ViewStyle.h"

#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>

namespace quendle2 {

namespace {

Trip* tripAt(const QModelIndex& index) {
    return qobject_cast<Trip*>(index.data(LiveQueryModel::RecordRole).value<QObject*>());
}

} // namespace

SidebarView::SidebarView(ModelContext* context, TripSelection* selection, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_selection(selection)
    , m_trips(LiveQueryModel::tripsNewestFirst(context, this))
    , m_list(new TripListView(this))
    , m_empty(new QLabel(tr("No trips yet"), this))
    , m_links(new QListWidget(this)) {
    auto* header = new QLabel(tr("Current & Recent Trips"), this);
    ViewStyle::style(header, ViewStyle::Font::Caption, ViewStyle::Tone::Secondary);
    QFont headerFont = header->font();
    headerFont.setWeight(QFont::DemiBold);
    header->setFont(headerFont);
    ViewStyle::style(m_empty, ViewStyle::Font::Body, ViewStyle::Tone::Secondary);

    m_list->setModel(new TripListModel(m_list));
    static_cast<TripListModel*>(m_list->model())->setSourceModel(m_trips);
    m_list->setItemDelegate(new TripRowDelegate(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setAttribute(Qt::WA_MacShowFocusRect, false);

    auto* settings = new QListWidgetItem(ViewIcons::settings(), tr("Settings"), m_links);
    Q_UNUSED(settings)
    m_links->setItemDelegate(new UnfocusedItemDelegate(m_links));
    m_links->setFrameShape(QFrame::NoFrame);
    m_links->setFixedHeight(m_links->sizeHintForRow(0) + 2 * m_links->frameWidth() + 4);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 8, 4, 8);
    layout->setSpacing(4);
    layout->addWidget(header);
    // The rows take the room below the header; without them the text does, at its top, so that it stays
    // under the header and the settings link stays at the bottom.
    layout->addWidget(m_empty, 1, Qt::AlignTop);
    layout->addWidget(m_list, 1);
    layout->addSpacing(8);
    layout->addWidget(m_links);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SidebarView::userSelectionChanged);
    connect(m_list, &QListView::customContextMenuRequested, this, &SidebarView::showContextMenu);
    connect(m_links, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_links->selectedItems().isEmpty()) {
            m_list->selectionModel()->clear();
            Q_EMIT settingsChosen();
        }
    });
    connect(m_selection, &TripSelection::changed, this, &SidebarView::showSelection);
    // A removed current row hands the selection to its neighbour; that is the view's doing, not the user's.
    connect(m_trips, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { m_showingSelection = true; });
    connect(m_trips, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_showingSelection = false;
        showSelection();
    });
    connect(m_trips, &LiveQueryModel::refreshed, this, &SidebarView::updateEmptyText);
    connect(m_trips, &QAbstractItemModel::rowsRemoved, this, &SidebarView::updateEmptyText);
    updateEmptyText();
    showSelection();
}

QListView* SidebarView::tripList() const {
    return m_list;
}

bool SidebarView::showsEmptyText() const {
    return !m_empty->isHidden();
}

QStringList SidebarView::contextMenuEntries(const Trip* trip) {
    if (trip == nullptr) {
        return {};
    }
    // A running trip is still being written to; it can go only once the service has closed it.
    return trip->active() ? QStringList{tr("Export Trip…")}
                          : QStringList{tr("Export Trip…"), tr("Delete Trip")};
}

void SidebarView::deleteTrip(Trip* trip) {
    if (!contextMenuEntries(trip).contains(tr("Delete Trip"))) {
        return;
    }
    if (m_selection->tripID() == trip->id()) {
        m_selection->setTripID(std::nullopt);
    }
    m_context->deleteRecord(trip);
}

void SidebarView::showSelection() {
    m_showingSelection = true;
    const std::optional<QUuid> id = m_selection->tripID();
    QModelIndex target;
    for (int row = 0; id && row < m_trips->rowCount(); ++row) {
        const QModelIndex index = m_list->model()->index(row, 0);
        if (const Trip* trip = tripAt(index); trip != nullptr && trip->id() == *id) {
            target = index;
            break;
        }
    }
    if (target.isValid()) {
        m_list->selectionModel()->select(target, QItemSelectionModel::ClearAndSelect);
        m_list->selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    } else {
        // The current row goes too: a view moves a removed current row's selection to its neighbour.
        m_list->selectionModel()->clear();
    }
    m_showingSelection = false;
}

void SidebarView::userSelectionChanged() {
    if (m_showingSelection) {
        return;
    }
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    const Trip* trip = selected.isEmpty() ? nullptr : tripAt(selected.first());
    m_selection->setTripID(trip != nullptr ? std::optional<QUuid>(trip->id()) : std::nullopt);
    if (trip != nullptr) {
        m_links->clearSelection();
        Q_EMIT tripChosen();
    }
}

void SidebarView::showContextMenu(const QPoint& position) {
    Trip* trip = tripAt(m_list->indexAt(position));
    if (contextMenuEntries(trip).isEmpty()) {
        return;
    }
    QMenu menu(this);
    QAction* exportTrip = menu.addAction(ViewIcons::exportTrip(), tr("Export Trip…"));
    QAction* remove = nullptr;
    if (!trip->active()) {
        menu.addSeparator();
        remove = menu.addAction(ViewIcons::deleteTrip(), tr("Delete Trip"));
    }
    QPointer<Trip> target(trip);
    QAction* chosen = menu.exec(m_list->viewport()->mapToGlobal(position));
    if (!target || chosen == nullptr) {
        return;
    }
    if (chosen == exportTrip) {
        TripExportDialog::run(target, window());
    } else if (chosen == remove) {
        deleteTrip(target);
    }
}

void SidebarView::updateEmptyText() {
    const bool empty = m_trips->rowCount() == 0;
    m_empty->setVisible(empty);
    m_list->setVisible(!empty);
}

} // namespace quendle2
