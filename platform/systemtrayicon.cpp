#include "systemtrayicon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QSystemTrayIcon>

SystemTrayIcon::SystemTrayIcon(const QIcon& icon, const QString& tip)
    : m_icon(new QSystemTrayIcon(icon, this)) {
    m_icon->setToolTip(tip);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::DoubleClick:
                    m_lastTrigger.invalidate();
                    Q_EMIT doubleClicked();
                    break;
                case QSystemTrayIcon::Trigger:
                    // StatusNotifierItem hosts (KDE Plasma, GNOME's AppIndicator
                    // extension) report every click as a single activation and
                    // never a double click: two within the desktop's double-click
                    // interval are one. XEmbed trays report Trigger, DoubleClick,
                    // which the case above keeps from counting twice.
                    if (m_lastTrigger.isValid() &&
                        m_lastTrigger.elapsed() <=
                            QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
                        m_lastTrigger.invalidate();
                        Q_EMIT doubleClicked();
                    } else {
                        m_lastTrigger.start();
                    }
                    break;
                case QSystemTrayIcon::Context:
                    if (QGuiApplication::mouseButtons() & Qt::RightButton) {
                        // Pressed now: the menu waits for the release.
                        if (!m_watchingRelease) {
                            m_watchingRelease = true;
                            qApp->installEventFilter(this);
                        }
                    } else {
                        // Trays that report the whole click (StatusNotifierItem hosts).
                        Q_EMIT rightButtonReleased(QCursor::pos());
                    }
                    break;
                default:
                    // The middle button: nothing.
                    break;
                }
            });
}

SystemTrayIcon::~SystemTrayIcon() {
    stopWatchingRelease();
}

bool SystemTrayIcon::isSystemTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::add() {
    // On Wayland with no StatusNotifierItem host, Qt falls back to its X11
    // tray code, which can never dock there and only warns on the console:
    // the program goes without an icon, as on any desktop without a tray.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        !isSystemTrayAvailable())
        return;
    m_icon->show();
}

void SystemTrayIcon::remove() {
    stopWatchingRelease();
    m_icon->hide();
}

bool SystemTrayIcon::isAdded() const {
    return m_icon->isVisible();
}

void SystemTrayIcon::stopWatchingRelease() {
    if (m_watchingRelease) {
        m_watchingRelease = false;
        qApp->removeEventFilter(this);
    }
}

bool SystemTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        // A new press anywhere means the release of the icon's press was lost.
        stopWatchingRelease();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::RightButton) {
            stopWatchingRelease();
            Q_EMIT rightButtonReleased(me->globalPosition().toPoint());
        }
    }
    return TrayIcon::eventFilter(watched, event);
}
