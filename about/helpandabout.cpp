#include "about/helpandabout.h"

#include "about/aboutcard.h"
#include "platform/platform.h"
#include "uicommon/handlerguard.h"
#include "uicommon/services.h"

#include <QFileInfo>
#include <QToolButton>

HelpAndAbout::HelpAndAbout(Services& services, const Controls& controls,
                           std::function<void()> hidePicker, QObject* parent)
    : QObject(parent), m_s(services), m_window(controls.window),
      m_hidePicker(std::move(hidePicker)) {
    HandlerGuard& guard = m_s.guard();
    connect(controls.helpButton, &QToolButton::clicked, this,
            guard.slot(this, &HelpAndAbout::sbHelpClick));
    connect(controls.aboutButton, &QToolButton::clicked, this,
            guard.slot(this, &HelpAndAbout::sbAboutClick));
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
    if (m_aboutCard != nullptr) {
        m_aboutCard->show();
        m_aboutCard->raise();
        m_aboutCard->activateWindow();
    }
}
