#pragma once

// What the task list asks of the clock: after every listing the rows have
// moved, and the armed task is chosen again and its mark put on its row.
class ArmedTaskMark {
public:
    // Chooses the armed task, the first active one dated today whose time is
    // still ahead, and moves the task list's mark onto it.
    virtual void PaintActEv() = 0;

protected:
    ~ArmedTaskMark() = default;
};
