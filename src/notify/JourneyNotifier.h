#pragma once

#include "notify/DesktopNotifier.h"
#include "notify/JourneyNotices.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "store/AppSettings.h"
#include "store/RecordRef.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

namespace quendle2 {

class AppStore;
class ModelContainer;

/// Tells the traveller what matters before it matters: after every service update it asks `JourneyNotices`
/// what is due under the user's settings and hands that to the desktop.
class JourneyNotifier final : public QObject {
    Q_OBJECT
public:
    /// The container is held weakly.
    JourneyNotifier(AppStore* store, ModelContainer* container, std::unique_ptr<DesktopNotifier> notifier,
                    const Clock& clock = Clock::system(), QObject* parent = nullptr);
    ~JourneyNotifier() override;

    DesktopNotifier* notifier() const { return m_notifier.get(); }

    void check();

private:
    QPointer<AppStore> m_store;
    QPointer<ModelContainer> m_container;
    std::unique_ptr<DesktopNotifier> m_notifier;
    const Clock& m_clock;
    JourneyNotices m_notices;
    /// Read once, and again when the settings say they changed.
    std::optional<RecordRef<AppSettings>> m_settings;
    QList<NotificationCenter::Token> m_observers;
};

} // namespace quendle2
