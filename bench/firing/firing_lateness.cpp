// Fires 30 tasks, one a second, on the real clock in the program's real windows
// and prints how late each fired after its second, as bench/run reads it.
//
//   firing_lateness [tasks=255] [firings=30]
//
// The tasks beyond the firings are dated tomorrow, so they are listed and
// scheduled but never due.
#include "alarm/alarmwindow.h"
#include "app/programwindows.h"
#include "benchstats.h"
#include "firing/firing.h"
#include "platform/systemplatform.h"
#include "store/clock.h"
#include "store/regionalformats.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray taskSection(int i, const QDateTime& due, QDate date) {
    const QString text = QStringLiteral("[T%1]\nActiving=1\nDate=%2\nDayOrWeek=0\nDay=1\n"
                                        "Time=%3\nMessage=m%1\nAction=0\nSound=0\nOnes=0\n")
                             .arg(i)
                             .arg(date.toString(QStringLiteral("dd.MM.yyyy")),
                                  due.time().toString(QStringLiteral("HH:mm:ss")));
    return text.toUtf8();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int tasks = argc > 1 ? std::max(1, atoi(argv[1])) : 255;
    const int firings = std::min(tasks, argc > 2 ? std::max(1, atoi(argv[2])) : 30);

    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    SystemPlatform platform;
    SystemClock clock;

    // The first due second far enough ahead for start-up, the rest one a second.
    const QDateTime start = clock.now();
    QDateTime first = start.addSecs(3);
    first.setTime(QTime(first.time().hour(), first.time().minute(), first.time().second()));
    if (first.date() != first.addSecs(firings + 5).date()) {
        std::fprintf(stderr, "firing_lateness: too close to midnight, run it again later\n");
        return 2;
    }
    QByteArray ini = "[Main]\nTop=0\n";
    std::vector<QDateTime> due;
    for (int i = 0; i < tasks; ++i) {
        const bool fires = i < firings;
        const QDateTime when = fires ? first.addSecs(i) : first.addSecs(i % 60);
        if (fires)
            due.push_back(when);
        ini += taskSection(i, when, fires ? when.date() : when.date().addDays(1));
    }
    {
        QFile f(dir.filePath(platform.userName() + QStringLiteral(".ini")));
        if (!f.open(QIODevice::WriteOnly) || f.write(ini) != ini.size())
            return 2;
    }

    ProgramWindows windows(ShellContext{platform, clock, RegionalFormats::russian(), dir.path()});
    if (windows.isSecondCopy()) {
        std::fprintf(stderr, "firing_lateness: another copy runs on this display\n");
        return 2;
    }
    windows.showAtStart();
    MainWindow* main = windows.mainWindow();

    std::vector<double> late;
    int wrong = 0;
    qint64 seen = main->firing()->lastClockFiringMs();
    // Looks after every tick of the clock, once the window's own handler ran.
    QObject::connect(&main->firing()->clockTimer(), &QTimer::timeout, &app, [&] {
        const qint64 at = main->firing()->lastClockFiringMs();
        if (at == seen)
            return;
        seen = at;
        const int k = int(late.size());
        const QString expected = QStringLiteral("Звонарька - T%1").arg(k);
        if (windows.alarmWindow()->windowTitle() != expected)
            ++wrong;
        // Answered at once, as the window shows one alarm at a time.
        windows.alarmWindow()->sbOkClick();
        late.push_back(double(at - due[size_t(k)].toMSecsSinceEpoch()));
        if (int(late.size()) == firings)
            QTimer::singleShot(0, &app, &QApplication::quit);
    });
    // A task passed over never fires: give up a little after the last second.
    QTimer::singleShot(int(start.msecsTo(due.back())) + 5000, &app, &QApplication::quit);
    app.exec();

    if (int(late.size()) != firings || wrong != 0) {
        std::fprintf(stderr, "firing_lateness: %d of %d tasks fired, %d out of order\n",
                     int(late.size()), firings, wrong);
        return 1;
    }
    const Stats s = stats(late);
    std::printf("FiringLateness@%d median_ms=%.1f min_ms=%.1f max_ms=%.1f target_ms=<=20\n", tasks,
                s.median, s.min, s.max);
    std::printf("FiringLatenessWorst@%d median_ms=%.1f min_ms=%.1f max_ms=%.1f target_ms=<=100\n",
                tasks, s.max, s.min, s.max);
    return 0;
}
