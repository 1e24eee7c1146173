// Operations that start-up calls and that later features define. Each one
// leaves this file for its feature's own source file when that feature is
// built; until then it does nothing, and start-up runs without it.
#include "tfmtocsiner.h"
