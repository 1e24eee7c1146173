#include "instancelock.h"

#include <QDir>

#include <unistd.h>

FileInstanceLock::FileInstanceLock(const QString& path) : m_lock(path) {
    // Never stale by age: only a dead owner gives the lock up.
    m_lock.setStaleLockTime(0);
}

std::unique_ptr<FileInstanceLock> FileInstanceLock::claim(const QString& folder,
                                                          const QString& name) {
    QDir().mkpath(folder);
    auto lock = std::make_unique<FileInstanceLock>(QDir(folder).filePath(name));
    if (lock->m_lock.tryLock(0))
        return lock;
    if (lock->m_lock.error() == QLockFile::LockFailedError)
        return nullptr;
    // The folder refused the file: there is no way to tell, so run.
    return lock;
}

QString FileInstanceLock::displayId() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = QStringLiteral("none");
    QString safe;
    for (QChar c : display)
        safe += (c.isLetterOrNumber() || c == u'-' || c == u'.') ? c : QChar(u'_');
    return safe;
}

QString FileInstanceLock::defaultFolder() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime;
    return QDir::tempPath();
}

QString FileInstanceLock::defaultName() {
    return QStringLiteral("zvonarka-") + QString::number(::getuid()) + u'-' + displayId() +
           QStringLiteral(".lock");
}
