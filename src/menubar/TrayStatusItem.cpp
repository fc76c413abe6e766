#include "menubar/TrayStatusItem.h"

#include "menubar/AppIcon.h"
#include "menubar/StatusItemMenu.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace quendle2 {

TrayStatusItem::TrayStatusItem(QObject* parent)
    : StatusItem(parent)
    , m_menu(std::make_unique<QMenu>())
    , m_icon(new QSystemTrayIcon(this)) {
    connect(m_menu->addAction(StatusItemMenu::openLabel()), &QAction::triggered, this, &StatusItem::clicked);
    connect(m_menu->addAction(StatusItemMenu::quitLabel()), &QAction::triggered, this,
            &StatusItem::quitRequested);

    m_icon->setIcon(appIcon());
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            Q_EMIT clicked();
        }
    });
    m_icon->show();
}

TrayStatusItem::~TrayStatusItem() {
    delete m_icon;
}

void TrayStatusItem::setTitle(const QString& title) {
    m_title = title;
    updateToolTip();
}

void TrayStatusItem::setWarning(const QString& warning) {
    m_warning = warning;
    updateToolTip();
}

void TrayStatusItem::updateToolTip() {
    m_icon->setToolTip(m_warning.isEmpty() ? m_title : m_title + QLatin1Char('\n') + m_warning);
}

} // namespace quendle2
