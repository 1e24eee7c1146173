#pragma once

#include "apperror.h"
#include "regionalformats.h"

#include <QHash>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

namespace Ui {
class TfmTocsiner;
}

class Clock;
class InstanceLock;
class Platform;
class QAction;
class QMenu;
class Schedule;
class SettingsFile;
class TfmAvtor;
class TfmMsg;
class TfmWeek;
class TrayIcon;

// What the main window needs from outside: the desktop, the clock, the user's
// formats and the folder the program was started in. Production passes the
// real ones; tests pass fakes.
struct ShellContext {
    Platform& platform;
    const Clock& clock;
    RegionalFormats formats;
    QString workDir;
};

// The main window. Its methods are spread over one source file per concern:
// start-up and shut-down here, the tray in tray.cpp, the autostart entry in
// startupentry.cpp; the task list, the editor and the clock add theirs from
// editor/ and scheduler/.
class TfmTocsiner final : public QWidget {
    Q_OBJECT

public:
    // Runs the start-up sequence (FormCreate). A second copy on the same
    // desktop stops at its first step: see isSecondCopy().
    explicit TfmTocsiner(ShellContext context, QWidget* parent = nullptr);
    // Runs the shut-down sequence (FormDestroy).
    ~TfmTocsiner() override;

    // True when another copy runs on this desktop: nothing was read or written
    // and the program should end with exit code 0.
    bool isSecondCopy() const { return m_secondCopy; }
    // The other three windows, created after this one.
    void attachWindows(TfmMsg* msg, TfmAvtor* avtor, TfmWeek* week);
    // What the message loop's start does: show the window unless it starts
    // hidden (then only the tray icon is there, or, with no tray, a minimised
    // window).
    void showAtStart();

    // Start-up and main window.
    void FormCreate();
    void FormDestroy();
    void FormShow();
    void FormResize();
    void FormMouseDown(Qt::MouseButton button, QPoint pos);
    void CloseAppClick();
    void cbARecClick();
    void LShowClick();

    // Tray icon and window visibility.
    void CreateTrayIcon();
    void DeleteTrayIcon();
    void TrayIconDoubleClick();
    void TrayIconRightButtonUp(QPoint globalPos);
    void pmiShowClick();
    void pmiHideClick();
    void OkClick();
    void cbStayOnTopClick();
    void cbStartHideClick();

    // Start with the session.
    void cbAutoLoadClick();
    void CreateStartupShortcut(const QString& target, const QString& shortcutPath,
                               const QString& arguments);
    static QString startupShortcutFileName();

    // Filled in by the features that own them (the task list, the clock, the
    // hourly chime); start-up calls them where the sequence says.
    void ApplySavedSort();
    void Timer1Timer();

    // --- chime: the hourly chime and the repeated event sounds ---
    // Arms Timer2 to fire five seconds before the next full hour, or to watch
    // every 100 ms during minute 59.
    void ArmHourlyChime();
    // Timer2's tick: watches for the hour to begin, sounds the chime in its
    // first minutes and re-arms.
    void Timer2Timer();
    // The user chose a chime in cbSound.
    void cbSoundChange();
    // Plays event sound 1..3 `count` times, waiting the sound's spacing
    // before each start; blocks the thread for count times the spacing.
    void PlaySoundTimes(int sound, int count);
    // --- end chime ---

    // --- firing: the clock tick, the armed task and its firing ---
    // Chooses the armed task, the first active one dated today whose time is
    // still ahead, and moves the task list's mark onto it.
    void PaintActEv();
    // Fires the named task: FireMode 0 when the clock fires the armed task,
    // -1 when the user tests a task.
    void DoEvent(const QString& TaskName, int FireMode);
    void sbTestEvClick();
    void sbCalculateClick();
    void TimeImageDblClick();
    void Button1Click();
    // Starts Timer1 with its ticks just after the wall clock's second
    // boundaries; the period stays one second.
    void startClock();
    // When the clock last fired a task, in milliseconds since the epoch of
    // the program's clock; for measurements.
    qint64 lastClockFiringMs() const { return m_lastFiringMs; }

    // Timer1's handler: the tick, with any error box shown after it returns.
    void clockTick();

private:
    void connectFiringHandlers();
    // Chooses the armed task among the entries of today from time of day
    // `from` on (PaintActEv: from now).
    void armFrom(double from);
    // Shows a box once the running handler has returned; a box of the same
    // text already waiting is not queued again.
    void showBoxLater(const QString& text, std::function<void()> box);
    void showErrorBoxLater(const QString& text);
    // Puts the next tick back just after a second boundary when the ticks
    // have drifted away from it.
    void alignClock();
    // The day and time of the entry the clock fired last. The table is not
    // rebuilt after a firing, so a task fired at the very millisecond of its
    // time would otherwise still count as ahead and fire once more.
    struct FiredEntry {
        int date = -1;
        double time = -1.0;
    } m_lastFired;
    qint64 m_lastFiringMs = 0;
    bool m_clockAligning = false;
    // The day of the last tick, for the daily refresh, and the moment of the
    // last tick as a day count.
    int m_tickDay = -1;
    double m_lastTick = -1.0;
    // Each task's last due moment fired by the clock (date + time), so that
    // no due moment fires twice, whatever the clock does.
    QHash<QString, double> m_firedDue;
    QStringList m_pendingBoxes;

public:
    // --- end firing ---

    // --- editor: the task editor, the repeat rule and the week-day picker ---
    // Loads the named task into the editor's fields; "¤" loads a new task.
    void ShowEvent(const QString& name);
    void sbSaveEventClick();
    void edTimeExit();
    void cbHoursClick();
    void cbHoursExit();
    void rgChooseClick();
    void rgChooseExit();
    void edAppDblClick();
    void sbOpenDlgClick();
    void edAppExit();
    void cbEvSoundChange();
    void udOnesClick();
    void edOnesChange();
    void edOnesExit();
    void edMsgEnter();
    void edMsgExit();
    void rgDaysClick();
    void OnAirDateCloseUp();
    void OnAirDateExit();
    // A character typed into edDay; true when the field keeps it.
    bool edDayKeyPress(QChar key);
    void edDayExit();
    // The picker lost activation: rebuilds the pending week string and, with
    // auto-record, stores it.
    void WriteWeek();
    void LoadWeekSets();
    void SaveWeekSets();
    // The name of today's week day beside the rule, from the picker's list.
    void showTodaysWeekDay();

private:
    void connectEditor();
    // The open-file dialog; the chosen path goes into edApp, then auto-record.
    void OpenDlg();
    // Auto-record is on and a saved task is loaded.
    bool autoRecording() const;
    void refreshEvTime();
    void reschedule();
    // The pending week string as a save stores it: in week-day mode an empty
    // one means today's day.
    QString weekToSave() const;
    // A countdown's end, in days from the start of today: "Time" and "Date".
    void writeCountdownEnd(const QString& task, double end);

public:
    // --- end editor ---

    // --- tasklist: the task list, its sort orders and deletion ---
    // (ApplySavedSort is declared with start-up's hooks above.)
    // Lists the tasks in file order, in the list and the name box.
    void GetEvents();
    // Each row's check from its task's "Activing"; an empty list is disabled.
    void SetActiving();
    void SortNClick();
    void SortTClick();
    void SortNoClick();
    void clbEventsClick();
    void clbEventsClickCheck();
    // The steps of clbEventsClickCheck on the given row: its check becomes its
    // task's "Activing", then the schedule is rebuilt and the mark moved. The
    // alarm window uses it on the fired task's row.
    void storeRowActiving(int row);
    void clbEventsExit();
    void pmiDelClick();
    void sbNewEvClick();
    void evNameChange();
    // A character typed into the name box; true when it was taken (Enter).
    bool evNameKeyPress(QChar key);

    QMenu* pmEvents = nullptr;
    QMenu* pmiSort = nullptr;
    QAction* SortN = nullptr;
    QAction* SortT = nullptr;
    QAction* SortNo = nullptr;
    QAction* pmiDel = nullptr;

    // Lets the alarm window act on this window's task list (alarm/).
    void attachAlarmWindow();

private:
    void connectTaskList();
    void buildTaskMenu();
    // Selects the row of that name, whatever its letter case, as the only
    // selected and the focused row; nothing when there is none.
    void selectTaskRow(const QString& name);
    // Empties the name box's drop-down, keeping the text in the box.
    void clearNameBoxList();
    // Fills the name box's drop-down in its own alphabetical order.
    void fillNameBoxList(QStringList names);

public:
    // --- end tasklist ---

    // --- about: help and the About window ---
    void sbHelpClick();
    void sbAboutClick();
    // <program folder>/help/help.htm
    QString helpFilePath() const;
    void connectAboutHandlers();
    // Lets the About window find its way back to this one.
    void attachAboutWindow();
    // --- end about ---

    // Runs a handler: an AppError (a refused write) or any other exception
    // stops it there and shows the one modal error box; nothing crosses the
    // event loop.
    template <class F> void guarded(F&& handler) noexcept;
    void showErrorBox(const QString& text) noexcept;

    SettingsFile* settings() const { return m_settings.get(); }
    Schedule* schedule() const { return m_schedule.get(); }
    Platform& platform() const { return m_platform; }
    const Clock& clock() const { return m_clock; }
    const RegionalFormats& formats() const { return m_formats; }
    TrayIcon* trayIcon() const { return m_tray.get(); }
    QMenu* trayMenu() const { return pmIcon; }
    bool startsHidden() const { return m_startHidden; }
    // How many times a press on the bare background started a window move.
    int systemMoveRequests() const { return m_moveRequests; }

    // The task loaded in the editor; empty while a new task is entered.
    QString CurrentTaskName;
    // The week-day picker's pending week string.
    QString WeekString;
    // The clock tick (enabled at the end of start-up) and the hourly chime.
    QTimer Timer1;
    QTimer Timer2;

    TfmMsg* fmMsg = nullptr;
    TfmAvtor* fmAvtor = nullptr;
    TfmWeek* fmWeek = nullptr;

    std::unique_ptr<Ui::TfmTocsiner> ui;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectHandlers();
    void buildTrayMenu();
    // One step of start-up that may write: a refused write shows its box and
    // start-up goes on.
    template <class F> void startupStep(F&& step);
    // Outer size (frame included), as the settings file keeps it.
    void setOuterSize(int width, int height);
    void applyPendingOuterSize();

    Platform& m_platform;
    const Clock& m_clock;
    RegionalFormats m_formats;
    QString m_workDir;

    std::unique_ptr<InstanceLock> m_instance;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<Schedule> m_schedule;
    std::unique_ptr<TrayIcon> m_tray;

    QMenu* pmIcon = nullptr;
    QAction* pmiHide = nullptr;
    QAction* pmiShow = nullptr;
    QAction* N1 = nullptr;
    QAction* pmiClose = nullptr;
    QList<QPixmap> ImageList1;

    bool m_secondCopy = false;
    bool m_startHidden = false;
    // From the start-up sequence to the other windows' attachment: only the
    // first error box is shown.
    bool m_startingUp = true;
    bool m_startupBoxShown = false;
    // Shut-down has begun: no handler runs any more (see guarded()).
    bool m_destroyed = false;
    bool m_outerSizePending = false;
    bool m_adjustingFrame = false;
    QSize m_outerSize;
    int m_moveRequests = 0;
};

template <class F> void TfmTocsiner::guarded(F&& handler) noexcept {
    // Once shut-down has begun the settings file and the schedule are gone:
    // a focus leaving a field as the controls are destroyed, a late timer or
    // a tray message must find nothing to run.
    if (m_destroyed)
        return;
    try {
        handler();
    } catch (const AppError& e) {
        showErrorBox(e.message());
    } catch (const std::exception& e) {
        showErrorBox(QString::fromLocal8Bit(e.what()));
    }
}
