// The two commands that write the settings file: Save, and the debug-only Make Data.
#pragma once

#include "run/run_state.h"

namespace vigilon::shell {

// Writes the settings of the detected model. A save that fails leaves the previous file as it
// was and says so in a message box; returns whether the file was written.
bool SaveSettings(RunState& run);

// Standard interval and unit, core-voltage limits from the processor at the next start, then
// the same save.
bool MakeData(RunState& run);

}  // namespace vigilon::shell
