// The measurement build of vigilon.exe (VIGILON_MEASURE): what each timed monitoring cycle cost,
// summed over the cycles, in a named shared memory block that tests/measure's probe reads.
#pragma once

#include <cstdint>

namespace vigilon {
struct RunState;
}

namespace vigilon::measure {

inline constexpr const char* kCountersName = "VigilonMeasureCounters";

// The block's layout, the same in the program and in the probe.
struct Counters {
  uint32_t cycles;           // timed cycles counted so far
  uint32_t allocations;      // heap allocations of the program's own code within them
  uint32_t fileOpens;        // files opened through vigilon.exe's imports within them
  uint32_t driverFileOpens;  // files opened through kestrel.dll's imports within them
  uint32_t fileWrites;       // WriteFile calls through vigilon.exe's imports within them
  uint32_t fileMoves;        // MoveFileExW calls (a file replaced) within them
};

// Makes the block and counts from then on what the program's own code allocates and opens.
void Install();
// Adds the cycles' counter to the run's observers. Last among them, so that what the others do
// with a finished cycle (the history, the logs, the metrics file) counts as the cycle's cost.
void CountCycles(RunState& run);

}  // namespace vigilon::measure
