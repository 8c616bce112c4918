// Sensor inputs turned into readings as the chip converts them: rails per model, fan counts
// with divisors and duty, both temperature formats, VID pins, and the start bit freezing them.
#include <gtest/gtest.h>

#include "sim/chip_sim.h"
#include "tests/sim/port_bus.h"

namespace sim {
namespace {

using test::DefaultChip;

struct RailReading {
  int bank;
  uint8_t reg;
};
constexpr RailReading kRailReg[9] = {{0, 0x20}, {0, 0x21}, {0, 0x22}, {0, 0x23}, {0, 0x24},
                                     {0, 0x25}, {0, 0x26}, {5, 0x50}, {5, 0x51}};

TEST(SensorConversion, RailCountsPerModel) {
  struct Case {
    Model model;
    int item;
    double volts;
    uint8_t count;
  };
  const Case cases[] = {
      {Model::ZR420, 0, 2.05, 128},   // 128.125
      {Model::ZR420, 0, 0.584, 36},   // 36.5: halves go to the even neighbour
      {Model::ZR420, 2, 3.00, 188},   // 187.5
      {Model::ZR420, 3, 5.00, 186},   // 185.94 with the 0.595 divider
      {Model::ZR420, 4, 12.00, 197},  // 197.25 with the 0.263 divider
      {Model::ZR420, 5, -12.00, 35},  // offset scheme, k = 5.14
      {Model::ZR420, 6, -5.00, 54},   // offset scheme, k = 3.14
      {Model::ZR420, 7, 5.00, 206},   // bank 5, 0.66 divider
      {Model::ZR420, 8, 3.00, 188},   // bank 5
      {Model::ZR430, 5, -10.00, 60},  // 59.63
      {Model::ZR460, 5, -12.00, 35},  {Model::ZR410, 5, -12.00, 215},  // negated scale: 215.25
      {Model::ZR410, 5, -11.15, 200}, {Model::ZR410, 6, -4.90, 203},   // 203.35
      {Model::ZR410, 5, 1.00, 0},     // a positive voltage on the negated rail clamps
      {Model::ZR420, 4, 20.00, 255},  // above the converter's range
      {Model::ZR420, 0, -1.00, 0},    {Model::ZR420, 5, -30.00, 0},
  };
  for (const Case& c : cases) {
    Config config;
    config.model = c.model;
    config.sensors.volts[c.item] = c.volts;
    DefaultChip chip(config);
    EXPECT_EQ(chip.bus.Read(kRailReg[c.item].bank, kRailReg[c.item].reg), c.count)
        << ModelName(c.model) << " item " << c.item << " at " << c.volts << " V";
  }
}

TEST(SensorConversion, AbsentRailsReadZero) {
  Config config;
  config.model = Model::ZR430;  // no second core rail, no -5 V, no bank 5 rails
  DefaultChip chip(config);
  for (int item : {1, 6, 7, 8})
    EXPECT_EQ(chip.bus.Read(kRailReg[item].bank, kRailReg[item].reg), 0) << item;
  EXPECT_NE(chip.bus.Read(0, 0x22), 0);
}

TEST(SensorConversion, FanCountsFollowDivisorBits) {
  struct Case {
    int fan;
    double rpm;
    uint8_t divisorBits;
    uint8_t count;
  };
  const Case cases[] = {
      {0, 3000, 1, 225},  // power-up divisor 2
      {0, 3000, 3, 56},   // 56.25
      {1, 4500, 3, 38},   // 37.5 to the even neighbour
      {1, 4500, 0, 255},  // 300 does not fit
      {2, 3000, 2, 112},  // 112.5 to the even neighbour
      {2, 0, 3, 255},     // stopped
      {0, 600, 3, 255},   // 281: too slow to count
      {1, 2e6, 3, 1},     // far too fast still counts at least 1
  };
  constexpr uint8_t kReading[3] = {0x28, 0x29, 0x2A};
  for (const Case& c : cases) {
    Config config;
    config.sensors.rpm[c.fan] = c.rpm;
    DefaultChip chip(config);
    chip.bus.EnableFans();
    if (c.fan < 2) {
      const int shift = c.fan == 0 ? 4 : 6;
      const uint8_t r47 = chip.bus.Read(0, 0x47);
      chip.bus.WriteRaw(0x47,
                        static_cast<uint8_t>((r47 & ~(3 << shift)) | (c.divisorBits << shift)));
    } else {
      const uint8_t r4b = chip.bus.Read(0, 0x4B);
      chip.bus.WriteRaw(0x4B, static_cast<uint8_t>((r4b & 0x3F) | (c.divisorBits << 6)));
    }
    EXPECT_EQ(chip.bus.Read(0, kReading[c.fan]), c.count)
        << "fan " << c.fan << " at " << c.rpm << " rpm, divisor bits " << int(c.divisorBits);
  }
}

TEST(SensorConversion, FanDutyRegistersPerModel) {
  struct Case {
    Model model;
    int fan;
    uint8_t dutyReg;
  };
  const Case cases[] = {{Model::ZR420, 0, 0x5B}, {Model::ZR420, 2, 0x5F}, {Model::ZR430, 0, 0x5A},
                        {Model::ZR430, 1, 0x5B}, {Model::ZR460, 0, 0x5A}, {Model::ZR460, 1, 0x5B},
                        {Model::ZR410, 2, 0x5F}};
  constexpr uint8_t kReading[3] = {0x28, 0x29, 0x2A};
  for (const Case& c : cases) {
    Config config;
    config.model = c.model;
    config.sensors.rpm = {3000, 3000, 3000};
    DefaultChip chip(config);
    chip.bus.EnableFans();
    const std::string what = std::string(ModelName(c.model)) + " fan " + std::to_string(c.fan);
    EXPECT_EQ(chip.bus.Read(0, kReading[c.fan]), 225) << what << " at full duty";
    for (uint8_t other : {0x5A, 0x5B, 0x5E, 0x5F})
      if (other != c.dutyReg) chip.bus.WriteRaw(other, 0x00);
    EXPECT_EQ(chip.bus.ReadRaw(kReading[c.fan]), 225) << what << ": only its own register counts";
    chip.bus.WriteRaw(c.dutyReg, 0x00);
    EXPECT_EQ(chip.bus.ReadRaw(kReading[c.fan]), 255) << what << " stopped by duty 0";
    chip.bus.WriteRaw(c.dutyReg, 0xF0);  // 2823.5 rpm with divisor 2: 239.06 counts
    EXPECT_EQ(chip.bus.ReadRaw(kReading[c.fan]), 239) << what;
  }
}

TEST(SensorConversion, FanInputsCountAsTheFirmwareLeftThemUntilSwitchedOff) {
  DefaultChip chip;
  EXPECT_EQ(chip.bus.Read(0, 0x28), 225) << "3000 rpm, divisor 2";
  EXPECT_EQ(chip.bus.Read(0, 0x29), 150) << "4500 rpm, divisor 2";
  chip.bus.ClearBits(0, 0x4D, 0x15);
  for (uint8_t reg : {0x28, 0x29, 0x2A}) EXPECT_EQ(chip.bus.Read(0, reg), 255) << int(reg);
  chip.bus.SetBits(0, 0x4D, 0x04);  // fan 1 only
  EXPECT_EQ(chip.bus.Read(0, 0x28), 255);
  EXPECT_EQ(chip.bus.Read(0, 0x29), 150);
  EXPECT_EQ(chip.bus.Read(0, 0x2A), 255);
}

TEST(SensorConversion, FanControlBits) {
  // Divisor 8 for fans 0 and 1 so half speed still counts.
  Config config;
  config.sensors.rpm = {3000, 3000, 3000};
  DefaultChip chip(config);
  chip.bus.EnableFans();
  chip.bus.Write(0, 0x47, 0xF0);
  chip.bus.WriteRaw(0x5B, 0x80);  // fan 0's duty register on this model: half duty
  struct Case {
    uint8_t bits;  // fan 0's two control bits
    uint8_t count;
  };
  for (const Case& c : {Case{0x1, 112}, Case{0x2, 56}, Case{0x3, 56}, Case{0x0, 255}}) {
    const uint8_t r4d = chip.bus.Read(0, 0x4D);
    chip.bus.WriteRaw(0x4D, static_cast<uint8_t>((r4d & ~0x03) | c.bits));
    EXPECT_EQ(chip.bus.ReadRaw(0x28), c.count) << "control bits " << int(c.bits);
  }
  EXPECT_EQ(chip.bus.ReadRaw(0x29), 56) << "fan 1 untouched";
}

TEST(SensorConversion, TemperatureFormats) {
  struct Case {
    int sensor;
    double celsius;
    uint8_t high;
    uint8_t low;  // second register of the pair; unused for sensor 0
  };
  const Case cases[] = {
      {0, -40.0, 0xD8, 0},    {0, 25.0, 0x19, 0},     {0, 24.5, 0x18, 0},
      {0, 25.5, 0x1A, 0},     {0, 200.0, 0x7F, 0},    {0, -200, 0x80, 0},
      {1, 25.5, 0x19, 0x80},  {1, 25.0, 0x19, 0x00},  {2, -0.5, 0xFF, 0x80},
      {2, -40.0, 0xD8, 0x00}, {1, 125.0, 0x7D, 0x00}, {2, -128.0, 0x80, 0x00},
  };
  for (const Case& c : cases) {
    Config config;
    config.sensors.celsius[c.sensor] = c.celsius;
    DefaultChip chip(config);
    if (c.sensor == 0) {
      EXPECT_EQ(chip.bus.Read(0, 0x27), c.high) << c.celsius;
    } else {
      EXPECT_EQ(chip.bus.Read(c.sensor, 0x50), c.high) << c.sensor << ": " << c.celsius;
      EXPECT_EQ(chip.bus.ReadRaw(0x51), c.low) << c.sensor << ": " << c.celsius;
    }
  }
}

TEST(SensorConversion, ReadingsFreezeWhileMonitoringIsStopped) {
  DefaultChip chip;
  chip.bus.EnableFans();
  EXPECT_EQ(chip.bus.Read(0, 0x40) & 0x01, 0x01) << "monitoring runs from power-up";
  const uint8_t vcore = chip.bus.Read(0, 0x20);
  const uint8_t temp = chip.bus.Read(0, 0x27);
  const uint8_t fan = chip.bus.Read(0, 0x28);
  chip.bus.ClearBits(0, 0x40, 0x01);

  Config changed = chip.chip.config();
  changed.sensors.volts[0] = 1.6;
  changed.sensors.celsius[0] = 70;
  changed.sensors.rpm[0] = 0;
  chip.chip.Reconfigure(changed);
  EXPECT_EQ(chip.bus.Read(0, 0x20), vcore);
  EXPECT_EQ(chip.bus.Read(0, 0x27), temp);
  EXPECT_EQ(chip.bus.Read(0, 0x28), fan);

  chip.bus.SetBits(0, 0x40, 0x01);
  EXPECT_EQ(chip.bus.Read(0, 0x20), 100);
  EXPECT_EQ(chip.bus.Read(0, 0x27), 70);
  EXPECT_EQ(chip.bus.Read(0, 0x28), 255);
}

TEST(SensorConversion, VidPinsAreReadOnlyBitsOf47And49) {
  Config config;
  config.vid = 0x1B;
  DefaultChip chip(config);
  EXPECT_EQ(chip.bus.Read(0, 0x47) & 0x0F, 0x0B);
  EXPECT_EQ(chip.bus.Read(0, 0x49) & 0x01, 0x01);
  chip.bus.Write(0, 0x47, 0xF0);
  EXPECT_EQ(chip.bus.ReadRaw(0x47), 0xFB) << "divisor bits change, VID bits stay";
  chip.bus.Write(0, 0x49, 0x00);
  EXPECT_EQ(chip.bus.ReadRaw(0x49), 0x01);

  config.vid = 0x04;
  chip.chip.Reconfigure(config);
  EXPECT_EQ(chip.bus.Read(0, 0x47), 0xF4);
  EXPECT_EQ(chip.bus.Read(0, 0x49), 0x00);
}

}  // namespace
}  // namespace sim
