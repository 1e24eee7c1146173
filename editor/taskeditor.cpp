// The task editor: loading a task into the fields, saving it, and the fields'
// own handlers with auto-record.
#include "editor/taskeditor.h"

#include "editor/weekdaypicker.h"
#include "platform/platform.h"
#include "scheduler/schedule.h"
#include "store/clock.h"
#include "store/daycount.h"
#include "store/keys.h"
#include "store/settingsfile.h"
#include "store/taskaction.h"
#include "uicommon/eventchecklist.h"
#include "uicommon/focushandlers.h"
#include "uicommon/handlerguard.h"
#include "uicommon/maskedtimeedit.h"
#include "uicommon/radiogroup.h"
#include "uicommon/services.h"
#include "uicommon/updown.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

const QString kEmptyName =
    QStringLiteral("Недопустимое имя задания.\rВведите хотябы один символ, отличный от пробела");
const QString kNameExists = QStringLiteral("Настройка с таким именем уже есть.\rПереписать?");
const QString kMainTaken =
    QStringLiteral("Имя \"Main\" занято настройками программы.\rВведите другое имя задания");
const QString kOutOfRange = QStringLiteral("Промежуток должен быть\rот 00:00:00 до 23:59:59.");
const QString kDefaultName = QStringLiteral("Default");
const QString kRussianLayout = QStringLiteral("00000419");
const QString kEnglishLayout = QStringLiteral("00000409");

QString newTaskMarker() {
    return keys::NewTaskMarker.toString();
}

QString notAnInteger(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

// Digits only, too many for an integer.
bool tooLongNumber(const QString& text) {
    bool ok = false;
    (void)text.toInt(&ok);
    return !ok && !text.isEmpty() &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

TaskEditor::TaskEditor(Services& services, EditorTaskList& taskList, const Controls& controls,
                       QObject* parent)
    : QObject(parent), m_s(services), m_taskList(taskList), m_ui(controls) {
    auto* focus = new FocusHandlers(this);
    const auto run = [this](void (TaskEditor::*handler)()) {
        return m_s.guard().slot(this, handler);
    };

    connect(m_ui.saveButton, &QToolButton::clicked, this, run(&TaskEditor::sbSaveEventClick));

    connect(m_ui.timeEdit, &MaskedTimeEdit::exited, this, run(&TaskEditor::edTimeExit));
    connect(m_ui.timeEdit, &MaskedTimeEdit::invalidInput, this,
            [this](const QString& message) { m_s.guard().showErrorBox(message); });

    connect(m_ui.countdownBox, &QCheckBox::toggled, this, run(&TaskEditor::cbHoursClick));
    focus->watch(m_ui.countdownBox, {}, run(&TaskEditor::cbHoursExit));

    connect(m_ui.actionGroup, &RadioGroup::itemIndexChanged, this, run(&TaskEditor::rgChooseClick));
    focus->watch(m_ui.actionGroup, {}, run(&TaskEditor::rgChooseExit));

    connect(m_ui.browseButton, &QToolButton::clicked, this, run(&TaskEditor::sbOpenDlgClick));
    new EventHook(m_ui.programPath, [this](QObject*, QEvent* event) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            m_s.guard().run([this] { edAppDblClick(); });
            return true;
        }
        return false;
    });
    focus->watch(m_ui.programPath, {}, run(&TaskEditor::edAppExit));

    // The user's choices only: loading a task sets the sound silently.
    connect(m_ui.soundBox, &QComboBox::activated, this, run(&TaskEditor::cbEvSoundChange));

    connect(m_ui.repeatUpDown, &UpDown::clicked, this, run(&TaskEditor::udOnesClick));
    connect(m_ui.repeatCount, &QLineEdit::textChanged, this, run(&TaskEditor::edOnesChange));
    focus->watch(m_ui.repeatCount, {}, run(&TaskEditor::edOnesExit));

    focus->watch(m_ui.messageEdit, run(&TaskEditor::edMsgEnter), run(&TaskEditor::edMsgExit));

    // The repeat rule.
    connect(m_ui.repeatRuleGroup, &RadioGroup::itemIndexChanged, this,
            run(&TaskEditor::rgDaysClick));
    focus->watch(m_ui.dateEdit, {}, run(&TaskEditor::OnAirDateExit));
    // The calendar is a popup of its own; its closing is the close-up. The
    // field makes it when it first drops down, which only a press on the
    // field can start: it is hooked at the first press, rather than built at
    // start-up for every run.
    new EventHook(m_ui.dateEdit, [this, hooked = false](QObject*, QEvent* event) mutable {
        const QEvent::Type type = event->type();
        if (hooked || (type != QEvent::MouseButtonPress && type != QEvent::KeyPress))
            return false;
        hooked = true;
        new EventHook(m_ui.dateEdit->calendarWidget()->window(), [this](QObject*, QEvent* e) {
            if (e->type() == QEvent::Hide)
                m_s.guard().run([this] { OnAirDateCloseUp(); });
            return false;
        });
        return false;
    });
    new EventHook(m_ui.dayCountEdit, [this](QObject*, QEvent* event) {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        // Tab and Shift+Tab move the focus on, as from every other field;
        // they are no characters of the field's filter.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;
        // Keys that type no character (arrows, Delete, Home) are no key
        // presses of the field's filter.
        if (key->text().isEmpty() || key->key() == Qt::Key_Delete)
            return false;
        bool keep = false;
        m_s.guard().run([&] { keep = edDayKeyPress(key->text().at(0)); });
        return !keep;
    });
    focus->watch(m_ui.dayCountEdit, {}, run(&TaskEditor::edDayExit));
}

bool TaskEditor::autoRecording() const {
    return m_ui.autoRecordBox->isChecked() && !m_taskList.currentTaskName().isEmpty();
}

void TaskEditor::reschedule() {
    m_s.schedule().RecalcSchedule();
    m_taskList.ApplySavedSort();
}

void TaskEditor::writeCountdownEnd(const QString& task, double end) {
    // The task fires on its date at its time: the date is the day the end
    // falls on, today or tomorrow, whatever it was before; the time as the
    // schedule keeps a countdown's end (an end on midnight exactly is one
    // second after it, since 00:00:00 means "not started").
    const Schedule::CountdownEnd at = Schedule::countdownEnd(end, 0.0);
    m_s.settings().WriteTime(task, keys::Time, at.time);
    m_s.settings().WriteDate(task, keys::Date, m_s.clock().today() + at.days);
}

QString TaskEditor::checkedDay() const {
    const QString text = m_ui.dayCountEdit->text();
    if (text.trimmed().isEmpty())
        return QStringLiteral("1");
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw AppError(notAnInteger(text));
    return value < 1 ? QStringLiteral("1") : text;
}

void TaskEditor::ShowEvent(const QString& name) {
    SettingsFile& f = m_s.settings();
    const int today = m_s.clock().today();
    const bool newTask = name == newTaskMarker();
    // The repeat rule; a changed group runs rgDaysClick.
    m_ui.dateEdit->setDate(daycount::toDate(f.ReadDate(name, keys::Date, today)));
    // Every 0 days counts as every day, in the field as in the schedule.
    // A number too long for an integer is shown as stored: the field then
    // refuses it rather than let it become 1 unseen.
    const QString day = f.ReadKeyword(name, keys::Day, QStringLiteral("1"));
    m_ui.dayCountEdit->setText(day.toInt() < 1 && !tooLongNumber(day) ? QStringLiteral("1") : day);
    m_ui.repeatRuleGroup->setItemIndex(f.ReadInteger(name, keys::DayOrWeek, 0));
    // The picker follows the rule, unless it is pinned open. It gets
    // the task's days even while hidden, and they become the pending week
    // string: what the picker shows, whenever it shows, is what "Ok" saves.
    const QString week = f.ReadKeyword(name, keys::Week, QString());
    WeekString = week;
    if (m_weekPicker != nullptr) {
        const int rule = m_ui.repeatRuleGroup->itemIndex();
        if (rule == 0 && !m_weekPicker->isPinned())
            m_weekPicker->hide();
        else if (rule == 1 && !m_weekPicker->isVisible())
            m_weekPicker->show();
        m_weekPicker->ShowDays(week);
        WeekString = m_weekPicker->tickedDays();
    }
    // A changed countdown box runs cbHoursClick first.
    const double gap = f.ReadTime(name, keys::TimeGap, 0.0);
    if (gap > 0) {
        m_ui.countdownBox->setChecked(true);
        m_ui.timeEdit->setTimeValue(gap);
    } else {
        m_ui.countdownBox->setChecked(false);
        m_ui.timeEdit->setTimeValue(f.ReadTime(name, keys::Time, m_s.clock().timeNow()));
    }
    m_ui.messageEdit->setText(f.ReadString(name, keys::Message, QString()));
    if (!newTask)
        m_ui.taskList->setFocus(Qt::OtherFocusReason);
    // A changed action runs rgChooseClick.
    m_ui.actionGroup->setItemIndex(f.ReadInteger(name, keys::Action, 0));
    if (m_ui.actionGroup->itemIndex() == int(TaskAction::OpenApp))
        m_ui.programPath->setText(f.ReadString(name, keys::App, QString()));
    // Out of range leaves no selection.
    const int sound = f.ReadInteger(name, keys::Sound, 0);
    m_ui.soundBox->setCurrentIndex(sound >= 0 && sound < m_ui.soundBox->count() ? sound : -1);
    m_ui.repeatUpDown->setPosition(f.ReadInteger(name, keys::Ones, 1));
    m_ui.repeatCount->setText(QString::number(m_ui.repeatUpDown->position()));
    if (!newTask) {
        m_taskList.showTaskLabels(name);
        m_ui.nameBox->setEditText(name);
    } else {
        m_taskList.clearTaskLabels();
        m_taskList.setCurrentTaskName(QString());
        // A new task is named after its time, at first the current time.
        m_ui.nameBox->setEditText(m_ui.timeEdit->timeText());
        m_ui.dateEdit->setDate(daycount::toDate(today));
        m_ui.dayCountEdit->setText(QStringLiteral("1"));
        // A new task starts from what the picker shows: no day.
        WeekString.clear();
        if (m_weekPicker != nullptr)
            m_weekPicker->ClearAllDays();
    }
    m_ui.saveButton->setEnabled(true);
}

void TaskEditor::sbSaveEventClick() {
    // Leading blanks and control characters go; trailing ones stay.
    QString name = m_ui.nameBox->currentText();
    qsizetype lead = 0;
    while (lead < name.size() && name.at(lead) <= u' ')
        ++lead;
    name.remove(0, lead);
    if (name.isEmpty()) {
        m_s.platform().errorBox(m_ui.window, kEmptyName);
        return;
    }
    // The settings section is no task: a task under its name would rewrite
    // the program's options.
    if (SettingsFile::sameSection(name, keys::MainSection)) {
        m_s.platform().errorBox(m_ui.window, kMainTaken);
        return;
    }
    // The time is checked before anything is written, so a bad time leaves
    // no half-written task behind.
    const double fieldTime = m_ui.timeEdit->timeValue();
    // So is the repeat-days number.
    const QString day = checkedDay();

    // The file matches section names without regard to case or to the
    // blanks around them, so such a name would overwrite that task: ask for
    // it as well.
    bool active = true;
    // A copy: while the question is open the clock may fire a countdown,
    // whose restart refills the schedule's section list.
    const QStringList sections = m_s.schedule().SectionList;
    for (const QString& existing : sections) {
        if (!SettingsFile::sameSection(existing, name))
            continue;
        if (!m_s.platform().question(m_ui.window, kNameExists))
            return;
        const QList<QListWidgetItem*> items =
            m_ui.taskList->findItems(existing, Qt::MatchFixedString);
        active = items.isEmpty() ? m_s.settings().ReadBool(existing, keys::Activing, true)
                                 : items.constFirst()->checkState() == Qt::Checked;
        break;
    }

    // The keys in their order.
    SettingsFile& f = m_s.settings();
    f.WriteBool(name, keys::Activing, active);
    f.WriteDate(name, keys::Date, daycount::fromDate(m_ui.dateEdit->date()));
    f.WriteInteger(name, keys::DayOrWeek, m_ui.repeatRuleGroup->itemIndex());
    if (m_ui.dayCountEdit->text() != day)
        m_ui.dayCountEdit->setText(day);
    f.WriteString(name, keys::Day, day);
    // In week-day mode no day chosen means today, as when the picker is left.
    f.WriteString(name, keys::Week, weekToSave());
    if (m_ui.countdownBox->isChecked()) {
        f.WriteTime(name, keys::TimeGap, fieldTime);
        writeCountdownEnd(name, m_s.clock().timeNow() + fieldTime);
    } else {
        f.DeleteKey(name, keys::TimeGap);
        f.WriteTime(name, keys::Time, fieldTime);
    }
    f.WriteString(name, keys::Message, m_ui.messageEdit->text());
    const int action = m_ui.actionGroup->itemIndex();
    f.WriteInteger(name, keys::Action, action);
    if (action == int(TaskAction::OpenApp))
        f.WriteString(name, keys::App, m_ui.programPath->text());
    f.WriteInteger(name, keys::Sound, m_ui.soundBox->currentIndex());
    f.WriteInteger(name, keys::Ones, m_ui.repeatUpDown->position());

    // A task saved as new becomes the current one only when chosen.
    reschedule();
    ShowEvent(name);
}

void TaskEditor::edTimeExit() {
    // A check of the text: "24:00:00" fails, "12:75:00" passes here.
    const QString text = m_ui.timeEdit->timeText();
    if (text > QStringLiteral("23:59:59")) {
        m_ui.timeEdit->takeFocusBack();
        m_s.platform().errorBox(m_ui.window, kOutOfRange);
        return;
    }
    const QString boxName = m_ui.nameBox->currentText();
    if (boxName.isEmpty() || boxName == kDefaultName) {
        m_ui.nameBox->setEditText(text);
        m_ui.saveButton->setEnabled(true);
    }
    // A changed interval moves the end of the running countdown by the
    // change; it does not start the countdown again.
    if (autoRecording()) {
        SettingsFile& f = m_s.settings();
        const double value = m_ui.timeEdit->timeValue();
        if (m_ui.countdownBox->isChecked()) {
            // The running countdown started at its end less its interval:
            // today, or yesterday when that time of day is still to come
            // (it runs past midnight). The new end is that start plus the
            // new interval, so an end that moves back before midnight is
            // today's again. Whole milliseconds, as the file's times are.
            const auto ms = [](double v) { return std::llround(v * daycount::kMsPerDay); };
            const qint64 day = ms(1.0);
            const qint64 now = ms(m_s.clock().timeNow());
            const qint64 endBefore = ms(f.ReadTime(m_taskList.currentTaskName(), keys::Time, 0.0));
            const qint64 gapBefore =
                ms(f.ReadTime(m_taskList.currentTaskName(), keys::TimeGap, 0.0));
            qint64 start = ((endBefore - gapBefore) % day + day) % day;
            if (start > now)
                start -= day;
            const double end = double(start + ms(value)) / daycount::kMsPerDay;
            writeCountdownEnd(m_taskList.currentTaskName(), end);
            f.WriteTime(m_taskList.currentTaskName(), keys::TimeGap, value);
        } else {
            f.WriteTime(m_taskList.currentTaskName(), keys::Time, value);
        }
    }
    // Also when nothing was written.
    m_taskList.showCurrentTaskTime();
    reschedule();
}

void TaskEditor::cbHoursClick() {
    if (m_ui.countdownBox->isChecked()) {
        m_ui.timeEdit->clear();
        m_ui.timeEdit->setText(QStringLiteral("00:00:00"));
    } else {
        m_ui.timeEdit->setTimeValue(m_s.clock().timeNow());
    }
}

void TaskEditor::cbHoursExit() {
    if (autoRecording()) {
        SettingsFile& f = m_s.settings();
        if (m_ui.countdownBox->isChecked()) {
            // The interval as typed; the countdown starts now.
            f.WriteString(m_taskList.currentTaskName(), keys::TimeGap, m_ui.timeEdit->timeText());
            writeCountdownEnd(m_taskList.currentTaskName(),
                              m_s.clock().timeNow() + m_ui.timeEdit->timeValue());
        } else {
            f.DeleteKey(m_taskList.currentTaskName(), keys::TimeGap);
            f.WriteTime(m_taskList.currentTaskName(), keys::Time, m_ui.timeEdit->timeValue());
        }
    }
    m_taskList.showCurrentTaskTime();
    reschedule();
}

void TaskEditor::rgChooseClick() {
    const int action = m_ui.actionGroup->itemIndex();
    if (autoRecording())
        m_s.settings().WriteInteger(m_taskList.currentTaskName(), keys::Action, action);
    m_ui.programPanel->setVisible(action == int(TaskAction::OpenApp));
    m_ui.programPath->setText(
        m_taskList.currentTaskName().isEmpty()
            ? QString()
            : m_s.settings().ReadString(m_taskList.currentTaskName(), keys::App, QString()));
}

void TaskEditor::rgChooseExit() {
    if (autoRecording())
        m_s.settings().WriteInteger(m_taskList.currentTaskName(), keys::Action,
                                    m_ui.actionGroup->itemIndex());
}

void TaskEditor::OpenDlg() {
    // The root of the file system, as the other system's dialog opened in "C:\".
    const QString path = m_s.platform().getOpenFileName(m_ui.window, QStringLiteral("/"));
    if (!path.isEmpty())
        m_ui.programPath->setText(path);
    // Picked or not, the field's text is recorded.
    if (autoRecording())
        m_s.settings().WriteString(m_taskList.currentTaskName(), keys::App,
                                   m_ui.programPath->text());
}

void TaskEditor::edAppDblClick() {
    OpenDlg();
}

void TaskEditor::sbOpenDlgClick() {
    OpenDlg();
}

void TaskEditor::edAppExit() {
    if (autoRecording())
        m_s.settings().WriteString(m_taskList.currentTaskName(), keys::App,
                                   m_ui.programPath->text());
}

void TaskEditor::cbEvSoundChange() {
    if (autoRecording())
        m_s.settings().WriteInteger(m_taskList.currentTaskName(), keys::Sound,
                                    m_ui.soundBox->currentIndex());
}

void TaskEditor::udOnesClick() {
    m_ui.repeatCount->setText(QString::number(m_ui.repeatUpDown->position()));
    if (autoRecording())
        m_s.settings().WriteInteger(m_taskList.currentTaskName(), keys::Ones,
                                    m_ui.repeatUpDown->position());
}

void TaskEditor::edOnesChange() {
    const QString text = m_ui.repeatCount->text();
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw AppError(notAnInteger(text));
    // The arrows start at 1: a typed 0 becomes their lowest value.
    if (value < m_ui.repeatUpDown->minimum()) {
        m_ui.repeatCount->setText(QString::number(m_ui.repeatUpDown->minimum()));
        return;
    }
    m_ui.repeatUpDown->setPosition(value);
}

void TaskEditor::edOnesExit() {
    if (autoRecording())
        m_s.settings().WriteInteger(m_taskList.currentTaskName(), keys::Ones,
                                    m_ui.repeatUpDown->position());
}

void TaskEditor::edMsgEnter() {
    m_s.platform().activateKeyboardLayout(kRussianLayout);
}

void TaskEditor::edMsgExit() {
    m_s.platform().activateKeyboardLayout(kEnglishLayout);
    if (autoRecording())
        m_s.settings().WriteString(m_taskList.currentTaskName(), keys::Message,
                                   m_ui.messageEdit->text());
}
