// kestrel.ini, the driver stand-in's configuration: which chip it simulates, where the chip
// answers, its sensor inputs and the fault switches. Portable; the DLL reads it from its folder.
//
// Format: one `key = value` per line; keys are case-insensitive; blank lines and lines
// starting with ';' or '#' are ignored, as is anything after a ';' or '#' on a line.
//   model             ZR410 | ZR420 | ZR430 | ZR460
//   superio           0x2E | 0x4E | none   (none: the monitor answers at ports 0/1)
//   base              monitor base address, hex (0x290) or decimal, 0x100..0xFFFF
//   active            0 | 1               logical device 0x0B activation at power-up
//   vendor_id         0..0xFFFF            overrides the vendor identifier 0x5CA3
//   chip_id           0..0xFF              overrides the model's chip identifier
//   superio_id        0..0xFF              Super-I/O device identifier (0x52)
//   superio_revision  0..0xFF              Super-I/O revision (0x12; bit 4 needed by the program)
//   vid               0..31                processor VID code
//   vcore vcoreb v3_3 v5 v12 vn12 vn5 v5sb vbat   rail voltages, volts, -20..20
//   fan1 fan2 fan3    rpm, 0..100000, 0 = stopped
//   temp1 temp2 temp3 degrees Celsius, -128..127
//   chassis           open | closed
//   fault_load fault_bus fault_no_chip fault_shutdown_refused   0 | 1
// Every key is optional; a key given twice is an error. A missing file means the default
// healthy ZR420 at Super-I/O port 0x2E with its monitor at base 0x290.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

#include "sim/chip_sim.h"

namespace kestrel {

struct IniError {
  int line = 0;  // 1-based; 0 when the file as a whole is the problem
  std::string problem;
};

// The most kestrel.ini may hold; a larger file is refused whole, unread.
inline constexpr std::size_t kIniFileLimit = 64 * 1024;
IniError IniTooLarge();

// How much of a value from the file a message repeats: a value longer than this is cut and
// marked, so that no line of the file can make a message of its size.
inline constexpr std::size_t kEchoLimit = 80;

// "C:\prog\kestrel.ini, line 4: unknown key 'fan4'"
std::string DescribeIniError(const std::string& file, const IniError& error);

// The configuration a missing kestrel.ini stands for: a healthy ZR420 whose inputs all lie
// inside the program's default limits.
sim::Config DefaultKestrelConfig();

std::variant<sim::Config, IniError> ParseKestrelIni(std::string_view text);

// Reads and parses the file; a file that does not exist gives DefaultKestrelConfig().
std::variant<sim::Config, IniError> LoadKestrelIni(const std::filesystem::path& file);

}  // namespace kestrel
