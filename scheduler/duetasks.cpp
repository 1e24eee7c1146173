#include "scheduler/duetasks.h"

#include "scheduler/schedule.h"

#include <algorithm>

namespace duetasks {

bool livedThrough(qint64 wallMs, qint64 monotonicMs) {
    return qAbs(wallMs - monotonicMs) <= kAwakeSlackMs;
}

QList<int> due(const TEvRec& table, const Stretch& stretch, int armed,
               const std::function<bool(int)>& eligible) {
    const auto moment = [&table](int i) { return table.entries.at(i).moment(); };
    QList<int> result;
    if (!stretch.awake) {
        // The armed task's time was checked against its date when it was
        // armed; it fires at the first tick at or after its moment, however
        // late that is.
        if (armed >= 0 && armed < table.count() && moment(armed) <= stretch.to && eligible(armed))
            result.append(armed);
        return result;
    }
    // A stretch running backwards (the local time set back, an hour that
    // comes twice) holds nothing.
    if (stretch.to <= stretch.from)
        return result;
    for (int i = 0; i < table.count(); ++i) {
        const double m = moment(i);
        if (m > stretch.from && m <= stretch.to && eligible(i))
            result.append(i);
    }
    // Stable: equal moments keep the table's order.
    std::stable_sort(result.begin(), result.end(),
                     [&moment](int a, int b) { return moment(a) < moment(b); });
    return result;
}

} // namespace duetasks
