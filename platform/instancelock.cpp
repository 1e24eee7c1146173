#include "platform/instancelock.h"

#include "platform/systemlog.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A folder the lock may live in: this user's own, a folder rather than a
// link to one, and nobody else may write into it.
bool isPrivateFolder(const QString& path, bool fixMode) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return true;
    // Our own folder with loose rights, as a umask may leave it: tightened.
    return fixMode && ::chmod(name.constData(), S_IRWXU) == 0;
}

QString safeForFileName(const QString& text) {
    QString safe;
    for (QChar c : text)
        safe += (c.isLetterOrNumber() || c == u'-' || c == u'.') ? c : QChar(u'_');
    return safe;
}

} // namespace

FileInstanceLock::FileInstanceLock(const QString& path) : m_lock(path) {
    // Never stale by age: only a dead owner gives the lock up.
    m_lock.setStaleLockTime(0);
}

std::unique_ptr<FileInstanceLock> FileInstanceLock::claim(const QString& folder,
                                                          const QString& name, Outcome* outcome) {
    Outcome dummy = Outcome::Failed;
    Outcome& result = outcome != nullptr ? *outcome : dummy;
    result = Outcome::Failed;
    if (folder.isEmpty())
        return nullptr;
    QDir().mkpath(folder);
    auto lock = std::make_unique<FileInstanceLock>(QDir(folder).filePath(name));
    if (lock->m_lock.tryLock(0)) {
        result = Outcome::Taken;
        return lock;
    }
    if (lock->m_lock.error() == QLockFile::LockFailedError)
        result = Outcome::Held;
    return nullptr;
}

QString FileInstanceLock::displayId() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
        // [host]:number[.screen]; the screen is part of the same desktop, and
        // "unix" names the local socket, as no host does.
        const qsizetype colon = display.lastIndexOf(u':');
        if (colon >= 0) {
            QString host = display.left(colon);
            QString number = display.mid(colon + 1);
            if (const qsizetype dot = number.indexOf(u'.'); dot >= 0)
                number.truncate(dot);
            if (host == QLatin1String("unix"))
                host.clear();
            display = host + u':' + number;
        }
    }
    if (display.isEmpty())
        display = QStringLiteral("none");
    return safeForFileName(display);
}

QString FileInstanceLock::defaultFolder() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime, false))
        return runtime;
    // The shared temporary folder: a folder of our own in it, never a name
    // another user could take first.
    const QString own =
        QDir::tempPath() + QStringLiteral("/zvonarka-") + QString::number(::geteuid());
    const QByteArray name = QFile::encodeName(own);
    if (::mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST)
        return {};
    return isPrivateFolder(own, true) ? own : QString();
}

QString FileInstanceLock::defaultName() {
    return QStringLiteral("zvonarka-") + QString::number(::geteuid()) + u'-' + displayId() +
           QStringLiteral(".lock");
}

SocketInstanceLock::~SocketInstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SocketInstanceLock::defaultName() {
    return QStringLiteral("zvonarka/") + QString::number(::geteuid()) + u'/' +
           FileInstanceLock::displayId();
}

std::unique_ptr<SocketInstanceLock> SocketInstanceLock::claim(const QString& name,
                                                              FileInstanceLock::Outcome* outcome) {
    using Outcome = FileInstanceLock::Outcome;
    *outcome = Outcome::Failed;
    const QByteArray bytes = name.toUtf8();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (qsizetype(sizeof addr.sun_path) < bytes.size() + 1)
        return nullptr;
    // The leading NUL puts the name in the abstract namespace.
    std::memcpy(addr.sun_path + 1, bytes.constData(), size_t(bytes.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(bytes.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), length) == 0 && ::listen(fd, 4) == 0) {
        *outcome = Outcome::Taken;
        return std::make_unique<SocketInstanceLock>(fd);
    }
    const bool inUse = errno == EADDRINUSE;
    ::close(fd);
    if (!inUse)
        return nullptr;
    // Whose is it? Only a copy of this user's holds it for us.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return nullptr;
    if (::connect(probe, reinterpret_cast<const sockaddr*>(&addr), length) == 0) {
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
            peer.uid == ::geteuid())
            *outcome = Outcome::Held;
    }
    ::close(probe);
    return nullptr;
}

namespace {

class DesktopInstanceLock final : public InstanceLock {
public:
    std::unique_ptr<FileInstanceLock> file;
    std::unique_ptr<SocketInstanceLock> socket;
};

} // namespace

std::unique_ptr<InstanceLock> claimDesktopInstance() {
    using Outcome = FileInstanceLock::Outcome;
    auto lock = std::make_unique<DesktopInstanceLock>();
    const QString folder = FileInstanceLock::defaultFolder();
    Outcome fileOutcome = Outcome::Failed;
    lock->file = FileInstanceLock::claim(folder, FileInstanceLock::defaultName(), &fileOutcome);
    if (fileOutcome == Outcome::Held)
        return nullptr;
    Outcome socketOutcome = Outcome::Failed;
    lock->socket = SocketInstanceLock::claim(SocketInstanceLock::defaultName(), &socketOutcome);
    if (socketOutcome == Outcome::Held)
        return nullptr;
    if (fileOutcome == Outcome::Failed) {
        const QString where = folder.isEmpty() ? QStringLiteral("no private folder for it")
                                               : QStringLiteral("the folder ") + folder +
                                                     QStringLiteral(" refused it");
        reportToSystemLog(
            QStringLiteral("No lock file of the running copy (") + where +
            (socketOutcome == Outcome::Taken
                 ? QStringLiteral("); a second copy on this desktop is still refused.")
                 : QStringLiteral(") and no lock socket: a second copy on this desktop cannot be "
                                  "told apart.")));
    }
    return lock;
}
