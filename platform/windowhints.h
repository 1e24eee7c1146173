#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// The program has one taskbar entry, the main window's. Its other top-level
// windows (the alarm window, the week-day picker, the About card) ask the
// window manager to leave them out of the taskbar (the EWMH skip-taskbar
// state) each time they are shown. They are deliberately not made transient
// for the main window: a window manager that minimises or hides transients
// with their owner would then keep the alarm window out of sight while the
// main window is hidden to the tray or minimised.
//
// Only X11 has such a state a client may set; elsewhere this does nothing.
void keepOutOfTaskbar(QWidget* window);

// Shows the window on every virtual desktop, not only on the one it was
// shown on (the EWMH sticky state, and the desktop 0xFFFFFFFF, each time it
// is shown). Only X11 lets a client ask; elsewhere this does nothing.
void keepOnEveryDesktop(QWidget* window);

// Whether the program may place its own windows and learn where they are.
// X11 lets a client do both. Wayland leaves placement to the compositor and
// tells a client nothing of its windows' positions: what Qt reports there as a
// window's position is no place on the screen, so it must not be stored, and a
// window is moved only by the compositor's own interactive move. The platform
// is asked once; it cannot change while the program runs.
bool canPlaceWindows();

// A window minimised once (showMinimized, "Спрятать" without a tray) keeps
// the iconic state in the hints Qt left on it, so the window manager would
// map it minimised at every later showing after a hide: called when the
// window is restored, the hints say normal again.
void forgetIconicState(QWidget* window);

// Shows the window minimised as the window manager sees it (WM_STATE Iconic
// on X11): a state set before the native window exists stays Qt's own, and
// the window would come up normal. Nothing may resize the window until it is
// restored, or Qt maps it normal after all.
void showIconic(QWidget* window);

// A window's outer rectangle (frame included), as a settings file keeps it,
// made usable on the given screens' available areas: the size at least
// `minimum` and at most the area of the screen it is on; a window that
// overlaps no area by at least a grip's worth (48 x 24 pixels, or all of a
// smaller window) comes back at the top-left corner of `primary`. A window
// partly off its screen stays where the user put it.
QRect fitToScreens(const QRect& outer, QSize minimum, const QList<QRect>& areas,
                   const QRect& primary);
// The same on the screens of this session.
QRect fitToScreens(const QRect& outer, QSize minimum);
