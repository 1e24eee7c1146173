#include "clock.h"
#include "icons.h"
#include "programwindows.h"
#include "shutdownsignals.h"
#include "systemplatform.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The X11 class of the program's windows.
    QApplication::setApplicationName(QStringLiteral("TfmTocsiner"));
    // The program lives on in the tray with every window hidden; it ends when
    // the main window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(icons::alarmClock());

    // The end of the session (SIGTERM from the session's manager, SIGHUP from
    // a closed terminal, Ctrl+C) closes the main window as "Закрыть" does, so
    // the shut-down sequence stores what it stores and the exit code is 0.
    ShutdownSignals endSignals;

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
