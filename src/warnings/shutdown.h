// Shutting the system down at the user's request, from a warning dialog.
#pragma once

#include "run/run_state.h"

namespace vigilon::warnings {

// Asks the user, then asks the driver for the right to shut down and ends the session. Touches
// nothing but `run`: the dialog whose button asked may be gone by the time the question returns.
void ConfirmShutdown(RunState& run);

}  // namespace vigilon::warnings
