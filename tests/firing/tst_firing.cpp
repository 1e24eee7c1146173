#include "alarm/alarmwindow.h"
#include "app/programwindows.h"
#include "scheduler/schedule.h"
#include "store/daycount.h"
#include "store/regionalformats.h"
#include "tests/common/fakeplatform.h"
#include "tests/common/programrun.h"
#include "uicommon/clicklabel.h"
#include "uicommon/eventchecklist.h"
#include "uicommon/services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QToolButton>

#include <limits>

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
    AlarmWindow* msg() const { return windows->alarmWindow(); }
    Schedule& schedule() const { return *main()->schedule(); }
    EventCheckList* list() const { return control<EventCheckList>("clbEvents"); }

    // The armed task's name, or empty when nothing is armed.
    QString armed() const {
        const TEvRec& t = schedule().EvTable;
        if (!schedule().ActEvArmed || t.ActEv < 0 || t.ActEv >= t.count())
            return {};
        return t.entries.at(t.ActEv).name;
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
        main()->guard().run([this] { main()->firing()->Timer1Timer(); });
    }
    // The same tick after a suspend, or with the clock set by hand: the
    // monotonic clock stood still.
    void tickAfterJumpTo(QTime at, QDate day = kDay) {
        clock.jump(QDateTime(day, at.addMSecs(3)));
        main()->guard().run([this] { main()->firing()->Timer1Timer(); });
    }
    // The user answers the alarm window with its button.
    void answer() const { msg()->findChild<QToolButton*>(QStringLiteral("sbOk"))->click(); }
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
    void dailyRefreshAtTheFirstTickOfEachDay();
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
    void firingKeepsItsOwnTask();
    void soundsPastMidnightDoNotSkipADay();
    void markOnTheArmedRowOnly();
    void switchOffIsNeverLost();
    void boxesWaitForTheTickToReturn();
    void aMonthOfTasks();
    void firingAloneOnBareControls();

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
    r->main()->firing()->PaintActEv();
    QCOMPARE(r->armed(), armed);
    const TEvRec& t = r->schedule().EvTable;
    if (armed.isEmpty())
        QCOMPARE(t.ActEv, t.count() + 1);
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
    r->main()->firing()->PaintActEv();
    QCOMPARE(r->markedRow(), QStringLiteral("D"));
    r->clock.set(kDay, hms(11, 30));
    r->main()->firing()->PaintActEv();
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
    // The time sort puts b before a: both fire, b first, each once, and a's
    // alarm waits until b's is answered.
    Task a{QStringLiteral("a"), QStringLiteral("08:00:00")};
    Task b{QStringLiteral("b"), QStringLiteral("08:00:00")};
    Task c{QStringLiteral("c"), QStringLiteral("09:00:00")};
    r->writeIni({a, b, c});
    r->startAt(hms(7, 0));
    QCOMPARE(r->armed(), QStringLiteral("b"));
    r->tickAt(hms(8, 0));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - b"));
    QCOMPARE(r->msg()->pendingAlarms(), 1);
    QCOMPARE(r->armed(), QStringLiteral("c"));
    QCOMPARE(r->value(QStringLiteral("a"), QStringLiteral("Date")), dateText(kDay.addDays(1)));
    QCOMPARE(r->value(QStringLiteral("b"), QStringLiteral("Date")), dateText(kDay.addDays(1)));
    r->answer();
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - a"));
    r->answer();
    r->tickAt(hms(8, 0, 1));
    QVERIFY(!r->msg()->isVisible());
}

void TestFiring::firedAtItsVeryMillisecondFiresOnce() {
    // A tick landing exactly on the task's millisecond: the task and its twin
    // of equal time must not count as still ahead.
    Task a{QStringLiteral("a"), QStringLiteral("08:00:00")};
    Task b{QStringLiteral("b"), QStringLiteral("08:00:00")};
    r->writeIni({a, b});
    r->startAt(hms(7, 0));
    r->clock.set(kDay, hms(8, 0));
    r->main()->guard().run([this] { r->main()->firing()->Timer1Timer(); });
    // Two equal times keep file order, and both fire.
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - a"));
    QCOMPARE(r->armed(), QString());
    r->answer();
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - b"));
    r->answer();
    r->tickAt(hms(8, 0, 1));
    QVERIFY(!r->msg()->isVisible());
    QCOMPARE(r->value(QStringLiteral("b"), QStringLiteral("Date")), dateText(kDay.addDays(1)));
}

void TestFiring::passedOverWhileASoundPlays() {
    // Three crows take 7.5 s; Y's second passes meanwhile and it fires
    // late, once X's firing is over.
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
    r->answer();
    r->tickAt(hms(10, 0, 8));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Y"));
    QCOMPARE(r->value(QStringLiteral("Y"), QStringLiteral("Date")), dateText(kDay.addDays(1)));
    r->answer();
    r->tickAt(hms(10, 0, 10));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Z"));
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

void TestFiring::dailyRefreshAtTheFirstTickOfEachDay() {
    // The refresh used to come only in the first second of a day, only with
    // nothing armed, and from the old table: a daily task then fired on the
    // day the program started and never again. Now the first tick of each
    // day, whatever its second and whatever is armed, recalculates.
    // T is daily; U waits for tomorrow at 00:30; X is daily just before
    // midnight and stays armed when its tick is held up past midnight.
    Task t{QStringLiteral("T"), QStringLiteral("23:30:00")};
    Task u{QStringLiteral("U"), QStringLiteral("00:30:00"), kDay.addDays(1)};
    Task x{QStringLiteral("X"), QStringLiteral("23:59:59")};
    Task z{QStringLiteral("Z"), QStringLiteral("00:00:00"), kDay.addDays(1)};
    r->writeIni({t, u, x, z});
    r->startAt(hms(23, 0));
    QCOMPARE(r->armed(), QStringLiteral("T"));
    r->tickAt(hms(23, 30));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - T"));
    QCOMPARE(r->armed(), QStringLiteral("X"));
    r->msg()->hide();
    // The machine sleeps until 00:00:07 of the next day: X, armed, fires at
    // the first tick after its time, late, as at noon; the refresh follows.
    const QDate next = kDay.addDays(1);
    r->tickAfterJumpTo(hms(0, 0, 7), next);
    QCOMPARE(r->control<QLabel>("Label13")->text(), dateText(next));
    QCOMPARE(r->control<QLabel>("lbDay")->text(), QStringLiteral("среда"));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - X"));
    r->answer();
    // Z's 00:00:00 was slept through: not caught up.
    QCOMPARE(r->armed(), QStringLiteral("U"));
    QCOMPARE(r->value(QStringLiteral("X"), QStringLiteral("Date")), dateText(next));
    QCOMPARE(r->value(QStringLiteral("Z"), QStringLiteral("Date")), dateText(next.addDays(1)));
    r->tickAt(hms(0, 30), next);
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - U"));
    r->msg()->hide();
    // The table was recalculated: T is armed again for its 23:30 of the new day.
    QCOMPARE(r->armed(), QStringLiteral("T"));
    r->tickAt(hms(23, 30), next);
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - T"));
    r->msg()->hide();
    QCOMPARE(r->armed(), QStringLiteral("X"));
    r->tickAt(hms(23, 59, 59), next);
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - X"));
    r->msg()->hide();
    // In the clock's rhythm, the tick a few milliseconds after midnight
    // still finds Z's 00:00:00 and fires it.
    const QDate third = next.addDays(1);
    r->tickAt(hms(0, 0, 0), third);
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Z"));
    QCOMPARE(r->value(QStringLiteral("Z"), QStringLiteral("Date")), dateText(third.addDays(1)));
    QCOMPARE(r->value(QStringLiteral("X"), QStringLiteral("Date")), dateText(third));
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
    // A stored choice beyond the list sounds no chime, so the task keeps its sound.
    QTest::newRow("12:00:30 chime 7, clock")
        << QStringLiteral("12:00:30") << QByteArray("7") << true << true;
    QTest::newRow("12:00:30 chime -1, clock")
        << QStringLiteral("12:00:30") << QByteArray("-1") << true << true;
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
    QTest::addColumn<QStringList>("power");
    QTest::addColumn<QStringList>("apps");
    const QString app = QStringLiteral("/usr/bin/my app; rm -rf x");
    QTest::newRow("0 message") << 0 << QStringLiteral("Обед") << true << QStringLiteral("Обед")
                               << QStringList() << QStringList();
    QTest::newRow("0 empty") << 0 << QString() << true << QStringLiteral("Время пришло...")
                             << QStringList() << QStringList();
    QTest::newRow("1 restart") << 1 << QStringLiteral("Обед") << false << QString()
                               << QStringList{QStringLiteral("restart")} << QStringList();
    QTest::newRow("3 with message") << 3 << QStringLiteral("Почта") << true
                                    << QStringLiteral("Почта") << QStringList() << QStringList{app};
    QTest::newRow("3 without message")
        << 3 << QString() << false << QString() << QStringList() << QStringList{app};
    QTest::newRow("other action") << 7 << QStringLiteral("Обед") << false << QString()
                                  << QStringList() << QStringList();
}

void TestFiring::actions() {
    QFETCH(int, action);
    QFETCH(QString, message);
    QFETCH(bool, shown);
    QFETCH(QString, shownText);
    QFETCH(QStringList, power);
    QFETCH(QStringList, apps);
    Task t{QStringLiteral("Дело"), QStringLiteral("10:00:00")};
    t.action = action;
    t.message = message;
    t.app = QStringLiteral("/usr/bin/my app; rm -rf x");
    r->writeIni({t});
    r->startAt(hms(9, 0));
    r->tickAt(hms(10, 0));
    // The caption belongs to a shown alarm alone.
    QCOMPARE(r->alarmCaption(), shown ? QStringLiteral("Звонарька - Дело") : QString());
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
    // Shown once the tick has returned, so the clock never waits for it.
    QVERIFY(r->platform.boxes.isEmpty());
    QTRY_COMPARE(r->platform.boxes.size(), 1);
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
    r->main()->taskList()->setCurrentTaskName(t.name);
    r->main()->firing()->DoEvent(t.name, FireMode::Test);
    QCOMPARE(r->value(t.name, QStringLiteral("Date")), dateText(kDay.addDays(3)));
    QCOMPARE(r->control<QDateEdit>("OnAirDate")->date(), kDay.addDays(3));
    // Another task loaded in the editor: the picker is left alone.
    r->main()->taskList()->setCurrentTaskName(QStringLiteral("другое"));
    r->main()->firing()->DoEvent(t.name, FireMode::Test);
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
    // The box comes once the tick has returned.
    QCOMPARE(r->errorBoxes(), 0);
    QTRY_COMPARE(r->errorBoxes(), 1);
    QVERIFY(r->platform.boxes.at(0).text.startsWith(QStringLiteral("Unable to write to ")));
    // The task fires all the same, and is not fired again.
    QVERIFY(r->msg()->isVisible());
    QCOMPARE(r->armed(), QString());
    for (int s = 1; s <= 3; ++s)
        r->tickAt(hms(10, 0, s));
    QTest::qWait(20);
    QCOMPARE(r->errorBoxes(), 1);
    QVERIFY(QFile::setPermissions(r->iniPath(), QFile::ReadOwner | QFile::WriteOwner));
}

void TestFiring::testOfASavedTaskMovesItsDate() {
    Task t{QStringLiteral("Полив"), QStringLiteral("18:00:00")};
    t.message = QStringLiteral("Полить цветы");
    t.day = 2;
    r->writeIni({t});
    r->startAt(hms(12, 0));
    // Due today with its time ahead: it stays on today, whatever its N.
    QCOMPARE(r->value(t.name, QStringLiteral("Date")), dateText(kDay));
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
    r->main()->taskList()->setCurrentTaskName(QStringLiteral("c2"));
    r->control<QToolButton>("sbCalculate")->click();
    QCOMPARE(r->value(QStringLiteral("c1"), QStringLiteral("Time")), QStringLiteral("12:05:00"));
    QCOMPARE(r->value(QStringLiteral("c2"), QStringLiteral("Time")), QStringLiteral("12:32:00"));
    QCOMPARE(r->control<QLabel>("lbEvName")->text(), QStringLiteral("c2"));
    QCOMPARE(r->control<QLabel>("lbEvTime")->text(), QStringLiteral("12:32:00"));
    QCOMPARE(r->armed(), QStringLiteral("c1"));
    // Ticked: every countdown, a plain task untouched; no task in the editor
    // leaves the time label empty.
    r->clock.set(kDay, hms(12, 3));
    r->main()->taskList()->setCurrentTaskName(QString());
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
    QTimer& t = r->main()->firing()->clockTimer();
    QVERIFY(t.isActive());
    QCOMPARE(t.timerType(), Qt::PreciseTimer);
    // The first tick just past the coming boundary.
    QCOMPARE(t.interval(), 702);
    // A correction that came late (a busy start) is corrected once more.
    r->clock.set(kDay, QTime(12, 0, 1, 8));
    r->main()->firing()->Timer1Timer();
    QCOMPARE(t.interval(), 994);
    // On the boundary: back to one second.
    r->clock.set(kDay, QTime(12, 0, 2, 2));
    r->main()->firing()->Timer1Timer();
    QCOMPARE(t.interval(), 1000);
    // Still within a few milliseconds: the period is left running.
    r->clock.set(kDay, QTime(12, 0, 3, 9));
    r->main()->firing()->Timer1Timer();
    QCOMPARE(t.interval(), 1000);
    // Late after a blocking wait: put back on the boundary, then one second.
    r->clock.set(kDay, QTime(12, 0, 9, 600));
    r->main()->firing()->Timer1Timer();
    QCOMPARE(t.interval(), 402);
    r->clock.set(kDay, QTime(12, 0, 10, 2));
    r->main()->firing()->Timer1Timer();
    QCOMPARE(t.interval(), 1000);
    // A hair early: the next tick only a few milliseconds on.
    r->clock.set(kDay, QTime(12, 0, 10, 999));
    r->main()->firing()->Timer1Timer();
    QCOMPARE(t.interval(), 3);
}

void TestFiring::firingKeepsItsOwnTask() {
    // C, a countdown, fires first and restarts behind R, which restarts the
    // computer: the rebuilt table puts R where C stood. The firing must still
    // show C's alarm and do C's action, never R's.
    Task c{QStringLiteral("C"), QStringLiteral("00:00:00")};
    c.timeGap = QStringLiteral("00:00:10");
    c.message = QStringLiteral("Чай готов");
    Task restart{QStringLiteral("R"), QStringLiteral("12:00:15")};
    restart.action = 1;
    restart.message = QStringLiteral("перезагрузка");
    r->writeIni({c, restart});
    r->startAt(hms(12, 0));
    QCOMPARE(r->armed(), QStringLiteral("C"));
    r->tickAt(hms(12, 0, 10));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - C"));
    QCOMPARE(r->alarmMessage(), QStringLiteral("Чай готов"));
    QVERIFY(r->platform.powerCalls.isEmpty());
    QCOMPARE(r->armed(), QStringLiteral("R"));
    r->msg()->hide();
    r->tickAt(hms(12, 0, 15));
    QCOMPARE(r->platform.powerCalls, QStringList({QStringLiteral("restart")}));
    QVERIFY(!r->msg()->isVisible());
    r->tickAt(hms(12, 0, 20));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - C"));
    QCOMPARE(r->platform.powerCalls, QStringList({QStringLiteral("restart")}));
}

void TestFiring::soundsPastMidnightDoNotSkipADay() {
    // Three crows from 23:59:59 end 7.5 s into the next day: the next date
    // counts from the day the task was due, so it rings the next evening too.
    Task d{QStringLiteral("Daily"), QStringLiteral("23:59:59")};
    d.sound = 2;
    d.ones = 3;
    r->writeIni({d});
    r->startAt(hms(23, 0));
    r->tickAt(hms(23, 59, 59));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - Daily"));
    const QDate next = kDay.addDays(1);
    QCOMPARE(r->clock.now().date(), next);
    QCOMPARE(r->value(d.name, QStringLiteral("Date")), dateText(next));
    r->msg()->hide();
    r->tickAt(hms(0, 0, 8), next);
    QCOMPARE(r->armed(), QStringLiteral("Daily"));
    r->tickAt(hms(23, 59, 59), next);
    QVERIFY(r->msg()->isVisible());
    QCOMPARE(r->value(d.name, QStringLiteral("Date")), dateText(next.addDays(1)));
}

void TestFiring::markOnTheArmedRowOnly() {
    // A is armed and marked; B (earlier, switched off) stands before it in
    // the table. A's time then moves before now: the recalculation arms
    // nothing, and no row may keep the mark.
    Task a{QStringLiteral("A"), QStringLiteral("10:00:00")};
    Task b{QStringLiteral("B"), QStringLiteral("09:30:00")};
    b.active = false;
    r->writeIni({a, b});
    r->startAt(hms(9, 0));
    QCOMPARE(r->markedRow(), QStringLiteral("A"));
    r->writeIni({Task{QStringLiteral("A"), QStringLiteral("08:00:00")}, b});
    r->control<QToolButton>("sbCalculate")->click();
    QCOMPARE(r->armed(), QString());
    QCOMPARE(r->list()->armedRow(), -1);
    // Armed again after a re-sort, on its own row only.
    r->writeIni({a, b});
    r->control<QToolButton>("sbCalculate")->click();
    r->main()->taskList()->SortNClick();
    QCOMPARE(r->markedRow(), QStringLiteral("A"));
    r->main()->taskList()->SortTClick();
    QCOMPARE(r->markedRow(), QStringLiteral("A"));
}

void TestFiring::switchOffIsNeverLost() {
    Task m{QStringLiteral("M"), QStringLiteral("10:00:00")};
    m.message = QStringLiteral("Сообщение");
    Task off{QStringLiteral("S"), QStringLiteral("10:00:05")};
    off.action = 2;
    Task n{QStringLiteral("N"), QStringLiteral("10:00:08")};
    n.message = QStringLiteral("Потом");
    Task off2{QStringLiteral("S2"), QStringLiteral("10:00:30")};
    off2.action = 2;
    r->writeIni({m, off, n, off2});
    r->startAt(hms(9, 0));
    r->tickAt(hms(10, 0));
    QVERIFY(!r->msg()->isSwitchOffMode());
    // A switch-off while a message shows turns the window to its countdown;
    // the message waits to come back.
    r->tickAt(hms(10, 0, 5));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - S"));
    QVERIFY(r->msg()->isSwitchOffMode());
    QVERIFY(r->msg()->countdownTimer().isActive());
    QCOMPARE(r->msg()->countdownSeconds(), 15);
    auto* ok = r->msg()->findChild<QToolButton*>(QStringLiteral("sbOk"));
    QCOMPARE(ok->text(), QStringLiteral("Отмена!"));
    r->msg()->Timer2Timer();
    r->msg()->Timer2Timer();
    // A task firing meanwhile neither stops, resets nor hides the countdown.
    r->tickAt(hms(10, 0, 8));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - S"));
    QVERIFY(r->msg()->isVisible());
    QVERIFY(r->msg()->countdownTimer().isActive());
    QCOMPARE(r->msg()->countdownSeconds(), 13);
    QCOMPARE(r->msg()->pendingAlarms(), 2);
    // Cancelled: no switch-off, and the alarms that waited are shown in turn.
    ok->click();
    QVERIFY(r->platform.powerCalls.isEmpty());
    QVERIFY(r->msg()->isVisible());
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - M"));
    QCOMPARE(r->alarmMessage(), QStringLiteral("Сообщение"));
    ok->click();
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - N"));
    QCOMPARE(r->alarmMessage(), QStringLiteral("Потом"));
    QVERIFY(!r->msg()->isSwitchOffMode());
    QVERIFY(!r->msg()->countdownTimer().isActive());
    ok->click();
    // The close box cancels a countdown as the button does.
    r->msg()->countdownTimer().setInterval(5);
    r->tickAt(hms(10, 0, 30));
    QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - S2"));
    QVERIFY(r->msg()->countdownTimer().isActive());
    r->msg()->close();
    QVERIFY(!r->msg()->countdownTimer().isActive());
    QTest::qWait(150);
    QVERIFY(r->platform.powerCalls.isEmpty());
}

void TestFiring::boxesWaitForTheTickToReturn() {
    // A box raised by a firing is shown after the tick has returned: while it
    // is open the clock goes on, and a later task fires on time.
    Task open{QStringLiteral("Open"), QStringLiteral("10:00:00")};
    open.action = 3;
    open.app = QStringLiteral("/nowhere/prog");
    Task later{QStringLiteral("Later"), QStringLiteral("10:00:02")};
    r->writeIni({open, later});
    r->platform.openAppSucceeds = false;
    // Ticks land on the manual clock's whole seconds, so the clock keeps its
    // one-second period and its own timer delivers them.
    r->startAt(QTime(9, 59, 58, 3));
    QTRY_VERIFY(r->main()->firing()->clockTimer().interval() == 1000);
    bool laterFiredDuringTheBox = false;
    r->platform.onBox = [&] {
        r->clock.set(kDay, QTime(10, 0, 2, 3));
        laterFiredDuringTheBox = QTest::qWaitFor(
            [&] { return r->alarmCaption() == QStringLiteral("Звонарька - Later"); }, 3000);
    };
    r->clock.set(kDay, QTime(10, 0, 0, 3));
    QTRY_COMPARE(r->platform.boxes.size(), 1);
    QVERIFY(laterFiredDuringTheBox);
    QCOMPARE(r->platform.boxes.at(0).text, QStringLiteral("Не могу открыть файл!"));
}

namespace {

// One task of the month and, worked out from its rule alone, when it is due
// next. The program's own schedule code is never asked.
struct MonthTask {
    enum Rule { EveryN, Week, Countdown, NoRule };
    QString name;
    Rule rule = EveryN;
    int n = 1;    // every N days ("Day" as written; 0 counts as 1)
    QString week; // listed week days
    int gap = 0;  // countdown length, seconds
    QDate stored; // "Date" in the file at the start
    int time = 0; // second of the day
    QDate due;    // the next due day and second
    int dueSec = 0;
    bool done = false; // a task without a date rule fires once

    QByteArray text() const {
        const auto hms = [](int s) {
            return QTime(0, 0).addSecs(s).toString(QStringLiteral("HH:mm:ss"));
        };
        QString s = u'[' + name + QStringLiteral("]\nActiving=1\n");
        s += QStringLiteral("Date=") + dateText(stored) + u'\n';
        s += QStringLiteral("DayOrWeek=") +
             (rule == Week     ? QStringLiteral("1")
              : rule == NoRule ? QStringLiteral("2")
                               : QStringLiteral("0")) +
             u'\n';
        s += QStringLiteral("Day=") + QString::number(n) + u'\n';
        if (rule == Week)
            s += QStringLiteral("Week=") + week + u'\n';
        if (rule == Countdown)
            s += QStringLiteral("TimeGap=") + hms(gap) + QStringLiteral("\nTime=00:00:00\n");
        else
            s += QStringLiteral("Time=") + hms(time) + u'\n';
        s += QStringLiteral("Message=") + name + QStringLiteral("\nAction=3\nApp=") + name +
             QStringLiteral("\nSound=0\nOnes=0\n");
        return s.toUtf8();
    }
    bool listed(QDate d) const { return week.contains(QChar(u'0' + d.dayOfWeek() - 1)); }
    QDate nextListed(QDate after) const {
        for (int i = 1; i <= 7; ++i)
            if (listed(after.addDays(i)))
                return after.addDays(i);
        return {};
    }
    // The first due moment, for a program started on `day` at second `now`.
    void start(QDate day, int now) {
        const int every = n < 1 ? 1 : n;
        switch (rule) {
        case EveryN:
            dueSec = time;
            if (stored > day)
                due = stored;
            else if (stored == day)
                due = time > now ? day : day.addDays(every);
            else
                due = day.addDays(time > now ? every - 1 : every);
            break;
        case Week:
            dueSec = time;
            due = listed(day) && time > now ? day : nextListed(day);
            break;
        case Countdown:
            countFrom(day, now);
            break;
        case NoRule:
            due = stored;
            dueSec = time;
            break;
        }
    }
    // A countdown runs again from the second `from` of `day`: its end is kept
    // in whole seconds, and an end on midnight exactly one second after it.
    // A countdown lasts its length in real time, across a change of the
    // clock's offset too.
    void countFrom(QDate day, int from) {
        countFromMs(QDateTime(day, QTime(0, 0).addSecs(from), zone).toMSecsSinceEpoch());
    }
    void countFromMs(qint64 ms) {
        const QDateTime end = QDateTime::fromMSecsSinceEpoch(ms + qint64(gap) * 1000, zone);
        const int sec = end.time().msecsSinceStartOfDay() / 1000;
        due = end.date();
        dueSec = sec == 0 ? 1 : sec;
    }
    static inline const QTimeZone zone{"Europe/Berlin"};
    // Fired, or missed while the machine slept: the next due day from this one.
    void advance() {
        switch (rule) {
        case EveryN:
            due = due.addDays(n < 1 ? 1 : n);
            break;
        case Week:
            due = nextListed(due);
            break;
        case Countdown:
            countFrom(due, dueSec);
            break;
        case NoRule:
            done = true;
            break;
        }
    }
};

} // namespace

void TestFiring::aMonthOfTasks() {
    // Fifty tasks of every rule, a month of Berlin's clock with the end of
    // summer time in it (an hour that comes twice), and the machine asleep
    // over three midnights. Each task must fire on each of its due days at
    // its second, once, with its own alarm, and nothing else may fire.
    const QTimeZone berlin("Europe/Berlin");
    QVERIFY(berlin.isValid());
    const QDate first(2027, 10, 10); // a Sunday
    const QDate last(2027, 11, 10);
    const int startSec = 11 * 3600;
    const auto at = [&](QDate d, int sec, int ms = 3) {
        return QDateTime(d, QTime(0, 0).addMSecs(sec * 1000 + ms), berlin).toMSecsSinceEpoch();
    };

    using M = MonthTask;
    QList<MonthTask> tasks;
    const auto add = [&](QString name, M::Rule rule, int n, QString week, int gap, int dayOffset,
                         QTime t) {
        MonthTask m;
        m.name = std::move(name);
        m.rule = rule;
        m.n = n;
        m.week = std::move(week);
        m.gap = gap;
        m.stored = first.addDays(dayOffset);
        m.time = t.msecsSinceStartOfDay() / 1000;
        tasks.append(m);
    };
    const auto every = [&](const char* name, int n, QTime t, int dayOffset = 0) {
        add(QString::fromLatin1(name), M::EveryN, n, {}, 0, dayOffset, t);
    };
    const auto weekly = [&](const char* name, const char* days, QTime t) {
        add(QString::fromLatin1(name), M::Week, 1, QString::fromLatin1(days), 0, 0, t);
    };
    const auto countdown = [&](const char* name, int h, int m, int s) {
        add(QString::fromLatin1(name), M::Countdown, 1, {}, h * 3600 + m * 60 + s, 0, QTime(0, 0));
    };
    // Every day: midnight exactly, the last second, on the hour, in the hour
    // that comes twice, one with "Day" 0, one whose date lies days back.
    every("d1-0000", 1, QTime(0, 0, 0));
    every("d1-2359", 1, QTime(23, 59, 59), 1);
    every("d1-1300", 1, QTime(13, 0, 0));
    every("d1-0230", 1, QTime(2, 30, 0));
    every("d1-0645", 1, QTime(6, 45, 10));
    every("d1-1059", 1, QTime(10, 59, 59));
    every("d1-day0", 0, QTime(17, 20, 0));
    every("d1-past", 1, QTime(8, 0, 0), -5);
    every("d1-1000", 1, QTime(10, 0, 0));
    // Every two, three and seven days, some starting today with their time
    // still ahead, some with dates long past.
    every("e2-a", 2, QTime(7, 0, 0));
    every("e2-b", 2, QTime(0, 0, 2));
    every("e2-c", 2, QTime(23, 59, 58));
    every("e2-d", 2, QTime(14, 0, 0), 1);
    every("e2-e", 2, QTime(2, 15, 0));
    every("e2-f", 2, QTime(12, 30, 0));
    every("e2-g", 2, QTime(20, 20, 20));
    every("e3-a", 3, QTime(18, 0, 0));
    every("e3-b", 3, QTime(0, 0, 3));
    every("e3-c", 3, QTime(23, 59, 56));
    every("e3-d", 3, QTime(9, 0, 0));
    every("e3-e", 3, QTime(19, 0, 0), -10);
    every("e3-f", 3, QTime(10, 0, 5), -10);
    every("e3-g", 3, QTime(2, 45, 0));
    every("e3-h", 3, QTime(16, 0, 0));
    every("e3-i", 3, QTime(4, 0, 0));
    every("e7-a", 7, QTime(11, 0, 0));
    every("e7-b", 7, QTime(0, 0, 4));
    every("e7-c", 7, QTime(23, 59, 55));
    every("e7-d", 7, QTime(21, 0, 0));
    every("e7-e", 7, QTime(2, 5, 0), 2);
    every("e7-f", 7, QTime(5, 5, 5));
    // Week days.
    weekly("w-024", "024", QTime(18, 0, 17));
    weekly("w-56", "56", QTime(0, 0, 5));
    weekly("w-all", "0123456", QTime(23, 59, 57));
    weekly("w-3", "3", QTime(13, 0, 19));
    weekly("w-6", "6", QTime(2, 30, 30));
    weekly("w-135", "135", QTime(7, 7, 7));
    weekly("w-0", "0", QTime(0, 0, 6));
    weekly("w-46", "46", QTime(23, 59, 54));
    weekly("w-12", "12", QTime(9, 15, 0));
    weekly("w-0246", "0246", QTime(15, 0, 0));
    weekly("w-5", "5", QTime(12, 0, 0));
    weekly("w-25", "25", QTime(22, 22, 22));
    // Countdowns: one ends on midnight exactly, one in the last second of
    // the day.
    countdown("c-5h", 5, 0, 11);
    countdown("c-7h", 7, 0, 7);
    countdown("c-1259", 12, 59, 59);
    countdown("c-13h", 13, 0, 0);
    countdown("c-317", 3, 17, 0);
    countdown("c-9h", 9, 0, 13);
    // No date rule: due once, in the hour that comes twice.
    add(QStringLiteral("once"), M::NoRule, 1, {}, 0, 21, QTime(2, 40, 0));
    QCOMPARE(tasks.size(), 50);

    QByteArray file = "[Main]\nTop=0\n";
    for (const MonthTask& t : tasks)
        file += t.text();
    r->writeIni(file);
    r->clock.set(QDateTime(first, QTime(0, 0).addMSecs(startSec * 1000 + 503), berlin));
    r->create();
    r->main()->firing()->clockTimer().stop();
    for (MonthTask& t : tasks)
        t.start(first, startSec);

    // The machine sleeps from 23:59:50 to 00:00:30 on these evenings.
    const QList<QDate> sleeps{QDate(2027, 10, 13), QDate(2027, 10, 20), QDate(2027, 11, 2)};
    const auto asleep = [&](qint64 ms) {
        for (const QDate d : sleeps)
            if (ms > at(d, 86400 - 10) && ms < at(d.addDays(1), 30))
                return true;
        return false;
    };
    // Summer time ends on 31 October: 03:00 becomes 02:00 again. Every
    // second of the two hours is ticked.
    const qint64 twiceFrom = at(QDate(2027, 10, 31), 3600 + 59 * 60 + 55);
    const qint64 twiceTo = twiceFrom + 2 * 3600 * 1000 + 10000;

    qint64 tick = at(first, startSec + 1);
    const qint64 end = at(last, 0);
    int fired = 0;
    int slept = 0;
    bool recalculatedInTheRepeatedHour = false;
    while (tick < end) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(tick, berlin);
        const QDate day = local.date();
        const int sec = local.time().msecsSinceStartOfDay() / 1000;
        // Waking from a sleep, the monotonic clock has not moved meanwhile.
        bool wakes = false;
        for (const QDate d : sleeps)
            wakes = wakes || (r->clock.now().toMSecsSinceEpoch() <= at(d, 86400 - 10) &&
                              tick >= at(d.addDays(1), 30));
        // The task armed as the machine fell asleep (the first of that
        // evening's still to come) fires late at the waking, as it would at
        // noon.
        MonthTask* late = nullptr;
        if (wakes) {
            for (MonthTask& t : tasks) {
                if (!t.done && t.due < day && asleep(at(t.due, t.dueSec)) &&
                    (late == nullptr || t.dueSec < late->dueSec))
                    late = &t;
            }
        }
        // Due moments the sleep swallowed: not caught up; the rules go on
        // from them, and a countdown runs afresh from the waking.
        for (MonthTask& t : tasks) {
            while (!t.done && &t != late && at(t.due, t.dueSec) < tick &&
                   asleep(at(t.due, t.dueSec))) {
                ++slept;
                if (t.rule == MonthTask::Countdown) {
                    QVERIFY2(
                        t.due < day,
                        qPrintable(t.name + QStringLiteral(": ends after midnight in a sleep")));
                    t.countFromMs(tick);
                } else {
                    t.advance();
                }
            }
        }
        QString expected = late != nullptr ? late->name : QString();
        for (const MonthTask& t : tasks) {
            if (&t == late)
                continue;
            if (t.done || t.due != day || t.dueSec != sec)
                continue;
            QVERIFY2(expected.isEmpty(), qPrintable(QStringLiteral("the test's own tasks clash: ") +
                                                    expected + u' ' + t.name));
            expected = t.name;
        }
        if (wakes)
            r->clock.jump(local);
        else
            r->clock.set(local);
        const qsizetype before = r->platform.appsOpened.size();
        r->main()->firing()->clockTick();
        const QStringList now = r->platform.appsOpened.mid(before);
        const QString when = local.toString(Qt::ISODateWithMs);
        QVERIFY2(now.size() <= 1, qPrintable(when + QStringLiteral(" fired ") + now.join(u',')));
        const QString actual = now.isEmpty() ? QString() : now.first();
        QVERIFY2(actual == expected,
                 qPrintable(when + QStringLiteral(": fired '") + actual +
                            QStringLiteral("', expected '") + expected + u'\''));
        if (!expected.isEmpty()) {
            QCOMPARE(r->alarmCaption(), QStringLiteral("Звонарька - ") + expected);
            QCOMPARE(r->alarmMessage(), expected);
            r->msg()->hide();
            ++fired;
            for (MonthTask& t : tasks) {
                if (t.name != expected)
                    continue;
                // A countdown fired late runs again from its firing.
                // A countdown runs again from its firing.
                if (t.rule == MonthTask::Countdown)
                    t.countFromMs(tick);
                else
                    t.advance();
            }
        }
        // In the hour that comes twice, a recalculation and a re-sort must
        // not bring back what fired in its first pass.
        if (tick > twiceFrom + 3600 * 1000 && !recalculatedInTheRepeatedHour &&
            local.offsetFromUtc() == 3600 && sec == 2 * 3600 + 10 * 60) {
            recalculatedInTheRepeatedHour = true;
            r->control<QToolButton>("sbCalculate")->click();
            r->main()->taskList()->SortTClick();
        }

        // The next tick: a second either side of every due moment and of
        // every midnight, each second of the doubled hour, and the moments
        // the machine falls asleep and wakes.
        qint64 next = std::numeric_limits<qint64>::max();
        const auto consider = [&](qint64 ms) {
            if (ms > tick && ms < next && !asleep(ms))
                next = ms;
        };
        for (const MonthTask& t : tasks) {
            if (t.done)
                continue;
            const qint64 due = at(t.due, t.dueSec);
            consider(due - 1000);
            consider(due);
            consider(due + 1000);
        }
        const QDate tomorrow = day.addDays(1);
        for (int s = -2; s <= 2; ++s)
            consider(at(tomorrow, 0) + s * 1000);
        for (const QDate d : sleeps) {
            consider(at(d, 86400 - 10));
            consider(at(d.addDays(1), 30));
        }
        consider(twiceFrom);
        if (tick >= twiceFrom && tick < twiceTo)
            consider(tick + 1000);
        tick = next;
    }
    QVERIFY(recalculatedInTheRepeatedHour);
    QVERIFY2(slept >= 10, qPrintable(QString::number(slept)));
    QVERIFY2(fired > 900, qPrintable(QString::number(fired)));
    QVERIFY(r->platform.boxes.isEmpty());
}

// The clock, the chime and the task list alone, on bare controls and the
// fakes, with no main window: the list shows the armed task's mark, and what
// a firing means to the editor and the alarm window goes out as the firing's
// signals, in the firing's order.
void TestFiring::firingAloneOnBareControls() {
    Task a{QStringLiteral("A"), QStringLiteral("12:00:05")};
    a.sound = 1;
    a.ones = 2;
    Task b{QStringLiteral("B"), QStringLiteral("12:00:10")};
    b.action = 2;
    r->writeIni({b, a}, "SortBy=Time\n");
    r->clock.set(kDay, hms(12, 0));

    QStringList boxes;
    HandlerGuard guard([&](const QString& text) { boxes.append(text); });
    Services services(r->platform, r->clock, RegionalFormats::russian(), r->dir.path(), guard);
    services.open(r->iniPath());
    QWidget window;
    auto* cbSound = new QComboBox(&window);
    cbSound->addItems({QStringLiteral("нет"), QStringLiteral("кукушка")});
    auto* list = new EventCheckList(&window);
    auto* evName = new QComboBox(&window);
    evName->setEditable(true);
    const auto label = [&] { return new QLabel(&window); };
    HourlyChime chime(services, HourlyChime::Controls{.chimeChoice = cbSound});
    Firing firing(services, chime,
                  Firing::Controls{.window = &window,
                                   .taskList = list,
                                   .taskNameBox = evName,
                                   .timeLabel = label(),
                                   .dateLabel = label(),
                                   .recalcAllBox = new QCheckBox(&window),
                                   .testButton = new QToolButton(&window),
                                   .recalcButton = new QToolButton(&window),
                                   .clockImage = new ClickLabel(&window),
                                   .scheduleViewButton = new QPushButton(&window),
                                   .scheduleNames = new QPlainTextEdit(&window),
                                   .scheduleTimes = new QPlainTextEdit(&window),
                                   .scheduleSummary = label()});
    firing.setCurrentTask(QStringLiteral("B"));
    TaskList tasks(services, firing,
                   TaskList::Controls{.window = &window,
                                      .list = list,
                                      .nameBox = evName,
                                      .saveButton = new QToolButton(&window),
                                      .newTaskButton = new QToolButton(&window),
                                      .sortLabel = label(),
                                      .taskNameLabel = label(),
                                      .taskTimeLabel = label()});
    QStringList events;
    connect(&firing, &Firing::taskDateAdvanced, this,
            [&](const QString& name) { events.append(QStringLiteral("date ") + name); });
    connect(&firing, &Firing::dayBegan, this, [&] { events.append(QStringLiteral("day")); });
    connect(&firing, &Firing::alarm, this,
            [&](const QString& name, TaskAction action, const QString* message, bool show) {
                events.append(QStringLiteral("alarm %1 %2 %3 %4")
                                  .arg(name)
                                  .arg(int(action))
                                  .arg(message != nullptr ? *message : QStringLiteral("-"))
                                  .arg(show));
            });
    const auto marked = [&] {
        return list->armedRow() < 0 ? QString() : list->item(list->armedRow())->text();
    };
    const auto tick = [&](QDate day, QTime at) {
        r->clock.set(day, at.addMSecs(3));
        guard.run([&] { firing.Timer1Timer(); });
    };

    guard.run([&] {
        services.schedule().RecalcSchedule();
        tasks.ApplySavedSort();
        firing.startClock();
    });
    firing.clockTimer().stop();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("A"));
    QCOMPARE(marked(), QStringLiteral("A"));

    // A: its sound twice (no chime chosen), its date on to tomorrow, the
    // alarm with the default text, and the mark on B.
    tick(kDay, hms(12, 0, 5));
    QCOMPARE(r->platform.soundLog.filter(QStringLiteral("play ")).size(), 2);
    QCOMPARE(events, QStringList({QStringLiteral("date A"),
                                  QStringLiteral("alarm A 0 Время пришло... 1")}));
    QCOMPARE(r->value(QStringLiteral("A"), QStringLiteral("Date")), dateText(kDay.addDays(1)));
    QCOMPARE(marked(), QStringLiteral("B"));

    // B: the switch-off shows the window without a message line; nothing is
    // left to arm today.
    events.clear();
    tick(kDay, hms(12, 0, 10));
    QCOMPARE(events, QStringList({QStringLiteral("date B"), QStringLiteral("alarm B 2 - 1")}));
    QCOMPARE(marked(), QString());

    // The next day's first tick: the day is announced and A is armed again.
    events.clear();
    tick(kDay.addDays(1), hms(0, 0, 1));
    QCOMPARE(events, QStringList({QStringLiteral("day")}));
    QCOMPARE(marked(), QStringLiteral("A"));
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(u'|')));
}

QTEST_MAIN(TestFiring)
#include "tst_firing.moc"
