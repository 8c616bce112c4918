// The display formats of readings and limits: "0.00", "0.0", "#,###", the decimal text with a
// leading space for speeds, and the shortest text of a number. Locale-independent: '.' is the
// decimal point and ',' the thousands separator everywhere.
#pragma once

#include <cstdint>
#include <string>

namespace vigilon::items {

// Fixed decimals ("0.00" is 2, "0.0" is 1). The number is first taken to 15 significant digits
// (7 for a single), then rounded half away from zero on that decimal text, so 1.005 gives
// "1.01". A result of zero carries no minus sign.
std::string FormatFixed(double value, int decimals);
std::string FormatFixed(float value, int decimals);

// "#,###": whole number with ',' between groups of three; zero gives an empty text.
std::string FormatThousands(double value);

// A whole number as decimal text, with one leading space when it is not negative (" 2009").
std::string FormatWithSign(int32_t value);

// The shortest text of a number, up to 15 significant digits ("-40", "260.6").
std::string FormatGeneral(double value);

}  // namespace vigilon::items
