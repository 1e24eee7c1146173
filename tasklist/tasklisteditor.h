#pragma once

#include <QString>

// What the task list needs of the editor above it: loading a task into the
// fields and the save that Enter in the name box starts. The editor
// implements it; the main window introduces the two.
class TaskListEditor {
public:
    // Loads the named task into the editor's fields; "¤" loads a new task.
    virtual void ShowEvent(const QString& name) = 0;
    virtual void sbSaveEventClick() = 0;

protected:
    ~TaskListEditor() = default;
};
