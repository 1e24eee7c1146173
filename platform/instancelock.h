#pragma once

#include "platform/platform.h"

#include <QLockFile>

// One copy per desktop: the running copy holds a lock that names its user and
// its display. Two kinds are held together, so that a copy is refused when
// either is taken by a live copy of this user on this display, and nobody
// else can keep the program from starting:
// - a lock file in a folder only the user can write (XDG_RUNTIME_DIR, else a
//   private folder of the user's own in the temporary folder); a lock left by
//   a copy that died is taken over at once;
// - a listening socket in the abstract namespace, which the kernel releases
//   with the process and which needs no folder at all. Anyone may bind any
//   abstract name: one held by another user is not ours, and is passed over.
class FileInstanceLock final : public InstanceLock {
public:
    enum class Outcome { Taken, Held, Failed };

    // The lock file `name` in `folder` (made when missing). Held when another
    // live process holds it; Failed when the file cannot be made.
    static std::unique_ptr<FileInstanceLock> claim(const QString& folder, const QString& name,
                                                   Outcome* outcome = nullptr);

    // The folder for the lock: XDG_RUNTIME_DIR when it is an absolute folder
    // of this user's that nobody else may write, else <temp>/zvonarka-<uid>,
    // made with mode 0700 and checked to be this user's own (a folder, not a
    // link; nobody else may write it). Empty when neither can be had.
    static QString defaultFolder();
    // zvonarka-<uid>-<display>.lock
    static QString defaultName();
    // The display this copy runs on: WAYLAND_DISPLAY, else DISPLAY as its
    // host and display number (":1", ":1.0" and "unix:1" are one display),
    // made safe for a file name.
    static QString displayId();

    explicit FileInstanceLock(const QString& path);

private:
    QLockFile m_lock;
};

// The abstract socket "zvonarka/<uid>/<display>".
class SocketInstanceLock final : public InstanceLock {
public:
    // Held when a live process of this user listens on the name; Failed when
    // the name is another user's or no socket can be made.
    static std::unique_ptr<SocketInstanceLock> claim(const QString& name,
                                                     FileInstanceLock::Outcome* outcome);
    static QString defaultName();

    explicit SocketInstanceLock(int fd) : m_fd(fd) {}
    ~SocketInstanceLock() override;
    SocketInstanceLock(const SocketInstanceLock&) = delete;
    SocketInstanceLock& operator=(const SocketInstanceLock&) = delete;

private:
    int m_fd = -1;
};

// Both locks, as the program claims them; nothing when another copy of this
// user runs on this display. A lock that cannot be taken is reported once.
std::unique_ptr<InstanceLock> claimDesktopInstance();
