#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <optional>

class IniDocument;

// The settings file's INI format, read and written by the program itself.
//
// - Sections and keys match without regard to letter case; the first of a
//   duplicated section or key is the one read and written.
// - A new section is appended at the end; a new key is added to its section;
//   an existing key is replaced where it stands. Every other line is kept.
// - Values are exactly the text after the first "=" (no trimming, no quotes);
//   blanks around section names and keys are ignored.
// - Written as UTF-8; each line that is not valid UTF-8 is read as Windows-1251.
//   A file keeps its own line ends (CRLF, LF or CR); a new file gets LF.
// - Every change replaces the file atomically; a refused write throws AppError
//   "Unable to write to <path>" and leaves the file as it was. Temporary files
//   that a killed writer left beside the file are removed at the first write.
// - The parsed file is kept only while the file on disk is unchanged (device,
//   inode, size, modification and change times to the nanosecond), checked at
//   every access, so a hand edit is seen at the next read. Inside a pass
//   (beginPass/endPass) it is checked at the pass's first access only.
// - Inside a batch (beginBatch/commitBatch) changes stay in the parsed copy
//   and the commit writes them all in one atomic replace.
class IniFile final {
public:
    explicit IniFile(QString path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const QString& path() const { return m_path; }

    std::optional<QString> value(QStringView section, QStringView key) const;
    void setValue(QStringView section, QStringView key, const QString& value);
    // Section names in file order, each once.
    QStringList sections() const;
    // Nothing is written when there is no such section.
    void eraseSection(QStringView section);
    // False when the file could not be rewritten.
    bool deleteKey(QStringView section, QStringView key);

    // A pass over many keys (the schedule reads four of every task) checks the
    // file on disk once, at its first access, rather than at every key: a
    // thousand checks are milliseconds of a start-up. Its reads see the file as
    // it was then, with this program's own writes. Passes nest; after the
    // outermost one ends, the next access checks again. Writes always check.
    void beginPass() const;
    void endPass() const;

    // A batch of changes written together: a recalculation that moves
    // hundreds of dates would otherwise replace and sync the file once per
    // date. Inside it every change stays in the parsed copy, which is then no
    // longer checked against the disk (a hand edit made meanwhile is
    // overwritten by the commit), and reads see the changes. Batches nest;
    // the outermost commit writes. A refused commit throws AppError "Unable
    // to write to <path>", drops every change of the batch and leaves the file
    // as it was; a crash before or during the commit leaves the old file.
    void beginBatch();
    void commitBatch();
    // A batch left without its commit (an exception): its changes are dropped
    // once the outermost batch is left.
    void abandonBatch() noexcept;

    // The identity of the file on disk the parsed copy belongs to.
    struct DiskState {
        bool exists = false;
        bool regular = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 mtimeNs = 0;
        qint64 ctimeNs = 0;
        bool operator==(const DiskState&) const = default;
    };

private:
    // The parsed copy; inside a pass checked against the disk at its first access only.
    IniDocument& load() const;
    // Always checked: a write starts from what is on disk now, so it keeps a
    // hand edit made even during a pass.
    IniDocument& loadChecked() const;
    // The file is there and this process may write it.
    bool canWrite() const;
    void save(IniDocument& doc);
    // Writes a change at once, or leaves it for the batch's commit.
    void store(IniDocument& doc);
    // Forgets the parsed copy: the next access reads the file afresh.
    void forget() noexcept;
    [[noreturn]] void refuse();

    QString m_path;
    mutable std::unique_ptr<IniDocument> m_doc;
    mutable DiskState m_state;
    // False when the file is there but could not be read: writing the empty
    // copy over it would lose it.
    mutable bool m_readable = true;
    // Temporary files left by killed writers are removed at the first
    // successful write.
    bool m_swept = false;
    mutable int m_passes = 0;
    // The open pass has checked the file on disk.
    mutable bool m_passChecked = false;
    int m_batches = 0;
    // The open batch holds changes not yet on disk.
    bool m_batchChanged = false;
};
