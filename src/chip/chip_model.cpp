// The chip-model table.
#include "chip/chip_model.h"

#include <initializer_list>

namespace vigilon::chip {

namespace {

constexpr uint16_t Items(std::initializer_list<int> items) {
  uint16_t mask = 0;
  for (int item : items) mask = static_cast<uint16_t>(mask | (1u << item));
  return mask;
}

constexpr std::array<SmartFanThresholds, 3> kNoThresholds{};
// Rise 1-3, fall 1-3 per channel.
constexpr std::array<SmartFanThresholds, 3> kThresholdsSet1{{
    {14, 16, 18, 13, 15, 17},
    {15, 20, 25, 13, 18, 23},
    {14, 16, 18, 13, 15, 17},
}};
constexpr std::array<SmartFanThresholds, 3> kThresholdsSet2{{
    {27, 29, 31, 26, 28, 30},
    {27, 29, 31, 26, 28, 30},
    {29, 31, 33, 28, 30, 32},
}};

// The settings file names keep the spelling the program has always used ("ZR460.dat").
constexpr std::array<ChipTraits, 4> kModels{{
    {.model = Model::ZR410,
     .name = "ZR410",
     .settingsFile = "zr410.dat",
     .mirrorsStartBit = false,
     .extraBeepBits = false,
     .fan3Routed = false,
     .vcoreLayout = false,
     .negativeRails = NegativeRails::Negated,
     .absentItems = Items({7, 8}),
     .beeplessItems = Items({7, 8, 12, 13, 14}),
     .dutyRegister = {0, 0, 0, 0x5E, 0x5F},
     .fanPwmSelect = {0, 0, 0, 0},
     .smartFanFan = {0, 0, 0, 0},
     .smartFanSensor = {kNoSensor, kNoSensor, kNoSensor, kNoSensor},
     .smartFan = SmartFanKind::OutputBits,
     .smartFanThresholds = kNoThresholds},
    {.model = Model::ZR420,
     .name = "ZR420",
     .settingsFile = "zr420.dat",
     .mirrorsStartBit = true,
     .extraBeepBits = true,
     .fan3Routed = false,
     .vcoreLayout = false,
     .negativeRails = NegativeRails::Offset,
     .absentItems = 0,
     .beeplessItems = 0,
     .dutyRegister = {0, 0x5B, 0, 0x5E, 0x5F},  // its fan 2 has no duty register
     .fanPwmSelect = {0, 1, 2, 4},
     .smartFanFan = {0, 1, 2, 3},
     .smartFanSensor = {kNoSensor, 12, 13, 14},
     .smartFan = SmartFanKind::StateMachine,
     .smartFanThresholds = kThresholdsSet1},
    {.model = Model::ZR430,
     .name = "ZR430",
     .settingsFile = "zr430.dat",
     .mirrorsStartBit = false,
     .extraBeepBits = true,
     .fan3Routed = true,
     .vcoreLayout = true,
     .negativeRails = NegativeRails::Offset,
     .absentItems = Items({1, 6, 7, 8, 11, 14, 15}),
     .beeplessItems = Items({1, 6, 7, 8, 11, 14, 15}),
     .dutyRegister = {0, 0x5A, 0x5B, 0x5E, 0x5F},
     .fanPwmSelect = {0, 1, 2, 0},
     .smartFanFan = {0, 1, 2, 3},
     .smartFanSensor = {kNoSensor, 13, 12, 14},
     .smartFan = SmartFanKind::StateMachine,
     .smartFanThresholds = kThresholdsSet2},
    {.model = Model::ZR460,
     .name = "ZR460",
     .settingsFile = "ZR460.dat",
     .mirrorsStartBit = true,
     .extraBeepBits = true,
     .fan3Routed = false,
     .vcoreLayout = false,
     .negativeRails = NegativeRails::Offset,
     .absentItems = Items({1, 6}),
     .beeplessItems = Items({1}),  // the -5 V rail is absent, yet its beep option is offered
     .dutyRegister = {0, 0x5A, 0x5B, 0x5E, 0x5F},
     .fanPwmSelect = {0, 1, 2, 0},
     .smartFanFan = {0, 1, 2, 0},
     .smartFanSensor = {kNoSensor, 12, 13, kNoSensor},
     .smartFan = SmartFanKind::StateMachine,
     .smartFanThresholds = kThresholdsSet1},
}};

struct IdRow {
  uint8_t id;
  Model model;
};
constexpr std::array<IdRow, 5> kIds{{
    {0x10, Model::ZR410},
    {0x11, Model::ZR410},
    {0x30, Model::ZR420},
    {0x40, Model::ZR430},
    {0x21, Model::ZR460},
}};

}  // namespace

const std::array<ChipTraits, 4>& AllChipModels() {
  return kModels;
}

const ChipTraits& TraitsOf(Model model) {
  for (const ChipTraits& row : kModels)
    if (row.model == model) return row;
  return kModels[1];
}

const ChipTraits* ChipTraitsFor(uint8_t chipId) {
  for (const IdRow& row : kIds)
    if (row.id == chipId) return &TraitsOf(row.model);
  return nullptr;
}

}  // namespace vigilon::chip
