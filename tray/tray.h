#pragma once

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

// What the tray needs of the main window beyond the window itself; the main
// window answers.
class TrayWindowLink {
public:
    // The main window's own FormShow, for a window shown again from minimised.
    virtual void FormShow() = 0;
    virtual void CloseAppClick() = 0;
    // Moves the focus out of the editor's field so a pending edit is stored.
    virtual void leaveEditor() = 0;
    virtual void hideWeekPicker() = 0;

protected:
    ~TrayWindowLink() = default;
};

// The tray icon, its menu and the showing and hiding of the main window,
// with the two options that touch the window's presence: stay on top and
// start hidden.
class Tray final : public QObject {
public:
    // The window's controls that hide or pin it: the button "Ok" and the
    // two options.
    struct Controls {
        QToolButton* Ok;
        QCheckBox* cbStayOnTop;
        QCheckBox* cbStartHide;
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
    QMenu* trayMenu() const { return pmIcon; }

private:
    void buildTrayMenu();

    Services& m_s;
    QWidget* const m_window;
    TrayWindowLink& m_link;
    QCheckBox* const cbStayOnTop;
    QCheckBox* const cbStartHide;
    std::unique_ptr<TrayIcon> m_tray;

    QMenu* pmIcon = nullptr;
    QAction* pmiHide = nullptr;
    QAction* pmiShow = nullptr;
    QAction* N1 = nullptr;
    QAction* pmiClose = nullptr;
    QList<QPixmap> ImageList1;
};
