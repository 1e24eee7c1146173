#pragma once

#include <QDateTime>

// The one source of "today" and "now". The program reads the local clock only
// through this, so tests can set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds on a clock that only runs forward while the machine is
    // awake: it stops in a suspend and ignores the wall clock being set or
    // the time zone's offset changing. Comparing its advance with the wall
    // clock's tells time the program lived through from time it did not.
    virtual qint64 monotonicMs() const = 0;

    // Today as a whole day count.
    int today() const;
    // The current time of day as a fraction of a day, millisecond resolution.
    double timeNow() const;
    // Both at once, read in one go.
    double dateTimeNow() const;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    qint64 monotonicMs() const override;

private:
    // The last local time read and its instant. The local time costs a check
    // of the time zone file on disk, and a recalculation asks for today a few
    // hundred times a millisecond.
    mutable QDateTime m_last;
    mutable qint64 m_lastMs = 0;
};
