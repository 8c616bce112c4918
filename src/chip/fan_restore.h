// The port writes that run again every fan the program holds stopped: made anew at each switch
// of a fan, for a process that dies and can no longer ask the chip.
#pragma once

#include <array>
#include <cstdint>

namespace vigilon::chip {

struct PortWrite {
  uint16_t port;
  uint8_t value;
};

// The fans such a list runs: per fan number 1-3, one whose duty was left at 0; and the first
// model's fan 3, left off by its output bits.
struct FansToRun {
  std::array<bool, 4> duty{};
  bool outputs = false;
};

// A bank select, then per stopped fan its duty register (or the first model's output bits) at
// full: at most three fans of two register writes each after the bank's.
struct FanRestoreWrites {
  std::array<PortWrite, 16> writes{};
  uint8_t count = 0;
  void Add(uint16_t port, uint8_t value) { writes[count++] = {port, value}; }
};

}  // namespace vigilon::chip
