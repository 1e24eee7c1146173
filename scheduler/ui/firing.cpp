// The main window's clock: the one-second tick, the choice of the armed task,
// its firing with sound, next date and action, and the small operations around
// them (test a task, recalculate countdowns, the date and time settings, the
// hidden schedule view).
#include "tfmtocsiner.h"
#include "ui_tfmtocsiner.h"

#include "clock.h"
#include "daycount.h"
#include "eventchecklist.h"
#include "keys.h"
#include "platform.h"
#include "schedule.h"
#include "settingsfile.h"
#include "tfmmsg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

// Ticks come this long after the wall clock's second boundary: late enough
// that a timer firing a hair early still finds the new second, early enough
// that a task fires well inside its second.
constexpr int kTickLagMs = 2;
// A correcting tick that lands within this of the boundary settles the
// phase; later, it is corrected once more (the system was busy).
constexpr int kTickSettleMs = 5;
// A steady tick landing this far past the boundary or more, or before it,
// puts the next one back on the boundary.
constexpr int kTickDriftMs = 10;
constexpr int kTickMs = 1000;

const QString kTimeHasCome = QStringLiteral("Время пришло...");
const QString kCannotOpen = QStringLiteral("Не могу открыть файл!");

// The power module's code for a restart.
constexpr int kRestart = 2;

// The first second of a day: the only time the idle clock re-chooses.
const double kFirstSecond = daycount::encodeTime(0, 0, 1);

bool hasSection(const SettingsFile& settings, const QString& name) {
    QStringList sections;
    settings.ReadSections(sections);
    // The first section holds the settings; a task is any other one.
    if (!sections.isEmpty())
        sections.removeFirst();
    return sections.contains(name, Qt::CaseInsensitive);
}

} // namespace

void TfmTocsiner::connectFiringHandlers() {
    connect(ui->sbTestEv, &QToolButton::clicked, this,
            [this] { guarded([this] { sbTestEvClick(); }); });
    connect(ui->sbCalculate, &QToolButton::clicked, this,
            [this] { guarded([this] { sbCalculateClick(); }); });
    connect(ui->TimeImage, &ClickLabel::doubleClicked, this,
            [this] { guarded([this] { TimeImageDblClick(); }); });
    connect(ui->Button1, &QPushButton::clicked, this,
            [this] { guarded([this] { Button1Click(); }); });
}

void TfmTocsiner::startClock() {
    Timer1.setTimerType(Qt::PreciseTimer);
    m_clockAligning = true;
    const int ms = m_clock.now().time().msec();
    Timer1.start(kTickMs - ms + kTickLagMs);
}

void TfmTocsiner::alignClock() {
    const int ms = m_clock.now().time().msec();
    if (ms < (m_clockAligning ? kTickSettleMs : kTickDriftMs)) {
        // On the boundary: back to the plain period if the last one was a
        // correction. start() on an unchanged period would shift the phase.
        if (m_clockAligning) {
            m_clockAligning = false;
            Timer1.start(kTickMs);
        }
        return;
    }
    // Drifted, or late after a blocking wait: the next tick just past the
    // coming boundary.
    m_clockAligning = true;
    Timer1.start(kTickMs - ms + kTickLagMs);
}

void TfmTocsiner::Timer1Timer() {
    if (Timer1.isActive())
        alignClock();
    // 1.
    const double now = m_clock.timeNow();
    ui->Label1->setText(m_formats.formatTime(now));
    TEvRec& table = m_schedule->EvTable;
    // 2. The date was compared when the task was armed.
    if (m_schedule->ActEvArmed) {
        const int i = table.ActEv;
        if (i >= 0 && i < table.Count && now >= table.Times.at(i)) {
            m_lastFired = {m_clock.today(), table.Times.at(i)};
            DoEvent(table.Names.at(i), 0);
        }
        return;
    }
    // 3. The only daily refresh; the table is not recalculated.
    if (now < kFirstSecond) {
        ui->Label13->setText(m_formats.formatDate(m_clock.today()));
        PaintActEv();
    }
}

void TfmTocsiner::PaintActEv() {
    TEvRec& table = m_schedule->EvTable;
    // 1.
    if (table.Count == 0)
        return;
    // 2.
    const int today = m_clock.today();
    const double now = m_clock.timeNow();
    // Unless the clock has been set back since.
    const bool firedToday = m_lastFired.date == today && m_lastFired.time <= now;
    auto* list = ui->clbEvents;
    // 3. Only the previous armed task's own mark comes off.
    if (table.ActEv >= 0 && table.ActEv < table.Count) {
        const int row = list->rowOfName(table.Names.at(table.ActEv));
        if (row >= 0 && row == list->armedRow())
            list->setArmedRow(-1);
    }
    // 4. In order of time of day.
    int found = -1;
    for (int i = 0; i < table.Count; ++i) {
        if (int(table.Dates.at(i)) != today || table.Times.at(i) < now)
            continue;
        const QString& name = table.Names.at(i);
        // A firing by the clock at the very millisecond of its time must not
        // leave that entry, or one of equal time, counting as still ahead.
        if (firedToday && table.Times.at(i) <= m_lastFired.time)
            continue;
        if (!m_settings->ReadBool(name, keys::Activing, false))
            continue;
        found = i;
        break;
    }
    // 5.
    if (found >= 0) {
        m_schedule->ActEvArmed = true;
        table.ActEv = found;
        list->setArmedRow(list->rowOfName(table.Names.at(found)));
    } else {
        m_schedule->ActEvArmed = false;
        table.ActEv = table.Count + 1;
    }
    // 6.
    ui->clbEvents->viewport()->update();
}

void TfmTocsiner::DoEvent(const QString& TaskName, int FireMode) {
    const bool byClock = FireMode == 0;
    if (byClock) {
        // Whatever fails below, the next tick must not fire this task again.
        m_schedule->ActEvArmed = false;
        m_lastFiringMs = m_clock.now().toMSecsSinceEpoch();
    }
    // A test of a name that was never saved fires with the defaults but
    // writes nothing: it must not create a task the user never saved.
    const bool saved = hasSection(*m_settings, TaskName);

    // 1. Sound.
    const int sound = quint8(m_settings->ReadInteger(TaskName, keys::Sound, 0));
    if (sound > 0) {
        // The chime sounds in the first minute of an hour; the clock leaves the
        // task's own sound out then, a test always plays it.
        const bool chimeMinute = byClock && daycount::toTime(m_lastFired.time).minute() == 0 &&
                                 ui->cbSound->currentIndex() != 0;
        if (!chimeMinute)
            PlaySoundTimes(sound, quint8(m_settings->ReadInteger(TaskName, keys::Ones, 0)));
    }
    // 2. Next date; a countdown restarts and rebuilds the table.
    if (saved)
        m_schedule->AdvanceTaskDate(TaskName, 0);
    // 3. The editor shows the new date of its task. The picker's handlers run
    // on the user's leaving and closing it, not on a date set from here.
    if (TaskName == CurrentTaskName)
        ui->OnAirDate->setDate(
            daycount::toDate(m_settings->ReadDate(TaskName, keys::Date, m_clock.today())));
    // 4. Re-arm: the task just fired lies behind now.
    PaintActEv();
    // 5.
    const int action = quint8(m_settings->ReadInteger(TaskName, keys::Action, 0));
    QString message = m_settings->ReadString(TaskName, keys::Message, QString());
    // The alarm window exists from start-up to the end; a main window alone
    // (before the others are made) still does its part of the firing.
    TfmMsg* const msg = fmMsg;
    if (msg != nullptr)
        msg->setFiredTask(TaskName, action);
    const auto showMessage = [msg](const QString* text) {
        if (msg == nullptr)
            return;
        if (text != nullptr)
            msg->setMessage(*text);
        msg->showAlarm();
    };
    // 6.
    switch (action) {
    case 0:
        if (message.isEmpty())
            message = kTimeHasCome;
        showMessage(&message);
        break;
    case 1:
        // The NT family's way: the power module's restart; the alarm window
        // is not shown.
        m_platform.NT_Reboot(kRestart);
        break;
    case 2:
        // The message line keeps what it had; the window counts down.
        showMessage(nullptr);
        break;
    case 3:
        if (!message.isEmpty())
            showMessage(&message);
        if (!m_platform.openApp(m_settings->ReadString(TaskName, keys::App, QString())))
            m_platform.information(this, kCannotOpen);
        break;
    default:
        break;
    }
}

void TfmTocsiner::sbTestEvClick() {
    DoEvent(ui->evName->currentText(), -1);
}

void TfmTocsiner::sbCalculateClick() {
    // 1.
    if (ui->clbEvents->count() == 0)
        return;
    // 2. Time 0 makes the recalculation start a countdown afresh from now.
    const auto restart = [this](const QString& name) {
        if (m_settings->ReadTime(name, keys::TimeGap, 0.0) > 0.0)
            m_settings->WriteTime(name, keys::Time, 0.0);
    };
    if (ui->cbCalculate->isChecked()) {
        // A copy: the writes below do not change the table, but keep it plain.
        const QStringList names = m_schedule->EvTable.Names.mid(0, m_schedule->EvTable.Count);
        for (const QString& name : names)
            restart(name);
    } else if (!CurrentTaskName.isEmpty()) {
        restart(CurrentTaskName);
    }
    // 3.
    m_schedule->RecalcSchedule();
    PaintActEv();
    // 4.
    ui->lbEvName->setText(CurrentTaskName);
    ui->lbEvTime->setText(CurrentTaskName.isEmpty()
                              ? QString()
                              : m_formats.formatTime(m_settings->ReadTime(
                                    CurrentTaskName, keys::Time, m_clock.timeNow())));
}

void TfmTocsiner::TimeImageDblClick() {
    m_platform.openDateTimeSettings();
}

void TfmTocsiner::Button1Click() {
    // 1.
    ui->Memo1->clear();
    ui->Memo2->clear();
    // 2.
    m_schedule->RecalcSchedule();
    PaintActEv();
    // 3.
    const TEvRec& table = m_schedule->EvTable;
    for (int i = 0; i < table.Count; ++i) {
        ui->Memo1->appendPlainText(table.Names.at(i));
        ui->Memo2->appendPlainText(m_formats.formatTime(table.Times.at(i)));
    }
    // 4.
    ui->L10->setText(QString::number(table.Count) + QStringLiteral(" * ") +
                     QString::number(table.ActEv));
}
