// Start-up and chip detection.
#include "startup/startup.h"

#include <cstdio>

#include "chip/chip_features.h"
#include "chip/chip_model.h"
#include "items/settings_file.h"

namespace vigilon::startup {

namespace {
constexpr uint16_t kSuperIoPorts[] = {0x2E, 0x4E};
constexpr uint8_t kRegActivation = 0x30;
constexpr uint8_t kRegBaseHigh = 0x60;
constexpr uint8_t kRegBaseLow = 0x61;
constexpr uint8_t kRegChipId = 0x58;
constexpr uint8_t kRegFanControl = 0x4D;
constexpr uint8_t kRegMonitorControl2 = 0x5D;
constexpr const char* kHelpFileName = "zr410.hlp";  // one help file for every model

void ShowFailure(RunState& run, const std::string& text) {
  run.platform.MsgBox(text, "", platform::MsgBoxButtons::Ok);
}

std::string InProgramFolder(RunState& run, const char* name) {
  return run.platform.ProgramFolder() + run.platform.PathSeparator() + name;
}
}  // namespace

std::string UnsupportedChipMessage(uint8_t chipId) {
  char text[128];
  std::snprintf(text, sizeof text,
                "This Norvane Hardware Monitor chip (identifier 0x%02X) is not supported.", chipId);
  return text;
}

void SetItemAvailability(RunState& run) {
  const items::ItemAvailability availability = items::ItemAvailabilityFor(run.ChipId);
  run.items.ItemPresent = availability.ItemPresent;
  run.items.ItemBeepCapable = availability.ItemBeepCapable;
}

StartupOutcome Main(RunState& run, const std::function<void(RunState&)>& showMainWindow) {
  if (run.platform.AnotherInstanceRunning()) return StartupOutcome::SecondInstance;
  run.MonitorSuspended = false;

  chip::ChipAccess& c = run.chip;
  if (c.io().LoadKestrelVxD() != 0) {
    ShowFailure(run, kMsgDriverLoadFailed);
    return StartupOutcome::DriverLoadFailed;
  }

  c.SuperIoPort = 0;
  for (uint16_t port : kSuperIoPorts) {
    if (c.ProbeSuperIoPort(port)) {
      c.SuperIoPort = port;
      break;
    }
  }
  if (c.SuperIoPort != 0) {
    run.SuperIoActivation = c.ReadSuperIoReg(kRegActivation);
    if (run.SuperIoActivation == 0) c.WriteSuperIoReg(kRegActivation, 1);
    const uint16_t base =
        static_cast<uint16_t>(c.ReadSuperIoReg(kRegBaseHigh) * 256 + c.ReadSuperIoReg(kRegBaseLow));
    c.MonitorPort = static_cast<uint16_t>((base & ~7u) + 5);
  } else {
    c.MonitorPort = 0;  // the driver routes ports 0 and 1 to the monitor
  }

  if (c.io().InitialBus(1, 0x5A, 0x92, 0x90) != 0) {
    ShowFailure(run, kMsgBusInitFailed);
    return StartupOutcome::BusInitFailed;
  }

  run.VendorId = c.ReadVendorId();
  if (run.VendorId != chip::kVendorIdNorvane) {
    ShowFailure(run, kMsgChipMissing);
    return StartupOutcome::ChipMissing;
  }

  c.SelectBank(0);
  run.ChipId = c.ReadChipReg(kRegChipId);
  if (!chip::ChipModel(run.ChipId)) {
    // Nothing else in the program knows such a chip: stop before writing any of its
    // registers, and hand the monitor device back as it was found.
    if (c.SuperIoPort != 0 && run.SuperIoActivation == 0) c.WriteSuperIoReg(kRegActivation, 0);
    ShowFailure(run, UnsupportedChipMessage(run.ChipId));
    return StartupOutcome::UnsupportedChip;
  }

  SetItemAvailability(run);

  // A missing or damaged file falls back to the model's defaults without a word at start; the
  // file appears at the first save.
  items::LoadSettingsFile(run.items, run.files, run.SettingsLocation());
  if (items::IsTrue(run.items.VidDefaultsPending)) {
    const chip::VidLimits vid = chip::DecodeVid(c);
    run.items.VoltLowLimit[0] = vid.low;
    run.items.VoltHighLimit[0] = vid.high;
    run.items.VidDefaultsPending = items::kFalse;  // the file keeps its value until a save
  }

  c.SelectBank(0);
  c.UpdateChipReg(kRegFanControl, 0xFF, 0x80);
  run.HelpFile = InProgramFolder(run, kHelpFileName);

  run.smartFan = chip::LoadSmartFanTables(run.ChipId);

  c.UpdateChipReg(kRegMonitorControl2, 0xF7, 0x00);

  showMainWindow(run);
  return StartupOutcome::MainWindowShown;
}

}  // namespace vigilon::startup
