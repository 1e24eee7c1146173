#include "clock.h"
#include "icons.h"
#include "programwindows.h"
#include "shutdownsignals.h"
#include "systemplatform.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWindow>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

int main(int argc, char* argv[]) {
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
    ProgramWindows windows(
        ShellContext{platform, clock, RegionalFormats::fromSystem(), QDir::currentPath()});
    if (windows.isSecondCopy())
        return 0;
    QObject::connect(&endSignals, &ShutdownSignals::received, windows.fmTocsiner.get(),
                     [&windows] { windows.fmTocsiner->close(); });
    windows.showAtStart();
    return app.exec();
}
