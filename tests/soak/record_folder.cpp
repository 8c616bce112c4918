// The soak's disk for the logs and the metrics file: checks each row against its header, its
// file's day and the row before, and each metrics file as a scraper would read it.
#include "soak/record_folder.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <vector>

namespace vigilon::soak {

namespace {

// Names beside the day files that the deletion of old days must leave alone.
constexpr const char* kNotDayFiles[] = {"notes.csv", "vigilon-2026-01-01.txt",
                                        "vigilon-2026-1-1.csv", "vigilon-2026-01-01.csv.bak"};
// Day files of long ago, which the first start deletes.
constexpr const char* kOldDayFiles[] = {"vigilon-2026-11-01.csv",
                                        "vigilon-events-2026-11-01-2.csv"};

// "YYYY-MM-DD HH:MM:SS" of a local time, as a spreadsheet reads the log's Time.
void FormatLocal(int64_t unixSeconds, int32_t offsetMinutes, char (&out)[32]) {
  using namespace std::chrono;
  const sys_seconds t{seconds{unixSeconds + int64_t{offsetMinutes} * 60}};
  const sys_days day = floor<days>(t);
  const year_month_day ymd{day};
  const hh_mm_ss clock{t - day};
  std::snprintf(out, sizeof out, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
}

bool IsNumber(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::string_view Field(std::string_view& rest) {
  const std::size_t comma = rest.find(',');
  const std::string_view field = rest.substr(0, comma);
  rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  return field;
}

std::string_view Name(const std::string& path) {
  return std::string_view(path).substr(path.rfind('/') + 1);
}

}  // namespace

RecordFolder::RecordFolder(std::string programFolder, int32_t utcOffsetMinutes)
    : folder_(std::move(programFolder)), offsetMinutes_(utcOffsetMinutes) {
  for (const char* name : kNotDayFiles) files[logFolder() + "/" + name] = {"x", '\n', 0};
  for (const char* name : kOldDayFiles) files[logFolder() + "/" + name] = {"Time", '\n', 0};
}

std::string_view RecordFolder::DayOfName(std::string_view name) {
  if (!name.starts_with("vigilon-") || !name.ends_with(".csv")) return {};
  name.remove_prefix(8);
  if (name.starts_with("events-")) name.remove_prefix(7);
  name.remove_suffix(4);
  if (name.size() < 10) return {};
  for (std::size_t i = 0; i < 10; ++i)
    if ((i == 4 || i == 7) != (name[i] == '-') || (name[i] != '-' && !std::isdigit(name[i])))
      return {};
  const std::string_view number = name.substr(10);
  if (!number.empty() &&
      (number.size() < 2 || number[0] != '-' || number[1] < '2' || !IsNumber(number.substr(1))))
    return {};
  return name.substr(0, 10);
}

void RecordFolder::Fault(const std::string& path, std::string_view line, const char* what) {
  if (!fault_.empty()) return;
  fault_ = path + ": " + what + ": \"" + std::string(line.substr(0, 200)) + "\"";
}

void RecordFolder::CheckRow(const std::string& path, const File& file, std::string_view line) {
  const std::string_view day = DayOfName(Name(path));
  if (line.size() < 19 || line.substr(0, 10) != day) Fault(path, line, "a row of another day");
  if (Name(path).starts_with("vigilon-events-")) return;
  ++readingRows_;
  std::string_view rest = line;
  const std::string_view time = Field(rest);
  const std::string_view unix = Field(rest);
  int64_t seconds = -1;
  std::from_chars(unix.data(), unix.data() + unix.size(), seconds);
  char local[32];
  FormatLocal(seconds, offsetMinutes_, local);
  if (time != local) Fault(path, line, "Time and Unix time disagree");
  if (seconds < lastUnix_) Fault(path, line, "a row older than the one before");
  lastUnix_ = seconds;
  // Every cell between them is empty or a number; the last is the cycle's state.
  std::size_t cells = 2;
  std::string_view cell;
  while (!rest.empty()) {
    cell = Field(rest);
    ++cells;
    if (!rest.empty() && !cell.empty() && !IsNumber(cell)) Fault(path, line, "not a number");
  }
  if (cell != "ok" && cell != "suspended" && cell != "chip not answering")
    Fault(path, line, "no state at its end");
  std::size_t columns = 1;
  for (const char c : file.head) columns += c == ',';
  if (cells != columns) Fault(path, line, "cells unlike the header's columns");
}

bool RecordFolder::Append(const std::string& path, std::string_view bytes) {
  if (unwritable) return false;
  File& file = files[path];
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) {
      Fault(path, bytes.substr(at), "a write that ends inside a line");
      end = bytes.size();
    }
    const std::string_view line = bytes.substr(at, end - at);
    at = end + 1;
    if (file.head.empty() && file.rows == 0) {
      file.head = line;
      continue;
    }
    ++file.rows;
    CheckRow(path, file, line);
  }
  if (!bytes.empty()) file.last = bytes.back();
  return true;
}

void RecordFolder::CheckMetrics(std::string_view text) {
  const std::string path = metricsPath();
  if (text.empty() || text.back() != '\n') return Fault(path, text, "no line end at its end");
  std::vector<std::string_view> typed;  // families with both HELP and TYPE so far
  std::string_view helped;
  bool up = false;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.starts_with("# HELP ")) {
      helped = line.substr(7, line.find(' ', 7) - 7);
    } else if (line.starts_with("# TYPE ")) {
      const std::string_view family = line.substr(7, line.find(' ', 7) - 7);
      if (family != helped) Fault(path, line, "a TYPE without its HELP");
      typed.push_back(family);
    } else {
      const std::size_t nameEnd = line.find_first_of("{ ");
      const std::string_view name = line.substr(0, nameEnd);
      std::size_t valueAt = nameEnd;
      if (nameEnd != std::string_view::npos && line[nameEnd] == '{') {
        valueAt = line.find("} ", nameEnd);
        if (valueAt != std::string_view::npos) ++valueAt;
      }
      if (valueAt == std::string_view::npos || line[valueAt] != ' ' ||
          !IsNumber(line.substr(valueAt + 1)))
        Fault(path, line, "a sample that does not parse");
      if (std::find(typed.begin(), typed.end(), name) == typed.end())
        Fault(path, line, "a sample of a family without HELP and TYPE");
      up = up || name == "vigilon_up";
    }
  }
  if (!up) Fault(path, text, "no vigilon_up");
}

bool RecordFolder::Replace(const std::string& path, const std::string&, std::string_view bytes) {
  ++replaces_;
  if (unwritable) return false;
  if (path == metricsPath()) CheckMetrics(bytes);
  File& file = files[path];
  file.head = bytes.substr(0, bytes.find('\n'));
  file.last = bytes.empty() ? 0 : bytes.back();
  return true;
}

platform::FilePart RecordFolder::Read(const std::string& path, std::size_t maxBytes, bool fromEnd) {
  platform::FilePart part;
  if (Name(path) == "vigilon.ini") {
    part.status = platform::FilePart::Status::Ok;
    part.bytes = options.substr(0, maxBytes);
    part.size = options.size();
    return part;
  }
  const auto it = files.find(path);
  if (it == files.end()) {
    part.status = platform::FilePart::Status::Missing;
    return part;
  }
  // Only the first line and the last byte are ever asked for.
  part.status = platform::FilePart::Status::Ok;
  part.bytes = fromEnd ? std::string(1, it->second.last) : it->second.head + "\n";
  part.size = 1 + it->second.head.size();
  return part;
}

bool RecordFolder::ListFolder(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  for (const auto& [path, file] : files)
    if (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/' &&
        path.find('/', folder.size() + 1) == std::string::npos)
      names.emplace_back(Name(path));
  return true;
}

void RecordFolder::CheckKept(int keepDays, int64_t unixMs) {
  char today[32];
  FormatLocal(unixMs / 1000 - int64_t{keepDays - 1} * 86400, offsetMinutes_, today);
  const std::string_view oldest(today, 10);
  for (const char* name : kNotDayFiles)
    if (!files.count(logFolder() + "/" + name)) Fault(logFolder(), name, "a file not ours gone");
  for (const auto& [path, file] : files) {
    if (!path.starts_with(logFolder() + "/")) continue;
    const std::string_view day = DayOfName(Name(path));
    if (!day.empty() && day < oldest) Fault(path, day, "a day older than KeepDays kept");
  }
}

}  // namespace vigilon::soak
