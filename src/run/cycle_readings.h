// What one monitoring cycle read, filled step by step as the cycle goes, and the observers that
// are handed it once the cycle has ended, whatever its outcome.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "items/items.h"

namespace vigilon {

enum class CycleOutcome : uint8_t {
  Complete,    // every step ran: every monitored item was read
  Suspended,   // the system had asked to suspend before the cycle began: nothing was read
  ChipSilent,  // the chip did not answer: nothing it said in this cycle counts
  CutShort,    // a suspend came in the middle: the items read before it stand, no others
};

inline constexpr double kNoLimit = std::numeric_limits<double>::quiet_NaN();

struct ItemReading {
  bool present = false;    // the chip model has the item
  bool monitored = false;  // watched in this cycle (its Enable was on)
  bool read = false;       // read in this cycle from an answering chip: the fields below hold
  uint8_t raw = 0;         // the register as read (a temperature: its whole-degree register)
  uint8_t rawHalf = 0;     // a nine-bit temperature: its half-degree bit (0 or 1)
  // Volts; rpm (0 for a stopped fan); degrees Celsius whatever the unit shown; the chassis item
  // 1 while open, 0 while closed.
  double value = 0;
  bool inLimits = true;
  // The limits the cycle judged the reading by, in the value's unit; kNoLimit on a side the
  // item has none (a fan has no high limit, a temperature no low one, the chassis neither). A
  // fan row that accepts a stopped fan has the low limit 0.
  double low = kNoLimit;
  double high = kNoLimit;
};

struct CycleReadings {
  uint64_t sequence = 0;         // the run's cycles counted from 1
  int64_t unixMs = 0;            // when the cycle began: the wall clock, UTC
  int32_t utcOffsetMinutes = 0;  // the local time's offset from UTC then
  CycleOutcome outcome = CycleOutcome::Complete;
  std::array<ItemReading, items::kItemCount> items{};
};

// Told of every cycle of the monitoring timer. Never blocks and never allocates in a steady
// cycle: whatever it keeps is reserved when it is made.
class CycleObserver {
 public:
  virtual void CycleStarts() {}
  virtual void CycleEnded(const CycleReadings& cycle) = 0;

 protected:
  ~CycleObserver() = default;
};

}  // namespace vigilon
