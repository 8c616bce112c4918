// The sixteen monitored items: their table, the per-item flags, the limit tables and the
// defaults that put every setting back to its starting value.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "chip/chip_model.h"
#include "chip/item_numbers.h"
#include "items/settings_record.h"

namespace vigilon::items {

// Where each item's reading, limits and beep bit live is the chip layer's register map.
struct ItemInfo {
  MonitorItem index;
  const char* mainCaption;    // empty for the chassis item, which has only its status label
  const char* configCaption;  // caption in the monitoring configuration dialog
  const char* warningWindow;  // name of the item's warning dialog
};

const std::array<ItemInfo, kItemCount>& ItemTable();

// A per-item flag byte counts as set only when it is exactly 1; other values are kept as they
// came but mean "off".
constexpr bool IsSet(uint8_t flag) {
  return flag == 1;
}
// The 16-bit Booleans of the settings: -1 true, 0 false; any other nonzero value reads as true.
inline constexpr int16_t kTrue = -1;
inline constexpr int16_t kFalse = 0;
constexpr bool IsTrue(int16_t value) {
  return value != 0;
}

using ItemFlags = std::array<uint8_t, kItemCount>;

// The fan low limits the up-down can set, as counts (its value is 255 - count): 254 is the
// setting that accepts a stopped fan, and the count never reaches 0, which has no speed.
inline constexpr int16_t kFanLimitCountLowest = 1;
inline constexpr int16_t kFanLimitCountHighest = 254;

// The divisor the chip counts every fan with: the fan set-up sets each fan's divisor select bits
// to all ones, whatever the settings say, so a speed comes out right only with this divisor. It
// is the default, and the one value of FanDivisor a loaded file keeps.
inline constexpr int16_t kFanCountDivisor = 8;

// The hysteresis the program keeps below each temperature limit, in degrees.
inline constexpr float kTempHystBelowLimit = 5;

// Every table of the items: created by start-up, handed down to whoever reads or edits limits.
struct ItemTables {
  ItemFlags ItemEnabled{};
  ItemFlags ItemWErr1{};
  ItemFlags ItemWErr3{};
  ItemFlags ItemBeep{};
  ItemFlags ItemPresent{};
  ItemFlags ItemBeepCapable{};

  // Volts, entries 0-8 used; entry 9 stays 0.
  std::array<float, 10> VoltSliderMin{};
  std::array<float, 10> VoltSliderMax{};
  std::array<float, 10> VoltLowLimit{};
  std::array<float, 10> VoltHighLimit{};
  std::array<float, 10> VoltFactor{};  // volts per register count

  // Entries 0-2 used.
  std::array<int16_t, 4> FanDivisor{};
  std::array<int16_t, 4> FanLimitCount{};  // fan-count register value; higher = slower
  std::array<float, 4> TempLimit{};        // degrees Celsius
  std::array<float, 4> TempHyst{};         // degrees Celsius

  std::string Password = std::string(8, ' ');
  int16_t VidDefaultsPending = kFalse;
  int16_t TempInCelsius = kTrue;
  int16_t PollInterval = 4;

  // The record as the settings file last gave it (or as the defaults filled it): a save writes
  // the entries the program never uses back from here unchanged.
  SettingsRecord settingsRecord{};
  // Set by a load that was not clean (a short, unreadable or repaired file): the next save first
  // keeps the file's old bytes beside it. Cleared by the first save that replaced the file.
  bool keepFileBeforeSave = false;
};

struct ItemAvailability {
  ItemFlags ItemPresent{};
  ItemFlags ItemBeepCapable{};
};

// Which items exist on a chip model and which offer a beep.
ItemAvailability ItemAvailabilityFor(const chip::ChipTraits& model);

// Where an item is not present it is not monitored, and where it cannot beep it does not.
void EnforceItemInvariants(ItemTables& tables);

// The table part of the defaults command: every limit, flag and setting back to its default,
// then the invariants against the availability flags already in `tables`. The caller (the main
// window) shows the hourglass, puts PollInterval into Text1 and HScroll1, and repaints.
void LoadDefaultLimits(ItemTables& tables);

}  // namespace vigilon::items
