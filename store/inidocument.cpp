#include "store/inidocument.h"

#include <QSet>
#include <QStringDecoder>

#include <array>
#include <limits>

namespace {

// Windows-1251, 0x80..0xFF. 0x98 is unassigned and maps to U+0098 so that every
// byte stays distinct and nothing is lost.
constexpr std::array<char16_t, 128> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

QString fromCp1251(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        dst[i] = b < 0x80 ? QChar(char16_t(b)) : QChar(kCp1251High[b - 0x80]);
    }
    return out;
}

// The text of bytes that are valid UTF-8 throughout; nothing otherwise. A byte
// order mark inside is text and stays. Stateless: a sequence cut off at the
// end is an error, not a wait for more.
std::optional<QString> decodeUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A key under which names that sameName() takes as equal fall together: the
// same simple case folding, code point by code point.
QString foldKey(QStringView name) {
    // Names are nearly always plain ASCII or Cyrillic: fold them code unit by
    // code unit, without the UCS-4 round trip. Simple case folding keeps every
    // letter of the basic plane there.
    QString fast(name.size(), Qt::Uninitialized);
    QChar* d = fast.data();
    bool bmp = true;
    for (qsizetype i = 0; i < name.size() && bmp; ++i) {
        const char16_t c = name[i].unicode();
        if (c < 0x80) {
            d[i] = QChar(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
        } else if (QChar::isSurrogate(c)) {
            bmp = false;
        } else {
            const char32_t f = QChar::toCaseFolded(char32_t(c));
            bmp = f <= 0xFFFF;
            d[i] = QChar(char16_t(f));
        }
    }
    if (bmp)
        return fast;

    QString out;
    out.reserve(name.size());
    for (const char32_t c : name.toUcs4())
        out += QChar::fromUcs4(QChar::toCaseFolded(c));
    return out;
}

// Lists a name unless one that differs only in case came before it: the
// first spelling of a section or key is the one that counts.
void addFirstSpelling(QStringList& names, QSet<QString>& seen, QStringView name) {
    QString folded = foldKey(name);
    if (seen.contains(folded))
        return;
    seen.insert(std::move(folded));
    names.append(name.toString());
}

QStringView lineEndText(IniDocument::LineEnd end) {
    switch (end) {
    case IniDocument::LineEnd::None:
        return {};
    case IniDocument::LineEnd::Lf:
        return u"\n";
    case IniDocument::LineEnd::CrLf:
        return u"\r\n";
    case IniDocument::LineEnd::Cr:
        return u"\r";
    }
    return {};
}

constexpr char kBom[] = "\xEF\xBB\xBF";

} // namespace

IniDocument::Line IniDocument::makeLine(QString text, LineEnd end) {
    Line line;
    line.end = end;
    const QStringView t(text);
    // Spans are kept in 32 bits: a line of 2 GiB is kept as text and not read.
    if (t.size() > std::numeric_limits<qint32>::max()) {
        line.text = std::move(text);
        return line;
    }
    const auto setName = [&line, t](QStringView name) {
        line.nameStart = qint32(name.data() - t.data());
        line.nameLength = qint32(name.size());
    };
    qsizetype b = 0;
    qsizetype e = t.size();
    while (b < e && isBlank(t[b]))
        ++b;
    while (e > b && isBlank(t[e - 1]))
        --e;
    if (b < e && t[b] == u'[') {
        if (e - b >= 2 && t[e - 1] == u']') {
            line.kind = Kind::Header;
            setName(trimBlanks(t.sliced(b + 1, e - b - 2)));
        } else if (const qsizetype close = t.indexOf(u']', b + 1); close >= 0 && close < e) {
            line.kind = Kind::Header;
            setName(trimBlanks(t.sliced(b + 1, close - b - 1)));
        }
    }
    // A line that opens with "[" is never a key line, or a value holding "]"
    // could turn a key line into a header when it is written.
    if (b < e && t[b] != u'[' && t[b] != u';' && t[b] != u'#') {
        if (const qsizetype eq = t.indexOf(u'='); eq >= 0) {
            const QStringView key = trimBlanks(t.first(eq));
            if (!key.isEmpty()) {
                line.kind = Kind::Key;
                setName(key);
                line.valueStart = qint32(eq + 1);
            }
        }
    }
    line.text = std::move(text);
    return line;
}

IniDocument IniDocument::parse(const QByteArray& bytes) {
    IniDocument doc;
    QByteArrayView body(bytes);
    if (body.startsWith(QByteArrayView(kBom, 3))) {
        doc.m_bom = true;
        body = body.sliced(3);
    }
    // Nearly every file is UTF-8 throughout: one pass decodes it. Otherwise
    // the file was written (or partly edited) on Windows: each line that is
    // valid UTF-8 is read as such and every other line as Windows-1251, so
    // one old line cannot garble the names and messages on all the others.
    QString text;
    if (const std::optional<QString> utf8 = decodeUtf8(body)) {
        text = *utf8;
    } else {
        doc.m_utf8 = false;
        text.reserve(body.size());
        qsizetype start = 0;
        while (start < body.size()) {
            // A line feed or carriage return byte is one in both encodings and
            // never part of a UTF-8 sequence.
            qsizetype nl = start;
            while (nl < body.size() && body[nl] != '\n' && body[nl] != '\r')
                ++nl;
            nl = nl < body.size() ? nl + 1 : body.size();
            const QByteArrayView line = body.sliced(start, nl - start);
            const std::optional<QString> asUtf8 = decodeUtf8(line);
            text += asUtf8 ? *asUtf8 : fromCp1251(line);
            start = nl;
        }
    }

    const QStringView all(text);
    // Held for the program's life: no room for lines that will never come.
    doc.m_lines.reserve(size_t(all.count(u'\n') + all.count(u'\r')) + 1);
    bool firstEnd = true;
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype brk = start;
        while (brk < all.size() && all[brk] != u'\n' && all[brk] != u'\r')
            ++brk;
        if (brk == all.size()) {
            doc.m_lines.push_back(makeLine(all.sliced(start).toString(), LineEnd::None));
            break;
        }
        LineEnd end = LineEnd::Lf;
        qsizetype next = brk + 1;
        if (all[brk] == u'\r') {
            const bool crlf = next < all.size() && all[next] == u'\n';
            end = crlf ? LineEnd::CrLf : LineEnd::Cr;
            next += crlf ? 1 : 0;
        }
        if (firstEnd) {
            doc.m_newLineEnd = end;
            firstEnd = false;
        }
        doc.m_lines.push_back(makeLine(all.sliced(start, brk - start).toString(), end));
        start = next;
    }
    return doc;
}

QByteArray IniDocument::serialize() const {
    qsizetype size = 0;
    for (const Line& line : m_lines)
        size += line.text.size() + 2;
    QString text;
    text.reserve(size);
    for (const Line& line : m_lines) {
        text += line.text;
        text += lineEndText(line.end);
    }
    QByteArray out;
    if (m_bom)
        out = QByteArray(kBom, 3);
    out += text.toUtf8();
    return out;
}

qsizetype IniDocument::findSection(QStringView section, qsizetype from) const {
    if (from == 0) {
        if (!m_sectionIndexValid) {
            m_sectionIndex.clear();
            for (qsizetype i = 0; i < lineCount(); ++i) {
                const Line& line = m_lines[size_t(i)];
                if (line.kind != Kind::Header)
                    continue;
                // The first of a duplicated section is the one read and written.
                const QString folded = foldKey(line.name());
                if (!m_sectionIndex.contains(folded))
                    m_sectionIndex.insert(folded, i);
            }
            m_sectionIndexValid = true;
        }
        return m_sectionIndex.value(foldKey(section), -1);
    }
    for (qsizetype i = from; i < lineCount(); ++i) {
        const Line& line = m_lines[size_t(i)];
        if (line.kind == Kind::Header && sameName(line.name(), section))
            return i;
    }
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype header) const {
    qsizetype i = header + 1;
    while (i < lineCount() && m_lines[size_t(i)].kind != Kind::Header)
        ++i;
    return i;
}

qsizetype IniDocument::findKey(qsizetype header, QStringView key) const {
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line& line = m_lines[size_t(i)];
        if (line.kind == Kind::Key && sameName(line.name(), key))
            return i;
    }
    return -1;
}

void IniDocument::insertLine(qsizetype at, QString text) {
    // The line before an inserted one must end, or the two would run together.
    if (at > 0 && m_lines[size_t(at - 1)].end == LineEnd::None)
        m_lines[size_t(at - 1)].end = m_newLineEnd;
    m_lines.insert(m_lines.begin() + at, makeLine(std::move(text), m_newLineEnd));
    m_sectionIndexValid = false;
}

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const {
    const QString name = sectionName(section);
    const qsizetype header = findSection(name);
    if (header < 0)
        return std::nullopt;
    const qsizetype at = findKey(header, trimBlanks(key));
    if (at < 0)
        return std::nullopt;
    const Line& line = m_lines[size_t(at)];
    return line.text.sliced(line.valueStart);
}

bool IniDocument::setValue(QStringView section, QStringView key, QStringView value) {
    if (!isStorableKey(key))
        return false;
    const QStringView k = trimBlanks(key);
    const QString v = storableValue(value);

    const qsizetype header = findSection(sectionName(section));
    if (header < 0) {
        // The name as given: blanks around it are the caller's, and they do
        // not keep the section from being found.
        insertLine(lineCount(), u'[' + storableName(section) + u']');
        insertLine(lineCount(), k + u'=' + v);
        return true;
    }
    if (const qsizetype at = findKey(header, k); at >= 0) {
        // Replaced where it stands, keeping the key's own spelling and blanks.
        Line& line = m_lines[size_t(at)];
        line.text.truncate(line.valueStart);
        line.text += v;
        return true;
    }
    // After the section's last key, so comments and blank lines that close the
    // section stay where they are.
    const qsizetype end = sectionEnd(header);
    qsizetype at = header + 1;
    for (qsizetype i = header + 1; i < end; ++i) {
        if (m_lines[size_t(i)].kind == Kind::Key)
            at = i + 1;
    }
    insertLine(at, k + u'=' + v);
    return true;
}

QStringList IniDocument::sections() const {
    QStringList names;
    QSet<QString> seen;
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Header)
            addFirstSpelling(names, seen, line.name());
    }
    return names;
}

QStringList IniDocument::keys(QStringView section) const {
    QStringList names;
    const qsizetype header = findSection(sectionName(section));
    if (header < 0)
        return names;
    QSet<QString> seen;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line& line = m_lines[size_t(i)];
        if (line.kind == Kind::Key)
            addFirstSpelling(names, seen, line.name());
    }
    return names;
}

bool IniDocument::eraseSection(QStringView section) {
    // Every copy goes: otherwise a duplicate further down would take the erased
    // section's place and a deleted task would come back.
    const QString name = sectionName(section);
    bool erased = false;
    for (qsizetype header = findSection(name); header >= 0; header = findSection(name, header)) {
        const qsizetype end = sectionEnd(header);
        m_lines.erase(m_lines.begin() + header, m_lines.begin() + end);
        m_sectionIndexValid = false;
        erased = true;
    }
    return erased;
}

bool IniDocument::deleteKey(QStringView section, QStringView key) {
    const qsizetype header = findSection(sectionName(section));
    if (header < 0)
        return false;
    // Every copy in the section goes, so the key then reads as missing.
    const QStringView k = trimBlanks(key);
    bool deleted = false;
    for (qsizetype at = findKey(header, k); at >= 0; at = findKey(header, k)) {
        m_lines.erase(m_lines.begin() + at);
        m_sectionIndexValid = false;
        deleted = true;
    }
    return deleted;
}

bool IniDocument::isStorableKey(QStringView key) {
    const QStringView k = trimBlanks(key);
    if (k.isEmpty() || k.contains(u'=') || storableName(k) != k)
        return false;
    const Line line = makeLine(k + u'=', LineEnd::Lf);
    return line.kind == Kind::Key && line.name() == k;
}

QString IniDocument::storableName(QStringView text) {
    QString out = text.toString();
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        QChar& c = out[i];
        if (c == u'\n' || c == u'\r') {
            c = u' ';
        } else if (c.isHighSurrogate() && i + 1 < n && out[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            // UTF-8 cannot carry a lone half of a pair; keep in memory what the file will hold.
            c = QChar::ReplacementCharacter;
        }
    }
    return out;
}

QString IniDocument::sectionName(QStringView text) {
    return trimBlanks(storableName(text)).toString();
}

QString IniDocument::storableValue(QStringView text) {
    return storableName(text);
}
