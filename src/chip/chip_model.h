// The chip-model table: what the identifier in bank 0 register 0x58 means to the system.
#pragma once

#include <cstdint>
#include <optional>

namespace vigilon::chip {

enum class Model : uint8_t { ZR410, ZR420, ZR430, ZR460 };

struct ChipModelEntry {
  Model model;
  const char* name;          // "ZR420"
  const char* settingsFile;  // the file name after the program folder, without separator
};

// The table entry for a chip identifier, or nothing for an identifier outside the table.
std::optional<ChipModelEntry> ChipModel(uint8_t chipId);

}  // namespace vigilon::chip
