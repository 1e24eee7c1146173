#include "daycount.h"
#include "eventchecklist.h"
#include "fakeplatform.h"
#include "programrun.h"
#include "programwindows.h"
#include "regionalformats.h"
#include "schedule.h"
#include "tfmmsg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

const QDate kDay(2026, 12, 8); // a Tuesday

QString dateText(QDate d) {
    return d.toString(QStringLiteral("dd.MM.yyyy"));
}

// One task section as the editor saves it, in the file's Russian formats.
struct Task {
    Task(QString n, QString t, QDate d = kDay) : name(std::move(n)), time(std::move(t)), date(d) {}

    QString name;
    QString time;
    QDate date;
    bool active = true;
    int sound = 0;
    int ones = 0;
    int action = 0;
    QString message;
    QString app;
    QString timeGap;
    int day = 1;

    QByteArray text() const {
        QString s = u'[' + name + QStringLiteral("]\n");
        s += QStringLiteral("Activing=") + (active ? u'1' : u'0') + u'\n';
        s += QStringLiteral("Date=") + dateText(date) + u'\n';
        s += QStringLiteral("DayOrWeek=0\nDay=") + QString::number(day) + u'\n';
        if (!timeGap.isEmpty())
            s += QStringLiteral("TimeGap=") + timeGap + u'\n';
        s += QStringLiteral("Time=") + time + u'\n';
        s += QStringLiteral("Message=") + message + u'\n';
        s += QStringLiteral("Action=") + QString::number(action) + u'\n';
        if (!app.isEmpty())
            s += QStringLiteral("App=") + app + u'\n';
        s += QStringLiteral("Sound=") + QString::number(sound) + u'\n';
        s += QStringLiteral("Ones=") + QString::number(ones) + u'\n';
        return s.toUtf8();
    }
};

// The program's windows in a folder of their own, on a clock that only the
// test and the sounds' blocking waits move.
struct Run : ProgramRun {
    Run() { platform.sleepClock = &clock; }
    using ProgramRun::writeIni;
    void writeIni(const QList<Task>& tasks, const QByteArray& main = "Top=0\n") const {
        QByteArray text = "[Main]\n" + main;
        for (const Task& t : tasks)
            text += t.text();
        writeIni(text);
    }
    QByteArray iniBytes() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void startAt(QTime at, QDate day = kDay) {
        clock.set(day, at);
        create();
    }
    TfmMsg* msg() const { return windows->fmMsg.get(); }
    Schedule& schedule() const { return *main()->schedule(); }
    EventCheckList* list() const { return control<EventCheckList>("clbEvents"); }

    // The armed task's name, or empty when nothing is armed.
    QString armed() const {
        const TEvRec& t = schedule().EvTable;
        if (!schedule().ActEvArmed || t.ActEv < 0 || t.ActEv >= t.Count)
            return {};
        return t.Names.at(t.ActEv);
    }
    // The name on the list row that carries the armed mark, or empty.
    QString markedRow() const {
        const int row = list()->armedRow();
        return row < 0 ? QString() : list()->item(row)->text();
    }
    // A tick of Timer1 at this moment of the test day, as the aligned clock
    // gives it: a few milliseconds past the second.
    void tickAt(QTime at, QDate day = kDay) {
        clock.set(day, at.addMSecs(3));
        main()->guarded([this] { main()->Timer1Timer(); });
    }
    // The names the alarm window was shown for, taken from its caption.
    QString alarmCaption() const { return msg()->windowTitle(); }
    QString alarmMessage() const {
        return msg()->findChild<QLabel*>(QStringLiteral("lMsg"))->text();
    }
    int errorBoxes() const {
        int n = 0;
        for (const FakePlatform::Box& b : platform.boxes)
            n += b.kind == FakePlatform::Box::Error;
        return n;
    }
};

QTime hms(int h, int m, int s = 0) {
    return QTime(h, m, s);
}

} // namespace

class TestFiring : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void armingTable_data();
    void armingTable();
    void armingMovesTheListMark();
    void firesAtItsSecondAndArmsTheNext();
    void equalTimesFireOnce();
    void firedAtItsVeryMillisecondFiresOnce();
    void passedOverWhileASoundPlays();
    void noCatchingUpAtStartup();
    void midnightRefreshDoesNotRecalculate();
    void chimeMinuteRule_data();
    void chimeMinuteRule();
    void actions_data();
    void actions();
    void actionTwoLeavesTheMessage();
    void openFailureShowsTheBox();
    void countdownTaskRestarts();
    void datePickerFollowsTheLoadedTask();
    void refusedWriteDisarmsTheFiredTask();
    void testOfASavedTaskMovesItsDate();
    void testOfAnUnsavedNameWritesNothing();
    void recalculationButton();
    void hiddenView();
    void hiddenViewOfAnEmptyTable();
    void dateTimeSettingsOnDoubleClick();
    void ticksAlignToSecondBoundaries();

private:
    std::unique_ptr<Run> r;
};

void TestFiring::init() {
    r = std::make_unique<Run>();
}

void TestFiring::cleanup() {
    r.reset();
}

// A 08:00 today, B 09:00 tomorrow, C 10:00 today switched off, D 11:00 today.
static QList<Task> tableAbcd() {
    Task a{QStringLiteral("A"), QStringLiteral("08:00:00")};
    Task b{QStringLiteral("B"), QStringLiteral("09:00:00"), kDay.addDays(1)};
    Task c{QStringLiteral("C"), QStringLiteral("10:00:00")};
    c.active = false;
    Task d{QStringLiteral("D"), QStringLiteral("11:00:00")};
    return {a, b, c, d};
}

void TestFiring::armingTable_data() {
    QTest::addColumn<QTime>("at");
    QTest::addColumn<QString>("armed");
    QTest::newRow("07:00 arms A") << hms(7, 0) << QStringLiteral("A");
    QTest::newRow("08:30 arms D") << hms(8, 30) << QStringLiteral("D");
    QTest::newRow("11:30 arms nothing") << hms(11, 30) << QString();
}

void TestFiring::armingTable() {
    QFETCH(QTime, at);
    QFETCH(QString, armed);
    // Started at 07:00, so the table still holds A for today; then the choice
    // is made again at each moment, as the clock's daily refresh does.
    r->writeIni(tableAbcd());
    r->startAt(hms(7, 0));
    QCOMPARE(r->armed(), QStringLiteral("A"));
    r->clock.set(kDay, at);
    r->main()->PaintActEv();
    QCOMPARE(r->armed(), armed);
    const TEvRec& t = r->schedule().EvTable;
    if (armed.isEmpty())
        QCOMPARE(t.ActEv, t.Count + 1);
    // Started at that moment, the same task is armed.
    r->windows.reset();
    r->writeIni(tableAbcd());
    r->startAt(at);
    QCOMPARE(r->armed(), armed);
}

void TestFiring::armingMovesTheListMark() {
    r->writeIni(tableAbcd());
    r->startAt(hms(7, 0));
    QCOMPARE(r->markedRow(), QStringLiteral("A"));
    r->clock.set(kDay, hms(8, 30));
    r->main()->PaintActEv();
    QCOMPARE(r->markedRow(), QStringLiteral("D"));
    r->clock.set(kDay, hms(11, 30));
    r->main()->PaintActEv();
    QCOMPARE(r->list()->armedRow(), -1);
}

void TestFiring::firesAtItsSecondAndArmsTheNext() {
    Task a{QStringLiteral("A"), QStringLiteral("10:00:00")};
    a.message = QStringLiteral("Подъём");
    Task b{QStringLiteral("B"), QStringLiteral("10:00:05")};
    r->writeIni({a, b});
    r->startAt(hms(9, 59, 58));
    QCOMPARE(r->armed(), QStringLiteral("A"));
    r->tickAt(hms(9, 59, 59));
    QVERIFY(!r->msg()->isVisible());
    QCOMPARE(r->control<QLabel>("Label1")->text(), QStringLiteral("09:59:59"));
    // The first tick at or after its second.
    r->tickAt(hms(10, 0, 0));
    QVERIFY(r->msg()->isVisible());
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - A"));
    QCOMPARE(r->alarmMessage(), QStringLiteral("Подъём"));
    QCOMPARE(r->value(QStringLiteral("A"), QStringLiteral("Date")), dateText(kDay.addDays(1)));
    QCOMPARE(r->armed(), QStringLiteral("B"));
    QCOMPARE(r->markedRow(), QStringLiteral("B"));
    // The fired task is not fired again by the ticks that follow.
    r->msg()->hide();
    r->tickAt(hms(10, 0, 1));
    r->tickAt(hms(10, 0, 2));
    QVERIFY(!r->msg()->isVisible());
    r->tickAt(hms(10, 0, 5));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - B"));
    QCOMPARE(r->armed(), QString());
}

void TestFiring::equalTimesFireOnce() {
    // The time sort puts b before a; only b fires, and a, whose time is then
    // behind now, is passed over.
    Task a{QStringLiteral("a"), QStringLiteral("08:00:00")};
    Task b{QStringLiteral("b"), QStringLiteral("08:00:00")};
    Task c{QStringLiteral("c"), QStringLiteral("09:00:00")};
    r->writeIni({a, b, c});
    r->startAt(hms(7, 0));
    QCOMPARE(r->armed(), QStringLiteral("b"));
    r->tickAt(hms(8, 0));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - b"));
    QCOMPARE(r->armed(), QStringLiteral("c"));
    QCOMPARE(r->value(QStringLiteral("a"), QStringLiteral("Date")), dateText(kDay));
    QCOMPARE(r->value(QStringLiteral("b"), QStringLiteral("Date")), dateText(kDay.addDays(1)));
}

void TestFiring::firedAtItsVeryMillisecondFiresOnce() {
    // A tick landing exactly on the task's millisecond: the task and its twin
    // of equal time must not count as still ahead.
    Task a{QStringLiteral("a"), QStringLiteral("08:00:00")};
    Task b{QStringLiteral("b"), QStringLiteral("08:00:00")};
    r->writeIni({a, b});
    r->startAt(hms(7, 0));
    r->clock.set(kDay, hms(8, 0));
    r->main()->guarded([this] { r->main()->Timer1Timer(); });
    // Two equal times keep file order.
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - a"));
    QCOMPARE(r->armed(), QString());
    r->msg()->hide();
    r->tickAt(hms(8, 0, 1));
    QVERIFY(!r->msg()->isVisible());
    QCOMPARE(r->value(QStringLiteral("b"), QStringLiteral("Date")), dateText(kDay));
}

void TestFiring::passedOverWhileASoundPlays() {
    // Three crows block the window for 7.5 s; Y's second passes meanwhile.
    Task x{QStringLiteral("X"), QStringLiteral("10:00:00")};
    x.sound = 2;
    x.ones = 3;
    Task y{QStringLiteral("Y"), QStringLiteral("10:00:05")};
    Task z{QStringLiteral("Z"), QStringLiteral("10:00:10")};
    r->writeIni({x, y, z});
    r->startAt(hms(9, 0));
    r->tickAt(hms(10, 0));
    QCOMPARE(r->platform.soundLog,
             QStringList({QStringLiteral("wait 2500"), QStringLiteral("play ro"),
                          QStringLiteral("wait 2500"), QStringLiteral("play ro"),
                          QStringLiteral("wait 2500"), QStringLiteral("play ro")}));
    QCOMPARE(r->clock.now().time(), QTime(10, 0, 7, 503));
    // The alarm window comes after the sounds.
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - X"));
    QCOMPARE(r->armed(), QStringLiteral("Z"));
    r->msg()->hide();
    r->tickAt(hms(10, 0, 8));
    QVERIFY(!r->msg()->isVisible());
    r->tickAt(hms(10, 0, 10));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Z"));
    // Y was passed over: its date stays today.
    QCOMPARE(r->value(QStringLiteral("Y"), QStringLiteral("Date")), dateText(kDay));
}

void TestFiring::noCatchingUpAtStartup() {
    Task past{QStringLiteral("Past"), QStringLiteral("09:00:00")};
    r->writeIni({past});
    r->startAt(hms(10, 0));
    QCOMPARE(r->armed(), QString());
    for (int s = 1; s <= 3; ++s)
        r->tickAt(hms(10, 0, s));
    QVERIFY(!r->msg()->isVisible());
    QVERIFY(r->platform.soundLog.isEmpty());
}

void TestFiring::midnightRefreshDoesNotRecalculate() {
    // T is daily; U waits for tomorrow at 00:30.
    Task t{QStringLiteral("T"), QStringLiteral("23:30:00")};
    Task u{QStringLiteral("U"), QStringLiteral("00:30:00"), kDay.addDays(1)};
    r->writeIni({t, u});
    r->startAt(hms(23, 0));
    QCOMPARE(r->armed(), QStringLiteral("T"));
    r->tickAt(hms(23, 30));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - T"));
    QCOMPARE(r->armed(), QString());
    r->msg()->hide();
    // Not in the first second of a day: nothing is chosen.
    r->tickAt(hms(23, 59, 59));
    QCOMPARE(r->armed(), QString());
    QCOMPARE(r->control<QLabel>("Label13")->text(), dateText(kDay));
    // The first second of the new day: the date and a new choice from the
    // old table.
    const QDate next = kDay.addDays(1);
    r->tickAt(hms(0, 0, 0), next);
    QCOMPARE(r->control<QLabel>("Label13")->text(), dateText(next));
    QCOMPARE(r->armed(), QStringLiteral("U"));
    // T's file date is the new day, but the table was not recalculated: it
    // still holds the day T fired, so T is not armed for 23:30.
    QCOMPARE(r->value(QStringLiteral("T"), QStringLiteral("Date")), dateText(next));
    const TEvRec& table = r->schedule().EvTable;
    QCOMPARE(int(table.Dates.at(int(table.Names.indexOf(QStringLiteral("T"))))),
             daycount::fromDate(kDay));
    r->tickAt(hms(0, 30), next);
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - U"));
    QCOMPARE(r->armed(), QString());
}

void TestFiring::chimeMinuteRule_data() {
    QTest::addColumn<QString>("time");
    QTest::addColumn<QByteArray>("chime");
    QTest::addColumn<bool>("byClock");
    QTest::addColumn<bool>("sounds");
    QTest::newRow("12:00:30 chime on, clock")
        << QStringLiteral("12:00:30") << QByteArray("1") << true << false;
    QTest::newRow("12:00:30 chime on, test")
        << QStringLiteral("12:00:30") << QByteArray("1") << false << true;
    QTest::newRow("12:01:00 chime on, clock")
        << QStringLiteral("12:01:00") << QByteArray("1") << true << true;
    QTest::newRow("12:01:00 chime on, test")
        << QStringLiteral("12:01:00") << QByteArray("1") << false << true;
    QTest::newRow("12:00:30 chime off, clock")
        << QStringLiteral("12:00:30") << QByteArray("0") << true << true;
}

void TestFiring::chimeMinuteRule() {
    QFETCH(QString, time);
    QFETCH(QByteArray, chime);
    QFETCH(bool, byClock);
    QFETCH(bool, sounds);
    Task k{QStringLiteral("Кукушка"), time};
    k.sound = 1;
    k.ones = 2;
    r->writeIni({k}, "Top=0\nSound=" + chime + "\n");
    r->startAt(hms(11, 59, 50));
    QCOMPARE(r->armed(), QStringLiteral("Кукушка"));
    if (byClock) {
        r->tickAt(QTime::fromString(time, QStringLiteral("HH:mm:ss")));
    } else {
        r->control<QComboBox>("evName")->setEditText(QStringLiteral("Кукушка"));
        r->control<QToolButton>("sbTestEv")->click();
    }
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Кукушка"));
    const QStringList twice{QStringLiteral("wait 1500"), QStringLiteral("play co"),
                            QStringLiteral("wait 1500"), QStringLiteral("play co")};
    QCOMPARE(r->platform.soundLog, sounds ? twice : QStringList());
}

void TestFiring::actions_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("shownText");
    QTest::addColumn<QList<int>>("power");
    QTest::addColumn<QStringList>("apps");
    const QString app = QStringLiteral("/usr/bin/my app; rm -rf x");
    QTest::newRow("0 message") << 0 << QStringLiteral("Обед") << true << QStringLiteral("Обед")
                               << QList<int>() << QStringList();
    QTest::newRow("0 empty") << 0 << QString() << true << QStringLiteral("Время пришло...")
                             << QList<int>() << QStringList();
    QTest::newRow("1 restart") << 1 << QStringLiteral("Обед") << false << QString() << QList<int>{2}
                               << QStringList();
    QTest::newRow("3 with message") << 3 << QStringLiteral("Почта") << true
                                    << QStringLiteral("Почта") << QList<int>() << QStringList{app};
    QTest::newRow("3 without message")
        << 3 << QString() << false << QString() << QList<int>() << QStringList{app};
    QTest::newRow("other action") << 7 << QStringLiteral("Обед") << false << QString()
                                  << QList<int>() << QStringList();
}

void TestFiring::actions() {
    QFETCH(int, action);
    QFETCH(QString, message);
    QFETCH(bool, shown);
    QFETCH(QString, shownText);
    QFETCH(QList<int>, power);
    QFETCH(QStringList, apps);
    Task t{QStringLiteral("Дело"), QStringLiteral("10:00:00")};
    t.action = action;
    t.message = message;
    t.app = QStringLiteral("/usr/bin/my app; rm -rf x");
    r->writeIni({t});
    r->startAt(hms(9, 0));
    r->tickAt(hms(10, 0));
    // The caption is set whatever the action.
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Дело"));
    QCOMPARE(r->msg()->isVisible(), shown);
    if (shown)
        QCOMPARE(r->alarmMessage(), shownText);
    QCOMPARE(r->platform.powerCalls, power);
    // The path exactly as stored, one argument, never a command line.
    QCOMPARE(r->platform.appsOpened, apps);
    QVERIFY(r->platform.boxes.isEmpty());
    QVERIFY(!r->msg()->isSwitchOffMode());
}

void TestFiring::actionTwoLeavesTheMessage() {
    Task first{QStringLiteral("Первое"), QStringLiteral("09:00:00")};
    first.message = QStringLiteral("Раньше");
    Task off{QStringLiteral("Выключить"), QStringLiteral("10:00:00")};
    off.action = 2;
    off.message = QStringLiteral("не показывается");
    r->writeIni({first, off});
    r->startAt(hms(8, 0));
    r->tickAt(hms(9, 0));
    QCOMPARE(r->alarmMessage(), QStringLiteral("Раньше"));
    r->msg()->hide();
    r->tickAt(hms(10, 0));
    QVERIFY(r->msg()->isVisible());
    QVERIFY(r->msg()->isSwitchOffMode());
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Выключить"));
    QCOMPARE(r->alarmMessage(), QStringLiteral("Раньше"));
    QVERIFY(r->platform.powerCalls.isEmpty());
}

void TestFiring::openFailureShowsTheBox() {
    Task t{QStringLiteral("Запуск"), QStringLiteral("10:00:00")};
    t.action = 3;
    t.app = QStringLiteral("/nowhere/prog");
    Task next{QStringLiteral("Дальше"), QStringLiteral("11:00:00")};
    r->writeIni({t, next});
    r->platform.openAppSucceeds = false;
    r->startAt(hms(9, 0));
    r->tickAt(hms(10, 0));
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.at(0).kind, FakePlatform::Box::Information);
    QCOMPARE(r->platform.boxes.at(0).text, QStringLiteral("Не могу открыть файл!"));
    // Nothing else changes: the date moved and the next task is armed.
    QCOMPARE(r->value(QStringLiteral("Запуск"), QStringLiteral("Date")), dateText(kDay.addDays(1)));
    QCOMPARE(r->armed(), QStringLiteral("Дальше"));
}

void TestFiring::countdownTaskRestarts() {
    Task cd{QStringLiteral("Таймер"), QStringLiteral("00:00:00")};
    cd.timeGap = QStringLiteral("00:00:10");
    r->writeIni({cd});
    r->startAt(hms(12, 0));
    QCOMPARE(r->value(QStringLiteral("Таймер"), QStringLiteral("Time")),
             QStringLiteral("12:00:10"));
    QCOMPARE(r->armed(), QStringLiteral("Таймер"));
    r->tickAt(hms(12, 0, 10));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Таймер"));
    // Started again from the firing and armed again at once.
    QCOMPARE(r->value(QStringLiteral("Таймер"), QStringLiteral("Time")),
             QStringLiteral("12:00:20"));
    QCOMPARE(r->value(QStringLiteral("Таймер"), QStringLiteral("Date")), dateText(kDay));
    QCOMPARE(r->armed(), QStringLiteral("Таймер"));
    r->msg()->hide();
    r->tickAt(hms(12, 0, 15));
    QVERIFY(!r->msg()->isVisible());
    r->tickAt(hms(12, 0, 20));
    QVERIFY(r->msg()->isVisible());
    QCOMPARE(r->value(QStringLiteral("Таймер"), QStringLiteral("Time")),
             QStringLiteral("12:00:30"));
}

void TestFiring::datePickerFollowsTheLoadedTask() {
    Task t{QStringLiteral("Раз в три дня"), QStringLiteral("10:00:00")};
    t.day = 3;
    t.date = kDay.addDays(-10);
    r->writeIni({t});
    r->startAt(hms(9, 0));
    // The recalculation at start moved the old date on: today + 2 (time ahead).
    QCOMPARE(r->value(t.name, QStringLiteral("Date")), dateText(kDay.addDays(2)));
    r->main()->CurrentTaskName = t.name;
    r->main()->DoEvent(t.name, -1);
    QCOMPARE(r->value(t.name, QStringLiteral("Date")), dateText(kDay.addDays(3)));
    QCOMPARE(r->control<QDateEdit>("OnAirDate")->date(), kDay.addDays(3));
    // Another task loaded in the editor: the picker is left alone.
    r->main()->CurrentTaskName = QStringLiteral("другое");
    r->main()->DoEvent(t.name, -1);
    QCOMPARE(r->control<QDateEdit>("OnAirDate")->date(), kDay.addDays(3));
}

void TestFiring::refusedWriteDisarmsTheFiredTask() {
    Task t{QStringLiteral("A"), QStringLiteral("10:00:00")};
    r->writeIni({t});
    r->startAt(hms(9, 0));
    QCOMPARE(r->armed(), QStringLiteral("A"));
    // A read-only file: the next date cannot be written.
    QVERIFY(QFile::setPermissions(r->iniPath(), QFile::ReadOwner | QFile::ReadGroup));
    r->tickAt(hms(10, 0));
    QCOMPARE(r->errorBoxes(), 1);
    QVERIFY(r->platform.boxes.at(0).text.startsWith(QStringLiteral("Unable to write to ")));
    // The rest of the firing did not happen, and the task is not fired again.
    QVERIFY(!r->msg()->isVisible());
    QCOMPARE(r->armed(), QString());
    for (int s = 1; s <= 3; ++s)
        r->tickAt(hms(10, 0, s));
    QCOMPARE(r->errorBoxes(), 1);
    QVERIFY(QFile::setPermissions(r->iniPath(), QFile::ReadOwner | QFile::WriteOwner));
}

void TestFiring::testOfASavedTaskMovesItsDate() {
    Task t{QStringLiteral("Полив"), QStringLiteral("18:00:00")};
    t.message = QStringLiteral("Полить цветы");
    t.day = 2;
    r->writeIni({t});
    r->startAt(hms(12, 0));
    // Time ahead, N = 2: the start moved it to today + 1.
    QCOMPARE(r->value(t.name, QStringLiteral("Date")), dateText(kDay.addDays(1)));
    r->control<QComboBox>("evName")->setEditText(QStringLiteral("Полив"));
    r->control<QToolButton>("sbTestEv")->click();
    QCOMPARE(r->alarmMessage(), QStringLiteral("Полить цветы"));
    QCOMPARE(r->value(t.name, QStringLiteral("Date")), dateText(kDay.addDays(2)));
}

void TestFiring::testOfAnUnsavedNameWritesNothing() {
    Task t{QStringLiteral("Есть"), QStringLiteral("18:00:00")};
    r->writeIni({t});
    r->startAt(hms(12, 0));
    const QByteArray before = r->iniBytes();
    r->control<QComboBox>("evName")->setEditText(QStringLiteral("Нет такого"));
    r->control<QToolButton>("sbTestEv")->click();
    // Fired with the defaults: the standard text, and no section created.
    QVERIFY(r->msg()->isVisible());
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Нет такого"));
    QCOMPARE(r->alarmMessage(), QStringLiteral("Время пришло..."));
    QCOMPARE(r->iniBytes(), before);
    QCOMPARE(r->armed(), QStringLiteral("Есть"));
}

void TestFiring::recalculationButton() {
    Task c1{QStringLiteral("c1"), QStringLiteral("12:05:00")};
    c1.timeGap = QStringLiteral("00:10:00");
    Task c2{QStringLiteral("c2"), QStringLiteral("12:30:00")};
    c2.timeGap = QStringLiteral("00:30:00");
    Task plain{QStringLiteral("plain"), QStringLiteral("15:00:00")};
    r->writeIni({c1, c2, plain});
    r->startAt(hms(12, 0));
    r->clock.set(kDay, hms(12, 2));
    // Unticked: only the task in the editor starts again from now.
    r->main()->CurrentTaskName = QStringLiteral("c2");
    r->control<QToolButton>("sbCalculate")->click();
    QCOMPARE(r->value(QStringLiteral("c1"), QStringLiteral("Time")), QStringLiteral("12:05:00"));
    QCOMPARE(r->value(QStringLiteral("c2"), QStringLiteral("Time")), QStringLiteral("12:32:00"));
    QCOMPARE(r->control<QLabel>("lbEvName")->text(), QStringLiteral("c2"));
    QCOMPARE(r->control<QLabel>("lbEvTime")->text(), QStringLiteral("12:32:00"));
    QCOMPARE(r->armed(), QStringLiteral("c1"));
    // Ticked: every countdown, a plain task untouched; no task in the editor
    // leaves the time label empty.
    r->clock.set(kDay, hms(12, 3));
    r->main()->CurrentTaskName.clear();
    r->control<QCheckBox>("cbCalculate")->setChecked(true);
    r->control<QToolButton>("sbCalculate")->click();
    QCOMPARE(r->value(QStringLiteral("c1"), QStringLiteral("Time")), QStringLiteral("12:13:00"));
    QCOMPARE(r->value(QStringLiteral("c2"), QStringLiteral("Time")), QStringLiteral("12:33:00"));
    QCOMPARE(r->value(QStringLiteral("plain"), QStringLiteral("Time")), QStringLiteral("15:00:00"));
    QCOMPARE(r->control<QLabel>("lbEvName")->text(), QString());
    QCOMPARE(r->control<QLabel>("lbEvTime")->text(), QString());
}

void TestFiring::hiddenView() {
    Task a{QStringLiteral("Поздно"), QStringLiteral("20:00:00")};
    Task b{QStringLiteral("Рано"), QStringLiteral("08:00:00")};
    Task c{QStringLiteral("Днём"), QStringLiteral("13:00:00")};
    r->writeIni({a, b, c});
    r->startAt(hms(12, 0));
    r->main()->LShowClick();
    r->control<QPushButton>("Button1")->click();
    QCOMPARE(r->control<QPlainTextEdit>("Memo1")->toPlainText(),
             QStringLiteral("Рано\nДнём\nПоздно"));
    QCOMPARE(r->control<QPlainTextEdit>("Memo2")->toPlainText(),
             QStringLiteral("08:00:00\n13:00:00\n20:00:00"));
    QCOMPARE(r->control<QLabel>("L10")->text(), QStringLiteral("3 * 1"));
    // A second press starts afresh.
    r->clock.set(kDay, hms(21, 0));
    r->control<QPushButton>("Button1")->click();
    QCOMPARE(r->control<QPlainTextEdit>("Memo1")->blockCount(), 3);
    QCOMPARE(r->control<QLabel>("L10")->text(), QStringLiteral("3 * 4"));
}

void TestFiring::hiddenViewOfAnEmptyTable() {
    r->startAt(hms(12, 0));
    r->control<QPushButton>("Button1")->click();
    QCOMPARE(r->control<QPlainTextEdit>("Memo1")->toPlainText(), QString());
    QCOMPARE(r->control<QPlainTextEdit>("Memo2")->toPlainText(), QString());
    QVERIFY(r->control<QLabel>("L10")->text().startsWith(QStringLiteral("0 * ")));
}

void TestFiring::dateTimeSettingsOnDoubleClick() {
    r->startAt(hms(12, 0));
    r->main()->show();
    QWidget* image = r->main()->findChild<QWidget*>(QStringLiteral("TimeImage"));
    QVERIFY(image != nullptr);
    QTest::mouseDClick(image, Qt::LeftButton, {}, QPoint(5, 40));
    QCOMPARE(r->platform.dateTimeSettingsOpened, 1);
}

void TestFiring::ticksAlignToSecondBoundaries() {
    r->clock.set(kDay, QTime(12, 0, 0, 300));
    r->startAt(QTime(12, 0, 0, 300));
    QTimer& t = r->main()->Timer1;
    QVERIFY(t.isActive());
    QCOMPARE(t.timerType(), Qt::PreciseTimer);
    // The first tick just past the coming boundary.
    QCOMPARE(t.interval(), 702);
    // A correction that came late (a busy start) is corrected once more.
    r->clock.set(kDay, QTime(12, 0, 1, 8));
    r->main()->Timer1Timer();
    QCOMPARE(t.interval(), 994);
    // On the boundary: back to one second.
    r->clock.set(kDay, QTime(12, 0, 2, 2));
    r->main()->Timer1Timer();
    QCOMPARE(t.interval(), 1000);
    // Still within a few milliseconds: the period is left running.
    r->clock.set(kDay, QTime(12, 0, 3, 9));
    r->main()->Timer1Timer();
    QCOMPARE(t.interval(), 1000);
    // Late after a blocking wait: put back on the boundary, then one second.
    r->clock.set(kDay, QTime(12, 0, 9, 600));
    r->main()->Timer1Timer();
    QCOMPARE(t.interval(), 402);
    r->clock.set(kDay, QTime(12, 0, 10, 2));
    r->main()->Timer1Timer();
    QCOMPARE(t.interval(), 1000);
    // A hair early: the next tick only a few milliseconds on.
    r->clock.set(kDay, QTime(12, 0, 10, 999));
    r->main()->Timer1Timer();
    QCOMPARE(t.interval(), 3);
}

QTEST_MAIN(TestFiring)
#include "tst_firing.moc"
