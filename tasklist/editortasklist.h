#pragma once

#include <QString>

// What the editor needs of the task list: the current task, which the task
// list keeps and paints, and the listing again after a save. The task list
// implements it.
class EditorTaskList {
public:
    // The task loaded in the editor (CurrentTaskName); empty while a new
    // task is entered.
    virtual const QString& currentTaskName() const = 0;
    virtual void setCurrentTaskName(const QString& name) = 0;
    // Lists the tasks in the stored sort order and arms the nearest one.
    virtual void ApplySavedSort() = 0;
    // The task's name and its time from the file beside the list.
    virtual void showTaskLabels(const QString& name) = 0;
    virtual void clearTaskLabels() = 0;
    // The current task's time beside the list again, when there is one.
    virtual void showCurrentTaskTime() = 0;

protected:
    ~EditorTaskList() = default;
};
