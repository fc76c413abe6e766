#pragma once

#include "views/RoutePresentation.h"
#include "views/ViewEnvironment.h"

#include <QWidget>

class QComboBox;

namespace quendle2 {

class ServiceObserver;

/// "Destination": the stop whose arrival the menu bar shows, automatic or one of the stops ahead.
class DestinationSelector final : public QWidget {
    Q_OBJECT
public:
    explicit DestinationSelector(const ViewEnvironment& environment, QWidget* parent = nullptr);

    QComboBox* comboBox() const { return m_combo; }
    QList<RoutePresentation::DestinationEntry> entries() const { return m_entries; }

private:
    void refresh();
    void choose(int index);

    ServiceObserver* m_observer = nullptr;
    QComboBox* m_combo = nullptr;
    QList<RoutePresentation::DestinationEntry> m_entries;
};

} // namespace quendle2
