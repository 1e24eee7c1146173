#pragma once

#include "platform.h"

#include <QIcon>
#include <QPointer>

class QSystemTrayIcon;

// The tray icon on Qt's QSystemTrayIcon. Qt reports the right button on its
// press (XEmbed trays) while the program reacts to its release, so a press
// arms a watch for the release that follows.
class SystemTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    SystemTrayIcon(const QIcon& icon, const QString& tip);
    ~SystemTrayIcon() override;

    static bool isSystemTrayAvailable();

    void add() override;
    void remove() override;
    bool isAdded() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stopWatchingRelease();

    QSystemTrayIcon* m_icon;
    bool m_watchingRelease = false;
};
