#include "store/daycount.h"

#include <cmath>

namespace daycount {

int fromDate(QDate date) {
    return static_cast<int>(date.toJulianDay() - kEpochJulianDay);
}

QDate toDate(double value) {
    return QDate::fromJulianDay(kEpochJulianDay + datePart(value));
}

double fromTime(QTime time) {
    return time.msecsSinceStartOfDay() / kMsPerDay;
}

QTime toTime(double value) {
    auto ms = static_cast<qint64>(std::llround(timePart(value) * kMsPerDay));
    if (ms >= qint64(kMsPerDay)) // a fraction a hair below 1 rounds up to midnight
        ms = 0;
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

double fromDateTime(const QDateTime& dt) {
    return fromDate(dt.date()) + fromTime(dt.time());
}

int datePart(double value) {
    return static_cast<int>(std::floor(value));
}

double timePart(double value) {
    return value - std::floor(value);
}

int weekDayDigit(int dayCount) {
    // Day 0 was a Saturday (digit 5).
    int r = (dayCount + 5) % 7;
    return r < 0 ? r + 7 : r;
}

double encodeTime(int h, int m, int s, int ms) {
    return (((h * 60 + m) * 60 + s) * 1000 + ms) / kMsPerDay;
}

} // namespace daycount
