// The chip in item terms: each operation is one transaction on the shared bus, and its port
// traffic is the register sequence the program has always made.
#include "chip/monitor_chip.h"

#include <algorithm>
#include <utility>

#include "chip/chip_registers.h"
#include "chip/item_numbers.h"

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
constexpr int16_t kFullDuty = 255;
using items::kFanCountStopped;

FanSwitch HeardBy(const ChipAccess& access) {
  return access.bankRegisterSane() ? FanSwitch::Heard : FanSwitch::Unheard;
}
// The two negative rails.
constexpr bool IsNegativeRail(int item) {
  return item == 5 || item == 6;
}

uint8_t Byte(int value) {
  return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// The nominal core voltage of a VID code 0-30; code 31 has none.
double VidNominalVolts(int code) {
  return code >= 0 && code < static_cast<int>(kVidVolts.size()) ? kVidVolts[code] : 0;
}

}  // namespace

SmartFanTables LoadSmartFanTables(const ChipTraits& traits) {
  SmartFanTables t;
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

// ---- Readings ----

uint8_t MonitorChip::ReadVoltage(int item) {
  const Reg where = kVolt[static_cast<std::size_t>(item)].reading;
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(where.bank);
  return access_.ReadChipReg(where.index);
}

uint8_t MonitorChip::ReadFanCount(int fan) {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  return access_.ReadChipReg(kFanCount[static_cast<std::size_t>(fan)]);
}

TempRaw MonitorChip::ReadTemperature(int sensor) {
  const TempRegs& r = kTemp[static_cast<std::size_t>(sensor)];
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(r.bank);
  TempRaw raw{access_.ReadChipReg(r.reading), 0};
  if (r.halfDegrees) raw.half = access_.ReadChipReg(r.readingHalf);
  return raw;
}

bool MonitorChip::ReadChassisOpened() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  // The clear request comes before the read: a latch the chip still holds for an open case
  // sets itself again at once, while one for a case closed since is let go.
  access_.UpdateChipReg(kChassisClear, 0xFF, kChassisClearRequest);
  return (access_.ReadChipReg(kStatus2) & kStatus2Chassis) != 0;
}

uint8_t MonitorChip::ReadInterruptStatus() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  access_.ReadChipReg(kStatus1);
  return access_.ReadChipReg(kStatus2);
}

uint8_t MonitorChip::ReadChipId() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  return access_.ReadChipReg(kChipId);
}

VidLimits MonitorChip::DecodeVid() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  const int low = access_.ReadChipReg(kVidFanDivisor) & kVidLowMask;
  const int code = low + 16 * (access_.ReadChipReg(kVid4) & kVid4Bit);
  if (code == kVidNoCpu) return kVidNoCpuLimits;
  const double x = VidNominalVolts(code);
  return {static_cast<float>(x - kVidMargin), static_cast<float>(x + kVidMargin)};
}

// ---- Limits ----

void MonitorChip::WriteVoltLow(int item, int scaleValue) {
  WriteVoltLimit(item, scaleValue, /*high=*/false);
}

void MonitorChip::WriteVoltHigh(int item, int scaleValue) {
  WriteVoltLimit(item, scaleValue, /*high=*/true);
}

void MonitorChip::WriteVoltLimit(int item, int scaleValue, bool high) {
  const VoltRegs& r = kVolt[static_cast<std::size_t>(item)];
  // The negated rails keep their more negative limit (the larger count) in the high register.
  const bool crosswise = traits().negativeRails == NegativeRails::Negated && IsNegativeRail(item);
  const Reg where = high != crosswise ? r.high : r.low;
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(where.bank);
  access_.WriteChipReg(where.index, Byte(crosswise ? -scaleValue : scaleValue));
}

namespace {
void WriteTempCount(ChipAccess& access, const TempRegs& r, uint8_t whole, uint8_t half, int count) {
  if (!r.halfDegrees) {
    access.WriteChipReg(whole, static_cast<uint8_t>(count & 0xFF));
    return;
  }
  // Bits 8-1 of the nine-bit count, two's complement, and the half degree as bit 7.
  const int nine = std::clamp(count, -256, 255);
  access.WriteChipReg(whole, static_cast<uint8_t>((nine & 0x1FE) >> 1));
  access.WriteChipReg(half, (nine & 1) != 0 ? kTempHalfDegree : 0x00);
}
}  // namespace

void MonitorChip::WriteTempLimits(int sensor, int limitCount, int hystCount) {
  const TempRegs& r = kTemp[static_cast<std::size_t>(sensor)];
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(r.bank);
  WriteTempCount(access_, r, r.limit, r.limitHalf, limitCount);
  WriteTempCount(access_, r, r.hyst, r.hystHalf, hystCount);
}

void MonitorChip::WriteTempHyst(int sensor, int hystCount) {
  const TempRegs& r = kTemp[static_cast<std::size_t>(sensor)];
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(r.bank);
  WriteTempCount(access_, r, r.hyst, r.hystHalf, hystCount);
}

void MonitorChip::SelectFanDivisors() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  access_.UpdateChipReg(kVidFanDivisor, 0xFF, kFan12DivisorBits);
  access_.UpdateChipReg(kFan3Divisor, 0xFF, kFan3DivisorBits);
}

void MonitorChip::WriteFanLimit(int fan, int16_t count) {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  access_.WriteChipReg(kFanLimit[static_cast<std::size_t>(fan)], static_cast<uint8_t>(count));
}

void MonitorChip::AcceptStoppedFan(int fan) {
  WriteFanLimit(fan, kFanCountStopped);
}

// ---- Beeps ----

void MonitorChip::ApplyBeepSettings(const ItemFlagBytes& enabled, const ItemFlagBytes& beep) {
  uint8_t beep1 = 0;
  uint8_t beep2 = kBeepGlobal;
  uint8_t extra = 0;
  ChipAccess::Transaction tx(access_);
  if (traits().extraBeepBits) {
    access_.SelectBank(kBankExtraBeep);
    extra = access_.ReadChipReg(kExtraBeep);
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
  access_.SelectBank(0);
  access_.WriteChipReg(kBeep1, beep1);
  access_.WriteChipReg(kBeep2, beep2);
  if (traits().extraBeepBits) {
    access_.SelectBank(kBankExtraBeep);
    access_.WriteChipReg(kExtraBeep, extra);
  }
}

void MonitorChip::SetItemBeep(int item, bool on) {
  const BitReg& bit = kBeepBit[static_cast<std::size_t>(item)];
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(bit.bank);
  access_.UpdateChipReg(bit.index, static_cast<uint8_t>(~bit.mask), on ? bit.mask : 0);
}

void MonitorChip::SilenceFanBeeps() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  // Register by register, as the fans' bits lie in both beep registers of bank 0.
  for (uint8_t beepReg : {kBeep1, kBeep2}) {
    uint8_t fanBits = 0;
    for (std::size_t item = items::kFirstFanItem; item < items::kFirstFanItem + items::kFanCount;
         ++item)
      if (kBeepBit[item].index == beepReg) fanBits |= kBeepBit[item].mask;
    access_.UpdateChipReg(beepReg, static_cast<uint8_t>(~fanBits), 0);
  }
}

void MonitorChip::SilenceBeeper() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  access_.UpdateChipReg(kBeep2, static_cast<uint8_t>(~kBeepGlobal), 0);
}

// ---- Monitoring ----

void MonitorChip::StartMonitoring() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  access_.UpdateChipReg(kConfig, 0xFF, kConfigStart);
  if (traits().mirrorsStartBit) access_.UpdateChipReg(kControl2, 0xFF, kControl2StartMirror);
}

bool MonitorChip::MonitoringRuns() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  return (access_.ReadChipReg(kConfig) & kConfigStart) != 0;
}

void MonitorChip::StopMonitoring(const std::function<void()>& letPendingEventsRun) {
  {
    ChipAccess::Transaction tx(access_);
    access_.SelectBank(0);
    access_.UpdateChipReg(kConfig, static_cast<uint8_t>(~kConfigStart), 0);
    if (traits().mirrorsStartBit)
      access_.UpdateChipReg(kControl2, static_cast<uint8_t>(~kControl2StartMirror), 0);
  }
  if (letPendingEventsRun) letPendingEventsRun();
}

void MonitorChip::PrepareAtStart() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  access_.UpdateChipReg(kFanControl, 0xFF, kFanControlStartup);
  access_.UpdateChipReg(kControl2, static_cast<uint8_t>(~kControl2Bit3), 0x00);
}

// ---- Fans ----

void MonitorChip::Set_Fan_Status() {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  if (traits().fan3Routed) access_.SetBitsIfClear(kFanSetup, kFanSetupBit);
  access_.SetBitsIfClear(kFanControl, FanOutputLowBit(1));
  access_.SetBitsIfClear(kFanControl, FanOutputLowBit(2));
  if (!traits().fan3Routed) {
    access_.SetBitsIfClear(kFanControl, FanOutputLowBit(3));
  } else {
    // The third fan is routed through its own register here; its control bits must be off.
    const uint8_t control = access_.ReadChipReg(kFanControl);
    if (control & FanOutputLowBit(3))
      access_.WriteChipReg(kFanControl, static_cast<uint8_t>(control & ~FanOutputBits(3)));
    access_.SetBitsIfClear(kFan3Route, kFan3RouteBit);
  }
}

void MonitorChip::SetFanOutput(int16_t fan, int16_t first, int16_t second) {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  if (fan < 1 || fan > 3) return;
  const uint8_t lower = FanOutputLowBit(fan);
  const std::array<std::pair<uint8_t, int16_t>, 2> bits{{{lower, first}, {lower << 1, second}}};
  for (const auto& [mask, flag] : bits) {
    const uint8_t value = access_.ReadChipReg(kFanControl);
    const bool set = (value & mask) != 0;
    fanControl_ = value;
    if (flag == 1 && !set) fanControl_ = value | mask;
    if (flag != 1 && set) fanControl_ = value & ~mask;
    if (fanControl_ != value) access_.WriteChipReg(kFanControl, fanControl_);
  }
}

FanSwitch MonitorChip::WriteFanPwm(int16_t selector, int16_t value) {
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  if (selector < 1 || selector > 4) return FanSwitch::NotDriven;
  const uint8_t reg = traits().dutyRegister[static_cast<std::size_t>(selector)];
  if (reg == 0) return FanSwitch::NotDriven;
  access_.WriteChipReg(reg, static_cast<uint8_t>(value));
  return HeardBy(access_);
}

FanSwitch MonitorChip::SetFanDuty(const ItemFlagBytes& enabled, int16_t fan, int16_t value) {
  if (fan < 1 || fan > 3 || enabled[static_cast<std::size_t>(items::FanNumberItem(fan))] != 1)
    return FanSwitch::NotDriven;
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  return WriteFanPwm(traits().fanPwmSelect[static_cast<std::size_t>(fan)], value);
}

FanSwitch MonitorChip::RunFan3ByOutputs(bool on) {
  SetFanOutput(kOutputsFan, 0, on ? 1 : 0);
  return HeardBy(access_);
}

std::optional<bool> MonitorChip::ReadDutyStopped(int16_t fan) {
  const int16_t selector = traits().fanPwmSelect[static_cast<std::size_t>(fan)];
  const uint8_t reg = selector > 0 ? traits().dutyRegister[static_cast<std::size_t>(selector)] : 0;
  if (reg == 0) return std::nullopt;
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  return access_.ReadChipReg(reg) == 0;
}

bool MonitorChip::ReadOutputsStopped() {
  const uint8_t bits = FanOutputLowBit(kOutputsFan) * 3;
  ChipAccess::Transaction tx(access_);
  access_.SelectBank(0);
  return (access_.ReadChipReg(kFanControl) & bits) == 0;
}

FanRestoreWrites MonitorChip::RestoreWrites(const FansToRun& fans) const {
  // The same writes WriteFanPwm and RunFan3ByOutputs(true) make, without the reads: bank 0
  // (the vendor-half bit only matters to the identifier's reads), then each stopped fan.
  FanRestoreWrites list;
  const uint16_t index = access_.MonitorPort;
  const auto write = [&](uint8_t reg, uint8_t value) {
    list.Add(index, reg);
    list.Add(static_cast<uint16_t>(index + 1), value);
  };
  write(kBankSelect, 0);
  for (int16_t fan = 1; fan <= 3; ++fan) {
    if (!fans.duty[static_cast<std::size_t>(fan)]) continue;
    const int16_t selector = traits().fanPwmSelect[static_cast<std::size_t>(fan)];
    write(traits().dutyRegister[static_cast<std::size_t>(selector)], kFullDuty);
  }
  if (fans.outputs) {
    const uint8_t low = FanOutputLowBit(kOutputsFan);
    write(kFanControl, static_cast<uint8_t>((fanControl_ & ~low) | (low << 1)));
  }
  return list;
}

// ---- The Super-I/O device ----

void MonitorChip::RestoreMonitorDevice(uint8_t activationFound) {
  if (access_.SuperIoPort == 0 || activationFound != 0) return;
  const ChipAccess::Transaction sequence(access_);
  access_.EnterSuperIoConfiguration();
  access_.WriteSuperIoReg(kSioActivation, 0);
}

}  // namespace vigilon::chip
