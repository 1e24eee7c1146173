#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class Clock;
class Schedule;

// The clock's decisions between two ticks, kept apart from its window: which
// entry of the schedule table is armed, what a tick fires and in what order,
// whether a day began, and that no due moment is ever taken twice. It is told
// the readings of each tick; the firing itself (sounds, next date, action)
// and what the window shows stay with the caller. It outlives any one
// schedule: each call is given the one open (and the settings file under it).
class DueWatch final {
public:
    explicit DueWatch(const Clock& clock) : m_clock(clock) {}

    // One firing the clock owes: the task and the moment it fell due.
    struct Due {
        QString name;
        int date = 0;
        double time = 0.0;
    };
    // What one tick decided.
    struct Tick {
        // The local day and time of day of the tick.
        int today = 0;
        double now = 0.0;
        // The entries that fell due since the tick before, in firing order.
        QList<Due> due;
        // Countdowns whose end was slept through (after a suspend): they run
        // afresh from the waking.
        QStringList passedCountdowns;
        // The first tick of a new day: the table is to be worked out again
        // and the armed entry chosen afresh (beginDay), once the entries due
        // are taken, so that a task at 23:59:59 whose tick comes after
        // midnight still fires, late, before its date moves on.
        bool dayBegan = false;
    };

    // Start-up has just worked out today's schedule: the stretch of the first
    // tick begins at `at`, and what was due before it is not caught up.
    void start(const QDateTime& at, qint64 monotonicMs);
    // One tick read as `at` on the local clock and `monotonicMs` on the
    // monotonic one. What it returns as due counts as taken from now on.
    Tick tick(Schedule& schedule, const QDateTime& at, qint64 monotonicMs);
    // The daily refresh of day `today`: the table worked out again with the
    // dates that moved on overnight, then the armed entry chosen from `now`
    // on, so every repeating task is armed on each of its days. The entry is
    // armed from what the table holds even when a write was refused; the
    // refusal (AppError) is raised afterwards.
    void beginDay(Schedule& schedule, int today, double now);
    // Arms the first active entry dated today whose time of day is `from` or
    // later and whose moment has not been taken yet; the table's ActEv and
    // the schedule's ActEvArmed say which. Returns its index, -1 for none.
    // An empty table is left as it is.
    int arm(Schedule& schedule, double from);
    // The armed entry's index, -1 for none.
    static int armed(const Schedule& schedule);

private:
    // Whether the entry may still fire: active, and its moment not taken.
    bool eligible(const Schedule& schedule, int entry) const;

    const Clock& m_clock;
    // The day of the last tick, for the daily refresh; the moment of the last
    // tick as a local day count, and as the wall and the monotonic clock
    // read it.
    int m_tickDay = -1;
    double m_lastTick = -1.0;
    qint64 m_lastTickWallMs = 0;
    qint64 m_lastTickMonotonicMs = 0;
    // Each task's last due moment taken by the clock (date + time), so that
    // no due moment fires twice, whatever the clock does.
    QHash<QString, double> m_firedDue;
};
