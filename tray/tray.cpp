#include "tray/tray.h"

#include "platform/platform.h"
#include "store/keys.h"
#include "store/settingsfile.h"
#include "uicommon/handlerguard.h"
#include "uicommon/icons.h"
#include "uicommon/services.h"

#include <QCheckBox>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

namespace {

const QString kTrayTip = QStringLiteral("Звонарька 2.5");

} // namespace

Tray::Tray(Services& services, QWidget* window, TrayWindowLink& link, const Controls& controls,
           QObject* parent)
    : QObject(parent), m_s(services), m_window(window), m_link(link),
      m_stayOnTopBox(controls.stayOnTopBox), m_startHiddenBox(controls.startHiddenBox) {
    buildTrayMenu();
    HandlerGuard& guard = m_s.guard();
    connect(controls.hideButton, &QToolButton::clicked, this, guard.slot(this, &Tray::OkClick));
    connect(m_stayOnTopBox, &QCheckBox::toggled, this, guard.slot(this, &Tray::cbStayOnTopClick));
    connect(m_startHiddenBox, &QCheckBox::toggled, this, guard.slot(this, &Tray::cbStartHideClick));
}

Tray::~Tray() = default;

void Tray::buildTrayMenu() {
    m_menuPictures = {icons::menuPicture(icons::MenuPicture::Hide),
                      icons::menuPicture(icons::MenuPicture::Show),
                      icons::menuPicture(icons::MenuPicture::Close)};
    m_window->setWindowIcon(icons::alarmClock());

    m_menu = new QMenu(m_window);
    m_menu->setObjectName(QStringLiteral("pmIcon"));
    m_hideAction = m_menu->addAction(QIcon(m_menuPictures.at(0)), QStringLiteral("Спрятать"));
    m_hideAction->setObjectName(QStringLiteral("pmiHide"));
    m_showAction = m_menu->addAction(QIcon(m_menuPictures.at(1)), QStringLiteral("Показать"));
    m_showAction->setObjectName(QStringLiteral("pmiShow"));
    QFont bold = m_showAction->font();
    bold.setBold(true);
    m_showAction->setFont(bold);
    m_menu->setDefaultAction(m_showAction);
    m_separator = m_menu->addSeparator();
    m_separator->setObjectName(QStringLiteral("N1"));
    m_closeAction = m_menu->addAction(QIcon(m_menuPictures.at(2)), QStringLiteral("Закрыть"));
    m_closeAction->setObjectName(QStringLiteral("pmiClose"));

    // Drawn by a StatusNotifierItem host, the menu opens without the program
    // seeing the click: the main window comes to the front here, as for its
    // own popup. Not activated, which would take the focus from the host's
    // menu and close it.
    connect(m_menu, &QMenu::aboutToShow, this, [this] {
        if (m_window->isVisible() && !m_window->isMinimized())
            m_window->raise();
    });

    HandlerGuard& guard = m_s.guard();
    connect(m_hideAction, &QAction::triggered, this, guard.slot(this, &Tray::pmiHideClick));
    connect(m_showAction, &QAction::triggered, this, guard.slot(this, &Tray::pmiShowClick));
    connect(m_closeAction, &QAction::triggered, this,
            [this, &guard] { guard.run([this] { m_link.CloseAppClick(); }); });
}

void Tray::CreateTrayIcon() {
    if (!m_tray) {
        m_tray = m_s.platform().createTrayIcon(icons::alarmClock(), kTrayTip);
        m_tray->setMenu(m_menu);
        connect(m_tray.get(), &TrayIcon::doubleClicked, this,
                m_s.guard().slot(this, &Tray::TrayIconDoubleClick));
        connect(m_tray.get(), &TrayIcon::rightButtonReleased, this,
                [this](QPoint at) { m_s.guard().run([this, at] { TrayIconRightButtonUp(at); }); });
    }
    m_tray->add();
}

void Tray::DeleteTrayIcon() {
    if (m_tray)
        m_tray->remove();
}

void Tray::TrayIconDoubleClick() {
    pmiShowClick();
}

void Tray::TrayIconRightButtonUp(QPoint globalPos) {
    // The main window comes to the front first, where it is shown; a hidden
    // or minimised one stays as it is. Qt's popup closes by itself on a click
    // elsewhere.
    if (m_window->isVisible() && !m_window->isMinimized()) {
        m_window->raise();
        m_window->activateWindow();
    }
    m_menu->popup(globalPos);
}

void Tray::pmiShowClick() {
    const bool minimised = m_window->isVisible() && m_window->isMinimized();
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // A window hidden as a minimised one (no tray) shows again here: it was
    // never hidden for Qt, so this is its showing.
    if (minimised)
        m_link.FormShow();
}

void Tray::pmiHideClick() {
    // Leaving the editor's field stores a pending edit.
    m_link.leaveEditor();
    // Without a tray there would be no way back: minimise instead.
    if (m_window->isVisible()) {
        if (m_s.platform().isSystemTrayAvailable())
            m_window->hide();
        else if (!m_window->isMinimized())
            m_window->showMinimized();
    }
    // Pinned or not.
    m_link.hideWeekPicker();
}

void Tray::OkClick() {
    pmiHideClick();
}

void Tray::cbStayOnTopClick() {
    DeleteTrayIcon();
    const bool wasVisible = m_window->isVisible();
    const bool onTop = m_stayOnTopBox->isChecked();
    if (onTop != bool(m_window->windowFlags() & Qt::WindowStaysOnTopHint)) {
        // Qt hides the window while it changes its flags; contents and
        // visibility stay as they were.
        m_window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        if (wasVisible)
            m_window->show();
    }
    CreateTrayIcon();
    m_s.settings().WriteBool(keys::MainSection, keys::StayOnTop, onTop);
}

void Tray::cbStartHideClick() {
    m_s.settings().WriteBool(keys::MainSection, keys::HideOnStart, m_startHiddenBox->isChecked());
}
