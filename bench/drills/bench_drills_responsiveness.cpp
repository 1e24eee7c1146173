// The user's actions at 1,000 tasks: the real main window, offscreen, on a
// fake platform (so no box or sound blocks) and the real clock. Times the
// listing (GetEvents, ApplySavedSort), the three sort commands, one save in
// the editor and one firing of a message task; each should stay within
// 100 ms. Prints one line per action in bench/run's format.
//
//   bench_drills_responsiveness [TASKS] [REPEATS]    (default 1000, 15)
#include "app/mainwindow.h"
#include "app/programwindows.h"
#include "benchstats.h"
#include "chime/hourlychime.h"
#include "editor/taskeditor.h"
#include "firing/firing.h"
#include "store/clock.h"
#include "store/regionalformats.h"
#include "tasklist/tasklist.h"
#include "tests/common/fakeplatform.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QByteArray makeFile(int tasks, const RegionalFormats& formats, const Clock& clock) {
    const QString today = formats.formatDate(clock.today());
    QString text = QStringLiteral("[Main]\nTop=0\nLeft=0\nSound=0\nAutoRec=0\nSortBy=Time\n");
    for (int i = 0; i < tasks; ++i) {
        text += QStringLiteral("[Задание номер %1]\n").arg(i, 4, 10, QChar(u'0'));
        text += QStringLiteral("Activing=%1\nDate=%2\nDayOrWeek=%3\nDay=%4\nWeek=0246\n")
                    .arg(i % 3 ? 1 : 0)
                    .arg(today)
                    .arg(i % 2)
                    .arg(1 + i % 7);
        if (i % 5 == 0)
            text += QStringLiteral("TimeGap=00:15:00\n");
        text += QStringLiteral("Time=%1:%2:%3\n")
                    .arg((i * 7) % 24, 2, 10, QChar(u'0'))
                    .arg((i * 13) % 60, 2, 10, QChar(u'0'))
                    .arg(i % 60, 2, 10, QChar(u'0'));
        text += QStringLiteral("Message=Не забыть позвонить маме и купить хлеба, задание %1\n"
                               "Action=0\nSound=0\nOnes=1\n")
                    .arg(i);
    }
    return text.toUtf8();
}

double timeMs(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int tasks = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 1000;
    const int repeats = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 15;

    QTemporaryDir dir;
    FakePlatform platform;
    SystemClock clock;
    const RegionalFormats formats = RegionalFormats::russian();
    {
        QFile f(dir.filePath(QStringLiteral("tester.ini")));
        if (!f.open(QIODevice::WriteOnly) || f.write(makeFile(tasks, formats, clock)) < 0) {
            std::fprintf(stderr, "cannot write the settings file\n");
            return 2;
        }
    }
    ProgramWindows windows(ShellContext{platform, clock, formats, dir.path()});
    windows.showAtStart();
    QApplication::processEvents();
    MainWindow* w = windows.mainWindow();
    Ui::TfmTocsiner* ui = w->form();
    // The timers stay out of the measurements.
    w->firing()->clockTimer().stop();
    w->chime()->chimeTimer().stop();

    struct Action {
        const char* name;
        std::function<void()> run;
    };
    int saved = 0;
    const QString fired = QStringLiteral("Задание номер 0001");
    const std::vector<Action> actions = {
        {"GetEvents", [&] { w->taskList()->GetEvents(); }},
        {"ApplySavedSort", [&] { w->taskList()->ApplySavedSort(); }},
        {"SortByName", [&] { w->taskList()->SortN()->trigger(); }},
        {"SortByTime", [&] { w->taskList()->SortT()->trigger(); }},
        {"SortByFileOrder", [&] { w->taskList()->SortNo()->trigger(); }},
        {"SaveTask",
         [&] {
             // A new task each time: the editor's fields as a user fills them.
             w->taskList()->sbNewEvClick();
             ui->evName->setEditText(QStringLiteral("Новое задание %1").arg(++saved));
             ui->edMsg->setText(QStringLiteral("Проверить почту"));
             w->editor()->sbSaveEventClick();
         }},
        {"FireMessageTask", [&] { w->firing()->DoEvent(fired, FireMode::Clock); }},
    };

    const qsizetype boxesBefore = platform.boxes.size();
    bool ok = true;
    for (const Action& a : actions) {
        std::vector<double> ms;
        for (int i = 0; i < repeats; ++i) {
            ms.push_back(timeMs(a.run));
            // What the event loop would do between two user actions.
            QApplication::processEvents();
        }
        const Stats s = stats(ms);
        std::printf("Drill%s@%d median_ms=%.2f min_ms=%.2f max_ms=%.2f target_ms=<=100\n", a.name,
                    tasks, s.median, s.min, s.max);
        ok = ok && s.max <= 100;
    }
    if (platform.boxes.size() != boxesBefore) {
        std::fprintf(stderr, "a message box came up: %s\n", qPrintable(platform.boxes.last().text));
        return 1;
    }
    std::fprintf(stderr, "1,000-task drill: every action within 100 ms at its worst: %s\n",
                 ok ? "yes" : "no");
    return 0;
}
