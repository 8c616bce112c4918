// The chip models: one traits row per model, resolved once from the identifier in bank 0
// register 0x58 and handed down. Code asks the row what its model does, never the identifier.
#pragma once

#include <array>
#include <cstdint>

namespace vigilon::chip {

enum class Model : uint8_t { ZR410, ZR420, ZR430, ZR460 };

// How the -12 V and -5 V rails (items 5, 6) read.
enum class NegativeRails : uint8_t {
  Negated,  // the scale value is minus the count; volts = scale x VoltFactor
  Offset,   // the scale value is the count; volts = (count x 0.016 - 3.6) x k + 3.6
};

// How the smart fan switches fans.
enum class SmartFanKind : uint8_t {
  OutputBits,    // fan 3's output bits from the first sensor's own limits
  StateMachine,  // per channel, from the model's fixed threshold tables
};

struct SmartFanThresholds {
  int16_t rise1, rise2, rise3, fall1, fall2, fall3;  // degrees Celsius
};

inline constexpr int16_t kNoSensor = -1;

struct ChipTraits {
  Model model;
  const char* name;          // "ZR420"
  const char* settingsFile;  // the file name after the program folder, without separator
  bool mirrorsStartBit;      // register 0x5D bit 0 follows the monitoring start bit
  bool extraBeepBits;        // bank 4 register 0x53 bits 0, 1 carry the beeps of items 7, 8
  bool fan3Routed;           // 0x4C bit 7 set first; fan 3 through 0x5C bit 3, not 0x4D
  // The core rail is called "Vcore" (captions and its warning), and with no second core rail
  // the voltage rows below it move up one place.
  bool vcoreLayout;
  NegativeRails negativeRails;
  uint16_t absentItems;    // one bit per item the chip does not have
  uint16_t beeplessItems;  // one bit per item whose beep option is not offered
  // Duty register per selector 1-4 (entry 0 unused); 0 = none.
  std::array<uint8_t, 5> dutyRegister;
  // Index 1-3 used throughout, entry 0 stays 0.
  std::array<int16_t, 4> fanPwmSelect;    // per fan number: duty selector, 0 = none
  std::array<int16_t, 4> smartFanFan;     // per smart-fan channel: the fan it drives, 0 = none
  std::array<int16_t, 4> smartFanSensor;  // per channel: the temperature item, kNoSensor = none
  SmartFanKind smartFan;
  // Per channel 1-3 (array index 0-2); all zero where the model has none.
  std::array<SmartFanThresholds, 3> smartFanThresholds;

  bool ItemPresent(int item) const { return (absentItems & (1u << item)) == 0; }
  bool ItemBeepCapable(int item) const { return (beeplessItems & (1u << item)) == 0; }
};

// The row for a chip identifier, or nullptr for an identifier outside the table.
const ChipTraits* ChipTraitsFor(uint8_t chipId);

// The four rows in model order, for code and tests that walk every model.
const std::array<ChipTraits, 4>& AllChipModels();
const ChipTraits& TraitsOf(Model model);

}  // namespace vigilon::chip
