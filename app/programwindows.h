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
    bool isSecondCopy() const { return m_mainWindow->isSecondCopy(); }
    void showAtStart() { m_mainWindow->showAtStart(); }

    // The other three are null in a second copy.
    MainWindow* mainWindow() const { return m_mainWindow.get(); }
    AlarmWindow* alarmWindow() const { return m_alarmWindow.get(); }
    AboutCard* aboutCard() const { return m_aboutCard.get(); }
    WeekDayPicker* weekPicker() const { return m_weekPicker.get(); }

private:
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<AlarmWindow> m_alarmWindow;
    std::unique_ptr<AboutCard> m_aboutCard;
    std::unique_ptr<WeekDayPicker> m_weekPicker;
};
