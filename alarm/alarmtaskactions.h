#pragma once

#include <QString>

// What the alarm window's two options do to the fired task, through the task
// list's own operations; the main window hands the task list's in.
class AlarmTaskActions {
public:
    // Switches the task off as unticking its row does, where it is listed.
    virtual void switchOffTask(const QString& name) = 0;
    // Deletes the task as the list's menu does, where it is listed.
    virtual void deleteTask(const QString& name) = 0;

protected:
    ~AlarmTaskActions() = default;
};
