#include "scheduler/duetasks.h"
#include "scheduler/schedule.h"
#include "store/apperror.h"
#include "store/daycount.h"
#include "store/keys.h"
#include "store/regionalformats.h"
#include "store/settingsfile.h"
#include "tests/common/manualclock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <memory>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 8 December 2026 is a Tuesday; the week-day cases pick their days around it.
const QDate kTue(2026, 12, 8);
const QDate kWed(2026, 12, 9);
const QDate kThu(2026, 12, 10);
const QDate kFri(2026, 12, 11);
const QDate kSat(2026, 12, 12);

QString dateText(int dayCount) {
    return daycount::toDate(dayCount).toString(QStringLiteral("dd.MM.yyyy"));
}

QString timeText(QTime t) {
    return t.toString(QStringLiteral("HH:mm:ss"));
}

// A key line; a null value leaves the key out.
QString kv(QStringView key, const QString& value) {
    if (value.isNull())
        return {};
    return key.toString() + u'=' + value + u'\n';
}

QString section(const QString& name) {
    return u'[' + name + u"]\n";
}

const QString kMain = QStringLiteral("[Main]\nTop=0\n");

QList<double> datesOf(const TEvRec& table) {
    QList<double> dates;
    for (const ScheduleEntry& entry : table.entries)
        dates.append(entry.date);
    return dates;
}

QStringList namesOf(const TEvRec& table) {
    QStringList names;
    for (const ScheduleEntry& entry : table.entries)
        names.append(entry.name);
    return names;
}

} // namespace

class TestSchedule final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void emptyFileGivesEmptyTable();
    void onlyMainGivesEmptyTable();
    void tableEmptiedWhenTasksGo();
    void firstSectionSkippedWhateverItsName();
    void futureDateUntouched();
    void everyNDays_data();
    void everyNDays();
    void countdownPastMidnight();
    void countdownStartsFromNow();
    void startedCountdownKeepsItsTime();
    void equalTimesOrder_data();
    void equalTimesOrder();
    void sortMovesEntriesTogether();
    void weekDays_data();
    void weekDays();
    void badWeekValuesDoNotStopOthers();
    void advanceAfterFiring_data();
    void advanceAfterFiring();
    void firedCountdownRestarts();
    void firedCountdownRestartsPastMidnight();
    void otherRuleMovesNothing();
    void noDateAfterTheCalendarsEnd();
    void thousandTasks();
    void oneRecalculationOneWrite();
    void refusedWriteKeepsEveryTask();
    void dueInAStretch();
    void countdownOverADaylightSavingChange();

private:
    void setNow(QDate d, QTime t) { m_clock.set(d, t); }
    int today() const { return m_clock.today(); }
    void writeFile(const QString& text);
    QByteArray fileBytes() const;
    SettingsFile& settings();
    Schedule& schedule();
    QString stored(const QString& task, QStringView key);
    static void checkShape(const TEvRec& table);
    static int indexOf(const TEvRec& table, const QString& name);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    ManualClock m_clock;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<Schedule> m_schedule;
};

void TestSchedule::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("user.ini"));
    setNow(kTue, QTime(12, 0));
}

void TestSchedule::cleanup() {
    m_schedule.reset();
    m_settings.reset();
    m_dir.reset();
}

void TestSchedule::writeFile(const QString& text) {
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(f.write(text.toUtf8()) >= 0);
}

QByteArray TestSchedule::fileBytes() const {
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

SettingsFile& TestSchedule::settings() {
    if (!m_settings)
        m_settings = std::make_unique<SettingsFile>(m_path, RegionalFormats::russian(), m_clock);
    return *m_settings;
}

Schedule& TestSchedule::schedule() {
    if (!m_schedule)
        m_schedule = std::make_unique<Schedule>(settings(), m_clock);
    return *m_schedule;
}

// The text on disk, read by a fresh reader so no state of the schedule's own
// settings object can hide what was written.
QString TestSchedule::stored(const QString& task, QStringView key) {
    SettingsFile fresh(m_path, RegionalFormats::russian(), m_clock);
    return fresh.ReadString(task, key, QStringLiteral("<missing>"));
}

void TestSchedule::checkShape(const TEvRec& table) {
    // In order of time of day, every entry a task's.
    for (int i = 0; i < table.count(); ++i) {
        QVERIFY(!table.entries.at(i).name.isEmpty());
        if (i > 0)
            QVERIFY(table.entries.at(i - 1).time <= table.entries.at(i).time);
    }
}

int TestSchedule::indexOf(const TEvRec& table, const QString& name) {
    return int(namesOf(table).indexOf(name));
}

void TestSchedule::emptyFileGivesEmptyTable() {
    // No file at all, then an empty one.
    for (bool create : {false, true}) {
        if (create)
            writeFile(QString());
        schedule().ActEvArmed = true;
        schedule().RecalcSchedule();
        QCOMPARE(schedule().EvTable.count(), 0);
        checkShape(schedule().EvTable);
        QVERIFY(!schedule().ActEvArmed);
        QVERIFY(schedule().SectionList.isEmpty());
    }
}

void TestSchedule::onlyMainGivesEmptyTable() {
    writeFile(kMain);
    schedule().ActEvArmed = true;
    schedule().RecalcSchedule();
    QCOMPARE(schedule().EvTable.count(), 0);
    checkShape(schedule().EvTable);
    QVERIFY(!schedule().ActEvArmed);
    QCOMPARE(schedule().SectionList, QStringList{QStringLiteral("Main")});
}

void TestSchedule::tableEmptiedWhenTasksGo() {
    writeFile(kMain + section(QStringLiteral("a")) + kv(keys::Time, QStringLiteral("08:00:00")) +
              section(QStringLiteral("b")) + kv(keys::Time, QStringLiteral("09:00:00")));
    schedule().RecalcSchedule();
    QCOMPARE(schedule().EvTable.count(), 2);

    // The next recalculation must not keep the entries of a file that changed.
    writeFile(kMain + QStringLiteral("Sound=0\n"));
    schedule().RecalcSchedule();
    QCOMPARE(schedule().EvTable.count(), 0);
    checkShape(schedule().EvTable);
}

void TestSchedule::firstSectionSkippedWhateverItsName() {
    const QString past = dateText(today() - 4);
    writeFile(section(QStringLiteral("First")) + kv(keys::Time, QStringLiteral("08:00:00")) +
              kv(keys::Date, past) + kMain + section(QStringLiteral("Second")) +
              kv(keys::Time, QStringLiteral("09:00:00")) + kv(keys::Date, dateText(today() + 1)));
    schedule().RecalcSchedule();

    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), 2);
    checkShape(t);
    QCOMPARE(indexOf(t, QStringLiteral("First")), -1);
    QVERIFY(indexOf(t, QStringLiteral("Main")) >= 0);
    QVERIFY(indexOf(t, QStringLiteral("Second")) >= 0);
    QCOMPARE(schedule().SectionList,
             (QStringList{QStringLiteral("Main"), QStringLiteral("Second")}));
    // The skipped task is not moved on either.
    QCOMPARE(stored(QStringLiteral("First"), keys::Date), past);
}

void TestSchedule::futureDateUntouched() {
    const int future = today() + 5;
    // Time already passed today, every-N and week rules alike: a future date stays.
    writeFile(kMain + section(QStringLiteral("n")) + kv(keys::Time, QStringLiteral("08:00:00")) +
              kv(keys::Date, dateText(future)) + kv(keys::Day, QStringLiteral("3")) +
              section(QStringLiteral("w")) + kv(keys::Time, QStringLiteral("08:00:00")) +
              kv(keys::Date, dateText(future)) + kv(keys::DayOrWeek, QStringLiteral("1")) +
              kv(keys::Week, QStringLiteral("0")));
    const QByteArray before = fileBytes();
    schedule().RecalcSchedule();

    QCOMPARE(fileBytes(), before);
    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(t.entries.at(i).date, double(future));
        QCOMPARE(t.entries.at(i).time, daycount::encodeTime(8, 0, 0));
    }
}

void TestSchedule::everyNDays_data() {
    QTest::addColumn<QString>("day"); // null: key missing
    QTest::addColumn<int>("dateOffset");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<int>("expected");

    // The task's time is 18:00.
    QTest::newRow("N=1, today, time ahead") << QStringLiteral("1") << 0 << QTime(10, 0) << 0;
    // Due today and still ahead, it fires today whatever its N: moving it to
    // today + N - 1 would skip the start day the editor promised.
    QTest::newRow("N=3, today, time ahead") << QStringLiteral("3") << 0 << QTime(10, 0) << 0;
    QTest::newRow("N=3, today, time passed") << QStringLiteral("3") << 0 << QTime(19, 0) << 3;
    QTest::newRow("N=1, today, time passed") << QStringLiteral("1") << 0 << QTime(19, 0) << 1;
    QTest::newRow("N=3, today, time exactly now") << QStringLiteral("3") << 0 << QTime(18, 0) << 3;
    QTest::newRow("N=3, ten days back, passed") << QStringLiteral("3") << -10 << QTime(19, 0) << 3;
    QTest::newRow("N=3, ten days back, ahead") << QStringLiteral("3") << -10 << QTime(10, 0) << 2;
    QTest::newRow("Day missing, passed") << QString() << 0 << QTime(19, 0) << 1;
    QTest::newRow("Day hexadecimal") << QStringLiteral("0x10") << -1 << QTime(19, 0) << 16;
}

void TestSchedule::everyNDays() {
    QFETCH(QString, day);
    QFETCH(int, dateOffset);
    QFETCH(QTime, now);
    QFETCH(int, expected);

    setNow(kTue, now);
    const QString name = QStringLiteral("Задание");
    writeFile(kMain + section(name) + kv(keys::Date, dateText(today() + dateOffset)) +
              kv(keys::DayOrWeek, QStringLiteral("0")) + kv(keys::Day, day) +
              kv(keys::Time, QStringLiteral("18:00:00")));
    schedule().RecalcSchedule();

    QCOMPARE(stored(name, keys::Date), dateText(today() + expected));
    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), 1);
    QCOMPARE(t.entries.at(0).name, name);
    QCOMPARE(t.entries.at(0).date, double(today() + expected));
    QCOMPARE(t.entries.at(0).time, daycount::encodeTime(18, 0, 0));
}

void TestSchedule::countdownPastMidnight() {
    setNow(kTue, QTime(23, 0));
    writeFile(kMain + section(QStringLiteral("cd")) + kv(keys::Date, dateText(today())) +
              kv(keys::TimeGap, QStringLiteral("02:00:00")) +
              kv(keys::Time, QStringLiteral("00:00:00")));
    schedule().RecalcSchedule();

    QCOMPARE(stored(QStringLiteral("cd"), keys::Time), QStringLiteral("01:00:00"));
    QCOMPARE(stored(QStringLiteral("cd"), keys::Date), dateText(today() + 1));
    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), 1);
    QVERIFY(t.entries.at(0).time >= 0.0 && t.entries.at(0).time < 1.0);
    QCOMPARE(daycount::toTime(t.entries.at(0).time), QTime(1, 0));
    QCOMPARE(t.entries.at(0).date, double(today() + 1));

    // Started now: the next recalculation leaves it alone.
    const QByteArray after = fileBytes();
    schedule().RecalcSchedule();
    QCOMPARE(fileBytes(), after);
    QCOMPARE(daycount::toTime(schedule().EvTable.entries.at(0).time), QTime(1, 0));
}

void TestSchedule::countdownStartsFromNow() {
    // No "Time" and no "Date" at all: the countdown starts, the date is not written.
    setNow(kTue, QTime(12, 0, 0, 250));
    writeFile(kMain + section(QStringLiteral("cd")) +
              kv(keys::TimeGap, QStringLiteral("00:30:00")));
    schedule().RecalcSchedule();

    QCOMPARE(stored(QStringLiteral("cd"), keys::Time), QStringLiteral("12:30:00"));
    QCOMPARE(stored(QStringLiteral("cd"), keys::Date), QStringLiteral("<missing>"));
    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), 1);
    // The table holds the end as the file does, in whole seconds: the clock
    // fires it in its second, and a table rebuilt from the file agrees.
    QCOMPARE(daycount::toTime(t.entries.at(0).time), QTime(12, 30, 0));
    QCOMPARE(t.entries.at(0).date, double(today()));
}

void TestSchedule::startedCountdownKeepsItsTime() {
    // A running countdown never takes the date step and keeps its end, even
    // one already passed today.
    setNow(kTue, QTime(19, 0));
    writeFile(kMain + section(QStringLiteral("cd")) + kv(keys::Date, dateText(today())) +
              kv(keys::TimeGap, QStringLiteral("01:00:00")) +
              kv(keys::Time, QStringLiteral("07:00:00")));
    const QByteArray before = fileBytes();
    schedule().RecalcSchedule();

    QCOMPARE(fileBytes(), before);
    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), 1);
    QCOMPARE(t.entries.at(0).time, daycount::encodeTime(7, 0, 0));
    QCOMPARE(t.entries.at(0).date, double(today()));

    // One whose end went by on an earlier day without firing (asleep, or the
    // program not running) could never be armed again: it runs afresh from
    // now, and its date becomes the day of its new end.
    writeFile(kMain + section(QStringLiteral("cd")) + kv(keys::Date, dateText(today() - 3)) +
              kv(keys::TimeGap, QStringLiteral("01:00:00")) +
              kv(keys::Time, QStringLiteral("07:00:00")));
    schedule().RecalcSchedule();
    QCOMPARE(stored(QStringLiteral("cd"), keys::Time), QStringLiteral("20:00:00"));
    QCOMPARE(stored(QStringLiteral("cd"), keys::Date), dateText(today()));
    QCOMPARE(schedule().EvTable.entries.at(0).date, double(today()));
    // Ending past midnight, on the next day.
    setNow(kTue, QTime(23, 30));
    writeFile(kMain + section(QStringLiteral("cd")) + kv(keys::Date, dateText(today() - 1)) +
              kv(keys::TimeGap, QStringLiteral("01:00:00")) +
              kv(keys::Time, QStringLiteral("07:00:00")));
    schedule().RecalcSchedule();
    QCOMPARE(stored(QStringLiteral("cd"), keys::Time), QStringLiteral("00:30:00"));
    QCOMPARE(stored(QStringLiteral("cd"), keys::Date), dateText(today() + 1));
}

void TestSchedule::equalTimesOrder_data() {
    QTest::addColumn<QStringList>("times"); // for tasks a, b, c, ... in file order
    QTest::addColumn<QStringList>("order");

    QTest::newRow("08,08,09") << QStringList{QStringLiteral("08:00:00"), QStringLiteral("08:00:00"),
                                             QStringLiteral("09:00:00")}
                              << QStringList{QStringLiteral("b"), QStringLiteral("a"),
                                             QStringLiteral("c")};
    QTest::newRow("three equal") << QStringList{QStringLiteral("08:00:00"),
                                                QStringLiteral("08:00:00"),
                                                QStringLiteral("08:00:00")}
                                 << QStringList{QStringLiteral("a"), QStringLiteral("b"),
                                                QStringLiteral("c")};
    // Worked through by hand: only the last pass exchanges, d with a.
    QTest::newRow("08,08,08,07") << QStringList{QStringLiteral("08:00:00"),
                                                QStringLiteral("08:00:00"),
                                                QStringLiteral("08:00:00"),
                                                QStringLiteral("07:00:00")}
                                 << QStringList{QStringLiteral("d"), QStringLiteral("b"),
                                                QStringLiteral("c"), QStringLiteral("a")};
}

void TestSchedule::equalTimesOrder() {
    QFETCH(QStringList, times);
    QFETCH(QStringList, order);

    QString text = kMain;
    for (int i = 0; i < times.size(); ++i) {
        text += section(QString(QChar(char16_t(u'a' + i)))) +
                kv(keys::Date, dateText(today() + 1)) + kv(keys::Time, times.at(i));
    }
    writeFile(text);
    schedule().RecalcSchedule();
    QCOMPARE(namesOf(schedule().EvTable), order);
}

void TestSchedule::sortMovesEntriesTogether() {
    // Each task's date is unique to it, so a name parted from its date shows.
    const QList<QTime> times{QTime(15, 0), QTime(6, 30), QTime(23, 59, 59), QTime(0, 0, 1),
                             QTime(12, 0), QTime(6, 30), QTime(9, 15)};
    QString text = kMain;
    for (int i = 0; i < times.size(); ++i) {
        text += section(QStringLiteral("t%1").arg(i)) + kv(keys::Date, dateText(today() + 1 + i)) +
                kv(keys::Time, timeText(times.at(i)));
    }
    writeFile(text);
    schedule().RecalcSchedule();

    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), int(times.size()));
    checkShape(t);
    for (int i = 0; i < t.count(); ++i) {
        const int original = t.entries.at(i).name.mid(1).toInt();
        QCOMPARE(t.entries.at(i).date, double(today() + 1 + original));
        QCOMPARE(t.entries.at(i).time, daycount::fromTime(times.at(original)));
        if (i > 0)
            QVERIFY(t.entries.at(i - 1).time <= t.entries.at(i).time);
    }
}

void TestSchedule::weekDays_data() {
    QTest::addColumn<QString>("week"); // null: key missing
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<int>("dateOffset");
    QTest::addColumn<int>("expected");

    // Week "024": Monday, Wednesday, Friday; the task's time is 18:00.
    const QString mwf = QStringLiteral("024");
    QTest::newRow("024 Wed 10:00") << mwf << kWed << QTime(10, 0) << 0 << 0;
    QTest::newRow("024 Wed 19:00") << mwf << kWed << QTime(19, 0) << 0 << 2;
    QTest::newRow("024 Wed 18:00 exactly") << mwf << kWed << QTime(18, 0) << 0 << 2;
    QTest::newRow("024 Fri 19:00") << mwf << kFri << QTime(19, 0) << 0 << 3;
    QTest::newRow("024 Sat 10:00") << mwf << kSat << QTime(10, 0) << 0 << 2;
    QTest::newRow("024 Sat 19:00") << mwf << kSat << QTime(19, 0) << 0 << 2;
    QTest::newRow("024 Tue, date ten days back") << mwf << kTue << QTime(10, 0) << -10 << 1;
    QTest::newRow("024 Tue, future date") << mwf << kTue << QTime(10, 0) << 4 << 4;
    QTest::newRow("3 Thu passed") << QStringLiteral("3") << kThu << QTime(19, 0) << 0 << 7;
    QTest::newRow("3 Thu ahead") << QStringLiteral("3") << kThu << QTime(10, 0) << 0 << 0;
    QTest::newRow("missing Tue ahead") << QString() << kTue << QTime(10, 0) << 0 << 0;
    QTest::newRow("missing Tue passed") << QString() << kTue << QTime(19, 0) << 0 << 7;
    // Values the picker would never write: stray characters are ignored, and
    // nothing usable means the base day alone.
    QTest::newRow("empty Tue passed") << QStringLiteral("") << kTue << QTime(19, 0) << 0 << 7;
    QTest::newRow("empty Tue ahead") << QStringLiteral("") << kTue << QTime(10, 0) << 0 << 0;
    QTest::newRow("x Tue passed") << QStringLiteral("x") << kTue << QTime(19, 0) << 0 << 7;
    QTest::newRow("9 Tue passed") << QStringLiteral("9") << kTue << QTime(19, 0) << 0 << 7;
    QTest::newRow("2x4 Tue") << QStringLiteral("2x4") << kTue << QTime(10, 0) << 0 << 1;
    QTest::newRow("2x4 Fri passed") << QStringLiteral("2x4") << kFri << QTime(19, 0) << 0 << 5;
    QTest::newRow("0 and blanks Sat") << QStringLiteral(" 0 ") << kSat << QTime(10, 0) << 0 << 2;
    // Out of order: read as the set of days it names, so Wednesday is not skipped.
    QTest::newRow("42 Tue") << QStringLiteral("42") << kTue << QTime(10, 0) << 0 << 1;
    QTest::newRow("60 Wed") << QStringLiteral("60") << kWed << QTime(10, 0) << 0 << 4;
}

void TestSchedule::weekDays() {
    QFETCH(QString, week);
    QFETCH(QDate, day);
    QFETCH(QTime, now);
    QFETCH(int, dateOffset);
    QFETCH(int, expected);

    setNow(day, now);
    writeFile(kMain + section(QStringLiteral("w")) +
              kv(keys::Date, dateText(today() + dateOffset)) +
              kv(keys::DayOrWeek, QStringLiteral("1")) + kv(keys::Week, week) +
              kv(keys::Time, QStringLiteral("18:00:00")));
    QVERIFY_THROWS_NO_EXCEPTION(schedule().RecalcSchedule());

    QCOMPARE(stored(QStringLiteral("w"), keys::Date), dateText(today() + expected));
    QCOMPARE(schedule().EvTable.count(), 1);
    QCOMPARE(schedule().EvTable.entries.at(0).date, double(today() + expected));
}

void TestSchedule::badWeekValuesDoNotStopOthers() {
    setNow(kTue, QTime(19, 0)); // every task's 18:00 has passed
    const QStringList bad{QStringLiteral(""), QStringLiteral("x"), QStringLiteral("2x4"),
                          QStringLiteral("9")};
    QString text = kMain + section(QStringLiteral("before")) + kv(keys::Date, dateText(today())) +
                   kv(keys::Time, QStringLiteral("18:00:00"));
    for (int i = 0; i < bad.size(); ++i) {
        text += section(QStringLiteral("bad%1").arg(i)) + kv(keys::Date, dateText(today())) +
                kv(keys::DayOrWeek, QStringLiteral("1")) + kv(keys::Week, bad.at(i)) +
                kv(keys::Time, QStringLiteral("18:00:00"));
    }
    text += section(QStringLiteral("after")) + kv(keys::Date, dateText(today())) +
            kv(keys::Time, QStringLiteral("18:00:00"));
    writeFile(text);

    QVERIFY_THROWS_NO_EXCEPTION(schedule().RecalcSchedule());
    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), 6);
    checkShape(t);
    QCOMPARE(stored(QStringLiteral("before"), keys::Date), dateText(today() + 1));
    QCOMPARE(stored(QStringLiteral("after"), keys::Date), dateText(today() + 1));
    QCOMPARE(stored(QStringLiteral("bad0"), keys::Date), dateText(today() + 7));
    QCOMPARE(stored(QStringLiteral("bad1"), keys::Date), dateText(today() + 7));
    QCOMPARE(stored(QStringLiteral("bad2"), keys::Date), dateText(today() + 1));
    QCOMPARE(stored(QStringLiteral("bad3"), keys::Date), dateText(today() + 7));
    QCOMPARE(t.entries.at(indexOf(t, QStringLiteral("after"))).date, double(today() + 1));
}

void TestSchedule::advanceAfterFiring_data() {
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("extra"); // "Day" or "Week" value
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<int>("expected");

    // Fired at its time (18:00) or, by the test button, earlier: always onwards.
    QTest::newRow("N=3 at its time")
        << QStringLiteral("0") << QStringLiteral("3") << kTue << QTime(18, 0) << 3;
    QTest::newRow("N=3 before its time")
        << QStringLiteral("0") << QStringLiteral("3") << kTue << QTime(10, 0) << 3;
    QTest::newRow("N=1 at its time")
        << QStringLiteral("0") << QStringLiteral("1") << kTue << QTime(18, 0) << 1;
    QTest::newRow("024 Wed at its time")
        << QStringLiteral("1") << QStringLiteral("024") << kWed << QTime(18, 0) << 2;
    QTest::newRow("024 Fri at its time")
        << QStringLiteral("1") << QStringLiteral("024") << kFri << QTime(18, 0, 0, 1) << 3;
}

void TestSchedule::advanceAfterFiring() {
    QFETCH(QString, rule);
    QFETCH(QString, extra);
    QFETCH(QDate, day);
    QFETCH(QTime, now);
    QFETCH(int, expected);

    setNow(day, now);
    writeFile(kMain + section(QStringLiteral("f")) + kv(keys::Date, dateText(today())) +
              kv(keys::DayOrWeek, rule) + kv(rule == u"0" ? keys::Day : keys::Week, extra) +
              kv(keys::Time, QStringLiteral("18:00:00")));
    schedule().AdvanceTaskDate(QStringLiteral("f"), 0);
    QCOMPARE(stored(QStringLiteral("f"), keys::Date), dateText(today() + expected));
}

void TestSchedule::firedCountdownRestarts() {
    setNow(kTue, QTime(12, 0));
    writeFile(kMain + section(QStringLiteral("other")) + kv(keys::Date, dateText(today() + 1)) +
              kv(keys::Time, QStringLiteral("12:05:00")) + section(QStringLiteral("cd")) +
              kv(keys::Date, dateText(today())) + kv(keys::TimeGap, QStringLiteral("00:10:00")) +
              kv(keys::Time, QStringLiteral("12:00:00")));
    schedule().RecalcSchedule();
    QCOMPARE(schedule().EvTable.entries.at(0).name, QStringLiteral("cd"));
    schedule().ActEvArmed = true; // as the clock would have it when the task fired

    schedule().AdvanceTaskDate(QStringLiteral("cd"), 0);

    QCOMPARE(stored(QStringLiteral("cd"), keys::Time), QStringLiteral("12:10:00"));
    QCOMPARE(stored(QStringLiteral("cd"), keys::Date), dateText(today()));
    // The table is renewed at once: the countdown now sorts after "other".
    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), 2);
    QCOMPARE(namesOf(t), (QStringList{QStringLiteral("other"), QStringLiteral("cd")}));
    QCOMPARE(t.entries.at(1).time, daycount::encodeTime(12, 10, 0));
    QVERIFY(!schedule().ActEvArmed);
}

void TestSchedule::firedCountdownRestartsPastMidnight() {
    setNow(kTue, QTime(23, 55));
    writeFile(kMain + section(QStringLiteral("cd")) + kv(keys::Date, dateText(today())) +
              kv(keys::TimeGap, QStringLiteral("00:10:00")) +
              kv(keys::Time, QStringLiteral("23:55:00")));
    schedule().AdvanceTaskDate(QStringLiteral("cd"), 0);
    QCOMPARE(stored(QStringLiteral("cd"), keys::Time), QStringLiteral("00:05:00"));
    QCOMPARE(stored(QStringLiteral("cd"), keys::Date), dateText(today() + 1));
    QCOMPARE(schedule().EvTable.entries.at(0).date, double(today() + 1));
}

void TestSchedule::otherRuleMovesNothing() {
    setNow(kTue, QTime(19, 0));
    writeFile(kMain + section(QStringLiteral("odd")) + kv(keys::Date, dateText(today() - 5)) +
              kv(keys::DayOrWeek, QStringLiteral("2")) + kv(keys::Day, QStringLiteral("1")) +
              kv(keys::Week, QStringLiteral("024")) + kv(keys::Time, QStringLiteral("10:00:00")));
    const QByteArray before = fileBytes();

    schedule().RecalcSchedule();
    QCOMPARE(fileBytes(), before);
    QCOMPARE(schedule().EvTable.count(), 1);
    QCOMPARE(schedule().EvTable.entries.at(0).date, double(today() - 5));

    schedule().AdvanceTaskDate(QStringLiteral("odd"), 0);
    QCOMPARE(fileBytes(), before);
}

void TestSchedule::noDateAfterTheCalendarsEnd() {
    // Every 9,999,999 days, every N days with N too long for an integer, and
    // Mondays on Friday 31.12.9999: none has a next date. Each stays on the
    // date it has and is switched off, once; the others move on as ever.
    setNow(kTue, QTime(19, 0));
    // Switched on, due today at 18:00.
    const auto dueToday = [this]() -> QString {
        return kv(keys::Activing, QStringLiteral("1")) + kv(keys::Date, dateText(today())) +
               kv(keys::Time, QStringLiteral("18:00:00"));
    };
    const QString task = dueToday();
    writeFile(kMain + section(QStringLiteral("huge")) + task +
              kv(keys::Day, QStringLiteral("9999999")) + section(QStringLiteral("too long")) +
              task + kv(keys::Day, QStringLiteral("99999999999")) +
              section(QStringLiteral("plain")) + task + kv(keys::Day, QStringLiteral("2")));
    int told = 0;
    schedule().tasksSwitchedOff = [&] { ++told; };
    schedule().RecalcSchedule();
    for (const QString& name : {QStringLiteral("huge"), QStringLiteral("too long")}) {
        QCOMPARE(stored(name, keys::Date), dateText(today()));
        QCOMPARE(stored(name, keys::Activing), QStringLiteral("0"));
        QCOMPARE(schedule().EvTable.entries.at(indexOf(schedule().EvTable, name)).date,
                 double(today()));
    }
    QCOMPARE(stored(QStringLiteral("plain"), keys::Date), dateText(today() + 2));
    QCOMPARE(stored(QStringLiteral("plain"), keys::Activing), QStringLiteral("1"));
    QCOMPARE(told, 1);
    // The next recalculations find nothing to write.
    const QByteArray after = fileBytes();
    schedule().RecalcSchedule();
    QCOMPARE(fileBytes(), after);
    QCOMPARE(told, 1);

    // Fired on its start day, it fires no more.
    setNow(kTue, QTime(10, 0));
    writeFile(kMain + section(QStringLiteral("once")) + task +
              kv(keys::Day, QStringLiteral("9999999")));
    schedule().AdvanceFiredTask(QStringLiteral("once"), today());
    QCOMPARE(stored(QStringLiteral("once"), keys::Date), dateText(today()));
    QCOMPARE(stored(QStringLiteral("once"), keys::Activing), QStringLiteral("0"));
    QCOMPARE(told, 2);

    // The calendar's last day, a Friday, for a Monday task and an every-day one.
    const QDate last(9999, 12, 31);
    setNow(last, QTime(19, 0));
    writeFile(kMain + section(QStringLiteral("monday")) + dueToday() +
              kv(keys::DayOrWeek, QStringLiteral("1")) + kv(keys::Week, QStringLiteral("0")) +
              section(QStringLiteral("daily")) + dueToday() + kv(keys::Day, QStringLiteral("1")));
    schedule().RecalcSchedule();
    for (const QString& name : {QStringLiteral("monday"), QStringLiteral("daily")}) {
        QCOMPARE(stored(name, keys::Date), QStringLiteral("31.12.9999"));
        QCOMPARE(stored(name, keys::Activing), QStringLiteral("0"));
    }
    QCOMPARE(told, 3);
}

void TestSchedule::thousandTasks() {
    // Past the old one-byte count: every task is scheduled and moved on.
    setNow(kTue, QTime(12, 0));
    const int n = 1000;
    QString text = kMain;
    for (int i = 0; i < n; ++i) {
        const QString name = QStringLiteral("task %1").arg(i);
        const QTime time = QTime(0, 0).addSecs((i * 7919) % 86400);
        // A countdown's "00:00:00" means not started yet.
        text += section(name) +
                kv(keys::Time, i % 3 == 2 ? QStringLiteral("00:00:00") : timeText(time));
        switch (i % 3) {
        case 0: // every 2 days, from a past date
            text +=
                kv(keys::Date, dateText(today() - 1 - i % 9)) + kv(keys::Day, QStringLiteral("2"));
            break;
        case 1: // Mondays and Saturdays
            text += kv(keys::Date, dateText(today())) + kv(keys::DayOrWeek, QStringLiteral("1")) +
                    kv(keys::Week, QStringLiteral("05"));
            break;
        default: // a countdown that is yet to start
            text += kv(keys::TimeGap, QStringLiteral("00:01:00"));
            break;
        }
    }
    writeFile(text);
    schedule().RecalcSchedule();

    const TEvRec& t = schedule().EvTable;
    QCOMPARE(t.count(), n);
    checkShape(t);
    QCOMPARE(schedule().SectionList.size(), qsizetype(n));
    QStringList names = namesOf(t);
    names.removeDuplicates();
    QCOMPARE(names.size(), qsizetype(n));
    for (int i = 1; i < n; ++i)
        QVERIFY(t.entries.at(i - 1).time <= t.entries.at(i).time);

    const double now = m_clock.timeNow();
    for (int i : {0, 1, 2, 300, 301, 302, 997, 998, 999}) {
        const QString name = QStringLiteral("task %1").arg(i);
        const int at = indexOf(t, name);
        QVERIFY2(at >= 0, qPrintable(name));
        const double time = daycount::fromTime(QTime(0, 0).addSecs((i * 7919) % 86400));
        int expected = 0;
        switch (i % 3) {
        case 0:
            expected = today() + (time > now ? 1 : 2);
            break;
        case 1: // Tuesday: next Saturday
            expected = today() + 4;
            break;
        default:
            expected = today();
            QCOMPARE(daycount::toTime(t.entries.at(at).time), QTime(12, 1));
            break;
        }
        QCOMPARE(t.entries.at(at).date, double(expected));
        if (i % 3 != 2)
            QCOMPARE(stored(name, keys::Date), dateText(expected));
    }
}

void TestSchedule::oneRecalculationOneWrite() {
    // Twenty dates to move and five countdowns to start: the file is replaced
    // once, as the kernel sees it, and holds every change.
    setNow(kTue, QTime(12, 0));
    QString text = kMain;
    for (int i = 0; i < 20; ++i)
        text += section(QStringLiteral("n%1").arg(i)) + kv(keys::Date, dateText(today() - 1)) +
                kv(keys::Day, QStringLiteral("1")) + kv(keys::Time, QStringLiteral("08:00:00"));
    for (int i = 0; i < 5; ++i)
        text += section(QStringLiteral("cd%1").arg(i)) +
                kv(keys::TimeGap, QStringLiteral("00:0%1:00").arg(i + 1)) +
                kv(keys::Time, QStringLiteral("00:00:00"));
    writeFile(text);
    settings().ReadSections(schedule().SectionList); // the file is parsed before the count

    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(m_dir->path()).constData(),
                                IN_MOVED_TO | IN_CLOSE_WRITE) >= 0);
    schedule().RecalcSchedule();
    int replaced = 0;
    alignas(inotify_event) char buf[8192];
    for (ssize_t n; (n = ::read(watch, buf, sizeof buf)) > 0;) {
        for (char* p = buf; p < buf + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if ((e->mask & IN_MOVED_TO) && e->len > 0 && QByteArray(e->name) == "user.ini")
                ++replaced;
            p += sizeof(inotify_event) + e->len;
        }
    }
    ::close(watch);
    QCOMPARE(replaced, 1);

    for (int i = 0; i < 20; ++i)
        QCOMPARE(stored(QStringLiteral("n%1").arg(i), keys::Date), dateText(today() + 1));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(stored(QStringLiteral("cd%1").arg(i), keys::Time), timeText(QTime(12, i + 1)));
    // Nothing left to move: the next recalculation does not write at all.
    const QByteArray after = fileBytes();
    schedule().RecalcSchedule();
    QCOMPARE(fileBytes(), after);
    QCOMPARE(schedule().EvTable.count(), 25);
}

void TestSchedule::refusedWriteKeepsEveryTask() {
    // The store refuses to replace a read-only file, even for root.
    setNow(kTue, QTime(19, 0));
    writeFile(kMain + section(QStringLiteral("late")) + kv(keys::Date, dateText(today() + 2)) +
              kv(keys::Time, QStringLiteral("21:00:00")) + section(QStringLiteral("early")) +
              kv(keys::Date, dateText(today() + 1)) + kv(keys::Time, QStringLiteral("06:00:00")) +
              section(QStringLiteral("due")) + kv(keys::Date, dateText(today() - 1)) +
              kv(keys::Time, QStringLiteral("08:00:00")) + section(QStringLiteral("after")) +
              kv(keys::Date, dateText(today() + 3)) + kv(keys::Time, QStringLiteral("07:00:00")));
    QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0444) == 0);
    const QByteArray before = fileBytes();

    schedule().ActEvArmed = true;
    QString error;
    try {
        schedule().RecalcSchedule();
    } catch (const AppError& e) {
        error = e.message();
    }
    QCOMPARE(error, QStringLiteral("Unable to write to ") + m_path);
    QCOMPARE(fileBytes(), before);
    QVERIFY(!schedule().ActEvArmed);
    // Every task is in the table, sorted by time of day: the one whose move
    // was refused with the date it has in the file, the ones after it as well.
    const TEvRec& t = schedule().EvTable;
    checkShape(t);
    QCOMPARE(namesOf(t), (QStringList{QStringLiteral("early"), QStringLiteral("after"),
                                      QStringLiteral("due"), QStringLiteral("late")}));
    QCOMPARE(datesOf(t), (QList<double>{double(today() + 1), double(today() + 3),
                                        double(today() - 1), double(today() + 2)}));
    QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0644) == 0);
}

void TestSchedule::dueInAStretch() {
    // Table order (by time of day): a and b share 23:59:59 of day 100, c is
    // at 00:00:00 of day 101, d (inactive) at 00:00:01, e at 00:30 of 101.
    TEvRec table;
    const auto add = [&](const char* name, int date, QTime t) {
        table.entries.append({QString::fromLatin1(name), double(date), daycount::fromTime(t)});
    };
    add("c", 101, QTime(0, 0, 0));
    add("d", 101, QTime(0, 0, 1));
    add("e", 101, QTime(0, 30, 0));
    add("b", 100, QTime(23, 59, 59));
    add("a", 100, QTime(23, 59, 59));
    const auto active = [&](int i) { return table.entries.at(i).name != QStringLiteral("d"); };
    const auto names = [&](const QList<int>& due) {
        QStringList out;
        for (const int i : due)
            out.append(table.entries.at(i).name);
        return out.join(u' ');
    };
    const auto at = [](int date, QTime t) { return date + daycount::fromTime(t); };

    // Lived through (a stopped process, a daylight-saving change that skips
    // midnight's hour): everything in the stretch, in due order, equal
    // moments in table order; the stretch's start is excluded, its end not.
    duetasks::Stretch late{at(100, QTime(23, 59, 58, 500)), at(101, QTime(1, 0, 2)), true};
    QCOMPARE(names(duetasks::due(table, late, 3, active)), QStringLiteral("b a c e"));
    duetasks::Stretch exact{at(100, QTime(23, 59, 59)), at(101, QTime(0, 0, 0)), true};
    QCOMPARE(names(duetasks::due(table, exact, -1, active)), QStringLiteral("c"));
    // An hour that comes twice: the stretch runs backwards and holds nothing.
    duetasks::Stretch back{at(101, QTime(2, 59, 59)), at(101, QTime(2, 0, 0)), true};
    QCOMPARE(names(duetasks::due(table, back, -1, active)), QString());
    // Asleep or the clock set forward: the armed entry alone, once its moment
    // is reached, however late; nothing when nothing was armed.
    duetasks::Stretch slept = late;
    slept.awake = false;
    QCOMPARE(names(duetasks::due(table, slept, 3, active)), QStringLiteral("b"));
    QCOMPARE(names(duetasks::due(table, slept, -1, active)), QString());
    slept.to = at(100, QTime(23, 59, 58, 900));
    QCOMPARE(names(duetasks::due(table, slept, 3, active)), QString());

    // A second a tick, a daylight-saving change (the wall clock in universal
    // time moves on by a second) or a stopped process: lived through. A
    // suspend or a clock set forward or back: not.
    QVERIFY(duetasks::livedThrough(1000, 1000));
    QVERIFY(duetasks::livedThrough(3500, 3498));
    QVERIFY(!duetasks::livedThrough(40000, 1000));
    QVERIFY(!duetasks::livedThrough(-3600000, 1000));
}

void TestSchedule::countdownOverADaylightSavingChange() {
    // 30 minutes from 01:59:54 on the night summer time starts in Berlin
    // (02:00 becomes 03:00) end at 03:29:54 by the wall, not six seconds on;
    // 6 hours from 23:00 the night before end at 06:00 of the next day.
    const QTimeZone berlin("Europe/Berlin");
    const QDate change(2027, 3, 28);
    const double half = daycount::encodeTime(0, 30, 0);
    Schedule::CountdownEnd end =
        Schedule::countdownEnd(QDateTime(change, QTime(1, 59, 54), berlin), half);
    QCOMPARE(end.days, 0);
    QCOMPARE(daycount::toTime(end.time), QTime(3, 29, 54));
    end = Schedule::countdownEnd(QDateTime(change.addDays(-1), QTime(23, 0), berlin),
                                 daycount::encodeTime(6, 0, 0));
    QCOMPARE(end.days, 1);
    QCOMPARE(daycount::toTime(end.time), QTime(6, 0, 0));
    // Ending on midnight exactly: one second after it.
    end = Schedule::countdownEnd(QDateTime(change, QTime(23, 30), berlin), half);
    QCOMPARE(end.days, 1);
    QCOMPARE(daycount::toTime(end.time), QTime(0, 0, 1));
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
