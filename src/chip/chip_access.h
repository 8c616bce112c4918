// Register access to the Super-I/O configuration space and to the monitor's banked
// register file, over the port-I/O driver interface.
#pragma once

#include <cstdint>

#include "chip/bus_lock.h"
#include "chip/chip_registers.h"
#include "chip/port_io.h"

namespace vigilon::chip {

// Holds the two port numbers learnt at start; every other layer reaches the chip through it.
class ChipAccess {
 public:
  explicit ChipAccess(PortIo& io) : io_(io) {}

  PortIo& io() { return io_; }
  // Shares the bus with other programs from now on (none: the program has it to itself).
  void ShareBus(BusLock* lock) { lock_ = lock; }
  // Accesses that went ahead without the lock because another program held it too long.
  uint32_t busLockTimeouts() const { return busLockTimeouts_; }

  uint16_t SuperIoPort = 0;  // 0x2E, 0x4E, or 0 when no Super-I/O device answered
  uint16_t MonitorPort = 0;  // index port; the data port is one above

  // Writes the configuration entry key to `port` and checks the device identifier and revision.
  // The exit key is never written: the device stays in configuration mode for the run.
  bool ProbeSuperIoPort(uint16_t port);
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
  // Holds the shared lock for one index/data access pair.
  class Pair {
   public:
    explicit Pair(ChipAccess& chip);
    ~Pair();
    Pair(const Pair&) = delete;
    Pair& operator=(const Pair&) = delete;

   private:
    ChipAccess& chip_;
    bool held_ = false;
  };
  void SelectLogicalDevice();
  PortIo& io_;
  BusLock* lock_ = nullptr;
  uint32_t busLockTimeouts_ = 0;
};

}  // namespace vigilon::chip
