#pragma once

#include <QListWidget>

// The task list: one checkable row per task, several rows selectable at once,
// and at most one row carrying the mark of the task the clock is watching.
// The marked row is drawn in the tool-tip colours and without its check box.
//
// Its signals report the user's doings only: checks, selections and marks
// changed from code run no handler, as the task list's handlers expect.
class EventCheckList final : public QListWidget {
    Q_OBJECT
public:
    explicit EventCheckList(QWidget* parent = nullptr);

    // The first row whose text equals name exactly; -1 when none.
    int rowOfName(const QString& name) const;
    // The first row whose text equals name without regard to letter case, as
    // section names match; -1 when none.
    int rowOfNameAnyCase(const QString& name) const;

    // Puts the mark on this row alone; -1 takes it off. The mark stays with
    // its row's item when the list sorts itself.
    void setArmedRow(int row);
    // The marked row, or -1.
    int armedRow() const;

    // Appends a checked row; with the list's own sorting on, it lands in place.
    void addTask(const QString& name);
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);

    // The list's own alphabetical order, without regard to letter case.
    void setAlphabetical(bool on);
    bool isAlphabetical() const { return isSortingEnabled(); }
    // The order the list and the name box keep: alphabetical, without regard
    // to letter case.
    static bool nameLess(const QString& a, const QString& b);

Q_SIGNALS:
    // The user ticked or cleared a row's check box (mouse or space bar).
    void userCheckToggled(int row);
    // The user changed the selection by mouse or keyboard.
    void userSelectionChanged();
    // The keyboard focus moved from the list to another control of the
    // window (not the whole window losing activation, nor a pop-up menu).
    void exited();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    class Delegate;
    friend class Delegate;

    template <class F> void asUser(F&& f);

    int m_userDepth = 0;
    bool m_userSelectionChanged = false;
    // The marked row under the last mouse press: the release that follows
    // must not tick the check box the mark hid, even if the press (by
    // choosing the task) took the mark off.
    int m_pressedArmedRow = -1;
};
