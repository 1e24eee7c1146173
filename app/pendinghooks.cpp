// Operations that start-up calls and that later features define. Each one
// leaves this file for its feature's own source file when that feature is
// built; until then it does nothing, and start-up runs without it.
#include "tfmtocsiner.h"

// The task list: lists the tasks in the saved sort order and arms the nearest
// one (editor/).
void TfmTocsiner::ApplySavedSort() {}

// The clock tick: shows the time and fires the armed task (scheduler/).
void TfmTocsiner::Timer1Timer() {}

// The hourly chime: arms Timer2 for the next full hour (scheduler/).
void TfmTocsiner::ArmHourlyChime() {}
