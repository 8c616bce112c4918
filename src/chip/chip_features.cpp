// Chip feature programming: per-model register traffic for monitoring, VID, beeps and fans.
#include "chip/chip_features.h"

#include <optional>

#include "chip/chip_model.h"

namespace vigilon::chip {

namespace {

constexpr uint8_t kRegConfig = 0x40;
constexpr uint8_t kStartBit = 0x01;
constexpr uint8_t kRegStartMirror = 0x5D;  // bit 0 follows the start bit on some models
constexpr uint8_t kRegVid0to3 = 0x47;
constexpr uint8_t kRegVid4 = 0x49;
constexpr uint8_t kRegBeep1 = 0x56;
constexpr uint8_t kRegBeep2 = 0x57;
constexpr uint8_t kBeepGlobal = 0x80;
constexpr uint8_t kBankExtraBeep = 4;
constexpr uint8_t kRegExtraBeep = 0x53;
constexpr uint8_t kRegFanSetup = 0x4C;
constexpr uint8_t kRegFanControl = 0x4D;
constexpr uint8_t kRegFan3Route = 0x5C;

std::optional<Model> ModelOf(uint8_t chipId) {
  const auto entry = ChipModel(chipId);
  if (!entry) return std::nullopt;
  return entry->model;
}

bool MirrorsStartBit(uint8_t chipId) {
  const auto model = ModelOf(chipId);
  return model == Model::ZR420 || model == Model::ZR460;
}

bool HasExtraBeepBits(uint8_t chipId) {
  const auto model = ModelOf(chipId);
  return model == Model::ZR420 || model == Model::ZR430 || model == Model::ZR460;
}

// VID codes 0-30 to the processor's nominal core voltage.
constexpr std::array<double, 31> kVidVolts{
    2.05, 2.0, 1.95, 1.9, 1.85, 1.8, 1.75, 1.7, 1.65, 1.6, 1.55, 1.5, 1.45, 1.4, 1.35, 1.3,
    3.5,  3.4, 3.3,  3.2, 3.1,  3.0, 2.9,  2.8, 2.7,  2.6, 2.5,  2.4, 2.3,  2.2, 2.1};
constexpr int kVidNoCpu = 31;
constexpr double kVidMargin = 0.2;
constexpr VidLimits kVidNoCpuLimits{1.2f, 3.9f};

struct BeepBit {
  enum class Where : uint8_t { Beep1, Beep2, Extra } where;
  uint8_t mask;
};
constexpr std::array<BeepBit, 16> kBeepBits{{
    {BeepBit::Where::Beep1, 0x01},
    {BeepBit::Where::Beep1, 0x02},
    {BeepBit::Where::Beep1, 0x04},
    {BeepBit::Where::Beep1, 0x08},
    {BeepBit::Where::Beep2, 0x01},
    {BeepBit::Where::Beep2, 0x02},
    {BeepBit::Where::Beep2, 0x04},
    {BeepBit::Where::Extra, 0x01},
    {BeepBit::Where::Extra, 0x02},
    {BeepBit::Where::Beep1, 0x40},
    {BeepBit::Where::Beep1, 0x80},
    {BeepBit::Where::Beep2, 0x08},
    {BeepBit::Where::Beep1, 0x10},
    {BeepBit::Where::Beep1, 0x20},
    {BeepBit::Where::Beep2, 0x20},
    {BeepBit::Where::Beep2, 0x10},
}};

// Duty register per selector 1-4, 0 = none.
constexpr uint8_t kNoDuty = 0;
struct DutyRow {
  Model model;
  std::array<uint8_t, 4> reg;
};
constexpr std::array<DutyRow, 4> kDutyRegs{{
    {Model::ZR410, {kNoDuty, kNoDuty, 0x5E, 0x5F}},
    {Model::ZR420, {0x5B, kNoDuty, 0x5E, 0x5F}},
    {Model::ZR430, {0x5A, 0x5B, 0x5E, 0x5F}},
    {Model::ZR460, {0x5A, 0x5B, 0x5E, 0x5F}},
}};

struct Thresholds {
  int16_t rise1, rise2, rise3, fall1, fall2, fall3;
};
constexpr std::array<Thresholds, 3> kSmartFanSet1{{
    {14, 16, 18, 13, 15, 17},
    {15, 20, 25, 13, 18, 23},
    {14, 16, 18, 13, 15, 17},
}};
constexpr std::array<Thresholds, 3> kSmartFanSet2{{
    {27, 29, 31, 26, 28, 30},
    {27, 29, 31, 26, 28, 30},
    {29, 31, 33, 28, 30, 32},
}};

}  // namespace

void StartMonitoring(ChipAccess& chip, uint8_t chipId) {
  chip.SelectBank(0);
  chip.UpdateChipReg(kRegConfig, 0xFF, kStartBit);
  if (MirrorsStartBit(chipId)) chip.UpdateChipReg(kRegStartMirror, 0xFF, kStartBit);
}

void StopMonitoring(ChipAccess& chip, uint8_t chipId,
                    const std::function<void()>& letPendingEventsRun) {
  chip.SelectBank(0);
  chip.UpdateChipReg(kRegConfig, static_cast<uint8_t>(~kStartBit), 0);
  if (MirrorsStartBit(chipId))
    chip.UpdateChipReg(kRegStartMirror, static_cast<uint8_t>(~kStartBit), 0);
  if (letPendingEventsRun) letPendingEventsRun();
}

double VidNominalVolts(int code) {
  return code >= 0 && code < static_cast<int>(kVidVolts.size()) ? kVidVolts[code] : 0;
}

VidLimits DecodeVid(ChipAccess& chip) {
  chip.SelectBank(0);
  const int low = chip.ReadChipReg(kRegVid0to3) & 0x0F;
  const int code = low + 16 * (chip.ReadChipReg(kRegVid4) & 0x01);
  if (code == kVidNoCpu) return kVidNoCpuLimits;
  const double x = VidNominalVolts(code);
  return {static_cast<float>(x - kVidMargin), static_cast<float>(x + kVidMargin)};
}

void ApplyBeepSettings(ChipAccess& chip, uint8_t chipId, const ItemFlagBytes& enabled,
                       const ItemFlagBytes& beep) {
  uint8_t beep1 = 0;
  uint8_t beep2 = kBeepGlobal;
  uint8_t extra = 0;
  const bool hasExtra = HasExtraBeepBits(chipId);
  if (hasExtra) {
    chip.SelectBank(kBankExtraBeep);
    extra = chip.ReadChipReg(kRegExtraBeep);
  }
  for (std::size_t item = 0; item < kBeepBits.size(); ++item) {
    const bool on = enabled[item] == 1 && beep[item] == 1;
    const BeepBit& bit = kBeepBits[item];
    switch (bit.where) {
      case BeepBit::Where::Beep1:
        if (on) beep1 |= bit.mask;
        break;
      case BeepBit::Where::Beep2:
        if (on) beep2 |= bit.mask;
        break;
      case BeepBit::Where::Extra:
        // The other bits of this register belong to the chip: only ours change.
        extra = on ? (extra | bit.mask) : (extra & ~bit.mask);
        break;
    }
  }
  chip.SelectBank(0);
  chip.WriteChipReg(kRegBeep1, beep1);
  chip.WriteChipReg(kRegBeep2, beep2);
  if (hasExtra) {
    chip.SelectBank(kBankExtraBeep);
    chip.WriteChipReg(kRegExtraBeep, extra);
  }
}

void Set_Fan_Status(ChipAccess& chip, uint8_t chipId) {
  const auto model = ModelOf(chipId);
  chip.SelectBank(0);
  if (model == Model::ZR430) chip.SetBitsIfClear(kRegFanSetup, 0x80);
  chip.SetBitsIfClear(kRegFanControl, 0x01);
  chip.SetBitsIfClear(kRegFanControl, 0x04);
  if (model == Model::ZR410 || model == Model::ZR420 || model == Model::ZR460) {
    chip.SetBitsIfClear(kRegFanControl, 0x10);
  } else if (model == Model::ZR430) {
    // The third fan is routed through register 0x5C here; its 0x4D bits must be off.
    const uint8_t control = chip.ReadChipReg(kRegFanControl);
    if (control & 0x10) chip.WriteChipReg(kRegFanControl, control & 0xCF);
    chip.SetBitsIfClear(kRegFan3Route, 0x08);
  }
}

void SetFanOutput(ChipAccess& chip, int16_t fan, int16_t first, int16_t second) {
  chip.SelectBank(0);
  if (fan < 1 || fan > 3) return;
  const uint8_t lower = static_cast<uint8_t>(1u << (2 * (fan - 1)));
  const std::array<std::pair<uint8_t, int16_t>, 2> bits{{{lower, first}, {lower << 1, second}}};
  for (const auto& [mask, flag] : bits) {
    const uint8_t value = chip.ReadChipReg(kRegFanControl);
    const bool set = (value & mask) != 0;
    if (flag == 1 && !set) chip.WriteChipReg(kRegFanControl, value | mask);
    if (flag != 1 && set) chip.WriteChipReg(kRegFanControl, value & ~mask);
  }
}

void WriteFanPwm(ChipAccess& chip, uint8_t chipId, int16_t selector, int16_t value) {
  chip.SelectBank(0);
  const auto model = ModelOf(chipId);
  if (!model || selector < 1 || selector > 4) return;
  for (const DutyRow& row : kDutyRegs) {
    if (row.model != *model) continue;
    const uint8_t reg = row.reg[selector - 1];
    if (reg != kNoDuty) chip.WriteChipReg(reg, static_cast<uint8_t>(value));
  }
}

SmartFanTables LoadSmartFanTables(uint8_t chipId) {
  SmartFanTables t;
  t.FanLimitArmed = true;
  const auto model = ModelOf(chipId);
  if (!model || *model == Model::ZR410) return t;
  const auto& set = *model == Model::ZR430 ? kSmartFanSet2 : kSmartFanSet1;
  for (int c = 1; c <= 3; ++c) {
    const Thresholds& th = set[c - 1];
    t.SmartFanRise1[c] = th.rise1;
    t.SmartFanRise2[c] = th.rise2;
    t.SmartFanRise3[c] = th.rise3;
    t.SmartFanFall1[c] = th.fall1;
    t.SmartFanFall2[c] = th.fall2;
    t.SmartFanFall3[c] = th.fall3;
  }
  if (*model == Model::ZR460) {
    t.SmartFanFan = {0, 1, 2, 0};
    t.FanPwmSelect = {0, 1, 2, 0};
  } else if (*model == Model::ZR430) {
    t.SmartFanFan = {0, 1, 2, 3};
    t.FanPwmSelect = {0, 1, 2, 0};
  } else {
    t.SmartFanFan = {0, 1, 2, 3};
    t.FanPwmSelect = {0, 1, 2, 4};
  }
  return t;
}

void SetFanDuty(ChipAccess& chip, uint8_t chipId, const SmartFanTables& tables,
                const ItemFlagBytes& enabled, int16_t fan, int16_t value) {
  if (fan < 1 || fan > 3 || enabled[8 + fan] != 1) return;
  chip.SelectBank(0);
  WriteFanPwm(chip, chipId, tables.FanPwmSelect[fan], value);
}

}  // namespace vigilon::chip
