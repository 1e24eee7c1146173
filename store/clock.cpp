#include "store/clock.h"

#include "store/daycount.h"

#include <time.h>

int Clock::today() const {
    return daycount::fromDate(now().date());
}

double Clock::timeNow() const {
    return daycount::fromTime(now().time());
}

double Clock::dateTimeNow() const {
    return daycount::fromDateTime(now());
}

QDateTime SystemClock::now() const {
    // Within one millisecond of universal time the local time is the same.
    if (m_last.isValid() && QDateTime::currentMSecsSinceEpoch() == m_lastMs)
        return m_last;
    m_last = QDateTime::currentDateTime();
    m_lastMs = m_last.toMSecsSinceEpoch();
    return m_last;
}

qint64 SystemClock::monotonicMs() const {
    // CLOCK_MONOTONIC, unlike CLOCK_BOOTTIME, stands still while the
    // machine sleeps.
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
