#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

// Enter and Exit handlers of a window's controls: Enter runs when the
// keyboard focus comes into a control (or into a child of a group), Exit when
// it moves on to another control of the same window. A window losing
// activation, a popup opening, or a focus that never really arrived (taken
// back at once by the control it left) runs neither.
class FocusHandlers final : public QObject {
public:
    explicit FocusHandlers(QObject* parent = nullptr) : QObject(parent) {}

    // Either handler may be empty. Children added to the control later are
    // not watched.
    void watch(QWidget* control, std::function<void()> onEnter, std::function<void()> onExit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QPointer<QWidget> control;
        std::function<void()> onEnter;
        std::function<void()> onExit;
        bool inside = false;
    };
    std::vector<Entry> m_entries;
};

// Hands one object's events to a function first; the function returns true
// when it has dealt with the event and the object must not see it.
class EventHook final : public QObject {
public:
    EventHook(QObject* target, std::function<bool(QObject*, QEvent*)> handler)
        : QObject(target), m_handler(std::move(handler)) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return m_handler(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> m_handler;
};
