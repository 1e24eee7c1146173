#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Drags a window by hand while a mouse button other than the left one is held.
// Qt's system move hands the window manager the left button, and an X11
// window manager then keeps moving the window until that button is released;
// a right or middle drag would never end.
class WindowDrag final : public QObject {
public:
    // Starts a drag of `window` held by `button`, grabbed at `globalPos`. It
    // ends, and deletes itself, when that button is released.
    static void start(QWidget* window, Qt::MouseButton button, QPoint globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowDrag(QWidget* window, Qt::MouseButton button, QPoint offset);

    QWidget* m_window;
    Qt::MouseButton m_button;
    QPoint m_offset;
};
