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
    {Model::ZR410, "ZR410", "zr410.dat", /*mirrorsStartBit=*/false, /*extraBeepBits=*/false,
     /*fan3Routed=*/false, /*vcoreLayout=*/false, NegativeRails::Negated, Items({7, 8}), Items({7, 8, 12, 13, 14}),
     /*dutyRegister=*/{0, 0, 0, 0x5E, 0x5F}, /*fanPwmSelect=*/{0, 0, 0, 0},
     /*smartFanFan=*/{0, 0, 0, 0}, /*smartFanSensor=*/{kNoSensor, kNoSensor, kNoSensor, kNoSensor},
     SmartFanKind::OutputBits, kNoThresholds},
    {Model::ZR420,
     "ZR420",
     "zr420.dat",
     true,
     true,
     false,
     NegativeRails::Offset,
     0,
     0,
     {0, 0x5B, 0, 0x5E, 0x5F},
     {0, 1, 2, 4},
     {0, 1, 2, 3},
     {kNoSensor, 12, 13, 14},
     SmartFanKind::StateMachine,
     kThresholdsSet1},
    {Model::ZR430,
     "ZR430",
     "zr430.dat",
     false,
     true,
     true,
     NegativeRails::Offset,
     Items({1, 6, 7, 8, 11, 14, 15}),
     Items({1, 6, 7, 8, 11, 14, 15}),
     {0, 0x5A, 0x5B, 0x5E, 0x5F},
     {0, 1, 2, 0},
     {0, 1, 2, 3},
     {kNoSensor, 13, 12, 14},
     SmartFanKind::StateMachine,
     kThresholdsSet2},
    // The -5 V rail is absent, yet its beep option is still offered.
    {Model::ZR460,
     "ZR460",
     "ZR460.dat",
     true,
     true,
     false,
     NegativeRails::Offset,
     Items({1, 6}),
     Items({1}),
     {0, 0x5A, 0x5B, 0x5E, 0x5F},
     {0, 1, 2, 0},
     {0, 1, 2, 0},
     {kNoSensor, 12, 13, kNoSensor},
     SmartFanKind::StateMachine,
     kThresholdsSet1},
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
