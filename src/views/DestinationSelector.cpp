#include "views/DestinationSelector.h"

#include "service/TrainService.h"
#include "views/ServiceObserver.h"
#include "views/ViewStyle.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quendle2 {

DestinationSelector::DestinationSelector(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent)
    , m_observer(new ServiceObserver(
          environment.store, {&TrainService::upcomingStopsChanged, &TrainService::selectedStopEvaChanged},
          [this] { refresh(); }, this))
    , m_combo(new QComboBox(this)) {
    auto* heading = new QLabel(tr("Destination"), this);
    ViewStyle::style(heading, ViewStyle::Font::Headline);
    m_combo->setAccessibleName(tr("Destination"));
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_combo, &QComboBox::activated, this, &DestinationSelector::choose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(heading);
    layout->addWidget(m_combo, 0, Qt::AlignLeft);
    refresh();
}

void DestinationSelector::refresh() {
    const TrainService* service = m_observer->service();
    const QList<RoutePresentation::DestinationEntry> entries = RoutePresentation::destinationEntries(
        service != nullptr ? service->upcomingStops() : std::vector<TrainService::UpcomingStop>{});
    const QString value =
        RoutePresentation::destinationValue(service != nullptr ? service->selectedStopEva() : std::nullopt);

    const QSignalBlocker blocker(m_combo);
    // Every document brings fresh stop ids; the menu is rebuilt only when what it offers changed, so that an
    // open pop-up is not pulled from under the user every few seconds.
    const auto offered = [](const QList<RoutePresentation::DestinationEntry>& list) {
        QStringList keys;
        for (const auto& entry : list) {
            keys << entry.value << entry.label;
        }
        return keys;
    };
    if (offered(entries) != offered(m_entries) || m_combo->count() != entries.size()) {
        m_combo->clear();
        for (const auto& entry : entries) {
            m_combo->addItem(entry.label, entry.value);
        }
    }
    m_entries = entries;
    // A chosen stop that is no longer offered selects nothing, rather than pretending "Auto".
    m_combo->setCurrentIndex(m_combo->findData(value));
}

void DestinationSelector::choose(int index) {
    TrainService* service = m_observer->service();
    if (service == nullptr || index < 0 || index >= m_entries.size()) {
        return;
    }
    service->selectDestination(RoutePresentation::destinationChoice(m_entries.at(index).value));
}

} // namespace quendle2
