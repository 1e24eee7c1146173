#pragma once

#include "tray/traywindowlink.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPoint>

#include <memory>

class QAction;
class QCheckBox;
class QMenu;
class QToolButton;
class QWidget;
class Services;
class TrayIcon;

// The tray icon, its menu and the showing and hiding of the main window,
// with the two options that touch the window's presence: stay on top and
// start hidden.
class Tray final : public QObject {
public:
    // The window's controls that hide or pin it: the button "Ok" and the
    // two options.
    struct Controls {
        QToolButton* hideButton;
        QCheckBox* stayOnTopBox;
        QCheckBox* startHiddenBox;
    };

    Tray(Services& services, QWidget* window, TrayWindowLink& link, const Controls& controls,
         QObject* parent = nullptr);
    ~Tray() override;

    void CreateTrayIcon();
    void DeleteTrayIcon();
    void TrayIconDoubleClick();
    void TrayIconRightButtonUp(QPoint globalPos);
    void pmiShowClick();
    void pmiHideClick();
    void OkClick();
    void cbStayOnTopClick();
    void cbStartHideClick();

    TrayIcon* trayIcon() const { return m_tray.get(); }
    QMenu* trayMenu() const { return m_menu; }

private:
    void buildTrayMenu();

    Services& m_s;
    QWidget* const m_window;
    TrayWindowLink& m_link;
    QCheckBox* const m_stayOnTopBox;
    QCheckBox* const m_startHiddenBox;
    std::unique_ptr<TrayIcon> m_tray;

    // pmIcon and its items pmiHide, pmiShow, N1 (a separator) and pmiClose.
    QMenu* m_menu = nullptr;
    QAction* m_hideAction = nullptr;
    QAction* m_showAction = nullptr;
    QAction* m_separator = nullptr;
    QAction* m_closeAction = nullptr;
    // The menu's pictures: hide, show, close.
    QList<QPixmap> m_menuPictures;
};
