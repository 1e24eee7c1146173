#include "about/helpandabout.h"

#include "about/aboutcard.h"
#include "platform/platform.h"
#include "uicommon/handlerguard.h"
#include "uicommon/services.h"

#include <QFileInfo>
#include <QToolButton>

HelpAndAbout::HelpAndAbout(Services& services, QWidget* window, QToolButton* sbHelp,
                           QToolButton* sbAbout, std::function<void()> hidePicker, QObject* parent)
    : QObject(parent), m_s(services), m_window(window), m_hidePicker(std::move(hidePicker)) {
    connect(sbHelp, &QToolButton::clicked, this,
            [this] { m_s.guard().run([this] { sbHelpClick(); }); });
    connect(sbAbout, &QToolButton::clicked, this,
            [this] { m_s.guard().run([this] { sbAboutClick(); }); });
}

QString HelpAndAbout::helpFilePath() const {
    return QFileInfo(m_s.platform().programPath()).absolutePath() +
           QStringLiteral("/help/help.htm");
}

void HelpAndAbout::sbHelpClick() {
    // Whether the file is there is the handler's business, not ours: only a
    // handler that cannot be started is reported.
    const QString path = helpFilePath();
    if (!m_s.platform().openWithDefaultHandler(path))
        m_s.platform().information(m_window,
                                   QStringLiteral("Возникли проблемы с открытием файла ") + path);
}

void HelpAndAbout::sbAboutClick() {
    m_window->hide();
    if (m_hidePicker)
        m_hidePicker();
    if (fmAvtor != nullptr) {
        fmAvtor->show();
        fmAvtor->raise();
        fmAvtor->activateWindow();
    }
}
