// Conversions between register values and volts, rpm and degrees, against worked examples.
#include "items/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "items/items.h"
#include "items/number_format.h"

namespace vigilon::items {
namespace {

TEST(Nearest, HalvesGoToTheEvenNeighbour) {
  struct Case {
    double in, out;
  };
  for (const Case& c : {Case{35.5, 36},
                        {36.5, 36},
                        {0.5, 0},
                        {1.5, 2},
                        {-0.5, 0},
                        {-1.5, -2},
                        {-2.5, -2},
                        {2.4999, 2},
                        {2.5001, 3},
                        {-35.31, -35},
                        {53.82, 54}}) {
    EXPECT_EQ(Nearest(c.in), c.out) << c.in;
  }
}

TEST(Nearest, ClampedNeverLeavesItsRange) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(NearestClamped(inf, -5, 5), 5);
  EXPECT_EQ(NearestClamped(-inf, -5, 5), -5);
  EXPECT_EQ(NearestClamped(std::nan(""), -5, 5), 0);
  EXPECT_EQ(NearestClamped(std::nan(""), 3, 5), 3);
  EXPECT_EQ(NearestClamped(1e300, 0, 255), 255);
  EXPECT_EQ(NearestClamped(4.5, 0, 255), 4);
}

TEST(NegativeRails, ModelDecidesTheScale) {
  struct Case {
    uint8_t chipId;
    int item;
    VoltScale scale;
  };
  for (const Case& c : {Case{0x10, 5, VoltScale::Negated},
                        {0x11, 6, VoltScale::Negated},
                        {0x10, 4, VoltScale::Count},
                        {0x30, 5, VoltScale::Offset},
                        {0x40, 6, VoltScale::Offset},
                        {0x21, 5, VoltScale::Offset},
                        {0x21, 7, VoltScale::Count}}) {
    EXPECT_EQ(VoltScaleFor(*chip::ChipTraitsFor(c.chipId), c.item), c.scale)
        << int(c.chipId) << " item " << c.item;
  }
}

TEST(NegativeRails, CalRealNegVoltageWorkedExamples) {
  EXPECT_NEAR(CalRealNegVoltage(5, 35), -12.0256, 1e-5);
  EXPECT_EQ(FormatFixed(CalRealNegVoltage(5, 35), 2), "-12.03");
  // k = 3.14 for -5 V: (54 x 0.016 - 3.6) x 3.14 + 3.6
  EXPECT_NEAR(CalRealNegVoltage(6, 54), (54 * 0.016 - 3.6) * 3.14 + 3.6, 1e-5);
  // Any other item has no gain and lands on the pivot.
  EXPECT_FLOAT_EQ(CalRealNegVoltage(4, 200), 3.6f);
}

TEST(NegativeRails, TransVoltageToLimitRegIsTheInverse) {
  EXPECT_EQ(TransVoltageToLimitReg(5, -12.0f), 35);  // 35.31
  EXPECT_EQ(TransVoltageToLimitReg(6, -5.0f), 54);   // 53.82
  // Default display range and limits of -12 V on the later models.
  EXPECT_EQ(TransVoltageToLimitReg(5, -14.0f), 11);
  EXPECT_EQ(TransVoltageToLimitReg(5, -10.0f), 60);
  EXPECT_EQ(TransVoltageToLimitReg(5, -13.51f), 17);
  EXPECT_EQ(TransVoltageToLimitReg(5, -10.52f), 53);
  for (int16_t r = 0; r <= 255; ++r) {
    EXPECT_EQ(TransVoltageToLimitReg(5, CalRealNegVoltage(5, r)), r);
    EXPECT_EQ(TransVoltageToLimitReg(6, CalRealNegVoltage(6, r)), r);
  }
  EXPECT_EQ(TransVoltageToLimitReg(3, 5.0f), 0);
  EXPECT_EQ(TransVoltageToLimitReg(5, 1e30f), std::numeric_limits<int16_t>::max());
}

TEST(Voltages, ReadingToScaleAndVolts) {
  ItemTables t;
  LoadDefaultLimits(t);
  // +5 V, reading 186: 5.0017 V.
  const float v5 = VoltsFromScale(VoltScale::Count, 3, VoltScaleFromReading(VoltScale::Count, 186),
                                  t.VoltFactor[3]);
  EXPECT_NEAR(v5, 5.0017, 1e-4);
  EXPECT_EQ(FormatFixed(v5, 2), "5.00");
  // -12 V on the first model, reading 200: scale -200, -11.15 V.
  const int32_t s = VoltScaleFromReading(VoltScale::Negated, 200);
  EXPECT_EQ(s, -200);
  EXPECT_EQ(FormatFixed(VoltsFromScale(VoltScale::Negated, 5, s, t.VoltFactor[5]), 2), "-11.15");
  // ... and 215: -11.99 V.
  EXPECT_EQ(FormatFixed(VoltsFromScale(VoltScale::Negated, 5, -215, t.VoltFactor[5]), 2), "-11.99");
  // The later models keep the count as scale value and use the offset formula for volts.
  EXPECT_EQ(VoltScaleFromReading(VoltScale::Offset, 35), 35);
  EXPECT_FLOAT_EQ(VoltsFromScale(VoltScale::Offset, 5, 35, t.VoltFactor[5]),
                  CalRealNegVoltage(5, 35));
  // +3.3 V at 207 counts of 16 mV.
  EXPECT_EQ(FormatFixed(VoltsFromScale(VoltScale::Count, 2, 207, t.VoltFactor[2]), 2), "3.31");
}

TEST(Voltages, VoltsToScaleOfTheDefaultRows) {
  ItemTables t;
  LoadDefaultLimits(t);
  // +3.3 V: slider 144..250, limits 186..227.
  EXPECT_EQ(VoltsToScale(VoltScale::Count, 2, t.VoltSliderMin[2], t.VoltFactor[2]), 144);
  EXPECT_EQ(VoltsToScale(VoltScale::Count, 2, t.VoltSliderMax[2], t.VoltFactor[2]), 250);
  EXPECT_EQ(VoltsToScale(VoltScale::Count, 2, t.VoltLowLimit[2], t.VoltFactor[2]), 186);
  EXPECT_EQ(VoltsToScale(VoltScale::Count, 2, t.VoltHighLimit[2], t.VoltFactor[2]), 227);
  // Vbat's display top is above the register range; the control caps it, not the conversion.
  EXPECT_EQ(VoltsToScale(VoltScale::Count, 8, t.VoltSliderMax[8], t.VoltFactor[8]), 375);
  // -12 V on the first model: -251, -179, -242, -189.
  EXPECT_EQ(VoltsToScale(VoltScale::Negated, 5, t.VoltSliderMin[5], t.VoltFactor[5]), -251);
  EXPECT_EQ(VoltsToScale(VoltScale::Negated, 5, t.VoltSliderMax[5], t.VoltFactor[5]), -179);
  EXPECT_EQ(VoltsToScale(VoltScale::Negated, 5, t.VoltLowLimit[5], t.VoltFactor[5]), -242);
  EXPECT_EQ(VoltsToScale(VoltScale::Negated, 5, t.VoltHighLimit[5], t.VoltFactor[5]), -189);
  EXPECT_EQ(VoltsToScale(VoltScale::Offset, 5, t.VoltLowLimit[5], t.VoltFactor[5]), 17);
  // A zero factor (never after loading) saturates instead of overflowing.
  EXPECT_EQ(VoltsToScale(VoltScale::Count, 0, 2.0f, 0.0f), std::numeric_limits<int16_t>::max());
  EXPECT_EQ(VoltsToScale(VoltScale::Count, 0, 0.0f, 0.0f), 0);
}

TEST(Voltages, RegisterRanges) {
  EXPECT_EQ(RegisterScaleRange(VoltScale::Count).min, 0);
  EXPECT_EQ(RegisterScaleRange(VoltScale::Count).max, 255);
  EXPECT_EQ(RegisterScaleRange(VoltScale::Offset).max, 255);
  EXPECT_EQ(RegisterScaleRange(VoltScale::Negated).min, -255);
  EXPECT_EQ(RegisterScaleRange(VoltScale::Negated).max, 0);
}

TEST(Fans, RpmOfACount) {
  struct Case {
    uint8_t count;
    int16_t divisor;
    const char* text;
  };
  for (const Case& c : {Case{84, 8, "2,009"},
                        {0, 8, "168,750"},
                        {1, 8, "168,750"},
                        {168, 8, "1,004"},
                        {254, 8, "664"},
                        {84, 2, "8,036"},
                        {0, 1, "1,350,000"}}) {
    const auto rpm = FanRpm(c.count, c.divisor);
    ASSERT_TRUE(rpm.has_value());
    EXPECT_EQ(FormatThousands(*rpm), c.text) << int(c.count) << "/" << c.divisor;
  }
  EXPECT_NEAR(*FanRpm(84, 8), 2008.93, 0.01);
  EXPECT_FALSE(FanRpm(255, 8).has_value());
  EXPECT_DOUBLE_EQ(*FanRpm(10, 0), 135000.0);  // a divisor below 1 never divides by zero
}

TEST(Fans, LimitRpmAndItsText) {
  struct Case {
    int32_t count;
    int16_t divisor;
    int32_t rpm;
    const char* text;
  };
  for (const Case& c : {Case{168, 8, 1004, " 1004"},
                        {84, 8, 2009, " 2009"},
                        {83, 8, 2033, " 2033"},
                        {255, 8, 662, " 662"},
                        {0, 8, 168750, " 168750"},
                        {1, 8, 168750, " 168750"},
                        {100, -3, 13500, " 13500"}}) {
    EXPECT_EQ(FanLimitRpm(c.count, c.divisor), c.rpm) << c.count;
    EXPECT_EQ(FanSpeedText(c.count, c.divisor), c.text);
  }
}

TEST(Temperatures, SensorZeroSignedByte) {
  EXPECT_EQ(Temp0Degrees(0xD8), -40);
  EXPECT_EQ(Temp0Degrees(0x7F), 127);
  EXPECT_EQ(Temp0Degrees(0x80), -128);
  EXPECT_EQ(Temp0Degrees(25), 25);
  EXPECT_DOUBLE_EQ(CelsiusToFahrenheit(Temp0Degrees(0xD8)), -40.0);
}

TEST(Temperatures, NineBitSensors) {
  struct Case {
    uint8_t whole, half;
    int32_t halfDegrees;
  };
  for (const Case& c : {Case{0x19, 0x80, 51},
                        {0x19, 0x00, 50},
                        {0x19, 0x81, 50},
                        {0x19, 0x40, 50},
                        {0xFF, 0x80, -1},
                        {0xFF, 0x00, -2},
                        {0x80, 0x00, -256},
                        {0x7F, 0x80, 255}}) {
    EXPECT_EQ(TempHalfDegrees(c.whole, c.half), c.halfDegrees)
        << int(c.whole) << "," << int(c.half);
  }
  EXPECT_DOUBLE_EQ(TempDegreesFromHalf(51), 25.5);
  EXPECT_DOUBLE_EQ(TempDegreesFromHalf(-1), -0.5);
  EXPECT_EQ(FormatFixed(CelsiusToFahrenheit(25.5), 2), "77.90");
}

TEST(Temperatures, Fahrenheit) {
  EXPECT_DOUBLE_EQ(CelsiusToFahrenheit(-40), -40);
  EXPECT_DOUBLE_EQ(CelsiusToFahrenheit(100), 212);
  EXPECT_EQ(FormatGeneral(CelsiusToFahrenheit(127)), "260.6");
  EXPECT_EQ(FormatFixed(CelsiusToFahrenheit(65), 2), "149.00");
  EXPECT_EQ(FormatFixed(CelsiusToFahrenheit(65), 1), "149.0");
}

}  // namespace
}  // namespace vigilon::items
