#include "uicommon/focushandlers.h"

#include <QApplication>
#include <QFocusEvent>

void FocusHandlers::watch(QWidget* control, std::function<void()> onEnter,
                          std::function<void()> onExit) {
    m_entries.push_back({control, std::move(onEnter), std::move(onExit), false});
    control->installEventFilter(this);
    for (QWidget* child : control->findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool FocusHandlers::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr)
        return false;
    const auto* focus = static_cast<QFocusEvent*>(event);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Entry& e = m_entries[i];
        if (e.control == nullptr || (widget != e.control && !e.control->isAncestorOf(widget)))
            continue;
        if (event->type() == QEvent::FocusIn) {
            // Only a focus the control keeps: one taken back at once from
            // inside the FocusOut of the control it left never arrived.
            if (!e.inside && QApplication::focusWidget() == widget) {
                e.inside = true;
                if (e.onEnter)
                    e.onEnter();
            }
        } else {
            if (focus->reason() == Qt::ActiveWindowFocusReason ||
                focus->reason() == Qt::PopupFocusReason)
                continue;
            QWidget* next = QApplication::focusWidget();
            if (next != nullptr && (next == e.control || e.control->isAncestorOf(next)))
                continue;
            if (!e.inside)
                continue;
            e.inside = false;
            if (e.onExit)
                e.onExit();
        }
        // The handler may have changed the list of entries' controls' focus;
        // one entry per event is enough, the controls do not nest.
        break;
    }
    return false;
}
