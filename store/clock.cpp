#include "clock.h"

#include "daycount.h"

int Clock::today() const {
    return daycount::fromDate(now().date());
}

double Clock::timeNow() const {
    return daycount::fromTime(now().time());
}

double Clock::dateTimeNow() const {
    return daycount::fromDateTime(now());
}
