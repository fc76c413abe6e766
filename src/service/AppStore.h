#pragma once

#include <QObject>
#include <QPointer>

namespace quendle2 {

class TrainService;

/// Holds the live TrainService for everyone who shows it. The shell replaces the idle first service by the
/// connected one; `serviceChanged` tells every holder to look it up again, so nobody keeps a stale service.
class AppStore final : public QObject {
    Q_OBJECT
public:
    /// Takes ownership of `service`.
    explicit AppStore(TrainService* service, QObject* parent = nullptr);

    TrainService* service() const { return m_service; }
    /// Takes ownership of `service`; the one it replaces is released.
    void setService(TrainService* service);

Q_SIGNALS:
    void serviceChanged();

private:
    QPointer<TrainService> m_service;
};

} // namespace quendle2
