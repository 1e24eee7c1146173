#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class EventCheckList;
class ArmedTaskMark;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolButton;
class QWidget;
class Services;

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

// The task list: listing the tasks, their check marks, the three sort orders
// with the list's menu, choosing the current task, deletion and the name box.
// It keeps CurrentTaskName, the task loaded in the editor.
class TaskList final : public QObject {
public:
    struct Controls {
        QWidget* window; // parent of the menu and the question box
        EventCheckList* clbEvents;
        QComboBox* evName;
        QToolButton* sbSaveEvent;
        QToolButton* sbNewEv;
        QLabel* lbSort;
        QLabel* lbEvName;
        QLabel* lbEvTime;
    };

    TaskList(Services& services, ArmedTaskMark& firing, const Controls& controls,
             QObject* parent = nullptr);

    void setEditor(TaskListEditor* editor) { m_editor = editor; }

    // Lists the tasks in the stored sort order and arms the nearest one.
    void ApplySavedSort();
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
    const QString& currentTaskName() const { return CurrentTaskName; }
    void setCurrentTaskName(const QString& name) { CurrentTaskName = name; }

    QMenu* pmEvents() const { return m_pmEvents; }
    QMenu* pmiSort() const { return m_pmiSort; }
    QAction* SortN() const { return m_SortN; }
    QAction* SortT() const { return m_SortT; }
    QAction* SortNo() const { return m_SortNo; }
    QAction* pmiDel() const { return m_pmiDel; }

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

    Services& m_s;
    ArmedTaskMark& m_firing;
    const Controls ui;
    TaskListEditor* m_editor = nullptr;
    QString CurrentTaskName;

    QMenu* m_pmEvents = nullptr;
    QMenu* m_pmiSort = nullptr;
    QAction* m_SortN = nullptr;
    QAction* m_SortT = nullptr;
    QAction* m_SortNo = nullptr;
    QAction* m_pmiDel = nullptr;
};
