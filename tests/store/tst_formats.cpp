#include "store/daycount.h"
#include "store/regionalformats.h"
#include "tests/common/manualclock.h"

#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

qint64 msOf(double value) {
    return std::llround(value * daycount::kMsPerDay);
}

int day(int y, int m, int d) {
    return daycount::fromDate(QDate(y, m, d));
}

RegionalFormats formatsNamed(const QString& name) {
    if (name == u"ru")
        return RegionalFormats::russian();
    if (name == u"us")
        return RegionalFormats::us();
    RegionalFormats ymd = RegionalFormats::russian();
    ymd.shortDateFormat = QStringLiteral("yyyy-MM-dd");
    ymd.dateSeparator = u'-';
    return ymd;
}

} // namespace

class TestFormats final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dayCountsAndWeekDays() {
        QCOMPARE(day(1899, 12, 30), 0);
        QCOMPARE(daycount::weekDayDigit(0), 5); // a Saturday
        QCOMPARE(day(2026, 12, 8), 46364);
        QCOMPARE(daycount::weekDayDigit(46364), 1); // a Tuesday
        // Before the epoch as well as after it, digits follow the calendar.
        for (int d = -3000; d <= 3000; d += 7 * 13 + 1) {
            const QDate date = daycount::toDate(d);
            QCOMPARE(daycount::fromDate(date), d);
            QCOMPARE(daycount::weekDayDigit(d), date.dayOfWeek() - 1);
        }
    }

    void negativeValuesAndRounding() {
        QCOMPARE(daycount::datePart(-0.25), -1);
        QCOMPARE(daycount::toDate(-1.5), QDate(1899, 12, 28));
        QCOMPARE(daycount::toTime(-0.25), QTime(18, 0));
        QCOMPARE(daycount::toTime(1.5), QTime(12, 0));
        // A hair below the next day is midnight, not an invalid 24:00.
        QCOMPARE(daycount::toTime(1.0 - 1e-12), QTime(0, 0));
        QCOMPARE(daycount::toTime(daycount::encodeTime(23, 59, 59, 999)), QTime(23, 59, 59, 999));
        QCOMPARE(daycount::encodeTime(12, 0, 0), 0.5);
        const QDateTime dt(QDate(2026, 12, 8), QTime(18, 0));
        QCOMPARE(daycount::fromDateTime(dt), 46364.75);
    }

    void manualClock() {
        ManualClock clock;
        QCOMPARE(clock.today(), day(2026, 12, 8));
        QCOMPARE(clock.timeNow(), 0.5);
        QCOMPARE(clock.dateTimeNow(), 46364.5);
        clock.set(QDate(2026, 12, 31), QTime(23, 59, 59, 500));
        QCOMPARE(clock.today(), day(2026, 12, 31));
        QCOMPARE(msOf(clock.timeNow()), msOf(daycount::encodeTime(23, 59, 59, 500)));
        clock.advanceMs(600);
        QCOMPARE(clock.today(), day(2027, 1, 1));
        QCOMPARE(msOf(clock.timeNow()), 100);
    }

    void formatAndParseTime_data() {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        using daycount::encodeTime;
        QTest::newRow("ru midnight") << u"ru"_qs << 0.0 << u"00:00:00"_qs;
        QTest::newRow("ru noon") << u"ru"_qs << 0.5 << u"12:00:00"_qs;
        QTest::newRow("ru last second") << u"ru"_qs << encodeTime(23, 59, 59) << u"23:59:59"_qs;
        QTest::newRow("ru day and a half") << u"ru"_qs << 1.5 << u"12:00:00"_qs;
        QTest::newRow("ru afternoon") << u"ru"_qs << encodeTime(13, 5, 9) << u"13:05:09"_qs;
        QTest::newRow("us midnight") << u"us"_qs << 0.0 << u"12:00:00 AM"_qs;
        QTest::newRow("us noon") << u"us"_qs << 0.5 << u"12:00:00 PM"_qs;
        QTest::newRow("us last second") << u"us"_qs << encodeTime(23, 59, 59) << u"11:59:59 PM"_qs;
        QTest::newRow("us day and a half") << u"us"_qs << 1.5 << u"12:00:00 PM"_qs;
        QTest::newRow("us morning") << u"us"_qs << encodeTime(1, 2, 3) << u"1:02:03 AM"_qs;
        QTest::newRow("us last morning second")
            << u"us"_qs << encodeTime(11, 59, 59) << u"11:59:59 AM"_qs;
    }

    void formatAndParseTime() {
        QFETCH(QString, formats);
        QFETCH(double, value);
        QFETCH(QString, text);
        const RegionalFormats f = formatsNamed(formats);
        QCOMPARE(f.formatTime(value), text);
        const std::optional<double> back = f.parseTime(text);
        QVERIFY(back.has_value());
        QCOMPARE(msOf(*back), msOf(daycount::timePart(value)));
    }

    void parseTime_data() {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds"); // -1: does not parse
        QTest::newRow("24 hours") << u"ru"_qs << u"24:00:00"_qs << -1;
        QTest::newRow("75 minutes") << u"ru"_qs << u"12:75:00"_qs << -1;
        QTest::newRow("60 seconds") << u"ru"_qs << u"12:00:60"_qs << -1;
        QTest::newRow("hours only") << u"ru"_qs << u"7"_qs << 7 * 3600;
        QTest::newRow("no seconds") << u"ru"_qs << u"7:5"_qs << 7 * 3600 + 5 * 60;
        QTest::newRow("blanks around") << u"ru"_qs << u"  07:05:09\t"_qs << 7 * 3600 + 5 * 60 + 9;
        QTest::newRow("empty") << u"ru"_qs << QString() << -1;
        QTest::newRow("blanks only") << u"ru"_qs << u"   "_qs << -1;
        QTest::newRow("four numbers") << u"ru"_qs << u"7:00:00:00"_qs << -1;
        QTest::newRow("dangling separator") << u"ru"_qs << u"7:"_qs << -1;
        QTest::newRow("no hours") << u"ru"_qs << u":30"_qs << -1;
        QTest::newRow("other separator") << u"ru"_qs << u"7.30"_qs << -1;
        QTest::newRow("sign") << u"ru"_qs << u"-1:00"_qs << -1;
        QTest::newRow("three digits") << u"ru"_qs << u"007:00"_qs << -1;
        QTest::newRow("blank inside") << u"ru"_qs << u"7 :30"_qs << -1;
        QTest::newRow("trailing word") << u"ru"_qs << u"7:30 ч"_qs << -1;
        QTest::newRow("english designator in ru") << u"ru"_qs << u"1:30 PM"_qs << 13 * 3600 + 1800;
        QTest::newRow("12 AM") << u"us"_qs << u"12:00:00 AM"_qs << 0;
        QTest::newRow("12 PM") << u"us"_qs << u"12:00:00 PM"_qs << 12 * 3600;
        QTest::newRow("lower case") << u"us"_qs << u"1:00 pm"_qs << 13 * 3600;
        QTest::newRow("designator first") << u"us"_qs << u"pm 1:00"_qs << 13 * 3600;
        QTest::newRow("designator attached") << u"us"_qs << u"1:00PM"_qs << 13 * 3600;
        QTest::newRow("AM keeps morning") << u"us"_qs << u"11:15 am"_qs << 11 * 3600 + 900;
        QTest::newRow("13 PM") << u"us"_qs << u"13:00 PM"_qs << -1;
        QTest::newRow("13 AM") << u"us"_qs << u"13:00:00 AM"_qs << -1;
        QTest::newRow("24-hour text in us") << u"us"_qs << u"13:00"_qs << 13 * 3600;
        QTest::newRow("two designators") << u"us"_qs << u"AM 1:00 PM"_qs << -1;
        QTest::newRow("designator alone") << u"us"_qs << u"PM"_qs << -1;
        QTest::newRow("unknown designator") << u"us"_qs << u"1:00 XM"_qs << -1;
        QTest::newRow("us 24:00") << u"us"_qs << u"24:00:00"_qs << -1;
    }

    void parseTime() {
        QFETCH(QString, formats);
        QFETCH(QString, text);
        QFETCH(int, seconds);
        const std::optional<double> got = formatsNamed(formats).parseTime(text);
        if (seconds < 0) {
            QVERIFY2(!got, qPrintable(text));
        } else {
            QVERIFY2(got, qPrintable(text));
            QCOMPARE(msOf(*got), qint64(seconds) * 1000);
        }
    }

    void localeDesignators() {
        // Designators that stand first, or hold blanks of their own.
        const RegionalFormats ko = RegionalFormats::fromLocale(QLocale(QLocale::Korean));
        QCOMPARE(msOf(ko.parseTime(u"오후 3:00:00"_qs).value_or(-1)), 15 * 3600 * 1000);
        QCOMPARE(msOf(ko.parseTime(u"오전 12:30:00"_qs).value_or(-1)), 30 * 60 * 1000);
        const RegionalFormats es = RegionalFormats::fromLocale(QLocale(QLocale::Spanish));
        QCOMPARE(msOf(es.parseTime(u"1:00:00 p. m."_qs).value_or(-1)), 13 * 3600 * 1000);
    }

    void formatDate() {
        const int d = day(2026, 12, 8);
        QCOMPARE(RegionalFormats::russian().formatDate(d + 0.75), u"08.12.2026"_qs);
        QCOMPARE(RegionalFormats::us().formatDate(d + 0.75), u"12/8/26"_qs);
        QCOMPARE(RegionalFormats::russian().formatDate(-1.5), u"28.12.1899"_qs);
        // Values no calendar date stands for write nothing rather than garbage.
        QCOMPARE(RegionalFormats::russian().formatDate(std::nan("")), QString());
        QCOMPARE(RegionalFormats::russian().formatDate(1e12), QString());
        QCOMPARE(RegionalFormats::russian().formatTime(std::nan("")), QString());
        for (const RegionalFormats& f : {RegionalFormats::russian(), RegionalFormats::us()}) {
            // Two-digit years read back over the whole window around today.
            for (int v = day(1976, 1, 1); v <= day(2075, 12, 31); v += 97)
                QCOMPARE(f.parseDate(f.formatDate(v), d), v);
            QCOMPARE(f.parseDate(f.formatDate(day(2075, 12, 31)), d), day(2075, 12, 31));
        }
    }

    void parseDate_data() {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("expected"); // invalid: does not parse
        const QDate today(2026, 12, 8);
        const QDate none;
        QTest::newRow("ru full") << u"ru"_qs << u"08.12.2026"_qs << today << QDate(2026, 12, 8);
        QTest::newRow("ru short numbers")
            << u"ru"_qs << u" 8.1.2027 "_qs << today << QDate(2027, 1, 8);
        QTest::newRow("ru blanks inside")
            << u"ru"_qs << u"8 . 1 . 2027"_qs << today << QDate(2027, 1, 8);
        QTest::newRow("ru no year") << u"ru"_qs << u"8.3"_qs << today << QDate(2026, 3, 8);
        QTest::newRow("ru yy current") << u"ru"_qs << u"8.12.26"_qs << today << QDate(2026, 12, 8);
        QTest::newRow("ru yy 50 before") << u"ru"_qs << u"1.1.76"_qs << today << QDate(1976, 1, 1);
        QTest::newRow("ru yy 49 after") << u"ru"_qs << u"1.1.75"_qs << today << QDate(2075, 1, 1);
        QTest::newRow("ru one-digit year") << u"ru"_qs << u"1.1.5"_qs << today << QDate(2005, 1, 1);
        QTest::newRow("ru window in 2000")
            << u"ru"_qs << u"1.1.49"_qs << QDate(2000, 6, 1) << QDate(2049, 1, 1);
        QTest::newRow("ru window start in 2000")
            << u"ru"_qs << u"1.1.50"_qs << QDate(2000, 6, 1) << QDate(1950, 1, 1);
        QTest::newRow("ru 31 February") << u"ru"_qs << u"31.02.2026"_qs << today << none;
        QTest::newRow("ru day 0") << u"ru"_qs << u"00.12.2026"_qs << today << none;
        QTest::newRow("ru month 13") << u"ru"_qs << u"8.13.2026"_qs << today << none;
        QTest::newRow("ru year 0") << u"ru"_qs << u"8.12.0000"_qs << today << none;
        QTest::newRow("ru five-digit year") << u"ru"_qs << u"8.12.20260"_qs << today << none;
        QTest::newRow("ru empty") << u"ru"_qs << QString() << today << none;
        QTest::newRow("ru one number") << u"ru"_qs << u"8"_qs << today << none;
        QTest::newRow("ru four numbers") << u"ru"_qs << u"8.12.2026.1"_qs << today << none;
        QTest::newRow("ru closing separator") << u"ru"_qs << u"8.12.2026."_qs << today << none;
        QTest::newRow("ru empty field") << u"ru"_qs << u"8..12"_qs << today << none;
        QTest::newRow("ru trailing word") << u"ru"_qs << u"8.12.2026 г"_qs << today << none;
        QTest::newRow("ru with time") << u"ru"_qs << u"8.12.2026 10:00"_qs << today << none;
        QTest::newRow("us text in ru") << u"ru"_qs << u"12/8/26"_qs << today << none;
        QTest::newRow("us full") << u"us"_qs << u"12/8/26"_qs << today << QDate(2026, 12, 8);
        QTest::newRow("us four-digit year")
            << u"us"_qs << u"12/8/2026"_qs << today << QDate(2026, 12, 8);
        QTest::newRow("us no year") << u"us"_qs << u"3/8"_qs << today << QDate(2026, 3, 8);
        QTest::newRow("us leap day") << u"us"_qs << u"2/29/24"_qs << today << QDate(2024, 2, 29);
        QTest::newRow("us no leap day") << u"us"_qs << u"2/29/25"_qs << today << none;
        QTest::newRow("us month 13") << u"us"_qs << u"13/8/26"_qs << today << none;
        QTest::newRow("ru text in us") << u"us"_qs << u"08.12.2026"_qs << today << none;
        QTest::newRow("ymd full") << u"ymd"_qs << u"2026-03-08"_qs << today << QDate(2026, 3, 8);
        QTest::newRow("ymd no year") << u"ymd"_qs << u"03-08"_qs << today << QDate(2026, 3, 8);
        QTest::newRow("ymd day first") << u"ymd"_qs << u"08-03-2026"_qs << today << none;
    }

    void parseDate() {
        QFETCH(QString, formats);
        QFETCH(QString, text);
        QFETCH(QDate, today);
        QFETCH(QDate, expected);
        const std::optional<int> got =
            formatsNamed(formats).parseDate(text, daycount::fromDate(today));
        if (!expected.isValid()) {
            QVERIFY2(!got, qPrintable(text));
        } else {
            QVERIFY2(got, qPrintable(text));
            QCOMPARE(daycount::toDate(*got), expected);
        }
    }

    void fromLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("shortDate");
        QTest::addColumn<QChar>("dateSeparator");
        QTest::addColumn<QString>("longTime");
        QTest::addColumn<QChar>("timeSeparator");
        QTest::newRow("ru_RU") << u"ru_RU"_qs << u"dd.MM.yyyy"_qs << QChar(u'.') << u"HH:mm:ss"_qs
                               << QChar(u':');
        QTest::newRow("en_US") << u"en_US"_qs << u"M/d/yy"_qs << QChar(u'/') << u"h:mm:ss AP"_qs
                               << QChar(u':');
        QTest::newRow("de_DE") << u"de_DE"_qs << u"dd.MM.yy"_qs << QChar(u'.') << u"HH:mm:ss"_qs
                               << QChar(u':');
        // The C locale names its months: numbers take over.
        QTest::newRow("C") << u"C"_qs << u"dd.MM.yyyy"_qs << QChar(u'.') << u"HH:mm:ss"_qs
                           << QChar(u':');
        // Zone before the time, and in brackets.
        QTest::newRow("zh_CN") << u"zh_CN"_qs << u"yyyy/M/d"_qs << QChar(u'/') << u"HH:mm:ss"_qs
                               << QChar(u':');
        QTest::newRow("es_ES") << u"es_ES"_qs << u"d/M/yy"_qs << QChar(u'/') << u"H:mm:ss"_qs
                               << QChar(u':');
        QTest::newRow("fi_FI") << u"fi_FI"_qs << u"d.M.yyyy"_qs << QChar(u'.') << u"H.mm.ss"_qs
                               << QChar(u'.');
        // Words inside the time, a word after the date: the numeric forms stand in.
        QTest::newRow("ja_JP") << u"ja_JP"_qs << u"yyyy/MM/dd"_qs << QChar(u'/') << u"HH:mm:ss"_qs
                               << QChar(u':');
        QTest::newRow("fr_CA") << u"fr_CA"_qs << u"yyyy-MM-dd"_qs << QChar(u'-') << u"HH:mm:ss"_qs
                               << QChar(u':');
        QTest::newRow("bg_BG") << u"bg_BG"_qs << u"dd.MM.yyyy"_qs << QChar(u'.') << u"HH:mm:ss"_qs
                               << QChar(u':');
        // A separator closing the date; direction marks around the separators.
        QTest::newRow("ko_KR") << u"ko_KR"_qs << u"yy. M. d."_qs << QChar(u'.') << u"HH:mm:ss"_qs
                               << QChar(u':');
        QTest::newRow("ar_EG") << u"ar_EG"_qs << u"d\u200f/M\u200f/yyyy"_qs << QChar(u'/')
                               << u"h:mm:ss AP"_qs << QChar(u':');
    }

    void fromLocale() {
        QFETCH(QString, locale);
        QFETCH(QString, shortDate);
        QFETCH(QChar, dateSeparator);
        QFETCH(QString, longTime);
        QFETCH(QChar, timeSeparator);
        const QLocale loc(locale);
        const RegionalFormats f = RegionalFormats::fromLocale(loc);
        QCOMPARE(f.shortDateFormat, shortDate);
        QCOMPARE(f.dateSeparator, dateSeparator);
        QCOMPARE(f.longTimeFormat, longTime);
        QCOMPARE(f.timeSeparator, timeSeparator);
        QCOMPARE(f.amDesignator, loc.amText());
        QCOMPARE(f.pmDesignator, loc.pmText());

        // Whatever the locale, what is written reads back.
        const int today = day(2026, 12, 8);
        for (int v = day(1976, 1, 1); v <= day(2075, 12, 31); v += 89)
            QCOMPARE(f.parseDate(f.formatDate(v), today), v);
        for (int s = 0; s < 86400; s += 433) {
            const double t = daycount::encodeTime(0, 0, s);
            const std::optional<double> back = f.parseTime(f.formatTime(t));
            QVERIFY2(back, qPrintable(f.formatTime(t)));
            QCOMPARE(msOf(*back), msOf(t));
        }
    }

    void fixedSettingsMatchTheirLocales() {
        QCOMPARE(RegionalFormats::fromLocale(QLocale(u"ru_RU"_qs)), RegionalFormats::russian());
        QCOMPARE(RegionalFormats::fromLocale(QLocale(u"en_US"_qs)), RegionalFormats::us());
    }

    void fromSystem() {
        // Dates and times follow LC_ALL, then LC_TIME, then LANG (tests run
        // under C.UTF-8, whose month names give way to numbers).
        QString name = QStringLiteral("C");
        for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
            if (const QString v = qEnvironmentVariable(var); !v.isEmpty()) {
                name = v;
                break;
            }
        }
        const RegionalFormats f = RegionalFormats::fromSystem();
        QCOMPARE(f, RegionalFormats::fromLocale(QLocale(name)));
        if (QLocale(name).name() == u"C")
            QCOMPARE(f.shortDateFormat, u"dd.MM.yyyy"_qs);
    }

    void maskedTime() {
        QCOMPARE(maskedTimeText(0.0), u"00:00:00"_qs);
        QCOMPARE(maskedTimeText(1.5), u"12:00:00"_qs);
        QCOMPARE(maskedTimeText(daycount::encodeTime(7, 5, 9)), u"07:05:09"_qs);
        QCOMPARE(maskedTimeText(daycount::encodeTime(23, 59, 59)), u"23:59:59"_qs);
        QCOMPARE(maskedTimeText(1.0 - 1e-12), u"00:00:00"_qs);
        QCOMPARE(maskedTimeText(-0.25), u"18:00:00"_qs);
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
