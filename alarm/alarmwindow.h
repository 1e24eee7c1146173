#pragma once

#include "alarm/alarmtaskactions.h"
#include "store/taskaction.h"

#include <QList>
#include <QStringView>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class TfmMsg;
}

class HandlerGuard;
class Platform;

// The alarm window's caption is this prefix followed by the fired task's name;
// the window reads the name back from its caption.
inline constexpr QStringView kMsgCaptionPrefix = u"Звонарька - ";

// The alarm message window: above the other windows, centred on the screen,
// created hidden at start-up and afterwards only shown and hidden.
//
// The firing code hands it a task: setFiredTask() (caption and action, for
// every action), then, for the actions that show it, setMessage() where there
// is one and showAlarm(). Everything after that is the window's own: message
// mode with "OK", or for a switch-off a 15-second countdown to it.
class AlarmWindow final : public QWidget {
    Q_OBJECT
public:
    explicit AlarmWindow(QWidget* parent = nullptr);
    ~AlarmWindow() override;

    // The task list the two options act on, the platform that switches the
    // computer off and the guard its handlers run under; all null unties it.
    void attachTasks(AlarmTaskActions* tasks, Platform* platform, HandlerGuard* guard) {
        m_tasks = tasks;
        m_platform = platform;
        m_guard = guard;
    }

    // Caption "Звонарька - " + name, and the action that decides the mode at
    // the next show from hidden.
    void setFiredTask(const QString& taskName, TaskAction action);
    // Makes the fired task's action known; a switch-off chooses its mode.
    void setFiredAction(TaskAction action) { m_action = action; }
    // The message line, sized to its text.
    void setMessage(const QString& text);
    // Shows the window. Shown already, it only stays in front: the counter,
    // the mode and the options keep their state.
    void showAlarm();
    // A firing's whole hand-over: caption and action, the message when there
    // is one, and the window shown when `show`. The window shows one alarm
    // at a time, and its caption, message, options and button belong to the
    // task on screen: an alarm that comes while one shows waits its turn
    // until the user answers, and one that shows nothing leaves the window
    // alone. A switch-off countdown is never stopped, reset or hidden by it;
    // a switch-off that fires while a message shows counts down at once, and
    // the message comes back after it. A countdown that reached 0 without the
    // session ending gives way to what waits.
    void present(const QString& taskName, TaskAction action, const QString* message, bool show);
    // Alarms waiting their turn.
    int pendingAlarms() const { return int(m_pending.size()); }

    // The fired task's name: the caption without its prefix.
    QString firedTaskName() const;
    bool isSwitchOffMode() const { return m_switchOff; }
    int countdownSeconds() const { return CountdownSeconds; }

    // The left edge that centres a message of `chars` characters in a window
    // `outerWidth` pixels wide at 6 pixels a character, rounded half to even.
    static int messageLeft(int outerWidth, int chars);

    void FormShow();
    void FormHide();
    void Timer1Timer();
    void Timer2Timer();
    void sbOkClick();

    // Timer1: keeps the window in front every 100 ms while it shows.
    QTimer& keepInFrontTimer() { return m_keepInFront; }
    // Timer2: the switch-off countdown's second.
    QTimer& countdownTimer() { return m_countdown; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    template <class F> void guarded(F&& handler) noexcept;
    bool countdownRunning() const { return m_switchOff && m_countdown.isActive(); }
    // Shown, and not a countdown that has run out: the alarm on screen waits
    // for the user.
    bool holdsAnAlarm() const { return isVisible() && !(m_switchOff && CountdownSeconds == 0); }
    void startSwitchOffMode();
    // Puts the message on its line by the centring rule when it fits the
    // window there; otherwise breaks it into lines and makes the window as
    // much taller.
    void placeMessage();
    // The form's own size and places, which a message of one line keeps.
    void restoreFormLayout();
    // The first alarm that waited behind a countdown, now the window is free.
    void presentPending();

    struct Pending {
        QString task;
        TaskAction action = TaskAction::ShowMessage;
        bool hasMessage = false;
        QString message;
    };
    // Shows an alarm on a window that holds none.
    void showFresh(const Pending& alarm);
    QList<Pending> m_pending;
    // The alarm on screen.
    Pending m_current;
    QSize m_formSize;
    int m_formMsgX = 0;
    int m_formMsgHeight = 0;
    QList<QPair<QWidget*, int>> m_formBelowMsg;

    AlarmTaskActions* m_tasks = nullptr;
    Platform* m_platform = nullptr;
    HandlerGuard* m_guard = nullptr;
    TaskAction m_action = TaskAction::ShowMessage;
    bool m_switchOff = false;
    // One for the whole program; set to 15 by each show from hidden.
    int CountdownSeconds = 15;

    std::unique_ptr<Ui::TfmMsg> ui;
    QTimer m_keepInFront;
    QTimer m_countdown;
};
