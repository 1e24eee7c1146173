#pragma once

#include "store/taskaction.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace duetasks {
struct Stretch;
}

class ClickLabel;
class EventCheckList;
class HourlyChime;
class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QWidget;
class Services;

// The clock and the firing of tasks: Timer1's one-second tick, the choice of
// the armed task and its mark in the task list, the firing with sound, next
// date and action, and the small operations around them (test a task,
// recalculate countdowns, the date and time settings, the hidden schedule
// view). What a firing means to the features above it goes out as signals.
class Firing final : public QObject {
    Q_OBJECT

public:
    // The controls the clock and the firing handle, all on the main window.
    struct Controls {
        QWidget* window;           // parent of the firing's boxes
        EventCheckList* clbEvents; // carries the armed task's mark
        QComboBox* evName;         // the task the test button fires
        QLabel* Label1;            // the time
        QLabel* Label13;           // the date
        QCheckBox* cbCalculate;
        QToolButton* sbTestEv;
        QToolButton* sbCalculate;
        ClickLabel* TimeImage;
        // The hidden schedule view.
        QPushButton* Button1;
        QPlainTextEdit* Memo1;
        QPlainTextEdit* Memo2;
        QLabel* L10;
    };

    Firing(Services& services, HourlyChime& chime, const Controls& controls,
           QObject* parent = nullptr);

    // The task loaded in the editor (empty for none), as the task list
    // tells it: the one sbCalculateClick restarts.
    void setCurrentTask(const QString& name) { m_currentTask = name; }

    // Chooses the armed task, the first active one dated today whose time is
    // still ahead, and moves the task list's mark onto it.
    void PaintActEv();
    // Fires the named task: FireMode 0 when the clock fires the armed task,
    // -1 when the user tests a task. Firings run one after another, each
    // whole (its sounds, its next date, its action); one asked for while
    // another's sounds play follows it.
    void DoEvent(const QString& TaskName, int FireMode);
    // Firings waiting for the one under way, and whether one is under way.
    int queuedFirings() const { return int(m_queue.size()); }
    bool isFiring() const { return m_firing; }
    void Timer1Timer();
    void sbTestEvClick();
    void sbCalculateClick();
    void TimeImageDblClick();
    void Button1Click();

    // Starts Timer1 with its ticks just after the wall clock's second
    // boundaries; the period stays one second.
    void startClock();
    // Timer1's handler: the tick, with any error box shown after it returns.
    void clockTick();
    // The clock tick, enabled at the end of start-up.
    QTimer& Timer1() { return m_timer1; }
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
        int mode = 0;
        int dueDate = 0;
        double dueTime = 0.0;
    };
    // Chooses the armed task among the entries of today from time of day
    // `from` on (PaintActEv: from now).
    void armFrom(double from);
    // Queues the entries due in the stretch since the last tick.
    void queueDue(double moment, qint64 wallMs, qint64 monotonicMs);
    // After a suspend: the countdowns that ended meanwhile start afresh.
    void restartPassedCountdowns(const duetasks::Stretch& stretch, const QList<int>& fired);
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
    HourlyChime& m_chime;
    const Controls ui;
    QString m_currentTask;
    QTimer m_timer1;

    qint64 m_lastFiringMs = 0;
    bool m_clockAligning = false;
    // The day of the last tick, for the daily refresh; the moment of the last
    // tick as a local day count, and as the wall and the monotonic clock
    // read it.
    int m_tickDay = -1;
    double m_lastTick = -1.0;
    qint64 m_lastTickWallMs = 0;
    qint64 m_lastTickMonotonicMs = 0;
    // Each task's last due moment taken by the clock (date + time), so that
    // no due moment fires twice, whatever the clock does.
    QHash<QString, double> m_firedDue;
    QList<Queued> m_queue;
    bool m_firing = false;
};
