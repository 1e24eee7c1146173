#pragma once

#include <QString>

// A failure nobody is there to answer (a refused write while the program
// ends, a lock it cannot take): one line on standard error and in the system
// log, where the journal of a desktop session keeps it. A text already
// reported in this run is not reported again.
void reportToSystemLog(const QString& text);
