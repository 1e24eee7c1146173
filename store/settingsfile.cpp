#include "store/settingsfile.h"

#include "store/clock.h"
#include "store/inidocument.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringView trimBlanks(QStringView s) {
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (!s.isEmpty() && blank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && blank(s.back()))
        s.chop(1);
    return s;
}

// A number, keyword, date or time as a person may have typed it: without
// the blanks around it and one pair of double quotes around that.
QString bareValue(QStringView text) {
    text = trimBlanks(text);
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"')
        text = trimBlanks(text.sliced(1, text.size() - 2));
    return text.toString();
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int hexDigit(QChar c) {
    if (isAsciiDigit(c))
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// Decimal with an optional sign, or hexadecimal after "0x"/"0X" when the text is
// longer than those two characters. Anything else, or a number outside 32 bits,
// is not an integer.
std::optional<int> parseInteger(QStringView text) {
    constexpr qint64 kMin = std::numeric_limits<int>::min();
    constexpr qint64 kMax = std::numeric_limits<int>::max();
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        qint64 v = 0;
        for (const QChar c : text.sliced(2)) {
            const int d = hexDigit(c);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + d;
            if (v > kMax)
                return std::nullopt;
        }
        return int(v);
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        if (!isAsciiDigit(text[i]))
            return std::nullopt;
        v = v * 10 + (text[i].unicode() - u'0');
        if (v > kMax + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v < kMin || v > kMax)
        return std::nullopt;
    return int(v);
}

} // namespace

SettingsFile::SettingsFile(QString path, RegionalFormats formats, const Clock& clock)
    : m_ini(std::move(path)), m_formats(std::move(formats)), m_clock(clock) {}

QString SettingsFile::ReadString(QStringView section, QStringView key, const QString& def) const {
    std::optional<QString> text = m_ini.value(section, key);
    if (!text)
        return def;
    if (trimBlanks(*text).isEmpty())
        return QString();
    return *std::move(text);
}

QString SettingsFile::ReadKeyword(QStringView section, QStringView key, const QString& def) const {
    const std::optional<QString> text = m_ini.value(section, key);
    return text ? bareValue(*text) : def;
}

void SettingsFile::WriteString(QStringView section, QStringView key, const QString& value) {
    m_ini.setValue(section, key, value);
}

int SettingsFile::ReadInteger(QStringView section, QStringView key, int def) const {
    return parseInteger(bareValue(ReadString(section, key, QString()))).value_or(def);
}

void SettingsFile::WriteInteger(QStringView section, QStringView key, int value) {
    WriteString(section, key, QString::number(value));
}

bool SettingsFile::ReadBool(QStringView section, QStringView key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void SettingsFile::WriteBool(QStringView section, QStringView key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

double SettingsFile::ReadDate(QStringView section, QStringView key, double def) const {
    const QString text = bareValue(ReadString(section, key, QString()).trimmed());
    if (text.isEmpty())
        return def;
    if (const std::optional<int> day = m_formats.parseDate(text, m_clock.today()))
        return *day;
    return def;
}

void SettingsFile::WriteDate(QStringView section, QStringView key, double value) {
    WriteString(section, key, m_formats.formatDate(value));
}

double SettingsFile::ReadTime(QStringView section, QStringView key, double def) const {
    const QString text = bareValue(ReadString(section, key, QString()).trimmed());
    if (text.isEmpty())
        return def;
    return m_formats.parseTime(text).value_or(def);
}

void SettingsFile::WriteTime(QStringView section, QStringView key, double value) {
    WriteString(section, key, m_formats.formatTime(value));
}

void SettingsFile::ReadSections(QStringList& list) const {
    list = m_ini.sections();
}

void SettingsFile::EraseSection(QStringView section) {
    m_ini.eraseSection(section);
}

void SettingsFile::DeleteKey(QStringView section, QStringView key) {
    (void)m_ini.deleteKey(section, key);
}

bool SettingsFile::sameSection(QStringView a, QStringView b) {
    return IniDocument::sectionName(a).compare(IniDocument::sectionName(b), Qt::CaseInsensitive) ==
           0;
}

QString chooseSettingsPath(const QString& dir, const QString& userName) {
    const QString folder = dir.endsWith(u'/') ? dir : dir + u'/';
    QString fallback = folder + QStringLiteral("sets.ini");
    // A name with a slash would reach into another folder; one with NUL cannot
    // be passed to the system at all.
    if (userName.isEmpty() || userName.contains(u'/') || userName.contains(QChar(0)))
        return fallback;
    QString path = folder + userName + QStringLiteral(".ini");
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0)
        return S_ISREG(st.st_mode) ? path : fallback;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        // Someone else may have created it between the two calls.
        const bool raced =
            errno == EEXIST && ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode);
        return raced ? path : fallback;
    }
    ::close(fd);
    return path;
}
