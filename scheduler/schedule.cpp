#include "scheduler/schedule.h"

#include "store/apperror.h"
#include "store/clock.h"
#include "store/daycount.h"
#include "store/keys.h"
#include "store/settingsfile.h"

#include <array>
#include <cmath>
#include <exception>
#include <limits>
#include <utility>
#include <vector>

namespace {

// The exchange sort the firing order depends on: it is not stable, and the
// order it leaves equal times in decides which of them fires first, so it is
// kept exactly as it is rather than replaced by a library sort.
void sortByTime(TEvRec& table) {
    const int count = table.count();
    // The exchanges run on the times and the entries' places alone, in plain
    // arrays, and each entry moves once at the end: a million comparisons at
    // a thousand tasks, where swapping whole entries would double the cost.
    std::vector<double> times(static_cast<size_t>(count));
    std::vector<int> order(static_cast<size_t>(count));
    ScheduleEntry* entries = table.entries.data();
    for (int i = 0; i < count; ++i) {
        times[size_t(i)] = entries[i].time;
        order[size_t(i)] = i;
    }
    for (size_t j = 0; j < size_t(count); ++j) {
        for (size_t k = 0; k < size_t(count); ++k) {
            if (times[j] < times[k]) {
                std::swap(times[j], times[k]);
                std::swap(order[j], order[k]);
            }
        }
    }
    QList<ScheduleEntry> sorted;
    sorted.reserve(count);
    for (const int i : order)
        sorted.append(std::move(entries[i]));
    table.entries = std::move(sorted);
}

// A "Day" of decimal digits too many for an integer: an interval longer than
// any the calendar holds, not a text to read as the default 1.
bool tooLongForAnInteger(const QString& text) {
    QStringView digits(text);
    if (digits.startsWith(u'+'))
        digits = digits.sliced(1);
    if (digits.isEmpty())
        return false;
    for (const QChar c : digits)
        if (c < u'0' || c > u'9')
            return false;
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.sliced(1);
    return digits.size() > 10 || digits.toLongLong() > std::numeric_limits<int>::max();
}

} // namespace

Schedule::Schedule(SettingsFile& settings, const Clock& clock)
    : m_settings(settings), m_clock(clock) {}

void Schedule::RecalcSchedule() {
    RecalcScheduleFrom(m_clock.timeNow());
}

void Schedule::RecalcScheduleFrom(double aheadFrom) {
    const SettingsFile::Pass pass(m_settings);
    // Every date it moves and every countdown it starts goes to the disk in
    // one write at the end: one atomic replace and one sync, not one each.
    SettingsFile::Batch batch(m_settings);
    ActEvArmed = false;
    const QDateTime startAt = m_clock.now();

    m_settings.ReadSections(SectionList);

    EvTable.entries.clear();
    if (SectionList.size() <= 1)
        return;

    // The first section holds the settings, whatever it is called.
    SectionList.removeFirst();
    const int count = int(SectionList.size());
    EvTable.entries.reserve(count);

    // A refused write does not end the table: every task goes in, and the
    // first refusal is raised at the end. The batch's writes are refused at
    // its commit, after the loop, which then takes every entry from the file.
    // Entries are added only once complete, so no unfilled entry ever looks
    // like a task.
    std::exception_ptr refused;
    for (int i = 0; i < count; ++i) {
        // A copy: the list is refilled by any recalculation this one leads to.
        const QString name = SectionList.at(i);
        try {
            const double gap = m_settings.ReadTime(name, keys::TimeGap, 0.0);
            double t = m_settings.ReadTime(name, keys::Time, 0.0);

            // A countdown whose end went by on an earlier day without firing
            // (the machine was asleep, the program not running) would never
            // be armed again: it runs afresh from now, as if not started.
            if (t != 0.0 && gap > 0.0 &&
                m_settings.ReadDate(name, keys::Date, m_clock.today()) < m_clock.today())
                t = 0.0;
            // A countdown not yet started runs from now.
            if (t == 0.0 && gap > 0.0) {
                const CountdownEnd end = countdownEnd(startAt, gap);
                t = end.time;
                m_settings.WriteTime(name, keys::Time, t);
                // The end's own day, also when a date of an earlier run stands
                // there: a countdown restarted after midnight ends today, not
                // on the day it last ran.
                const int endDate = m_clock.today() + end.days;
                if (m_settings.ReadDate(name, keys::Date, m_clock.today()) != endDate)
                    m_settings.WriteDate(name, keys::Date, endDate);
            }

            // Read after the countdown start, so it holds that start's date.
            double d = m_settings.ReadDate(name, keys::Date, m_clock.today());
            if (gap == 0.0 && m_clock.today() >= d) {
                bool advanced = true;
                switch (m_settings.ReadInteger(name, keys::DayOrWeek, 0)) {
                case 0:
                    // Due today and still ahead: it fires today, whatever its
                    // N, as the editor's "starting from" date promises.
                    if (int(d) == m_clock.today() && t > aheadFrom)
                        advanced = false;
                    else
                        // A date gone by: counted from today, from yesterday
                        // while the time is still ahead.
                        advanceFrom(name, m_clock.today() - (t > aheadFrom ? 1 : 0), false,
                                    aheadFrom);
                    break;
                case 1:
                    advanceFrom(name, m_clock.today(), false, aheadFrom);
                    break;
                default:
                    advanced = false;
                    break;
                }
                // Only a moved task needs its date read back; every key read
                // costs a look-up in the file, which adds up over many tasks.
                if (advanced)
                    d = m_settings.ReadDate(name, keys::Date, m_clock.today());
            }

            EvTable.entries.append({name, d, t});
        } catch (const AppError&) {
            if (!refused)
                refused = std::current_exception();
            const double time = m_settings.ReadTime(name, keys::Time, 0.0);
            EvTable.entries.append(
                {name, m_settings.ReadDate(name, keys::Date, m_clock.today()), time});
        }
    }

    try {
        batch.commit();
    } catch (const AppError&) {
        // Nothing of it reached the disk: the table holds what the file does.
        if (!refused)
            refused = std::current_exception();
        for (ScheduleEntry& entry : EvTable.entries) {
            entry.time = m_settings.ReadTime(entry.name, keys::Time, 0.0);
            entry.date = m_settings.ReadDate(entry.name, keys::Date, m_clock.today());
        }
    }

    sortByTime(EvTable);
    announceSwitchedOff();
    if (refused)
        std::rethrow_exception(refused);
}

QString Schedule::weekDays(const QString& text, int baseDigit) {
    std::array<bool, 7> listed{};
    bool any = false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'6') {
            listed[u - u'0'] = true;
            any = true;
        }
    }
    if (!any)
        return QString(QChar(char16_t(u'0' + baseDigit)));
    QString days;
    for (int v = 0; v < 7; ++v) {
        if (listed[v])
            days.append(QChar(char16_t(u'0' + v)));
    }
    return days;
}

Schedule::CountdownEnd Schedule::countdownEnd(double start, double gap) {
    // Whole milliseconds first, so that rounding noise in the fractions never
    // takes a second off; then whole seconds, as the file keeps the time.
    const qint64 ms = std::llround((start + gap) * daycount::kMsPerDay);
    constexpr qint64 kDayMs = qint64(daycount::kMsPerDay);
    CountdownEnd end;
    qint64 days = ms / kDayMs;
    qint64 rest = ms % kDayMs;
    if (rest < 0) { // an end already passed yesterday
        rest += kDayMs;
        --days;
    }
    end.days = int(days);
    qint64 second = rest / 1000;
    if (second == 0)
        second = 1;
    end.time = double(second * 1000) / daycount::kMsPerDay;
    return end;
}

Schedule::CountdownEnd Schedule::countdownEnd(const QDateTime& start, double gap) {
    const QDateTime end = start.addMSecs(std::llround(gap * daycount::kMsPerDay));
    CountdownEnd result;
    result.days = daycount::fromDate(end.date()) - daycount::fromDate(start.date());
    // Whole seconds, as the file keeps the time; a stored 00:00:00 means a
    // countdown not started yet.
    const qint64 second = qMax(1, end.time().msecsSinceStartOfDay() / 1000);
    result.time = double(second * 1000) / daycount::kMsPerDay;
    return result;
}

void Schedule::AdvanceTaskDate(const QString& taskName, int dayBack) {
    advanceFrom(taskName, m_clock.today() - dayBack, false, m_clock.timeNow());
    followDate(taskName);
    announceSwitchedOff();
}

void Schedule::AdvanceFiredTask(const QString& taskName, int dueDate) {
    advanceFrom(taskName, dueDate, true, m_clock.timeNow());
    followDate(taskName);
    announceSwitchedOff();
}
void Schedule::followDate(const QString& taskName) {
    for (ScheduleEntry& entry : EvTable.entries) {
        if (entry.name.compare(taskName, Qt::CaseInsensitive) == 0) {
            entry.date = m_settings.ReadDate(taskName, keys::Date, m_clock.today());
            return;
        }
    }
}

void Schedule::moveTo(const QString& taskName, double next) {
    if (next <= daycount::kLastDay) {
        m_settings.WriteDate(taskName, keys::Date, next);
        return;
    }
    // No day of the calendar is left for it: it fires no more. The date it
    // has stays, so it is never written empty (which reads as today, every
    // day), and the switch is written only once, so later recalculations
    // leave the file alone.
    if (m_settings.ReadBool(taskName, keys::Activing, true)) {
        m_settings.WriteBool(taskName, keys::Activing, false);
        m_switchedOff = true;
    }
}

void Schedule::announceSwitchedOff() {
    if (!std::exchange(m_switchedOff, false))
        return;
    if (tasksSwitchedOff)
        tasksSwitchedOff();
}

void Schedule::advanceFrom(const QString& taskName, int base, bool firing, double now) {
    const int rule = m_settings.ReadInteger(taskName, keys::DayOrWeek, 0);

    if (rule == 0) {
        const double gap = m_settings.ReadTime(taskName, keys::TimeGap, 0.0);
        if (gap > 0.0) {
            // A fired countdown runs again: Time 0 makes the recalculation start
            // it from now, and the table is rebuilt at once.
            m_settings.WriteTime(taskName, keys::Time, 0.0);
            RecalcSchedule();
            return;
        }
        // 0 stands for no number too: both count as 1.
        const int day = m_settings.ReadInteger(taskName, keys::Day, 0);
        if (day == 0 &&
            tooLongForAnInteger(m_settings.ReadKeyword(taskName, keys::Day, QString()))) {
            moveTo(taskName, std::numeric_limits<double>::infinity());
            return;
        }
        // In double: a hand-written huge "Day" must not overflow the day count.
        moveTo(taskName, double(base) + double(everyNDays(day)));
        return;
    }

    if (rule == 1) {
        const double t = m_settings.ReadTime(taskName, keys::Time, m_clock.timeNow());
        // A fired task's time on its due day is behind it, whatever the
        // clock says once its sounds have ended.
        const bool passed = firing || now >= t;
        const int w = daycount::weekDayDigit(base);
        const QString s = weekDays(
            m_settings.ReadString(taskName, keys::Week, QString(QChar(char16_t(u'0' + w)))), w);
        const int first = s.front().unicode() - u'0';
        const int last = s.back().unicode() - u'0';

        // No listed day left this week: the first one of next week.
        if (last < w || (last == w && passed)) {
            moveTo(taskName, base + 7 - w + first);
            return;
        }
        // The check above leaves at least the last day to be found here.
        for (QChar c : s) {
            const int v = c.unicode() - u'0';
            if (v > w || (v == w && !passed)) {
                moveTo(taskName, base + v - w);
                return;
            }
        }
    }
    // Any other rule moves nothing.
}
