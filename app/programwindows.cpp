#include "programwindows.h"

#include "compactstyle.h"
#include "tfmavtor.h"
#include "tfmmsg.h"
#include "tfmweek.h"

ProgramWindows::Style::Style() {
    CompactStyle::install();
}

ProgramWindows::ProgramWindows(ShellContext context)
    : fmTocsiner(std::make_unique<TfmTocsiner>(std::move(context))) {
    if (fmTocsiner->isSecondCopy())
        return;
    fmMsg = std::make_unique<TfmMsg>();
    fmAvtor = std::make_unique<TfmAvtor>();
    fmWeek = std::make_unique<TfmWeek>();
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
