// Register values to volts, rpm and degrees and back.
#include "items/conversions.h"

#include <cmath>
#include <limits>

#include "items/number_format.h"

namespace vigilon::items {

namespace {

constexpr double kVoltsPerCount = 0.016;
constexpr double kNegRailPivot = 3.6;
constexpr int32_t kInt16Min = std::numeric_limits<int16_t>::min();
constexpr int32_t kInt16Max = std::numeric_limits<int16_t>::max();

double NegRailGain(int item) {
  switch (item) {
    case 5:
      return 5.14;
    case 6:
      return 3.14;
    default:
      return 0;
  }
}

}  // namespace

double Nearest(double x) {
  if (!std::isfinite(x)) return x;
  const double down = std::floor(x);
  const double diff = x - down;
  if (diff < 0.5) return down;
  if (diff > 0.5) return down + 1;
  return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

int32_t NearestClamped(double x, int32_t lo, int32_t hi) {
  if (std::isnan(x)) x = 0;
  const double n = Nearest(x);
  if (n <= lo) return lo;
  if (n >= hi) return hi;
  return static_cast<int32_t>(n);
}

VoltScale VoltScaleFor(const chip::ChipTraits& model, int item) {
  if (item != 5 && item != 6) return VoltScale::Count;
  return model.negativeRails == chip::NegativeRails::Negated ? VoltScale::Negated
                                                             : VoltScale::Offset;
}

ScaleRange RegisterScaleRange(VoltScale scale) {
  if (scale == VoltScale::Negated) return {-255, 0};
  return {0, 255};
}

float CalRealNegVoltage(int16_t item, int16_t reading) {
  const double k = NegRailGain(item);
  return static_cast<float>((reading * kVoltsPerCount - kNegRailPivot) * k + kNegRailPivot);
}

int16_t TransVoltageToLimitReg(int16_t item, float volts) {
  const double k = NegRailGain(item);
  if (k == 0) return 0;
  const double reg = ((volts - kNegRailPivot) / k + kNegRailPivot) / kVoltsPerCount;
  return static_cast<int16_t>(NearestClamped(reg, kInt16Min, kInt16Max));
}

int32_t VoltScaleFromReading(VoltScale scale, uint8_t reading) {
  return scale == VoltScale::Negated ? -static_cast<int32_t>(reading) : reading;
}

float VoltsFromScale(VoltScale scale, int item, int32_t value, float factor) {
  if (scale == VoltScale::Offset) {
    return CalRealNegVoltage(static_cast<int16_t>(item),
                             static_cast<int16_t>(NearestClamped(value, kInt16Min, kInt16Max)));
  }
  return factor * static_cast<float>(value);
}

int32_t VoltsToScale(VoltScale scale, int item, float volts, float factor) {
  if (scale == VoltScale::Offset) return TransVoltageToLimitReg(static_cast<int16_t>(item), volts);
  return NearestClamped(static_cast<double>(volts) / factor, kInt16Min, kInt16Max);
}

std::optional<double> FanRpm(uint8_t count, int16_t divisor) {
  if (count == kFanCountStopped) return std::nullopt;
  const int32_t c = count == 0 ? 1 : count;
  const int32_t d = divisor < 1 ? 1 : divisor;
  return kFanClockRpm / (static_cast<double>(c) * d);
}

int32_t FanLimitRpm(int32_t limitCount, int16_t divisor) {
  const int32_t c = limitCount < 1 ? 1 : limitCount;
  const int32_t d = divisor < 1 ? 1 : divisor;
  return NearestClamped(kFanClockRpm / (static_cast<double>(c) * d), 0,
                        std::numeric_limits<int32_t>::max());
}

std::string FanSpeedText(int32_t limitCount, int16_t divisor) {
  return FormatWithSign(FanLimitRpm(limitCount, divisor));
}

int32_t Temp0Degrees(uint8_t reg) {
  return reg < 128 ? reg : reg - 256;
}

int32_t TempHalfDegrees(uint8_t whole, uint8_t half) {
  int32_t v = 2 * whole + (half == 0x80 ? 1 : 0);
  if (v >= 256) v -= 512;
  return v;
}

double TempDegreesFromHalf(int32_t halfDegrees) {
  return halfDegrees / 2.0;
}

double CelsiusToFahrenheit(double degrees) {
  return degrees * 9 / 5 + 32;
}

}  // namespace vigilon::items
