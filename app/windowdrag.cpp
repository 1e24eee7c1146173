#include "app/windowdrag.h"

#include <QMouseEvent>
#include <QWidget>

WindowDrag::WindowDrag(QWidget* window, Qt::MouseButton button, QPoint offset)
    : QObject(window), m_window(window), m_button(button), m_offset(offset) {
    window->installEventFilter(this);
}

void WindowDrag::start(QWidget* window, Qt::MouseButton button, QPoint globalPos) {
    new WindowDrag(window, button, globalPos - window->pos());
}

bool WindowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->buttons() & m_button) {
            m_window->move(me->globalPosition().toPoint() - m_offset);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != m_button)
            break;
        [[fallthrough]];
    case QEvent::Hide:
        m_window->removeEventFilter(this);
        deleteLater();
        break;
    default:
        break;
    }
    return false;
}
