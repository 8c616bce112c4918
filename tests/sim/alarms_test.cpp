// The chip's own alarms: limits per item kind, temperature hysteresis, the chassis latch,
// the status registers and the beeper's enables.
#include <gtest/gtest.h>

#include "sim/chip_sim.h"
#include "tests/sim/port_bus.h"

namespace sim {
namespace {

using test::DefaultChip;

bool StatusBit(DefaultChip& c, uint8_t reg, int bit) {
  return (c.bus.Read(0, reg) >> bit) & 1;
}

TEST(Alarms, HealthyPowerUpRaisesNothing) {
  for (Model model : {Model::ZR410, Model::ZR420, Model::ZR430, Model::ZR460}) {
    Config config;
    config.model = model;
    DefaultChip c(config);
    for (int item = 0; item < 16; ++item) EXPECT_FALSE(c.chip.ItemAlarm(item)) << item;
    EXPECT_EQ(c.bus.Read(0, 0x41), 0);
    EXPECT_EQ(c.bus.Read(0, 0x42), 0);
    EXPECT_FALSE(c.chip.Beeping());
  }
  DefaultChip c;
  EXPECT_FALSE(c.chip.ItemAlarm(-1));
  EXPECT_FALSE(c.chip.ItemAlarm(16));
}

// Item, its limit registers and where its alarm shows in the status registers.
struct VoltCase {
  int item;
  int bank;
  uint8_t reading;
  uint8_t high;
  uint8_t low;
  uint8_t statusReg;  // 0 = none
  int statusBit;
};
constexpr VoltCase kVoltCases[] = {
    {0, 0, 0x20, 0x2B, 0x2C, 0x41, 0}, {1, 0, 0x21, 0x2D, 0x2E, 0x41, 1},
    {2, 0, 0x22, 0x2F, 0x30, 0x41, 2}, {3, 0, 0x23, 0x31, 0x32, 0x41, 3},
    {4, 0, 0x24, 0x33, 0x34, 0x42, 0}, {5, 0, 0x25, 0x35, 0x36, 0x42, 1},
    {6, 0, 0x26, 0x37, 0x38, 0x42, 2}, {7, 5, 0x50, 0x54, 0x55, 0, 0},
    {8, 5, 0x51, 0x56, 0x57, 0, 0},
};

TEST(Alarms, VoltageOutsideItsTwoLimitRegisters) {
  for (const VoltCase& v : kVoltCases) {
    DefaultChip c;
    const uint8_t r = c.bus.Read(v.bank, v.reading);
    ASSERT_GT(r, 1) << v.item;
    ASSERT_LT(r, 254) << v.item;
    struct Limits {
      uint8_t high;
      uint8_t low;
      bool alarm;
    };
    for (const Limits l : {Limits{uint8_t(r + 1), uint8_t(r - 1), false}, Limits{r, r, false},
                           Limits{uint8_t(r - 1), uint8_t(r - 2), true},
                           Limits{uint8_t(r + 2), uint8_t(r + 1), true}}) {
      c.bus.Write(v.bank, v.high, l.high);
      c.bus.Write(v.bank, v.low, l.low);
      EXPECT_EQ(c.chip.ItemAlarm(v.item), l.alarm)
          << "item " << v.item << " reading " << int(r) << " limits " << int(l.low) << ".."
          << int(l.high);
      if (v.statusReg) {
        EXPECT_EQ(StatusBit(c, v.statusReg, v.statusBit), l.alarm) << v.item;
      }
    }
  }
}

TEST(Alarms, Zr410NegativeRailLimitsWork) {
  // The negated rail stores the larger count in the high register.
  Config config;
  config.model = Model::ZR410;
  DefaultChip c(config);
  ASSERT_EQ(c.bus.Read(0, 0x25), 215);
  c.bus.Write(0, 0x35, 242);
  c.bus.Write(0, 0x36, 189);
  EXPECT_FALSE(c.chip.ItemAlarm(5));
  config.sensors.volts[5] = -10.0;  // 179 counts
  c.chip.Reconfigure(config);
  EXPECT_TRUE(c.chip.ItemAlarm(5));
}

TEST(Alarms, FanCountAboveItsLimit) {
  struct Case {
    int fan;
    uint8_t reading;
    uint8_t limit;
    uint8_t statusReg;
    int statusBit;
  };
  for (const Case f :
       {Case{0, 0x28, 0x3B, 0x41, 6}, Case{1, 0x29, 0x3C, 0x41, 7}, Case{2, 0x2A, 0x3D, 0x42, 3}}) {
    DefaultChip c;
    c.bus.EnableFans();
    const uint8_t count = c.bus.Read(0, f.reading);
    ASSERT_LT(count, 255) << "fan " << f.fan << " should be turning";
    c.bus.WriteRaw(f.limit, count);
    EXPECT_FALSE(c.chip.ItemAlarm(9 + f.fan)) << "a count equal to the limit is fine";
    c.bus.WriteRaw(f.limit, static_cast<uint8_t>(count - 1));
    EXPECT_TRUE(c.chip.ItemAlarm(9 + f.fan)) << f.fan;
    EXPECT_TRUE(StatusBit(c, f.statusReg, f.statusBit)) << f.fan;

    // A stopped fan against the limit that accepts a stopped fan.
    Config stopped = c.chip.config();
    stopped.sensors.rpm[f.fan] = 0;
    c.chip.Reconfigure(stopped);
    c.bus.Write(0, f.limit, 0xFF);
    EXPECT_FALSE(c.chip.ItemAlarm(9 + f.fan));
    c.bus.Write(0, f.limit, 0xFE);
    EXPECT_TRUE(c.chip.ItemAlarm(9 + f.fan));
  }
}

TEST(Alarms, TemperatureHoldsBetweenLimitAndHysteresis) {
  struct Case {
    int sensor;
    int bank;
    uint8_t highRegs[2];  // limit register, and its half-degree partner (0 for sensor 0)
    uint8_t hystRegs[2];
    uint8_t statusReg;
    int statusBit;
  };
  for (const Case t :
       {Case{0, 0, {0x39, 0}, {0x3A, 0}, 0x41, 4}, Case{1, 1, {0x55, 0x56}, {0x53, 0x54}, 0x41, 5},
        Case{2, 2, {0x55, 0x56}, {0x53, 0x54}, 0x42, 5}}) {
    Config config;
    config.sensors.celsius[t.sensor] = 40;
    DefaultChip c(config);
    c.bus.Write(t.bank, t.highRegs[0], 50);
    c.bus.Write(t.bank, t.hystRegs[0], 45);
    if (t.highRegs[1]) {
      c.bus.WriteRaw(t.highRegs[1], 0x00);
      c.bus.WriteRaw(t.hystRegs[1], 0x00);
    }
    struct Step {
      double celsius;
      bool alarm;
    };
    const Step steps[] = {{50, false},   {52, true},  {47, true}, {45, true},
                          {44.5, false}, {48, false}, {51, true}};
    for (const Step& s : steps) {
      config.sensors.celsius[t.sensor] = s.celsius;
      c.chip.Reconfigure(config);
      EXPECT_EQ(c.chip.ItemAlarm(12 + t.sensor), s.alarm) << t.sensor << " at " << s.celsius;
      EXPECT_EQ(StatusBit(c, t.statusReg, t.statusBit), s.alarm) << t.sensor;
    }
  }
}

TEST(Alarms, HalfDegreeLimitUsesItsHalfBit) {
  Config config;
  config.sensors.celsius[1] = 50.5;
  DefaultChip c(config);
  c.bus.Write(1, 0x55, 50);
  c.bus.WriteRaw(0x56, 0x80);  // 50.5
  c.bus.WriteRaw(0x53, 40);
  EXPECT_FALSE(c.chip.ItemAlarm(13));
  c.bus.WriteRaw(0x56, 0x00);  // 50.0
  EXPECT_TRUE(c.chip.ItemAlarm(13));
}

TEST(ChassisLatch, SetWhenOpenedClearedOnlyOnceClosed) {
  Config config;
  DefaultChip c(config);
  EXPECT_FALSE(StatusBit(c, 0x42, 4));

  config.sensors.chassisOpen = true;
  c.chip.Reconfigure(config);
  EXPECT_TRUE(StatusBit(c, 0x42, 4));
  c.bus.SetBits(0, 0x46, 0x80);
  EXPECT_TRUE(StatusBit(c, 0x42, 4)) << "cannot clear while the case is open";

  config.sensors.chassisOpen = false;
  c.chip.Reconfigure(config);
  EXPECT_TRUE(StatusBit(c, 0x42, 4)) << "latched after closing";
  EXPECT_TRUE(c.chip.ItemAlarm(15));
  EXPECT_TRUE(StatusBit(c, 0x42, 4)) << "reading the status does not clear it";

  c.bus.Write(0, 0x46, 0x81);
  EXPECT_FALSE(StatusBit(c, 0x42, 4));
  EXPECT_FALSE(c.chip.ItemAlarm(15));
  EXPECT_EQ(c.bus.Read(0, 0x46), 0x01) << "bit 7 reads back 0, the other bits stay";
}

TEST(StatusRegisters, AnEndedAlarmShowsUntilReadThenClears) {
  DefaultChip c;
  c.bus.Write(0, 0x2F, 100);  // +3.3V high limit below its reading: item 2 alarms
  EXPECT_TRUE(c.chip.ItemAlarm(2));
  c.bus.Write(0, 0x2F, 0xFF);  // in limits again
  EXPECT_FALSE(c.chip.ItemAlarm(2));
  EXPECT_EQ(c.chip.Reg(0, 0x41) & 0x04, 0x04) << "the view does not clear";
  EXPECT_TRUE(StatusBit(c, 0x41, 2)) << "latched at the conversion";
  EXPECT_FALSE(StatusBit(c, 0x41, 2)) << "the read cleared it";

  // An alarm that goes on is seen at every read.
  c.bus.Write(0, 0x33, 10);  // +12V high limit: item 4, 0x42 bit 0
  EXPECT_TRUE(StatusBit(c, 0x42, 0));
  EXPECT_TRUE(StatusBit(c, 0x42, 0));

  // Reading 0x42 clears its latched bits, but not the chassis latch.
  Config config;
  config.sensors.chassisOpen = true;
  c.chip.Reconfigure(config);
  c.bus.Write(0, 0x33, 0xFF);
  EXPECT_EQ(c.bus.Read(0, 0x42) & 0x11, 0x11);
  EXPECT_EQ(c.bus.Read(0, 0x42) & 0x11, 0x10);
  // Reading another bank's register at the same index clears nothing.
  c.bus.Write(0, 0x2F, 100);
  c.bus.Write(0, 0x2F, 0xFF);
  c.bus.Read(1, 0x41);
  EXPECT_TRUE(StatusBit(c, 0x41, 2));
}

TEST(StatusRegisters, NothingLatchesWhileMonitoringIsStopped) {
  DefaultChip c;
  c.bus.ClearBits(0, 0x40, 0x01);
  c.bus.Write(0, 0x2F, 100);
  c.bus.Write(0, 0x2F, 0xFF);
  EXPECT_FALSE(StatusBit(c, 0x41, 2));
}

TEST(ChassisLatch, ModelWithoutSwitchNeverLatches) {
  Config config;
  config.model = Model::ZR430;
  config.sensors.chassisOpen = true;
  DefaultChip c(config);
  EXPECT_FALSE(c.chip.ItemAlarm(15));
  EXPECT_FALSE(StatusBit(c, 0x42, 4));
}

// Item -> beep enable bit.
struct BeepCase {
  int item;
  int bank;
  uint8_t reg;
  int bit;
};
constexpr BeepCase kBeepCases[] = {
    {0, 0, 0x56, 0},  {1, 0, 0x56, 1},  {2, 0, 0x56, 2},  {3, 0, 0x56, 3},
    {4, 0, 0x57, 0},  {5, 0, 0x57, 1},  {6, 0, 0x57, 2},  {7, 4, 0x53, 0},
    {8, 4, 0x53, 1},  {9, 0, 0x56, 6},  {10, 0, 0x56, 7}, {11, 0, 0x57, 3},
    {12, 0, 0x56, 4}, {13, 0, 0x56, 5}, {14, 0, 0x57, 5}, {15, 0, 0x57, 4},
};

// Drives one item of a default ZR420 into alarm.
void RaiseAlarm(DefaultChip& c, int item) {
  Config config = c.chip.config();
  if (item < 9) {
    // Every rail of the default chip reads above zero.
    for (const VoltCase& v : kVoltCases)
      if (v.item == item) c.bus.Write(v.bank, v.high, 0);
  } else if (item < 12) {
    c.bus.Write(0, static_cast<uint8_t>(0x3B + item - 9), 0x01);
  } else if (item == 12) {
    c.bus.Write(0, 0x39, 0);
  } else if (item < 15) {
    c.bus.Write(item - 12, 0x55, 0);
    c.bus.WriteRaw(0x56, 0);
  } else {
    config.sensors.chassisOpen = true;
    c.chip.Reconfigure(config);
  }
}

TEST(Beeper, SoundsForAnAlarmingItemWithItsBeepBitAndTheGlobalEnable) {
  for (const BeepCase& b : kBeepCases) {
    DefaultChip c;
    RaiseAlarm(c, b.item);
    ASSERT_TRUE(c.chip.ItemAlarm(b.item)) << b.item;
    c.bus.Write(0, 0x57, 0x80);
    c.bus.Write(0, 0x56, 0x00);
    c.bus.Write(4, 0x53, 0x00);
    EXPECT_FALSE(c.chip.Beeping()) << "item " << b.item << " without its beep bit";

    // Every other enable on: still silent.
    c.bus.Write(0, 0x56, 0xFF);
    c.bus.Write(0, 0x57, 0xBF);
    c.bus.Write(4, 0x53, 0x03);
    c.bus.Write(b.bank, b.reg, static_cast<uint8_t>(c.bus.Read(b.bank, b.reg) & ~(1 << b.bit)));
    EXPECT_FALSE(c.chip.Beeping()) << "item " << b.item << " with only the others' bits";

    c.bus.SetBits(b.bank, b.reg, static_cast<uint8_t>(1 << b.bit));
    EXPECT_TRUE(c.chip.Beeping()) << "item " << b.item;
    c.bus.ClearBits(0, 0x57, 0x80);
    EXPECT_FALSE(c.chip.Beeping()) << "item " << b.item << " with the global enable off";
  }
}

}  // namespace
}  // namespace sim
