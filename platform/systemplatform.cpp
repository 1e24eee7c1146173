#include "platform/systemplatform.h"

#include "platform/autostart.h"
#include "platform/instancelock.h"
#include "platform/shutdownsignals.h"
#include "platform/systemtrayicon.h"

#include "modules/client/powermodule.h"
#include "modules/client/soundmodule.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>

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
    return claimDesktopInstance();
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
    QMessageBox box(QMessageBox::Information, messageBoxTitle(), boxText(text), QMessageBox::Ok,
                    parent);
    runDialog(box, parent);
}

bool SystemPlatform::question(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, messageBoxTitle(), boxText(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    runDialog(box, parent);
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

void SystemPlatform::errorBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, messageBoxTitle(), boxText(text), QMessageBox::Ok,
                    parent);
    runDialog(box, parent);
}

namespace {

// The boxes and dialogs being answered now, innermost last.
QList<QPointer<QDialog>>& openDialogs() {
    static QList<QPointer<QDialog>> dialogs;
    return dialogs;
}

// A box opened under one of the program's windows that stay on top (the
// pinned week-day picker, the alarm window, the main window with its
// stay-on-top option) hides the question its user must answer, and its
// buttons with it. While any of them is shown, the box stays on top too;
// being the newest, the window manager stacks it above them.
void keepAboveProgramWindows(QDialog& dialog) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool anyOnTop = std::any_of(windows.cbegin(), windows.cend(), [&](const QWidget* w) {
        return w != &dialog && w->isVisible() &&
               w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    });
    if (anyOnTop)
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

int runAsked(QDialog& dialog, QWidget* parent);

} // namespace

void SystemPlatform::rejectOpenDialogs() {
    const QList<QPointer<QDialog>> dialogs = openDialogs();
    for (auto it = dialogs.crbegin(); it != dialogs.crend(); ++it) {
        if (!it->isNull())
            (*it)->reject();
    }
}

int SystemPlatform::runDialog(QDialog& dialog, QWidget* parent) {
    // Ending never waits for a person.
    if (ShutdownSignals::requested())
        return QDialog::Rejected;
    openDialogs().append(QPointer<QDialog>(&dialog));
    const int result = runAsked(dialog, parent);
    openDialogs().removeAll(QPointer<QDialog>(&dialog));
    openDialogs().removeAll(QPointer<QDialog>());
    return ShutdownSignals::requested() ? int(QDialog::Rejected) : result;
}

namespace {

int runAsked(QDialog& dialog, QWidget* parent) {
    keepAboveProgramWindows(dialog);
    // Modal to the window that asks, not to the whole program: the alarm
    // window, a top-level of its own, keeps its button working while a
    // question or the file dialog is open. The clock keeps ticking either way.
    if (parent == nullptr)
        return dialog.exec();
    if (parent->isVisible()) {
        dialog.setWindowModality(Qt::WindowModal);
        return dialog.exec();
    }
    // Asked for a hidden window (one put away in the tray): there is nothing
    // to block, so the dialog blocks no window and only this call waits.
    dialog.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    int result = QDialog::Rejected;
    QObject::connect(&dialog, &QDialog::finished, &loop, [&](int r) {
        result = r;
        loop.quit();
    });
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    loop.exec();
    return result;
}

} // namespace

bool SystemPlatform::openWithDefaultHandler(const QString& pathOrUrl) {
    const QUrl url =
        QFileInfo(pathOrUrl).isAbsolute() ? QUrl::fromLocalFile(pathOrUrl) : QUrl(pathOrUrl);
    return QDesktopServices::openUrl(url);
}

// --- sound: the event sounds and the hourly chime ---
void SystemPlatform::playSound(QStringView name) {
    // One module for the whole run, opened at the first sound, so nothing of
    // audio is loaded before then. A missing module or device plays nothing,
    // silently.
    static SoundModule module(QCoreApplication::applicationDirPath());
    module.play(name);
}

void SystemPlatform::waitThen(int ms, QObject* context, std::function<void()> then) {
    // Precise: a sound's spacing is heard.
    QTimer::singleShot(qMax(0, ms), Qt::PreciseTimer, context, std::move(then));
}
// --- end sound ---

// --- editor: the file-open dialog and the keyboard layout ---
namespace {

// "Ехе-шники" means the files that can be run. A name pattern cannot say
// that on Linux, so this filter asks the file system: folders (to move
// through) and executable files stay, the rest goes.
class ExecutableFilter final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setActive(bool active) {
        m_active = active;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (!m_active)
            return true;
        auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
        if (fs == nullptr)
            return true;
        const QFileInfo info = fs->fileInfo(fs->index(row, 0, parent));
        return info.isDir() || info.isExecutable();
    }

private:
    bool m_active = true;
};

} // namespace

QString SystemPlatform::getOpenFileName(QWidget* parent, const QString& dir) {
    const QString programs = QStringLiteral("Ехе-шники (*)");
    QFileDialog dialog(parent, QString(), dir);
    // Qt's own dialog: the desktop's native one takes no proxy model.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    auto* filter = new ExecutableFilter(&dialog);
    dialog.setProxyModel(filter);
    dialog.setNameFilters(
        {programs, QStringLiteral("Текстовики (*.txt)"), QStringLiteral("Все файлы (*)")});
    dialog.selectNameFilter(programs);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [filter](const QString& chosen) {
                         // With the details hidden the dialog may report the
                         // bare name.
                         filter->setActive(chosen.startsWith(QStringLiteral("Ехе-шники")));
                     });
    if (runDialog(dialog, parent) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

void SystemPlatform::activateKeyboardLayout(const QString&) {
    // Linux desktops have no common way for a program to switch the user's
    // keyboard layout (X11 groups, GNOME input sources, KDE layouts and
    // Wayland compositors each keep their own), and changing it behind the
    // user's back would outlast this field. The switch is left to the user.
}
// --- end editor ---

// --- firing: a task's program or document, the date and time settings ---
bool SystemPlatform::openApp(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    // A missing file is a failure the user is told of, as the desktop's own
    // launcher would say it; the default handler would only start and fail.
    if (!info.exists())
        return false;
    // The full path, so a bare name is never looked up on PATH, and no shell
    // ever sees it: spaces, quotes and semicolons stay part of the name.
    if (info.isFile() && info.isExecutable())
        return QProcess::startDetached(info.absoluteFilePath(), {});
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

void SystemPlatform::openDateTimeSettings() {
    // The date and time panels of the common desktops, the first one present wins.
    static const struct {
        const char* program;
        const char* argument;
    } panels[] = {
        {"gnome-control-center", "datetime"}, {"cinnamon-settings", "calendar"},
        {"kcmshell6", "kcm_clock"},           {"kcmshell5", "clock"},
        {"mate-time-admin", nullptr},         {"time-admin", nullptr},
    };
    for (const auto& panel : panels) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(panel.program));
        if (program.isEmpty())
            continue;
        QStringList arguments;
        if (panel.argument != nullptr)
            arguments.append(QString::fromLatin1(panel.argument));
        QProcess::startDetached(program, arguments);
        return;
    }
}
// --- end firing ---

// --- power: restart and switch-off through the power module ---
// The module is opened from the program's folder for the one call; a missing
// module or a refused request simply has no effect.
void SystemPlatform::restart() {
    PowerModule(QFileInfo(programPath()).absolutePath()).restart();
}

void SystemPlatform::powerOff() {
    PowerModule(QFileInfo(programPath()).absolutePath()).powerOff();
}
// --- end power ---
