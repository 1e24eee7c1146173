#pragma once

#include "store/inifile.h"
#include "store/regionalformats.h"

class Clock;

// Typed access to the settings file. Every write goes to the disk at once,
// but inside a Batch; every read sees what is on disk, and a batch's changes.
class SettingsFile final {
public:
    SettingsFile(QString path, RegionalFormats formats, const Clock& clock);

    const QString& path() const { return m_ini.path(); }
    const RegionalFormats& formats() const { return m_formats; }

    // The text exactly as stored; a text of blanks only is empty, as it is to
    // the profile functions of the other system.
    QString ReadString(QStringView section, QStringView key, const QString& def) const;
    // A keyword or a string of digits ("SortBy", "Day", "Week"): the blanks a
    // person may type around it are ignored, as around numbers. So is one
    // pair of double quotes around it, as around numbers, dates and times:
    // the Windows profile functions drop them, so files written there and
    // hand edits may carry them. Texts (ReadString) keep their quotes.
    QString ReadKeyword(QStringView section, QStringView key, const QString& def) const;
    void WriteString(QStringView section, QStringView key, const QString& value);
    int ReadInteger(QStringView section, QStringView key, int def) const;
    void WriteInteger(QStringView section, QStringView key, int value);
    bool ReadBool(QStringView section, QStringView key, bool def) const;
    void WriteBool(QStringView section, QStringView key, bool value);
    // Day-count values; the reader returns the default when the text does not parse.
    double ReadDate(QStringView section, QStringView key, double def) const;
    void WriteDate(QStringView section, QStringView key, double value);
    double ReadTime(QStringView section, QStringView key, double def) const;
    void WriteTime(QStringView section, QStringView key, double value);
    // Clears the list, then adds every section name in file order.
    void ReadSections(QStringList& list) const;
    void EraseSection(QStringView section);
    // A refused delete is ignored.
    void DeleteKey(QStringView section, QStringView key);

    // The file takes the two names for one section: letter case and the
    // blanks around them do not count.
    static bool sameSection(QStringView a, QStringView b);

    // For its life, reads see the file as the first of them found it on disk,
    // with this program's own writes (IniFile's pass): for loops over every task.
    class Pass final {
    public:
        explicit Pass(const SettingsFile& file) : m_ini(file.m_ini) { m_ini.beginPass(); }
        ~Pass() { m_ini.endPass(); }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

    private:
        const IniFile& m_ini;
    };

    // For its life, the changes are kept and written together by commit():
    // one atomic replace and one sync for a whole recalculation (IniFile's
    // batch). Left without commit (an exception), its changes are dropped.
    class Batch final {
    public:
        explicit Batch(SettingsFile& file) : m_ini(file.m_ini) { m_ini.beginBatch(); }
        ~Batch() {
            if (!m_done)
                m_ini.abandonBatch();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Throws AppError "Unable to write to <path>" when the file refuses
        // the write; the file then stays as it was and the changes are gone.
        void commit() {
            m_done = true;
            m_ini.commitBatch();
        }

    private:
        IniFile& m_ini;
        bool m_done = false;
    };

private:
    IniFile m_ini;
    RegionalFormats m_formats;
    const Clock& m_clock;
};

// Where the settings file lives: <dir>/<user>.ini, created empty when missing;
// <dir>/sets.ini (not created) when that cannot be created.
QString chooseSettingsPath(const QString& dir, const QString& userName);
