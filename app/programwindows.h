#pragma once

#include "app/mainwindow.h"

#include <memory>

class AboutCard;
class AlarmWindow;
class WeekDayPicker;

// The program's four windows, created once in their order (main, alarm,
// About, week-day picker) and destroyed in the reverse order, so the picker
// still finds the settings file open when it goes.
class ProgramWindows final {
    // Installs the windows' style before the first of them is made.
    struct Style {
        Style();
    } m_style;

public:
    explicit ProgramWindows(ShellContext context);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Another copy runs on this desktop; only the main window was made.
    bool isSecondCopy() const { return fmTocsiner->isSecondCopy(); }
    void showAtStart() { fmTocsiner->showAtStart(); }

    std::unique_ptr<MainWindow> fmTocsiner;
    std::unique_ptr<AlarmWindow> fmMsg;
    std::unique_ptr<AboutCard> fmAvtor;
    std::unique_ptr<WeekDayPicker> fmWeek;
};
