// The one state object of a run: created by start-up and handed down to every window. Windows
// sit above it as siblings; where a lower window must reach a higher one, it calls a hook the
// higher window installed here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chip/chip_model.h"
#include "chip/monitor_chip.h"
#include "items/items.h"
#include "items/settings_file.h"
#include "platform/icon_files.h"
#include "platform/platform.h"
#include "run/cycle_readings.h"
#include "run/fan_keeper.h"
#include "run/run_events.h"

namespace vigilon {

struct RunState {
  RunState(chip::PortIo& io, platform::Platform& platform, items::SettingsFiles& files)
      : chip(io), platform(platform), files(files), icons(platform) {
    observers.reserve(kObserverRoom);
  }
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;

  chip::MonitorChip chip;  // the only way to the chip
  platform::Platform& platform;
  items::SettingsFiles& files;
  // The icons the cycle shows in the window and the notification area, loaded once. They end
  // with the run, after the main window and its tray entry.
  platform::IconFiles icons;
  // Told what happens in the run that a record of it keeps (the events log).
  RunEvents events;

  // Chip identification, fixed after start.
  uint8_t SuperIoActivation = 0;  // logical device 0x0B register 0x30 as found, restored at exit
  uint32_t VendorId = 0;
  uint8_t ChipId = 0;
  // The model's traits row, resolved once from ChipId and held by the chip. Start-up goes no
  // further without one, so every window may rely on it.
  const chip::ChipTraits& traits() const { return chip.traits(); }

  // Item flags (ItemPresent and ItemBeepCapable included), limit tables and settings.
  items::ItemTables items;
  // The smart-fan thresholds, fan-drive selectors and states of the chip model.
  chip::SmartFanTables smartFan;
  // Which fans the program holds stopped; every switch of a fan goes through it.
  FanKeeper fans{chip, items.ItemEnabled};

  bool MonitorSuspended = false;
  // The chip read all ones at the end of a cycle: writes since may not have reached it.
  bool ChipSilent = false;
  // False while the main window sets its rows up: the limit handlers then leave the chip alone.
  bool PanelReady = false;
  // Bad readings per item since its last good one or its last dialog.
  std::array<int16_t, items::kItemCount> ItemWarnCount{};
  std::string HelpFile;  // the application's help file, in the program's folder
  // The one notification-area record: filled when the window hides to the tray; the polling
  // cycle only replaces its icon.
  platform::NotifyIconRecord TrayIconData{};

  // Reaching up. Each is installed by the window that owns the thing; unset, the call does
  // nothing (that window is not there, as in tests of a lower window on its own).
  struct Hooks {
    // The Logging and Export dialog, shown by whoever keeps the run's records.
    std::function<void()> ShowLoggingOptions;
    // Why a log or the metrics file cannot be written, and since when; empty while all is
    // well (and then without allocating).
    std::function<std::string(int32_t utcOffsetMinutes)> RecordsTrouble;
    std::function<void()> RefreshPanelEnable;  // the main window's rows follow ItemEnabled
    std::function<void(int item)> CloseWarning;
    // The configuration dialog (created, not shown, if need be) takes an item's Enable away.
    std::function<void(int item)> DisableInConfig;
    std::function<void(const std::string& text)> SetCaseOpenCaption;
  } hooks;

  // Told of every monitoring cycle, in the order added; each outlives the run's cycles. The
  // room is made once, so that adding one in a running program allocates nothing.
  static constexpr std::size_t kObserverRoom = 8;
  std::vector<CycleObserver*> observers;

  void RefreshPanelEnable() {
    if (hooks.RefreshPanelEnable) hooks.RefreshPanelEnable();
  }

  // Where this model's settings file lives.
  items::SettingsLocation SettingsLocation() {
    return {platform.ProgramFolder(), platform.PathSeparator(), chip.model()};
  }
  // A file of the program's folder, as the windows name them ("\eye.ico").
  std::string InProgramFolder(const char* name) {
    return platform.ProgramFolder() + platform.PathSeparator() + name;
  }
};

}  // namespace vigilon
