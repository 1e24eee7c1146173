#pragma once

#include "platform/platform.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QPointer>

class QDBusServiceWatcher;
class QMenu;
class QSystemTrayIcon;

// The tray icon on Qt's QSystemTrayIcon. Qt reports the right button on its
// press (XEmbed trays) while the program reacts to its release, so a press
// arms a watch for the release that follows. Hosts that report only single
// activations get their double click made of two of them.
//
// Qt picks the kind of its tray icons once per process, at the first icon or
// the first question whether a tray is there: a StatusNotifierItem over
// D-Bus when a host is registered then, else an XEmbed icon, which only X11
// has. So on Wayland Qt is not asked before a host is there; until then
// the icon waits, watching the session bus for the host's watcher.
class SystemTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    SystemTrayIcon(const QIcon& icon, const QString& tip);
    ~SystemTrayIcon() override;

    static bool isSystemTrayAvailable();

    void add() override;
    void remove() override;
    bool isAdded() const override;
    void setMenu(QMenu* menu) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    // A StatusNotifierWatcher came onto the session bus.
    void watcherAppeared();
    // A host registered with the watcher.
    void hostAppeared();

private:
    void makeIcon();
    void stopWatchingRelease();

    const QIcon m_image;
    const QString m_tip;
    QPointer<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;
    QDBusServiceWatcher* m_hostWatch = nullptr;
    bool m_wanted = false; // added and not removed, whether or not a host shows it
    bool m_watchingRelease = false;
    QElapsedTimer m_lastTrigger; // the last single activation, while it may begin a double one
};
