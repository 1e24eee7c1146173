#pragma once

#include "apperror.h"
#include "regionalformats.h"

#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <exception>
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
    void ArmHourlyChime();

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
    bool m_destroyed = false;
    bool m_outerSizePending = false;
    bool m_adjustingFrame = false;
    QSize m_outerSize;
    int m_moveRequests = 0;
};

template <class F> void TfmTocsiner::guarded(F&& handler) noexcept {
    try {
        handler();
    } catch (const AppError& e) {
        showErrorBox(e.message());
    } catch (const std::exception& e) {
        showErrorBox(QString::fromLocal8Bit(e.what()));
    }
}
