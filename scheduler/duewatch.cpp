#include "scheduler/duewatch.h"

#include "scheduler/duetasks.h"
#include "scheduler/schedule.h"
#include "store/clock.h"
#include "store/daycount.h"
#include "store/keys.h"
#include "store/settingsfile.h"

#include <exception>

void DueWatch::start(const QDateTime& at, qint64 monotonicMs) {
    m_tickDay = daycount::fromDate(at.date());
    m_lastTick = daycount::fromDateTime(at);
    m_lastTickWallMs = at.toMSecsSinceEpoch();
    m_lastTickMonotonicMs = monotonicMs;
}

bool DueWatch::eligible(const Schedule& schedule, int entry) const {
    const ScheduleEntry& e = schedule.EvTable.entries.at(entry);
    const auto fired = m_firedDue.constFind(e.name);
    if (fired != m_firedDue.cend() && *fired == e.moment())
        return false;
    return schedule.settings().ReadBool(e.name, keys::Activing, false);
}

DueWatch::Tick DueWatch::tick(Schedule& schedule, const QDateTime& at, qint64 monotonicMs) {
    Tick result;
    result.today = daycount::fromDate(at.date());
    result.now = daycount::fromTime(at.time());
    const qint64 wallMs = at.toMSecsSinceEpoch();

    duetasks::Stretch stretch;
    stretch.from = m_lastTick;
    stretch.to = double(result.today) + result.now;
    // A tick before the clock was started knows of no stretch: the armed
    // task alone.
    stretch.awake =
        m_lastTick >= 0.0 &&
        duetasks::livedThrough(wallMs - m_lastTickWallMs, monotonicMs - m_lastTickMonotonicMs);
    m_lastTick = stretch.to;
    m_lastTickWallMs = wallMs;
    m_lastTickMonotonicMs = monotonicMs;

    const TEvRec& table = schedule.EvTable;
    const QList<int> due = duetasks::due(table, stretch, armed(schedule),
                                         [&](int i) { return eligible(schedule, i); });
    for (const int i : due) {
        const ScheduleEntry& entry = table.entries.at(i);
        m_firedDue.insert(entry.name, entry.moment());
        result.due.append({entry.name, int(entry.date), entry.time});
    }
    // Whatever fails in the firings, the next tick must not fire these again.
    if (!due.isEmpty())
        schedule.ActEvArmed = false;

    if (!stretch.awake) {
        // A countdown whose end was slept through runs afresh from the
        // waking, not from the next midnight, when it would ring in the night.
        for (int i = 0; i < table.count(); ++i) {
            const ScheduleEntry& entry = table.entries.at(i);
            const double moment = entry.moment();
            if (moment <= stretch.from || moment > stretch.to || due.contains(i))
                continue;
            if (schedule.settings().ReadTime(entry.name, keys::TimeGap, 0.0) <= 0.0)
                continue;
            result.passedCountdowns.append(entry.name);
        }
    }
    result.dayBegan = result.today != m_tickDay;
    return result;
}

void DueWatch::beginDay(Schedule& schedule, int today, double now) {
    // Everything up to now has been taken or passed over.
    m_tickDay = today;
    std::exception_ptr refused;
    try {
        schedule.RecalcSchedule();
    } catch (...) {
        refused = std::current_exception();
    }
    arm(schedule, now);
    if (refused)
        std::rethrow_exception(refused);
}

int DueWatch::armed(const Schedule& schedule) {
    return schedule.ActEvArmed ? schedule.EvTable.ActEv : -1;
}

int DueWatch::arm(Schedule& schedule, double from) {
    TEvRec& table = schedule.EvTable;
    // Nothing to arm.
    if (table.entries.isEmpty())
        return -1;
    const int today = m_clock.today();
    // In order of time of day. An entry taken by the clock already (fired, or
    // waiting behind another firing) is passed over: the table is not rebuilt
    // after every firing, and with the clock set back its entry would come
    // round again.
    for (int i = 0; i < table.count(); ++i) {
        const ScheduleEntry& entry = table.entries.at(i);
        if (int(entry.date) != today || entry.time < from || !eligible(schedule, i))
            continue;
        schedule.ActEvArmed = true;
        table.ActEv = i;
        return i;
    }
    schedule.ActEvArmed = false;
    table.ActEv = table.count() + 1;
    return -1;
}
