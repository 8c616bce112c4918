// Register traffic of the chip operations per model, read from the simulator's port access log.
#include "chip/monitor_chip.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <vector>

#include "chip/sim_port_io.h"
#include "run/fan_keeper.h"
#include "sim/chip_sim.h"
#include "support/bank_writes.h"

namespace vigilon::chip {
namespace {

constexpr std::array<sim::Model, 4> kAllModels{sim::Model::ZR410, sim::Model::ZR420,
                                               sim::Model::ZR430, sim::Model::ZR460};

// One register access as the log shows it: index write to port 0, then data port 1.
struct RegOp {
  char kind;  // 'R' or 'W'
  uint8_t reg;
  uint8_t value;
  bool operator==(const RegOp&) const = default;
};
std::ostream& operator<<(std::ostream& os, const RegOp& op) {
  return os << op.kind << std::hex << " 0x" << int(op.reg) << "=0x" << int(op.value) << std::dec;
}
RegOp R(uint8_t reg, uint8_t value) {
  return {'R', reg, value};
}
RegOp W(uint8_t reg, uint8_t value) {
  return {'W', reg, value};
}

using test::BankWrite;

// The monitor at ports 0 and 1, as with no Super-I/O device.
class Bench {
 public:
  explicit Bench(sim::Model model)
      : traits(*ChipTraitsFor(sim::ModelChipId(model))),
        sim_(Config(model)),
        io_(sim_),
        chip_(io_) {
    sim_.InitialBus(1, 0x5A, 0x92, 0x90);
    chip_.access().MonitorPort = 0;
    chip_.SetModel(traits);
    sim_.ClearLog();
  }
  Bench(const Bench&) = delete;

  sim::ChipSim& sim() { return sim_; }
  MonitorChip& chip() { return chip_; }
  const ChipTraits& traits;

  std::vector<RegOp> Traffic() const {
    std::vector<RegOp> ops;
    const auto& log = sim_.Log();
    for (std::size_t i = 0; i < log.size(); ++i) {
      EXPECT_FALSE(log[i].refused);
      EXPECT_EQ(log[i].kind, sim::PortAccess::Kind::Out);
      EXPECT_EQ(log[i].port, 0);
      if (i + 1 >= log.size()) {
        ADD_FAILURE() << "index write without data access";
        break;
      }
      const sim::PortAccess& data = log[++i];
      EXPECT_EQ(data.port, 1);
      ops.push_back(
          {data.kind == sim::PortAccess::Kind::In ? 'R' : 'W', log[i - 1].value, data.value});
    }
    return ops;
  }

  // Writes other than the bank select, with the bank each went to.
  std::vector<BankWrite> Writes(int startBank) const {
    Traffic();  // checks the accesses come in index/data pairs
    return test::WritesSince(sim_, 0, 0, startBank);
  }

  bool OnlyBankSelects() const {
    for (const RegOp& op : Traffic())
      if (op.reg != 0x4E) return false;
    return true;
  }

 private:
  static sim::Config Config(sim::Model model) {
    sim::Config c;
    c.model = model;
    c.superIoPort = 0;
    return c;
  }
  sim::ChipSim sim_;
  SimPortIo io_;
  MonitorChip chip_;
};

bool MirrorsStart(sim::Model m) {
  return m == sim::Model::ZR420 || m == sim::Model::ZR460;
}

TEST(Monitoring, StartAndStopKeepTheOtherBits) {
  for (sim::Model model : kAllModels) {
    SCOPED_TRACE(sim::ModelName(model));
    Bench b(model);
    b.sim().PokeReg(0, 0x40, 0x08);
    b.sim().PokeReg(0, 0x5D, 0x0A);
    b.sim().PokeReg(0, 0x4E, 0x85);
    b.chip().StartMonitoring();
    std::vector<RegOp> start{R(0x4E, 0x85), W(0x4E, 0x80), R(0x40, 0x08), W(0x40, 0x09)};
    if (MirrorsStart(model)) start.insert(start.end(), {R(0x5D, 0x0A), W(0x5D, 0x0B)});
    EXPECT_EQ(b.Traffic(), start);

    b.sim().ClearLog();
    std::size_t accessesWhenEventsRan = 0;
    b.chip().StopMonitoring([&] { accessesWhenEventsRan = b.sim().Log().size(); });
    std::vector<BankWrite> stop{{0, 0x40, 0x08}};
    if (MirrorsStart(model)) stop.push_back({0, 0x5D, 0x0A});
    EXPECT_EQ(b.Writes(0), stop);
    EXPECT_EQ(accessesWhenEventsRan, b.sim().Log().size());
    EXPECT_GT(accessesWhenEventsRan, 0u);
  }
}

TEST(DecodeVid, LimitsFromTheVidCode) {
  struct Case {
    uint8_t code;
    float low, high;
  };
  const Case cases[] = {
      {31, 1.2f, 3.9f},
      {0, 1.85f, 2.25f},
      {16, 3.3f, 3.7f},
      {15, static_cast<float>(1.3 - 0.2), static_cast<float>(1.3 + 0.2)},
      {30, static_cast<float>(2.1 - 0.2), static_cast<float>(2.1 + 0.2)},
      {8, static_cast<float>(1.65 - 0.2), static_cast<float>(1.65 + 0.2)},
      {24, static_cast<float>(2.7 - 0.2), static_cast<float>(2.7 + 0.2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.code));
    sim::Config config;
    config.model = sim::Model::ZR420;
    config.superIoPort = 0;
    config.vid = c.code;
    sim::ChipSim chipSim(config);
    chipSim.InitialBus(1, 0x5A, 0x92, 0x90);
    // The fan divisor bits share register 0x47, and 0x49 has other bits: none leaks into the code.
    chipSim.PokeReg(0, 0x47, static_cast<uint8_t>(chipSim.Reg(0, 0x47) | 0xF0));
    chipSim.PokeReg(0, 0x49, static_cast<uint8_t>(chipSim.Reg(0, 0x49) | 0xFE));
    chipSim.PokeReg(0, 0x4E, 0x02);
    SimPortIo io(chipSim);
    MonitorChip chip(io);
    chip.access().MonitorPort = 0;
    const VidLimits limits = chip.DecodeVid();
    EXPECT_EQ(limits.low, c.low);
    EXPECT_EQ(limits.high, c.high);
    EXPECT_EQ(chipSim.SelectedBank(), 0);
  }
}

ItemFlagBytes Only(int item) {
  ItemFlagBytes f{};
  f[item] = 1;
  return f;
}

bool HasBank4Bits(sim::Model m) {
  return m != sim::Model::ZR410;
}

TEST(ApplyBeepSettings, EveryItemHasItsBit) {
  struct Case {
    int item;
    int bank;
    uint8_t reg;
    uint8_t mask;
  };
  const Case cases[] = {
      {0, 0, 0x56, 0x01},  {1, 0, 0x56, 0x02},  {2, 0, 0x56, 0x04},  {3, 0, 0x56, 0x08},
      {4, 0, 0x57, 0x01},  {5, 0, 0x57, 0x02},  {6, 0, 0x57, 0x04},  {7, 4, 0x53, 0x01},
      {8, 4, 0x53, 0x02},  {9, 0, 0x56, 0x40},  {10, 0, 0x56, 0x80}, {11, 0, 0x57, 0x08},
      {12, 0, 0x56, 0x10}, {13, 0, 0x56, 0x20}, {14, 0, 0x57, 0x20}, {15, 0, 0x57, 0x10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    Bench b(sim::Model::ZR420);
    b.sim().PokeReg(4, 0x53, 0x00);
    b.chip().ApplyBeepSettings(Only(c.item), Only(c.item));
    const uint8_t b56 = c.reg == 0x56 ? c.mask : 0;
    const uint8_t b57 = static_cast<uint8_t>(0x80 | (c.reg == 0x57 ? c.mask : 0));
    const uint8_t b53 = c.reg == 0x53 ? c.mask : 0;
    EXPECT_EQ(b.Writes(0),
              (std::vector<BankWrite>{{0, 0x56, b56}, {0, 0x57, b57}, {4, 0x53, b53}}));
  }
}

TEST(ApplyBeepSettings, AllAndNothingPerModel) {
  ItemFlagBytes all{};
  all.fill(1);
  ItemFlagBytes none{};
  ItemFlagBytes twos{};
  twos.fill(2);  // a flag counts only when it is exactly 1
  for (sim::Model model : kAllModels) {
    SCOPED_TRACE(sim::ModelName(model));
    Bench b(model);
    b.sim().PokeReg(4, 0x53, 0xF0);  // bits the beep programming does not own
    b.chip().ApplyBeepSettings(all, all);
    std::vector<BankWrite> expected{{0, 0x56, 0xFF}, {0, 0x57, 0xBF}};
    if (HasBank4Bits(model)) expected.push_back({4, 0x53, 0xF3});
    EXPECT_EQ(b.Writes(0), expected);
    if (HasBank4Bits(model)) {
      EXPECT_EQ(b.sim().SelectedBank(), 4);
    } else {
      EXPECT_EQ(b.sim().SelectedBank(), 0);
    }

    for (const auto& [enabled, beep] :
         {std::pair{none, all}, std::pair{all, none}, std::pair{twos, all}, std::pair{all, twos}}) {
      b.sim().ClearLog();
      b.chip().ApplyBeepSettings(enabled, beep);
      std::vector<BankWrite> off{{0, 0x56, 0x00}, {0, 0x57, 0x80}};
      if (HasBank4Bits(model)) off.push_back({4, 0x53, 0xF0});
      EXPECT_EQ(b.Writes(4), off);
    }
  }
}

TEST(ApplyBeepSettings, FirstModelNeverTouchesBankFour) {
  Bench b(sim::Model::ZR410);
  ItemFlagBytes all{};
  all.fill(1);
  b.chip().ApplyBeepSettings(all, all);
  for (const RegOp& op : b.Traffic()) {
    if (op.reg == 0x4E && op.kind == 'W') {
      EXPECT_EQ(op.value & 0x07, 0);
    }
  }
}

TEST(SetFanStatus, SwitchesTheFanInputsOnPerModel) {
  for (sim::Model model : kAllModels) {
    SCOPED_TRACE(sim::ModelName(model));
    Bench b(model);
    b.sim().PokeReg(0, 0x4C, 0x00);
    b.sim().PokeReg(0, 0x4D, 0x00);
    b.sim().PokeReg(0, 0x5C, 0x00);
    b.chip().Set_Fan_Status();
    std::vector<BankWrite> expected;
    if (model == sim::Model::ZR430) {
      expected = {{0, 0x4C, 0x80}, {0, 0x4D, 0x01}, {0, 0x4D, 0x05}, {0, 0x5C, 0x08}};
    } else {
      expected = {{0, 0x4D, 0x01}, {0, 0x4D, 0x05}, {0, 0x4D, 0x15}};
    }
    EXPECT_EQ(b.Writes(0), expected);

    // Everything already set: only the bank select is written.
    b.sim().ClearLog();
    b.chip().Set_Fan_Status();
    EXPECT_EQ(b.Writes(0), std::vector<BankWrite>{});
    for (const RegOp& op : b.Traffic()) {
      if (op.kind == 'W') {
        EXPECT_EQ(op.reg, 0x4E);
      }
    }
  }
}

TEST(SetFanStatus, ThirdModelTakesTheThirdFanOffRegister4D) {
  Bench b(sim::Model::ZR430);
  b.sim().PokeReg(0, 0x4C, 0x80);
  b.sim().PokeReg(0, 0x4D, 0x35);
  b.sim().PokeReg(0, 0x5C, 0x08);
  b.chip().Set_Fan_Status();
  EXPECT_EQ(b.Writes(0), (std::vector<BankWrite>{{0, 0x4D, 0x05}}));
  EXPECT_EQ(b.sim().Reg(0, 0x4D), 0x05);
}

TEST(SetFanOutput, DrivesOnlyTheBitsThatDiffer) {
  struct Case {
    int16_t fan, first, second;
    uint8_t before;
    std::vector<BankWrite> writes;
  };
  const Case cases[] = {
      {1, 1, 1, 0x00, {{0, 0x4D, 0x01}, {0, 0x4D, 0x03}}},
      {1, 1, 1, 0x03, {}},
      {1, 0, 0, 0xFF, {{0, 0x4D, 0xFE}, {0, 0x4D, 0xFC}}},
      {2, 1, 0, 0x08, {{0, 0x4D, 0x0C}, {0, 0x4D, 0x04}}},
      {3, 0, 1, 0x10, {{0, 0x4D, 0x00}, {0, 0x4D, 0x20}}},
      {3, 2, 2, 0x30, {{0, 0x4D, 0x20}, {0, 0x4D, 0x00}}},  // 2 is not "on"
      {0, 1, 1, 0x00, {}},
      {4, 1, 1, 0x00, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "fan " << c.fan << " from 0x" << std::hex << int(c.before));
    Bench b(sim::Model::ZR420);
    b.sim().PokeReg(0, 0x4D, c.before);
    b.sim().PokeReg(0, 0x4E, 0x03);
    b.chip().SetFanOutput(c.fan, c.first, c.second);
    EXPECT_EQ(b.Writes(3), c.writes);
    EXPECT_EQ(b.sim().SelectedBank(), 0);
  }
}

TEST(WriteFanPwm, DutyRegisterPerModelAndSelector) {
  struct Case {
    sim::Model model;
    std::array<std::optional<uint8_t>, 4> reg;  // selectors 1-4
  };
  const Case cases[] = {
      {sim::Model::ZR410, {std::nullopt, std::nullopt, 0x5E, 0x5F}},
      {sim::Model::ZR420, {0x5B, std::nullopt, 0x5E, 0x5F}},
      {sim::Model::ZR430, {0x5A, 0x5B, 0x5E, 0x5F}},
      {sim::Model::ZR460, {0x5A, 0x5B, 0x5E, 0x5F}},
  };
  for (const Case& c : cases) {
    for (int16_t selector = 0; selector <= 5; ++selector) {
      SCOPED_TRACE(testing::Message() << sim::ModelName(c.model) << " selector " << selector);
      Bench b(c.model);
      b.sim().PokeReg(0, 0x4E, 0x05);
      b.chip().WriteFanPwm(selector, 0x42);
      std::vector<BankWrite> expected;
      if (selector >= 1 && selector <= 4 && c.reg[selector - 1])
        expected.push_back({0, *c.reg[selector - 1], 0x42});
      EXPECT_EQ(b.Writes(5), expected);
      EXPECT_EQ(b.sim().SelectedBank(), 0);  // selected even when nothing is written
    }
  }
}

TEST(SetFanDuty, OnlyMonitoredFansWithADutyRegister) {
  struct Case {
    sim::Model model;
    int16_t fan;
    std::optional<uint8_t> reg;
  };
  const Case cases[] = {
      {sim::Model::ZR420, 1, 0x5B},         {sim::Model::ZR420, 2, std::nullopt},
      {sim::Model::ZR420, 3, 0x5F},         {sim::Model::ZR430, 1, 0x5A},
      {sim::Model::ZR430, 2, 0x5B},         {sim::Model::ZR430, 3, std::nullopt},
      {sim::Model::ZR460, 1, 0x5A},         {sim::Model::ZR460, 2, 0x5B},
      {sim::Model::ZR460, 3, std::nullopt}, {sim::Model::ZR410, 1, std::nullopt},
  };
  ItemFlagBytes fansOn{};
  fansOn[9] = fansOn[10] = fansOn[11] = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << sim::ModelName(c.model) << " fan " << c.fan);
    Bench b(c.model);
    b.chip().SetFanDuty(fansOn, c.fan, 0xFF);
    std::vector<BankWrite> expected;
    if (c.reg) expected.push_back({0, *c.reg, 0xFF});
    EXPECT_EQ(b.Writes(0), expected);
    EXPECT_FALSE(b.Traffic().empty());  // the bank is selected in any case

    // A fan whose item is not monitored touches no register at all.
    b.sim().ClearLog();
    ItemFlagBytes off = fansOn;
    off[8 + c.fan] = 2;
    b.chip().SetFanDuty(off, c.fan, 0xFF);
    EXPECT_TRUE(b.sim().Log().empty());
  }
}

TEST(SetFanDuty, NoDutyRegisterMeansOnlyBankSelects) {
  Bench b(sim::Model::ZR430);
  ItemFlagBytes on{};
  on.fill(1);
  b.chip().SetFanDuty(on, 3, 0x80);
  EXPECT_TRUE(b.OnlyBankSelects());
  EXPECT_EQ(b.Traffic().size(), 4u);  // SetFanDuty's own select, then WriteFanPwm's
}

// Limits in counts of the sensor's steps: whole degrees in one byte for the first sensor, nine
// bits of half degrees for the others, both two's complement, each in the sensor's bank.
TEST(TemperatureLimits, WholeAndNineBitCountsInTheSensorsBank) {
  Bench b(sim::Model::ZR420);
  b.chip().WriteTempLimits(0, -10, 60);
  b.chip().WriteTempLimits(1, -20, 171);  // -10 and 85.5 degrees
  b.chip().WriteTempHyst(2, -9);          // -4.5 degrees
  EXPECT_EQ(b.Writes(0), (std::vector<BankWrite>{{0, 0x39, 0xF6},
                                                 {0, 0x3A, 60},
                                                 {1, 0x55, 0xF6},
                                                 {1, 0x56, 0x00},
                                                 {1, 0x53, 85},
                                                 {1, 0x54, 0x80},
                                                 {2, 0x53, 0xFB},
                                                 {2, 0x54, 0x80}}));
}

TEST(RestoreStoppedFans, OnlyTheFansTheProgramStoppedWhateverTheirFlagsNow) {
  Bench b(sim::Model::ZR420);
  items::ItemFlags on{};
  on.fill(1);
  FanKeeper fans(b.chip(), on);
  fans.SteerFan(1, false);  // 0x5B
  fans.SteerFan(2, false);  // no duty register: nothing stopped
  fans.SteerFan(3, false);  // 0x5F
  fans.SteerFan(3, true);
  fans.SteerFan(3, false);
  EXPECT_EQ(b.sim().Reg(0, 0x5B), 0);
  EXPECT_EQ(b.sim().Reg(0, 0x5F), 0);
  b.sim().PokeReg(0, 0x5E, 0x40);  // someone else's duty
  b.sim().ClearLog();
  on.fill(0);
  fans.RestoreStoppedFans();
  EXPECT_EQ(b.Writes(0), (std::vector<BankWrite>{{0, 0x5B, 0xFF}, {0, 0x5F, 0xFF}}));
  b.sim().ClearLog();
  fans.RestoreStoppedFans();
  EXPECT_TRUE(b.sim().Log().empty()) << "once restored, nothing is left to do";

  // The first model's fan 3 switched off by its output bits comes back at full speed.
  Bench first(sim::Model::ZR410);
  FanKeeper firstFans(first.chip(), on);
  firstFans.RunFan3ByOutputs(false);
  firstFans.RestoreStoppedFans();
  EXPECT_EQ(first.sim().Reg(0, 0x4D) & 0x30, 0x20);
}

// A give-back the chip did not hear leaves the fan held, on either way of driving it, and the
// last words still run it; once the chip answers, the next give-back runs it and lets it go.
TEST(RestoreStoppedFans, AGiveBackTheChipDidNotHearKeepsTheFanHeld) {
  for (const sim::Model model : {sim::Model::ZR420, sim::Model::ZR410}) {
    SCOPED_TRACE(sim::ModelName(model));
    Bench b(model);
    items::ItemFlags on{};
    on.fill(1);
    FanKeeper fans(b.chip(), on);
    FanRestoreWrites words;
    fans.OnFansSwitched([&](const FanRestoreWrites& w) { words = w; });
    if (model == sim::Model::ZR410)
      fans.RunFan3ByOutputs(false);
    else
      fans.SteerFan(3, false);
    ASSERT_TRUE(fans.StoppedByProgram(3));
    sim::Config config = b.sim().config();
    config.noChip = true;
    b.sim().Reconfigure(config);
    fans.RestoreStoppedFans();
    EXPECT_TRUE(fans.StoppedByProgram(3)) << "unheard";
    EXPECT_GT(words.count, 2) << "the last words still run it";

    config.noChip = false;
    b.sim().Reconfigure(config);
    fans.RestoreStoppedFans();
    EXPECT_FALSE(fans.StoppedByProgram(3));
    EXPECT_EQ(words.count, 2) << "the bank select alone";
    if (model == sim::Model::ZR410)
      EXPECT_EQ(b.sim().Reg(0, 0x4D) & 0x30, 0x20);
    else
      EXPECT_EQ(b.sim().Reg(0, 0x5F), 0xFF);
  }
}

}  // namespace
}  // namespace vigilon::chip
