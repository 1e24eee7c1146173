#include "clock.h"
#include "icons.h"
#include "programwindows.h"
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

    SystemPlatform platform;
    SystemClock clock;
    ProgramWindows windows(
        ShellContext{platform, clock, RegionalFormats::fromSystem(), QDir::currentPath()});
    if (windows.isSecondCopy())
        return 0;
    windows.showAtStart();
    return app.exec();
}
