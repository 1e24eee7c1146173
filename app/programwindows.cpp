#include "app/programwindows.h"

#include "about/aboutcard.h"
#include "alarm/alarmwindow.h"
#include "editor/weekdaypicker.h"
#include "uicommon/compactstyle.h"

ProgramWindows::Style::Style() {
    CompactStyle::install();
}

ProgramWindows::ProgramWindows(ShellContext context)
    : fmTocsiner(std::make_unique<MainWindow>(std::move(context))) {
    if (fmTocsiner->isSecondCopy())
        return;
    fmMsg = std::make_unique<AlarmWindow>();
    fmAvtor = std::make_unique<AboutCard>();
    fmWeek = std::make_unique<WeekDayPicker>();
    fmTocsiner->attachWindows(fmMsg.get(), fmAvtor.get(), fmWeek.get());
}

ProgramWindows::~ProgramWindows() {
    if (fmTocsiner)
        fmTocsiner->beginShutdown();
    fmWeek.reset();
    fmAvtor.reset();
    fmMsg.reset();
    if (fmTocsiner)
        fmTocsiner->attachWindows(nullptr, nullptr, nullptr);
    fmTocsiner.reset();
}
