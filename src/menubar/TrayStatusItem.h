#pragma once

#include "menubar/StatusItem.h"

#include <QString>

#include <memory>

class QActionGroup;
class QMenu;
class QSystemTrayIcon;

namespace quendle2 {

/// The status item as a QSystemTrayIcon, for desktops with a tray but no StatusNotifierWatcher (X11 trays
/// of the XEmbed kind). A tray icon shows no text, so the title becomes its tooltip.
class TrayStatusItem final : public StatusItem {
    Q_OBJECT
public:
    explicit TrayStatusItem(QObject* parent = nullptr);
    ~TrayStatusItem() override;

    void setTitle(const QString& title) override;
    QString title() const override { return m_title; }
    void setWarning(const QString& warning) override;
    QString warning() const override { return m_warning; }
    /// Made only where a tray runs.
    bool isHosted() const override { return true; }

protected:
    void showMenu(const JourneyMenu& menu) override;

private:
    void updateToolTip();

    QString m_title;
    QString m_warning;
    // A QMenu takes only a widget as parent, so the item owns it directly; the icon, a child, is deleted
    // first by hand so that it never points at a deleted menu.
    std::unique_ptr<QMenu> m_menu;
    /// The radio group of the destinations, kept across rebuilds of the menu.
    QActionGroup* m_destinations = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace quendle2
