// The commands that write the settings file (Save, and the debug-only Make Data), and the word
// at start about a settings file that could not be used as it was.
#pragma once

#include "items/settings_file.h"
#include "run/run_state.h"

namespace vigilon::shell {

// Writes the settings of the detected model. A save that fails leaves the previous file as it
// was and says so in a message box; returns whether the file was written.
bool SaveSettings(RunState& run);

// Standard interval and unit, core-voltage limits from the processor at the next start, then
// the same save.
bool MakeData(RunState& run);

// After the settings were loaded, before the main window appears: one message box naming the
// file, what was wrong, what is in use instead and what becomes of the file. Nothing for a file
// used as it was, or none at all (a first start).
void TellSettingsLoad(RunState& run, const items::SettingsLoadReport& report);

}  // namespace vigilon::shell
