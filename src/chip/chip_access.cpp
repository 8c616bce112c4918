// Register access over the port-I/O driver interface.
#include "chip/chip_access.h"

namespace vigilon::chip {

using namespace reg;

ChipAccess::Pair::Pair(ChipAccess& chip) : chip_(chip) {
  if (chip_.lock_ == nullptr) return;
  held_ = chip_.lock_->Acquire(kBusLockWaitMs);
  if (!held_) ++chip_.busLockTimeouts_;
}

ChipAccess::Pair::~Pair() {
  if (held_) chip_.lock_->Release();
}

bool ChipAccess::ProbeSuperIoPort(uint16_t port) {
  const Pair pair(*this);  // the entry key too: another program must not split the sequence
  io_.OutPortB(port, kSioEntryKey);
  io_.OutPortB(port, kSioEntryKey);
  io_.OutPortB(port, kSioDeviceId);
  if (io_.InPortB(port + 1) != kSioExpectedId) return false;
  io_.OutPortB(port, kSioRevision);
  return (io_.InPortB(port + 1) & kSioRevisionRequired) != 0;
}

void ChipAccess::SelectLogicalDevice() {
  io_.OutPortB(SuperIoPort, kSioLogicalDevice);
  io_.OutPortB(SuperIoPort + 1, kSioMonitorDevice);
}

uint8_t ChipAccess::ReadSuperIoReg(uint8_t reg) {
  const Pair pair(*this);
  SelectLogicalDevice();
  io_.OutPortB(SuperIoPort, reg);
  return io_.InPortB(SuperIoPort + 1);
}

void ChipAccess::WriteSuperIoReg(uint8_t reg, uint8_t value) {
  const Pair pair(*this);
  SelectLogicalDevice();
  io_.OutPortB(SuperIoPort, reg);
  io_.OutPortB(SuperIoPort + 1, value);
}

uint8_t ChipAccess::ReadChipReg(uint8_t reg) {
  const Pair pair(*this);
  io_.OutPortB(MonitorPort, reg);
  return io_.InPortB(MonitorPort + 1);
}

void ChipAccess::WriteChipReg(uint8_t reg, uint8_t value) {
  const Pair pair(*this);
  io_.OutPortB(MonitorPort, reg);
  io_.OutPortB(MonitorPort + 1, value);
}

void ChipAccess::SelectBank(uint8_t bank) {
  // Bits 0-6 are always replaced; only the vendor-half bit survives.
  const uint8_t keep = ReadChipReg(kBankSelect) & kBankSelectVendorHigh;
  WriteChipReg(kBankSelect, keep | (bank & 0x07));
}

uint32_t ChipAccess::ReadVendorId() {
  SelectBank(0);
  WriteChipReg(kBankSelect, ReadChipReg(kBankSelect) | kBankSelectVendorHigh);
  const uint32_t high = ReadChipReg(kVendorId);
  WriteChipReg(kBankSelect, ReadChipReg(kBankSelect) & 0x7F);
  const uint32_t low = ReadChipReg(kVendorId);
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
