#include "views/TripDetailView.h"

#include "platform/Clock.h"
#include "platform/SpeedText.h"
#include "platform/TimeOfDayText.h"
#include "store/Trip.h"
#include "views/DestinationSelector.h"
#include "views/SpeedChartView.h"
#include "views/StatCard.h"
#include "views/StopsView.h"
#include "views/TripText.h"
#include "views/ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

TripDetailView::TripDetailView(Trip* trip, const ViewEnvironment& environment, QWidget* parent)
    : QScrollArea(parent)
    , m_trip(trip)
    , m_environment(environment) {
    auto* content = new QWidget;
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(ViewStyle::margin, ViewStyle::margin, ViewStyle::margin, ViewStyle::margin);
    m_column->setSpacing(16);

    m_title = new QLabel(content);
    ViewStyle::style(m_title, ViewStyle::Font::Title);
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_activeBadge = new QLabel(tr("Active"), content);
    ViewStyle::style(m_activeBadge, ViewStyle::Font::Caption, ViewStyle::Tone::Green);
    m_start = new QLabel(content);
    m_dash = new QLabel(u"\u2013"_s, content);
    m_end = new QLabel(content);
    auto* header = new QHBoxLayout;
    header->addWidget(m_title);
    header->addWidget(m_activeBadge);
    header->addStretch();
    header->addWidget(m_start);
    header->addWidget(m_dash);
    header->addWidget(m_end);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(24);
    for (const QString& title : {tr("Duration"), tr("Max Speed"), tr("Avg Speed")}) {
        m_cards.append(new StatCard(title, QString(), content));
        cards->addWidget(m_cards.last());
    }
    cards->addStretch();

    auto* live = new QVBoxLayout;
    live->setSpacing(8);
    live->addLayout(header);
    live->addLayout(cards);
    m_column->addLayout(live);

    auto* chartBlock = new QVBoxLayout;
    chartBlock->setSpacing(8);
    auto* chartHeading = new QLabel(tr("Speed over time"), content);
    ViewStyle::style(chartHeading, ViewStyle::Font::Headline);
    m_chart = new SpeedChartView(content);
    chartBlock->addWidget(chartHeading);
    chartBlock->addWidget(m_chart);
    m_column->addLayout(chartBlock);

    m_stops = new StopsView(environment, content);
    m_column->addWidget(m_stops);
    m_column->addStretch();

    setWidget(content);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_beat.setInterval(beatMilliseconds);
    connect(&m_beat, &QTimer::timeout, this, &TripDetailView::refreshLiveBlock);

    if (m_trip) {
        for (auto changed : {&Trip::trainIdentifierChanged, &Trip::activeChanged, &Trip::startDateChanged,
                             &Trip::endDateChanged, &Trip::maxSpeedChanged, &Trip::avgSpeedChanged}) {
            // Every sample changes the speeds; with the window closed, the view catches up when shown.
            connect(m_trip.get(), changed, this, [this] {
                if (window()->isVisible()) {
                    refreshLiveBlock();
                }
            });
        }
        connect(m_trip.get(), &Trip::activeChanged, this, &TripDetailView::updateSelector);
        connect(m_trip.get(), &Trip::samplesChanged, this, &TripDetailView::scheduleChartRefresh);
    }
    refreshLiveBlock();
    updateSelector();
    refreshChart();
}

QString TripDetailView::titleText() const {
    return m_title->text();
}

QStringList TripDetailView::timeTexts() const {
    QStringList texts{m_start->text()};
    if (!m_end->isHidden()) {
        texts << m_dash->text() << m_end->text();
    }
    return texts;
}

bool TripDetailView::showsActiveBadge() const {
    return !m_activeBadge->isHidden();
}

void TripDetailView::refreshLiveBlock() {
    if (!m_trip) {
        return;
    }
    const Clock& clock = m_environment.clockOrSystem();
    m_title->setText(TripText::detailTitle(m_trip->trainIdentifier()));
    m_activeBadge->setVisible(m_trip->active());
    m_start->setText(timeOfDayText(m_trip->startDate()));
    const std::optional<QDateTime> end = m_trip->endDate();
    m_dash->setVisible(end.has_value());
    m_end->setVisible(end.has_value());
    m_end->setText(end ? timeOfDayText(*end) : QString());
    m_cards[0]->setValue(TripText::durationText(m_trip->startDate(), end, clock.now()));
    m_cards[1]->setValue(speedText(m_trip->maxSpeed()));
    m_cards[2]->setValue(speedText(m_trip->avgSpeed()));
}

TripDetailView::~TripDetailView() {
    holdSamples(false);
}

void TripDetailView::holdSamples(bool hold) {
    // While the chart is seen it redraws with every sample, which must not reread them all each time; while
    // nobody sees it (a window closed to the status bar for weeks), they need not stay in memory.
    if (hold == m_holdingSamples || !m_trip) {
        return;
    }
    m_holdingSamples = hold;
    if (hold) {
        m_trip->holdSamples();
    } else {
        m_trip->releaseSamples();
    }
}

void TripDetailView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    // Also after the window comes back from being minimised: the beat stops whenever nobody can see it.
    refreshLiveBlock();
    m_beat.start();
    holdSamples(true);
    if (m_chartStale) {
        refreshChart();
    }
}

void TripDetailView::hideEvent(QHideEvent* event) {
    QScrollArea::hideEvent(event);
    m_beat.stop();
    holdSamples(false);
}

void TripDetailView::refreshChart() {
    m_chartRefreshScheduled = false;
    m_chartStale = false;
    m_chart->setSamples(m_trip ? m_trip->samples() : QList<SpeedSample*>{});
}

bool TripDetailView::chartUnseen() const {
    // A minimised window stays visible to Qt; its children are shown again (showEvent) when it is restored.
    return !isVisible() || window()->isMinimized();
}

void TripDetailView::scheduleChartRefresh() {
    // Nobody sees a hidden chart (settings in front, window minimised or closed to the status bar): it
    // catches up when shown. Several samples may join in one turn; the chart is rebuilt once.
    if (chartUnseen()) {
        m_chartStale = true;
        return;
    }
    if (!m_chartRefreshScheduled) {
        m_chartRefreshScheduled = true;
        QTimer::singleShot(0, this, [this] {
            if (chartUnseen()) {
                m_chartRefreshScheduled = false;
                m_chartStale = true;
                return;
            }
            refreshChart();
        });
    }
}

void TripDetailView::updateSelector() {
    const bool wanted = m_trip && m_trip->active();
    if (wanted && m_selector == nullptr) {
        m_selector = new DestinationSelector(m_environment, widget());
        m_column->insertWidget(m_column->indexOf(m_stops), m_selector);
    } else if (!wanted && m_selector != nullptr) {
        // Later, not now: the trip may close while the selector's pop-up is open.
        m_column->removeWidget(m_selector);
        m_selector->hide();
        m_selector->deleteLater();
        m_selector = nullptr;
    }
}

} // namespace quendle2
