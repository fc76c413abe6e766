#pragma once

#include "menubar/JourneyMenu.h"

#include <QObject>
#include <QString>

namespace quendle2 {

/// The application's item in the desktop's status bar: a line of text, a click, and a menu: the journey at a
/// glance, then "Open quendle2" (which behaves like a click) and "Quit quendle2". Backends: SniStatusItem
/// (StatusNotifierItem over D-Bus) and TrayStatusItem (QSystemTrayIcon), behind SwitchingStatusItem, which
/// follows the desktop from one to the other; a macOS NSStatusItem fits here too.
class StatusItem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Shows `title` as the item's text (or, where the host cannot show text, as its tooltip).
    virtual void setTitle(const QString& title) = 0;
    virtual QString title() const = 0;
    /// A problem the user must learn of, shown in the item's tooltip beside the title; empty for none.
    virtual void setWarning(const QString& warning) = 0;
    virtual QString warning() const = 0;
    /// Whether something on the desktop shows the item, so that the user can get back to a closed window.
    virtual bool isHosted() const = 0;
    /// The activation token the host gave for the click that is being answered (Wayland's xdg-activation);
    /// empty when it gave none. Each token is handed out once.
    virtual QString takeActivationToken() { return {}; }

    /// Shows `menu` as the item's menu; an unchanged menu changes nothing, so hosts are not told.
    void setMenu(const JourneyMenu& menu) {
        if (menu != m_menu) {
            m_menu = menu;
            showMenu(m_menu);
        }
    }
    const JourneyMenu& menu() const { return m_menu; }

Q_SIGNALS:
    /// The user clicked the item, or chose "Open quendle2" in its menu.
    void clicked();
    /// The user chose "Quit quendle2" in its menu.
    void quitRequested();
    /// The user chose a destination in its menu: a stop's EVA number, or empty for the next stop.
    void destinationChosen(const QString& eva);
    /// A host took the item, or the last one let it go.
    void hostedChanged(bool hosted);

protected:
    /// Puts a changed menu on screen.
    virtual void showMenu(const JourneyMenu& menu) = 0;

private:
    JourneyMenu m_menu = baseJourneyMenu();
};

} // namespace quendle2
