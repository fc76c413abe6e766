#pragma once

#include <QObject>
#include <QUuid>

#include <optional>

namespace quendle2 {

/// The main window's selected trip: written by the sidebar, read by the detail pane. Lives as long as its
/// window and is never stored, so a new window starts without a selection.
class TripSelection final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    std::optional<QUuid> tripID() const { return m_tripID; }
    void setTripID(const std::optional<QUuid>& tripID);

Q_SIGNALS:
    void changed();

private:
    std::optional<QUuid> m_tripID;
};

} // namespace quendle2
