// The register writes a piece of the program made, with the bank each went to, read back from
// the simulator's port log.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "sim/chip_sim.h"

namespace vigilon::test {

struct BankWrite {
  int bank;
  uint8_t reg;
  uint8_t value;
  bool operator==(const BankWrite&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const BankWrite& w) {
  return os << "bank " << w.bank << std::hex << " 0x" << int(w.reg) << "=0x" << int(w.value)
            << std::dec;
}

// Writes through the monitor's `index` port pair from log entry `from` on, bank selects left
// out; `bank` is the bank selected before `from` (-1: not known).
inline std::vector<BankWrite> WritesSince(const sim::ChipSim& chip, size_t from, uint16_t index,
                                          int bank = -1) {
  std::vector<BankWrite> writes;
  const auto& log = chip.Log();
  uint8_t selected = 0;
  for (size_t i = from; i < log.size(); ++i) {
    if (log[i].kind != sim::PortAccess::Kind::Out) continue;
    if (log[i].port == index) {
      selected = log[i].value;
    } else if (log[i].port == index + 1) {
      if (selected == 0x4E) {
        bank = log[i].value & 0x07;
      } else {
        writes.push_back({bank, selected, log[i].value});
      }
    }
  }
  return writes;
}

}  // namespace vigilon::test
