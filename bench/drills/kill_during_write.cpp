// Kills a writer of the settings file with SIGKILL at random moments, over
// and over, and checks after each kill that the file still parses and that
// every key holds either its old or its new value: the atomic replace must
// leave one whole file or the other, never a torn one. Also counts the
// temporary files a kill leaves beside the file and checks that the next
// writer removes them.
//
//   drill_kill_write [KILLS] [--dir DIR]    (default 1000 kills, a fresh folder)
//
// Exit status: 0 when every kill survived, 1 when one did not, 2 when the
// drill could not run.
#include "store/inidocument.h"
#include "store/inifile.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kTasks = 255;
// Keys the writer changes: spread over the whole file, so that a write moves
// text in every part of it.
constexpr int kChangedKeys = 64;

QString taskName(int i) {
    return QStringLiteral("Задание %1").arg(i, 3, 10, QChar(u'0'));
}

const QString kKeys[] = {QStringLiteral("Activing"),  QStringLiteral("Date"),
                         QStringLiteral("DayOrWeek"), QStringLiteral("Day"),
                         QStringLiteral("Week"),      QStringLiteral("Time"),
                         QStringLiteral("Message"),   QStringLiteral("Action"),
                         QStringLiteral("Sound"),     QStringLiteral("Ones")};
constexpr int kKeyCount = int(sizeof kKeys / sizeof kKeys[0]);

// The old value is short, the new one long, so a torn file could not pass
// for either.
QString oldValue(int task, int key) {
    return QStringLiteral("o%1.%2").arg(task).arg(key);
}
QString newValue(int task, int key) {
    return QStringLiteral("новое значение ключа %1 задания %2, длиннее старого").arg(key).arg(task);
}

// The n-th changed key: task and key index.
std::pair<int, int> changedKey(int n) {
    return {(n * 97) % kTasks, n % kKeyCount};
}

QByteArray initialFile() {
    QString text = QStringLiteral("[Main]\nTop=0\nLeft=0\nSortBy=No\n");
    for (int t = 0; t < kTasks; ++t) {
        text += u'[' + taskName(t) + QStringLiteral("]\n");
        for (int k = 0; k < kKeyCount; ++k)
            text += kKeys[k] + u'=' + oldValue(t, k) + u'\n';
    }
    return text.toUtf8();
}

// The writer: tells the parent when it is under way, then flips the changed
// keys between their old and new values until it is killed.
[[noreturn]] void writer(const QString& path, int readyFd) {
    IniFile ini(path);
    bool toNew = true;
    bool told = false;
    for (int round = 0; round < 100000; ++round) {
        for (int n = 0; n < kChangedKeys; ++n) {
            const auto [t, k] = changedKey(n);
            try {
                ini.setValue(taskName(t), kKeys[k], toNew ? newValue(t, k) : oldValue(t, k));
            } catch (...) {
                _exit(3);
            }
            if (!told) {
                const char c = 'w';
                (void)!::write(readyFd, &c, 1);
                ::close(readyFd);
                told = true;
            }
        }
        toNew = !toNew;
    }
    _exit(0);
}

// What is wrong with the file, or empty.
QString check(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open the file");
    const QByteArray bytes = f.readAll();
    if (bytes.isEmpty())
        return QStringLiteral("the file is empty");
    const IniDocument doc = IniDocument::parse(bytes);
    if (!doc.readAsUtf8())
        return QStringLiteral("the file is no longer UTF-8");
    const QStringList sections = doc.sections();
    if (sections.size() != kTasks + 1 || sections.first() != QStringLiteral("Main"))
        return QStringLiteral("%1 sections").arg(sections.size());
    if (doc.value(u"Main", u"SortBy") != QStringLiteral("No"))
        return QStringLiteral("Main/SortBy lost");
    for (int t = 0; t < kTasks; ++t) {
        if (sections.at(t + 1) != taskName(t))
            return QStringLiteral("section %1 is \"%2\"").arg(t + 1).arg(sections.at(t + 1));
        for (int k = 0; k < kKeyCount; ++k) {
            const std::optional<QString> v = doc.value(taskName(t), kKeys[k]);
            if (!v)
                return QStringLiteral("%1/%2 missing").arg(taskName(t), kKeys[k]);
            if (*v != oldValue(t, k) && *v != newValue(t, k))
                return QStringLiteral("%1/%2 = \"%3\"").arg(taskName(t), kKeys[k], *v);
        }
    }
    return {};
}

// Files in the folder other than the settings file: what a kill left behind.
QStringList debris(const QDir& dir, const QString& fileName) {
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(fileName);
    return names;
}

} // namespace

int main(int argc, char** argv) {
    int kills = 1000;
    QString dirArg;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--dir" && i + 1 < argc)
            dirArg = QString::fromLocal8Bit(argv[++i]);
        else {
            bool ok = false;
            kills = a.toInt(&ok);
            if (!ok || kills <= 0) {
                std::fprintf(stderr, "usage: drill_kill_write [KILLS] [--dir DIR]\n");
                return 2;
            }
        }
    }

    QTemporaryDir tmp(dirArg.isEmpty() ? QDir::tempPath() + QStringLiteral("/zv-kill-XXXXXX")
                                       : dirArg + QStringLiteral("/zv-kill-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "drill_kill_write: no temporary folder\n");
        return 2;
    }
    const QString fileName = QStringLiteral("tester.ini");
    const QString path = tmp.filePath(fileName);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(initialFile()) < 0) {
            std::fprintf(stderr, "drill_kill_write: cannot write %s\n", qPrintable(path));
            return 2;
        }
    }

    // How long one write takes here, so the kills spread over a few of them.
    qint64 writeUs = 0;
    {
        IniFile ini(path);
        QElapsedTimer t;
        t.start();
        for (int n = 0; n < 8; ++n) {
            const auto [task, key] = changedKey(n);
            ini.setValue(taskName(task), kKeys[key], oldValue(task, key));
        }
        writeUs = std::max<qint64>(1, t.nsecsElapsed() / 8000);
    }

    std::printf("drill kill-during-write: %d SIGKILLs of a writer flipping %d keys of a %d-task "
                "file (%lld bytes, one write %lld us), random delays 0..%lld us after its first "
                "write\n",
                kills, kChangedKeys, kTasks, qint64(QFile(path).size()), writeUs, 4 * writeUs);
    std::fflush(stdout);

    std::mt19937_64 rng(std::random_device{}());
    std::uniform_int_distribution<qint64> delay(0, 4 * writeUs);
    const QDir dir(tmp.path());
    int survived = 0;
    int leftTemp = 0;     // kills that left a temporary file: they hit a write
    int maxDebris = 0;    // most leftover files seen at once
    int writerExited = 0; // writers that ended before their kill
    QString firstFault;
    for (int i = 0; i < kills; ++i) {
        int pipeFd[2];
        if (::pipe(pipeFd) != 0) {
            std::perror("pipe");
            return 2;
        }
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("fork");
            return 2;
        }
        if (pid == 0) {
            ::close(pipeFd[0]);
            writer(path, pipeFd[1]);
        }
        ::close(pipeFd[1]);
        char c = 0;
        const bool started = ::read(pipeFd[0], &c, 1) == 1;
        ::close(pipeFd[0]);
        if (started)
            std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFSIGNALED(status))
            ++writerExited;

        const QStringList left = debris(dir, fileName);
        if (!left.isEmpty())
            ++leftTemp;
        maxDebris = std::max(maxDebris, int(left.size()));
        const QString fault = check(path);
        if (fault.isEmpty())
            ++survived;
        else if (firstFault.isEmpty())
            firstFault = QStringLiteral("kill %1: %2").arg(i + 1).arg(fault);
    }

    // A writer after the last kill removes what the kills left.
    const int debrisBefore = int(debris(dir, fileName).size());
    {
        IniFile ini(path);
        ini.setValue(u"Main", u"Top", QStringLiteral("0"));
    }
    const QStringList debrisAfter = debris(dir, fileName);
    const QString finalFault = check(path);

    std::printf(
        "kills=%d survived=%d writer_exited_early=%d kills_leaving_temp_file=%d "
        "max_leftover_files=%d leftover_before_next_write=%d leftover_after_next_write=%lld\n",
        kills, survived, writerExited, leftTemp, maxDebris, debrisBefore,
        qint64(debrisAfter.size()));
    if (!firstFault.isEmpty())
        std::printf("FAULT %s\n", qPrintable(firstFault));
    if (!finalFault.isEmpty())
        std::printf("FAULT after the last write: %s\n", qPrintable(finalFault));
    for (const QString& name : debrisAfter)
        std::printf("FAULT left behind: %s\n", qPrintable(name));
    // More than one leftover at a time would mean writers do not clean up.
    const bool ok = survived == kills && finalFault.isEmpty() && debrisAfter.isEmpty() &&
                    maxDebris <= 1 && writerExited == 0;
    std::printf("%s\n", ok ? "survived: every kill left a whole file, old or new value in every key"
                           : "FAILED");
    return ok ? 0 : 1;
}
