// The tray icon, its menu and the showing and hiding of the main window.
#include "tfmtocsiner.h"
#include "ui_tfmtocsiner.h"

#include "icons.h"
#include "keys.h"
#include "platform.h"
#include "settingsfile.h"
#include "tfmweek.h"

#include <QMenu>

namespace {

const QString kTrayTip = QStringLiteral("Звонарька 2.5");

} // namespace

void TfmTocsiner::buildTrayMenu() {
    ImageList1 = {icons::menuPicture(icons::MenuPicture::Hide),
                  icons::menuPicture(icons::MenuPicture::Show),
                  icons::menuPicture(icons::MenuPicture::Close)};
    setWindowIcon(icons::alarmClock());

    pmIcon = new QMenu(this);
    pmIcon->setObjectName(QStringLiteral("pmIcon"));
    pmiHide = pmIcon->addAction(QIcon(ImageList1.at(0)), QStringLiteral("Спрятать"));
    pmiHide->setObjectName(QStringLiteral("pmiHide"));
    pmiShow = pmIcon->addAction(QIcon(ImageList1.at(1)), QStringLiteral("Показать"));
    pmiShow->setObjectName(QStringLiteral("pmiShow"));
    QFont bold = pmiShow->font();
    bold.setBold(true);
    pmiShow->setFont(bold);
    pmIcon->setDefaultAction(pmiShow);
    N1 = pmIcon->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    pmiClose = pmIcon->addAction(QIcon(ImageList1.at(2)), QStringLiteral("Закрыть"));
    pmiClose->setObjectName(QStringLiteral("pmiClose"));

    connect(pmiHide, &QAction::triggered, this, [this] { guarded([this] { pmiHideClick(); }); });
    connect(pmiShow, &QAction::triggered, this, [this] { guarded([this] { pmiShowClick(); }); });
    connect(pmiClose, &QAction::triggered, this, [this] { guarded([this] { CloseAppClick(); }); });
}

void TfmTocsiner::CreateTrayIcon() {
    if (!m_tray) {
        m_tray = m_platform.createTrayIcon(icons::alarmClock(), kTrayTip);
        connect(m_tray.get(), &TrayIcon::doubleClicked, this,
                [this] { guarded([this] { TrayIconDoubleClick(); }); });
        connect(m_tray.get(), &TrayIcon::rightButtonReleased, this,
                [this](QPoint at) { guarded([this, at] { TrayIconRightButtonUp(at); }); });
    }
    m_tray->add();
}

void TfmTocsiner::DeleteTrayIcon() {
    if (m_tray)
        m_tray->remove();
}

void TfmTocsiner::TrayIconDoubleClick() {
    pmiShowClick();
}

void TfmTocsiner::TrayIconRightButtonUp(QPoint globalPos) {
    // The main window comes to the front first, where it is shown; a hidden
    // or minimised one stays as it is. Qt's popup closes by itself on a click
    // elsewhere.
    if (isVisible() && !isMinimized()) {
        raise();
        activateWindow();
    }
    pmIcon->popup(globalPos);
}

void TfmTocsiner::pmiShowClick() {
    const bool minimised = isVisible() && isMinimized();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    // A window hidden as a minimised one (no tray) shows again here: it was
    // never hidden for Qt, so this is its showing.
    if (minimised)
        FormShow();
}

void TfmTocsiner::pmiHideClick() {
    // 1. Leaving the editor's field stores a pending edit.
    if (ui->clbEvents->isEnabled() && ui->clbEvents->isVisible())
        ui->clbEvents->setFocus(Qt::OtherFocusReason);
    // 2. Without a tray there would be no way back: minimise instead.
    if (isVisible()) {
        if (m_platform.isSystemTrayAvailable())
            hide();
        else if (!isMinimized())
            showMinimized();
    }
    // 3. Pinned or not.
    if (fmWeek != nullptr)
        fmWeek->hide();
}

void TfmTocsiner::OkClick() {
    pmiHideClick();
}

void TfmTocsiner::cbStayOnTopClick() {
    DeleteTrayIcon();
    const bool wasVisible = isVisible();
    const bool onTop = ui->cbStayOnTop->isChecked();
    if (onTop != bool(windowFlags() & Qt::WindowStaysOnTopHint)) {
        // Qt hides the window while it changes its flags; contents and
        // visibility stay as they were.
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        if (wasVisible)
            show();
    }
    CreateTrayIcon();
    m_settings->WriteBool(keys::MainSection, keys::StayOnTop, onTop);
}

void TfmTocsiner::cbStartHideClick() {
    m_settings->WriteBool(keys::MainSection, keys::HideOnStart, ui->cbStartHide->isChecked());
}
