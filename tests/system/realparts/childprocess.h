#pragma once

// Helper programs started by the real-part tests: each one is killed by the
// kernel when the test process goes away, so a crashed or aborted test leaves
// no sound server or bus behind.

#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <csignal>
#include <sys/prctl.h>

inline void dieWithTest(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// Asks politely, then insists.
inline void endProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

inline bool haveProgram(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}
