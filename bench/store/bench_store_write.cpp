// Times one WriteString into settings files of 255 and 1,000 tasks: the write
// every edited field of a task makes, atomic replace and all. Also times a
// read, which every display of a task makes.
#include "benchstats.h"
#include "store/regionalformats.h"
#include "store/settingsfile.h"
#include "tests/common/manualclock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A full save's twelve keys per task, with texts of realistic length.
QByteArray makeFile(int tasks) {
    QString text = QStringLiteral("[Main]\nTop=120\nLeft=340\nHeight=314\nWidth=510\nSound=2\n"
                                  "AutoRec=1\nStayOnTop=0\nHideOnStart=0\nSortBy=Time\n");
    for (int i = 0; i < tasks; ++i) {
        text += QStringLiteral("[Задание номер %1]\n").arg(i);
        text += QStringLiteral("Activing=%1\n").arg(i % 3 ? 1 : 0);
        text += QStringLiteral("Date=%1.%2.2026\n")
                    .arg(1 + i % 28, 2, 10, QChar(u'0'))
                    .arg(1 + i % 12, 2, 10, QChar(u'0'));
        text += QStringLiteral("DayOrWeek=%1\nDay=%2\nWeek=0246\n").arg(i % 2).arg(1 + i % 7);
        if (i % 5 == 0)
            text += QStringLiteral("TimeGap=00:15:00\n");
        text += QStringLiteral("Time=%1:%2:00\n")
                    .arg(i % 24, 2, 10, QChar(u'0'))
                    .arg(i % 60, 2, 10, QChar(u'0'));
        text +=
            QStringLiteral("Message=Не забыть позвонить маме и купить хлеба, задание %1\n").arg(i);
        text += QStringLiteral("Action=%1\n").arg(i % 4);
        if (i % 4 == 3)
            text += QStringLiteral("App=/usr/bin/firefox\n");
        text += QStringLiteral("Sound=%1\nOnes=%2\n").arg(i % 4).arg(1 + i % 9);
    }
    return text.toUtf8();
}

void print(const char* name, const Stats& s, const char* target) {
    std::printf("%s median_ms=%.3f min_ms=%.3f max_ms=%.3f%s%s\n", name, s.median, s.min, s.max,
                target ? " target_ms=" : "", target ? target : "");
}

bool run(const QTemporaryDir& dir, int tasks, const char* writeName, const char* readName,
         const char* writeTarget) {
    const QString path = dir.filePath(QStringLiteral("bench%1.ini").arg(tasks));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(makeFile(tasks)) < 0)
            return false;
    }
    ManualClock clock;
    SettingsFile sf(path, RegionalFormats::russian(), clock);
    const int runs = 300;
    std::vector<double> writes;
    std::vector<double> reads;
    QElapsedTimer t;
    for (int i = -20; i < runs; ++i) { // the first twenty warm up
        const QString section = QStringLiteral("Задание номер %1").arg((i * 37 + 1000) % tasks);
        const QString text = QStringLiteral("Изменённое сообщение %1").arg(i);
        t.start();
        sf.WriteString(section, u"Message", text);
        const double w = t.nsecsElapsed() / 1e6;
        t.start();
        const QString back = sf.ReadString(section, u"Message", QString());
        const double r = t.nsecsElapsed() / 1e6;
        if (back != text) {
            std::fprintf(stderr, "read back the wrong value\n");
            return false;
        }
        if (i >= 0) {
            writes.push_back(w);
            reads.push_back(r);
        }
    }
    print(writeName, stats(writes), writeTarget);
    print(readName, stats(reads), nullptr);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Beside the program, on the disk its settings file would be on, not on a tmpfs.
    QTemporaryDir dir(QCoreApplication::applicationDirPath() +
                      QStringLiteral("/bench-store-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a folder for the test files\n");
        return 1;
    }
    if (!run(dir, 255, "WriteString@255", "ReadString@255", "<=2") ||
        !run(dir, 1000, "WriteString@1000", "ReadString@1000", nullptr))
        return 1;
    return 0;
}
