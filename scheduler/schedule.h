#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Clock;
class SettingsFile;

// The schedule table: for every task its name, next due date and time of day,
// sorted by time of day. Entry i of the three lists describes one task.
struct TEvRec {
    QStringList Names;
    QList<double> Dates;
    QList<double> Times;
    int Count = 0;
    int ActEv = 0; // index of the armed task; set by the clock, not here
};

// Works out from the settings file when each task next falls due. Owned by the
// main window for the whole run.
class Schedule final {
public:
    Schedule(SettingsFile& settings, const Clock& clock);

    // Rebuilds EvTable from the file; starts countdowns, moves past dates on and
    // writes them back; leaves ActEvArmed false.
    void RecalcSchedule();
    // Writes the named task's next "Date", or restarts its countdown.
    void AdvanceTaskDate(const QString& taskName, int dayBack);

    TEvRec EvTable;
    bool ActEvArmed = false;
    QStringList SectionList;

private:
    SettingsFile& m_settings;
    const Clock& m_clock;
};
