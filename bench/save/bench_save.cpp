// Times one save in the editor (sbSaveEventClick) at 255 and 1,000 tasks: the
// real main window, offscreen, on the fake platform. Each round loads another
// task, changes its message and saves it over itself, so every save writes the
// whole file and rebuilds the schedule as the user's does.
#include "app/programwindows.h"
#include "benchstats.h"
#include "editor/taskeditor.h"
#include "store/regionalformats.h"
#include "tests/common/fakeplatform.h"
#include "tests/common/manualclock.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray makeFile(int tasks, QDate tomorrow) {
    const QString date = tomorrow.toString(QStringLiteral("dd.MM.yyyy"));
    QString text = QStringLiteral("[Main]\nTop=0\nLeft=0\nSortBy=No\n");
    for (int i = 0; i < tasks; ++i) {
        text += QStringLiteral("[Задание %1]\nActiving=1\nDate=%2\nDayOrWeek=%3\nDay=%4\n"
                               "Week=024\nTime=%5\nMessage=Напоминание номер %1\n"
                               "Action=0\nSound=1\nOnes=2\n")
                    .arg(i)
                    .arg(date)
                    .arg(i % 3)
                    .arg(1 + i % 5)
                    .arg(QTime(0, 0)
                             .addSecs((i * 7919) % 86399 + 1)
                             .toString(QStringLiteral("HH:mm:ss")));
    }
    return text.toUtf8();
}

// The message stored for a task, read straight from the file.
QString storedMessage(const QString& path, const QString& task) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    const QString header = u'[' + task + u']';
    bool inTask = false;
    for (const QString& l : lines) {
        if (l.startsWith(u'['))
            inTask = l.trimmed() == header;
        else if (inTask && l.startsWith(QStringLiteral("Message=")))
            return l.mid(8).trimmed();
    }
    return {};
}

bool run(int tasks, int rounds) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    FakePlatform platform;
    ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
    const QString path = dir.filePath(platform.user + QStringLiteral(".ini"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(makeFile(tasks, QDate(2026, 12, 9))) < 0)
            return false;
    }
    ProgramWindows windows(ShellContext{platform, clock, RegionalFormats::russian(), dir.path()});
    windows.showAtStart();
    MainWindow& main = *windows.mainWindow();
    QApplication::processEvents();

    std::vector<double> ms;
    for (int k = 0; k <= rounds; ++k) {
        const QString task = QStringLiteral("Задание %1").arg((k * 37) % tasks);
        const QString message = QStringLiteral("Изменено %1").arg(k);
        main.editor()->ShowEvent(task);
        main.form()->edMsg->setText(message);
        platform.answers = {true}; // overwrite the task of that name
        QElapsedTimer t;
        t.start();
        main.editor()->sbSaveEventClick();
        const double elapsed = double(t.nsecsElapsed()) / 1e6;
        QApplication::processEvents();
        if (!platform.boxes.isEmpty() &&
            platform.boxes.constLast().kind == FakePlatform::Box::Error) {
            std::fprintf(stderr, "bench_save: error box: %s\n",
                         qPrintable(platform.boxes.constLast().text));
            return false;
        }
        if (storedMessage(path, task) != message) {
            std::fprintf(stderr, "bench_save: the save of %s did not reach the file\n",
                         qPrintable(task));
            return false;
        }
        if (k > 0) // the first save warms the caches
            ms.push_back(elapsed);
    }
    const Stats s = stats(ms);
    std::printf("SaveEvent@%d median_ms=%.2f min_ms=%.2f max_ms=%.2f target_ms=<=%d\n", tasks,
                s.median, s.min, s.max, tasks > 255 ? 100 : 30);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // No display is needed: the window is built and shown offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const bool ok = run(255, 41) && run(1000, 21);
    return ok ? 0 : 1;
}
