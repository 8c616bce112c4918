// Number, time and name texts of the record files.
#include "records/text_out.h"

#include <charconv>
#include <cmath>

#include "items/items.h"

namespace vigilon::records {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date, and back (the civil-calendar algorithms
// over 400-year eras).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

LocalTime DateOfDay(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  return {static_cast<int>(y), m, d, 0, 0, 0, z - 719468};
}

bool DayOfDate(int year, int month, int day, int64_t& dayNumber) {
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  dayNumber = DaysFromCivil(year, month, day);
  const LocalTime back = DateOfDay(dayNumber);
  return back.year == year && back.month == month && back.day == day;
}

LocalTime ToLocalTime(int64_t unixMs, int32_t utcOffsetMinutes) {
  const int64_t seconds = FloorDiv(unixMs, 1000) + int64_t{utcOffsetMinutes} * 60;
  const int64_t day = FloorDiv(seconds, 86400);
  const int64_t inDay = seconds - day * 86400;
  LocalTime t = DateOfDay(day);
  t.hour = static_cast<int>(inDay / 3600);
  t.minute = static_cast<int>(inDay / 60 % 60);
  t.second = static_cast<int>(inDay % 60);
  return t;
}

void AppendFixed(std::string& out, double value, int decimals) {
  char text[48];
  if (!std::isfinite(value)) value = 0;
  // A value that rounds to zero is written without a sign.
  if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  out.append(text, r.ec == std::errc() ? r.ptr : text);
}

void AppendInt(std::string& out, int64_t value) {
  char text[24];
  const auto r = std::to_chars(text, text + sizeof text, value);
  out.append(text, r.ptr);
}

void AppendTwoDigits(std::string& out, int value) {
  out.push_back(static_cast<char>('0' + value / 10 % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

void AppendDate(std::string& out, const LocalTime& t) {
  AppendInt(out, t.year);
  out.push_back('-');
  AppendTwoDigits(out, t.month);
  out.push_back('-');
  AppendTwoDigits(out, t.day);
}

void AppendDateTime(std::string& out, const LocalTime& t) {
  AppendDate(out, t);
  out.push_back(' ');
  AppendTwoDigits(out, t.hour);
  out.push_back(':');
  AppendTwoDigits(out, t.minute);
  out.push_back(':');
  AppendTwoDigits(out, t.second);
}

void AppendCsvCell(std::string& out, std::string_view cell) {
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(cell);
    return;
  }
  out.push_back('"');
  for (const char c : cell) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

std::string_view ItemName(const chip::ChipTraits& model, int item) {
  if (item == 0 && model.vcoreLayout) return "Vcore";
  if (item == items::kChassisItem) return "Chassis";
  return items::ItemTable()[item].mainCaption;
}

}  // namespace vigilon::records
