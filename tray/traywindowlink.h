#pragma once

// What the tray needs of the main window beyond the window itself; the main
// window answers.
class TrayWindowLink {
public:
    // The main window's own FormShow, for a window shown again from minimised.
    virtual void FormShow() = 0;
    virtual void CloseAppClick() = 0;
    // Moves the focus out of the editor's field so a pending edit is stored.
    virtual void leaveEditor() = 0;
    virtual void hideWeekPicker() = 0;

protected:
    ~TrayWindowLink() = default;
};
