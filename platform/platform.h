#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>

class QIcon;
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

    // To come with their features: the sound module, the power module and the
    // file-open dialog.
};
