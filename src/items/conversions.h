// Conversions between raw register values and volts, revolutions per minute and degrees,
// in both directions, with the chip-model differences of the negative rails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "chip/chip_model.h"
#include "chip/item_numbers.h"

namespace vigilon::items {

// The nearest integer, halves to the even neighbour (35.5 -> 36, 36.5 -> 36), independent of
// the floating-point environment.
double Nearest(double x);
// Nearest, then brought into [lo, hi]; NaN gives the value in [lo, hi] closest to 0. Every
// conversion to an integer goes through here, so no out-of-range value reaches an integer type.
int32_t NearestClamped(double x, int32_t lo, int32_t hi);

// ---- Voltages ----

// How an item's reading becomes a value of its scale (the unit of its slider and up-downs).
enum class VoltScale : uint8_t {
  Count,    // the register count 0..255; volts = count x VoltFactor
  Negated,  // minus the count, -255..0; volts = scale x VoltFactor (the first model's -12 V, -5 V)
  Offset,   // the register count 0..255; volts by CalRealNegVoltage (the later models' -12 V, -5 V)
};

// Items 5 and 6 differ by model.
VoltScale VoltScaleFor(const chip::ChipTraits& model, int item);

struct ScaleRange {
  int32_t min, max;
};
// The scale values the chip's one-byte registers can hold for this kind of item.
ScaleRange RegisterScaleRange(VoltScale scale);

// Volts of a negative rail on the later models: (r x 0.016 - 3.6) x k + 3.6 with k = 5.14 for
// item 5, 3.14 for item 6 and 0 for any other item.
float CalRealNegVoltage(int16_t item, int16_t reading);
// The inverse: nearest(((v - 3.6) / k + 3.6) / 0.016); 0 for an item without a k.
int16_t TransVoltageToLimitReg(int16_t item, float volts);

int32_t VoltScaleFromReading(VoltScale scale, uint8_t reading);
// Volts of a scale value; `factor` is the item's VoltFactor (unused by Offset).
float VoltsFromScale(VoltScale scale, int item, int32_t value, float factor);
// The scale value of a voltage, not yet capped to the register range (the callers cap the top
// of a control range at 255 where they need to); saturates at the int16 limits.
int32_t VoltsToScale(VoltScale scale, int item, float volts, float factor);

// ---- Fans ----

inline constexpr double kFanClockRpm = 1350000.0;

// Revolutions per minute of a fan count: nothing for a stopped fan, count 0 taken as 1.
// A divisor below 1 (only an edited settings file can hold one) is taken as 1.
std::optional<double> FanRpm(uint8_t count, int16_t divisor);
// The rpm equivalent of a count limit, nearest(1350000 / (divisor x limit)); a limit of 0 (the
// top of the up-down) is taken as 1 like a reading.
int32_t FanLimitRpm(int32_t limitCount, int16_t divisor);
// The speed text of a count limit: its rpm as a decimal number after one space (" 2009").
std::string FanSpeedText(int32_t limitCount, int16_t divisor);

// ---- Temperatures ----

// Sensor 0 (item 12): a signed byte of whole degrees.
int32_t Temp0Degrees(uint8_t reg);

// Sensors 1 and 2 (items 13, 14): nine bits of half degrees. The half-degree register counts
// only when it holds exactly 0x80.
int32_t TempHalfDegrees(uint8_t whole, uint8_t half);
double TempDegreesFromHalf(int32_t halfDegrees);

double CelsiusToFahrenheit(double degrees);

}  // namespace vigilon::items
