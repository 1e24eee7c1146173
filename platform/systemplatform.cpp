#include "systemplatform.h"

#include "autostart.h"
#include "instancelock.h"
#include "systemtrayicon.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

QString messageBoxTitle() {
    return QStringLiteral("Звонарька 2.5");
}

QString boxText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

QString SystemPlatform::userName() const {
    // The account of the process, not whatever USER says.
    if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString SystemPlatform::programPath() const {
    return QCoreApplication::applicationFilePath();
}

std::unique_ptr<InstanceLock> SystemPlatform::claimInstance() {
    return FileInstanceLock::claim(FileInstanceLock::defaultFolder(),
                                   FileInstanceLock::defaultName());
}

bool SystemPlatform::isSystemTrayAvailable() const {
    return SystemTrayIcon::isSystemTrayAvailable();
}

std::unique_ptr<TrayIcon> SystemPlatform::createTrayIcon(const QIcon& icon, const QString& tip) {
    return std::make_unique<SystemTrayIcon>(icon, tip);
}

QString SystemPlatform::autostartFolder() const {
    return autostart::folderFrom(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

void SystemPlatform::information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, messageBoxTitle(), boxText(text));
}

bool SystemPlatform::question(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, messageBoxTitle(), boxText(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void SystemPlatform::errorBox(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, messageBoxTitle(), boxText(text));
}

bool SystemPlatform::openWithDefaultHandler(const QString& pathOrUrl) {
    const QUrl url =
        QFileInfo(pathOrUrl).isAbsolute() ? QUrl::fromLocalFile(pathOrUrl) : QUrl(pathOrUrl);
    return QDesktopServices::openUrl(url);
}
