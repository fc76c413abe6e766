#pragma once

#include "views/SettingsView.h"
#include "views/ViewEnvironment.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QSplitter;
class QStackedWidget;

class QLabel;

namespace quendle2 {

class DetailPaneView;
class SidebarView;
class TripSelection;

/// The main window: the sidebar beside the detail column, which shows a trip or the settings.
class ContentView final : public QMainWindow {
    Q_OBJECT
public:
    /// Opens (or brings forward) the window with an identifier; the shell's action.
    using OpenWindow = std::function<void(const QString& identifier)>;

    /// The identifier of the main window.
    static inline const QString windowIdentifier = QStringLiteral("main");

    /// Without `openWindow`, a request to open "main" brings this window forward.
    explicit ContentView(const ViewEnvironment& environment, OpenWindow openWindow = {},
                         QWidget* parent = nullptr);

    TripSelection* selection() const { return m_selection; }
    SidebarView* sidebar() const { return m_sidebar; }
    DetailPaneView* detailPane() const { return m_detailPane; }
    /// The settings, while they fill the detail column.
    SettingsView* settingsView() const { return m_settings; }
    /// The line above the detail while saving fails; hidden otherwise.
    QLabel* saveWarning() const { return m_saveWarning; }

    /// What the user must know about the status bar (nothing hosts the item), above the detail; empty hides
    /// it.
    void setHostHint(const QString& hint);
    QLabel* hostHint() const { return m_hostHint; }

    void showSettings();
    void showDetailPane();
    /// Shows the window (restored if minimised, keeping it maximised), raised and active; `activationToken`
    /// is what the program that asked for it got for the user's action (see activateWindow).
    void bringForward(const QString& activationToken = {});

Q_SIGNALS:
    /// The window came on screen (every time, also after being closed to the status bar and reopened).
    void shown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    ViewEnvironment m_environment;
    OpenWindow m_openWindow;
    TripSelection* m_selection = nullptr;
    SidebarView* m_sidebar = nullptr;
    QStackedWidget* m_detailColumn = nullptr;
    DetailPaneView* m_detailPane = nullptr;
    QPointer<SettingsView> m_settings;
    QLabel* m_saveWarning = nullptr;
    QLabel* m_hostHint = nullptr;
};

} // namespace quendle2
