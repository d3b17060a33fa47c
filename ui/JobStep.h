// The job step as the windows include it. The engine's reports count a drill file's "slots", which Qt
// defines as a keyword macro; the macro is set aside while the engine's headers are read. Past this
// include the macro is back, so a window reads such a field through a Qt-free helper.
#pragma once

#pragma push_macro("slots")
#undef slots
#include "job/ConvertJob.h"
#pragma pop_macro("slots")
