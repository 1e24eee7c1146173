#pragma once

#include "store/clock.h"

// A clock that stands still until told otherwise. Moving it forward with
// set() or advanceMs() is time lived through awake (the monotonic clock moves
// as much); jump() is a suspend or a clock set by hand (it does not).
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 12, 8), QTime(12, 0)))
        : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonic; }
    void set(const QDateTime& dt) {
        m_monotonic += qMax<qint64>(0, m_now.msecsTo(dt));
        m_now = dt;
    }
    void set(QDate d, QTime t) { set(QDateTime(d, t)); }
    void advanceMs(qint64 ms) { set(m_now.addMSecs(ms)); }
    void jump(const QDateTime& dt) { m_now = dt; }

private:
    QDateTime m_now;
    qint64 m_monotonic = 0;
};
