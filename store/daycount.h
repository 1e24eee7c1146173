#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// Dates and times inside the program are day counts: the whole part counts days
// since 30 December 1899 and the fraction is the time of day. A date is a whole
// day count; a time of day a fraction in [0, 1).
namespace daycount {

inline constexpr qint64 kEpochJulianDay = 2415019; // QDate(1899, 12, 30).toJulianDay()
inline constexpr double kMsPerDay = 86400000.0;
// The last day a date can name: 31 December 9999. A date after it has no text
// in any date format, and an empty "Date" would read as today.
inline constexpr int kLastDay = 2958465;

// Whole day count of a calendar date.
int fromDate(QDate date);
QDate toDate(double value);

// Fraction of a day for a time of day, at millisecond resolution.
double fromTime(QTime time);
// The time-of-day part of a value, rounded to the millisecond.
QTime toTime(double value);

double fromDateTime(const QDateTime& dt);

// The whole days of a value (its date part) and its time-of-day part.
int datePart(double value);
double timePart(double value);

// ISO week-day digit of a day count: 0 = Monday ... 6 = Sunday.
int weekDayDigit(int dayCount);

// A time of day given in hours, minutes, seconds, milliseconds.
double encodeTime(int h, int m, int s, int ms = 0);

} // namespace daycount
