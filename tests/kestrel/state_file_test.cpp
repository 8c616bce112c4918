// kestrel.state formatting: register, alarm and beeper lines, the driver's status, and that
// the text reads back key by key.
#include "kestrel/state_file.h"

#include <gtest/gtest.h>

#include "sim/chip_sim.h"

namespace kestrel {
namespace {

std::map<std::string, std::string> StateOf(const sim::ChipSim& chip,
                                           const DriverStatus& status = {}) {
  return ParseStateText(FormatStateFile(7, FormatStateBody(chip, status)));
}

TEST(StateFile, DefaultChipLines) {
  sim::ChipSim chip;
  const auto state = StateOf(chip);
  const std::map<std::string, std::string> expected{
      {"serial", "7"},          {"model", "ZR420"},      {"config", "ok"},
      {"loaded", "0"},          {"bus_ready", "0"},      {"superio.port", "2e"},
      {"superio.0b.30", "01"},  {"superio.0b.60", "02"}, {"superio.0b.61", "90"},
      {"monitor.port", "0295"}, {"bank_select", "80"},   {"bank0.40", "01"},
      {"bank0.4f", "5c"},       {"bank0.58", "30"},      {"bank0.42", "00"},
      {"bank5.57", "00"},       {"bank4.53", "00"},      {"alarm.0", "0"},
      {"alarm.15", "0"},        {"beeping", "0"},        {"refused.count", "0"},
      {"beep_writes", "0"},
      {"refused.last", "none"},
  };
  for (const auto& [key, value] : expected) {
    ASSERT_TRUE(state.count(key)) << key;
    EXPECT_EQ(state.at(key), value) << key;
  }
  EXPECT_FALSE(state.count("bank3.50")) << "only the documented registers";
}

TEST(StateFile, EveryLineIsAUniqueKey) {
  sim::ChipSim chip;
  const std::string text = FormatStateFile(1, FormatStateBody(chip, {}));
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(ParseStateText(text).size(), lines);
  EXPECT_EQ(text.rfind("serial=1\n", 0), 0u) << "the serial comes first";
  // 64 + 7 + 7 + 1 + 8 registers, 16 alarms.
  size_t registers = 0, alarms = 0;
  for (const auto& [key, value] : ParseStateText(text)) {
    registers += key.rfind("bank", 0) == 0 && key != "bank_select";
    alarms += key.rfind("alarm.", 0) == 0;
  }
  EXPECT_EQ(registers, 87u);
  EXPECT_EQ(alarms, 16u);
}

TEST(StateFile, AlarmsBeeperAndChassis) {
  sim::Config config;
  config.sensors.chassisOpen = true;
  sim::ChipSim chip(config);
  chip.PokeReg(0, 0x57, 0x90);  // global enable, chassis beep
  chip.PokeReg(0, 0x2B, 0x00);  // item 0's high limit below its reading
  const auto state = StateOf(chip);
  EXPECT_EQ(state.at("alarm.15"), "1");
  EXPECT_EQ(state.at("alarm.0"), "1");
  EXPECT_EQ(state.at("alarm.1"), "0");
  EXPECT_EQ(state.at("bank0.42"), "10");
  EXPECT_EQ(state.at("bank0.41"), "01");
  EXPECT_EQ(state.at("beeping"), "1");
}

TEST(StateFile, PortsWithoutSuperIo) {
  sim::Config config;
  config.model = sim::Model::ZR410;
  config.superIoPort = 0;
  sim::ChipSim chip(config);
  EXPECT_EQ(StateOf(chip).at("superio.port"), "none");
  EXPECT_EQ(StateOf(chip).at("monitor.port"), "none");
  ASSERT_EQ(chip.InitialBus(1, 0x5A, 0x92, 0x90), 0);
  EXPECT_EQ(StateOf(chip).at("monitor.port"), "0000");
  EXPECT_EQ(StateOf(chip).at("bus_ready"), "1");
  EXPECT_EQ(StateOf(chip).at("bank0.58"), "10");
}

TEST(StateFile, DriverStatusLines) {
  sim::ChipSim chip;
  DriverStatus status;
  status.config = "error: kestrel.ini, line 3: unknown key 'x'";
  status.loaded = true;
  status.refusedCount = 12;
  status.lastRefused = 0x3F8;
  const auto state = StateOf(chip, status);
  EXPECT_EQ(state.at("config"), "error: kestrel.ini, line 3: unknown key 'x'");
  EXPECT_EQ(state.at("loaded"), "1");
  EXPECT_EQ(state.at("refused.count"), "12");
  EXPECT_EQ(state.at("refused.last"), "03f8");
}

TEST(StateFile, ParseSkipsJunkAndCarriageReturns) {
  const auto values = ParseStateText("a=1\r\nnot a pair\n\nb=x=y\nc=");
  EXPECT_EQ(values.size(), 3u);
  EXPECT_EQ(values.at("a"), "1");
  EXPECT_EQ(values.at("b"), "x=y");
  EXPECT_EQ(values.at("c"), "");
}

}  // namespace
}  // namespace kestrel
