#include "platform/systemtrayicon.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleHints>
#include <QSystemTrayIcon>

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// What Qt saw at its one look, as this process saw it just before.
enum class QtTray { NotAsked, StatusNotifier, XEmbed };
QtTray g_qtTray = QtTray::NotAsked;

// Wayland has no tray but the StatusNotifierItem, and Qt no way there to
// make an icon it has once found no host for.
bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// A StatusNotifierItem host registered with the watcher on the session bus,
// asked directly, without Qt.
bool statusNotifierHostRegistered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusConnectionInterface* busNames = bus.interface();
    if (busNames == nullptr || !busNames->isServiceRegistered(kWatcher).value())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

// Lets Qt take its look, noting what it is about to see.
void letQtLook() {
    if (g_qtTray == QtTray::NotAsked)
        g_qtTray = statusNotifierHostRegistered() ? QtTray::StatusNotifier : QtTray::XEmbed;
}

} // namespace

SystemTrayIcon::SystemTrayIcon(const QIcon& icon, const QString& tip) : m_image(icon), m_tip(tip) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        // A panel started, or restarted, after the program.
        m_hostWatch =
            new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_hostWatch, &QDBusServiceWatcher::serviceRegistered, this,
                &SystemTrayIcon::watcherAppeared);
        bus.connect(kWatcher, kWatcherPath, kWatcher,
                    QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(hostAppeared()));
    }
    makeIcon();
}

void SystemTrayIcon::makeIcon() {
    if (m_icon != nullptr)
        return;
    // Asked before a host is there, Qt would never make one.
    if (onWayland() && g_qtTray != QtTray::StatusNotifier && !statusNotifierHostRegistered())
        return;
    letQtLook();
    m_icon = new QSystemTrayIcon(m_image, this);
    m_icon->setToolTip(m_tip);
    if (g_qtTray == QtTray::StatusNotifier && m_menu)
        m_icon->setContextMenu(m_menu);
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
                        // Hosts that report the whole click (StatusNotifierItem
                        // hosts calling ContextMenu rather than drawing the menu).
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
    if (onWayland() && g_qtTray == QtTray::NotAsked)
        return statusNotifierHostRegistered();
    letQtLook();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::add() {
    m_wanted = true;
    // Without a host (Wayland) the icon comes when one does; meanwhile the
    // program goes without, as on any desktop without a tray.
    makeIcon();
    if (m_icon != nullptr)
        m_icon->show();
}

void SystemTrayIcon::remove() {
    m_wanted = false;
    stopWatchingRelease();
    if (m_icon != nullptr)
        m_icon->hide();
}

bool SystemTrayIcon::isAdded() const {
    return m_icon != nullptr && m_icon->isVisible();
}

void SystemTrayIcon::setMenu(QMenu* menu) {
    m_menu = menu;
    // An XEmbed icon with a menu would pop it on the press, by Qt, besides
    // the program's own on the release.
    if (m_icon != nullptr && g_qtTray == QtTray::StatusNotifier)
        m_icon->setContextMenu(menu);
}

void SystemTrayIcon::watcherAppeared() {
    if (!m_wanted)
        return;
    if (m_icon == nullptr) {
        hostAppeared();
        return;
    }
    // A new watcher knows nothing of the items registered with the last one:
    // shown again, the icon registers anew.
    if (g_qtTray == QtTray::StatusNotifier && m_icon->isVisible()) {
        m_icon->hide();
        m_icon->show();
    }
}

void SystemTrayIcon::hostAppeared() {
    if (!m_wanted || m_icon != nullptr)
        return;
    makeIcon();
    if (m_icon != nullptr)
        m_icon->show();
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
