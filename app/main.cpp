#include "app/programwindows.h"
#include "platform/shutdownsignals.h"
#include "platform/systemplatform.h"
#include "store/clock.h"
#include "uicommon/icons.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace {

MainWindow* g_mainWindow = nullptr;
QtMessageHandler g_qtMessages = nullptr;

// Qt's X11 connection ends the process (exit code 1) as soon as it finds
// the X server gone, as a plain window manager's session does at logout,
// before any window could go through its shut-down. Its last word before
// that is this warning: the program stores what its shut-down stores, then
// ends itself, cleanly, at once. Nothing of the display may be used by then.
void watchForLostDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (g_qtMessages != nullptr)
        g_qtMessages(type, context, text);
    if (type != QtWarningMsg || !text.startsWith(QLatin1String("The X11 connection broke")))
        return;
    if (g_mainWindow != nullptr)
        g_mainWindow->displayLost();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

} // namespace

int main(int argc, char* argv[]) {
    // A session that ends while the program is still starting (its boxes
    // included) ends it through the shut-down as well: the signals are
    // caught from here on and served once there is an event loop.
    ShutdownSignals::catchSignals();
    // The clock on the main window repaints every second. Over X11's shared
    // memory, Qt asks the X server for a round trip before painting again
    // over pixels it has sent (the server might still be reading them): two
    // more wake-ups of the program every second, all day long. Sent over the
    // socket instead, a second's few hundred bytes need no answer. The
    // window's pixels are then the program's own rather than shared with
    // the server; the machine holds the same amount of memory either way.
    // The switch is read once, as the connection to the display opens, and
    // not passed on to the programs that tasks open.
    const bool ownShmSwitch = !qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
    if (ownShmSwitch)
        qputenv("QT_XCB_NO_MITSHM", "1");
    g_qtMessages = qInstallMessageHandler(watchForLostDisplay);
    QApplication app(argc, argv);
    if (ownShmSwitch)
        qunsetenv("QT_XCB_NO_MITSHM");
    // The X11 class of the program's windows, which the desktop entry names
    // (StartupWMClass). Qt takes it from the application's name once, as it
    // makes its first window, so a first window is made here.
    QApplication::setApplicationName(QStringLiteral("TfmTocsiner"));
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QWindow classHolder;
        classHolder.create();
    }
    // From here on the name is the program's own: StatusNotifierItem hosts
    // show it as the tray icon's title. The desktop entry groups the windows
    // with their launcher (Wayland's app id, the docks' matching).
    QApplication::setApplicationName(QStringLiteral("Звонарька"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zvonarka"));
    // Qt's own texts (the boxes' buttons, the file dialog) in Russian, as the
    // program's own, for a Russian user; without the translation, English.
    QTranslator qtTexts;
    if (QLocale().language() == QLocale::Russian &&
        qtTexts.load(QStringLiteral("qtbase_ru"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    // The program lives on in the tray with every window hidden; it ends when
    // the main window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(icons::alarmClock());

    // The end of the session (SIGTERM from the session's manager, SIGHUP from
    // a closed terminal, Ctrl+C) closes the main window as "Закрыть" does, so
    // the shut-down sequence stores what it stores and the exit code is 0.
    ShutdownSignals endSignals;
#if QT_CONFIG(sessionmanager)
    // A session manager's end of the session (SaveYourself, then Die) is
    // left to Qt: Die closes the shown windows and leaves the event loop, and
    // the shut-down runs as the windows go, shown or in the tray. But
    // the program comes back with the session only through its own autostart
    // entry, when the user asked for it, and in its own folder, where its
    // settings file lives; a manager restoring the saved session would start
    // it a second time, and in its own choice of folder (Qt names none).
    QObject::connect(&app, &QGuiApplication::saveStateRequest, &app, [](QSessionManager& manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    });
#endif

    SystemPlatform platform;
    SystemClock clock;
    MainWindow* mainWindow = nullptr;
    // A box open at that moment (a start-up box, or one of a handler) is
    // answered for the user, and no other comes up: the end waits for no one.
    QObject::connect(&endSignals, &ShutdownSignals::received, &app, [&mainWindow] {
        SystemPlatform::rejectOpenDialogs();
        if (mainWindow != nullptr)
            mainWindow->close();
    });
    ProgramWindows windows(
        ShellContext{platform, clock, RegionalFormats::fromSystem(), QDir::currentPath()});
    // Asked to end while starting: the shut-down runs as the windows go.
    if (windows.isSecondCopy() || ShutdownSignals::requested())
        return 0;
    mainWindow = windows.mainWindow();
    g_mainWindow = mainWindow;
    windows.showAtStart();
    const int code = app.exec();
    g_mainWindow = nullptr;
    return code;
}
