#include "notify/JourneyNotifier.h"

#include "menubar/MenubarTitle.h"
#include "platform/Log.h"
#include "service/AppStore.h"
#include "store/ModelContainer.h"

namespace quendle2 {

JourneyNotifier::JourneyNotifier(AppStore* store, ModelContainer* container,
                                 std::unique_ptr<DesktopNotifier> notifier, const Clock& clock,
                                 QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_container(container)
    , m_notifier(std::move(notifier))
    , m_clock(clock) {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    // In a later turn, never inside the poster's call, as the status item does.
    m_observers << center.addObserver(Notification::TrainServiceDidUpdate, this, [this] {
        QMetaObject::invokeMethod(this, &JourneyNotifier::check, Qt::QueuedConnection);
    });
    m_observers << center.addObserver(Notification::SettingsDidChange, this, [this] { m_settings.reset(); });
}

JourneyNotifier::~JourneyNotifier() {
    for (NotificationCenter::Token token : std::as_const(m_observers)) {
        NotificationCenter::defaultCenter().removeObserver(token);
    }
}

void JourneyNotifier::check() {
    const TrainService* service = m_store ? m_store->service() : nullptr;
    if (service == nullptr || !m_notifier) {
        return;
    }
    if (!m_settings && m_container) {
        m_settings = loadMenubarSettings(m_container->mainContext());
    }
    const NoticeSettings settings = NoticeSettings::from(m_settings ? m_settings->get() : nullptr);
    for (const JourneyNotice& notice :
         m_notices.update(NoticeSnapshot::of(*service), settings, m_clock.now())) {
        qCInfo(lcNotifications).noquote() << QStringLiteral("Notify: %1").arg(notice.summary);
        m_notifier->show(notice);
    }
}

} // namespace quendle2
