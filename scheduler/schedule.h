#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Clock;
class SettingsFile;

// One task's entry in the schedule table: when it next falls due.
struct ScheduleEntry {
    QString name;
    double date = 0.0; // day count
    double time = 0.0; // time of day, a fraction of a day
    // The due moment as a local day count (date + time of day).
    double moment() const { return date + time; }
};

// The schedule table: every task's entry, sorted by time of day. There is no
// task limit.
struct TEvRec {
    QList<ScheduleEntry> entries;
    int ActEv = 0; // index of the armed task; set by the clock, not here
    int count() const { return int(entries.size()); }
};

// Works out from the settings file when each task next falls due. Owned by the
// main window for the whole run. Today and now come from the clock only.
class Schedule final {
public:
    Schedule(SettingsFile& settings, const Clock& clock);

    // Rebuilds EvTable from the file; starts countdowns, moves past dates on and
    // writes them back, all in one write; leaves ActEvArmed false. A refused
    // write raises AppError once, at the end: the file is left as it was and
    // the table holds every task with what the file says, sorted.
    void RecalcSchedule();
    // The same, with the tasks of today whose time is after `aheadFrom` (a
    // time of day, -1 for the whole day) counting as still ahead: the clock's first tick of a
    // day stands for the whole stretch since the tick before it.
    void RecalcScheduleFrom(double aheadFrom);
    // Writes the named task's next "Date", or restarts its countdown (which
    // rebuilds the whole table). dayBack is 0 or 1: days taken off today first.
    void AdvanceTaskDate(const QString& taskName, int dayBack);
    // The next date of a task the clock fired, counted from the day it was
    // due, however long its sounds ran on (past midnight, too).
    void AdvanceFiredTask(const QString& taskName, int dueDate);

    // Where a countdown of `gap` started at time of day `start` ends: the
    // time of day as the file keeps it (whole seconds, so the table and the
    // file agree to the tick) and how many days on. An end falling on
    // midnight exactly is kept one second after it: a stored 00:00:00 means
    // a countdown not started yet.
    struct CountdownEnd {
        int days = 0;
        double time = 0.0;
    };
    static CountdownEnd countdownEnd(double start, double gap);
    // The same from a moment of the local clock, lasting `gap` in real time:
    // a countdown over a daylight-saving change ends by the clock on the
    // wall after as many hours as it counts, not an hour early or late.
    static CountdownEnd countdownEnd(const QDateTime& start, double gap);
    // The N of the every-N-days rule: a "Day" below 1 counts as 1, so a task
    // never stays on a date that has passed.
    static int everyNDays(int day) { return day < 1 ? 1 : day; }

    // The week days of a "Week" text as ascending digits 0..6, each once.
    // Anything else in the text is ignored, as the week-day picker ignores it;
    // when no day is left, the base day's digit stands alone.
    static QString weekDays(const QString& text, int baseDigit);

    // The file the table is worked out from.
    SettingsFile& settings() const { return m_settings; }

    TEvRec EvTable;
    bool ActEvArmed = false;
    QStringList SectionList;
    // Called once an operation has switched tasks off ("Activing" 0): tasks
    // whose next date would lie after 31.12.9999 fire no more. Their date
    // stays; the task list shows the new check marks.
    std::function<void()> tasksSwitchedOff;

private:
    // The table's entry of a task follows the date just written for it, so
    // that the clock sees its next due moment without a recalculation.
    void followDate(const QString& taskName);
    // The date rules from `base`; the week-day rule takes the task's time on
    // the base day as passed when `timePassed` is set, else compares it with now.
    void advanceFrom(const QString& taskName, int base, bool firing, double now);
    // Writes the next date, or switches the task off when it lies past the
    // calendar's end.
    void moveTo(const QString& taskName, double next);
    // Tells the task list, once, that tasks were switched off.
    void announceSwitchedOff();

    bool m_switchedOff = false;

    SettingsFile& m_settings;
    const Clock& m_clock;
};
