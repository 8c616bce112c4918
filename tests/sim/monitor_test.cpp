// The monitor's register file: the two ways to reach it, bank select and vendor halves, chip
// identification, read-only registers, refused ports and the driver-level results.
#include <gtest/gtest.h>

#include "sim/chip_sim.h"
#include "tests/sim/port_bus.h"

namespace sim {
namespace {

using test::DefaultChip;
using test::PortBus;

Config WithoutSuperIo() {
  Config config;
  config.model = Model::ZR410;
  config.superIoPort = 0;
  return config;
}

TEST(MonitorPorts, ZeroAndOneReachTheChipOnlyAfterInitialBus) {
  ChipSim chip(WithoutSuperIo());
  PortBus bus(chip, 0);
  EXPECT_EQ(bus.ReadRaw(0x58), 0xFF);
  EXPECT_NE(chip.InitialBus(1, 0x5A, 0x92, 0x91), 0);
  EXPECT_NE(chip.InitialBus(0, 0x5A, 0x92, 0x90), 0);
  EXPECT_EQ(bus.ReadRaw(0x58), 0xFF) << "wrong bus arguments must not open the ports";
  EXPECT_FALSE(chip.BusReady());
  EXPECT_EQ(chip.InitialBus(1, 0x5A, 0x92, 0x90), 0);
  EXPECT_EQ(bus.VendorId(), 0x5CA3);
  EXPECT_EQ(bus.Read(0, 0x58), 0x10);
  for (const PortAccess& access : chip.Log()) EXPECT_FALSE(access.refused) << access.port;
}

TEST(MonitorPorts, BusFaultKeepsZeroAndOneClosed) {
  Config config = WithoutSuperIo();
  config.busInitFails = true;
  ChipSim chip(config);
  EXPECT_NE(chip.InitialBus(1, 0x5A, 0x92, 0x90), 0);
  PortBus bus(chip, 0);
  EXPECT_EQ(bus.ReadRaw(0x58), 0xFF);
}

TEST(MonitorPorts, ZeroAndOneStayDeadBesideASuperIoDevice) {
  ChipSim chip;
  ASSERT_EQ(chip.InitialBus(1, 0x5A, 0x92, 0x90), 0);
  PortBus bus(chip, 0);
  EXPECT_EQ(bus.ReadRaw(0x58), 0xFF);
  EXPECT_FALSE(chip.Log().back().refused);
}

TEST(MonitorPorts, NoChipLeavesEveryMonitorPortFF) {
  Config config;
  config.noChip = true;
  DefaultChip c(config);
  EXPECT_EQ(PortBus::ReadConfig(c.chip, 0x2E, 0x20), 0x52) << "the Super-I/O device still answers";
  EXPECT_EQ(c.bus.VendorId(), 0xFFFF);
  EXPECT_EQ(c.bus.ReadRaw(0x4E), 0xFF);
}

TEST(MonitorRegisters, BankSelectIsUnbankedAndKeepsTheVendorHalfBit) {
  DefaultChip c;
  c.bus.WriteRaw(0x4E, 0x85);
  EXPECT_EQ(c.chip.SelectedBank(), 5);
  EXPECT_EQ(c.bus.ReadRaw(0x4E), 0x85) << "0x4E reads the same from bank 5";
  c.bus.SelectBank(0);
  EXPECT_EQ(c.bus.ReadRaw(0x4E), 0x80);
  c.bus.WriteRaw(0x4E, 0x07);
  c.bus.SelectBank(5);
  EXPECT_EQ(c.bus.ReadRaw(0x4E), 0x05);
}

TEST(MonitorRegisters, RegistersAreKeyedByBankAndIndex) {
  DefaultChip c;
  c.bus.Write(1, 0x53, 0x11);
  c.bus.Write(2, 0x53, 0x22);
  c.bus.Write(4, 0x53, 0x03);
  c.bus.Write(0, 0x53, 0x44);
  EXPECT_EQ(c.bus.Read(1, 0x53), 0x11);
  EXPECT_EQ(c.bus.Read(2, 0x53), 0x22);
  EXPECT_EQ(c.bus.Read(4, 0x53), 0x03);
  EXPECT_EQ(c.bus.Read(0, 0x53), 0x44);
  EXPECT_EQ(c.chip.Reg(2, 0x53), 0x22);
}

TEST(MonitorRegisters, VendorIdHalvesFollowBankSelectBit7) {
  struct Case {
    std::optional<uint16_t> vendor;
    uint8_t high;
    uint8_t low;
  };
  for (const Case& v : {Case{std::nullopt, 0x5C, 0xA3}, Case{uint16_t{0xA35C}, 0xA3, 0x5C},
                        Case{uint16_t{0x1234}, 0x12, 0x34}}) {
    Config config;
    config.vendorId = v.vendor;
    DefaultChip c(config);
    c.bus.WriteRaw(0x4E, 0x80);
    EXPECT_EQ(c.bus.ReadRaw(0x4F), v.high);
    c.bus.WriteRaw(0x4E, 0x00);
    EXPECT_EQ(c.bus.ReadRaw(0x4F), v.low);
    c.bus.WriteRaw(0x4F, 0x00);  // read-only
    EXPECT_EQ(c.bus.ReadRaw(0x4F), v.low);
  }
  // Outside bank 0, 0x4F is an ordinary register.
  DefaultChip c;
  c.bus.Write(1, 0x4F, 0x66);
  EXPECT_EQ(c.bus.Read(1, 0x4F), 0x66);
}

TEST(MonitorRegisters, ChipIdPerModel) {
  struct Case {
    Model model;
    std::optional<uint8_t> override;
    uint8_t expected;
  };
  for (const Case& m :
       {Case{Model::ZR410, {}, 0x10}, Case{Model::ZR420, {}, 0x30}, Case{Model::ZR430, {}, 0x40},
        Case{Model::ZR460, {}, 0x21}, Case{Model::ZR410, uint8_t{0x11}, 0x11},
        Case{Model::ZR420, uint8_t{0x77}, 0x77}}) {
    Config config;
    config.model = m.model;
    config.chipId = m.override;
    DefaultChip c(config);
    EXPECT_EQ(c.bus.Read(0, 0x58), m.expected) << ModelName(m.model);
    c.bus.WriteRaw(0x58, 0x00);
    EXPECT_EQ(c.bus.ReadRaw(0x58), m.expected) << "the identifier is read-only";
    EXPECT_EQ(c.bus.Read(3, 0x58), 0x00) << "other banks have a plain 0x58";
  }
}

TEST(MonitorRegisters, ModelNamesRoundTrip) {
  for (Model m : {Model::ZR410, Model::ZR420, Model::ZR430, Model::ZR460})
    EXPECT_EQ(ModelFromName(ModelName(m)), m);
  EXPECT_EQ(ModelFromName("zr460"), Model::ZR460);
  EXPECT_FALSE(ModelFromName("ZR470").has_value());
  EXPECT_FALSE(ModelFromName("").has_value());
}

TEST(MonitorRegisters, ReadingsStatusAndIdentificationIgnoreWrites) {
  DefaultChip c;
  struct Case {
    int bank;
    uint8_t reg;
  };
  for (const Case r : {Case{0, 0x20}, Case{0, 0x27}, Case{0, 0x2A}, Case{0, 0x41}, Case{0, 0x42},
                       Case{1, 0x50}, Case{2, 0x51}, Case{5, 0x50}}) {
    const uint8_t before = c.bus.Read(r.bank, r.reg);
    c.bus.WriteRaw(r.reg, static_cast<uint8_t>(~before));
    EXPECT_EQ(c.bus.ReadRaw(r.reg), before) << r.bank << "/" << int(r.reg);
  }
  // Limits next to them are plain registers.
  c.bus.Write(0, 0x2B, 0x9A);
  EXPECT_EQ(c.bus.Read(0, 0x2B), 0x9A);
}

TEST(MonitorRegisters, ReconfigureKeepsRegisterContents) {
  DefaultChip c;
  c.bus.Write(0, 0x2B, 0x9A);
  c.bus.Write(5, 0x54, 0x7B);
  Config changed = c.chip.config();
  changed.sensors.volts[0] = 1.6;  // 100 counts
  c.chip.Reconfigure(changed);
  EXPECT_EQ(c.bus.Read(0, 0x2B), 0x9A);
  EXPECT_EQ(c.bus.Read(5, 0x54), 0x7B);
  EXPECT_EQ(c.chip.SelectedBank(), 5);
  EXPECT_EQ(c.bus.Read(0, 0x20), 100);
}

TEST(MonitorRegisters, CopyIsIndependent) {
  DefaultChip c;
  c.bus.Write(0, 0x2B, 0x9A);
  ChipSim copy = c.chip;
  c.bus.Write(0, 0x2B, 0x11);
  EXPECT_EQ(copy.Reg(0, 0x2B), 0x9A);
  EXPECT_EQ(c.chip.Reg(0, 0x2B), 0x11);
}

TEST(PortEntitlement, PortsOutsideTheProgramsAreRefusedAndLogged) {
  DefaultChip c;
  const uint8_t limitBefore = c.bus.Read(0, 0x2B);
  for (uint16_t port : {0x002, 0x02D, 0x030, 0x080, 0x290, 0x294, 0x297, 0x3F8, 0xFFFF}) {
    c.chip.ClearLog();
    EXPECT_EQ(c.chip.In(port), 0xFF) << port;
    c.chip.Out(port, 0x2B);
    c.chip.Out(port, 0x00);
    ASSERT_EQ(c.chip.Log().size(), 3u);
    for (const PortAccess& access : c.chip.Log()) {
      EXPECT_TRUE(access.refused) << port;
      EXPECT_EQ(access.port, port);
    }
  }
  EXPECT_EQ(c.bus.Read(0, 0x2B), limitBefore);
}

TEST(PortEntitlement, TheProgramsPortsAreThoseOfTheConfiguredBase) {
  struct Case {
    uint16_t superIo;
    uint16_t base;
    std::vector<uint16_t> allowed;
    std::vector<uint16_t> refused;
  };
  const Case cases[] = {
      {0x2E, 0x290, {0, 1, 0x2E, 0x2F, 0x4E, 0x4F, 0x295, 0x296}, {0x298}},
      {0, 0x290, {0, 1, 0x2E, 0x2F, 0x4E, 0x4F}, {0x295, 0x296}},
      {0x2E, 0x100, {0x105, 0x106}, {}},
      // A base below 0x100 is no monitor's: its pair is not granted, and a configuration port
      // inside it stays only the configuration port.
      {0x2E, 0x0000, {0, 1}, {5, 6}},
      {0x2E, 0x0060, {0x2E, 0x2F}, {0x65, 0x66}},
      {0x4E, 0x0028, {0x2E}, {0x2D}},
      {0x2E, 0x00FF, {}, {0xFD, 0xFE}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "superio " << k.superIo << ", base " << k.base);
    Config config;
    config.superIoPort = k.superIo;
    config.monitorBase = k.base;
    ChipSim chip(config);
    for (uint16_t port : k.allowed) {
      chip.ClearLog();
      chip.In(port);
      EXPECT_FALSE(chip.Log().at(0).refused) << port;
    }
    for (uint16_t port : k.refused) {
      chip.ClearLog();
      chip.In(port);
      EXPECT_TRUE(chip.Log().at(0).refused) << port;
    }
  }
}

TEST(DriverResults, FaultSwitches) {
  Config healthy;
  ChipSim ok(healthy);
  EXPECT_EQ(ok.Load(), 0);
  EXPECT_NE(ok.EnablePri(), 0);

  Config faulty;
  faulty.loadFails = true;
  faulty.shutdownRefused = true;
  ChipSim bad(faulty);
  EXPECT_NE(bad.Load(), 0);
  EXPECT_EQ(bad.EnablePri(), 0);
}

}  // namespace
}  // namespace sim
