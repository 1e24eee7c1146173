#include "store/inifile.h"

#include "store/apperror.h"
#include "store/inidocument.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

IniFile::DiskState stateOf(const struct stat& st) {
    IniFile::DiskState s;
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

IniFile::DiskState statPath(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) == 0)
        return stateOf(st);
    IniFile::DiskState s;
    // Anything but "not there" means a file we cannot see into, not an empty one.
    s.exists = errno != ENOENT && errno != ENOTDIR;
    return s;
}

bool writeAll(int fd, const QByteArray& bytes, off_t offset) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, size_t(left), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        offset += n;
        left -= n;
    }
    return true;
}

// Rewrites an existing file where it stands: for a folder that lets us write
// the file but not create one beside it, where the program could not work at all
// otherwise. Not atomic, so only the fallback.
bool writeInPlace(const QByteArray& target, const QByteArray& bytes) {
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok =
        writeAll(fd, bytes, 0) && ::ftruncate(fd, off_t(bytes.size())) == 0 && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

// The temporary file of a write: "." + the file's name + "." + the writer's
// pid + "." + a counter + ".tmp". Returns the pid, or 0 when the name is not
// one of ours for that file.
pid_t writerOfTemp(const QByteArray& name, const QByteArray& base) {
    const QByteArray prefix = '.' + base + '.';
    if (!name.startsWith(prefix) || !name.endsWith(".tmp"))
        return 0;
    const QList<QByteArray> parts =
        name.mid(prefix.size(), name.size() - prefix.size() - 4).split('.');
    if (parts.size() != 2)
        return 0;
    bool pidOk = false;
    bool counterOk = false;
    const qint64 pid = parts.at(0).toLongLong(&pidOk);
    (void)parts.at(1).toULongLong(&counterOk);
    if (!pidOk || !counterOk || pid <= 0 || pid > INT_MAX)
        return 0;
    return pid_t(pid);
}

// A writer killed between creating its temporary file and the rename (SIGKILL,
// a power cut) leaves that file behind, and nothing else would ever remove it.
// Removes those whose writer is gone; a live writer's file (another copy on
// another desktop in the same folder) is left alone. Our own pid's are stale
// too: this process writes from one thread and is not inside a write now.
void sweepStaleTemps(const QByteArray& dir, const QByteArray& base) {
    DIR* d = ::opendir(dir.constData());
    if (d == nullptr)
        return;
    const pid_t self = ::getpid();
    while (const dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        const pid_t writer = writerOfTemp(name, base);
        if (writer == 0)
            continue;
        if (writer != self && (::kill(writer, 0) == 0 || errno != ESRCH))
            continue;
        ::unlinkat(::dirfd(d), name.constData(), 0);
    }
    ::closedir(d);
}

// The folder and the name of a file's path.
std::pair<QByteArray, QByteArray> splitPath(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash < 0    ? QByteArray(".")
                           : slash == 0 ? QByteArray("/")
                                        : target.left(slash);
    return {dir, target.mid(slash + 1)};
}

// Removes what killed writers left beside the file a path names, following a
// symbolic link as a write would.
void sweepStaleTempsOf(const QString& path) {
    QByteArray target = QFile::encodeName(path);
    if (char* real = ::realpath(target.constData(), nullptr)) {
        target = QByteArray(real);
        std::free(real);
    }
    const auto [dir, base] = splitPath(target);
    sweepStaleTemps(dir, base);
}

// A temporary file beside the target, synced, then renamed over it: a crash or a
// forced switch-off leaves the old file or the new one, never a torn one.
// `sweep`: first remove what killed writers left (see sweepStaleTemps).
bool writeReplacing(const QString& path, const QByteArray& bytes, bool sweep) {
    QByteArray target = QFile::encodeName(path);
    // Replace what a symbolic link points to, not the link.
    struct stat lst {};
    if (::lstat(target.constData(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        if (char* real = ::realpath(target.constData(), nullptr)) {
            target = QByteArray(real);
            std::free(real);
        } else {
            const QString dest = QFileInfo(path).symLinkTarget();
            if (dest.isEmpty())
                return false;
            target = QFile::encodeName(dest);
        }
    }

    struct stat st {};
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        return false;
    if (exists) {
        if (!S_ISREG(st.st_mode))
            return false;
        // A file without write permission is refused even for root, as the
        // read-only attribute is on Windows; the rename would replace it anyway.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::access(target.constData(), W_OK) != 0)
            return false;
    }

    const auto [dir, base] = splitPath(target);
    if (sweep)
        sweepStaleTemps(dir, base);

    static unsigned counter = 0;
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "/." + base + '.' + QByteArray::number(qint64(::getpid())) + '.' +
               QByteArray::number(++counter) + ".tmp";
        // 0666 less the umask, as any new file; an existing file's mode is copied below.
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return exists && writeInPlace(target, bytes);

    bool ok = writeAll(fd, bytes, 0);
    if (ok && exists) {
        ok = ::fchmod(fd, st.st_mode & 07777) == 0;
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            (void)!::fchown(fd, st.st_uid, st.st_gid); // best effort: only root may give files away
    }
    ok = ok && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    // The folder is not synced after the rename: its only gain is that a
    // power cut just after a write keeps the new file rather than the old one,
    // and each editor action writes about ten keys, each a write of its own,
    // where a sync costs milliseconds. The data was synced before the rename,
    // so either name points to a whole file.
    return true;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

IniFile::~IniFile() = default;

void IniFile::beginPass() const {
    if (m_passes++ == 0)
        m_passChecked = false;
}

void IniFile::endPass() const {
    if (--m_passes == 0)
        m_passChecked = false;
}

IniDocument& IniFile::load() const {
    if (m_doc && m_passChecked)
        return *m_doc;
    return loadChecked();
}

IniDocument& IniFile::loadChecked() const {
    // Changes waiting for their batch's commit exist only in the parsed copy.
    if (m_batchChanged && m_doc)
        return *m_doc;
    m_passChecked = m_passes > 0;
    const QByteArray name = QFile::encodeName(m_path);
    const DiskState now = statPath(name);
    if (m_doc && now == m_state)
        return *m_doc;

    m_doc = std::make_unique<IniDocument>();
    m_state = now;
    m_readable = !now.exists;
    if (!now.exists)
        return *m_doc;

    // Non-blocking so that a FIFO in the file's place cannot hang the program.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return *m_doc;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return *m_doc;
    }
    // The state of what is read, taken before reading: a change made meanwhile
    // shows as a different state at the next access.
    m_state = stateOf(st);
    QByteArray bytes;
    bytes.reserve(qsizetype(st.st_size));
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        bytes.append(buf, qsizetype(n));
    }
    ::close(fd);
    if (ok) {
        *m_doc = IniDocument::parse(bytes);
        m_readable = true;
    }
    return *m_doc;
}

void IniFile::forget() noexcept {
    m_doc.reset();
    m_state = {};
}

void IniFile::refuse() {
    // The parsed copy may hold the refused change: read the file afresh next
    // time. Inside a batch nothing was changed yet, and the copy holds the
    // batch's other changes.
    if (m_batches == 0)
        forget();
    throw AppError(QStringLiteral("Unable to write to ") + m_path);
}

void IniFile::save(IniDocument& doc) {
    if (!m_readable || !writeReplacing(m_path, doc.serialize(), !m_swept))
        refuse();
    m_swept = true;
    // Our own write becomes the state the parsed copy belongs to; stat the new
    // file rather than trust the clock, whose granularity may hide a change.
    m_state = statPath(QFile::encodeName(m_path));
    if (!m_state.regular)
        m_doc.reset();
}

void IniFile::store(IniDocument& doc) {
    if (m_batches > 0)
        m_batchChanged = true;
    else
        save(doc);
}

void IniFile::beginBatch() {
    ++m_batches;
}

void IniFile::commitBatch() {
    if (--m_batches > 0 || !m_batchChanged)
        return;
    m_batchChanged = false;
    if (m_doc)
        save(*m_doc);
}

void IniFile::abandonBatch() noexcept {
    if (--m_batches > 0 || !m_batchChanged)
        return;
    m_batchChanged = false;
    forget();
}

std::optional<QString> IniFile::value(QStringView section, QStringView key) const {
    return load().value(section, key);
}

void IniFile::setValue(QStringView section, QStringView key, const QString& value) {
    IniDocument& doc = loadChecked();
    // A key that already holds this very text needs no rewrite of the whole
    // file and no disk sync: recalculations write back many unchanged dates.
    // Only where the write would succeed, so a read-only file still refuses it,
    // and only for UTF-8 files, which a write would not convert.
    if (m_readable && m_state.regular && doc.readAsUtf8() && IniDocument::isStorableKey(key) &&
        doc.value(section, key) == IniDocument::storableValue(value) && canWrite()) {
        // The first write through this file cleans up after killed writers even
        // when it has nothing to write.
        if (!m_swept) {
            sweepStaleTempsOf(m_path);
            m_swept = true;
        }
        return;
    }
    if (!doc.setValue(section, key, value))
        refuse();
    store(doc);
}

bool IniFile::canWrite() const {
    const QByteArray name = QFile::encodeName(m_path);
    struct stat st {};
    return ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::access(name.constData(), W_OK) == 0;
}

QStringList IniFile::sections() const {
    return load().sections();
}

void IniFile::eraseSection(QStringView section) {
    IniDocument& doc = loadChecked();
    if (doc.eraseSection(section))
        store(doc);
}

bool IniFile::deleteKey(QStringView section, QStringView key) {
    IniDocument& doc = loadChecked();
    if (!doc.deleteKey(section, key))
        return true;
    try {
        store(doc);
    } catch (const AppError&) {
        return false;
    }
    return true;
}
