// Times RecalcSchedule on settings files of 255 and 1,000 tasks whose dates do
// not move, so every run is pure reading: the case met on every edit and sort.
// Then on files of 300 and 1,000 tasks whose dates all move (midnight after a
// day of tasks that did not fire): every run writes the file.
#include "benchstats.h"
#include "scheduler/schedule.h"
#include "store/daycount.h"
#include "store/regionalformats.h"
#include "store/settingsfile.h"
#include "tests/common/manualclock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString dateText(int dayCount) {
    return daycount::toDate(dayCount).toString(QStringLiteral("dd.MM.yyyy"));
}

QString timeText(int secs) {
    return QTime(0, 0).addSecs(secs).toString(QStringLiteral("HH:mm:ss"));
}

// Mixed rules, all already settled: future dates for both repeat rules,
// countdowns already running, some odd rules, and a full save's keys each.
QByteArray makeFile(int tasks, int today) {
    QString text = QStringLiteral("[Main]\nTop=0\nLeft=0\nHeight=314\nWidth=510\nSortBy=No\n");
    for (int i = 0; i < tasks; ++i) {
        text += QStringLiteral("[Задание %1]\nActiving=1\n").arg(i);
        text += QStringLiteral("Date=") + dateText(today + 1 + i % 30) + u'\n';
        const int kind = i % 4;
        text += QStringLiteral("DayOrWeek=%1\n").arg(kind == 1 ? 1 : kind == 3 ? 2 : 0);
        text += QStringLiteral("Day=%1\nWeek=024\n").arg(1 + i % 5);
        if (kind == 2)
            text += QStringLiteral("TimeGap=00:15:00\n");
        text += QStringLiteral("Time=") + timeText((i * 7919) % 86399 + 1) + u'\n';
        text += QStringLiteral("Message=Напоминание номер %1\nAction=0\nSound=1\nOnes=2\n").arg(i);
    }
    return text.toUtf8();
}

QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

bool run(int tasks, int rounds) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    const QString path = dir.filePath(QStringLiteral("bench.ini"));
    ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(makeFile(tasks, clock.today())) < 0)
            return false;
    }
    const QByteArray before = digest(path);

    SettingsFile settings(path, RegionalFormats::russian(), clock);
    Schedule schedule(settings, clock);
    schedule.RecalcSchedule(); // warm-up; also proves the table is whole
    if (schedule.EvTable.count() != tasks) {
        std::fprintf(stderr, "RecalcSchedule@%d: table holds %d tasks\n", tasks,
                     schedule.EvTable.count());
        return false;
    }

    std::vector<double> ms;
    ms.reserve(size_t(rounds));
    QElapsedTimer timer;
    for (int r = 0; r < rounds; ++r) {
        timer.start();
        schedule.RecalcSchedule();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    if (digest(path) != before) {
        std::fprintf(stderr, "RecalcSchedule@%d: the file was written\n", tasks);
        return false;
    }
    const Stats s = stats(ms);
    std::printf("RecalcSchedule@%d median_ms=%.3f min_ms=%.3f max_ms=%.3f\n", tasks, s.median,
                s.min, s.max);
    std::fflush(stdout);
    return true;
}

// Every-N-days tasks dated yesterday, each with a full save's keys: every one
// of them moves on.
QByteArray makeMovingFile(int tasks, int today) {
    QString text = QStringLiteral("[Main]\nTop=0\nLeft=0\nHeight=314\nWidth=510\nSortBy=No\n");
    for (int i = 0; i < tasks; ++i) {
        text += QStringLiteral("[Задание %1]\nActiving=1\n").arg(i);
        text += QStringLiteral("Date=") + dateText(today - 1) + u'\n';
        text += QStringLiteral("DayOrWeek=0\nDay=%1\nWeek=\n").arg(1 + i % 5);
        text += QStringLiteral("Time=") + timeText((i * 7919) % 86399 + 1) + u'\n';
        text += QStringLiteral("Message=Напоминание номер %1\nAction=0\nSound=1\nOnes=2\n").arg(i);
    }
    return text.toUtf8();
}

bool runMoving(int tasks, int rounds) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    const QString path = dir.filePath(QStringLiteral("bench.ini"));
    ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
    const QByteArray original = makeMovingFile(tasks, clock.today());
    SettingsFile settings(path, RegionalFormats::russian(), clock);
    Schedule schedule(settings, clock);

    std::vector<double> ms;
    ms.reserve(size_t(rounds));
    QElapsedTimer timer;
    for (int r = -1; r < rounds; ++r) { // the first round warms up
        {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(original) < 0)
                return false;
        }
        timer.start();
        schedule.RecalcSchedule();
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        // Every date moved, and the file says so to a fresh reader.
        SettingsFile fresh(path, RegionalFormats::russian(), clock);
        const TEvRec& t = schedule.EvTable;
        bool moved = t.count() == tasks;
        for (int i = 0; moved && i < t.count(); ++i) {
            const ScheduleEntry& entry = t.entries.at(i);
            moved =
                entry.date >= clock.today() && fresh.ReadDate(entry.name, u"Date", 0) == entry.date;
        }
        if (!moved) {
            std::fprintf(stderr, "RecalcScheduleMoved@%d: not every date moved\n", tasks);
            return false;
        }
        if (r >= 0)
            ms.push_back(elapsed);
    }
    const Stats s = stats(ms);
    std::printf("RecalcScheduleMoved@%d median_ms=%.3f min_ms=%.3f max_ms=%.3f\n", tasks, s.median,
                s.min, s.max);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool ok = run(255, 41);
    ok = run(1000, 21) && ok;
    ok = runMoving(300, 11) && ok;
    ok = runMoving(1000, 5) && ok;
    return ok ? 0 : 1;
}
