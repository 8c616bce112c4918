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

constexpr std::size_t CountStateRegisters() {
  std::size_t n = 0;
  for (const RegRange& range : kStateRegs) n += range.last - range.first + 1u;
  return n;
}
static_assert(CountStateRegisters() == kStateRegisterCount);

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

StateValues GatherState(const sim::ChipSim& chip, const DriverStatus& status) {
  StateValues v;
  v.model = chip.config().model;
  v.superIoPort = chip.config().superIoPort;
  v.config = status.config;
  v.loaded = status.loaded;
  v.busReady = chip.BusReady();
  v.superIoDevice = {chip.SuperIoReg(0x0B, 0x30), chip.SuperIoReg(0x0B, 0x60),
                     chip.SuperIoReg(0x0B, 0x61)};
  v.monitorPort = chip.MonitorIndexPort();
  v.bankSelect = chip.Reg(0, 0x4E);
  std::size_t n = 0;
  for (const RegRange& range : kStateRegs)
    for (unsigned reg = range.first; reg <= range.last; ++reg)
      v.registers[n++] = chip.Reg(range.bank, static_cast<uint8_t>(reg));
  for (int item = 0; item < 16; ++item)
    if (chip.ItemAlarm(item)) v.alarms = static_cast<uint16_t>(v.alarms | 1u << item);
  v.beeping = chip.Beeping();
  v.beepWrites = chip.BeepEnableWrites();
  v.refusedCount = status.refusedCount;
  v.lastRefused = status.lastRefused;
  return v;
}

std::string FormatStateBody(const StateValues& v) {
  std::string out;
  out.reserve(2048);
  Line(out, "model", sim::ModelName(v.model));
  Line(out, "config", v.config);
  Line(out, "loaded", v.loaded ? "1" : "0");
  Line(out, "bus_ready", v.busReady ? "1" : "0");
  Line(out, "superio.port", v.superIoPort ? Hex(v.superIoPort, 2) : "none");
  const uint8_t deviceRegs[] = {0x30, 0x60, 0x61};
  for (std::size_t i = 0; i < v.superIoDevice.size(); ++i)
    Line(out, "superio.0b." + Hex(deviceRegs[i], 2), Hex(v.superIoDevice[i], 2));
  Line(out, "monitor.port", v.monitorPort ? Hex(*v.monitorPort, 4) : "none");
  Line(out, "bank_select", Hex(v.bankSelect, 2));
  std::size_t n = 0;
  for (const RegRange& range : kStateRegs)
    for (unsigned reg = range.first; reg <= range.last; ++reg)
      Line(out, "bank" + std::to_string(range.bank) + "." + Hex(reg, 2), Hex(v.registers[n++], 2));
  for (int item = 0; item < 16; ++item)
    Line(out, "alarm." + std::to_string(item), (v.alarms >> item & 1u) != 0 ? "1" : "0");
  Line(out, "beeping", v.beeping ? "1" : "0");
  Line(out, "beep_writes", std::to_string(v.beepWrites));
  Line(out, "refused.count", std::to_string(v.refusedCount));
  Line(out, "refused.last", v.lastRefused ? Hex(*v.lastRefused, 4) : "none");
  return out;
}

std::string FormatStateBody(const sim::ChipSim& chip, const DriverStatus& status) {
  return FormatStateBody(GatherState(chip, status));
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
