// The chip-model table.
#include "chip/chip_model.h"

#include <array>

namespace vigilon::chip {

namespace {
struct Row {
  uint8_t id;
  ChipModelEntry entry;
};
// The settings file names keep the spelling the program has always used ("ZR460.dat").
constexpr std::array<Row, 5> kModels{{
    {0x10, {Model::ZR410, "ZR410", "zr410.dat"}},
    {0x11, {Model::ZR410, "ZR410", "zr410.dat"}},
    {0x30, {Model::ZR420, "ZR420", "zr420.dat"}},
    {0x40, {Model::ZR430, "ZR430", "zr430.dat"}},
    {0x21, {Model::ZR460, "ZR460", "ZR460.dat"}},
}};
}  // namespace

std::optional<ChipModelEntry> ChipModel(uint8_t chipId) {
  for (const Row& row : kModels)
    if (row.id == chipId) return row.entry;
  return std::nullopt;
}

}  // namespace vigilon::chip
