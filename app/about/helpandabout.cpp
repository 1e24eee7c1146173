// The main window's two ways out of the editor: the user guide and the About
// card.
#include "tfmtocsiner.h"
#include "ui_tfmtocsiner.h"

#include "platform.h"
#include "tfmavtor.h"
#include "tfmweek.h"

#include <QFileInfo>
#include <QToolButton>

void TfmTocsiner::connectAboutHandlers() {
    connect(ui->sbHelp, &QToolButton::clicked, this,
            [this] { guarded([this] { sbHelpClick(); }); });
    connect(ui->sbAbout, &QToolButton::clicked, this,
            [this] { guarded([this] { sbAboutClick(); }); });
}

void TfmTocsiner::attachAboutWindow() {
    if (fmAvtor != nullptr)
        fmAvtor->attachMainWindow(this);
}

QString TfmTocsiner::helpFilePath() const {
    return QFileInfo(m_platform.programPath()).absolutePath() + QStringLiteral("/help/help.htm");
}

void TfmTocsiner::sbHelpClick() {
    // Whether the file is there is the handler's business, not ours: only a
    // handler that cannot be started is reported.
    const QString path = helpFilePath();
    if (!m_platform.openWithDefaultHandler(path))
        m_platform.information(this, QStringLiteral("Возникли проблемы с открытием файла ") + path);
}

void TfmTocsiner::sbAboutClick() {
    hide();
    if (fmWeek != nullptr)
        fmWeek->hide();
    if (fmAvtor != nullptr) {
        fmAvtor->show();
        fmAvtor->raise();
        fmAvtor->activateWindow();
    }
}
