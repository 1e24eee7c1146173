// The task editor: loading a task into the fields, saving it, and the fields'
// own handlers with auto-record.
#include "tfmtocsiner.h"
#include "ui_tfmtocsiner.h"

#include "clock.h"
#include "daycount.h"
#include "focushandlers.h"
#include "keys.h"
#include "maskedtimeedit.h"
#include "platform.h"
#include "schedule.h"
#include "settingsfile.h"
#include "tfmweek.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QListWidget>

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
constexpr int kAppAction = 3;

QString newTaskMarker() {
    return keys::NewTaskMarker.toString();
}

} // namespace

void TfmTocsiner::connectEditor() {
    auto* focus = new FocusHandlers(this);
    auto run = [this](void (TfmTocsiner::*handler)()) {
        return [this, handler] { guarded([this, handler] { (this->*handler)(); }); };
    };

    connect(ui->sbSaveEvent, &QToolButton::clicked, this, run(&TfmTocsiner::sbSaveEventClick));

    connect(ui->edTime, &MaskedTimeEdit::exited, this, run(&TfmTocsiner::edTimeExit));
    connect(ui->edTime, &MaskedTimeEdit::invalidInput, this,
            [this](const QString& message) { showErrorBox(message); });

    connect(ui->cbHours, &QCheckBox::toggled, this, run(&TfmTocsiner::cbHoursClick));
    focus->watch(ui->cbHours, {}, run(&TfmTocsiner::cbHoursExit));

    connect(ui->rgChoose, &RadioGroup::itemIndexChanged, this, run(&TfmTocsiner::rgChooseClick));
    focus->watch(ui->rgChoose, {}, run(&TfmTocsiner::rgChooseExit));

    connect(ui->sbOpenDlg, &QToolButton::clicked, this, run(&TfmTocsiner::sbOpenDlgClick));
    new EventHook(ui->edApp, [this](QObject*, QEvent* event) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            guarded([this] { edAppDblClick(); });
            return true;
        }
        return false;
    });
    focus->watch(ui->edApp, {}, run(&TfmTocsiner::edAppExit));

    // The user's choices only: loading a task sets the sound silently.
    connect(ui->cbEvSound, &QComboBox::activated, this, run(&TfmTocsiner::cbEvSoundChange));

    connect(ui->udOnes, &UpDown::clicked, this, run(&TfmTocsiner::udOnesClick));
    connect(ui->edOnes, &QLineEdit::textChanged, this, run(&TfmTocsiner::edOnesChange));
    focus->watch(ui->edOnes, {}, run(&TfmTocsiner::edOnesExit));

    focus->watch(ui->edMsg, run(&TfmTocsiner::edMsgEnter), run(&TfmTocsiner::edMsgExit));

    // The repeat rule.
    connect(ui->rgDays, &RadioGroup::itemIndexChanged, this, run(&TfmTocsiner::rgDaysClick));
    focus->watch(ui->OnAirDate, {}, run(&TfmTocsiner::OnAirDateExit));
    // The calendar is a popup of its own; its closing is the close-up. The
    // field makes it when it first drops down, which only a press on the
    // field can start: it is hooked at the first press, rather than built at
    // start-up for every run.
    new EventHook(ui->OnAirDate, [this, hooked = false](QObject*, QEvent* event) mutable {
        const QEvent::Type type = event->type();
        if (hooked || (type != QEvent::MouseButtonPress && type != QEvent::KeyPress))
            return false;
        hooked = true;
        new EventHook(ui->OnAirDate->calendarWidget()->window(), [this](QObject*, QEvent* e) {
            if (e->type() == QEvent::Hide)
                guarded([this] { OnAirDateCloseUp(); });
            return false;
        });
        return false;
    });
    new EventHook(ui->edDay, [this](QObject*, QEvent* event) {
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
        guarded([&] { keep = edDayKeyPress(key->text().at(0)); });
        return !keep;
    });
    focus->watch(ui->edDay, {}, run(&TfmTocsiner::edDayExit));
}

bool TfmTocsiner::autoRecording() const {
    return ui->cbARec->isChecked() && !CurrentTaskName.isEmpty();
}

void TfmTocsiner::reschedule() {
    m_schedule->RecalcSchedule();
    ApplySavedSort();
}

void TfmTocsiner::refreshEvTime() {
    if (!CurrentTaskName.isEmpty())
        ui->lbEvTime->setText(m_formats.formatTime(
            m_settings->ReadTime(CurrentTaskName, keys::Time, m_clock.timeNow())));
}

void TfmTocsiner::writeCountdownEnd(const QString& task, double end) {
    // The task fires on its date at its time: the date is the day the end
    // falls on, today or tomorrow, whatever it was before; the time as the
    // schedule keeps a countdown's end (an end on midnight exactly is one
    // second after it, since 00:00:00 means "not started").
    const Schedule::CountdownEnd at = Schedule::countdownEnd(end, 0.0);
    m_settings->WriteTime(task, keys::Time, at.time);
    m_settings->WriteDate(task, keys::Date, m_clock.today() + at.days);
}

void TfmTocsiner::ShowEvent(const QString& name) {
    SettingsFile& f = *m_settings;
    const int today = m_clock.today();
    const bool newTask = name == newTaskMarker();
    // 1-3. The repeat rule; a changed group runs rgDaysClick.
    ui->OnAirDate->setDate(daycount::toDate(f.ReadDate(name, keys::Date, today)));
    // Every 0 days counts as every day, in the field as in the schedule.
    const QString day = f.ReadKeyword(name, keys::Day, QStringLiteral("1"));
    ui->edDay->setText(day.toInt() < 1 ? QStringLiteral("1") : day);
    ui->rgDays->setItemIndex(f.ReadInteger(name, keys::DayOrWeek, 0));
    // 4, 5. The picker follows the rule, unless it is pinned open. It gets
    // the task's days even while hidden, and they become the pending week
    // string: what the picker shows, whenever it shows, is what "Ok" saves.
    const QString week = f.ReadKeyword(name, keys::Week, QString());
    WeekString = week;
    if (fmWeek != nullptr) {
        const int rule = ui->rgDays->itemIndex();
        if (rule == 0 && !fmWeek->isPinned())
            fmWeek->hide();
        else if (rule == 1 && !fmWeek->isVisible())
            fmWeek->show();
        fmWeek->ShowDays(week);
        WeekString = fmWeek->tickedDays();
    }
    // 6. A changed countdown box runs cbHoursClick first.
    const double gap = f.ReadTime(name, keys::TimeGap, 0.0);
    if (gap > 0) {
        ui->cbHours->setChecked(true);
        ui->edTime->setTimeValue(gap);
    } else {
        ui->cbHours->setChecked(false);
        ui->edTime->setTimeValue(f.ReadTime(name, keys::Time, m_clock.timeNow()));
    }
    // 7, 8.
    ui->edMsg->setText(f.ReadString(name, keys::Message, QString()));
    if (!newTask)
        ui->clbEvents->setFocus(Qt::OtherFocusReason);
    // 9, 10. A changed action runs rgChooseClick.
    ui->rgChoose->setItemIndex(f.ReadInteger(name, keys::Action, 0));
    if (ui->rgChoose->itemIndex() == kAppAction)
        ui->edApp->setText(f.ReadString(name, keys::App, QString()));
    // 11. Out of range leaves no selection.
    const int sound = f.ReadInteger(name, keys::Sound, 0);
    ui->cbEvSound->setCurrentIndex(sound >= 0 && sound < ui->cbEvSound->count() ? sound : -1);
    // 12.
    ui->udOnes->setPosition(f.ReadInteger(name, keys::Ones, 1));
    ui->edOnes->setText(QString::number(ui->udOnes->position()));
    // 13, 14.
    ui->lbEvName->setText(name);
    if (!newTask) {
        ui->lbEvTime->setText(
            m_formats.formatTime(f.ReadTime(name, keys::Time, m_clock.timeNow())));
        ui->evName->setEditText(name);
    } else {
        ui->lbEvTime->clear();
        CurrentTaskName.clear();
        // A new task is named after its time, at first the current time.
        ui->evName->setEditText(ui->edTime->timeText());
        ui->lbEvName->clear();
        ui->OnAirDate->setDate(daycount::toDate(today));
        ui->edDay->setText(QStringLiteral("1"));
        // A new task starts from what the picker shows: no day.
        WeekString.clear();
        if (fmWeek != nullptr)
            fmWeek->ClearAllDays();
    }
    // 15.
    ui->sbSaveEvent->setEnabled(true);
}

void TfmTocsiner::sbSaveEventClick() {
    // 1. Leading blanks and control characters go; trailing ones stay.
    QString name = ui->evName->currentText();
    qsizetype lead = 0;
    while (lead < name.size() && name.at(lead) <= u' ')
        ++lead;
    name.remove(0, lead);
    if (name.isEmpty()) {
        m_platform.errorBox(this, kEmptyName);
        return;
    }
    // The settings section is no task: a task under its name would rewrite
    // the program's options.
    if (SettingsFile::sameSection(name, keys::MainSection)) {
        m_platform.errorBox(this, kMainTaken);
        return;
    }
    // The time is checked before anything is written, so a bad time leaves
    // no half-written task behind.
    const double fieldTime = ui->edTime->timeValue();

    // 2, 3. The file matches section names without regard to case or to the
    // blanks around them, so such a name would overwrite that task: ask for
    // it as well.
    bool active = true;
    // A copy: while the question is open the clock may fire a countdown,
    // whose restart refills the schedule's section list.
    const QStringList sections = m_schedule->SectionList;
    for (const QString& existing : sections) {
        if (!SettingsFile::sameSection(existing, name))
            continue;
        if (!m_platform.question(this, kNameExists))
            return;
        const QList<QListWidgetItem*> items =
            ui->clbEvents->findItems(existing, Qt::MatchFixedString);
        active = items.isEmpty() ? m_settings->ReadBool(existing, keys::Activing, true)
                                 : items.constFirst()->checkState() == Qt::Checked;
        break;
    }

    // 4. The keys in their order.
    SettingsFile& f = *m_settings;
    f.WriteBool(name, keys::Activing, active);
    f.WriteDate(name, keys::Date, daycount::fromDate(ui->OnAirDate->date()));
    f.WriteInteger(name, keys::DayOrWeek, ui->rgDays->itemIndex());
    // Every 0 days would never come round: like the repeat count, it is 1.
    if (ui->edDay->text().toInt() < 1)
        ui->edDay->setText(QStringLiteral("1"));
    f.WriteString(name, keys::Day, ui->edDay->text());
    // In week-day mode no day chosen means today, as when the picker is left.
    f.WriteString(name, keys::Week, weekToSave());
    if (ui->cbHours->isChecked()) {
        f.WriteTime(name, keys::TimeGap, fieldTime);
        writeCountdownEnd(name, m_clock.timeNow() + fieldTime);
    } else {
        f.DeleteKey(name, keys::TimeGap);
        f.WriteTime(name, keys::Time, fieldTime);
    }
    f.WriteString(name, keys::Message, ui->edMsg->text());
    const int action = ui->rgChoose->itemIndex();
    f.WriteInteger(name, keys::Action, action);
    if (action == kAppAction)
        f.WriteString(name, keys::App, ui->edApp->text());
    f.WriteInteger(name, keys::Sound, ui->cbEvSound->currentIndex());
    f.WriteInteger(name, keys::Ones, ui->udOnes->position());

    // 5. A task saved as new becomes the current one only when chosen.
    reschedule();
    ShowEvent(name);
}

void TfmTocsiner::edTimeExit() {
    // 1. A check of the text: "24:00:00" fails, "12:75:00" passes here.
    const QString text = ui->edTime->timeText();
    if (text > QStringLiteral("23:59:59")) {
        ui->edTime->takeFocusBack();
        m_platform.errorBox(this, kOutOfRange);
        return;
    }
    // 2.
    const QString boxName = ui->evName->currentText();
    if (boxName.isEmpty() || boxName == kDefaultName) {
        ui->evName->setEditText(text);
        ui->sbSaveEvent->setEnabled(true);
    }
    // 3. A changed interval moves the end of the running countdown by the
    // change; it does not start the countdown again.
    if (autoRecording()) {
        SettingsFile& f = *m_settings;
        const double value = ui->edTime->timeValue();
        if (ui->cbHours->isChecked()) {
            // The running countdown started at its end less its interval:
            // today, or yesterday when that time of day is still to come
            // (it runs past midnight). The new end is that start plus the
            // new interval, so an end that moves back before midnight is
            // today's again. Whole milliseconds, as the file's times are.
            const auto ms = [](double v) { return std::llround(v * daycount::kMsPerDay); };
            const qint64 day = ms(1.0);
            const qint64 now = ms(m_clock.timeNow());
            const qint64 endBefore = ms(f.ReadTime(CurrentTaskName, keys::Time, 0.0));
            const qint64 gapBefore = ms(f.ReadTime(CurrentTaskName, keys::TimeGap, 0.0));
            qint64 start = ((endBefore - gapBefore) % day + day) % day;
            if (start > now)
                start -= day;
            const double end = double(start + ms(value)) / daycount::kMsPerDay;
            writeCountdownEnd(CurrentTaskName, end);
            f.WriteTime(CurrentTaskName, keys::TimeGap, value);
        } else {
            f.WriteTime(CurrentTaskName, keys::Time, value);
        }
    }
    // 4, 5. Also when nothing was written.
    refreshEvTime();
    reschedule();
}

void TfmTocsiner::cbHoursClick() {
    if (ui->cbHours->isChecked()) {
        ui->edTime->clear();
        ui->edTime->setText(QStringLiteral("00:00:00"));
    } else {
        ui->edTime->setTimeValue(m_clock.timeNow());
    }
}

void TfmTocsiner::cbHoursExit() {
    if (autoRecording()) {
        SettingsFile& f = *m_settings;
        if (ui->cbHours->isChecked()) {
            // The interval as typed; the countdown starts now.
            f.WriteString(CurrentTaskName, keys::TimeGap, ui->edTime->timeText());
            writeCountdownEnd(CurrentTaskName, m_clock.timeNow() + ui->edTime->timeValue());
        } else {
            f.DeleteKey(CurrentTaskName, keys::TimeGap);
            f.WriteTime(CurrentTaskName, keys::Time, ui->edTime->timeValue());
        }
    }
    refreshEvTime();
    reschedule();
}

void TfmTocsiner::rgChooseClick() {
    const int action = ui->rgChoose->itemIndex();
    if (autoRecording())
        m_settings->WriteInteger(CurrentTaskName, keys::Action, action);
    ui->plAppCtrl->setVisible(action == kAppAction);
    ui->edApp->setText(CurrentTaskName.isEmpty()
                           ? QString()
                           : m_settings->ReadString(CurrentTaskName, keys::App, QString()));
}

void TfmTocsiner::rgChooseExit() {
    if (autoRecording())
        m_settings->WriteInteger(CurrentTaskName, keys::Action, ui->rgChoose->itemIndex());
}

void TfmTocsiner::OpenDlg() {
    // The root of the file system, as the other system's dialog opened in "C:\".
    const QString path = m_platform.getOpenFileName(this, QStringLiteral("/"));
    if (!path.isEmpty())
        ui->edApp->setText(path);
    // Picked or not, the field's text is recorded.
    if (autoRecording())
        m_settings->WriteString(CurrentTaskName, keys::App, ui->edApp->text());
}

void TfmTocsiner::edAppDblClick() {
    OpenDlg();
}

void TfmTocsiner::sbOpenDlgClick() {
    OpenDlg();
}

void TfmTocsiner::edAppExit() {
    if (autoRecording())
        m_settings->WriteString(CurrentTaskName, keys::App, ui->edApp->text());
}

void TfmTocsiner::cbEvSoundChange() {
    if (autoRecording())
        m_settings->WriteInteger(CurrentTaskName, keys::Sound, ui->cbEvSound->currentIndex());
}

void TfmTocsiner::udOnesClick() {
    ui->edOnes->setText(QString::number(ui->udOnes->position()));
    if (autoRecording())
        m_settings->WriteInteger(CurrentTaskName, keys::Ones, ui->udOnes->position());
}

void TfmTocsiner::edOnesChange() {
    const QString text = ui->edOnes->text();
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    // The arrows start at 1: a typed 0 becomes their lowest value.
    if (value < ui->udOnes->minimum()) {
        ui->edOnes->setText(QString::number(ui->udOnes->minimum()));
        return;
    }
    ui->udOnes->setPosition(value);
}

void TfmTocsiner::edOnesExit() {
    if (autoRecording())
        m_settings->WriteInteger(CurrentTaskName, keys::Ones, ui->udOnes->position());
}

void TfmTocsiner::edMsgEnter() {
    m_platform.activateKeyboardLayout(kRussianLayout);
}

void TfmTocsiner::edMsgExit() {
    m_platform.activateKeyboardLayout(kEnglishLayout);
    if (autoRecording())
        m_settings->WriteString(CurrentTaskName, keys::Message, ui->edMsg->text());
}
