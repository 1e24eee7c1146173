#pragma once

#include "platform.h"

#include <QLockFile>

// The per-desktop lock file of the running copy. A lock left by a copy that
// died is taken over at once; a lock that cannot be made at all (no writable
// folder) lets the program run rather than never start.
class FileInstanceLock final : public InstanceLock {
public:
    // The lock for this user on this display, in `folder`; nothing when
    // another live process holds it.
    static std::unique_ptr<FileInstanceLock> claim(const QString& folder, const QString& name);

    // <runtime dir or temp dir>/zvonarka-<uid>-<display>.lock naming parts.
    static QString defaultFolder();
    static QString defaultName();
    // The display this copy runs on: WAYLAND_DISPLAY, else DISPLAY, made safe
    // for a file name.
    static QString displayId();

    explicit FileInstanceLock(const QString& path);

private:
    QLockFile m_lock;
};
