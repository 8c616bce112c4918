// The port writes that run again every fan the program holds stopped: kept up to date by the
// chip layer at each switch of a fan, for a process that dies and can no longer ask the chip.
#pragma once

#include <array>
#include <cstdint>

namespace vigilon::chip {

struct PortWrite {
  uint16_t port;
  uint8_t value;
};

// A bank select, then per stopped fan its duty register (or the first model's output bits) at
// full: at most three fans of two register writes each after the bank's.
struct FanRestoreWrites {
  std::array<PortWrite, 16> writes{};
  uint8_t count = 0;
  void Add(uint16_t port, uint8_t value) { writes[count++] = {port, value}; }
};

}  // namespace vigilon::chip
