#include "views/StopRow.h"

#include "platform/TimeOfDayText.h"
#include "service/AppStore.h"
#include "store/StopSnapshot.h"
#include "views/RouteGlyph.h"
#include "views/TripText.h"
#include "views/ViewStyle.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QStyle>

#include <algorithm>

namespace quendle2 {

namespace {

constexpr int historyTimeWidth = 60;
constexpr int historyAnimationMilliseconds = 180;

QLabel* label(QWidget* parent, ViewStyle::Font font, ViewStyle::Tone tone = ViewStyle::Tone::Primary) {
    auto* result = new QLabel(parent);
    ViewStyle::style(result, font, tone);
    return result;
}

void showTime(QLabel* target, const std::optional<QDateTime>& instant) {
    target->setVisible(instant.has_value());
    target->setText(instant ? timeOfDayText(*instant) : QString());
}

} // namespace

StopRow::StopRow(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent)
    , m_environment(environment)
    , m_header(new QWidget(this))
    , m_marker(new RouteGlyph(RouteGlyph::Kind::Marker, m_header))
    , m_target(new RouteGlyph(RouteGlyph::Kind::Target, m_header))
    , m_chevron(new RouteGlyph(RouteGlyph::Kind::Chevron, m_header))
    , m_history(new QWidget(this))
    , m_historyLayout(new QVBoxLayout(m_history))
    , m_historyAnimation(new QPropertyAnimation(m_history, "maximumHeight", this)) {
    const ViewStyle::Tone dim = ViewStyle::Tone::Secondary;

    m_name = label(m_header, ViewStyle::Font::Body);
    m_scheduledArrival = label(m_header, ViewStyle::Font::Body, dim);
    m_actualArrival = label(m_header, ViewStyle::Font::Body);
    auto* firstLine = new QHBoxLayout;
    firstLine->setSpacing(6);
    firstLine->addWidget(m_name);
    firstLine->addWidget(m_scheduledArrival);
    firstLine->addWidget(m_actualArrival);
    firstLine->addStretch();
    // Where station boards show it: at the end of the line; a changed one in orange beside the old one,
    // struck through.
    m_platform = label(m_header, ViewStyle::Font::Body, dim);
    m_scheduledPlatform = label(m_header, ViewStyle::Font::Body, dim);
    QFont struck = m_scheduledPlatform->font();
    struck.setStrikeOut(true);
    m_scheduledPlatform->setFont(struck);
    firstLine->addWidget(m_platform);
    firstLine->addWidget(m_scheduledPlatform);

    m_secondLine = new QWidget(m_header);
    m_delay = label(m_secondLine, ViewStyle::Font::Caption, ViewStyle::Tone::Orange);
    m_departureWord = label(m_secondLine, ViewStyle::Font::Caption, dim);
    m_departureWord->setText(tr("dep"));
    m_scheduledDeparture = label(m_secondLine, ViewStyle::Font::Caption, dim);
    m_actualDeparture = label(m_secondLine, ViewStyle::Font::Caption, dim);
    auto* secondLine = new QHBoxLayout(m_secondLine);
    secondLine->setContentsMargins(0, 0, 0, 0);
    secondLine->setSpacing(6);
    for (QLabel* part : {m_delay, m_departureWord, m_scheduledDeparture, m_actualDeparture}) {
        secondLine->addWidget(part);
    }
    secondLine->addStretch();

    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addLayout(firstLine);
    texts->addWidget(m_secondLine);

    m_target->setToolTip(tr("This stop is selected for menubar arrival"));
    auto* header = new QHBoxLayout(m_header);
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(8);
    // The marker sits on the first line of text, not in the middle of two.
    const int markerTop = (m_name->sizeHint().height() - m_marker->sizeHint().height()) / 2;
    auto* markerColumn = new QVBoxLayout;
    markerColumn->setContentsMargins(0, std::max(0, markerTop), 0, 0);
    markerColumn->addWidget(m_marker);
    markerColumn->addStretch();
    header->addLayout(markerColumn);
    header->addLayout(texts, 1);
    header->addWidget(m_target, 0, Qt::AlignTop);
    header->addWidget(m_chevron, 0, Qt::AlignTop);

    // Its gap to the header is its own margin, not the column's spacing, so that it opens from nothing.
    m_historyLayout->setContentsMargins(16, 4, 0, 0);
    m_historyLayout->setSpacing(2);
    m_history->hide();
    connect(m_historyAnimation, &QPropertyAnimation::valueChanged, this, &StopRow::heightChanging);
    connect(m_historyAnimation, &QPropertyAnimation::finished, this, [this] {
        m_history->setVisible(m_expanded);
        // Lines that join later (a poll while open) must not be cut off at the height it had.
        m_history->setMaximumHeight(QWIDGETSIZE_MAX);
    });

    auto* content = new QVBoxLayout;
    content->setContentsMargins(0, 4, 0, 4);
    content->setSpacing(0);
    content->addWidget(m_header);
    content->addWidget(m_history);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    ViewStyle::setTone(divider, ViewStyle::Tone::Separator);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addLayout(content);
    outer->addWidget(divider);
}

void StopRow::setStop(const TrainService::TripStop& stop, qsizetype index,
                      std::optional<qsizetype> currentStopIndex, const std::optional<QString>& targetEva) {
    m_stop.emplace(stop);
    m_marker->setMarker(RoutePresentation::marker(index, currentStopIndex, stop.passed));
    m_name->setText(stop.name);
    showTime(m_scheduledArrival, stop.scheduledArrival);
    showTime(m_actualArrival, stop.actualArrival);

    const std::optional<QString> delay = RoutePresentation::delayText(stop);
    m_delay->setVisible(delay.has_value());
    m_delay->setText(delay.value_or(QString()));
    const bool departure = RoutePresentation::showsDeparture(stop);
    m_departureWord->setVisible(departure);
    showTime(m_scheduledDeparture, stop.scheduledDeparture);
    showTime(m_actualDeparture, stop.actualDeparture);
    m_secondLine->setVisible(delay.has_value() || departure);

    const std::optional<QString> platform = stop.platform.current();
    m_platform->setVisible(platform.has_value());
    m_platform->setText(platform ? tr("Pl. %1").arg(*platform) : QString());
    ViewStyle::setTone(m_platform,
                       stop.platform.changed() ? ViewStyle::Tone::Orange : ViewStyle::Tone::Secondary);
    m_scheduledPlatform->setVisible(stop.platform.changed());
    m_scheduledPlatform->setText(stop.platform.changed() ? *stop.platform.scheduled : QString());

    m_target->setVisible(targetEva.has_value() && *targetEva == stop.eva);
    if (m_expanded) {
        reloadHistory();
    }
}

void StopRow::setExpanded(bool expanded) {
    if (expanded == m_expanded) {
        return;
    }
    m_expanded = expanded;
    m_chevron->setExpanded(expanded);
    if (expanded) {
        reloadHistory();
    }
    showHistory(expanded);
    Q_EMIT expandedChanged(expanded);
}

void StopRow::showHistory(bool shown) {
    const int from =
        m_history->isHidden() ? 0 : std::min(m_history->maximumHeight(), m_history->sizeHint().height());
    m_historyAnimation->stop();
    const bool animated = QApplication::isEffectEnabled(Qt::UI_AnimateCombo) &&
                          style()->styleHint(QStyle::SH_Widget_Animation_Duration, nullptr, this) > 0;
    if (!animated) {
        m_history->setMaximumHeight(QWIDGETSIZE_MAX);
        m_history->setVisible(shown);
        return;
    }
    m_history->setMaximumHeight(from);
    m_history->show();
    m_historyAnimation->setDuration(historyAnimationMilliseconds);
    m_historyAnimation->setStartValue(from);
    m_historyAnimation->setEndValue(shown ? m_history->sizeHint().height() : 0);
    m_historyAnimation->start();
}

RoutePresentation::Marker StopRow::marker() const {
    return m_marker->marker();
}

bool StopRow::hasTargetMark() const {
    return !m_target->isHidden();
}

QStringList StopRow::historyTexts() const {
    return m_historyTexts;
}

QStringList StopRow::platformTexts() const {
    QStringList texts;
    for (const QLabel* part : {m_platform, m_scheduledPlatform}) {
        if (!part->isHidden()) {
            texts << part->text();
        }
    }
    return texts;
}

void StopRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_header->geometry().contains(event->position().toPoint())) {
        setExpanded(!m_expanded);
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void StopRow::reloadHistory() {
    QList<StopSnapshot*> history;
    if (m_stop) {
        const TrainService* service =
            m_environment.store != nullptr ? m_environment.store->service() : nullptr;
        history = RoutePresentation::delayHistory(m_environment.context, service, m_stop->eva);
    }
    const QStringList reasons = m_stop ? m_stop->delayReasons : QStringList();
    QStringList texts = reasons;
    for (const StopSnapshot* snapshot : history) {
        texts << (timeOfDayText(snapshot->createdAt()) + u' ' +
                  snapshot->arrivalDelayText().value_or(QString()))
                     .trimmed();
    }
    if (history.isEmpty()) {
        texts << tr("No delay history");
    }
    // The route is refreshed on every poll; the lines are rebuilt only when what they say changed.
    if (texts == m_historyTexts && !m_historyLayout->isEmpty()) {
        return;
    }
    m_historyTexts = texts;
    while (QLayoutItem* item = m_historyLayout->takeAt(0)) {
        delete item->widget();
        delete item->layout();
        delete item;
    }
    for (const QString& reason : reasons) {
        QLabel* line = label(m_history, ViewStyle::Font::Caption, ViewStyle::Tone::Orange);
        line->setText(reason);
        line->setWordWrap(true);
        m_historyLayout->addWidget(line);
    }
    if (history.isEmpty()) {
        QLabel* empty = label(m_history, ViewStyle::Font::Caption, ViewStyle::Tone::Secondary);
        empty->setText(texts.last());
        m_historyLayout->addWidget(empty);
        return;
    }
    for (const StopSnapshot* snapshot : history) {
        auto* line = new QWidget(m_history);
        auto* row = new QHBoxLayout(line);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        QLabel* time = label(line, ViewStyle::Font::Caption);
        time->setText(timeOfDayText(snapshot->createdAt()));
        time->setFixedWidth(historyTimeWidth);
        QLabel* delay = label(line, ViewStyle::Font::Caption);
        delay->setText(snapshot->arrivalDelayText().value_or(QString()));
        delay->setVisible(snapshot->arrivalDelayText().has_value());
        row->addWidget(time);
        row->addWidget(delay);
        row->addStretch();
        m_historyLayout->addWidget(line);
    }
}

} // namespace quendle2
