#include "firing/firing.h"

#include "chime/hourlychime.h"
#include "platform/platform.h"
#include "scheduler/duetasks.h"
#include "scheduler/schedule.h"
#include "store/clock.h"
#include "store/daycount.h"
#include "store/keys.h"
#include "store/settingsfile.h"
#include "uicommon/clicklabel.h"
#include "uicommon/eventchecklist.h"
#include "uicommon/handlerguard.h"
#include "uicommon/services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
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

bool hasSection(const SettingsFile& settings, const QString& name) {
    QStringList sections;
    settings.ReadSections(sections);
    // The first section holds the settings; a task is any other one.
    if (!sections.isEmpty())
        sections.removeFirst();
    return sections.contains(name, Qt::CaseInsensitive);
}

} // namespace

Firing::Firing(Services& services, HourlyChime& chime, const Controls& controls, QObject* parent)
    : QObject(parent), m_s(services), m_chime(chime), ui(controls) {
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
    // Start-up has just worked out today's schedule; what was due before
    // now is not caught up.
    const QDateTime at = m_s.clock().now();
    m_tickDay = daycount::fromDate(at.date());
    m_lastTick = daycount::fromDateTime(at);
    m_lastTickWallMs = at.toMSecsSinceEpoch();
    m_lastTickMonotonicMs = m_s.clock().monotonicMs();
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
    const qint64 monotonicMs = m_s.clock().monotonicMs();
    if (m_timer1.isActive())
        alignClock(at.time().msec());
    const int today = daycount::fromDate(at.date());
    const double now = daycount::fromTime(at.time());
    ui.Label1->setText(m_s.formats().formatTime(now));
    // What fell due since the last tick, before a new day's recalculation
    // moves any date on: a task at 23:59:59 whose tick comes after midnight
    // still fires, late.
    queueDue(double(today) + now, at.toMSecsSinceEpoch(), monotonicMs);
    // The daily refresh, at the first tick of each day, whatever its second
    // and whether or not a task is armed: the dates that moved on overnight
    // are read afresh, so every repeating task is armed on each of its days.
    // Everything up to now has been queued or passed over.
    if (today != m_tickDay) {
        m_tickDay = today;
        ui.Label13->setText(m_s.formats().formatDate(today));
        Q_EMIT dayBegan();
        std::exception_ptr failed;
        try {
            m_s.schedule().RecalcSchedule();
        } catch (...) {
            failed = std::current_exception();
        }
        // Armed from what the table holds even when a write was refused.
        armFrom(now);
        if (failed) {
            fireQueued();
            std::rethrow_exception(failed);
        }
    }
    fireQueued();
}

void Firing::queueDue(double moment, qint64 wallMs, qint64 monotonicMs) {
    duetasks::Stretch stretch;
    stretch.from = m_lastTick;
    stretch.to = moment;
    // A tick before the clock was started knows of no stretch: the armed
    // task alone.
    stretch.awake =
        m_lastTick >= 0.0 &&
        duetasks::livedThrough(wallMs - m_lastTickWallMs, monotonicMs - m_lastTickMonotonicMs);
    m_lastTick = moment;
    m_lastTickWallMs = wallMs;
    m_lastTickMonotonicMs = monotonicMs;
    const TEvRec& table = m_s.schedule().EvTable;
    const int armed = m_s.schedule().ActEvArmed ? table.ActEv : -1;
    const auto eligible = [&](int i) {
        const QString& name = table.Names.at(i);
        const auto fired = m_firedDue.constFind(name);
        if (fired != m_firedDue.cend() && *fired == table.Dates.at(i) + table.Times.at(i))
            return false;
        return m_s.settings().ReadBool(name, keys::Activing, false);
    };
    const QList<int> due = duetasks::due(table, stretch, armed, eligible);
    for (const int i : due) {
        m_firedDue.insert(table.Names.at(i), table.Dates.at(i) + table.Times.at(i));
        m_queue.append({table.Names.at(i), 0, int(table.Dates.at(i)), table.Times.at(i)});
    }
    // Whatever fails in the firings, the next tick must not fire these again.
    if (!due.isEmpty())
        m_s.schedule().ActEvArmed = false;
    if (!stretch.awake)
        restartPassedCountdowns(stretch, due);
}

void Firing::restartPassedCountdowns(const duetasks::Stretch& stretch, const QList<int>& fired) {
    // A countdown whose end was slept through runs afresh from the waking,
    // not from the next midnight, when it would ring in the night.
    const TEvRec& table = m_s.schedule().EvTable;
    bool restarted = false;
    for (int i = 0; i < table.Count; ++i) {
        const double moment = table.Dates.at(i) + table.Times.at(i);
        if (moment <= stretch.from || moment > stretch.to || fired.contains(i))
            continue;
        const QString& name = table.Names.at(i);
        if (m_s.settings().ReadTime(name, keys::TimeGap, 0.0) <= 0.0)
            continue;
        m_s.settings().WriteTime(name, keys::Time, 0.0);
        restarted = true;
    }
    if (!restarted)
        return;
    try {
        m_s.schedule().RecalcSchedule();
    } catch (const AppError& e) {
        // The tick goes on to its daily refresh; the box follows it.
        m_s.guard().showErrorBoxLater(e.message());
    }
    PaintActEv();
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
    // In order of time of day.
    int found = -1;
    for (int i = 0; i < table.Count; ++i) {
        if (int(table.Dates.at(i)) != today || table.Times.at(i) < from)
            continue;
        const QString name = table.Names.at(i);
        // Taken by the clock already (fired, or waiting behind another
        // firing): the table is not rebuilt after every firing, and with the
        // clock set back its entry would come round again.
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
    // Its own copy of the name: the steps of a firing rebuild the table and
    // the list that a caller's name may point into.
    const QDateTime at = m_s.clock().now();
    m_queue.append(
        {TaskName, FireMode, daycount::fromDate(at.date()), daycount::fromTime(at.time())});
    fireQueued();
}

void Firing::fireQueued() {
    // One at a time; a firing whose sounds play lets the event loop run,
    // and what falls due meanwhile waits here.
    while (!m_firing && !m_queue.isEmpty()) {
        const Queued next = m_queue.takeFirst();
        m_firing = true;
        // A refused write or a failing step ends this firing alone.
        m_s.guard().run([&] { fire(next); }, HandlerGuard::Box::AfterHandler);
        // fire() hands over to the sounds' end, or is done already.
    }
}

void Firing::fire(const Queued& firing) {
    const QString& name = firing.name;
    const bool byClock = firing.mode == 0;
    bool handedOver = false;
    const auto finished = qScopeGuard([&] {
        if (!handedOver)
            m_firing = false;
    });
    if (byClock)
        m_lastFiringMs = m_s.clock().now().toMSecsSinceEpoch();
    // A test of a name that was never saved fires with the defaults but
    // writes nothing: it must not create a task the user never saved. A
    // task the user deleted while it waited its turn does not fire.
    const bool saved = hasSection(m_s.settings(), name);
    if (byClock && !saved)
        return;
    // The keys the firing acts on, read once: what the alarm shows and does
    // is this task's, whatever the steps below do to the file and the table.
    const int sound = quint8(m_s.settings().ReadInteger(name, keys::Sound, 0));
    const int ones = quint8(m_s.settings().ReadInteger(name, keys::Ones, 0));
    const int action = quint8(m_s.settings().ReadInteger(name, keys::Action, 0));
    QString message = m_s.settings().ReadString(name, keys::Message, QString());
    const QString app = m_s.settings().ReadString(name, keys::App, QString());

    // The chime sounds in the first minute of an hour; the clock leaves the
    // task's own sound out then, a test always plays it.
    const bool chimeMinute =
        byClock && daycount::toTime(firing.dueTime).minute() == 0 && m_chime.chimeChosen();
    if (sound > 0 && !chimeMinute) {
        handedOver = true;
        m_chime.PlaySoundTimes(sound, ones, [this, firing, action, message, app] {
            const auto finished = qScopeGuard([this] {
                m_firing = false;
                fireQueued();
            });
            // Nor may a task deleted while its sounds played come back.
            finishFiring(firing, action, message, app, hasSection(m_s.settings(), firing.name));
        });
        return;
    }
    finishFiring(firing, action, std::move(message), app, saved);
}

void Firing::finishFiring(const Queued& firing, int action, QString message, const QString& app,
                          bool saved) {
    const QString& name = firing.name;
    // Next date; a countdown restarts and rebuilds the table.
    if (saved) {
        // A settings file that refuses the write shows its box once the
        // tick has returned; the task still fires.
        try {
            if (firing.mode == 0)
                m_s.schedule().AdvanceFiredTask(name, firing.dueDate);
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
        Q_EMIT alarm(name, TaskAction(action), text, show);
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
        m_s.platform().restart();
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
    const QString CurrentTaskName = m_currentTask;
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
    Q_EMIT countdownsRecalculated();
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
