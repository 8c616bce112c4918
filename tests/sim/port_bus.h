// Program-style port traffic for the simulator tests: the configuration entry key, logical
// device 0x0B registers and banked monitor registers, all through In/Out and nothing else.
#pragma once

#include <cstdint>

#include "sim/chip_sim.h"

namespace sim::test {

class PortBus {
 public:
  // monitorIndex: the index port the program would compute (0 for the ports handed to the driver).
  PortBus(ChipSim& chip, uint16_t monitorIndex) : chip_(chip), index_(monitorIndex) {}

  static void EnterConfig(ChipSim& chip, uint16_t port) {
    chip.Out(port, 0x87);
    chip.Out(port, 0x87);
  }
  static uint8_t ReadConfig(ChipSim& chip, uint16_t port, uint8_t index) {
    chip.Out(port, index);
    return chip.In(static_cast<uint16_t>(port + 1));
  }
  static uint8_t ReadDevice(ChipSim& chip, uint16_t port, uint8_t index) {
    chip.Out(port, 0x07);
    chip.Out(static_cast<uint16_t>(port + 1), 0x0B);
    return ReadConfig(chip, port, index);
  }
  static void WriteDevice(ChipSim& chip, uint16_t port, uint8_t index, uint8_t value) {
    chip.Out(port, 0x07);
    chip.Out(static_cast<uint16_t>(port + 1), 0x0B);
    chip.Out(port, index);
    chip.Out(static_cast<uint16_t>(port + 1), value);
  }

  uint8_t ReadRaw(uint8_t reg) {
    chip_.Out(index_, reg);
    return chip_.In(static_cast<uint16_t>(index_ + 1));
  }
  void WriteRaw(uint8_t reg, uint8_t value) {
    chip_.Out(index_, reg);
    chip_.Out(static_cast<uint16_t>(index_ + 1), value);
  }
  // Keeps the vendor-half bit and replaces the bank bits, as the program's bank select does.
  void SelectBank(int bank) { WriteRaw(0x4E, static_cast<uint8_t>((ReadRaw(0x4E) & 0x80) | bank)); }
  uint8_t Read(int bank, uint8_t reg) {
    SelectBank(bank);
    return ReadRaw(reg);
  }
  void Write(int bank, uint8_t reg, uint8_t value) {
    SelectBank(bank);
    WriteRaw(reg, value);
  }
  void SetBits(int bank, uint8_t reg, uint8_t bits) {
    SelectBank(bank);
    WriteRaw(reg, static_cast<uint8_t>(ReadRaw(reg) | bits));
  }
  void ClearBits(int bank, uint8_t reg, uint8_t bits) {
    SelectBank(bank);
    WriteRaw(reg, static_cast<uint8_t>(ReadRaw(reg) & ~bits));
  }
  // Fan inputs on, as the program does before it reads fans: bits 0, 2, 4 of 0x4D.
  void EnableFans() { SetBits(0, 0x4D, 0x15); }
  uint16_t VendorId() {
    SelectBank(0);
    WriteRaw(0x4E, static_cast<uint8_t>(ReadRaw(0x4E) | 0x80));
    const uint8_t high = ReadRaw(0x4F);
    WriteRaw(0x4E, static_cast<uint8_t>(ReadRaw(0x4E) & 0x7F));
    return static_cast<uint16_t>(high << 8 | ReadRaw(0x4F));
  }

 private:
  ChipSim& chip_;
  uint16_t index_;
};

// A chip with the default Super-I/O set-up (0x2E, base 0x290), already in configuration mode
// as the program leaves it; the monitor answers at 0x295/0x296.
struct DefaultChip {
  explicit DefaultChip(Config config = {}) : chip(config), bus(chip, 0x295) {
    PortBus::EnterConfig(chip, 0x2E);
  }
  ChipSim chip;
  PortBus bus;
};

}  // namespace sim::test
