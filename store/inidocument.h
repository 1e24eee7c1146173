#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

// The text of an INI file held in memory, line by line, so that writing it back
// changes nothing but what was edited. No disk access here: IniFile reads and
// writes the bytes, and the fuzzer drives this class directly.
//
// Lines are classified as they are read:
// - a header: after leading blanks, "[" ... "]"; the name is everything between
//   "[" and the last "]" when the line ends there, otherwise up to the first "]",
//   without the blanks around it (a person may type "[ Name ]");
// - a comment: the first non-blank character is ";" or "#";
// - a key line: does not open with "[", holds "=" and a non-blank key before
//   it; the key is the text before the first "=" without surrounding blanks,
//   the value is everything after that "=", untouched;
// - anything else is kept and ignored.
// A duplicated section or key: the first one is read and written.
class IniDocument final {
public:
    enum class LineEnd : quint8 { None, Lf, CrLf, Cr };

    // Line by line: a line of valid UTF-8 is read as such, any other line as
    // Windows-1251, the code page of files written on Russian Windows. A
    // byte-order mark at the start is kept. A line ends at LF, CRLF or a lone
    // CR (old Mac files), and keeps its own line end.
    static IniDocument parse(const QByteArray& bytes);
    // Always UTF-8, each line with its own line end.
    QByteArray serialize() const;

    std::optional<QString> value(QStringView section, QStringView key) const;
    // False, with nothing changed, when the key cannot be written as a key line
    // (see isStorableKey). See storableName() and storableValue() for the few
    // characters that cannot be stored as they are.
    bool setValue(QStringView section, QStringView key, QStringView value);
    // Names in file order, each once (the first spelling of a duplicate).
    QStringList sections() const;
    // Keys of the section as read, in file order, each once.
    QStringList keys(QStringView section) const;
    // Removes every section of that name with all its lines. True when anything went.
    bool eraseSection(QStringView section);
    // Removes the key from the section as read (every copy of it). True when anything went.
    bool deleteKey(QStringView section, QStringView key);

    // A key the file can hold: not blank, no "=", nothing storableName() would
    // change, and not read back as a header or a comment.
    static bool isStorableKey(QStringView key);
    // A section name as it is stored and looked up: each LF and CR becomes a
    // blank, since a line break would split the line and could forge a header; a lone
    // surrogate, which UTF-8 cannot hold, becomes U+FFFD. Names read from a
    // file never hold either, so every listed name is found as it is.
    static QString storableName(QStringView text);
    // The name a section is looked up by: its stored form without the blanks
    // around it, as headers are read.
    static QString sectionName(QStringView text);
    // A value as it is stored: as a name. Every other text reads back exactly
    // as written.
    static QString storableValue(QStringView text);

    // Every line was valid UTF-8: writing the file back changes no byte.
    bool readAsUtf8() const { return m_utf8; }
    qsizetype lineCount() const { return qsizetype(m_lines.size()); }

private:
    enum class Kind : quint8 { Other, Header, Key };
    // A task's dozen lines are held for the program's whole life: the name is
    // a span of the text rather than a string of its own, which keeps a line
    // at 40 bytes besides its text.
    struct Line {
        QString text;
        qint32 nameStart = 0; // section name or key, for headers and key lines
        qint32 nameLength = 0;
        qint32 valueStart = -1; // key lines: index just after the "="
        Kind kind = Kind::Other;
        LineEnd end = LineEnd::Lf;
        QStringView name() const { return QStringView(text).sliced(nameStart, nameLength); }
    };

    static Line makeLine(QString text, LineEnd end);
    qsizetype findSection(QStringView section, qsizetype from = 0) const;
    qsizetype sectionEnd(qsizetype header) const;
    qsizetype findKey(qsizetype header, QStringView key) const;
    void insertLine(qsizetype at, QString text);

    std::vector<Line> m_lines;
    // First header line of each section, by folded name. Every key read looks
    // its section up, so a scan of all lines per read would make a pass over
    // all tasks quadratic. Built on demand, dropped whenever lines move.
    mutable QHash<QString, qsizetype> m_sectionIndex;
    mutable bool m_sectionIndexValid = false;
    LineEnd m_newLineEnd = LineEnd::Lf; // for added lines: the file's first line end
    bool m_bom = false;
    bool m_utf8 = true;
};
