#pragma once

#include <QObject>

class QSocketNotifier;

namespace quendle2 {

/// Turns SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C in a terminal, a closed terminal) into an orderly quit,
/// so that the store commits what is pending instead of the process dying mid-turn.
class QuitSignals final : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

Q_SIGNALS:
    void quitRequested(int signalNumber);

private:
    static void handle(int signalNumber);
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quendle2
