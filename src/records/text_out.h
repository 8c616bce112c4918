// Appending numbers, local times and item names to a text in reserved memory: '.' decimals
// whatever the locale, and no allocation while the text fits what was reserved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "chip/chip_model.h"

namespace vigilon::records {

// A local calendar time, from a UTC instant and the offset of the local time then.
struct LocalTime {
  int year, month, day, hour, minute, second;
  int64_t dayNumber;  // days since 1970-01-01, local
};
LocalTime ToLocalTime(int64_t unixMs, int32_t utcOffsetMinutes);
// The calendar date of a day number (days since 1970-01-01).
LocalTime DateOfDay(int64_t dayNumber);
// The day number of a calendar date; nothing for a date that does not exist.
bool DayOfDate(int year, int month, int day, int64_t& dayNumber);

void AppendFixed(std::string& out, double value, int decimals);
void AppendInt(std::string& out, int64_t value);
void AppendTwoDigits(std::string& out, int value);
void AppendDate(std::string& out, const LocalTime& t);      // YYYY-MM-DD
void AppendDateTime(std::string& out, const LocalTime& t);  // YYYY-MM-DD HH:MM:SS
// A CSV cell: quoted, with its quotes doubled, when it holds a comma, a quote or a line break.
void AppendCsvCell(std::string& out, std::string_view cell);

// An item as the main window names it ("Vcore" for the core rail where the model calls it so);
// the chassis item, which has no caption there, is "Chassis".
std::string_view ItemName(const chip::ChipTraits& model, int item);

}  // namespace vigilon::records
