#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Clock;
class SettingsFile;

// The schedule table: for every task its name, next due date and time of day,
// sorted by time of day. Entry i of the three lists describes one task, and the
// three always move together. Count is a plain int: there is no task limit.
struct TEvRec {
    QStringList Names;
    QList<double> Dates;
    QList<double> Times;
    int Count = 0;
    int ActEv = 0; // index of the armed task; set by the clock, not here
};

// Works out from the settings file when each task next falls due. Owned by the
// main window for the whole run. Today and now come from the clock only.
class Schedule final {
public:
    Schedule(SettingsFile& settings, const Clock& clock);

    // Rebuilds EvTable from the file; starts countdowns, moves past dates on and
    // writes them back; leaves ActEvArmed false. A refused write (AppError)
    // stops it: the table then holds the tasks finished before that one, sorted.
    void RecalcSchedule();
    // Writes the named task's next "Date", or restarts its countdown (which
    // rebuilds the whole table). dayBack is 0 or 1: days taken off today first.
    void AdvanceTaskDate(const QString& taskName, int dayBack);

    // The week days of a "Week" text as ascending digits 0..6, each once.
    // Anything else in the text is ignored, as the week-day picker ignores it;
    // when no day is left, the base day's digit stands alone.
    static QString weekDays(const QString& text, int baseDigit);

    TEvRec EvTable;
    bool ActEvArmed = false;
    QStringList SectionList;

private:
    SettingsFile& m_settings;
    const Clock& m_clock;
};
