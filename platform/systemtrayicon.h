#pragma once

#include "platform.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QPointer>

class QSystemTrayIcon;

// The tray icon on Qt's QSystemTrayIcon. Qt reports the right button on its
// press (XEmbed trays) while the program reacts to its release, so a press
// arms a watch for the release that follows. Hosts that report only single
// activations get their double click made of two of them.
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
    QElapsedTimer m_lastTrigger; // the last single activation, while it may begin a double one
};
