// Formatting of kestrel.state from the simulator's registers, alarms and the driver's status.
#include "kestrel/state_file.h"

#include <array>
#include <cstdio>

namespace kestrel {
namespace {

struct RegRange {
  int bank;
  uint8_t first;
  uint8_t last;
};
// The registers the program touches, plus their neighbours in bank 0.
constexpr std::array<RegRange, 5> kStateRegs{{
    {0, 0x20, 0x5F},
    {1, 0x50, 0x56},
    {2, 0x50, 0x56},
    {4, 0x53, 0x53},
    {5, 0x50, 0x57},
}};

std::string Hex(unsigned value, int digits) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%0*x", digits, value);
  return buffer;
}

void Line(std::string& out, const std::string& key, const std::string& value) {
  out += key;
  out += '=';
  out += value;
  out += '\n';
}

}  // namespace

std::string FormatStateBody(const sim::ChipSim& chip, const DriverStatus& status) {
  const sim::Config& config = chip.config();
  std::string out;
  out.reserve(2048);
  Line(out, "model", sim::ModelName(config.model));
  Line(out, "config", status.config);
  Line(out, "loaded", status.loaded ? "1" : "0");
  Line(out, "bus_ready", chip.BusReady() ? "1" : "0");
  Line(out, "superio.port", config.superIoPort ? Hex(config.superIoPort, 2) : "none");
  for (uint8_t reg : {0x30, 0x60, 0x61})
    Line(out, "superio.0b." + Hex(reg, 2), Hex(chip.SuperIoReg(0x0B, reg), 2));
  const auto monitor = chip.MonitorIndexPort();
  Line(out, "monitor.port", monitor ? Hex(*monitor, 4) : "none");
  Line(out, "bank_select", Hex(chip.Reg(0, 0x4E), 2));
  for (const RegRange& range : kStateRegs)
    for (unsigned reg = range.first; reg <= range.last; ++reg)
      Line(out, "bank" + std::to_string(range.bank) + "." + Hex(reg, 2),
           Hex(chip.Reg(range.bank, static_cast<uint8_t>(reg)), 2));
  for (int item = 0; item < 16; ++item)
    Line(out, "alarm." + std::to_string(item), chip.ItemAlarm(item) ? "1" : "0");
  Line(out, "beeping", chip.Beeping() ? "1" : "0");
  Line(out, "beep_writes", std::to_string(chip.BeepEnableWrites()));
  Line(out, "refused.count", std::to_string(status.refusedCount));
  Line(out, "refused.last", status.lastRefused ? Hex(*status.lastRefused, 4) : "none");
  return out;
}

std::string FormatStateFile(uint64_t serial, const std::string& body) {
  return "serial=" + std::to_string(serial) + "\n" + body;
}

std::map<std::string, std::string> ParseStateText(std::string_view text) {
  std::map<std::string, std::string> values;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    values[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
  }
  return values;
}

}  // namespace kestrel
