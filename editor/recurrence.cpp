// The repeat rule of the task editor: every N days from a date, or on chosen
// week-days with the picker window; and the picker's place and pin.
#include "editor/taskeditor.h"

#include "editor/weekdaypicker.h"
#include "platform/platform.h"
#include "platform/windowhints.h"
#include "scheduler/schedule.h"
#include "store/clock.h"
#include "store/daycount.h"
#include "store/keys.h"
#include "store/settingsfile.h"
#include "uicommon/radiogroup.h"
#include "uicommon/services.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace {

const QString kDateBeforeToday = QStringLiteral(
    "Указанная дата меньше текущей!\rЗадание сработает в ближайший подходящий день.");

} // namespace

void TaskEditor::rgDaysClick() {
    const int rule = m_ui.repeatRuleGroup->itemIndex();
    // Only a change into week-day mode shows the picker; nothing here
    // hides it.
    if (rule == 1 && m_weekPicker != nullptr &&
        (m_taskList.currentTaskName().isEmpty() ||
         m_s.settings().ReadInteger(m_taskList.currentTaskName(), keys::DayOrWeek, 0) == 0))
        m_weekPicker->show();
    // "Week" and "Date" stay as they are.
    if (autoRecording()) {
        m_s.settings().WriteInteger(m_taskList.currentTaskName(), keys::DayOrWeek, rule);
        reschedule();
    }
}

void TaskEditor::OnAirDateCloseUp() {
    // Only a warning: the date stays as picked.
    if (daycount::fromDate(m_ui.dateEdit->date()) < m_s.clock().today())
        m_s.platform().information(m_ui.window, kDateBeforeToday);
}

void TaskEditor::OnAirDateExit() {
    // The field commits a half-typed date (or goes back to its last whole one)
    // only in its own focus-out, which comes after this handler: commit it
    // first, so that what is stored is what the user typed and the reload
    // below cannot overwrite the typing.
    m_ui.dateEdit->interpretText();
    if (!autoRecording())
        return;
    m_s.settings().WriteDate(m_taskList.currentTaskName(), keys::Date,
                             daycount::fromDate(m_ui.dateEdit->date()));
    // The schedule moves a date of today or earlier on; the picker then shows
    // the day the task will really fire.
    reschedule();
    m_ui.dateEdit->setDate(daycount::toDate(
        m_s.settings().ReadDate(m_taskList.currentTaskName(), keys::Date, m_s.clock().today())));
}

bool TaskEditor::edDayKeyPress(QChar key) {
    if (key == u'\x1b' && !m_taskList.currentTaskName().isEmpty())
        m_ui.dayCountEdit->setText(m_s.settings().ReadKeyword(m_taskList.currentTaskName(),
                                                              keys::Day, QStringLiteral("1")));
    return (key >= u'0' && key <= u'9') || key == u'\b';
}

void TaskEditor::edDayExit() {
    // Refused before anything is written; 0 becomes 1.
    const QString day = checkedDay();
    if (m_ui.dayCountEdit->text() != day)
        m_ui.dayCountEdit->setText(day);
    if (!autoRecording())
        return;
    // A new N restarts the interval from today.
    if (day !=
        m_s.settings().ReadKeyword(m_taskList.currentTaskName(), keys::Day, QStringLiteral("1")))
        m_s.settings().WriteDate(m_taskList.currentTaskName(), keys::Date, m_s.clock().today());
    m_s.settings().WriteString(m_taskList.currentTaskName(), keys::Day, day);
    reschedule();
    m_ui.dateEdit->setDate(daycount::toDate(
        m_s.settings().ReadDate(m_taskList.currentTaskName(), keys::Date, m_s.clock().today())));
}

QString TaskEditor::weekToSave() const {
    if (WeekString.isEmpty() && m_ui.repeatRuleGroup->itemIndex() == 1)
        return QString(QChar(u'0' + daycount::weekDayDigit(m_s.clock().today())));
    return WeekString;
}

void TaskEditor::WriteWeek() {
    if (m_weekPicker == nullptr)
        return;
    // In week-day mode an empty choice means today.
    const int today = m_s.clock().today();
    const int todayDigit = daycount::weekDayDigit(today);
    const bool weekDays = m_ui.repeatRuleGroup->itemIndex() == 1;
    QString week = m_weekPicker->tickedDays();
    if (week.isEmpty() && weekDays)
        week = QString(QChar(u'0' + todayDigit));
    WeekString = week;
    if (!autoRecording())
        return;
    m_s.settings().WriteString(m_taskList.currentTaskName(), keys::Week, week);
    // The next chosen day from today on; today itself only while the
    // task's time is still ahead.
    if (weekDays) {
        const double now = m_s.clock().timeNow();
        const double taskTime =
            m_s.settings().ReadTime(m_taskList.currentTaskName(), keys::Time, now);
        const int first = week.front().unicode() - u'0';
        const int last = week.back().unicode() - u'0';
        int next = today + 7 - todayDigit + first;
        if (!(last < todayDigit || (last == todayDigit && now >= taskTime))) {
            for (QChar c : std::as_const(week)) {
                const int d = c.unicode() - u'0';
                if (d > todayDigit || (d == todayDigit && now < taskTime)) {
                    next = today + (d - todayDigit);
                    break;
                }
            }
        }
        m_s.settings().WriteDate(m_taskList.currentTaskName(), keys::Date, next);
        m_ui.dateEdit->setDate(daycount::toDate(next));
    }
    reschedule();
}

void TaskEditor::LoadWeekSets() {
    if (m_weekPicker == nullptr)
        return;
    const int left = m_s.settings().ReadInteger(keys::MainSection, keys::WeekLeft,
                                                m_ui.window->x() + keys::WeekLeftOffset);
    const int top = m_s.settings().ReadInteger(keys::MainSection, keys::WeekTop,
                                               m_ui.window->y() + keys::WeekTopOffset);
    // A place off every screen of this session comes back on the primary one.
    m_weekPicker->move(canPlaceWindows() ? fitToScreens(QRect(left, top, m_weekPicker->width(),
                                                              m_weekPicker->height()),
                                                        m_weekPicker->size())
                                               .topLeft()
                                         : QPoint(left, top));
    m_weekPicker->pinBox()->setChecked(
        m_s.settings().ReadBool(keys::MainSection, keys::WeekHold, false));
    showTodaysWeekDay();
}

void TaskEditor::showTodaysWeekDay() {
    if (m_weekPicker != nullptr)
        m_ui.weekDayLabel->setText(
            m_weekPicker->dayList()->item(daycount::weekDayDigit(m_s.clock().today()))->text());
}

void TaskEditor::SaveWeekSets() {
    if (m_weekPicker == nullptr || !m_s.isOpen())
        return;
    // A session that cannot report positions keeps the stored ones.
    if (canPlaceWindows()) {
        m_s.settings().WriteInteger(keys::MainSection, keys::WeekLeft, m_weekPicker->x());
        m_s.settings().WriteInteger(keys::MainSection, keys::WeekTop, m_weekPicker->y());
    }
    m_s.settings().WriteBool(keys::MainSection, keys::WeekHold, m_weekPicker->isPinned());
}

void TaskEditor::followTaskDate(const QString& name) {
    // The picker's handlers run on the user's leaving and closing it, not on
    // a date set from here.
    if (name == m_taskList.currentTaskName())
        m_ui.dateEdit->setDate(
            daycount::toDate(m_s.settings().ReadDate(name, keys::Date, m_s.clock().today())));
}
