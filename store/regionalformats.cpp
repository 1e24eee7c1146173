#include "store/regionalformats.h"

#include "store/daycount.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// Blanks include the invisible direction marks some locales put between the
// fields of a date (Arabic "d‏/M‏/yyyy"), so they never count as separators.
bool isBlank(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Format;
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
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

// One piece of a Qt date or time format: a field (a run of one format letter)
// or literal text, with quotes resolved. begin/end locate it in the format.
struct Token {
    qsizetype begin = 0;
    qsizetype end = 0;
    QChar letter; // null for literal text
    int count = 0;
    QString text; // literal text only
    bool isField() const { return !letter.isNull(); }
};

int maxRun(QChar letter) {
    switch (letter.unicode()) {
    case u'd':
    case u'M':
    case u'y':
        return 4;
    case u'z':
        return 3;
    case u't':
        return std::numeric_limits<int>::max();
    default:
        return 2;
    }
}

// Splits a format the way Qt reads it: quoted text is literal ('' is a quote),
// runs of a field letter are fields, "AP"/"ap" is one designator field.
QList<Token> tokenize(QStringView fmt, QStringView fieldLetters) {
    QList<Token> tokens;
    auto appendLiteral = [&tokens](qsizetype begin, qsizetype end, QStringView text) {
        if (!tokens.isEmpty() && !tokens.last().isField() && tokens.last().end == begin) {
            tokens.last().end = end;
            tokens.last().text += text;
        } else {
            tokens.append(Token{begin, end, QChar(), 0, text.toString()});
        }
    };
    qsizetype i = 0;
    while (i < fmt.size()) {
        const QChar c = fmt[i];
        if (c == u'\'') {
            const qsizetype begin = i++;
            QString text;
            if (i < fmt.size() && fmt[i] == u'\'') { // '' outside quotes
                appendLiteral(begin, ++i, u"'");
                continue;
            }
            while (i < fmt.size()) {
                if (fmt[i] == u'\'') {
                    if (i + 1 < fmt.size() && fmt[i + 1] == u'\'') {
                        text += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += fmt[i++];
            }
            appendLiteral(begin, i, text);
        } else if (fieldLetters.contains(c)) {
            const qsizetype begin = i;
            int count = 0;
            if (c == u'A' || c == u'a') {
                ++i;
                count = 1;
                if (i < fmt.size() && (fmt[i] == u'P' || fmt[i] == u'p')) {
                    ++i;
                    count = 2;
                }
            } else {
                const int limit = maxRun(c);
                while (i < fmt.size() && fmt[i] == c && count < limit) {
                    ++i;
                    ++count;
                }
            }
            tokens.append(Token{begin, i, c, count, {}});
        } else {
            appendLiteral(i, i + 1, fmt.sliced(i, 1));
            ++i;
        }
    }
    return tokens;
}

constexpr QStringView kDateLetters = u"dMy";
constexpr QStringView kTimeLetters = u"hHmsztAa";

// The separator a literal between two fields stands for: its first visible
// character, or a blank when it holds only blanks.
std::optional<QChar> separatorIn(QStringView literal) {
    const QStringView t = trimBlanks(literal);
    if (!t.isEmpty())
        return t.front();
    if (!literal.isEmpty())
        return QChar(u' ');
    return std::nullopt;
}

// The date separator of a format made of day, month and year numbers only,
// each once, between one separator; nothing for any other format.
std::optional<QChar> numericDateSeparator(QStringView fmt) {
    const QList<Token> tokens = tokenize(fmt, kDateLetters);
    int days = 0;
    int months = 0;
    int years = 0;
    std::optional<QChar> sep;
    int fieldsSeen = 0;
    for (const Token& t : tokens) {
        if (t.isField()) {
            ++fieldsSeen;
            if (t.letter == u'd' && t.count <= 2)
                ++days;
            else if (t.letter == u'M' && t.count <= 2)
                ++months;
            else if (t.letter == u'y' && (t.count == 2 || t.count == 4))
                ++years;
            else
                return std::nullopt; // names of days or months, odd year widths
            continue;
        }
        for (QChar c : t.text)
            if (c.isLetterOrNumber())
                return std::nullopt;
        const std::optional<QChar> s = separatorIn(t.text);
        if (fieldsSeen == 0) {
            if (s)
                return std::nullopt; // nothing may stand before the first number
        } else if (fieldsSeen < 3) {
            if (!s || (sep && *s != *sep))
                return std::nullopt;
            sep = s;
        } else if (s && *s != u' ' && (!sep || *s != *sep)) {
            return std::nullopt; // only a closing separator may follow the year
        }
    }
    if (days != 1 || months != 1 || years != 1 || !sep)
        return std::nullopt;
    return sep;
}

// Qt's long time formats name the time zone ("HH:mm:ss t", "t HH:mm:ss",
// "H:mm:ss (t)"); the settings file holds a bare time of day.
QString stripZone(QString fmt) {
    for (;;) {
        const QList<Token> tokens = tokenize(fmt, kTimeLetters);
        const auto zone = std::find_if(tokens.begin(), tokens.end(),
                                       [](const Token& t) { return t.letter == u't'; });
        if (zone == tokens.end())
            return trimBlanks(fmt).toString();
        qsizetype b = zone->begin;
        qsizetype e = zone->end;
        auto blanksBefore = [&fmt](qsizetype p) {
            while (p > 0 && isBlank(fmt[p - 1]))
                --p;
            return p;
        };
        auto blanksAfter = [&fmt](qsizetype p) {
            while (p < fmt.size() && isBlank(fmt[p]))
                ++p;
            return p;
        };
        const qsizetype pb = blanksBefore(b);
        const qsizetype pe = blanksAfter(e);
        if (pb > 0 && fmt[pb - 1] == u'(' && pe < fmt.size() && fmt[pe] == u')') {
            b = pb - 1;
            e = pe + 1;
        }
        const qsizetype before = blanksBefore(b);
        if (before > 0)
            fmt.remove(before, e - before);
        else
            fmt.remove(0, blanksAfter(e));
    }
}

// The time separator: what follows the hour field, if the format has hours,
// minutes and seconds.
std::optional<QChar> timeSeparatorOf(QStringView fmt) {
    const QList<Token> tokens = tokenize(fmt, kTimeLetters);
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    std::optional<QChar> sep;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QChar l = tokens[i].letter;
        if (l == u'h' || l == u'H') {
            ++hours;
            if (i + 1 < tokens.size() && !tokens[i + 1].isField())
                sep = separatorIn(tokens[i + 1].text);
        } else if (l == u'm') {
            ++minutes;
        } else if (l == u's') {
            ++seconds;
        }
    }
    if (hours != 1 || minutes != 1 || seconds != 1 || !sep || *sep == u' ')
        return std::nullopt;
    return sep;
}

QString twoDigits(int v) {
    return QString::number(v).rightJustified(2, u'0');
}

QString formatTimeWith(QStringView fmt, QTime t, const QString& am, const QString& pm) {
    const QList<Token> tokens = tokenize(fmt, kTimeLetters);
    const bool twelveHour = std::any_of(tokens.begin(), tokens.end(), [](const Token& tok) {
        return tok.letter == u'A' || tok.letter == u'a';
    });
    QString out;
    for (const Token& tok : tokens) {
        if (!tok.isField()) {
            out += tok.text;
            continue;
        }
        auto number = [&tok](int v) { return tok.count >= 2 ? twoDigits(v) : QString::number(v); };
        switch (tok.letter.unicode()) {
        case u'h': {
            int h = t.hour();
            if (twelveHour)
                h = h % 12 == 0 ? 12 : h % 12;
            out += number(h);
            break;
        }
        case u'H':
            out += number(t.hour());
            break;
        case u'm':
            out += number(t.minute());
            break;
        case u's':
            out += number(t.second());
            break;
        case u'z':
            if (tok.count >= 3) {
                out += QString::number(t.msec()).rightJustified(3, u'0');
            } else {
                QString ms = QString::number(t.msec()).rightJustified(3, u'0');
                while (ms.size() > 1 && ms.endsWith(u'0'))
                    ms.chop(1);
                out += ms;
            }
            break;
        case u'A':
            out += (t.hour() < 12 ? am : pm).toUpper();
            break;
        case u'a':
            out += (t.hour() < 12 ? am : pm).toLower();
            break;
        default: // the time zone: never written
            break;
        }
    }
    return out;
}

// Order of day, month and year in a short date format, by their first fields.
std::array<QChar, 3> dateOrder(QStringView fmt) {
    std::array<QChar, 3> order{};
    int n = 0;
    for (const Token& t : tokenize(fmt, kDateLetters)) {
        if (!t.isField() || n == 3)
            continue;
        if (std::find(order.begin(), order.begin() + n, t.letter) == order.begin() + n)
            order[static_cast<size_t>(n++)] = t.letter;
    }
    if (n != 3)
        return {u'd', u'M', u'y'};
    return order;
}

// How much of the start of `s` is the designator `d`, ignoring letter case;
// any run of blanks matches any other, so "p. m." with a no-break space inside
// is found as typed with a plain one. 0 when `s` does not start with it.
qsizetype designatorLength(QStringView s, QStringView d) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (j < d.size()) {
        if (i == s.size())
            return 0;
        if (isBlank(d[j])) {
            if (!isBlank(s[i]))
                return 0;
            while (j < d.size() && isBlank(d[j]))
                ++j;
            while (i < s.size() && isBlank(s[i]))
                ++i;
            continue;
        }
        if (s[i].toCaseFolded() != d[j].toCaseFolded())
            return 0;
        ++i;
        ++j;
    }
    return i;
}

int floorMod(int a, int b) {
    const int r = a % b;
    return r < 0 ? r + b : r;
}

// The year ending in the two digits `yy` from 50 years before to 49 years
// after `currentYear`.
int windowYear(int yy, int currentYear) {
    const int base = currentYear - 50;
    int year = base - floorMod(base, 100) + yy;
    if (year < base)
        year += 100;
    return year;
}

// Day counts of years 1 to 9999; anything outside is no date at all.
constexpr double kMinDay = -693593.0;                // 0001-01-01
constexpr double kMaxDay = daycount::kLastDay + 1.0; // the day after 9999-12-31

bool sampleDatesRoundTrip(const RegionalFormats& f) {
    for (QDate d :
         {QDate(2026, 12, 8), QDate(2000, 2, 29), QDate(1999, 11, 5), QDate(2031, 1, 31)}) {
        const int day = daycount::fromDate(d);
        if (f.parseDate(f.formatDate(day), day) != day)
            return false;
    }
    return true;
}

bool sampleTimesRoundTrip(const RegionalFormats& f) {
    for (QTime t : {QTime(0, 0, 0), QTime(0, 0, 1), QTime(1, 2, 3), QTime(11, 59, 59),
                    QTime(12, 0, 0), QTime(13, 5, 9), QTime(23, 59, 59)}) {
        const double v = daycount::fromTime(t);
        const std::optional<double> back = f.parseTime(f.formatTime(v));
        if (!back || daycount::toTime(*back) != t)
            return false;
    }
    return true;
}

} // namespace

RegionalFormats RegionalFormats::fromSystem() {
    return fromLocale(QLocale::system());
}

RegionalFormats RegionalFormats::fromLocale(const QLocale& locale) {
    RegionalFormats f;
    f.amDesignator = locale.amText();
    f.pmDesignator = locale.pmText();

    const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    if (const std::optional<QChar> sep = numericDateSeparator(dateFormat)) {
        f.shortDateFormat = dateFormat;
        f.dateSeparator = *sep;
    }
    if (f.shortDateFormat.isEmpty() || !sampleDatesRoundTrip(f)) {
        f.shortDateFormat = QStringLiteral("dd.MM.yyyy");
        f.dateSeparator = u'.';
    }

    const QString timeFormat = stripZone(locale.timeFormat(QLocale::LongFormat));
    if (const std::optional<QChar> sep = timeSeparatorOf(timeFormat)) {
        f.longTimeFormat = timeFormat;
        f.timeSeparator = *sep;
    }
    if (f.longTimeFormat.isEmpty() || !sampleTimesRoundTrip(f)) {
        f.longTimeFormat = QStringLiteral("HH:mm:ss");
        f.timeSeparator = u':';
    }
    return f;
}

RegionalFormats RegionalFormats::russian() {
    return {QStringLiteral("dd.MM.yyyy"), u'.',
            QStringLiteral("HH:mm:ss"),   u':',
            QStringLiteral("AM"),         QStringLiteral("PM")};
}

RegionalFormats RegionalFormats::us() {
    return {QStringLiteral("M/d/yy"),     u'/',
            QStringLiteral("h:mm:ss AP"), u':',
            QStringLiteral("AM"),         QStringLiteral("PM")};
}

QString RegionalFormats::formatDate(double value) const {
    if (!std::isfinite(value) || value < kMinDay || value >= kMaxDay)
        return {};
    return daycount::toDate(value).toString(shortDateFormat);
}

std::optional<int> RegionalFormats::parseDate(const QString& text, int today) const {
    const QStringView s = trimBlanks(text);
    const bool blankSeparator = isBlank(dateSeparator);
    std::array<int, 3> numbers{};
    std::array<qsizetype, 3> digits{};
    int count = 0;
    bool closingSeparator = false;
    qsizetype i = 0;
    for (;;) {
        const qsizetype start = i;
        int v = 0;
        while (i < s.size() && isAsciiDigit(s[i]) && i - start < 5) {
            v = v * 10 + (s[i].unicode() - u'0');
            ++i;
        }
        const qsizetype len = i - start;
        if (len == 0 || len > 4 || count == 3)
            return std::nullopt;
        numbers[static_cast<size_t>(count)] = v;
        digits[static_cast<size_t>(count)] = len;
        ++count;

        const qsizetype gap = i;
        while (i < s.size() && isBlank(s[i]))
            ++i;
        if (i == s.size())
            break;
        if (!blankSeparator && s[i] == dateSeparator) {
            ++i;
            while (i < s.size() && isBlank(s[i]))
                ++i;
            if (i == s.size()) {
                closingSeparator = true;
                break;
            }
        } else if (!(blankSeparator && i > gap)) {
            return std::nullopt;
        }
    }
    if (count < 2)
        return std::nullopt;
    if (closingSeparator) {
        // Only formats that end in the separator ("yy. M. d.") write one last.
        const QStringView f = trimBlanks(shortDateFormat);
        if (f.isEmpty() || f.back() != dateSeparator)
            return std::nullopt;
    }

    const QDate todayDate = daycount::toDate(today);
    int day = 0;
    int month = 0;
    int year = todayDate.year();
    if (count == 3) {
        const std::array<QChar, 3> order = dateOrder(shortDateFormat);
        for (size_t k = 0; k < 3; ++k) {
            if (order[k] == u'd') {
                day = numbers[k];
            } else if (order[k] == u'M') {
                month = numbers[k];
            } else {
                year = numbers[k];
                if (digits[k] <= 2)
                    year = windowYear(year, todayDate.year());
            }
        }
    } else if (dateOrder(shortDateFormat)[0] == u'd') {
        day = numbers[0];
        month = numbers[1];
    } else { // month first, and year-first formats without their year
        month = numbers[0];
        day = numbers[1];
    }
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return std::nullopt;
    return daycount::fromDate(QDate(year, month, day));
}

QString RegionalFormats::formatTime(double value) const {
    if (!std::isfinite(value))
        return {};
    return formatTimeWith(longTimeFormat, daycount::toTime(value), amDesignator, pmDesignator);
}

std::optional<double> RegionalFormats::parseTime(const QString& text) const {
    QStringView s = trimBlanks(text);
    if (s.isEmpty())
        return std::nullopt;

    // The usual text is digits and separators only: no designator to look for.
    // This runs for every time read from the settings file, so it matters.
    const bool plain = std::all_of(
        s.begin(), s.end(), [this](QChar c) { return isAsciiDigit(c) || c == timeSeparator; });

    struct Designator {
        QString text;
        bool pm;
    };
    QList<Designator> designators;
    for (const Designator& d :
         {Designator{amDesignator, false}, Designator{pmDesignator, true},
          Designator{QStringLiteral("AM"), false}, Designator{QStringLiteral("PM"), true}}) {
        if (!plain && !trimBlanks(d.text).isEmpty())
            designators.append({trimBlanks(d.text).toString(), d.pm});
    }
    // Longest first, so "a. m." is not taken for a shorter designator it starts with.
    std::stable_sort(
        designators.begin(), designators.end(),
        [](const Designator& a, const Designator& b) { return a.text.size() > b.text.size(); });
    std::optional<bool> pm;
    for (const Designator& d : designators) {
        if (const qsizetype n = designatorLength(s, d.text); n > 0 && n < s.size()) {
            s = trimBlanks(s.sliced(n));
            pm = d.pm;
            break;
        }
        bool found = false;
        for (qsizetype k = 1; k < s.size() && !found; ++k) {
            if (designatorLength(s.sliced(k), d.text) == s.size() - k) {
                s = trimBlanks(s.first(k));
                pm = d.pm;
                found = true;
            }
        }
        if (found)
            break;
    }

    std::array<int, 3> parts{}; // hours, minutes, seconds
    qsizetype i = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
        const qsizetype start = i;
        while (i < s.size() && isAsciiDigit(s[i]) && i - start < 3)
            parts[k] = parts[k] * 10 + (s[i++].unicode() - u'0');
        if (i == start || i - start > 2)
            return std::nullopt;
        if (i == s.size())
            break;
        if (s[i] != timeSeparator || k == parts.size() - 1)
            return std::nullopt;
        ++i;
    }

    int hours = parts[0];
    if (pm) {
        if (hours > 12)
            return std::nullopt;
        if (hours == 12)
            hours = 0;
        if (*pm)
            hours += 12;
    }
    if (hours > 23 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    return daycount::encodeTime(hours, parts[1], parts[2]);
}

QString maskedTimeText(double value) {
    const QTime t = std::isfinite(value) ? daycount::toTime(value) : QTime(0, 0);
    return t.toString(u"HH:mm:ss");
}
