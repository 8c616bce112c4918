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
};

// Makes the block and starts counting; the run's cycles report to it from then on.
void Install(RunState& run);

}  // namespace vigilon::measure
