#pragma once

#include <QList>

#include <functional>

struct TEvRec;

// Which entries of the schedule table a clock tick fires. Kept apart from the
// clock's window code so the rules can be checked without a display.
namespace duetasks {

// The stretch of time one tick stands for: from the tick before it
// (exclusive) to this one (inclusive), both as local day-count moments
// (date + time of day).
struct Stretch {
    double from = -1.0;
    double to = -1.0;
    // True when the program lived through the stretch awake: a late tick
    // (a busy machine, a stopped process, a box, a daylight-saving change)
    // owes every task that fell due in it. False after a suspend or a clock
    // set forward by hand, where what passed is not caught up.
    bool awake = false;
};

// The wall clock may step this far from the monotonic one, either way, in a
// stretch still lived through: time synchronisation nudges it now and then.
inline constexpr qint64 kAwakeSlackMs = 2000;

// Whether a stretch in which the wall clock (universal time, so a change of
// the zone's offset moves nothing) advanced `wallMs` and the monotonic clock
// `monotonicMs` was lived through awake.
bool livedThrough(qint64 wallMs, qint64 monotonicMs);

// The entries to fire for `stretch`, in firing order: by due moment, and
// tasks due in the same moment in the table's order. Awake, every entry due
// in the stretch; otherwise only the entry `armed` (-1 for none) at the
// first tick at or after its moment. `eligible(i)` tells an entry that may
// fire (an active task whose moment has not fired yet).
QList<int> due(const TEvRec& table, const Stretch& stretch, int armed,
               const std::function<bool(int)>& eligible);

} // namespace duetasks
