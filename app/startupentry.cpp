// The entry in the session's autostart folder that starts the program with
// the session.
#include "tfmtocsiner.h"
#include "ui_tfmtocsiner.h"

#include "autostart.h"
#include "keys.h"
#include "platform.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kEntryName = QStringLiteral("Звонарька 2.5");

} // namespace

QString TfmTocsiner::startupShortcutFileName() {
    return kEntryName + QStringLiteral(".desktop");
}

void TfmTocsiner::cbAutoLoadClick() {
    // 1, 2. The folder is always known; the entry is never written outside it.
    const QString entry = QDir(m_platform.autostartFolder()).filePath(startupShortcutFileName());
    // 3.
    const QFileInfo info(entry);
    if (info.exists() || info.isSymLink()) {
        QFile::remove(entry);
        m_settings->WriteBool(keys::MainSection, keys::Autoload, false);
    }
    // 4.
    if (ui->cbAutoLoad->isChecked())
        CreateStartupShortcut(m_platform.programPath(), entry, QString());
}

void TfmTocsiner::CreateStartupShortcut(const QString& target, const QString& shortcutPath,
                                        const QString& arguments) {
    // The session starts the program in the folder it runs in now, where its
    // settings file lives. That is the program's own folder when it is run from
    // there; an installed program runs in the user's data folder instead, and
    // started in its own read-only folder it would find no settings at all.
    const QString workDir = QDir(m_workDir).absolutePath();
    if (autostart::writeEntry(shortcutPath,
                              autostart::desktopEntry(kEntryName, target, arguments, workDir))) {
        m_settings->WriteBool(keys::MainSection, keys::Autoload, true);
    } else {
        m_platform.information(
            this,
            QStringLiteral("Немогу поместить ярлык проги\rв автозагрузку! Попробуйте в ручную.."));
    }
}
