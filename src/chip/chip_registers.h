// The chip's registers, named once: the Super-I/O configuration registers, and the monitor's
// banked registers with their per-item tables. Only the chip layer speaks registers (and the
// simulator's and the tests' own code that looks at them); everything above asks MonitorChip.
#pragma once

#ifndef VIGILON_SPEAKS_REGISTERS
#error "Registers are the chip layer's own: reach the chip through chip/monitor_chip.h"
#endif

#include <array>
#include <cstdint>

namespace vigilon::chip::reg {

// ---- Super-I/O configuration space (logical device 0x0B is the hardware monitor) ----
inline constexpr uint8_t kSioEntryKey = 0x87;
inline constexpr uint8_t kSioLogicalDevice = 0x07;
inline constexpr uint8_t kSioDeviceId = 0x20;
inline constexpr uint8_t kSioRevision = 0x21;
inline constexpr uint8_t kSioRevisionRequired = 0x10;  // bit 4 of the revision
inline constexpr uint8_t kSioActivation = 0x30;
inline constexpr uint8_t kSioBaseHigh = 0x60;
inline constexpr uint8_t kSioBaseLow = 0x61;
inline constexpr uint8_t kSioMonitorDevice = 0x0B;
inline constexpr uint8_t kSioExpectedId = 0x52;

// ---- Monitor, bank 0 unless a table says otherwise ----
inline constexpr uint8_t kConfig = 0x40;  // bit 0: monitoring runs
inline constexpr uint8_t kConfigStart = 0x01;
inline constexpr uint8_t kStatus1 = 0x41;  // interrupt status, same layout as kBeep1
inline constexpr uint8_t kStatus2 = 0x42;  // interrupt status, same layout as kBeep2
inline constexpr uint8_t kStatus2Chassis = 0x10;
inline constexpr uint8_t kChassisClear = 0x46;  // bit 7 asks the chip to clear its case latch
inline constexpr uint8_t kChassisClearRequest = 0x80;
inline constexpr uint8_t kVidFanDivisor = 0x47;  // bits 0-3 VID 0-3; bits 4-7 fans 1, 2 divisor
inline constexpr uint8_t kVidLowMask = 0x0F;
inline constexpr uint8_t kFan12DivisorBits = 0xF0;
inline constexpr uint8_t kVid4 = 0x49;  // bit 0 VID 4
inline constexpr uint8_t kVid4Bit = 0x01;
inline constexpr uint8_t kFan3Divisor = 0x4B;  // bits 6-7
inline constexpr uint8_t kFan3DivisorBits = 0xC0;
inline constexpr uint8_t kFanSetup = 0x4C;  // bit 7 set before the fan set-up on some models
inline constexpr uint8_t kFanSetupBit = 0x80;
inline constexpr uint8_t kFanControl = 0x4D;  // two bits per fan; bit 7 set at start
inline constexpr uint8_t kFanControlStartup = 0x80;
inline constexpr uint8_t kBankSelect = 0x4E;  // unbanked; bit 7 picks the vendor id byte
inline constexpr uint8_t kBankSelectVendorHigh = 0x80;
inline constexpr uint8_t kBankSelectBank = 0x07;    // bits 0-2: the bank
inline constexpr uint8_t kBankSelectUnused = 0x78;  // bits 3-6: never set
inline constexpr uint8_t kVendorId = 0x4F;
inline constexpr uint8_t kBeep1 = 0x56;
inline constexpr uint8_t kBeep2 = 0x57;
inline constexpr uint8_t kBeepGlobal = 0x80;  // kBeep2 bit 7: the beeper itself
inline constexpr uint8_t kChipId = 0x58;
inline constexpr uint8_t kFan3Route = 0x5C;  // bit 3 routes fan 3 where the model needs it
inline constexpr uint8_t kFan3RouteBit = 0x08;
inline constexpr uint8_t kControl2 = 0x5D;  // bit 0 mirrors the start bit; bit 3 cleared at start
inline constexpr uint8_t kControl2StartMirror = 0x01;
inline constexpr uint8_t kControl2Bit3 = 0x08;
inline constexpr uint8_t kBankExtraBeep = 4;
inline constexpr uint8_t kExtraBeep = 0x53;  // bank 4: beeps of items 7, 8 (bits 0, 1)

// The monitor's index port lies this far into the eight ports at its base address; the data
// port follows it.
inline constexpr uint16_t kMonitorIndexOffset = 5;

// The vendor identifier every chip of the family answers.
inline constexpr uint16_t kVendorIdNorvane = 0x5CA3;

struct Reg {
  uint8_t bank;
  uint8_t index;
};

// Voltage items 0-8: reading, high limit and low limit.
struct VoltRegs {
  Reg reading;
  Reg high;
  Reg low;
};
inline constexpr std::array<VoltRegs, 9> kVolt{{
    {{0, 0x20}, {0, 0x2B}, {0, 0x2C}},
    {{0, 0x21}, {0, 0x2D}, {0, 0x2E}},
    {{0, 0x22}, {0, 0x2F}, {0, 0x30}},
    {{0, 0x23}, {0, 0x31}, {0, 0x32}},
    {{0, 0x24}, {0, 0x33}, {0, 0x34}},
    {{0, 0x25}, {0, 0x35}, {0, 0x36}},
    {{0, 0x26}, {0, 0x37}, {0, 0x38}},
    {{5, 0x50}, {5, 0x54}, {5, 0x55}},
    {{5, 0x51}, {5, 0x56}, {5, 0x57}},
}};

// Fans 0-2 (items 9-11), bank 0: count reading and count limit.
inline constexpr std::array<uint8_t, 3> kFanCount{0x28, 0x29, 0x2A};
inline constexpr std::array<uint8_t, 3> kFanLimit{0x3B, 0x3C, 0x3D};

// Temperatures 0-2 (items 12-14), sensor t in bank t. Sensor 0 holds signed whole degrees in one
// register; sensors 1 and 2 hold nine bits of half degrees: the upper eight in the first
// register, the lowest as bit 7 (0x80) of the second.
struct TempRegs {
  uint8_t bank;
  bool halfDegrees;
  uint8_t reading, readingHalf;
  uint8_t limit, limitHalf;
  uint8_t hyst, hystHalf;
};
inline constexpr std::array<TempRegs, 3> kTemp{{
    {0, false, 0x27, 0, 0x39, 0, 0x3A, 0},
    {1, true, 0x50, 0x51, 0x55, 0x56, 0x53, 0x54},
    {2, true, 0x50, 0x51, 0x55, 0x56, 0x53, 0x54},
}};
inline constexpr uint8_t kTempHalfDegree = 0x80;  // in the second register of a nine-bit value

// Beep enable per item 0-15. The interrupt status registers use the bank 0 layout (kStatus1
// like kBeep1, kStatus2 like kBeep2), so the chassis is kStatus2 bit 4.
struct BitReg {
  uint8_t bank;
  uint8_t index;
  uint8_t mask;
};
inline constexpr std::array<BitReg, 16> kBeepBit{{
    {0, kBeep1, 0x01},
    {0, kBeep1, 0x02},
    {0, kBeep1, 0x04},
    {0, kBeep1, 0x08},
    {0, kBeep2, 0x01},
    {0, kBeep2, 0x02},
    {0, kBeep2, 0x04},
    {kBankExtraBeep, kExtraBeep, 0x01},
    {kBankExtraBeep, kExtraBeep, 0x02},
    {0, kBeep1, 0x40},
    {0, kBeep1, 0x80},
    {0, kBeep2, 0x08},
    {0, kBeep1, 0x10},
    {0, kBeep1, 0x20},
    {0, kBeep2, 0x20},
    {0, kBeep2, 0x10},
}};

// Fan f's (1-3) two output control bits in kFanControl.
constexpr uint8_t FanOutputLowBit(int fan) {
  return static_cast<uint8_t>(1u << (2 * (fan - 1)));
}
constexpr uint8_t FanOutputBits(int fan) {
  return static_cast<uint8_t>(FanOutputLowBit(fan) * 3u);
}

}  // namespace vigilon::chip::reg
