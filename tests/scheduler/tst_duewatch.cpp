// The clock's decisions between ticks, without a window: what a tick fires and
// in what order, the armed entry, the first tick of a day, and the guards that
// keep a due moment from firing twice.
#include "scheduler/duewatch.h"
#include "scheduler/schedule.h"
#include "tests/common/manualclock.h"
#include "store/daycount.h"
#include "store/regionalformats.h"
#include "store/settingsfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

// 8 December 2026 is a Tuesday.
const QDate kTue(2026, 12, 8);
const QDate kWed(2026, 12, 9);

struct Task {
    // `rule`: 0 every N days, 2 a rule that never moves the date; `gap`: a
    // countdown's length, null for none.
    Task(const char* name, QDate date, QTime time, bool active = true, int rule = 0, QTime gap = {})
        : name(name), date(date), time(time), active(active), rule(rule), gap(gap) {}
    const char* name;
    QDate date;
    QTime time;
    bool active;
    int rule;
    QTime gap;
};

QString names(const QList<DueWatch::Due>& due) {
    QStringList out;
    for (const DueWatch::Due& d : due)
        out.append(d.name);
    return out.join(u' ');
}

} // namespace

class TestDueWatch final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void lateTickOverMidnight();
    void neverTwiceWhenTheClockIsSetBack();
    void suspendOverMidnight();

private:
    void open(const QList<Task>& tasks);
    DueWatch::Tick tick() {
        return m_watch->tick(*m_schedule, m_clock.now(), m_clock.monotonicMs());
    }
    QString armedName() const {
        const int i = DueWatch::armed(*m_schedule);
        return i < 0 ? QString() : m_schedule->EvTable.entries.at(i).name;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    ManualClock m_clock;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<Schedule> m_schedule;
    std::unique_ptr<DueWatch> m_watch;
};

void TestDueWatch::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestDueWatch::cleanup() {
    m_watch.reset();
    m_schedule.reset();
    m_settings.reset();
    m_dir.reset();
}

// Writes the tasks, works the schedule out now and starts the watch as
// start-up does.
void TestDueWatch::open(const QList<Task>& tasks) {
    QString text = QStringLiteral("[Main]\nTop=0\n");
    for (const Task& t : tasks) {
        text += QStringLiteral("[%1]\nActiving=%2\nDate=%3\nTime=%4\nDayOrWeek=%5\n")
                    .arg(QString::fromUtf8(t.name))
                    .arg(t.active ? 1 : 0)
                    .arg(t.date.toString(QStringLiteral("dd.MM.yyyy")))
                    .arg(t.time.toString(QStringLiteral("HH:mm:ss")))
                    .arg(t.rule);
        if (t.gap.isValid())
            text += QStringLiteral("TimeGap=") + t.gap.toString(QStringLiteral("HH:mm:ss")) + u'\n';
    }
    const QString path = m_dir->filePath(QStringLiteral("user.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(f.write(text.toUtf8()) >= 0);
    f.close();
    m_settings = std::make_unique<SettingsFile>(path, RegionalFormats::russian(), m_clock);
    m_schedule = std::make_unique<Schedule>(*m_settings, m_clock);
    m_watch = std::make_unique<DueWatch>(m_clock);
    m_schedule->RecalcSchedule();
    m_watch->start(m_clock.now(), m_clock.monotonicMs());
    m_watch->arm(*m_schedule, m_clock.timeNow());
}

void TestDueWatch::lateTickOverMidnight() {
    m_clock.set(kTue, QTime(23, 59, 50));
    open({{"a", kTue, QTime(23, 59, 59)},
          {"off", kTue, QTime(23, 59, 59), false},
          {"b", kTue, QTime(23, 59, 59)},
          {"early", kWed, QTime(0, 0, 1)},
          {"morning", kWed, QTime(7, 0)}});
    // Tasks due in the same moment fire in the table's order.
    QStringList twins;
    for (const ScheduleEntry& e : m_schedule->EvTable.entries)
        if (e.name == QStringLiteral("a") || e.name == QStringLiteral("b"))
            twins.append(e.name);
    QCOMPARE(twins.size(), 2);
    QCOMPARE(armedName(), twins.first());

    m_clock.set(kTue, QTime(23, 59, 58, 500));
    DueWatch::Tick t = tick();
    QCOMPARE(names(t.due), QString());
    QVERIFY(!t.dayBegan);

    // The busy machine's next tick comes 3.5 s late, after midnight: both
    // tasks of 23:59:59 fire, dated the day they were due, then the one of
    // 00:00:01 (by moment, although its time of day sorts it first), never
    // the switched-off one.
    m_clock.set(kWed, QTime(0, 0, 2));
    t = tick();
    QCOMPARE(names(t.due), twins.join(u' ') + QStringLiteral(" early"));
    QCOMPARE(t.due.at(0).date, daycount::fromDate(kTue));
    QCOMPARE(t.due.at(2).date, daycount::fromDate(kWed));
    QVERIFY(t.dayBegan);
    QCOMPARE(t.today, daycount::fromDate(kWed));
    QVERIFY(t.passedCountdowns.isEmpty());
    // Whatever happens to the firings, the armed entry does not fire again.
    QVERIFY(!m_schedule->ActEvArmed);

    // The day's refresh arms the first task still ahead today; the day has
    // begun once only.
    m_watch->beginDay(*m_schedule, t.today, t.now);
    QCOMPARE(armedName(), QStringLiteral("morning"));
    m_clock.set(kWed, QTime(0, 0, 3));
    t = tick();
    QVERIFY(!t.dayBegan);
    QCOMPARE(names(t.due), QString());
}

void TestDueWatch::neverTwiceWhenTheClockIsSetBack() {
    // A rule that never moves the date: the entry stays in the table as it
    // was when it fired.
    m_clock.set(kTue, QTime(12, 0));
    open({{"x", kTue, QTime(12, 0, 5), true, 2}, {"y", kTue, QTime(12, 0, 9), true, 2}});
    QCOMPARE(armedName(), QStringLiteral("x"));

    int fired = 0;
    const auto tickAt = [&](QTime at) {
        m_clock.set(kTue, at);
        const QList<DueWatch::Due> due = tick().due;
        fired += int(std::count_if(due.cbegin(), due.cend(), [](const DueWatch::Due& d) {
            return d.name == QStringLiteral("x");
        }));
    };
    for (int s = 1; s <= 5; ++s)
        tickAt(QTime(12, 0, s).addMSecs(3));
    QCOMPARE(fired, 1);
    // Re-armed after the firing, as the clock does: the next entry.
    m_watch->arm(*m_schedule, m_clock.timeNow());
    QCOMPARE(armedName(), QStringLiteral("y"));

    // The clock set back by hand, and the table rebuilt: the moment already
    // taken is neither armed again nor fired by the ticks that pass it anew.
    m_clock.jump(QDateTime(kTue, QTime(12, 0)));
    QCOMPARE(names(tick().due), QString());
    m_schedule->RecalcSchedule();
    m_watch->arm(*m_schedule, m_clock.timeNow());
    QCOMPARE(armedName(), QStringLiteral("y"));
    for (int s = 1; s <= 8; ++s)
        tickAt(QTime(12, 0, s));
    QCOMPARE(fired, 1);
}

void TestDueWatch::suspendOverMidnight() {
    m_clock.set(kTue, QTime(23, 40));
    open({{"armed", kTue, QTime(23, 50)},
          {"night", kWed, QTime(2, 0)},
          {"cd", kWed, QTime(0, 30), true, 0, QTime(1, 0)},
          {"cdLater", kWed, QTime(8, 0), true, 0, QTime(9, 0)}});
    QCOMPARE(armedName(), QStringLiteral("armed"));

    // Asleep from 23:40 to 06:00: the armed task fires late at the waking;
    // what else fell due while asleep is not caught up, except a countdown
    // whose end went by, which restarts.
    m_clock.jump(QDateTime(kWed, QTime(6, 0)));
    const DueWatch::Tick t = tick();
    QCOMPARE(names(t.due), QStringLiteral("armed"));
    QCOMPARE(t.passedCountdowns, QStringList{QStringLiteral("cd")});
    QVERIFY(t.dayBegan);

    // The day's refresh arms the next task still ahead: the night's task
    // has moved on to tomorrow.
    m_watch->beginDay(*m_schedule, t.today, t.now);
    QCOMPARE(armedName(), QStringLiteral("cdLater"));
}

QTEST_GUILESS_MAIN(TestDueWatch)
#include "tst_duewatch.moc"
