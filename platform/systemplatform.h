#pragma once

#include "platform/platform.h"

class QDialog;

// The real desktop: X11 or Wayland through Qt, the XDG folders, the login
// name of the process's user.
class SystemPlatform final : public Platform {
public:
    QString userName() const override;
    QString programPath() const override;
    std::unique_ptr<InstanceLock> claimInstance() override;
    bool isSystemTrayAvailable() const override;
    std::unique_ptr<TrayIcon> createTrayIcon(const QIcon& icon, const QString& tip) override;
    QString autostartFolder() const override;
    void information(QWidget* parent, const QString& text) override;
    bool question(QWidget* parent, const QString& text) override;
    void errorBox(QWidget* parent, const QString& text) override;
    bool openWithDefaultHandler(const QString& pathOrUrl) override;

    // --- sound: the event sounds and the hourly chime ---
    void playSound(QStringView name) override;
    void waitThen(int ms, QObject* context, std::function<void()> then) override;
    // --- end sound ---

    // --- editor: the file-open dialog and the keyboard layout ---
    QString getOpenFileName(QWidget* parent, const QString& dir) override;
    void activateKeyboardLayout(const QString& layoutId) override;
    // --- end editor ---

    // --- firing: a task's program or document, the date and time settings ---
    bool openApp(const QString& path) override;
    void openDateTimeSettings() override;
    // --- end firing ---

    // --- power: restart and switch-off through the power module ---
    void restart() override;
    void powerOff() override;
    // --- end power ---

    // Runs a box or dialog until it is answered, blocking the window that
    // asked (when shown) and no other; the dialog's result. Once the program
    // is ending (a shut-down signal came) no dialog is shown: it is rejected.
    static int runDialog(QDialog& dialog, QWidget* parent);
    // The program is ending: every box and dialog open now is rejected, so
    // whatever waits on one goes on at once.
    static void rejectOpenDialogs();
};

// The caption of the program's message boxes.
QString messageBoxTitle();
// A text of the program's boxes as Qt shows it: "\r" breaks the line.
QString boxText(const QString& text);
