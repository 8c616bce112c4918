// How every layer numbers the sixteen monitored items, and the one fan count that means
// stopped. Depends on nothing, so that the chip layer and the items both speak it.
#pragma once

#include <cstdint>

namespace vigilon::items {

// 0-8 voltages, 9-11 fans (fan row f is item 9 + f), 12-14 temperatures (sensor t is item
// 12 + t), 15 chassis intrusion.
using MonitorItem = int;
inline constexpr int kItemCount = 16;
inline constexpr int kVoltItemCount = 9;
inline constexpr int kFanCount = 3;
inline constexpr int kTempCount = 3;
inline constexpr MonitorItem kFirstFanItem = 9;
inline constexpr MonitorItem kFirstTempItem = 12;
inline constexpr MonitorItem kChassisItem = 15;

// The item of fan number `fan` (1-3), as the fan drive and the smart fan number them.
constexpr MonitorItem FanNumberItem(int fan) {
  return kFirstFanItem + fan - 1;
}

// A fan count with no pulses: stopped, or too slow to measure. As a limit nothing exceeds it,
// so the row accepts a stopped fan.
inline constexpr uint8_t kFanCountStopped = 0xFF;

}  // namespace vigilon::items
