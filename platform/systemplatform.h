#pragma once

#include "platform.h"

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
};

// The caption of the program's message boxes.
QString messageBoxTitle();
// A text of the program's boxes as Qt shows it: "\r" breaks the line.
QString boxText(const QString& text);
