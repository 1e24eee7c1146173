#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>

class QIcon;
class QMenu;
class QWidget;

// Held by the running copy for as long as it runs; releasing it lets the next
// copy start.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
};

// The one icon of the program in the desktop's notification area. Adding an
// icon that is there or removing one that is not does nothing, as the shell
// does with a second add or a stray delete.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void add() = 0;
    virtual void remove() = 0;
    virtual bool isAdded() const = 0;
    // The menu that hosts drawing their own menus (StatusNotifierItem) show at
    // the icon. Hosts that report the right click get none: the program pops
    // its own menu then, on the button's release.
    virtual void setMenu(QMenu* menu) { Q_UNUSED(menu) }

Q_SIGNALS:
    // A double click with the left button.
    void doubleClicked();
    // The right button released over the icon, at this screen position.
    void rightButtonReleased(QPoint globalPos);
};

// Everything the program needs of the desktop and the operating system. The
// windows reach the outside world only through this, so tests run them against
// a fake.
class Platform {
public:
    virtual ~Platform() = default;

    // The login name of the process's user.
    virtual QString userName() const = 0;
    // The full path of the program's executable.
    virtual QString programPath() const = 0;

    // One copy per desktop: the lock of this user on this display, or nothing
    // when another live copy holds it.
    virtual std::unique_ptr<InstanceLock> claimInstance() = 0;

    virtual bool isSystemTrayAvailable() const = 0;
    virtual std::unique_ptr<TrayIcon> createTrayIcon(const QIcon& icon, const QString& tip) = 0;

    // The folder the session starts programs from: $XDG_CONFIG_HOME/autostart,
    // else ~/.config/autostart. It need not exist yet.
    virtual QString autostartFolder() const = 0;

    // Modal boxes. A "\r" in a text breaks the line.
    virtual void information(QWidget* parent, const QString& text) = 0;
    // Yes/No; true for Yes.
    virtual bool question(QWidget* parent, const QString& text) = 0;
    // The application's standard error box.
    virtual void errorBox(QWidget* parent, const QString& text) = 0;

    // A document or URL opened with the desktop's default handler; false when
    // nothing could open it.
    virtual bool openWithDefaultHandler(const QString& pathOrUrl) = 0;

    // --- sound: the event sounds and the hourly chime ---
    // Starts the sound module's wave "co", "ro" or "ch" and returns at once; a
    // sound still playing is cut off. No module, no such wave or no audio
    // device plays nothing, and nothing is reported.
    virtual void playSound(QStringView name) = 0;
    // Runs `then` on the user-interface thread once ms milliseconds have
    // passed, unless `context` is gone by then. The event loop runs
    // meanwhile: the windows repaint and answer, and the clock ticks on.
    virtual void waitThen(int ms, QObject* context, std::function<void()> then) = 0;
    // --- end sound ---

    // --- editor: the file-open dialog and the keyboard layout ---
    // The open-file dialog of a task's program or document, opening in dir,
    // with the filters "Ехе-шники" (executable files), "Текстовики" (*.txt)
    // and "Все файлы". The chosen file's full path; empty when cancelled.
    virtual QString getOpenFileName(QWidget* parent, const QString& dir) = 0;
    // Switches the keyboard layout of the input that follows to a Windows
    // layout id ("00000419" Russian, "00000409" English US).
    virtual void activateKeyboardLayout(const QString& layoutId) = 0;
    // --- end editor ---

    // --- firing: a task's program or document, the date and time settings ---
    // Opens a task's "App" as one path, never through a shell command line:
    // an executable file is started on its own, any other file goes to the
    // desktop's default handler. False when it could not be opened.
    virtual bool openApp(const QString& path) = 0;
    // Opens the desktop's date and time settings, the first such panel found;
    // whether one opens is not reported.
    virtual void openDateTimeSettings() = 0;
    // --- end firing ---

    // --- power: restart and switch-off through the power module ---
    // Restarts or switches off the computer through the power module. A
    // missing module or export, or a refused request, does nothing and
    // reports nothing.
    virtual void restart() = 0;
    virtual void powerOff() = 0;
    // --- end power ---
};
