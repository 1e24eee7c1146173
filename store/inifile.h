#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <optional>

// The settings file's INI format, read and written by the program itself.
//
// - Sections and keys match without regard to letter case; the first of a
//   duplicated section or key is the one read and written.
// - A new section is appended at the end; a new key is added to its section;
//   an existing key is replaced where it stands. Every other line is kept.
// - Values are exactly the text after the first "=" (no trimming, no quotes).
// - Written as UTF-8; a file that is not valid UTF-8 is read as Windows-1251.
//   A file keeps its own line ends (CRLF or LF).
// - Every change replaces the file atomically; a refused write throws AppError
//   "Unable to write to <path>" and leaves the file as it was.
// - The parsed file is kept only while the file on disk is unchanged.
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
    void eraseSection(QStringView section);
    // False when the file could not be rewritten.
    bool deleteKey(QStringView section, QStringView key);

    // Parsing and serialising, exposed for the fuzzer and tests.
    struct Document;

private:
    const Document& load() const;
    void save(const Document& doc);

    QString m_path;
    mutable std::unique_ptr<Document> m_doc;
};
