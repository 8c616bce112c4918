// Start-up: the single-instance check, driver load, chip detection and identification, and
// the hand-over to the main window.
#pragma once

#include <functional>

#include "run/run_state.h"

namespace vigilon::startup {

enum class StartupOutcome {
  SecondInstance,    // a copy runs in this session: brought forward, ended silently
  FirstCopySilent,   // a copy runs in this session but did not answer: said so, ended
  InstanceNameHeld,  // a copy runs elsewhere, or something holds its name: said so, ended
  DriverLoadFailed,  // "LOAD Device Driver fail!"
  BusInitFailed,     // "Initialize Bus Fail!"
  ChipMissing,       // "Norvane Hardware Monitor chip does not exist!"
  UnsupportedChip,   // an identifier outside the chip-model table
  MainWindowShown,
};

inline constexpr const char* kMsgDriverLoadFailed = "LOAD Device Driver fail!";
inline constexpr const char* kMsgBusInitFailed = "Initialize Bus Fail!";
inline constexpr const char* kMsgFirstCopySilent =
    "Vigilon is already running in this session, but it does not answer.\n\nWait a moment and "
    "start it again, or end vigilon.exe in the Task Manager and then start Vigilon.";
inline constexpr const char* kMsgChipMissing = "Norvane Hardware Monitor chip does not exist!";

// Runs the whole start-up. Every failure has shown its message box when this returns; the
// caller only ends the process. `showMainWindow` loads and shows the main window.
StartupOutcome Main(RunState& run, const std::function<void(RunState&)>& showMainWindow);

// Fills ItemPresent and ItemBeepCapable from the chip model.
void SetItemAvailability(RunState& run);

// The message for a chip identifier outside the chip-model table.
std::string UnsupportedChipMessage(uint8_t chipId);

}  // namespace vigilon::startup
