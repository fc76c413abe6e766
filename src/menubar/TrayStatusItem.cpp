#include "menubar/TrayStatusItem.h"

#include "menubar/AppIcon.h"

#include <QActionGroup>
#include <QMenu>
#include <QSystemTrayIcon>

namespace quendle2 {

TrayStatusItem::TrayStatusItem(QObject* parent)
    : StatusItem(parent)
    , m_menu(std::make_unique<QMenu>())
    , m_destinations(new QActionGroup(m_menu.get()))
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
    const char* const kindKey = "quendle2Kind";
    QList<QAction*> actions = m_menu->actions();
    const bool sameShape = std::equal(actions.cbegin(), actions.cend(), menu.cbegin(), menu.cend(),
                                      [kindKey](const QAction* action, const JourneyMenuEntry& entry) {
                                          return action->property(kindKey).toInt() == int(entry.kind);
                                      });
    // The distance and the countdowns change the texts every few polls; an open menu keeps its entries and
    // the pointer's place unless entries come or go.
    if (!sameShape) {
        m_menu->clear();
        actions.clear();
        for (const JourneyMenuEntry& entry : menu) {
            QAction* action =
                entry.kind == Kind::Separator ? m_menu->addSeparator() : m_menu->addAction(QString());
            action->setProperty(kindKey, int(entry.kind));
            action->setEnabled(entry.kind != Kind::Text);
            if (entry.kind == Kind::Destination) {
                action->setCheckable(true);
                m_destinations->addAction(action);
                connect(action, &QAction::triggered, this,
                        [this, action] { Q_EMIT destinationChosen(action->data().toString()); });
            } else if (entry.kind == Kind::Open) {
                connect(action, &QAction::triggered, this, &StatusItem::clicked);
            } else if (entry.kind == Kind::Quit) {
                connect(action, &QAction::triggered, this, &StatusItem::quitRequested);
            }
            actions << action;
        }
    }
    for (qsizetype i = 0; i < actions.size(); ++i) {
        // A lone ampersand would mark an access key and vanish from a station's name.
        actions.at(i)->setText(QString(menu.at(i).label).replace(u'&', QStringLiteral("&&")));
        actions.at(i)->setData(menu.at(i).eva);
        if (menu.at(i).kind == Kind::Destination) {
            actions.at(i)->setChecked(menu.at(i).checked);
        }
    }
}

void TrayStatusItem::updateToolTip() {
    m_icon->setToolTip(m_warning.isEmpty() ? m_title : m_title + QLatin1Char('\n') + m_warning);
}

} // namespace quendle2
