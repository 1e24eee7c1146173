#include "store/apperror.h"
#include "store/clock.h"
#include "store/daycount.h"
#include "store/inidocument.h"
#include "store/keys.h"
#include "store/nameorder.h"
#include "store/regionalformats.h"
#include "store/settingsfile.h"
#include "tests/common/manualclock.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QStringList listDir(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The message of the AppError that fn throws, or a note that it threw none.
QString errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const AppError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// Permissions do not bind root, so refusals are tried as an ordinary user: fn
// runs in a child process that has given up root. It returns an empty text when
// all went as expected, else what went wrong.
QString asUnprivileged(const std::function<QString()>& fn) {
    if (::geteuid() != 0)
        return fn();
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return QStringLiteral("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        return QStringLiteral("fork failed");
    if (pid == 0) {
        ::close(pipeFds[0]);
        QByteArray out;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            out = "could not drop root";
        else
            out = fn().toUtf8();
        (void)!::write(pipeFds[1], out.constData(), size_t(out.size()));
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray out;
    char buf[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
        out.append(buf, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("child died: ") + QString::fromUtf8(out);
    return QString::fromUtf8(out);
}

QString expectEq(const QString& what, const QString& got, const QString& want) {
    if (got == want)
        return {};
    return what + QStringLiteral(": got '") + got + QStringLiteral("', want '") + want +
           QStringLiteral("'; ");
}

QByteArray utf8(const char* s) {
    return QByteArray(s);
}

// Every section, key and value as read, in file order, through a fresh parse
// so no cache helps.
QList<QStringList> snapshot(const QString& path) {
    const IniDocument doc = IniDocument::parse(readBytes(path));
    QList<QStringList> all;
    const QStringList sections = doc.sections();
    for (const QString& s : sections) {
        const QStringList keys = doc.keys(s);
        for (const QString& k : keys)
            all.append({s, k, doc.value(s, k).value_or(QStringLiteral("<missing>"))});
    }
    return all;
}

} // namespace

class TestStore final : public QObject {
    Q_OBJECT

    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(12, 0))};
    QTemporaryDir m_tmp;
    int m_seq = 0;

    // A fresh path in the test folder, with the given content when not null.
    QString file(const QByteArray& content = QByteArray()) {
        QString path = m_tmp.filePath(QStringLiteral("f%1.ini").arg(++m_seq));
        if (!content.isNull())
            writeBytes(path, content);
        return path;
    }
    SettingsFile open(const QString& path, RegionalFormats f = RegionalFormats::russian()) {
        return SettingsFile(path, std::move(f), m_clock);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }

    // --- the name box's order without the collation library -------------------

    void russianOrderAgreesWithTheCollationLibrary() {
        // The collation library's Russian order, letter case aside, is the
        // reference: random names drawn from few letters, so that many share
        // long beginnings, differ only by case or by ё against е, or one is the
        // beginning of the other.
        QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(false);
        const QString letters = QStringLiteral(" 09еЕёЁжаЯяйиzaZAъь");
        QRandomGenerator rng(15);
        const auto name = [&] {
            QString s;
            for (int i = 0, n = int(rng.bounded(6)); i < n; ++i)
                s += letters.at(int(rng.bounded(letters.size())));
            return s;
        };
        const auto sign = [](int v) { return (v > 0) - (v < 0); };
        for (int i = 0; i < 20000; ++i) {
            const QString a = name();
            const QString b = rng.bounded(4) == 0 ? a.toUpper() : name();
            const std::optional<int> ours = nameorder::compareRussian(a, b);
            QVERIFY(ours.has_value());
            if (sign(*ours) != sign(collator.compare(a, b)))
                QFAIL(qPrintable(u'"' + a + u"\" against \"" + b + u'"'));
        }
        // Every letter of both alphabets and every digit in the library's order.
        QString all = QStringLiteral(" ёЁ");
        for (char16_t c = u'0'; c <= u'9'; ++c)
            all += QChar(c);
        for (char16_t c = u'а'; c <= u'я'; ++c)
            all += QChar(c) + QChar(char16_t(c - 0x20));
        for (char16_t c = u'a'; c <= u'z'; ++c)
            all += QChar(c) + QChar(char16_t(c - 0x20));
        for (QChar x : std::as_const(all)) {
            const QString a = QString(x) + u'я';
            for (QChar y : std::as_const(all))
                QCOMPARE(sign(*nameorder::compareRussian(a, QString(y))),
                         sign(collator.compare(a, QString(y))));
        }
        // Anything else is left to the library.
        QVERIFY(!nameorder::compareRussian(u"Задание-1", u"Задание").has_value());
        QVERIFY(!nameorder::compareRussian(u"abc", u"Ä").has_value());
        QVERIFY(!nameorder::compareRussian(QStringLiteral("е\u0308"), u"ё").has_value());
    }

    // --- syntax and matching -------------------------------------------------

    void sectionsAndKeysMatchWithoutCase() {
        const QString path = file(utf8("[Main]\nTop=1\n[Задача]\nOnes=3\n"));
        SettingsFile sf = open(path);
        QCOMPARE(sf.ReadInteger(u"main", u"TOP", -1), 1);
        QCOMPARE(sf.ReadInteger(u"ЗАДАЧА", u"ones", -1), 3);
        sf.WriteInteger(u"задача", u"ONES", 7);
        sf.WriteString(u"ЗАДАЧА", u"message", QStringLiteral("x"));
        // Lands in the existing section, under the key's own spelling.
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=1\n[Задача]\nOnes=7\nmessage=x\n"));
        QStringList list{QStringLiteral("stale")};
        sf.ReadSections(list);
        QCOMPARE(list, (QStringList{QStringLiteral("Main"), QStringLiteral("Задача")}));
    }

    void placementOfNewAndReplacedValues() {
        const QByteArray before = "; settings\n"
                                  "[Main]\n"
                                  "Top=10\n"
                                  "  Left = 20\n"
                                  "\n"
                                  "; tasks follow\n"
                                  "[Task]\n"
                                  "Message=hi\n";
        const QString path = file(before);
        SettingsFile sf = open(path);
        // Replaced where it stands: the key keeps its blanks, the value is exactly what is written.
        sf.WriteInteger(u"Main", u"Left", 30);
        sf.WriteInteger(u"Main", u"Height", 99); // after the last key, before the blank line
        sf.WriteString(u"New", u"Action", QStringLiteral("0")); // at the end
        QCOMPARE(readBytes(path), QByteArray("; settings\n"
                                             "[Main]\n"
                                             "Top=10\n"
                                             "  Left =30\n"
                                             "Height=99\n"
                                             "\n"
                                             "; tasks follow\n"
                                             "[Task]\n"
                                             "Message=hi\n"
                                             "[New]\n"
                                             "Action=0\n"));
        QCOMPARE(sf.ReadInteger(u"main", u"left", 0), 30);
    }

    void lastLineEndingInCrWithoutLineEnd() {
        // A CR alone ends a line, as in old Mac files, also the last one.
        const QString path = file(QByteArray("[S]\nk=v\r"));
        SettingsFile sf = open(path);
        QCOMPARE(sf.ReadString(u"S", u"k", QString()), QStringLiteral("v"));
        sf.WriteString(u"S", u"j", QStringLiteral("1"));
        QCOMPARE(open(path).ReadString(u"S", u"k", QString()), QStringLiteral("v"));
        QCOMPARE(readBytes(path), QByteArray("[S]\nk=v\rj=1\n"));
    }

    void keyAddedToEmptySectionAndFileWithoutLastLineEnd() {
        const QString path = file(utf8("[A]\n[B]\nx=1"));
        SettingsFile sf = open(path);
        sf.WriteString(u"A", u"k", QStringLiteral("v"));
        sf.WriteString(u"B", u"y", QStringLiteral("2"));
        QCOMPARE(readBytes(path), utf8("[A]\nk=v\n[B]\nx=1\ny=2\n"));
    }

    void lineEndsAreKept_data() {
        QTest::addColumn<QByteArray>("eol");
        QTest::newRow("CRLF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
    }
    void lineEndsAreKept() {
        QFETCH(QByteArray, eol);
        auto lines = [&](std::initializer_list<const char*> ls) {
            QByteArray out;
            for (const char* l : ls)
                out += QByteArray(l) + eol;
            return out;
        };
        const QString path = file(lines({"[Main]", "Top=1", "[T]", "Message=a"}));
        SettingsFile sf = open(path);
        sf.WriteInteger(u"Main", u"Top", 2);
        sf.WriteInteger(u"Main", u"Left", 3);
        sf.WriteString(u"U", u"Message", QStringLiteral("b"));
        QCOMPARE(readBytes(path),
                 lines({"[Main]", "Top=2", "Left=3", "[T]", "Message=a", "[U]", "Message=b"}));
        sf.DeleteKey(u"Main", u"Top");
        sf.EraseSection(u"T");
        QCOMPARE(readBytes(path), lines({"[Main]", "Left=3", "[U]", "Message=b"}));
    }

    void mixedLineEndsStayLineByLine() {
        const QString path = file(QByteArray("[A]\r\nx=1\ny=2\r\n"));
        SettingsFile sf = open(path);
        sf.WriteString(u"A", u"y", QStringLiteral("3"));
        sf.WriteString(u"A", u"z", QStringLiteral("4")); // a new line takes the first line end
        QCOMPARE(readBytes(path), QByteArray("[A]\r\nx=1\ny=3\r\nz=4\r\n"));
    }

    void newFileIsUtf8WithLf() {
        const QString path = file();
        SettingsFile sf = open(path);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 0);
        QVERIFY(!QFile::exists(path)); // reading creates nothing
        sf.WriteInteger(u"Main", u"Top", 0);
        sf.WriteString(u"Будильник", u"Message", QStringLiteral("Время пришло..."));
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=0\n[Будильник]\nMessage=Время пришло...\n"));
    }

    // --- values ----------------------------------------------------------------

    void awkwardTextsRoundTrip_data() {
        QTest::addColumn<QString>("text");
        const char* texts[] = {"",
                               "  leading",
                               "trailing  ",
                               "\ttabs\t",
                               "\"quoted\"",
                               "'single'",
                               "a=b=c",
                               "=",
                               "; not a comment",
                               "# nor this",
                               "[Main]",
                               "[x",
                               "y]",
                               "C:\\Program Files\\app.exe",
                               "Пора обедать!",
                               "Ёлка ё №5 — «кавычки»",
                               "😀 emoji",
                               "¤"};
        for (const char* t : texts)
            QTest::newRow(t) << QString::fromUtf8(t);
    }
    void awkwardTextsRoundTrip() {
        QFETCH(QString, text);
        const QString path = file(utf8("[Main]\nTop=5\n[T]\nBefore=1\nAfter=2\n"));
        {
            SettingsFile sf = open(path);
            sf.WriteString(u"T", u"Before", text);
            sf.WriteString(u"T", u"Message", text);
            sf.WriteString(text, u"App", text); // the text as a section name too
            QCOMPARE(sf.ReadString(u"T", u"Message", QStringLiteral("<def>")), text);
        }
        SettingsFile fresh = open(path);
        QCOMPARE(fresh.ReadString(u"T", u"Before", QStringLiteral("<def>")), text);
        QCOMPARE(fresh.ReadString(u"T", u"Message", QStringLiteral("<def>")), text);
        QCOMPARE(fresh.ReadString(u"T", u"After", QStringLiteral("<def>")), QStringLiteral("2"));
        QCOMPARE(fresh.ReadInteger(u"Main", u"Top", 0), 5);
        QStringList list;
        fresh.ReadSections(list);
        QCOMPARE(list.size(), 3);
        // A name is read without the blanks around it, and found with them.
        QCOMPARE(list.at(2), text.trimmed());
        QCOMPARE(fresh.ReadString(text, u"App", QStringLiteral("<def>")), text);
        QCOMPARE(fresh.ReadString(list.at(2), u"App", QStringLiteral("<def>")), text);
    }

    void lineBreaksCannotForgeLines() {
        const QString path = file(utf8("[Main]\nTop=5\n"));
        SettingsFile sf = open(path);
        sf.WriteString(u"T", u"Message", QStringLiteral("x\r\n[Main]\nTop=99"));
        sf.WriteString(QStringLiteral("evil\n[Main]"), u"Top", QStringLiteral("1"));
        SettingsFile fresh = open(path);
        QCOMPARE(fresh.ReadInteger(u"Main", u"Top", 0), 5);
        // CR and LF both end a line: each becomes a blank.
        QCOMPARE(fresh.ReadString(u"T", u"Message", QString()), QStringLiteral("x  [Main] Top=99"));
        sf.WriteString(u"T", u"Cr", QStringLiteral("ends in CR\r"));
        sf.WriteString(u"T", u"After", QStringLiteral("1"));
        QCOMPARE(open(path).ReadString(u"T", u"Cr", QString()), QStringLiteral("ends in CR "));
        QStringList list;
        fresh.ReadSections(list);
        QCOMPARE(list, (QStringList{QStringLiteral("Main"), QStringLiteral("T"),
                                    QStringLiteral("evil [Main]")}));
        QCOMPARE(fresh.ReadInteger(QStringLiteral("evil\n[Main]"), u"Top", 0), 1);
    }

    void keysTheFileCannotHoldAreRefused() {
        const QByteArray before = "[Main]\nTop=5\n";
        const QString path = file(before);
        SettingsFile sf = open(path);
        const QString expected = QStringLiteral("Unable to write to ") + path;
        for (const QString& key : {QStringLiteral("a=b"), QStringLiteral(""), QStringLiteral("  "),
                                   QStringLiteral("[x]"), QStringLiteral("[x"),
                                   QStringLiteral(";c"), QStringLiteral("a\nb")})
            QCOMPARE(errorOf([&] { sf.WriteString(u"Main", key, QStringLiteral("1")); }), expected);
        QCOMPARE(readBytes(path), before);
    }

    void integers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        const int def = -777;
        QTest::newRow("decimal") << QStringLiteral("42") << 42;
        QTest::newRow("blanks around") << QStringLiteral("  42\t") << 42;
        QTest::newRow("negative") << QStringLiteral("-7") << -7;
        QTest::newRow("plus") << QStringLiteral("+7") << 7;
        QTest::newRow("leading zeros") << QStringLiteral("007") << 7;
        QTest::newRow("hex 0x1F") << QStringLiteral("0x1F") << 31;
        QTest::newRow("hex 0X1f") << QStringLiteral("0X1f") << 31;
        QTest::newRow("hex one digit") << QStringLiteral("0x1") << 1;
        QTest::newRow("hex max") << QStringLiteral("0x7FFFFFFF") << 2147483647;
        QTest::newRow("0x alone") << QStringLiteral("0x") << def;
        QTest::newRow("hex bad digit") << QStringLiteral("0x1G") << def;
        QTest::newRow("hex too big") << QStringLiteral("0x80000000") << def;
        QTest::newRow("negative hex") << QStringLiteral("-0x10") << def;
        QTest::newRow("max") << QStringLiteral("2147483647") << 2147483647;
        QTest::newRow("min") << QStringLiteral("-2147483648") << int(-2147483647 - 1);
        QTest::newRow("above max") << QStringLiteral("2147483648") << def;
        QTest::newRow("below min") << QStringLiteral("-2147483649") << def;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999999") << def;
        QTest::newRow("word") << QStringLiteral("five") << def;
        QTest::newRow("trailing junk") << QStringLiteral("12abc") << def;
        QTest::newRow("inner blank") << QStringLiteral("1 2") << def;
        QTest::newRow("sign alone") << QStringLiteral("-") << def;
        QTest::newRow("empty") << QString() << def;
        QTest::newRow("arabic digit") << QString::fromUtf8("\u0663") << def;
        QTest::newRow("fullwidth digit") << QString::fromUtf8("\uFF11") << def;
        QTest::newRow("quoted") << QStringLiteral("\"3\"") << 3;
        QTest::newRow("quoted, blanks around") << QStringLiteral(" \"0x1F\"\t") << 31;
        QTest::newRow("two pairs of quotes") << QStringLiteral("\"\"3\"\"") << def;
        QTest::newRow("one quote") << QStringLiteral("\"3") << def;
        QTest::newRow("single quotes") << QStringLiteral("'3'") << def;
    }

    void quotedKeywordsDatesAndTimesReadInside() {
        // What the Windows profile functions strip: one pair of double quotes.
        const QString path = file(utf8("[T]\nDay=\"3\"\nWeek= \"135\" \nDate=\"08.12.2026\"\n"
                                       "Time=\"07:30:00\"\nActiving=\"0\"\nMessage=\"Hi\"\n"
                                       "App=\"/usr/bin/x y\"\n[Main]\nSortBy=\"Name\"\n"));
        SettingsFile sf = open(path);
        QCOMPARE(sf.ReadKeyword(u"T", u"Day", QString()), QStringLiteral("3"));
        QCOMPARE(sf.ReadKeyword(u"T", u"Week", QString()), QStringLiteral("135"));
        QCOMPARE(sf.ReadKeyword(u"Main", u"SortBy", QString()), QStringLiteral("Name"));
        QCOMPARE(sf.ReadInteger(u"T", u"Day", 1), 3);
        QCOMPARE(sf.ReadBool(u"T", u"Activing", true), false);
        QCOMPARE(sf.ReadDate(u"T", u"Date", -1.0),
                 double(sf.formats().parseDate(QStringLiteral("08.12.2026"), 0).value()));
        QCOMPARE(sf.ReadTime(u"T", u"Time", -1.0), 7.5 / 24.0);
        // Texts are the user's: their quotes stay.
        QCOMPARE(sf.ReadString(u"T", u"Message", QString()), QStringLiteral("\"Hi\""));
        QCOMPARE(sf.ReadString(u"T", u"App", QString()), QStringLiteral("\"/usr/bin/x y\""));
    }
    void integers() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const QString path = file((QStringLiteral("[S]\nk=") + text + u'\n').toUtf8());
        SettingsFile sf = open(path);
        QCOMPARE(sf.ReadInteger(u"S", u"k", -777), expected);
    }

    void booleansAndIntegerWrites() {
        const QString path = file(utf8("[S]\ntwo=2\nzero=0\nword=yes\nneg=-1\nhex=0x0\n"));
        SettingsFile sf = open(path);
        QCOMPARE(sf.ReadBool(u"S", u"two", false), true);
        QCOMPARE(sf.ReadBool(u"S", u"neg", false), true);
        QCOMPARE(sf.ReadBool(u"S", u"zero", true), false);
        QCOMPARE(sf.ReadBool(u"S", u"hex", true), false);
        QCOMPARE(sf.ReadBool(u"S", u"word", true), true);
        QCOMPARE(sf.ReadBool(u"S", u"word", false), false);
        QCOMPARE(sf.ReadBool(u"S", u"missing", true), true);
        QCOMPARE(sf.ReadBool(u"nosection", u"two", false), false);
        QCOMPARE(sf.ReadInteger(u"S", u"missing", 314), 314);
        sf.WriteBool(u"S", u"t", true);
        sf.WriteBool(u"S", u"f", false);
        sf.WriteInteger(u"S", u"n", -2147483647 - 1);
        QCOMPARE(sf.ReadString(u"S", u"t", QString()), QStringLiteral("1"));
        QCOMPARE(sf.ReadString(u"S", u"f", QString()), QStringLiteral("0"));
        QCOMPARE(sf.ReadString(u"S", u"n", QString()), QStringLiteral("-2147483648"));
    }

    void datesFollowTheShortDateFormat() {
        const QString path = file(utf8("[T]\nUs=12/8/26\nBlank=  \nPadded= 09.12.2026 \n"));
        SettingsFile sf = open(path);
        const int today = m_clock.today();
        const double dayAfter = daycount::fromDate(QDate(2026, 12, 9));
        sf.WriteDate(u"T", u"Date", dayAfter + 0.75); // the time of day is not written
        QCOMPARE(sf.ReadString(u"T", u"Date", QString()), QStringLiteral("09.12.2026"));
        QCOMPARE(sf.ReadDate(u"T", u"Date", -1), dayAfter);
        QCOMPARE(sf.ReadDate(u"T", u"Padded", -1), dayAfter);
        // A date written under another format reads as the caller's default, today.
        QCOMPARE(sf.ReadDate(u"T", u"Us", today), double(today));
        QCOMPARE(sf.ReadDate(u"T", u"Blank", today), double(today));
        QCOMPARE(sf.ReadDate(u"T", u"Missing", 123), 123.0);

        SettingsFile us = open(path, RegionalFormats::us());
        QCOMPARE(us.ReadDate(u"T", u"Us", -1), double(daycount::fromDate(QDate(2026, 12, 8))));
        QCOMPARE(us.ReadDate(u"T", u"Date", -1), -1.0);
    }

    void timesFollowTheLongTimeFormat() {
        const QString path = file(utf8("[T]\nBad1=24:00:00\nBad2=12:60:00\nBad3=12:00:60\n"
                                       "Word=noon\nShort=7:05\n"));
        SettingsFile sf = open(path);
        sf.WriteTime(u"T", u"Time", 1.5); // a day and a half: the time of day only
        QCOMPARE(sf.ReadString(u"T", u"Time", QString()), QStringLiteral("12:00:00"));
        QCOMPARE(sf.ReadTime(u"T", u"Time", -1), 0.5);
        sf.WriteTime(u"T", u"Exact", daycount::encodeTime(23, 59, 59));
        QCOMPARE(sf.ReadTime(u"T", u"Exact", -1), daycount::encodeTime(23, 59, 59));
        QCOMPARE(sf.ReadTime(u"T", u"Short", -1), daycount::encodeTime(7, 5, 0));
        for (QStringView key : {u"Bad1", u"Bad2", u"Bad3", u"Word", u"Missing"})
            QCOMPARE(sf.ReadTime(u"T", key, 0.25), 0.25);

        SettingsFile us = open(path, RegionalFormats::us());
        us.WriteTime(u"T", u"Time", 1.5);
        QCOMPARE(us.ReadString(u"T", u"Time", QString()), QStringLiteral("12:00:00 PM"));
        QCOMPARE(us.ReadTime(u"T", u"Time", -1), 0.5);
        us.WriteTime(u"T", u"Time", 0.0);
        QCOMPARE(us.ReadTime(u"T", u"Time", -1), 0.0);
    }

    // --- sections, erase, delete ----------------------------------------------

    void duplicatesReadFirstAndListOnce() {
        const QString path = file(utf8("[A]\nk=1\nk=2\n[B]\nx=1\n[a]\nk=3\ny=4\n"));
        SettingsFile sf = open(path);
        QStringList list;
        sf.ReadSections(list);
        QCOMPARE(list, (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        QCOMPARE(sf.ReadInteger(u"a", u"K", 0), 1);
        QCOMPARE(sf.ReadInteger(u"A", u"y", 0), 0); // only the first copy is read
        sf.WriteInteger(u"A", u"k", 9);
        QCOMPARE(readBytes(path), utf8("[A]\nk=9\nk=2\n[B]\nx=1\n[a]\nk=3\ny=4\n"));
        // Deleting a key removes every copy in the section, so it then reads as missing.
        sf.DeleteKey(u"A", u"k");
        QCOMPARE(sf.ReadInteger(u"A", u"k", -1), -1);
        QCOMPARE(readBytes(path), utf8("[A]\n[B]\nx=1\n[a]\nk=3\ny=4\n"));
        // Erasing removes every copy of the section: a deleted task must not come back.
        sf.EraseSection(u"a");
        QCOMPARE(readBytes(path), utf8("[B]\nx=1\n"));
        sf.ReadSections(list);
        QCOMPARE(list, QStringList{QStringLiteral("B")});
    }

    void eraseAndDeleteOfWhatIsNotThereWriteNothing() {
        const QByteArray before = "[A]\nk=1\n";
        const QString path = file(before);
        const ino_t inode = inodeOf(path);
        SettingsFile sf = open(path);
        sf.EraseSection(u"Nope");
        sf.DeleteKey(u"A", u"nope");
        sf.DeleteKey(u"Nope", u"k");
        QCOMPARE(inodeOf(path), inode);
        QCOMPARE(readBytes(path), before);

        const QString missing = file();
        SettingsFile none = open(missing);
        none.EraseSection(u"A");
        none.DeleteKey(u"A", u"k");
        QVERIFY(!QFile::exists(missing));
    }

    void eraseKeepsNeighbours() {
        const QString path =
            file(utf8("[Main]\nTop=1\n[T1]\nMessage=a\n; note\n\n[T2]\nMessage=b\n"));
        SettingsFile sf = open(path);
        sf.EraseSection(u"t1");
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=1\n[T2]\nMessage=b\n"));
    }

    // --- encodings ------------------------------------------------------------

    void windows1251FileReadAndTurnedIntoUtf8() {
        // "[Задача]" and "Message=Пора обедать №5, ёж" in Windows-1251, CRLF.
        const QByteArray cp1251 = "[Main]\r\nTop=5\r\n[\xC7\xE0\xE4\xE0\xF7\xE0]\r\n"
                                  "Message=\xCF\xEE\xF0\xE0 \xEE\xE1\xE5\xE4\xE0\xF2\xFC "
                                  "\xB9\x35, \xB8\xE6\r\n";
        const QString path = file(cp1251);
        SettingsFile sf = open(path);
        QStringList list;
        sf.ReadSections(list);
        QCOMPARE(list, (QStringList{QStringLiteral("Main"), QString::fromUtf8("Задача")}));
        QCOMPARE(sf.ReadString(QString::fromUtf8("задача"), u"Message", QString()),
                 QString::fromUtf8("Пора обедать №5, ёж"));
        QCOMPARE(readBytes(path), cp1251); // reading changes nothing
        sf.WriteInteger(u"Main", u"Top", 6);
        QCOMPARE(readBytes(path), utf8("[Main]\r\nTop=6\r\n[Задача]\r\n"
                                       "Message=Пора обедать №5, ёж\r\n"));
    }

    void mixedEncodingsAreReadLineByLine() {
        // A UTF-8 file that the Windows program, or an editor set to
        // Windows-1251, added to: "[Обед]", "Message=Суп с клёцками №2" and
        // "[Ужин]" are Windows-1251, every other line UTF-8.
        const QByteArray mixed = "\xEF\xBB\xBF[Main]\r\nTop=5\r\n"
                                 "[Будильник]\r\nMessage=Пора вставать\r\n"
                                 "[\xCE\xE1\xE5\xE4]\r\n"
                                 "Message=\xD1\xF3\xEF \xF1 \xEA\xEB\xB8\xF6\xEA\xE0\xEC\xE8 \xB9"
                                 "2\r\n"
                                 "App=/home/юля/меню.txt\r\n"
                                 "[\xD3\xE6\xE8\xED]\r\nMessage=Ёж\r\n";
        const QString path = file(mixed);
        SettingsFile sf = open(path);
        QStringList list;
        sf.ReadSections(list);
        QCOMPARE(list, (QStringList{QStringLiteral("Main"), QStringLiteral("Будильник"),
                                    QStringLiteral("Обед"), QStringLiteral("Ужин")}));
        QCOMPARE(sf.ReadString(u"Будильник", u"Message", QString()),
                 QStringLiteral("Пора вставать"));
        QCOMPARE(sf.ReadString(u"обед", u"Message", QString()),
                 QStringLiteral("Суп с клёцками №2"));
        QCOMPARE(sf.ReadString(u"Обед", u"App", QString()), QStringLiteral("/home/юля/меню.txt"));
        QCOMPARE(sf.ReadString(u"Ужин", u"Message", QString()), QStringLiteral("Ёж"));
        QCOMPARE(readBytes(path), mixed); // reading changes nothing
        // The first write makes it UTF-8 throughout, every line's text kept,
        // and so it reads after a restart.
        sf.WriteInteger(u"Main", u"Top", 6);
        const QByteArray converted = "\xEF\xBB\xBF[Main]\r\nTop=6\r\n"
                                     "[Будильник]\r\nMessage=Пора вставать\r\n"
                                     "[Обед]\r\nMessage=Суп с клёцками №2\r\n"
                                     "App=/home/юля/меню.txt\r\n"
                                     "[Ужин]\r\nMessage=Ёж\r\n";
        QCOMPARE(readBytes(path), converted);
        const IniDocument again = IniDocument::parse(converted);
        QVERIFY(again.readAsUtf8());
        QCOMPARE(again.value(u"Обед", u"Message"), QStringLiteral("Суп с клёцками №2"));
        // An unchanged value still converts a mixed file, as any write does.
        const QString path2 = file(mixed);
        SettingsFile sf2 = open(path2);
        sf2.WriteString(u"Ужин", u"Message", QStringLiteral("Ёж"));
        QCOMPARE(readBytes(path2), QByteArray(converted).replace("Top=6", "Top=5"));
    }

    void blanksAroundNamesAndWordsAreIgnored() {
        // As a person may type the file by hand, around every name and word.
        const QString path = file(utf8("[ Main ]\nTop = 7 \n SortBy = Name \n"
                                       "[\tБудильник ]\n Message =  \t \nApp= /opt/my app \n"
                                       "Day = 3 \nWeek=\t24 \nDate = 09.12.2026 \n"
                                       "Time =\t07:30:00 \nActiving = 0\n"));
        SettingsFile sf = open(path);
        QStringList list;
        sf.ReadSections(list);
        QCOMPARE(list, (QStringList{QStringLiteral("Main"), QStringLiteral("Будильник")}));
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 7);
        QCOMPARE(sf.ReadKeyword(u"Main", u"SortBy", QStringLiteral("No")), QStringLiteral("Name"));
        QCOMPARE(sf.ReadKeyword(u"Main", u"Missing", QStringLiteral("No")), QStringLiteral("No"));
        const QString task = QStringLiteral("Будильник");
        QCOMPARE(sf.ReadKeyword(task, u"Day", QStringLiteral("1")), QStringLiteral("3"));
        QCOMPARE(sf.ReadKeyword(task, u"Week", QString()), QStringLiteral("24"));
        QCOMPARE(sf.ReadDate(task, u"Date", 0), daycount::fromDate(QDate(2026, 12, 9)));
        QCOMPARE(sf.ReadTime(task, u"Time", -1), daycount::encodeTime(7, 30, 0));
        QCOMPARE(sf.ReadBool(task, u"Activing", true), false);
        // A text of blanks only is empty (not the default); any other text
        // keeps its blanks.
        QCOMPARE(sf.ReadString(task, u"Message", QStringLiteral("<def>")), QString());
        QCOMPARE(sf.ReadString(task, u"App", QString()), QStringLiteral(" /opt/my app "));
        QCOMPARE(sf.ReadString(u"Main", u"SortBy", QString()), QStringLiteral(" Name "));
        // Written under the plain name, or with blanks of its own, the keys
        // go into that section: replaced where they stand, new ones added.
        sf.WriteString(task, u"Message", QStringLiteral("Пора"));
        sf.WriteInteger(QStringLiteral(" Будильник\t"), u"Ones", 2);
        sf.WriteString(u"main", u"SortBy", QStringLiteral("Time"));
        QCOMPARE(readBytes(path), utf8("[ Main ]\nTop = 7 \n SortBy =Time\n"
                                       "[\tБудильник ]\n Message =Пора\nApp= /opt/my app \n"
                                       "Day = 3 \nWeek=\t24 \nDate = 09.12.2026 \n"
                                       "Time =\t07:30:00 \nActiving = 0\nOnes=2\n"));
        // Erased with blanks around the name too.
        sf.EraseSection(QStringLiteral("  будильник"));
        sf.ReadSections(list);
        QCOMPARE(list, QStringList{QStringLiteral("Main")});
    }

    void everyWindows1251ByteIsKept() {
        QByteArray all = "[S]\nk=";
        for (int b = 0x80; b <= 0xFF; ++b)
            all.append(char(b));
        all.append('\n');
        const QString path = file(all);
        SettingsFile sf = open(path);
        const QString value = sf.ReadString(u"S", u"k", QString());
        QCOMPARE(value.size(), 128);
        QCOMPARE(value.at(0x40), QChar(0x0410));                       // 0xC0: А
        QCOMPARE(value.at(0x7F), QChar(0x044F));                       // 0xFF: я
        QCOMPARE(value.at(0x28), QChar(0x0401));                       // 0xA8: Ё
        QCOMPARE(value.at(0x39), QChar(0x2116));                       // 0xB9: №
        QCOMPARE(QSet<QChar>(value.begin(), value.end()).size(), 128); // no two bytes merge
        sf.WriteString(u"S", u"other", QStringLiteral("x"));
        QCOMPARE(open(path).ReadString(u"S", u"k", QString()), value);
    }

    void sequenceCutOffAtTheEndIsNotUtf8() {
        // Valid UTF-8 up to a last lone lead byte: the whole file is Windows-1251,
        // and the last byte is a character like any other.
        const QString path = file(QByteArray("[S]\nk=\xD0\xB6\xD0"));
        SettingsFile sf = open(path);
        QCOMPARE(sf.ReadString(u"S", u"k", QString()), QString::fromUtf8("Р¶Р"));
        sf.WriteString(u"S", u"j", QStringLiteral("1"));
        QCOMPARE(readBytes(path), utf8("[S]\nk=Р¶Р\nj=1\n"));
    }

    void utf8WithByteOrderMarkKeepsIt() {
        const QString path = file(utf8("\xEF\xBB\xBF[Main]\nTop=1\n"));
        SettingsFile sf = open(path);
        QStringList list;
        sf.ReadSections(list);
        QCOMPARE(list, QStringList{QStringLiteral("Main")});
        sf.WriteInteger(u"Main", u"Top", 2);
        QCOMPARE(readBytes(path), utf8("\xEF\xBB\xBF[Main]\nTop=2\n"));
    }

    // --- bad input -------------------------------------------------------------

    void binaryGarbageNeitherCrashesNorLosesData() {
        QRandomGenerator rng(20261208);
        for (int round = 0; round < 50; ++round) {
            QByteArray garbage(int(rng.bounded(1, 4000)), Qt::Uninitialized);
            for (char& c : garbage) {
                // Rich in the characters the format cares about.
                static const char special[] = "[]=;\r\n \t#";
                c = rng.bounded(4) == 0 ? special[rng.bounded(int(sizeof special - 1))]
                                        : char(rng.bounded(256));
            }
            const QString path = file(garbage);
            const auto before = snapshot(path);
            SettingsFile sf = open(path);
            QStringList list;
            sf.ReadSections(list);
            sf.WriteString(u"Zz-new", u"k", QStringLiteral("v"));
            auto after = snapshot(path);
            QCOMPARE(after.takeLast(), (QStringList{QStringLiteral("Zz-new"), QStringLiteral("k"),
                                                    QStringLiteral("v")}));
            QCOMPARE(after, before);
        }
    }

    void asciiGarbageIsKeptByteForByte() {
        QRandomGenerator rng(7);
        QByteArray garbage(3000, Qt::Uninitialized);
        for (char& c : garbage)
            c = char(rng.bounded(0x80)); // NULs and control characters included
        garbage.append('\n');
        const QString path = file(garbage);
        SettingsFile sf = open(path);
        sf.WriteString(u"Zz-new", u"k", QStringLiteral("v"));
        const QByteArray bytes = readBytes(path);
        QVERIFY(bytes.startsWith(garbage));
    }

    void fileWithoutSectionsAndKeysBeforeTheFirst() {
        const QString path = file(utf8("Top=1\nno equals here\n=novalue\n"));
        SettingsFile sf = open(path);
        QStringList list{QStringLiteral("stale")};
        sf.ReadSections(list);
        QVERIFY(list.isEmpty());
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", -1), -1);
        sf.WriteInteger(u"Main", u"Top", 2);
        QCOMPARE(readBytes(path), utf8("Top=1\nno equals here\n=novalue\n[Main]\nTop=2\n"));
        const QString path2 = file(utf8("[S]\nplain line\nk=1\n  [  not closed\n"));
        SettingsFile s2 = open(path2);
        QCOMPARE(s2.ReadInteger(u"S", u"k", 0), 1);
        s2.WriteInteger(u"S", u"j", 2);
        QCOMPARE(readBytes(path2), utf8("[S]\nplain line\nk=1\nj=2\n  [  not closed\n"));
    }

    void headerForms() {
        const QString path = file(utf8("  [Indented]  \nk=1\n[Trailing] ; note\nk=2\n[a]b]\nk=3\n"
                                       "[]\nk=4\n[j=5\n"));
        SettingsFile sf = open(path);
        QStringList list;
        sf.ReadSections(list);
        QCOMPARE(list, (QStringList{QStringLiteral("Indented"), QStringLiteral("Trailing"),
                                    QStringLiteral("a]b"), QString()}));
        QCOMPARE(sf.ReadInteger(u"trailing", u"k", 0), 2);
        QCOMPARE(sf.ReadInteger(u"a]b", u"k", 0), 3);
        QCOMPARE(sf.ReadInteger(u"", u"k", 0), 4);
        // A line opening with "[" is never a key line, even without a closing "]".
        QCOMPARE(sf.ReadInteger(u"", u"[j", 0), 0);
    }

    void veryLongLines() {
        const QString big(1 << 20, u'ж');
        const QString path = file((QStringLiteral("[S]\nk=") + big + u'\n').toUtf8());
        SettingsFile sf = open(path);
        QCOMPARE(sf.ReadString(u"S", u"k", QString()), big);
        sf.WriteString(u"S", u"j", big + big);
        SettingsFile fresh = open(path);
        QCOMPARE(fresh.ReadString(u"S", u"j", QString()), big + big);
        QCOMPARE(fresh.ReadString(u"S", u"k", QString()), big);
    }

    void pathThatIsNotAFile() {
        const QString dir = m_tmp.filePath(QStringLiteral("adir.ini"));
        QVERIFY(QDir().mkpath(dir));
        SettingsFile sf = open(dir);
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", 3), 3);
        QStringList list{QStringLiteral("stale")};
        sf.ReadSections(list);
        QVERIFY(list.isEmpty());
        QCOMPARE(errorOf([&] { sf.WriteInteger(u"Main", u"Top", 1); }),
                 QStringLiteral("Unable to write to ") + dir);
        QVERIFY(QFileInfo(dir).isDir());
    }

    // --- refused writes and the atomic replace -----------------------------------

    void readOnlyFileRefusesWrites() {
        const QString path = file(utf8("[Main]\nTop=1\n"));
        SettingsFile sf = open(path);
        sf.WriteInteger(u"Main", u"Top", 2); // written before the refusal: stays
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
        const QByteArray before = readBytes(path);
        const QString expected = QStringLiteral("Unable to write to ") + path;
        QCOMPARE(errorOf([&] { sf.WriteInteger(u"Main", u"Left", 3); }), expected);
        QCOMPARE(errorOf([&] { sf.WriteString(u"New", u"k", QStringLiteral("v")); }), expected);
        QCOMPARE(errorOf([&] { sf.EraseSection(u"Main"); }), expected);
        sf.DeleteKey(u"Main", u"Top"); // refused, silently
        QCOMPARE(readBytes(path), before);
        QCOMPARE(modeOf(path), mode_t(0444));
        // The refused changes are not remembered either.
        QCOMPARE(sf.ReadInteger(u"Main", u"Left", -1), -1);
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", -1), 2);
        QStringList list;
        sf.ReadSections(list);
        QCOMPARE(list, QStringList{QStringLiteral("Main")});
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        sf.WriteInteger(u"Main", u"Left", 3);
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=2\nLeft=3\n"));
    }

    void unchangedValueIsNotRewrittenButStillRefusedWhenReadOnly() {
        const QString path = file(utf8("[Main]\nTop=1\n[Task]\nDate=08.12.2026\n"));
        SettingsFile sf = open(path);
        const ino_t inode = inodeOf(path);
        // The same text again: no new file replaces the old one.
        sf.WriteString(u"task", u"date", QStringLiteral("08.12.2026"));
        sf.WriteInteger(u"Main", u"Top", 1);
        QCOMPARE(inodeOf(path), inode);
        // A different text is written as ever.
        sf.WriteInteger(u"Main", u"Top", 2);
        QVERIFY(inodeOf(path) != inode);
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=2\n[Task]\nDate=08.12.2026\n"));
        // A read-only file refuses even a write that would change nothing.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
        QCOMPARE(errorOf([&] { sf.WriteInteger(u"Main", u"Top", 2); }),
                 QStringLiteral("Unable to write to ") + path);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    }

    void windows1251FileIsConvertedEvenByAnUnchangedValue() {
        const QString path = file(QByteArray("[\xC7\xE0\xE4\xE0\xED\xE8\xE5]\nOnes=1\n"));
        SettingsFile sf = open(path);
        sf.WriteInteger(u"\u0417\u0430\u0434\u0430\u043D\u0438\u0435", u"Ones", 1);
        QCOMPARE(readBytes(path), utf8("[\u0417\u0430\u0434\u0430\u043D\u0438\u0435]\nOnes=1\n"));
    }

    void refusalsAsAnOrdinaryUser() {
        const QString dir = m_tmp.filePath(QStringLiteral("user"));
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(::chmod(QFile::encodeName(m_tmp.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0777) == 0);
        const QString result = asUnprivileged([&]() -> QString {
            QString fails;
            const QString err = QStringLiteral("Unable to write to ");
            // A file without read or write permission: defaults, and no write over it.
            const QString locked = dir + QStringLiteral("/locked.ini");
            writeBytes(locked, "[Main]\nTop=7\n");
            ::chmod(QFile::encodeName(locked).constData(), 0);
            SettingsFile a(locked, RegionalFormats::russian(), m_clock);
            if (a.ReadInteger(u"Main", u"Top", -1) != -1)
                fails += QStringLiteral("unreadable file read; ");
            fails += expectEq(QStringLiteral("unreadable write"),
                              errorOf([&] { a.WriteInteger(u"Main", u"Top", 1); }), err + locked);
            ::chmod(QFile::encodeName(locked).constData(), 0600);
            fails +=
                expectEq(QStringLiteral("unreadable content"), QString::fromUtf8(readBytes(locked)),
                         QStringLiteral("[Main]\nTop=7\n"));

            // A folder that lets us write the file but not create one beside it.
            const QString sub = dir + QStringLiteral("/ro");
            QDir().mkpath(sub);
            const QString inside = sub + QStringLiteral("/u.ini");
            writeBytes(inside, "[Main]\nTop=1\n");
            ::chmod(QFile::encodeName(sub).constData(), 0555);
            SettingsFile b(inside, RegionalFormats::russian(), m_clock);
            const QString inPlace = errorOf([&] { b.WriteInteger(u"Main", u"Top", 2); });
            fails +=
                expectEq(QStringLiteral("in-place write"), inPlace, QStringLiteral("<no error>"));
            fails +=
                expectEq(QStringLiteral("in-place content"), QString::fromUtf8(readBytes(inside)),
                         QStringLiteral("[Main]\nTop=2\n"));
            // ...while a missing file there cannot be created.
            const QString absent = sub + QStringLiteral("/absent.ini");
            SettingsFile c(absent, RegionalFormats::russian(), m_clock);
            fails += expectEq(QStringLiteral("create in read-only folder"),
                              errorOf([&] { c.WriteInteger(u"Main", u"Top", 2); }), err + absent);
            if (QFile::exists(absent))
                fails += QStringLiteral("file appeared; ");
            // First start there gives way to sets.ini, which is not created.
            fails += expectEq(QStringLiteral("path in read-only folder"),
                              chooseSettingsPath(sub, QStringLiteral("ivan")),
                              sub + QStringLiteral("/sets.ini"));
            if (QFile::exists(sub + QStringLiteral("/sets.ini")) ||
                QFile::exists(sub + QStringLiteral("/ivan.ini")))
                fails += QStringLiteral("a file was created in the read-only folder; ");
            ::chmod(QFile::encodeName(sub).constData(), 0755);
            return fails;
        });
        QVERIFY2(result.isEmpty(), qPrintable(result));
    }

    void writesReplaceAtomicallyAndKeepPermissions() {
        const QString dir = m_tmp.filePath(QStringLiteral("atomic"));
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/s.ini");
        writeBytes(path, "[Main]\nTop=1\n");
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        const ino_t inode = inodeOf(path);
        SettingsFile sf = open(path);
        sf.WriteInteger(u"Main", u"Top", 2);
        QVERIFY(inodeOf(path) != inode); // a new file took the old one's place
        QCOMPARE(modeOf(path), mode_t(0640));
        QCOMPARE(listDir(dir), QStringList{QStringLiteral("s.ini")}); // no temporary left
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=2\n"));
    }

    void symbolicLinkStaysALink() {
        const QString dir = m_tmp.filePath(QStringLiteral("link"));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/real")));
        const QString target = dir + QStringLiteral("/real/s.ini");
        const QString link = dir + QStringLiteral("/s.ini");
        writeBytes(target, "[Main]\nTop=1\n");
        QVERIFY(QFile::link(target, link));
        SettingsFile sf = open(link);
        sf.WriteInteger(u"Main", u"Top", 2);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(target), utf8("[Main]\nTop=2\n"));
    }

    // --- the parsed copy and changes on disk ----------------------------------------

    void handEditsAreSeenAtTheNextRead() {
        const QString path = file(utf8("[Main]\nTop=5\n"));
        SettingsFile sf = open(path);
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 5);
        sf.WriteInteger(u"Main", u"Left", 1);
        QCOMPARE(sf.ReadInteger(u"Main", u"Left", 0), 1);

        // In place, same size, same inode: only the times tell. Wait out the
        // file system's coarse clock as any real edit would.
        QThread::msleep(20);
        const ino_t inode = inodeOf(path);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const QByteArray bytes = f.readAll().replace("Top=5", "Top=6");
            QVERIFY(f.seek(0));
            QVERIFY(f.write(bytes) == bytes.size());
        }
        QCOMPARE(inodeOf(path), inode);
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 6);

        // Replaced by another file of the same size and modification time: the
        // inode tells.
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        const QString other = path + QStringLiteral(".new");
        {
            QByteArray bytes = readBytes(path).replace("Top=6", "Top=7");
            writeBytes(other, bytes);
        }
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(other).constData(), times, 0) == 0);
        QVERIFY(::rename(QFile::encodeName(other).constData(),
                         QFile::encodeName(path).constData()) == 0);
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 7);

        // A write after a hand edit keeps the edit.
        sf.WriteInteger(u"Main", u"Height", 300);
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=7\nLeft=1\nHeight=300\n"));

        // Removed: defaults again; the next write starts a new file.
        QVERIFY(QFile::remove(path));
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", -1), -1);
        sf.WriteInteger(u"Main", u"Top", 8);
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=8\n"));
    }

    void passChecksTheDiskOnceButWritesAndLaterReadsSeeHandEdits() {
        const QString path = file(utf8("[Main]\nTop=5\n[T]\nA=1\n"));
        SettingsFile sf = open(path);
        {
            const SettingsFile::Pass outer(sf);
            QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 5);
            writeBytes(path, utf8("[Main]\nTop=66\n[T]\nA=1\n"));
            { const SettingsFile::Pass inner(sf); }
            // Still the outer pass: the file as its first read found it.
            QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 5);
            // A write starts from the disk: the hand edit stays, the write reads back.
            sf.WriteInteger(u"T", u"A", 2);
            QCOMPARE(readBytes(path), utf8("[Main]\nTop=66\n[T]\nA=2\n"));
            QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 66);
            QCOMPARE(sf.ReadInteger(u"T", u"A", 0), 2);
            writeBytes(path, utf8("[Main]\nTop=777\n[T]\nA=2\n"));
        }
        // Once the pass is over, every read checks again.
        QCOMPARE(sf.ReadInteger(u"Main", u"Top", 0), 777);
    }

    void batchWritesOnceAtItsCommitOrNotAtAll() {
        const QString path = file(utf8("[Main]\nTop=5\n[T]\nA=1\n"));
        SettingsFile sf = open(path);
        const ino_t first = inodeOf(path);
        {
            SettingsFile::Batch outer(sf);
            sf.WriteInteger(u"T", u"A", 2);
            {
                SettingsFile::Batch inner(sf);
                sf.WriteInteger(u"T", u"B", 3);
                sf.DeleteKey(u"Main", u"Top");
                inner.commit();
            }
            // Reads see the changes; the disk has none of them until the
            // outermost commit, which replaces the file once.
            QCOMPARE(sf.ReadInteger(u"T", u"A", 0), 2);
            QCOMPARE(sf.ReadInteger(u"Main", u"Top", -1), -1);
            QCOMPARE(readBytes(path), utf8("[Main]\nTop=5\n[T]\nA=1\n"));
            QCOMPARE(inodeOf(path), first);
            outer.commit();
        }
        QCOMPARE(readBytes(path), utf8("[Main]\n[T]\nA=2\nB=3\n"));
        QVERIFY(inodeOf(path) != first);

        // Left by an exception: nothing written, and reads see the disk again.
        try {
            SettingsFile::Batch batch(sf);
            sf.WriteInteger(u"T", u"A", 9);
            throw std::runtime_error("stop");
        } catch (const std::runtime_error&) {
        }
        QCOMPARE(readBytes(path), utf8("[Main]\n[T]\nA=2\nB=3\n"));
        QCOMPARE(sf.ReadInteger(u"T", u"A", 0), 2);

        // A file that refuses: the commit raises the error once, the file
        // stays as it was and the refused changes are not read back.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
        {
            SettingsFile::Batch batch(sf);
            sf.WriteInteger(u"T", u"A", 7);
            sf.WriteInteger(u"T", u"C", 8);
            QCOMPARE(errorOf([&] { batch.commit(); }),
                     QStringLiteral("Unable to write to ") + path);
        }
        QCOMPARE(readBytes(path), utf8("[Main]\n[T]\nA=2\nB=3\n"));
        QCOMPARE(sf.ReadInteger(u"T", u"A", 0), 2);
        QCOMPARE(sf.ReadInteger(u"T", u"C", 0), 0);
        QCOMPARE(listDir(QFileInfo(path).path()).filter(QStringLiteral(".tmp")), QStringList());
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    }

    void systemClockKeepsUpWithTheRealOne() {
        const SystemClock clock;
        const QDateTime first = clock.now();
        QCOMPARE(first.timeSpec(), Qt::LocalTime);
        QVERIFY(qAbs(first.msecsTo(QDateTime::currentDateTime())) < 1000);
        // Read over and over, it must still move on.
        QDateTime last = first;
        for (int i = 0; i < 100000 && first.msecsTo(last) < 5; ++i)
            last = clock.now();
        QThread::msleep(5);
        QVERIFY(first.msecsTo(clock.now()) >= 5 + first.msecsTo(last));
        QCOMPARE(clock.now().timeSpec(), Qt::LocalTime);
    }

    // --- where the file is ----------------------------------------------------------

    void firstStartPath() {
        const QString dir = m_tmp.filePath(QStringLiteral("start"));
        QVERIFY(QDir().mkpath(dir));
        const QString path = chooseSettingsPath(dir, QStringLiteral("ivan"));
        QCOMPARE(path, dir + QStringLiteral("/ivan.ini"));
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(QFileInfo(path).size(), 0);
        // What start-up does first: read Top and write it back, making Main the first section.
        SettingsFile sf = open(path);
        sf.WriteInteger(keys::MainSection, keys::Top,
                        sf.ReadInteger(keys::MainSection, keys::Top, keys::DefaultTop));
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=0\n"));
        // Found again as it is, and with a trailing slash on the folder.
        QCOMPARE(chooseSettingsPath(dir + u'/', QStringLiteral("ivan")), path);
        QCOMPARE(readBytes(path), utf8("[Main]\nTop=0\n"));
        // Cyrillic user names are fine file names.
        QCOMPARE(chooseSettingsPath(dir, QString::fromUtf8("Пётр")),
                 dir + QString::fromUtf8("/Пётр.ini"));
        QVERIFY(QFile::exists(dir + QString::fromUtf8("/Пётр.ini")));
    }

    void firstStartFallsBackToSetsIni() {
        const QString dir = m_tmp.filePath(QStringLiteral("fallback"));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/a")));
        const QString sets = dir + QStringLiteral("/sets.ini");
        QCOMPARE(chooseSettingsPath(dir, QStringLiteral("a/b")), sets);
        QVERIFY(!QFile::exists(dir + QStringLiteral("/a/b.ini")));
        QCOMPARE(chooseSettingsPath(dir, QString()), sets);
        QCOMPARE(chooseSettingsPath(dir, QStringLiteral("nul") + QChar(0) + u'x'), sets);
        QCOMPARE(chooseSettingsPath(dir, QString(300, u'x')), sets); // name too long
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/taken.ini")));
        QCOMPARE(chooseSettingsPath(dir, QStringLiteral("taken")), sets);
        const QString gone = dir + QStringLiteral("/no/such/folder");
        QCOMPARE(chooseSettingsPath(gone, QStringLiteral("ivan")),
                 gone + QStringLiteral("/sets.ini"));
        QCOMPARE(listDir(dir), (QStringList{QStringLiteral("a"), QStringLiteral("taken.ini")}));
        QVERIFY(listDir(dir + QStringLiteral("/a")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
