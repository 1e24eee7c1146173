#include "firing.h"

#include "clicklabel.h"
#include "clock.h"
#include "daycount.h"
#include "eventchecklist.h"
#include "handlerguard.h"
#include "hourlychime.h"
#include "keys.h"
#include "platform.h"
#include "schedule.h"
#include "services.h"
#include "settingsfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include <exception>

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

// Ticks this close together count as the clock's own rhythm; a longer gap
// is a suspend, a blocking wait or a clock moved on.
constexpr double kRhythmMs = 2500.0;

bool hasSection(const SettingsFile& settings, const QString& name) {
    QStringList sections;
    settings.ReadSections(sections);
    // The first section holds the settings; a task is any other one.
    if (!sections.isEmpty())
        sections.removeFirst();
    return sections.contains(name, Qt::CaseInsensitive);
}

} // namespace

Firing::Firing(Services& services, HourlyChime& chime, const Controls& controls,
               std::function<QString()> currentTask, QObject* parent)
    : QObject(parent), m_s(services), m_chime(chime), ui(controls),
      m_currentTask(std::move(currentTask)) {
    m_timer1.setInterval(kTickMs);
    HandlerGuard& guard = m_s.guard();
    connect(&m_timer1, &QTimer::timeout, this, [this] { clockTick(); });
    connect(ui.sbTestEv, &QToolButton::clicked, this,
            [this, &guard] { guard.run([this] { sbTestEvClick(); }); });
    connect(ui.sbCalculate, &QToolButton::clicked, this,
            [this, &guard] { guard.run([this] { sbCalculateClick(); }); });
    connect(ui.TimeImage, &ClickLabel::doubleClicked, this,
            [this, &guard] { guard.run([this] { TimeImageDblClick(); }); });
    connect(ui.Button1, &QPushButton::clicked, this,
            [this, &guard] { guard.run([this] { Button1Click(); }); });
}

void Firing::startClock() {
    // Start-up has just worked out today's schedule.
    m_tickDay = m_s.clock().today();
    m_lastTick = m_s.clock().dateTimeNow();
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_clockAligning = true;
    const int ms = m_s.clock().now().time().msec();
    m_timer1.start(kTickMs - ms + kTickLagMs);
}

void Firing::alignClock(int ms) {
    if (ms < (m_clockAligning ? kTickSettleMs : kTickDriftMs)) {
        // On the boundary: back to the plain period if the last one was a
        // correction. start() on an unchanged period would shift the phase.
        if (m_clockAligning) {
            m_clockAligning = false;
            m_timer1.start(kTickMs);
        }
        return;
    }
    // Drifted, or late after a blocking wait: the next tick just past the
    // coming boundary.
    m_clockAligning = true;
    m_timer1.start(kTickMs - ms + kTickLagMs);
}

void Firing::clockTick() {
    // A box raised inside the tick would hold the clock still while it is
    // open (a timer is not re-entered): it is shown once the tick has returned.
    m_s.guard().run([this] { Timer1Timer(); }, HandlerGuard::Box::AfterHandler);
}

void Firing::Timer1Timer() {
    // The clock is read once a tick: each reading looks up the time zone.
    const QDateTime at = m_s.clock().now();
    if (m_timer1.isActive())
        alignClock(at.time().msec());
    const int today = daycount::fromDate(at.date());
    const double now = daycount::fromTime(at.time());
    ui.Label1->setText(m_s.formats().formatTime(now));
    // The stretch of the day this tick stands for: back to the last tick
    // when that came in the clock's rhythm, so that a task at 00:00:00 is
    // not lost to the tick a few milliseconds after it. After a suspend, a
    // long sound or a clock set forward or back, only from now on: what
    // passed meanwhile is not caught up.
    const double moment = double(today) + now;
    const double gapMs = (moment - m_lastTick) * daycount::kMsPerDay;
    const bool inRhythm = m_lastTick >= 0.0 && gapMs > 0.0 && gapMs <= kRhythmMs;
    m_lastTick = moment;
    // The daily refresh, at the first tick of each day, whatever its second
    // and whether or not a task is armed: the dates that moved on overnight
    // are read afresh, so every repeating task is armed on each of its days.
    if (today != m_tickDay) {
        m_tickDay = today;
        ui.Label13->setText(m_s.formats().formatDate(today));
        Q_EMIT dayBegan();
        std::exception_ptr failed;
        try {
            m_s.schedule().RecalcScheduleFrom(inRhythm ? -1.0 : now);
        } catch (...) {
            failed = std::current_exception();
        }
        // Armed from what the table holds even when a write was refused.
        armFrom(inRhythm ? 0.0 : now);
        if (failed)
            std::rethrow_exception(failed);
    }
    // The date was compared when the task was armed.
    const TEvRec& table = m_s.schedule().EvTable;
    if (m_s.schedule().ActEvArmed) {
        const int i = table.ActEv;
        if (i >= 0 && i < table.Count && now >= table.Times.at(i)) {
            // Its own copy: firing a countdown rebuilds the table under it.
            const QString name = table.Names.at(i);
            m_lastFired = {int(table.Dates.at(i)), table.Times.at(i)};
            m_firedDue.insert(name, table.Dates.at(i) + table.Times.at(i));
            DoEvent(name, 0);
        }
    }
}

void Firing::PaintActEv() {
    armFrom(m_s.clock().timeNow());
}

void Firing::armFrom(double from) {
    TEvRec& table = m_s.schedule().EvTable;
    auto* list = ui.clbEvents;
    // Nothing to arm; no row may keep a mark from an earlier table.
    if (table.Count == 0) {
        if (list->armedRow() >= 0)
            list->setArmedRow(-1);
        return;
    }
    const int today = m_s.clock().today();
    const double now = m_s.clock().timeNow();
    // Unless the clock has been set back since.
    const bool firedToday = m_lastFired.date == today && m_lastFired.time <= now;
    // In order of time of day.
    int found = -1;
    for (int i = 0; i < table.Count; ++i) {
        if (int(table.Dates.at(i)) != today || table.Times.at(i) < from)
            continue;
        const QString name = table.Names.at(i);
        // A firing by the clock at the very millisecond of its time must not
        // leave that entry, or one of equal time, counting as still ahead.
        if (firedToday && table.Times.at(i) <= m_lastFired.time)
            continue;
        // The table is not rebuilt after every firing: with the clock set
        // back, the entry of a task fired already would come round again.
        const auto fired = m_firedDue.constFind(name);
        if (fired != m_firedDue.cend() && *fired == table.Dates.at(i) + table.Times.at(i))
            continue;
        if (!m_s.settings().ReadBool(name, keys::Activing, false))
            continue;
        found = i;
        break;
    }
    // The mark goes onto the armed row alone, or off every row.
    if (found >= 0) {
        m_s.schedule().ActEvArmed = true;
        table.ActEv = found;
        list->setArmedRow(list->rowOfName(table.Names.at(found)));
    } else {
        m_s.schedule().ActEvArmed = false;
        table.ActEv = table.Count + 1;
        list->setArmedRow(-1);
    }
    list->viewport()->update();
}

void Firing::DoEvent(const QString& TaskName, int FireMode) {
    // Its own copy of the name from start to end: the steps below rebuild
    // the table and the list that a caller's name may point into.
    const QString name = TaskName;
    const bool byClock = FireMode == 0;
    // The day the task was due: its sounds may run on past midnight.
    const int dueDate = byClock ? m_lastFired.date : m_s.clock().today();
    if (byClock) {
        // Whatever fails below, the next tick must not fire this task again.
        m_s.schedule().ActEvArmed = false;
        m_lastFiringMs = m_s.clock().now().toMSecsSinceEpoch();
    }
    // A test of a name that was never saved fires with the defaults but
    // writes nothing: it must not create a task the user never saved.
    const bool saved = hasSection(m_s.settings(), name);
    // The keys the firing acts on, read once: what the alarm shows and does
    // is this task's, whatever the steps below do to the file and the table.
    const int sound = quint8(m_s.settings().ReadInteger(name, keys::Sound, 0));
    const int ones = quint8(m_s.settings().ReadInteger(name, keys::Ones, 0));
    const int action = quint8(m_s.settings().ReadInteger(name, keys::Action, 0));
    QString message = m_s.settings().ReadString(name, keys::Message, QString());
    const QString app = m_s.settings().ReadString(name, keys::App, QString());

    // Sound.
    if (sound > 0) {
        // The chime sounds in the first minute of an hour; the clock leaves the
        // task's own sound out then, a test always plays it.
        const bool chimeMinute =
            byClock && daycount::toTime(m_lastFired.time).minute() == 0 && m_chime.chimeChosen();
        if (!chimeMinute)
            m_chime.PlaySoundTimes(sound, ones);
    }
    // Next date; a countdown restarts and rebuilds the table.
    if (saved) {
        // A settings file that refuses the write shows its box once the
        // tick has returned; the task still fires.
        try {
            if (byClock)
                m_s.schedule().AdvanceFiredTask(name, dueDate);
            else
                m_s.schedule().AdvanceTaskDate(name, 0);
        } catch (const AppError& e) {
            m_s.guard().showErrorBoxLater(e.message());
        }
    }
    // The editor shows the new date of its task. The picker's handlers run
    // on the user's leaving and closing it, not on a date set from here.
    Q_EMIT taskDateAdvanced(name);
    // Re-arm: the task just fired lies behind now.
    PaintActEv();
    // The alarm window, where the main window has one: a main window
    // alone (before the others are made) still does its part of the firing.
    const auto present = [&](const QString* text, bool show) {
        Q_EMIT alarm(name, action, text, show);
    };
    switch (action) {
    case 0:
        if (message.isEmpty())
            message = kTimeHasCome;
        present(&message, true);
        break;
    case 1:
        // The NT family's way: the power module's restart; the alarm window
        // is not shown.
        present(nullptr, false);
        m_s.platform().NT_Reboot(kRestart);
        break;
    case 2:
        // The message line keeps what it had; the window counts down.
        present(nullptr, true);
        break;
    case 3:
        present(message.isEmpty() ? nullptr : &message, !message.isEmpty());
        if (!m_s.platform().openApp(app))
            m_s.guard().showBoxLater(
                kCannotOpen, [this] { m_s.platform().information(ui.window, kCannotOpen); });
        break;
    default:
        present(nullptr, false);
        break;
    }
}

void Firing::sbTestEvClick() {
    DoEvent(ui.evName->currentText(), -1);
}

void Firing::sbCalculateClick() {
    const QString CurrentTaskName = m_currentTask();
    if (ui.clbEvents->count() == 0)
        return;
    // Time 0 makes the recalculation start a countdown afresh from now.
    const auto restart = [this](const QString& name) {
        if (m_s.settings().ReadTime(name, keys::TimeGap, 0.0) > 0.0)
            m_s.settings().WriteTime(name, keys::Time, 0.0);
    };
    if (ui.cbCalculate->isChecked()) {
        // A copy: the writes below do not change the table, but keep it plain.
        const QStringList names = m_s.schedule().EvTable.Names.mid(0, m_s.schedule().EvTable.Count);
        for (const QString& name : names)
            restart(name);
    } else if (!CurrentTaskName.isEmpty()) {
        restart(CurrentTaskName);
    }
    m_s.schedule().RecalcSchedule();
    PaintActEv();
    ui.lbEvName->setText(CurrentTaskName);
    ui.lbEvTime->setText(CurrentTaskName.isEmpty()
                             ? QString()
                             : m_s.formats().formatTime(m_s.settings().ReadTime(
                                   CurrentTaskName, keys::Time, m_s.clock().timeNow())));
}

void Firing::TimeImageDblClick() {
    m_s.platform().openDateTimeSettings();
}

void Firing::Button1Click() {
    ui.Memo1->clear();
    ui.Memo2->clear();
    m_s.schedule().RecalcSchedule();
    PaintActEv();
    const TEvRec& table = m_s.schedule().EvTable;
    for (int i = 0; i < table.Count; ++i) {
        ui.Memo1->appendPlainText(table.Names.at(i));
        ui.Memo2->appendPlainText(m_s.formats().formatTime(table.Times.at(i)));
    }
    ui.L10->setText(QString::number(table.Count) + QStringLiteral(" * ") +
                    QString::number(table.ActEv));
}
