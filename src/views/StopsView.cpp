#include "views/StopsView.h"

#include "platform/Clock.h"
#include "service/TrainService.h"
#include "views/RoutePresentation.h"
#include "views/ServiceObserver.h"
#include "views/StopRow.h"
#include "views/ViewStyle.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace quendle2 {

StopsView::StopsView(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent)
    , m_environment(environment)
    , m_observer(new ServiceObserver(
          environment.store,
          {&TrainService::allStopsChanged, &TrainService::currentStopIndexChanged,
           &TrainService::upcomingStopsChanged, &TrainService::selectedStopEvaChanged,
           &TrainService::currentTripChanged},
          [this] { refresh(); }, this))
    , m_empty(new QLabel(tr("No route data available"), this))
    , m_scroll(new QScrollArea(this))
    , m_list(new QWidget)
    , m_listLayout(new QVBoxLayout(m_list)) {
    auto* heading = new QLabel(tr("Route"), this);
    ViewStyle::style(heading, ViewStyle::Font::Headline);
    ViewStyle::style(m_empty, ViewStyle::Font::Body, ViewStyle::Tone::Secondary);

    m_listLayout->setContentsMargins(0, 0, 0, 0);
    m_listLayout->setSpacing(8);
    m_listLayout->addStretch();
    m_scroll->setWidget(m_list);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setMaximumHeight(maximumListHeight);
    // Only the user triggers slider actions (wheel, drag, keys, clicks on the bar); the list's own scrolling
    // and the range changes of a refresh set the value directly.
    connect(m_scroll->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        const Clock& clock = m_environment.clockOrSystem();
        m_userScrolledAt = clock.now();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(heading);
    layout->addWidget(m_scroll);
    layout->addWidget(m_empty);
    refresh();
}

bool StopsView::showsEmptyText() const {
    return !m_empty->isHidden();
}

void StopsView::refresh() {
    const TrainService* service = m_observer->service();
    static const std::vector<TrainService::TripStop> none;
    const std::vector<TrainService::TripStop>& stops = service != nullptr ? service->allStops() : none;
    const auto count = static_cast<qsizetype>(stops.size());

    m_empty->setVisible(count == 0);
    m_scroll->setVisible(count > 0);
    while (m_rows.size() > count) {
        delete m_rows.takeLast();
    }
    while (m_rows.size() < count) {
        auto* row = new StopRow(m_environment, m_list);
        connect(row, &StopRow::expandedChanged, this, &StopsView::fitHeight);
        connect(row, &StopRow::heightChanging, this, &StopsView::fitHeight);
        m_listLayout->insertWidget(m_listLayout->count() - 1, row);
        row->show(); // now, not later from the layout: fitHeight() below must count it
        m_rows.append(row);
    }
    if (count == 0) {
        return;
    }
    const std::optional<QString> target =
        RoutePresentation::targetEva(service->selectedStopEva(), service->upcomingStops());
    for (qsizetype i = 0; i < count; ++i) {
        m_rows[i]->setStop(stops[static_cast<std::size_t>(i)], i, service->currentStopIndex(), target);
    }
    fitHeight();
    if (service->currentStopIndex() != m_followedStop) {
        followCurrentStop();
    }
}

void StopsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_followedStop.reset(); // a trip shown anew starts where the train is
    followCurrentStop();
}

void StopsView::followCurrentStop() {
    const TrainService* service = m_observer->service();
    const std::optional<qsizetype> current = service != nullptr ? service->currentStopIndex() : std::nullopt;
    if (!current || *current >= m_rows.size()) {
        return;
    }
    const Clock& clock = m_environment.clockOrSystem();
    if (m_userScrolledAt && Clock::secondsBetween(*m_userScrolledAt, clock.now()) < userScrollHoldSeconds) {
        return;
    }
    m_followedStop = current;
    // A third of the box above and below: the stops just passed and the next ones show too.
    m_scroll->ensureWidgetVisible(m_rows.at(*current), 0, m_scroll->viewport()->height() / 3);
}

void StopsView::fitHeight() {
    // The rows' own layouts first: a row that just opened or closed its history has not been laid out yet.
    for (StopRow* row : std::as_const(m_rows)) {
        row->layout()->activate();
    }
    m_listLayout->activate();
    m_scroll->setFixedHeight(std::min(maximumListHeight, m_list->sizeHint().height()));
}

} // namespace quendle2
