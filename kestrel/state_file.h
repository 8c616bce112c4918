// kestrel.state: the simulated chip as the outside (the Wine end-to-end tests) sees it. The
// driver stand-in rewrites the whole file, through a temporary file, whenever it changes.
//
// Format: text, one `key=value` per line, '\n' line ends, keys in this order:
//   serial=N                 increases by one with every write (first write: 1)
//   model=ZR420              the model simulated
//   config=ok                kestrel.ini's last reading; or `config=error: <file, line: problem>`
//                            (the chip then keeps the configuration read before)
//   loaded=0|1               LoadKestrelVxD has succeeded
//   bus_ready=0|1            InitialBus has succeeded
//   superio.port=2e|4e|none  where the Super-I/O device answers
//   superio.0b.30=01         logical device 0x0B: activation, base high, base low (hex)
//   superio.0b.60=02
//   superio.0b.61=90
//   monitor.port=0295|none   the index port at which the monitor answers now (hex)
//   bank_select=80           register 0x4E (hex)
//   bankB.RR=HH              register RR of bank B, hex, for bank 0 0x20-0x5f, banks 1 and 2
//                            0x50-0x56, bank 4 0x53, bank 5 0x50-0x57 (status, vendor and chip
//                            identifier registers as a read would return them)
//   alarm.N=0|1              the chip's own alarm of item N, 0..15
//   beeping=0|1              the beeper sounds
//   beep_writes=N            writes of the beep enable registers so far (bank 0 0x56, 0x57,
//                            bank 4 0x53)
//   refused.count=N          port accesses refused so far
//   refused.last=PPPP|none   the last refused port (hex)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "sim/chip_sim.h"

namespace kestrel {

// What the driver knows beyond the chip's own state.
struct DriverStatus {
  std::string config = "ok";
  bool loaded = false;
  uint32_t refusedCount = 0;
  std::optional<uint16_t> lastRefused;
};

// The bank registers the file shows: bank 0 0x20-0x5f, banks 1 and 2 0x50-0x56, bank 4 0x53,
// bank 5 0x50-0x57.
inline constexpr std::size_t kStateRegisterCount = 64 + 7 + 7 + 1 + 8;

// Everything the body shows, as raw values. The body is made from these alone, so the driver,
// asked after every port access, formats and rewrites the file only when they changed.
struct StateValues {
  sim::Model model = sim::Model::ZR420;
  uint16_t superIoPort = 0;
  std::string config;
  bool loaded = false;
  bool busReady = false;
  std::array<uint8_t, 3> superIoDevice{};  // logical device 0x0B: 0x30, 0x60, 0x61
  std::optional<uint16_t> monitorPort;
  uint8_t bankSelect = 0;
  std::array<uint8_t, kStateRegisterCount> registers{};
  uint16_t alarms = 0;  // bit N: item N
  bool beeping = false;
  uint32_t beepWrites = 0;
  uint32_t refusedCount = 0;
  std::optional<uint16_t> lastRefused;
  bool operator==(const StateValues&) const = default;
};

StateValues GatherState(const sim::ChipSim& chip, const DriverStatus& status);

// Everything after the serial line.
std::string FormatStateBody(const StateValues& values);
std::string FormatStateBody(const sim::ChipSim& chip, const DriverStatus& status);

// The whole file: the serial line, then the body.
std::string FormatStateFile(uint64_t serial, const std::string& body);

// Reads the format back into key -> value; lines without '=' are skipped.
std::map<std::string, std::string> ParseStateText(std::string_view text);

}  // namespace kestrel
