#include "autostart/startupentry.h"

#include "platform/autostart.h"
#include "platform/platform.h"
#include "store/keys.h"
#include "store/settingsfile.h"
#include "uicommon/handlerguard.h"
#include "uicommon/services.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kEntryName = QStringLiteral("Звонарька 2.5");

} // namespace

StartupEntry::StartupEntry(Services& services, const Controls& controls, QObject* parent)
    : QObject(parent), m_s(services), m_ui(controls) {
    connect(m_ui.startWithSessionBox, &QCheckBox::toggled, this,
            m_s.guard().slot(this, &StartupEntry::cbAutoLoadClick));
}

QString StartupEntry::startupShortcutFileName() {
    return kEntryName + QStringLiteral(".desktop");
}

void StartupEntry::cbAutoLoadClick() {
    // The folder is always known; the entry is never written outside it.
    const QString entry =
        QDir(m_s.platform().autostartFolder()).filePath(startupShortcutFileName());
    const QFileInfo info(entry);
    if (info.exists() || info.isSymLink()) {
        QFile::remove(entry);
        m_s.settings().WriteBool(keys::MainSection, keys::Autoload, false);
    }
    if (m_ui.startWithSessionBox->isChecked())
        CreateStartupShortcut(m_s.platform().programPath(), entry, QString());
}

void StartupEntry::CreateStartupShortcut(const QString& target, const QString& shortcutPath,
                                         const QString& arguments) {
    // The session starts the program in the folder it runs in now, where its
    // settings file lives. That is the program's own folder when it is run from
    // there; an installed program runs in the user's data folder instead, and
    // started in its own read-only folder it would find no settings at all.
    const QString workDir = QDir(m_s.workDir()).absolutePath();
    if (autostart::writeEntry(shortcutPath,
                              autostart::desktopEntry(kEntryName, target, arguments, workDir))) {
        m_s.settings().WriteBool(keys::MainSection, keys::Autoload, true);
    } else {
        const QString text =
            QStringLiteral("Немогу поместить ярлык проги\rв автозагрузку! Попробуйте в ручную..");
        const auto box = [this, text] { m_s.platform().information(m_ui.window, text); };
        if (m_s.guard().holdsBoxes())
            m_s.guard().showBoxLater(text, box);
        else
            box();
    }
}
