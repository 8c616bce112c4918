// Register access over the port-I/O driver interface.
#include "chip/chip_access.h"

namespace vigilon::chip {

namespace {
constexpr uint8_t kEntryKey = 0x87;
constexpr uint8_t kRegLogicalDevice = 0x07;
constexpr uint8_t kRegDeviceId = 0x20;
constexpr uint8_t kRegRevision = 0x21;
constexpr uint8_t kRevisionRequiredBit = 0x10;
constexpr uint8_t kRegBankSelect = 0x4E;
constexpr uint8_t kRegVendorId = 0x4F;
constexpr uint8_t kVendorHighHalf = 0x80;
}  // namespace

bool ChipAccess::ProbeSuperIoPort(uint16_t port) {
  io_.OutPortB(port, kEntryKey);
  io_.OutPortB(port, kEntryKey);
  io_.OutPortB(port, kRegDeviceId);
  if (io_.InPortB(port + 1) != kSuperIoDeviceId) return false;
  io_.OutPortB(port, kRegRevision);
  return (io_.InPortB(port + 1) & kRevisionRequiredBit) != 0;
}

void ChipAccess::SelectLogicalDevice() {
  io_.OutPortB(SuperIoPort, kRegLogicalDevice);
  io_.OutPortB(SuperIoPort + 1, kMonitorLogicalDevice);
}

uint8_t ChipAccess::ReadSuperIoReg(uint8_t reg) {
  SelectLogicalDevice();
  io_.OutPortB(SuperIoPort, reg);
  return io_.InPortB(SuperIoPort + 1);
}

void ChipAccess::WriteSuperIoReg(uint8_t reg, uint8_t value) {
  SelectLogicalDevice();
  io_.OutPortB(SuperIoPort, reg);
  io_.OutPortB(SuperIoPort + 1, value);
}

uint8_t ChipAccess::ReadChipReg(uint8_t reg) {
  io_.OutPortB(MonitorPort, reg);
  return io_.InPortB(MonitorPort + 1);
}

void ChipAccess::WriteChipReg(uint8_t reg, uint8_t value) {
  io_.OutPortB(MonitorPort, reg);
  io_.OutPortB(MonitorPort + 1, value);
}

void ChipAccess::SelectBank(uint8_t bank) {
  // Bits 0-6 are always replaced; only the vendor-half bit survives.
  const uint8_t keep = ReadChipReg(kRegBankSelect) & kVendorHighHalf;
  WriteChipReg(kRegBankSelect, keep | (bank & 0x07));
}

uint32_t ChipAccess::ReadVendorId() {
  SelectBank(0);
  WriteChipReg(kRegBankSelect, ReadChipReg(kRegBankSelect) | kVendorHighHalf);
  const uint32_t high = ReadChipReg(kRegVendorId);
  WriteChipReg(kRegBankSelect, ReadChipReg(kRegBankSelect) & 0x7F);
  const uint32_t low = ReadChipReg(kRegVendorId);
  return high * 256 + low;
}

void ChipAccess::UpdateChipReg(uint8_t reg, uint8_t andMask, uint8_t orMask) {
  WriteChipReg(reg, static_cast<uint8_t>((ReadChipReg(reg) & andMask) | orMask));
}

void ChipAccess::SetBitsIfClear(uint8_t reg, uint8_t bits) {
  const uint8_t value = ReadChipReg(reg);
  if ((value & bits) != bits) WriteChipReg(reg, value | bits);
}

}  // namespace vigilon::chip
