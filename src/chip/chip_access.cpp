// Register access over the port-I/O driver interface.
#include "chip/chip_access.h"

#include "chip/chip_registers.h"

namespace vigilon::chip {

using namespace reg;

void ChipAccess::Enter() {
  if (depth_++ > 0 || lock_ == nullptr) return;
  held_ = lock_->Acquire(waitSpent_ ? 0 : kBusLockWaitMs);
  if (!held_ && !waitSpent_) {
    ++busLockTimeouts_;
    waitSpent_ = true;
  }
}

void ChipAccess::Leave() {
  if (--depth_ > 0) return;
  if (held_) lock_->Release();
  held_ = false;
}

void ChipAccess::WriteEntryKey(uint16_t port) {
  io_.OutPortB(port, kSioEntryKey);
  io_.OutPortB(port, kSioEntryKey);
}

void ChipAccess::EnterSuperIoConfiguration() {
  WriteEntryKey(SuperIoPort);
}

bool ChipAccess::ProbeSuperIoPort(uint16_t port) {
  const Transaction tx(*this);  // the entry key too: another program must not split the sequence
  WriteEntryKey(port);
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
  const Transaction tx(*this);
  SelectLogicalDevice();
  io_.OutPortB(SuperIoPort, reg);
  return io_.InPortB(SuperIoPort + 1);
}

void ChipAccess::WriteSuperIoReg(uint8_t reg, uint8_t value) {
  const Transaction tx(*this);
  SelectLogicalDevice();
  io_.OutPortB(SuperIoPort, reg);
  io_.OutPortB(SuperIoPort + 1, value);
}

uint8_t ChipAccess::ReadChipReg(uint8_t reg) {
  const Transaction tx(*this);
  io_.OutPortB(MonitorPort, reg);
  return io_.InPortB(MonitorPort + 1);
}

void ChipAccess::WriteChipReg(uint8_t reg, uint8_t value) {
  const Transaction tx(*this);
  io_.OutPortB(MonitorPort, reg);
  io_.OutPortB(MonitorPort + 1, value);
}

void ChipAccess::SelectBank(uint8_t bank) {
  const Transaction tx(*this);
  const uint8_t current = ReadChipReg(kBankSelect);
  // The program never sets the bank register's unused bits, and no chip of the family does:
  // seeing them set is seeing a bus where nothing answers.
  bankRegisterSane_ = (current & kBankSelectUnused) == 0;
  // Bits 0-6 are always replaced; only the vendor-half bit survives.
  WriteChipReg(kBankSelect, static_cast<uint8_t>((current & kBankSelectVendorHigh) |
                                                 (bank & kBankSelectBank)));
}

uint32_t ChipAccess::ReadVendorId() {
  const Transaction tx(*this);
  SelectBank(0);
  WriteChipReg(kBankSelect, ReadChipReg(kBankSelect) | kBankSelectVendorHigh);
  const uint32_t high = ReadChipReg(kVendorId);
  WriteChipReg(kBankSelect, static_cast<uint8_t>(ReadChipReg(kBankSelect) & ~kBankSelectVendorHigh));
  const uint32_t low = ReadChipReg(kVendorId);
  return high * 256 + low;
}

void ChipAccess::UpdateChipReg(uint8_t reg, uint8_t andMask, uint8_t orMask) {
  const Transaction tx(*this);
  WriteChipReg(reg, static_cast<uint8_t>((ReadChipReg(reg) & andMask) | orMask));
}

void ChipAccess::SetBitsIfClear(uint8_t reg, uint8_t bits) {
  const Transaction tx(*this);
  const uint8_t value = ReadChipReg(reg);
  if ((value & bits) != bits) WriteChipReg(reg, value | bits);
}

}  // namespace vigilon::chip
