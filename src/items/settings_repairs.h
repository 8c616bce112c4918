// The repairs a loaded settings file may need: values only an edited or damaged file can hold,
// brought to what the windows and the chip can use.
#pragma once

#include <string>
#include <vector>

#include "chip/chip_model.h"
#include "items/items.h"

namespace vigilon::items {

// Repairs the working tables in place; one line per value changed, naming the field, the old
// and the new value ("FanDivisor(1) was 1, now 8 (...)").
std::vector<std::string> RepairSettingsTables(ItemTables& tables, const chip::ChipTraits& model);

}  // namespace vigilon::items
