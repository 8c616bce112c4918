// Finding the monitor at start: the Super-I/O configuration ports, the monitor's base address
// and index/data pair, the bus, the vendor identifier and the model's traits row.
#pragma once

#include <cstdint>

#include "chip/chip_model.h"
#include "chip/monitor_chip.h"

namespace vigilon::chip {

struct Detection {
  enum class Outcome : uint8_t {
    Found,
    BusInitFailed,    // InitialBus answered nonzero
    ChipMissing,      // no monitor of the family answers (or none can be where the device says)
    UnsupportedChip,  // a monitor of the family whose identifier the program does not know
  };
  Outcome outcome = Outcome::ChipMissing;
  uint8_t SuperIoActivation = 0;  // logical device 0x0B register 0x30 as found
  uint32_t VendorId = 0;
  uint8_t ChipId = 0;
  const ChipTraits* model = nullptr;  // set when found
};

// Whether a base address read from the Super-I/O device can hold a monitor: not 0, not among
// the low ports the mainboard's own devices use, not all ones (what a bus where nothing answers
// reads), and its index/data pair clear of both configuration pairs.
bool PlausibleMonitorBase(uint16_t base);

// Probes 0x2E, then 0x4E, activates the monitor device if it was off, learns the monitor's
// ports (or 0 and 1 without a device), initialises the bus, checks the vendor identifier and
// resolves the model. On a failure nothing more of the chip is touched, and a device this
// call switched on is switched off again. The shared bus is held across each configuration
// sequence, and every sequence after the probes begins with the entry key.
Detection DetectChip(MonitorChip& chip);

}  // namespace vigilon::chip
