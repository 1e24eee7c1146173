#pragma once

#include "tasklist/editortasklist.h"
#include "tasklist/tasklisteditor.h"

#include <QObject>
#include <QString>
#include <QStringList>

class ArmedTaskMark;
class EventCheckList;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolButton;
class QWidget;
class Services;

// The task list: listing the tasks, their check marks, the three sort orders
// with the list's menu, choosing the current task, deletion and the name box.
// It keeps CurrentTaskName, the task loaded in the editor, tells when it
// changes, and is the one that paints a task's name and time beside the list.
class TaskList final : public QObject, public EditorTaskList {
    Q_OBJECT

public:
    struct Controls {
        QWidget* window; // parent of the menu and the question box
        EventCheckList* list;
        QComboBox* nameBox;
        QToolButton* saveButton;
        QToolButton* newTaskButton;
        QLabel* sortLabel;
        QLabel* taskNameLabel;
        QLabel* taskTimeLabel;
    };

    // The stored sort orders ("SortBy": "Name", "Time", "No").
    enum class SortOrder { ByName, ByTime, None };

    TaskList(Services& services, ArmedTaskMark& firing, const Controls& controls,
             QObject* parent = nullptr);

    void setEditor(TaskListEditor* editor) { m_editor = editor; }

    // Lists the tasks in the stored sort order and arms the nearest one.
    void ApplySavedSort() override;
    // Lists the tasks in file order, in the list and the name box.
    void GetEvents();
    // Each row's check from its task's "Activing"; an empty list is disabled.
    void SetActiving();
    // The check marks of the listed tasks from the file again, nothing else:
    // the schedule switches off a task that has no date left.
    void showActiving();
    void SortNClick();
    void SortTClick();
    void SortNoClick();
    void clbEventsClick();
    void clbEventsClickCheck();
    // The steps of clbEventsClickCheck on the given row: its check becomes its
    // task's "Activing", then the schedule is rebuilt and the mark moved.
    void storeRowActiving(int row);
    void clbEventsExit();
    void pmiDelClick();
    void sbNewEvClick();
    void evNameChange();
    // A character typed into the name box; true when it was taken (Enter).
    bool evNameKeyPress(QChar key);

    // The alarm window's two options on the fired task's row, where it is
    // still listed: its check taken off as a click would, or the row chosen
    // alone and deleted as the menu does.
    void switchOffListedTask(const QString& name);
    void deleteListedTask(const QString& name);

    // The task loaded in the editor; empty while a new task is entered.
    const QString& currentTaskName() const override { return CurrentTaskName; }
    void setCurrentTaskName(const QString& name) override;
    void showTaskLabels(const QString& name) override;
    void clearTaskLabels() override;
    void showCurrentTaskTime() override;
    // The current task's name and time beside the list, or nothing without one.
    void showCurrentTask();

    QMenu* pmEvents() const { return m_taskMenu; }
    QMenu* pmiSort() const { return m_sortMenu; }
    QAction* SortN() const { return m_sortByName; }
    QAction* SortT() const { return m_sortByTime; }
    QAction* SortNo() const { return m_noSort; }
    QAction* pmiDel() const { return m_deleteAction; }

Q_SIGNALS:
    // CurrentTaskName changed.
    void currentTaskChanged(const QString& name);

private:
    void buildTaskMenu();
    void ShowEvent(const QString& name);
    // Selects the row of that name, whatever its letter case, as the only
    // selected and the focused row; nothing when there is none.
    void selectTaskRow(const QString& name);
    // Empties the name box's drop-down, keeping the text in the box.
    void clearNameBoxList();
    // Fills the name box's drop-down in its own alphabetical order.
    void fillNameBoxList(QStringList names);
    SortOrder savedSortOrder() const;
    void storeSortOrder(SortOrder order);

    Services& m_s;
    ArmedTaskMark& m_firing;
    const Controls m_ui;
    TaskListEditor* m_editor = nullptr;
    QString CurrentTaskName;

    QMenu* m_taskMenu = nullptr;
    QMenu* m_sortMenu = nullptr;
    QAction* m_sortByName = nullptr;
    QAction* m_sortByTime = nullptr;
    QAction* m_noSort = nullptr;
    QAction* m_deleteAction = nullptr;
};
