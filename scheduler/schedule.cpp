#include "schedule.h"

#include "clock.h"
#include "daycount.h"
#include "keys.h"
#include "settingsfile.h"

#include <array>
#include <utility>

namespace {

// The exchange sort the firing order depends on: it is not stable, and the
// order it leaves equal times in decides which of them fires first, so it is
// kept exactly as it is rather than replaced by a library sort.
void sortByTime(TEvRec& table) {
    const int count = table.Count;
    // Raw pointers: a million comparisons at a thousand tasks, and QList's
    // checked access and per-swap detach checks would double their cost.
    QString* names = table.Names.data();
    double* dates = table.Dates.data();
    double* times = table.Times.data();
    for (int j = 0; j < count; ++j) {
        for (int k = 0; k < count; ++k) {
            if (times[j] < times[k]) {
                names[j].swap(names[k]);
                std::swap(dates[j], dates[k]);
                std::swap(times[j], times[k]);
            }
        }
    }
}

} // namespace

Schedule::Schedule(SettingsFile& settings, const Clock& clock)
    : m_settings(settings), m_clock(clock) {}

void Schedule::RecalcSchedule() {
    ActEvArmed = false;
    const double now = m_clock.timeNow();

    m_settings.ReadSections(SectionList);

    EvTable.Names.clear();
    EvTable.Dates.clear();
    EvTable.Times.clear();
    EvTable.Count = 0;
    if (SectionList.size() <= 1)
        return;

    // The first section holds the settings, whatever it is called.
    SectionList.removeFirst();
    const int count = int(SectionList.size());
    EvTable.Names.reserve(count);
    EvTable.Dates.reserve(count);
    EvTable.Times.reserve(count);

    // Entries are added only once complete, so a write refused half-way leaves
    // a table of whole tasks and never an unfilled entry that looks like one.
    try {
        for (int i = 0; i < count; ++i) {
            // A copy: the list is refilled by any recalculation this one leads to.
            const QString name = SectionList.at(i);
            const double gap = m_settings.ReadTime(name, keys::TimeGap, 0.0);
            double t = m_settings.ReadTime(name, keys::Time, 0.0);

            // A countdown not yet started runs from now.
            if (t == 0.0 && gap > 0.0) {
                t = gap + now;
                m_settings.WriteTime(name, keys::Time, t);
                if (t > 1.0) {
                    m_settings.WriteDate(name, keys::Date, m_clock.today() + 1);
                    t -= 1.0;
                }
            }

            // Read after the countdown start, so it holds that start's date.
            double d = m_settings.ReadDate(name, keys::Date, m_clock.today());
            if (gap == 0.0 && m_clock.today() >= d) {
                bool advanced = true;
                switch (m_settings.ReadInteger(name, keys::DayOrWeek, 0)) {
                case 0:
                    // Still ahead today: counting from yesterday keeps N = 1 on today.
                    AdvanceTaskDate(name, t > now ? 1 : 0);
                    break;
                case 1:
                    AdvanceTaskDate(name, 0);
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

            EvTable.Names.append(name);
            EvTable.Times.append(t);
            EvTable.Dates.append(d);
            EvTable.Count = i + 1;
        }
    } catch (...) {
        sortByTime(EvTable);
        throw;
    }

    sortByTime(EvTable);
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

void Schedule::AdvanceTaskDate(const QString& taskName, int dayBack) {
    const int base = m_clock.today() - dayBack;
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
        const int n = m_settings.ReadInteger(taskName, keys::Day, 1);
        // In double: a hand-written huge "Day" must not overflow the day count.
        m_settings.WriteDate(taskName, keys::Date, double(base) + double(n));
        return;
    }

    if (rule == 1) {
        const double now = m_clock.timeNow();
        const double t = m_settings.ReadTime(taskName, keys::Time, now);
        const int w = daycount::weekDayDigit(base);
        const QString s = weekDays(
            m_settings.ReadString(taskName, keys::Week, QString(QChar(char16_t(u'0' + w)))), w);
        const int first = s.front().unicode() - u'0';
        const int last = s.back().unicode() - u'0';

        // No listed day left this week: the first one of next week.
        if (last < w || (last == w && now >= t)) {
            m_settings.WriteDate(taskName, keys::Date, base + 7 - w + first);
            return;
        }
        // The check above leaves at least the last day to be found here.
        for (QChar c : s) {
            const int v = c.unicode() - u'0';
            if (v > w || (v == w && now < t)) {
                m_settings.WriteDate(taskName, keys::Date, base + v - w);
                return;
            }
        }
    }
    // Any other rule moves nothing.
}
