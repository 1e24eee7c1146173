#include "platform/windowhints.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (reply == nullptr)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// The window manager drops _NET_WM_STATE (and _NET_WM_DESKTOP) from a window
// it withdraws, so the state goes on again before every map. Qt merges what
// the window holds with its own states (above, modal) when it maps the window.
void addNetWmState(QWidget* window, const char* name) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr)
        return;
    xcb_connection_t* c = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    const xcb_atom_t added = internAtom(c, name);
    if (state == XCB_ATOM_NONE || added == XCB_ATOM_NONE)
        return;
    // Keep whatever else the window holds; add the state once.
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    bool present = false;
    if (reply != nullptr) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count =
            xcb_get_property_value_length(reply) / static_cast<int>(sizeof(xcb_atom_t));
        for (int i = 0; reply->format == 32 && i < count; ++i)
            present = present || atoms[i] == added;
        std::free(reply);
    }
    if (!present)
        xcb_change_property(c, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &added);
    xcb_flush(c);
}

// Sets the state field of WM_HINTS (ICCCM 4.1.2.4): 1 normal, 3 iconic.
void setInitialState(QWidget* window, uint32_t state) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr)
        return;
    xcb_connection_t* c = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    constexpr uint32_t kStateHint = 2;
    std::array<uint32_t, 9> hints{};
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9);
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr)) {
        const auto bytes = static_cast<std::size_t>(xcb_get_property_value_length(reply));
        if (reply->format == 32)
            std::memcpy(hints.data(), xcb_get_property_value(reply),
                        bytes < sizeof(hints) ? bytes : sizeof(hints));
        std::free(reply);
    }
    hints[0] |= kStateHint;
    hints[2] = state;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        static_cast<uint32_t>(hints.size()), hints.data());
    xcb_flush(c);
}

// Qt leaves the iconic hint on the window when the window manager restores
// it, so every later showing after a hide would map it minimised again: the
// first restore puts the hint back to normal.
class NormalHintOnRestore final : public QObject {
public:
    explicit NormalHintOnRestore(QWidget* window) : QObject(window), m_window(window) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::WindowStateChange &&
            !m_window->isMinimized()) {
            setInitialState(m_window, 1);
            deleteLater();
        }
        return false;
    }

private:
    QWidget* m_window;
};

// A window on every desktop from its map on: the desktop "all" (EWMH's
// 0xFFFFFFFF) and the sticky state, which window managers read either of.
void markEveryDesktop(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr)
        return;
    xcb_connection_t* c = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t desktop = internAtom(c, "_NET_WM_DESKTOP");
    if (desktop != XCB_ATOM_NONE) {
        const uint32_t all = 0xFFFFFFFF;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &all);
    }
    addNetWmState(window, "_NET_WM_STATE_STICKY");
}

// Runs a marking of the window's X window before each of its maps.
class MarkOnShow final : public QObject {
public:
    MarkOnShow(QWidget* window, void (*mark)(QWidget*)) : QObject(window), m_mark(mark) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Qt sends the show event before it maps the native window.
        if (event->type() == QEvent::Show)
            if (auto* w = qobject_cast<QWidget*>(watched); w != nullptr && w->isWindow())
                m_mark(w);
        return false;
    }

private:
    void (*const m_mark)(QWidget*);
};

void markSkipTaskbar(QWidget* window) {
    addNetWmState(window, "_NET_WM_STATE_SKIP_TASKBAR");
}

} // namespace

bool canPlaceWindows() {
    static const bool placeable = !QGuiApplication::platformName().startsWith(u"wayland");
    return placeable;
}

void keepOutOfTaskbar(QWidget* window) {
    if (window == nullptr || QGuiApplication::platformName() != u"xcb")
        return;
    new MarkOnShow(window, markSkipTaskbar);
}

void keepOnEveryDesktop(QWidget* window) {
    if (window == nullptr || QGuiApplication::platformName() != u"xcb")
        return;
    new MarkOnShow(window, markEveryDesktop);
}

void forgetIconicState(QWidget* window) {
    if (window != nullptr && QGuiApplication::platformName() == u"xcb" &&
        window->testAttribute(Qt::WA_WState_Created))
        setInitialState(window, 1);
}

void showIconic(QWidget* window) {
    if (window == nullptr)
        return;
    // The native window first: Qt then puts the iconic state into the hints
    // it maps the window with.
    window->winId();
    window->showMinimized();
    if (QGuiApplication::platformName() == u"xcb")
        new NormalHintOnRestore(window);
}

QRect fitToScreens(const QRect& outer, QSize minimum, const QList<QRect>& areas,
                   const QRect& primary) {
    if (areas.isEmpty() || primary.isEmpty())
        return QRect(outer.topLeft(), outer.size().expandedTo(minimum));
    const QRect wanted(outer.topLeft(), outer.size().expandedTo(minimum));
    // Enough of the window to take hold of it with the mouse.
    const QSize grip(qMin(wanted.width(), 48), qMin(wanted.height(), 24));
    const QRect* home = nullptr;
    qint64 best = 0;
    for (const QRect& a : areas) {
        const QRect shared = a.intersected(wanted);
        const qint64 overlap = qint64(shared.width()) * shared.height();
        if (shared.width() >= grip.width() && shared.height() >= grip.height() && overlap > best) {
            best = overlap;
            home = &a;
        }
    }
    const QRect area = home != nullptr ? *home : primary;
    const QSize size = outer.size().boundedTo(area.size()).expandedTo(minimum);
    if (home != nullptr)
        return QRect(outer.topLeft(), size);
    return QRect(area.topLeft(), size);
}

QRect fitToScreens(const QRect& outer, QSize minimum) {
    QList<QRect> areas;
    for (const QScreen* s : QGuiApplication::screens())
        areas.append(s->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    return fitToScreens(outer, minimum, areas,
                        primary != nullptr ? primary->availableGeometry() : QRect());
}
