#pragma once

#include "store/regionalformats.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

namespace Ui {
class TfmTocsiner;
}

class Clock;
class Firing;
class HandlerGuard;
class HelpAndAbout;
class HourlyChime;
class InstanceLock;
class Platform;
class QMenu;
class Schedule;
class Services;
class SettingsFile;
class StartupEntry;
class TaskEditor;
class TaskList;
class AboutCard;
class AlarmWindow;
class WeekDayPicker;
class Tray;
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

// The main window. It composes: it makes the shared services and the
// features (the task list, the editor, the clock and firing, the hourly
// chime, the tray, the autostart entry, help and About), gives each its
// controls of the main form, connects what one feature tells another, and
// runs the start-up and shut-down sequences by calling them in order. Its
// own handlers are the window's: showing, sizing, moving, closing, the
// auto-record option and the hidden view's label. See docs/architecture.md.
class MainWindow final : public QWidget {
    Q_OBJECT

public:
    // Runs the start-up sequence (FormCreate). A second copy on the same
    // desktop stops at its first step: see isSecondCopy().
    explicit MainWindow(ShellContext context, QWidget* parent = nullptr);
    // Runs the shut-down sequence (FormDestroy).
    ~MainWindow() override;

    // True when another copy runs on this desktop: nothing was read or written
    // and the program should end with exit code 0.
    bool isSecondCopy() const { return m_secondCopy; }
    // The other three windows, created after this one; nulls untie them.
    void attachWindows(AlarmWindow* alarm, AboutCard* about, WeekDayPicker* weekPicker);
    // The program is ending: the other windows' shut-down comes before this
    // one's, and from here on a failure is reported, not shown in a box.
    void beginShutdown();
    // The display went away (the X server ended before the program): stores
    // what the shut-down stores, without a word to the display, and closes
    // the settings file. The program must then end at once.
    void displayLost();
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

    // The features.
    TaskList* taskList() const { return m_taskList.get(); }
    TaskEditor* editor() const { return m_editor.get(); }
    Firing* firing() const { return m_firing.get(); }
    HourlyChime* chime() const { return m_chime.get(); }
    Tray* tray() const { return m_tray.get(); }
    StartupEntry* startupEntry() const { return m_startupEntry.get(); }
    HelpAndAbout* helpAndAbout() const { return m_about.get(); }
    // Runs every handler of this window and its features.
    HandlerGuard& guard() const { return *m_guard; }
    // The main form's controls, by their names.
    Ui::TfmTocsiner* form() const { return ui.get(); }

    // The shared services; the settings file and the schedule are null
    // before start-up opens them and after shut-down.
    SettingsFile* settings() const;
    Schedule* schedule() const;
    Platform& platform() const;
    const Clock& clock() const;
    const RegionalFormats& formats() const;
    TrayIcon* trayIcon() const;
    QMenu* trayMenu() const;
    bool startsHidden() const { return m_startHidden; }
    // How many times a press on the bare background started a window move.
    int systemMoveRequests() const { return m_moveRequests; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Answers what the tray and the alarm window ask of the rest.
    class Links;

    void makeFeatures();
    void connectHandlers();
    void showErrorBox(const QString& text) noexcept;
    // One step of start-up that may write: a refused write shows its box and
    // start-up goes on.
    template <class F> void startupStep(F&& step);
    // Outer size (frame included), as the settings file keeps it.
    void setOuterSize(int width, int height);
    void applyPendingOuterSize();
    // The main window's Left and Top.
    void storePlace();

    std::unique_ptr<Ui::TfmTocsiner> ui;
    std::unique_ptr<HandlerGuard> m_guard;
    std::unique_ptr<Services> m_services;
    std::unique_ptr<InstanceLock> m_instance;
    std::unique_ptr<Links> m_links;
    // Made in this order, each after what it uses, and gone in the reverse.
    std::unique_ptr<Tray> m_tray;
    std::unique_ptr<StartupEntry> m_startupEntry;
    std::unique_ptr<HourlyChime> m_chime;
    std::unique_ptr<Firing> m_firing;
    std::unique_ptr<HelpAndAbout> m_about;
    std::unique_ptr<TaskList> m_taskList;
    std::unique_ptr<TaskEditor> m_editor;

    AlarmWindow* m_alarmWindow = nullptr;
    AboutCard* m_aboutCard = nullptr;
    WeekDayPicker* m_weekPicker = nullptr;

    bool m_secondCopy = false;
    bool m_startHidden = false;
    // From the start-up sequence to the other windows' attachment: only the
    // first error box is shown.
    bool m_startingUp = true;
    bool m_startupBoxShown = false;
    bool m_shuttingDown = false;
    bool m_outerSizePending = false;
    bool m_adjustingFrame = false;
    QSize m_outerSize;
    // The frame's place from the settings file, until the frame is known.
    std::optional<QPoint> m_framePlace;
    int m_moveRequests = 0;
};
