#include "views/ContentView.h"

#include "platform/NotificationCenter.h"
#include "store/ModelContext.h"
#include "views/DetailPaneView.h"
#include "views/SettingsView.h"
#include "views/SidebarView.h"
#include "views/TripSelection.h"
#include "views/ViewStyle.h"
#include "views/WindowActivation.h"

#include <QLabel>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int sidebarWidth = 260;
constexpr int detailWidth = 640;

} // namespace

ContentView::ContentView(const ViewEnvironment& environment, OpenWindow openWindow, QWidget* parent)
    : QMainWindow(parent)
    , m_environment(environment)
    , m_openWindow(std::move(openWindow))
    , m_selection(new TripSelection(this))
    , m_sidebar(new SidebarView(environment.context, m_selection))
    , m_detailColumn(new QStackedWidget)
    , m_detailPane(new DetailPaneView(environment, m_selection)) {
    setObjectName(windowIdentifier);
    setWindowTitle(u"quendle2"_s);

    m_detailColumn->addWidget(m_detailPane);
    // Saving may fail for a while (a full disk); what is recorded meanwhile is kept and written later, but
    // the user must know, and must see it go away by itself.
    m_saveWarning = new QLabel;
    m_saveWarning->setObjectName(u"saveWarning"_s);
    ViewStyle::style(m_saveWarning, ViewStyle::Font::Body, ViewStyle::Tone::Orange);
    m_saveWarning->setContentsMargins(ViewStyle::margin, ViewStyle::margin / 2, ViewStyle::margin, 0);
    m_saveWarning->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_hostHint = new QLabel;
    m_hostHint->setObjectName(u"hostHint"_s);
    ViewStyle::style(m_hostHint, ViewStyle::Font::Body, ViewStyle::Tone::Secondary);
    m_hostHint->setContentsMargins(ViewStyle::margin, ViewStyle::margin / 2, ViewStyle::margin, 0);
    m_hostHint->setWordWrap(true);
    m_hostHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_hostHint->hide();
    auto* detail = new QWidget;
    auto* detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->setSpacing(0);
    detailLayout->addWidget(m_hostHint);
    detailLayout->addWidget(m_saveWarning);
    detailLayout->addWidget(m_detailColumn, 1);
    if (ModelContext* context = environment.context) {
        const auto showSaveState = [this, context] {
            m_saveWarning->setText(context->saveWarning());
            m_saveWarning->setVisible(!m_saveWarning->text().isEmpty());
        };
        connect(context, &ModelContext::saveFailed, this, showSaveState);
        connect(context, &ModelContext::saved, this, showSaveState);
        connect(context, &ModelContext::readFailed, this, showSaveState);
        connect(context, &ModelContext::readRecovered, this, showSaveState);
        showSaveState();
    } else {
        m_saveWarning->hide();
    }

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_sidebar);
    split->addWidget(detail);
    split->setCollapsible(1, false);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarWidth, detailWidth});
    setCentralWidget(split);
    resize(sidebarWidth + detailWidth, 620);

    connect(m_sidebar, &SidebarView::settingsChosen, this, &ContentView::showSettings);
    connect(m_sidebar, &SidebarView::tripChosen, this, &ContentView::showDetailPane);
    NotificationCenter::defaultCenter().addObserver(Notification::OpenMainWindowRequested, this, [this] {
        if (m_openWindow) {
            m_openWindow(windowIdentifier);
        } else {
            bringForward();
        }
    });
}

void ContentView::setHostHint(const QString& hint) {
    m_hostHint->setText(hint);
    m_hostHint->setVisible(!hint.isEmpty());
}

void ContentView::showSettings() {
    if (m_settings) {
        return;
    }
    // Built afresh on every visit: it creates the settings record if needed and hands the stored interval
    // to the service each time it is shown.
    m_settings = new SettingsView(m_environment);
    m_detailColumn->addWidget(m_settings);
    m_detailColumn->setCurrentWidget(m_settings);
}

void ContentView::showDetailPane() {
    m_detailColumn->setCurrentWidget(m_detailPane);
    if (m_settings) {
        m_detailColumn->removeWidget(m_settings);
        m_settings->hide();
        m_settings->deleteLater();
        m_settings = nullptr;
    }
}

void ContentView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Q_EMIT shown();
}

void ContentView::bringForward(const QString& activationToken) {
    // Restored to the state it had before: a maximised window comes back maximised.
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    quendle2::activateWindow(this, activationToken);
}

} // namespace quendle2
