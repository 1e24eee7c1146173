#include "app/programwindows.h"

#include "about/aboutcard.h"
#include "alarm/alarmwindow.h"
#include "editor/weekdaypicker.h"
#include "uicommon/compactstyle.h"

ProgramWindows::Style::Style() {
    CompactStyle::install();
}

ProgramWindows::ProgramWindows(ShellContext context)
    : m_mainWindow(std::make_unique<MainWindow>(std::move(context))) {
    if (m_mainWindow->isSecondCopy())
        return;
    m_alarmWindow = std::make_unique<AlarmWindow>();
    m_aboutCard = std::make_unique<AboutCard>();
    m_weekPicker = std::make_unique<WeekDayPicker>();
    m_mainWindow->attachWindows(m_alarmWindow.get(), m_aboutCard.get(), m_weekPicker.get());
}

ProgramWindows::~ProgramWindows() {
    if (m_mainWindow)
        m_mainWindow->beginShutdown();
    m_weekPicker.reset();
    m_aboutCard.reset();
    m_alarmWindow.reset();
    if (m_mainWindow)
        m_mainWindow->attachWindows(nullptr, nullptr, nullptr);
    m_mainWindow.reset();
}
