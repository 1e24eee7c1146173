#pragma once

#include "store/apperror.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

// Runs the program's handlers: an AppError (a refused write) or any other
// exception stops the handler there and shows the one modal error box;
// nothing crosses the event loop. Once shut-down has begun no handler runs
// any more: the settings file and the schedule are gone, and a focus leaving
// a field as the controls are destroyed, a late timer or a tray message must
// find nothing to run.
class HandlerGuard final : public QObject {
public:
    // When a handler's error box comes up.
    enum class Box {
        // At once, inside the handler's own event.
        Now,
        // Once the handler has returned: a box raised inside a timer's tick
        // would hold the timer still while it is open.
        AfterHandler,
    };

    // `showBox` shows one error box; the main window decides how.
    explicit HandlerGuard(std::function<void(const QString&)> showBox, QObject* parent = nullptr)
        : QObject(parent), m_showBox(std::move(showBox)) {}

    template <class F> void run(F&& handler, Box box = Box::Now) noexcept;

    // The slot that runs `object`'s handler under this guard, for connecting
    // a control's signal straight to a feature's handler; the signal's
    // arguments are dropped.
    template <class T> auto slot(T* object, void (T::*handler)(), Box box = Box::Now) {
        return
            [this, object, handler, box] { run([object, handler] { (object->*handler)(); }, box); };
    }

    // While held (start-up), every box waits until the event loop turns: a
    // box open at start-up, with nobody at the screen after a login, would
    // hold the clock still before its first tick.
    void holdBoxes(bool hold) { m_holdBoxes = hold; }
    bool holdsBoxes() const { return m_holdBoxes; }

    // Shut-down has begun.
    void close() { m_closed = true; }
    bool isClosed() const { return m_closed; }

    void showErrorBox(const QString& text) noexcept;
    // Shows a box once the running handler has returned; a box of the same
    // text already waiting is not queued again.
    void showBoxLater(const QString& text, std::function<void()> box);
    void showErrorBoxLater(const QString& text);

private:
    void failed(const QString& text, Box box) noexcept;

    std::function<void(const QString&)> m_showBox;
    QStringList m_pendingBoxes;
    bool m_closed = false;
    bool m_holdBoxes = false;
};

template <class F> void HandlerGuard::run(F&& handler, Box box) noexcept {
    if (m_closed)
        return;
    try {
        handler();
    } catch (const AppError& e) {
        failed(e.message(), box);
    } catch (const std::exception& e) {
        failed(QString::fromLocal8Bit(e.what()), box);
    }
}
