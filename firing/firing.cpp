#include "firing/firing.h"

#include "chime/tasksounds.h"
#include "platform/platform.h"
#include "scheduler/duewatch.h"
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

Firing::Firing(Services& services, TaskSounds& chime, const Controls& controls, QObject* parent)
    : QObject(parent), m_s(services), m_chime(chime), m_ui(controls), m_watch(services.clock()) {
    m_clockTick.setInterval(kTickMs);
    HandlerGuard& guard = m_s.guard();
    connect(&m_clockTick, &QTimer::timeout, this, [this] { clockTick(); });
    connect(m_ui.testButton, &QToolButton::clicked, this, guard.slot(this, &Firing::sbTestEvClick));
    connect(m_ui.recalcButton, &QToolButton::clicked, this,
            guard.slot(this, &Firing::sbCalculateClick));
    connect(m_ui.clockImage, &ClickLabel::doubleClicked, this,
            guard.slot(this, &Firing::TimeImageDblClick));
    connect(m_ui.scheduleViewButton, &QPushButton::clicked, this,
            guard.slot(this, &Firing::Button1Click));
}

void Firing::startClock() {
    // Start-up has just worked out today's schedule; what was due before
    // now is not caught up.
    m_watch.start(m_s.clock().now(), m_s.clock().monotonicMs());
    m_clockTick.setTimerType(Qt::PreciseTimer);
    m_clockAligning = true;
    const int ms = m_s.clock().now().time().msec();
    m_clockTick.start(kTickMs - ms + kTickLagMs);
}

void Firing::alignClock(int ms) {
    if (ms < (m_clockAligning ? kTickSettleMs : kTickDriftMs)) {
        // On the boundary: back to the plain period if the last one was a
        // correction. start() on an unchanged period would shift the phase.
        if (m_clockAligning) {
            m_clockAligning = false;
            m_clockTick.start(kTickMs);
        }
        return;
    }
    // Drifted, or late after a blocking wait: the next tick just past the
    // coming boundary.
    m_clockAligning = true;
    m_clockTick.start(kTickMs - ms + kTickLagMs);
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
    if (m_clockTick.isActive())
        alignClock(at.time().msec());
    const DueWatch::Tick tick = m_watch.tick(m_s.schedule(), at, monotonicMs);
    m_ui.timeLabel->setText(m_s.formats().formatTime(tick.now));
    // What fell due since the last tick is queued before a new day's refresh
    // moves any date on.
    for (const DueWatch::Due& due : tick.due)
        m_queue.append({due.name, FireMode::Clock, due.date, due.time});
    restartPassedCountdowns(tick.passedCountdowns);
    if (tick.dayBegan) {
        m_ui.dateLabel->setText(m_s.formats().formatDate(tick.today));
        Q_EMIT dayBegan();
        std::exception_ptr failed;
        try {
            m_watch.beginDay(m_s.schedule(), tick.today, tick.now);
        } catch (...) {
            failed = std::current_exception();
        }
        showArmed();
        if (failed) {
            fireQueued();
            std::rethrow_exception(failed);
        }
    }
    fireQueued();
}

void Firing::restartPassedCountdowns(const QStringList& names) {
    if (names.isEmpty())
        return;
    for (const QString& name : names)
        m_s.settings().WriteTime(name, keys::Time, 0.0);
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
    m_watch.arm(m_s.schedule(), from);
    showArmed();
}

void Firing::showArmed() {
    const TEvRec& table = m_s.schedule().EvTable;
    auto* list = m_ui.taskList;
    // Nothing armed; no row may keep a mark from an earlier table.
    if (table.entries.isEmpty()) {
        if (list->armedRow() >= 0)
            list->setArmedRow(-1);
        return;
    }
    // The mark goes onto the armed row alone, or off every row.
    const int armed = DueWatch::armed(m_s.schedule());
    list->setArmedRow(armed >= 0 ? list->rowOfName(table.entries.at(armed).name) : -1);
    list->viewport()->update();
}

void Firing::DoEvent(const QString& TaskName, FireMode mode) {
    // Its own copy of the name: the steps of a firing rebuild the table and
    // the list that a caller's name may point into.
    const QDateTime at = m_s.clock().now();
    m_queue.append({TaskName, mode, daycount::fromDate(at.date()), daycount::fromTime(at.time())});
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
    const bool byClock = firing.mode == FireMode::Clock;
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
            if (firing.mode == FireMode::Clock)
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
                kCannotOpen, [this] { m_s.platform().information(m_ui.window, kCannotOpen); });
        break;
    default:
        present(nullptr, false);
        break;
    }
}

void Firing::sbTestEvClick() {
    DoEvent(m_ui.taskNameBox->currentText(), FireMode::Test);
}

void Firing::sbCalculateClick() {
    const QString CurrentTaskName = m_currentTask;
    if (m_ui.taskList->count() == 0)
        return;
    // Time 0 makes the recalculation start a countdown afresh from now.
    const auto restart = [this](const QString& name) {
        if (m_s.settings().ReadTime(name, keys::TimeGap, 0.0) > 0.0)
            m_s.settings().WriteTime(name, keys::Time, 0.0);
    };
    if (m_ui.recalcAllBox->isChecked()) {
        // A copy: the writes below do not change the table, but keep it plain.
        QStringList names;
        for (const ScheduleEntry& entry : m_s.schedule().EvTable.entries)
            names.append(entry.name);
        for (const QString& name : std::as_const(names))
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
    m_ui.scheduleNames->clear();
    m_ui.scheduleTimes->clear();
    m_s.schedule().RecalcSchedule();
    PaintActEv();
    const TEvRec& table = m_s.schedule().EvTable;
    for (const ScheduleEntry& entry : table.entries) {
        m_ui.scheduleNames->appendPlainText(entry.name);
        m_ui.scheduleTimes->appendPlainText(m_s.formats().formatTime(entry.time));
    }
    m_ui.scheduleSummary->setText(QString::number(table.count()) + QStringLiteral(" * ") +
                                  QString::number(table.ActEv));
}
