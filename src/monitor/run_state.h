// The one state object of a run: created by start-up and handed down to every window.
#pragma once

#include <cstdint>
#include <string>

#include "chip/chip_access.h"
#include "chip/chip_features.h"
#include "items/items.h"
#include "items/settings_file.h"
#include "platform/platform.h"

namespace vigilon {

struct RunState {
  RunState(chip::PortIo& io, platform::Platform& platform, items::SettingsFiles& files)
      : chip(io), platform(platform), files(files) {}
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;

  chip::ChipAccess chip;  // holds SuperIoPort and MonitorPort
  platform::Platform& platform;
  items::SettingsFiles& files;

  // Chip identification, fixed after start.
  uint8_t SuperIoActivation = 0;  // logical device 0x0B register 0x30 as found, restored at exit
  uint32_t VendorId = 0;
  uint8_t ChipId = 0;

  // Item flags (ItemPresent and ItemBeepCapable included), limit tables and settings.
  items::ItemTables items;
  // The smart-fan thresholds and fan-drive selectors of the chip model, and the fan-limit guard.
  chip::SmartFanTables smartFan;

  bool MonitorSuspended = false;
  std::string HelpFile;  // the application's help file, in the program's folder

  // Where this model's settings file lives.
  items::SettingsLocation SettingsLocation() {
    return {platform.ProgramFolder(), platform.PathSeparator(), ChipId};
  }
};

}  // namespace vigilon
