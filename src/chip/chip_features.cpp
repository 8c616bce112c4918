// Chip feature programming: per-model register traffic for monitoring, VID, beeps and fans.
#include "chip/chip_features.h"

#include <utility>

namespace vigilon::chip {

using namespace reg;

namespace {

// VID codes 0-30 to the processor's nominal core voltage.
constexpr std::array<double, 31> kVidVolts{
    2.05, 2.0, 1.95, 1.9, 1.85, 1.8, 1.75, 1.7, 1.65, 1.6, 1.55, 1.5, 1.45, 1.4, 1.35, 1.3,
    3.5,  3.4, 3.3,  3.2, 3.1,  3.0, 2.9,  2.8, 2.7,  2.6, 2.5,  2.4, 2.3,  2.2, 2.1};
constexpr int kVidNoCpu = 31;
constexpr double kVidMargin = 0.2;
constexpr VidLimits kVidNoCpuLimits{1.2f, 3.9f};

}  // namespace

void StartMonitoring(ChipAccess& chip, const ChipTraits& traits) {
  chip.SelectBank(0);
  chip.UpdateChipReg(kConfig, 0xFF, kConfigStart);
  if (traits.mirrorsStartBit) chip.UpdateChipReg(kControl2, 0xFF, kControl2StartMirror);
}

void StopMonitoring(ChipAccess& chip, const ChipTraits& traits,
                    const std::function<void()>& letPendingEventsRun) {
  chip.SelectBank(0);
  chip.UpdateChipReg(kConfig, static_cast<uint8_t>(~kConfigStart), 0);
  if (traits.mirrorsStartBit)
    chip.UpdateChipReg(kControl2, static_cast<uint8_t>(~kControl2StartMirror), 0);
  if (letPendingEventsRun) letPendingEventsRun();
}

double VidNominalVolts(int code) {
  return code >= 0 && code < static_cast<int>(kVidVolts.size()) ? kVidVolts[code] : 0;
}

VidLimits DecodeVid(ChipAccess& chip) {
  chip.SelectBank(0);
  const int low = chip.ReadChipReg(kVidFanDivisor) & kVidLowMask;
  const int code = low + 16 * (chip.ReadChipReg(kVid4) & 0x01);
  if (code == kVidNoCpu) return kVidNoCpuLimits;
  const double x = VidNominalVolts(code);
  return {static_cast<float>(x - kVidMargin), static_cast<float>(x + kVidMargin)};
}

void ApplyBeepSettings(ChipAccess& chip, const ChipTraits& traits, const ItemFlagBytes& enabled,
                       const ItemFlagBytes& beep) {
  uint8_t beep1 = 0;
  uint8_t beep2 = kBeepGlobal;
  uint8_t extra = 0;
  if (traits.extraBeepBits) {
    chip.SelectBank(kBankExtraBeep);
    extra = chip.ReadChipReg(kExtraBeep);
  }
  for (std::size_t item = 0; item < kBeepBit.size(); ++item) {
    const bool on = enabled[item] == 1 && beep[item] == 1;
    const BitReg& bit = kBeepBit[item];
    if (bit.index == kBeep1) {
      if (on) beep1 |= bit.mask;
    } else if (bit.index == kBeep2) {
      if (on) beep2 |= bit.mask;
    } else {
      // The other bits of this register belong to the chip: only ours change.
      extra = on ? (extra | bit.mask) : (extra & ~bit.mask);
    }
  }
  chip.SelectBank(0);
  chip.WriteChipReg(kBeep1, beep1);
  chip.WriteChipReg(kBeep2, beep2);
  if (traits.extraBeepBits) {
    chip.SelectBank(kBankExtraBeep);
    chip.WriteChipReg(kExtraBeep, extra);
  }
}

void Set_Fan_Status(ChipAccess& chip, const ChipTraits& traits) {
  chip.SelectBank(0);
  if (traits.fan3Routed) chip.SetBitsIfClear(kFanSetup, kFanSetupBit);
  chip.SetBitsIfClear(kFanControl, FanOutputLowBit(1));
  chip.SetBitsIfClear(kFanControl, FanOutputLowBit(2));
  if (!traits.fan3Routed) {
    chip.SetBitsIfClear(kFanControl, FanOutputLowBit(3));
  } else {
    // The third fan is routed through its own register here; its control bits must be off.
    const uint8_t control = chip.ReadChipReg(kFanControl);
    if (control & FanOutputLowBit(3)) chip.WriteChipReg(kFanControl, control & 0xCF);
    chip.SetBitsIfClear(kFan3Route, kFan3RouteBit);
  }
}

void SetFanOutput(ChipAccess& chip, int16_t fan, int16_t first, int16_t second) {
  chip.SelectBank(0);
  if (fan < 1 || fan > 3) return;
  const uint8_t lower = FanOutputLowBit(fan);
  const std::array<std::pair<uint8_t, int16_t>, 2> bits{{{lower, first}, {lower << 1, second}}};
  for (const auto& [mask, flag] : bits) {
    const uint8_t value = chip.ReadChipReg(kFanControl);
    const bool set = (value & mask) != 0;
    if (flag == 1 && !set) chip.WriteChipReg(kFanControl, value | mask);
    if (flag != 1 && set) chip.WriteChipReg(kFanControl, value & ~mask);
  }
}

bool WriteFanPwm(ChipAccess& chip, const ChipTraits& traits, int16_t selector, int16_t value) {
  chip.SelectBank(0);
  if (selector < 1 || selector > 4) return false;
  const uint8_t reg = traits.dutyRegister[static_cast<std::size_t>(selector)];
  if (reg == 0) return false;
  chip.WriteChipReg(reg, static_cast<uint8_t>(value));
  return true;
}

SmartFanTables LoadSmartFanTables(const ChipTraits& traits) {
  SmartFanTables t;
  t.FanLimitArmed = true;
  for (int c = 1; c <= 3; ++c) {
    const SmartFanThresholds& th = traits.smartFanThresholds[static_cast<std::size_t>(c - 1)];
    t.SmartFanRise1[c] = th.rise1;
    t.SmartFanRise2[c] = th.rise2;
    t.SmartFanRise3[c] = th.rise3;
    t.SmartFanFall1[c] = th.fall1;
    t.SmartFanFall2[c] = th.fall2;
    t.SmartFanFall3[c] = th.fall3;
  }
  t.SmartFanFan = traits.smartFanFan;
  t.SmartFanSensor = traits.smartFanSensor;
  t.FanPwmSelect = traits.fanPwmSelect;
  return t;
}

void SetFanDuty(ChipAccess& chip, const ChipTraits& traits, SmartFanTables& tables,
                const ItemFlagBytes& enabled, int16_t fan, int16_t value) {
  if (fan < 1 || fan > 3 || enabled[8 + fan] != 1) return;
  chip.SelectBank(0);
  if (WriteFanPwm(chip, traits, tables.FanPwmSelect[fan], value))
    tables.DutyStoppedByProgram[fan] = (value & 0xFF) == 0;
}

void RestoreStoppedFans(ChipAccess& chip, const ChipTraits& traits, SmartFanTables& tables) {
  constexpr int16_t kFullDuty = 255;
  for (int16_t fan = 1; fan <= 3; ++fan) {
    if (!tables.DutyStoppedByProgram[fan]) continue;
    WriteFanPwm(chip, traits, tables.FanPwmSelect[fan], kFullDuty);
    tables.DutyStoppedByProgram[fan] = false;
  }
  if (tables.OutputsStoppedByProgram) {
    SetFanOutput(chip, 3, 0, 1);  // full speed, as the program switches it on
    tables.OutputsStoppedByProgram = false;
  }
}

}  // namespace vigilon::chip
