#include "app/AppLauncher.h"

#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/Translations.h"
#include "app/quendle2App.h"
#include "menubar/AppIcon.h"
#include "platform/ActivationToken.h"
#include "platform/Log.h"
#include "platform/LogSink.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>

#include <cstdio>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

namespace {

bool hasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen"_s && platform != u"minimal"_s;
}

/// A failure the user must learn of: on the terminal and in the log as written, and in a dialog in the user's
/// language when there is a screen. `text` is the untranslated message, with %1 for `detail`.
void reportFatal(const char* text, const QString& detail, LogSink::Target logTarget) {
    const QString message = QString::fromUtf8(text).arg(detail);
    std::fprintf(stderr, "%s\n", qPrintable(message));
    std::fflush(stderr);
    if (logTarget == LogSink::Target::Journal) {
        qCCritical(lcApp).noquote() << message;
    }
    if (hasDisplay()) {
        QMessageBox::critical(nullptr, QGuiApplication::applicationDisplayName(),
                              QCoreApplication::translate("quendle2::AppLauncher", text).arg(detail));
    }
}

} // namespace

bool AppLauncher::hasGraphicalSession() {
    // A platform chosen by hand (offscreen in tests, a VNC plugin) counts as the user's decision.
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int AppLauncher::run(int argc, char** argv, const AppFlavor& flavor) {
    // Taken before the application object: the X11 platform plugin removes the startup id from the
    // environment as it connects.
    const QString launchToken = ActivationToken::fromLaunch();
    if (!hasGraphicalSession()) {
        if (!flavor.runsWithoutDisplay) {
            // Before the lock: an instance nobody can see must not answer the desktop's later launches.
            std::fprintf(stderr, "%s needs a graphical session\n", qPrintable(flavor.applicationName));
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(flavor.applicationName);
    QApplication::setApplicationDisplayName(flavor.displayName);
    QApplication::setDesktopFileName(u"org.quendle2.Quendle2"_s);
    QApplication::setWindowIcon(appIcon());
    // Closing the window leaves the application in the status bar; only "Quit" ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    const LogSink::Target logTarget = LogSink::install();
    const Translations translations{QLocale()};

    SingleInstance instance(flavor.applicationName);
    if (!instance.hasFolder()) {
        reportFatal(QT_TRANSLATE_NOOP("quendle2::AppLauncher",
                                      "Could not make a private folder for the single-instance lock: %1"),
                    instance.errorString(), logTarget);
        return 1;
    }
    if (!instance.claim()) {
        if (instance.askRunningInstance(launchToken)) {
            qCInfo(lcApp).noquote() << "Another instance is running; asked it to show its window";
            return 0;
        }
        // Alive (it holds the lock) but not answering: starting very slowly, or hung. A second copy must
        // not open the same store beside it.
        reportFatal(
            QT_TRANSLATE_NOOP("quendle2::AppLauncher",
                              "%1 is already running but does not answer; not starting a second copy"),
            QGuiApplication::applicationDisplayName(), logTarget);
        return 1;
    }

    auto opened = ModelContainer::open(ModelContainer::defaultFilePath());
    if (!opened.ok()) {
        reportFatal(QT_TRANSLATE_NOOP("quendle2::AppLauncher", "Could not create ModelContainer: %1"),
                    opened.error().description, logTarget);
        return 1;
    }

    QString portalError;
    AppFlavor::ServiceFactory connectedService =
        flavor.preparePortal(&application, opened.value()->mainContext(), &portalError);
    if (!connectedService) {
        reportFatal("%1", portalError, logTarget); // the flavour's own words
        return 1;
    }

    // Before the application object, so that its handlers stay in place until everything is torn down.
    QuitSignals signals_;
    QObject::connect(&signals_, &QuitSignals::quitRequested, &application, [](int number) {
        qCInfo(lcApp).noquote() << "Quitting on signal" << number;
        QCoreApplication::quit();
    });
    quendle2App app(opened.takeValue(), std::move(connectedService), *flavor.clock);
    app.setBusName(flavor.busName);
    QObject::connect(&instance, &SingleInstance::activationRequested, &app, [&app](const QString& token) {
        qCInfo(lcApp).noquote() << "Showing the main window for another launch";
        app.openMainWindow(token);
    });
    // Only now: a later launch is answered once there is a window to show.
    if (!instance.listen()) {
        qCWarning(lcApp).noquote() << "Could not answer later launches:" << instance.errorString();
    }

    app.openMainWindow();
    const int status = QApplication::exec();
    ModelContext* context = app.sharedModelContainer()->mainContext();
    if (!context->save()) {
        // What could not be written is lost with the process: the caller must hear of it.
        qCCritical(lcApp).noquote() << "Quit; the store could not be saved:"
                                    << context->lastSaveError().value_or(StoreError{}).description;
        return 1;
    }
    qCInfo(lcApp).noquote() << "Quit; the store is saved";
    return status;
}

} // namespace quendle2
