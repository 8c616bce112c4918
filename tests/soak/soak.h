// The whole program left running for a long time, headless and in virtual time, over the chip
// simulator: a seeded schedule of sensor faults, a chip that stops answering, power storms,
// user actions, failing saves and settings files damaged between runs, with the program's
// invariants checked after every cycle. The same seed gives the same run, so a failure replays from
// its seed and cycle.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "sim/chip_sim.h"

namespace vigilon::items {
class MemoryFiles;
}

namespace vigilon::soak {

// One polling interval at the default of four seconds; a week is this many cycles.
inline constexpr int64_t kCyclesPerHour = 900;
inline constexpr int64_t kCyclesPerWeek = 7 * 24 * kCyclesPerHour;

// Everything the schedule does, for the counts in the report.
enum class Action : uint8_t {
  FanStops,
  FanRuns,
  Temperature,
  VoltageOut,
  VoltageBack,
  ChassisOpens,
  ChassisCloses,
  ChipVanishes,
  ChipReturns,
  SuspendStorm,
  QueryRefused,
  LoneResume,
  QueryAlone,
  SuspendWhileSettling,
  WarningIgnore,
  WarningDisable,
  WarningShutDown,
  WarningHelp,
  ConfigOpen,
  ConfigClick,
  ConfigOk,
  ConfigCancel,
  ConfigCloseBox,
  LoadDefault,
  Unit,
  Interval,
  LimitChange,
  Save,
  SaveFails,
  HideRestore,
  About,
  Restart,
  HardKill,
  DamagedFile,
  kCount
};
const char* ActionName(Action action);

struct Options {
  uint64_t seed = 1;
  int64_t cycles = 1000;
  sim::Model model = sim::Model::ZR420;
  // Every action as it happens, one line each, with its cycle (replaying a failure).
  std::ostream* trace = nullptr;
  // Called after every cycle's checks; the heap measurement hangs here. `quiet` marks the two
  // cycles (the end of the first hour and the last) at which the machine has been brought to
  // the same calm state, so that what the program holds then can be compared.
  std::function<void(int64_t cycle, bool quiet)> afterCycle;
  // For proving the checks: runs at the end of this cycle, before its checks.
  int64_t sabotageAt = -1;
  std::function<void(sim::ChipSim&, items::MemoryFiles&)> sabotage;
};

struct Report {
  int64_t cycles = 0;        // cycles run
  int64_t failedCycle = -1;  // the first cycle whose checks failed, or -1
  std::string failure;       // what was wrong there, with the recent actions and the replay
  std::array<int64_t, static_cast<size_t>(Action::kCount)> actions{};
  int64_t pollCycles = 0;  // monitoring cycles the program ran (fewer while suspended)
  int64_t dialogsOpened = 0;
  int64_t checks = 0;           // invariant checks made
  int64_t rowsWritten = 0;      // rows of the readings log that reached the folder
  int64_t mostRowsWaiting = 0;  // rows that waited at once for a folder that could not be written
  bool passed() const { return failedCycle < 0; }
  std::string Summary() const;
};

Report RunSoak(const Options& options);

}  // namespace vigilon::soak
