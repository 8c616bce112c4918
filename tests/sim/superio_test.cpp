// Super-I/O configuration space: entry key, device identification, logical device 0x0B and
// how its activation and base address decide where the monitor answers.
#include <gtest/gtest.h>

#include <vector>

#include "sim/chip_sim.h"
#include "tests/sim/port_bus.h"

namespace sim {
namespace {

using test::PortBus;

TEST(SuperIo, DataPortAnswersOnlyAfterTwoEntryKeys) {
  ChipSim chip;
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x20), 0xFF) << "no key yet";
  chip.Out(0x2E, 0x87);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x20), 0xFF) << "one key is not enough";
  PortBus::EnterConfig(chip, 0x2E);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x20), 0x52);
}

TEST(SuperIo, EntryKeysMustFollowEachOther) {
  ChipSim chip;
  chip.Out(0x2E, 0x87);
  chip.Out(0x2E, 0x20);
  chip.Out(0x2E, 0x87);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x20), 0xFF);
}

TEST(SuperIo, ExitKeyLeavesConfigurationMode) {
  ChipSim chip;
  PortBus::EnterConfig(chip, 0x2E);
  chip.Out(0x2E, 0xAA);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x20), 0xFF);
}

TEST(SuperIo, DeviceAt4EAnswersThereOnly) {
  Config config;
  config.superIoPort = 0x4E;
  ChipSim chip(config);
  PortBus::EnterConfig(chip, 0x2E);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x20), 0xFF);
  chip.ClearLog();
  PortBus::EnterConfig(chip, 0x4E);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x4E, 0x20), 0x52);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x4E, 0x21), 0x12);
  // The key goes to 0x4E itself, and nothing of it is refused.
  const std::vector<PortAccess> expected{
      {PortAccess::Kind::Out, 0x4E, 0x87, false}, {PortAccess::Kind::Out, 0x4E, 0x87, false},
      {PortAccess::Kind::Out, 0x4E, 0x20, false}, {PortAccess::Kind::In, 0x4F, 0x52, false},
      {PortAccess::Kind::Out, 0x4E, 0x21, false}, {PortAccess::Kind::In, 0x4F, 0x12, false}};
  EXPECT_EQ(chip.Log(), expected);
}

TEST(SuperIo, WithoutDeviceBothConfigurationPortsReadFF) {
  Config config;
  config.superIoPort = 0;
  ChipSim chip(config);
  for (uint16_t port : {0x2E, 0x4E}) {
    PortBus::EnterConfig(chip, port);
    EXPECT_EQ(PortBus::ReadConfig(chip, port, 0x20), 0xFF) << port;
  }
}

TEST(SuperIo, IdentificationComesFromConfig) {
  struct Case {
    uint8_t id;
    uint8_t revision;
  };
  for (const Case c : {Case{0x52, 0x12}, Case{0x52, 0x02}, Case{0x61, 0x1F}}) {
    Config config;
    config.superIoId = c.id;
    config.superIoRevision = c.revision;
    ChipSim chip(config);
    PortBus::EnterConfig(chip, 0x2E);
    EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x20), c.id);
    EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x21), c.revision);
    // Identification is read-only.
    chip.Out(0x2E, 0x21);
    chip.Out(0x2F, 0x00);
    EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x21), c.revision);
  }
}

TEST(SuperIo, MonitorDeviceRegistersFromConfig) {
  Config config;
  config.monitorBase = 0x0A37;
  ChipSim chip(config);
  PortBus::EnterConfig(chip, 0x2E);
  EXPECT_EQ(PortBus::ReadDevice(chip, 0x2E, 0x30), 0x01);
  EXPECT_EQ(PortBus::ReadDevice(chip, 0x2E, 0x60), 0x0A);
  EXPECT_EQ(PortBus::ReadDevice(chip, 0x2E, 0x61), 0x37);
  // Another logical device has its own registers.
  chip.Out(0x2E, 0x07);
  chip.Out(0x2F, 0x03);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x60), 0x00);
  EXPECT_EQ(PortBus::ReadConfig(chip, 0x2E, 0x07), 0x03);
}

TEST(SuperIo, BaseLowBitsAreIgnoredForTheMonitorPorts) {
  Config config;
  config.monitorBase = 0x297;
  ChipSim chip(config);
  PortBus bus(chip, 0x295);
  EXPECT_EQ(bus.VendorId(), 0x5CA3);
  EXPECT_EQ(chip.MonitorIndexPort(), 0x295);
}

TEST(SuperIo, ActivationGatesTheMonitorPorts) {
  Config config;
  config.monitorActive = false;
  ChipSim chip(config);
  PortBus bus(chip, 0x295);
  PortBus::EnterConfig(chip, 0x2E);
  EXPECT_EQ(PortBus::ReadDevice(chip, 0x2E, 0x30), 0x00);
  chip.ClearLog();
  EXPECT_EQ(bus.ReadRaw(0x58), 0xFF);
  bus.WriteRaw(0x2B, 0x42);  // ignored while inactive
  for (const PortAccess& access : chip.Log()) EXPECT_FALSE(access.refused) << access.port;
  EXPECT_FALSE(chip.MonitorIndexPort().has_value());

  PortBus::WriteDevice(chip, 0x2E, 0x30, 0x01);
  EXPECT_EQ(bus.Read(0, 0x58), 0x30);
  EXPECT_EQ(bus.Read(0, 0x2B), 0xFF) << "the write while inactive must not have landed";

  // Deactivating again closes the ports; only bit 0 counts.
  PortBus::WriteDevice(chip, 0x2E, 0x30, 0xFE);
  EXPECT_EQ(bus.ReadRaw(0x58), 0xFF);
}

TEST(SuperIo, RewrittenBaseMovesTheChipButGrantsNoNewPorts) {
  ChipSim chip;
  const uint8_t limit = chip.Reg(0, 0x2B);
  PortBus::EnterConfig(chip, 0x2E);
  PortBus::WriteDevice(chip, 0x2E, 0x60, 0x00);
  PortBus::WriteDevice(chip, 0x2E, 0x61, 0x60);
  EXPECT_EQ(chip.MonitorIndexPort(), 0x65) << "the chip decodes its new base";
  chip.ClearLog();
  PortBus moved(chip, 0x65);
  EXPECT_EQ(moved.ReadRaw(0x58), 0xFF);
  moved.WriteRaw(0x2B, 0x42);
  ASSERT_EQ(chip.Log().size(), 4u);
  for (const PortAccess& access : chip.Log()) EXPECT_TRUE(access.refused) << access.port;

  // The configured pair stays the program's, though nothing answers there now.
  chip.ClearLog();
  PortBus configured(chip, 0x295);
  EXPECT_EQ(configured.ReadRaw(0x58), 0xFF);
  for (const PortAccess& access : chip.Log()) EXPECT_FALSE(access.refused) << access.port;
  // Put back, the chip answers there again; the refused write never landed.
  PortBus::WriteDevice(chip, 0x2E, 0x60, 0x02);
  PortBus::WriteDevice(chip, 0x2E, 0x61, 0x90);
  EXPECT_EQ(configured.Read(0, 0x58), 0x30);
  EXPECT_EQ(chip.Reg(0, 0x2B), limit);
}

}  // namespace
}  // namespace sim
