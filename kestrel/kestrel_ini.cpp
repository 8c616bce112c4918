// The kestrel.ini parser: a table of keys, each with its value parser and range.
#include "kestrel/kestrel_ini.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>

namespace kestrel {
namespace {

// An empty optional means success; otherwise the problem, without the line number.
using Problem = std::optional<std::string>;

std::string_view Trim(std::string_view s) {
  const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// Messages are built by appending: prepending to a temporary string trips a false
// -Wrestrict in the cross compiler's optimiser.
std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out.append(part);
  return out;
}

// A value from the file as a message repeats it: at most kEchoLimit characters of it.
std::string Echo(std::string_view text) {
  if (text.size() <= kEchoLimit) return std::string(text);
  return Join({text.substr(0, kEchoLimit - 3), "..."});
}

std::string Hex(long value) {
  std::ostringstream out;
  out << "0x" << std::uppercase << std::hex << value;
  return out.str();
}

// Hex with a 0x prefix, or decimal, within [lo, hi].
Problem ParseInteger(std::string_view text, std::string_view key, long lo, long hi, long& out) {
  std::string_view digits = text;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    base = 16;
  }
  long value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || ec == std::errc::invalid_argument || end != digits.data() + digits.size())
    return Join({"'", Echo(text), "' is not a number (", key, ")"});
  const bool hex = base == 16 || hi > 255;
  if (ec == std::errc::result_out_of_range || value < lo || value > hi)
    return Join({key, " = ", Echo(text), " is out of range ", hex ? Hex(lo) : std::to_string(lo),
                 "..", hex ? Hex(hi) : std::to_string(hi)});
  out = value;
  return std::nullopt;
}

Problem ParseReal(std::string_view text, std::string_view key, double lo, double hi, double& out) {
  const std::string_view original = text;
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec == std::errc::invalid_argument || end != text.data() + text.size() ||
      !std::isfinite(value))
    return Join({"'", Echo(original), "' is not a number (", key, ")"});
  if (ec == std::errc::result_out_of_range || value < lo || value > hi) {
    std::ostringstream range;
    range << key << " = " << Echo(original) << " is out of range " << lo << ".." << hi;
    return range.str();
  }
  out = value;
  return std::nullopt;
}

Problem ParseSwitch(std::string_view text, std::string_view key, bool& out) {
  if (text != "0" && text != "1") return Join({key, " must be 0 or 1, not '", Echo(text), "'"});
  out = text == "1";
  return std::nullopt;
}

template <typename T>
Problem ParseUnsigned(std::string_view text, std::string_view key, long hi, T& out) {
  long value = 0;
  if (Problem p = ParseInteger(text, key, 0, hi, value)) return p;
  out = static_cast<T>(value);
  return std::nullopt;
}

template <typename T>
Problem ParseOptionalUnsigned(std::string_view text, std::string_view key, long hi,
                              std::optional<T>& out) {
  T value{};
  if (Problem p = ParseUnsigned(text, key, hi, value)) return p;
  out = value;
  return std::nullopt;
}

constexpr double kRailLimit = 20.0;
constexpr double kMaxRpm = 100000.0;
constexpr double kMinCelsius = -128.0;
constexpr double kMaxCelsius = 127.0;

using Setter = Problem (*)(std::string_view value, std::string_view key, sim::Config& config);

struct KeyRule {
  const char* name;
  Setter set;
};

template <int Rail>
Problem SetRail(std::string_view v, std::string_view k, sim::Config& c) {
  return ParseReal(v, k, -kRailLimit, kRailLimit, c.sensors.volts[Rail]);
}
template <int Fan>
Problem SetFan(std::string_view v, std::string_view k, sim::Config& c) {
  return ParseReal(v, k, 0, kMaxRpm, c.sensors.rpm[Fan]);
}
template <int Sensor>
Problem SetTemp(std::string_view v, std::string_view k, sim::Config& c) {
  return ParseReal(v, k, kMinCelsius, kMaxCelsius, c.sensors.celsius[Sensor]);
}

const KeyRule kKeys[] = {
    {"model",
     [](std::string_view v, std::string_view, sim::Config& c) -> Problem {
       const auto model = sim::ModelFromName(std::string(v));
       if (!model) return Join({"model must be ZR410, ZR420, ZR430 or ZR460, not '", Echo(v), "'"});
       c.model = *model;
       return std::nullopt;
     }},
    {"superio",
     [](std::string_view v, std::string_view k, sim::Config& c) -> Problem {
       if (Lower(v) == "none") {
         c.superIoPort = 0;
         return std::nullopt;
       }
       long port = 0;
       if (ParseInteger(v, k, 0, 0xFFFF, port) || (port != 0x2E && port != 0x4E))
         return Join({"superio must be 0x2E, 0x4E or none, not '", Echo(v), "'"});
       c.superIoPort = static_cast<uint16_t>(port);
       return std::nullopt;
     }},
    {"base",
     [](std::string_view v, std::string_view k, sim::Config& c) -> Problem {
       long base = 0;
       if (Problem p = ParseInteger(v, k, 0, 0xFFFF, base)) return p;
       // The driver would grant the program this base's index/data pair: never ports of the
       // system board's own, the configuration ports among them.
       if (base < sim::kLowestMonitorBase)
         return Join({"base = ", Echo(v), " is below ", Hex(sim::kLowestMonitorBase),
                      ": its index/data pair would lie among the system's own ports"});
       c.monitorBase = static_cast<uint16_t>(base);
       return std::nullopt;
     }},
    {"active", [](std::string_view v, std::string_view k,
                  sim::Config& c) { return ParseSwitch(v, k, c.monitorActive); }},
    {"vendor_id", [](std::string_view v, std::string_view k,
                     sim::Config& c) { return ParseOptionalUnsigned(v, k, 0xFFFF, c.vendorId); }},
    {"chip_id", [](std::string_view v, std::string_view k,
                   sim::Config& c) { return ParseOptionalUnsigned(v, k, 0xFF, c.chipId); }},
    {"superio_id", [](std::string_view v, std::string_view k,
                      sim::Config& c) { return ParseUnsigned(v, k, 0xFF, c.superIoId); }},
    {"superio_revision",
     [](std::string_view v, std::string_view k, sim::Config& c) {
       return ParseUnsigned(v, k, 0xFF, c.superIoRevision);
     }},
    {"vid",
     [](std::string_view v, std::string_view k, sim::Config& c) {
       long value = 0;
       if (Problem p = ParseInteger(v, k, 0, 31, value)) return p;
       c.vid = static_cast<uint8_t>(value);
       return Problem{};
     }},
    {"vcore", SetRail<0>},
    {"vcoreb", SetRail<1>},
    {"v3_3", SetRail<2>},
    {"v5", SetRail<3>},
    {"v12", SetRail<4>},
    {"vn12", SetRail<5>},
    {"vn5", SetRail<6>},
    {"v5sb", SetRail<7>},
    {"vbat", SetRail<8>},
    {"fan1", SetFan<0>},
    {"fan2", SetFan<1>},
    {"fan3", SetFan<2>},
    {"temp1", SetTemp<0>},
    {"temp2", SetTemp<1>},
    {"temp3", SetTemp<2>},
    {"chassis",
     [](std::string_view v, std::string_view, sim::Config& c) -> Problem {
       const std::string value = Lower(v);
       if (value != "open" && value != "closed")
         return Join({"chassis must be open or closed, not '", Echo(v), "'"});
       c.sensors.chassisOpen = value == "open";
       return std::nullopt;
     }},
    {"fault_load", [](std::string_view v, std::string_view k,
                      sim::Config& c) { return ParseSwitch(v, k, c.loadFails); }},
    {"fault_bus", [](std::string_view v, std::string_view k,
                     sim::Config& c) { return ParseSwitch(v, k, c.busInitFails); }},
    {"fault_no_chip", [](std::string_view v, std::string_view k,
                         sim::Config& c) { return ParseSwitch(v, k, c.noChip); }},
    {"fault_shutdown_refused", [](std::string_view v, std::string_view k,
                                  sim::Config& c) { return ParseSwitch(v, k, c.shutdownRefused); }},
};

const KeyRule* FindKey(const std::string& key) {
  for (const auto& rule : kKeys)
    if (key == rule.name) return &rule;
  return nullptr;
}

}  // namespace

IniError IniTooLarge() {
  return IniError{0, "is larger than 64 KiB: no configuration is that long"};
}

std::string DescribeIniError(const std::string& file, const IniError& error) {
  if (error.line <= 0) return file + ": " + error.problem;
  return file + ", line " + std::to_string(error.line) + ": " + error.problem;
}

// The simulator's own defaults are a healthy ZR420 at 0x2E, base 0x290.
sim::Config DefaultKestrelConfig() {
  return sim::Config{};
}

std::variant<sim::Config, IniError> ParseKestrelIni(std::string_view text) {
  sim::Config config = DefaultKestrelConfig();
  std::map<std::string, int> seen;                                 // key -> line it was set on
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // editors' byte-order mark
  int lineNumber = 0;
  while (!text.empty() || lineNumber == 0) {
    ++lineNumber;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    const size_t comment = line.find_first_of(";#");
    if (comment != std::string_view::npos) line = line.substr(0, comment);
    line = Trim(line);
    if (line.empty()) continue;

    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
      return IniError{lineNumber, Join({"'", Echo(line), "' is not of the form key = value"})};
    const std::string key = Lower(Trim(line.substr(0, eq)));
    const std::string_view value = Trim(line.substr(eq + 1));
    if (key.empty()) return IniError{lineNumber, "missing key before '='"};
    const KeyRule* rule = FindKey(key);
    if (!rule) return IniError{lineNumber, Join({"unknown key '", Echo(key), "'"})};
    if (auto [it, fresh] = seen.emplace(key, lineNumber); !fresh)
      return IniError{lineNumber,
                      Join({"'", key, "' is already set on line ", std::to_string(it->second)})};
    if (value.empty()) return IniError{lineNumber, Join({"missing value for '", key, "'"})};
    if (Problem p = rule->set(value, key, config)) return IniError{lineNumber, *p};
  }
  return config;
}

std::variant<sim::Config, IniError> LoadKestrelIni(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec) && !ec) return DefaultKestrelConfig();
  std::ifstream in(file, std::ios::binary);
  if (!in) return IniError{0, "cannot be read"};
  std::string content(kIniFileLimit + 1, '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (in.bad()) return IniError{0, "cannot be read"};
  content.resize(static_cast<std::size_t>(in.gcount()));
  if (content.size() > kIniFileLimit) return IniTooLarge();
  return ParseKestrelIni(content);
}

}  // namespace kestrel
