#pragma once

#include "firing/armedtaskmark.h"
#include "scheduler/duewatch.h"
#include "store/taskaction.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class ClickLabel;
class EventCheckList;
class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QWidget;
class Services;
class TaskSounds;

// Who fires a task: the clock, at the task's moment, or the user, testing it
// (its sounds play even in the chime's minute, a task never saved writes
// nothing, and its next date counts from today).
enum class FireMode { Clock = 0, Test = -1 };

// The clock and the firing of tasks: the one-second tick, the choice of
// the armed task and its mark in the task list, the firing with sound, next
// date and action, and the small operations around them (test a task,
// recalculate countdowns, the date and time settings, the hidden schedule
// view). What a firing means to the features above it goes out as signals.
class Firing final : public QObject, public ArmedTaskMark {
    Q_OBJECT

public:
    // The controls the clock and the firing handle, all on the main window.
    struct Controls {
        QWidget* window = nullptr;          // parent of the firing's boxes
        EventCheckList* taskList = nullptr; // carries the armed task's mark
        QComboBox* taskNameBox = nullptr;   // the task the test button fires
        QLabel* timeLabel = nullptr;
        QLabel* dateLabel = nullptr;
        // Checked: the recalculation restarts every countdown, not only the
        // current task's.
        QCheckBox* recalcAllBox = nullptr;
        QToolButton* testButton = nullptr;
        QToolButton* recalcButton = nullptr;
        // Double-clicked: the desktop's date and time settings.
        ClickLabel* clockImage = nullptr;
        // The hidden schedule view: its button, the table's names and times,
        // and its size with the armed index.
        QPushButton* scheduleViewButton = nullptr;
        QPlainTextEdit* scheduleNames = nullptr;
        QPlainTextEdit* scheduleTimes = nullptr;
        QLabel* scheduleSummary = nullptr;
    };

    Firing(Services& services, TaskSounds& chime, const Controls& controls,
           QObject* parent = nullptr);

    // The task loaded in the editor (empty for none), as the task list
    // tells it: the one sbCalculateClick restarts.
    void setCurrentTask(const QString& name) { m_currentTask = name; }

    void PaintActEv() override;
    // Fires the named task, for the clock or as the user's test. Firings run
    // one after another, each whole (its sounds, its next date, its action);
    // one asked for while another's sounds play follows it.
    void DoEvent(const QString& TaskName, FireMode mode);
    // Firings waiting for the one under way, and whether one is under way.
    int queuedFirings() const { return int(m_queue.size()); }
    bool isFiring() const { return m_firing; }
    void Timer1Timer();
    void sbTestEvClick();
    void sbCalculateClick();
    void TimeImageDblClick();
    void Button1Click();

    // Starts the clock's timer with its ticks just after the wall clock's
    // second boundaries; the period stays one second.
    void startClock();
    // The clock timer's handler: the tick, with any error box shown after it
    // returns.
    void clockTick();
    // The clock's one-second timer, enabled at the end of start-up.
    QTimer& clockTimer() { return m_clockTick; }
    // When the clock last fired a task, in milliseconds since the epoch of
    // the program's clock; for measurements.
    qint64 lastClockFiringMs() const { return m_lastFiringMs; }

Q_SIGNALS:
    // The task's date may have moved on: an editor showing it follows.
    void taskDateAdvanced(const QString& name);
    // The first tick of a new day.
    void dayBegan();
    // The alarm window's part of a firing: the task, its action, its message
    // (null for none) and whether the window shows.
    void alarm(const QString& name, TaskAction action, const QString* message, bool show);
    // sbCalculateClick has rebuilt the schedule: the current task's time
    // beside the list is shown again.
    void countdownsRecalculated();

private:
    // A firing waiting its turn: the task and the moment it fell due (for a
    // test, the moment of the click).
    struct Queued {
        QString name;
        FireMode mode = FireMode::Clock;
        int dueDate = 0;
        double dueTime = 0.0;
    };
    // Chooses the armed task among the entries of today from time of day
    // `from` on (PaintActEv: from now) and shows it.
    void armFrom(double from);
    // Moves the task list's mark onto the armed task, or off every row.
    void showArmed();
    // After a suspend: the countdowns that ended meanwhile start afresh.
    void restartPassedCountdowns(const QStringList& names);
    // Starts the next queued firing unless one is under way.
    void fireQueued();
    // One firing, from its sounds to its action; the next follows it.
    void fire(const Queued& firing);
    // What follows the sounds: next date, re-arm, action.
    // `saved`: the task has its section in the file.
    void finishFiring(const Queued& firing, int action, QString message, const QString& app,
                      bool saved);
    // Puts the next tick back just after a second boundary when the ticks
    // have drifted away from it.
    void alignClock(int ms);

    Services& m_s;
    TaskSounds& m_chime;
    const Controls m_ui;
    QString m_currentTask;
    QTimer m_clockTick;

    qint64 m_lastFiringMs = 0;
    bool m_clockAligning = false;
    // What each tick fires, which task is armed, when a day begins.
    DueWatch m_watch;
    QList<Queued> m_queue;
    bool m_firing = false;
};
