// Display formats, computed on the decimal digits of the number so that neither the C locale
// nor the binary rounding of a multiplication decides a displayed digit.
#include "items/number_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace vigilon::items {

namespace {

struct Rounded {
  bool negative;
  std::string units;  // |value| x 10^decimals, rounded, as decimal digits without leading zeros
};

// Rounds |value| to `decimals` places from its first `significant` digits, half away from zero.
Rounded RoundDecimal(double value, int significant, int decimals) {
  std::array<char, 64> buf{};
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                                 std::chars_format::scientific, significant - 1);
  // d.ddddde[+-]xx, read in place: the monitoring cycle formats every reading, and a copy of
  // this text would not fit a string's own buffer.
  const std::string_view text(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
  std::string digits;
  std::size_t pos = 0;
  for (; pos < text.size() && text[pos] != 'e'; ++pos)
    if (text[pos] != '.') digits += text[pos];
  int exponent = 0;
  const char* e = text.data() + pos + 1;
  if (*e == '+') ++e;  // from_chars takes a minus sign only
  std::from_chars(e, text.data() + text.size(), exponent);

  // Digits whose place value is at least 10^-decimals.
  const int keep = exponent + decimals + 1;
  std::string units(1, '0');
  bool roundUp = false;
  if (keep >= static_cast<int>(digits.size())) {
    units = digits;
    units.append(keep - digits.size(), '0');
  } else if (keep > 0) {
    units.assign(digits, 0, keep);
    roundUp = digits[keep] >= '5';
  } else if (keep == 0) {
    roundUp = digits[0] >= '5';
  }
  if (roundUp) {
    int i = static_cast<int>(units.size()) - 1;
    for (; i >= 0 && units[i] == '9'; --i) units[i] = '0';
    if (i < 0) {
      std::string carried(1, '1');
      carried += units;
      units.swap(carried);
    } else {
      ++units[i];
    }
  }
  const std::size_t firstNonZero = units.find_first_not_of('0');
  units = firstNonZero == std::string::npos ? "0" : units.substr(firstNonZero);
  return {std::signbit(value) && units != "0", units};
}

std::string Fixed(double value, int significant, int decimals) {
  if (!std::isfinite(value)) return FormatGeneral(value);
  if (decimals < 0) decimals = 0;
  const Rounded r = RoundDecimal(value, significant, decimals);
  // At least one digit before the point.
  const std::size_t width = static_cast<std::size_t>(decimals) + 1;
  std::string units(r.units.size() < width ? width - r.units.size() : 0, '0');
  units += r.units;
  std::string out;
  if (r.negative) out += '-';
  out.append(units, 0, units.size() - decimals);
  if (decimals > 0) {
    out += '.';
    out.append(units, units.size() - decimals, std::string::npos);
  }
  return out;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
  return Fixed(value, 15, decimals);
}
std::string FormatFixed(float value, int decimals) {
  return Fixed(value, 7, decimals);
}

std::string FormatThousands(double value) {
  if (!std::isfinite(value)) return FormatGeneral(value);
  const Rounded r = RoundDecimal(value, 15, 0);
  if (r.units == "0") return "";
  std::string out;
  if (r.negative) out += '-';
  const std::size_t n = r.units.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ',';
    out += r.units[i];
  }
  return out;
}

std::string FormatWithSign(int32_t value) {
  std::string out;
  if (value >= 0) out += ' ';
  out += std::to_string(value);
  return out;
}

std::string FormatGeneral(double value) {
  std::array<char, 64> buf{};
  const auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 15);
  return std::string(buf.data(), res.ptr);
}

}  // namespace vigilon::items
