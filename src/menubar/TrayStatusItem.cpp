#include "menubar/TrayStatusItem.h"

#include "menubar/AppIcon.h"

#include <QActionGroup>
#include <QMenu>
#include <QSystemTrayIcon>

namespace quendle2 {

TrayStatusItem::TrayStatusItem(QObject* parent)
    : StatusItem(parent)
    , m_menu(std::make_unique<QMenu>())
    , m_icon(new QSystemTrayIcon(this)) {
    showMenu(menu());

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

void TrayStatusItem::showMenu(const JourneyMenu& menu) {
    using Kind = JourneyMenuEntry::Kind;
    m_menu->clear();
    auto* destinations = new QActionGroup(m_menu.get());
    for (const JourneyMenuEntry& entry : menu) {
        if (entry.kind == Kind::Separator) {
            m_menu->addSeparator();
            continue;
        }
        // A lone ampersand would mark an access key and vanish from a station's name.
        QAction* action = m_menu->addAction(QString(entry.label).replace(u'&', QStringLiteral("&&")));
        switch (entry.kind) {
        case Kind::Text:
            action->setEnabled(false);
            break;
        case Kind::Destination:
            action->setCheckable(true);
            action->setChecked(entry.checked);
            action->setActionGroup(destinations);
            connect(action, &QAction::triggered, this,
                    [this, eva = entry.eva] { Q_EMIT destinationChosen(eva); });
            break;
        case Kind::Open:
            connect(action, &QAction::triggered, this, &StatusItem::clicked);
            break;
        case Kind::Quit:
            connect(action, &QAction::triggered, this, &StatusItem::quitRequested);
            break;
        case Kind::Separator:
            break;
        }
    }
}

void TrayStatusItem::updateToolTip() {
    m_icon->setToolTip(m_warning.isEmpty() ? m_title : m_title + QLatin1Char('\n') + m_warning);
}

} // namespace quendle2
