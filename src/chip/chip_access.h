// Register access to the Super-I/O configuration space and to the monitor's banked register
// file, over the port-I/O driver interface, with the bus shared with other programs. The chip
// layer's own: everything above it reaches the chip through MonitorChip.
#pragma once

#include <cstdint>

#include "chip/bus_lock.h"
#include "chip/port_io.h"

namespace vigilon::chip {

class ChipAccess {
 public:
  explicit ChipAccess(PortIo& io) : io_(io) {}
  ChipAccess(const ChipAccess&) = delete;
  ChipAccess& operator=(const ChipAccess&) = delete;

  PortIo& io() { return io_; }
  // Shares the bus with other programs from now on (none: the program has it to itself).
  void ShareBus(BusLock* lock) { lock_ = lock; }
  // Waits for the lock that ran out (or a lock that could not be had at all), counted once per
  // moment of the program.
  uint32_t busLockTimeouts() const { return busLockTimeouts_; }
  // A new moment (a monitoring cycle, a start): the lock may be waited for once again. After a
  // wait has run out, the rest of the moment takes the lock only where it is free at once and
  // goes on without it otherwise: a program that keeps the lock must not freeze the window, nor
  // stop the monitoring that protects the machine.
  void AllowOneWait() { waitSpent_ = false; }
  // False once a bank select read what no chip of the family leaves in the bank register.
  bool bankRegisterSane() const { return bankRegisterSane_; }

  uint16_t SuperIoPort = 0;  // 0x2E, 0x4E, or 0 when no Super-I/O device answered
  uint16_t MonitorPort = 0;  // index port; the data port is one above

  // Holds the shared bus for a sequence whose accesses rely on each other: a bank select and
  // every access in that bank, a read-modify-write, a configuration-space sequence. Nests; an
  // access outside any transaction is one of its own. Never spans a wait for the user.
  class Transaction {
   public:
    explicit Transaction(ChipAccess& access) : access_(access) { access_.Enter(); }
    ~Transaction() { access_.Leave(); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

   private:
    ChipAccess& access_;
  };

  // Writes the configuration entry key to `port` and checks the device identifier and revision.
  // The exit key is never written by this program.
  bool ProbeSuperIoPort(uint16_t port);
  // Begins a configuration sequence on the device found: the entry key again, since another
  // program's own sequence may have ended with its exit key since ours; a device still in
  // configuration mode takes the key as an index and ignores it. Call it inside the one
  // Transaction that spans the whole sequence.
  void EnterSuperIoConfiguration();
  uint8_t ReadSuperIoReg(uint8_t reg);
  void WriteSuperIoReg(uint8_t reg, uint8_t value);

  uint8_t ReadChipReg(uint8_t reg);
  void WriteChipReg(uint8_t reg, uint8_t value);
  void SelectBank(uint8_t bank);
  uint32_t ReadVendorId();

  // Read-modify-write helpers; `SetBitsIfClear` writes only when a bit is missing.
  void UpdateChipReg(uint8_t reg, uint8_t andMask, uint8_t orMask);
  void SetBitsIfClear(uint8_t reg, uint8_t bits);

 private:
  void Enter();
  void Leave();
  void SelectLogicalDevice();
  void WriteEntryKey(uint16_t port);
  PortIo& io_;
  BusLock* lock_ = nullptr;
  int depth_ = 0;
  bool held_ = false;
  bool waitSpent_ = false;
  bool bankRegisterSane_ = true;
  uint32_t busLockTimeouts_ = 0;
};

}  // namespace vigilon::chip
