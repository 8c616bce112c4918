// The chip features the program switches: monitoring start and stop, the processor VID, the beep
// enables, the fan inputs, fan control bits and duty registers, and the smart-fan tables.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "chip/chip_access.h"
#include "chip/chip_model.h"

namespace vigilon::chip {

using ItemFlagBytes = std::array<uint8_t, 16>;  // per monitored item, 1 = on

void StartMonitoring(ChipAccess& chip, const ChipTraits& traits);
// `letPendingEventsRun` is called last, so that events queued while the chip stopped are handled
// before the caller goes on.
void StopMonitoring(ChipAccess& chip, const ChipTraits& traits,
                    const std::function<void()>& letPendingEventsRun);

struct VidLimits {
  float low;
  float high;
};
// The nominal core voltage of a VID code 0-30; code 31 has none.
double VidNominalVolts(int code);
// Item 0's limits from the processor's VID pins (bank 0 register 0x47 bits 0-3, 0x49 bit 0).
VidLimits DecodeVid(ChipAccess& chip);

// Programs the beep enables from the per-item flags; bank 4 stays selected on the later models.
void ApplyBeepSettings(ChipAccess& chip, const ChipTraits& traits, const ItemFlagBytes& enabled,
                       const ItemFlagBytes& beep);

// Switches the fan inputs on (a method of the main window in the program's vocabulary).
void Set_Fan_Status(ChipAccess& chip, const ChipTraits& traits);

// Drives fan `fan`'s (1-3) two control bits in register 0x4D; a flag is on only when it is 1.
void SetFanOutput(ChipAccess& chip, int16_t fan, int16_t first, int16_t second);

// Writes a duty value to the register the selector (1-4) names on this model, if any; true when
// a register was written.
bool WriteFanPwm(ChipAccess& chip, const ChipTraits& traits, int16_t selector, int16_t value);

struct SmartFanTables {
  // Index 1-3 used throughout; index 0 stays 0.
  std::array<int16_t, 4> FanPwmSelect{};    // per fan number: duty selector for WriteFanPwm, 0 none
  std::array<int16_t, 4> SmartFanFan{};     // per smart-fan channel: the fan number it drives
  std::array<int16_t, 4> SmartFanSensor{};  // per channel: its temperature item, kNoSensor none
  std::array<int16_t, 4> SmartFanRise1{};
  std::array<int16_t, 4> SmartFanRise2{};
  std::array<int16_t, 4> SmartFanRise3{};
  std::array<int16_t, 4> SmartFanFall1{};
  std::array<int16_t, 4> SmartFanFall2{};
  std::array<int16_t, 4> SmartFanFall3{};
  std::array<int16_t, 4> SmartFanState{};  // per fan, 0-3 used
  bool FanLimitArmed = true;  // false only while the program itself sets a fan-limit control
  // Fans the program itself has stopped, so that no way out of the program leaves them so:
  // per fan number, its duty written as 0; and the first model's fan 3 switched off by its
  // output bits.
  std::array<bool, 4> DutyStoppedByProgram{};
  bool OutputsStoppedByProgram = false;
};

SmartFanTables LoadSmartFanTables(const ChipTraits& traits);

// Sets fan `fan`'s (1-3) duty when its item (8 + fan) is monitored; otherwise touches nothing.
// Remembers in `tables` whether the program has left the fan stopped.
void SetFanDuty(ChipAccess& chip, const ChipTraits& traits, SmartFanTables& tables,
                const ItemFlagBytes& enabled, int16_t fan, int16_t value);

// Every fan the program itself stopped runs at full duty again, whatever its item's flags: the
// one thing every way out of the program does first.
void RestoreStoppedFans(ChipAccess& chip, const ChipTraits& traits, SmartFanTables& tables);

}  // namespace vigilon::chip
