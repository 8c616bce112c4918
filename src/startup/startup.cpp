// Start-up and chip detection.
#include "startup/startup.h"

#include <cstdio>

#include "chip/chip_features.h"
#include "chip/chip_model.h"
#include "chip/chip_registers.h"
#include "items/settings_file.h"
#include "shell/settings_commands.h"

namespace vigilon::startup {

using namespace chip::reg;

namespace {
constexpr uint16_t kSuperIoPorts[] = {0x2E, 0x4E};
constexpr const char* kHelpFileName = "zr410.hlp";  // one help file for every model

void ShowFailure(RunState& run, const std::string& text) {
  run.platform.MsgBox(text, "", platform::MsgBoxButtons::Ok);
}
}  // namespace

std::string UnsupportedChipMessage(uint8_t chipId) {
  char text[128];
  std::snprintf(text, sizeof text,
                "This Norvane Hardware Monitor chip (identifier 0x%02X) is not supported.", chipId);
  return text;
}

void SetItemAvailability(RunState& run) {
  const items::ItemAvailability availability = items::ItemAvailabilityFor(run.traits());
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
    run.SuperIoActivation = c.ReadSuperIoReg(kSioActivation);
    if (run.SuperIoActivation == 0) c.WriteSuperIoReg(kSioActivation, 1);
    const uint16_t base =
        static_cast<uint16_t>(c.ReadSuperIoReg(kSioBaseHigh) * 256 + c.ReadSuperIoReg(kSioBaseLow));
    c.MonitorPort = static_cast<uint16_t>((base & ~7u) + 5);
  } else {
    c.MonitorPort = 0;  // the driver routes ports 0 and 1 to the monitor
  }

  if (c.io().InitialBus(1, 0x5A, 0x92, 0x90) != 0) {
    ShowFailure(run, kMsgBusInitFailed);
    return StartupOutcome::BusInitFailed;
  }

  run.VendorId = c.ReadVendorId();
  if (run.VendorId != kVendorIdNorvane) {
    ShowFailure(run, kMsgChipMissing);
    return StartupOutcome::ChipMissing;
  }

  c.SelectBank(0);
  run.ChipId = c.ReadChipReg(kChipId);
  run.model = chip::ChipTraitsFor(run.ChipId);
  if (run.model == nullptr) {
    // Nothing else in the program knows such a chip: stop before writing any of its
    // registers, and hand the monitor device back as it was found.
    if (c.SuperIoPort != 0 && run.SuperIoActivation == 0) c.WriteSuperIoReg(kSioActivation, 0);
    ShowFailure(run, UnsupportedChipMessage(run.ChipId));
    return StartupOutcome::UnsupportedChip;
  }

  SetItemAvailability(run);

  // A missing or damaged file falls back to the model's defaults; a damaged one is reported just
  // before the main window appears.
  const items::SettingsLoadReport settingsLoad =
      items::LoadSettingsFile(run.items, run.files, run.SettingsLocation());
  if (items::IsTrue(run.items.VidDefaultsPending)) {
    const chip::VidLimits vid = chip::DecodeVid(c);
    run.items.VoltLowLimit[0] = vid.low;
    run.items.VoltHighLimit[0] = vid.high;
    run.items.VidDefaultsPending = items::kFalse;  // the file keeps its value until a save
  }

  c.SelectBank(0);
  c.UpdateChipReg(kFanControl, 0xFF, kFanControlStartup);
  run.HelpFile = run.InProgramFolder(kHelpFileName);

  run.smartFan = chip::LoadSmartFanTables(run.traits());

  c.UpdateChipReg(kControl2, static_cast<uint8_t>(~kControl2Bit3), 0x00);

  shell::TellSettingsLoad(run, settingsLoad);
  showMainWindow(run);
  return StartupOutcome::MainWindowShown;
}

}  // namespace vigilon::startup
