// Start-up and chip detection.
#include "startup/startup.h"

#include <cstdio>

#include "chip/detect.h"
#include "items/settings_file.h"
#include "shell/settings_commands.h"

namespace vigilon::startup {

namespace {
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
  // A refusal to start is never silent, except for a copy in this session: the user has it in
  // front of them.
  const platform::InstanceCheck instance = run.platform.CheckSingleInstance();
  if (instance.verdict == platform::InstanceCheck::Verdict::AnotherCopyRuns) {
    if (instance.message.empty()) {
      // Started again by a user who did not find the window: the first copy shows it. Never
      // a second copy on the chip, even when the first does not answer.
      if (run.platform.BringFirstCopyForward() == platform::FirstCopy::CameForward)
        return StartupOutcome::SecondInstance;
      run.platform.MsgBox(kMsgFirstCopySilent, "", platform::MsgBoxButtons::Ok);
      return StartupOutcome::FirstCopySilent;
    }
    run.platform.MsgBox(instance.message, "", platform::MsgBoxButtons::Ok);
    return StartupOutcome::InstanceNameHeld;
  }
  run.MonitorSuspended = false;

  chip::MonitorChip& c = run.chip;
  c.NewMoment();  // a lock another program keeps costs the start one wait at most
  if (c.driver().LoadKestrelVxD() != 0) {
    ShowFailure(run, kMsgDriverLoadFailed);
    return StartupOutcome::DriverLoadFailed;
  }

  const chip::Detection found = chip::DetectChip(c);
  run.SuperIoActivation = found.SuperIoActivation;
  run.VendorId = found.VendorId;
  run.ChipId = found.ChipId;
  switch (found.outcome) {
    case chip::Detection::Outcome::BusInitFailed:
      ShowFailure(run, kMsgBusInitFailed);
      return StartupOutcome::BusInitFailed;
    case chip::Detection::Outcome::ChipMissing:
      ShowFailure(run, kMsgChipMissing);
      return StartupOutcome::ChipMissing;
    case chip::Detection::Outcome::UnsupportedChip:
      ShowFailure(run, UnsupportedChipMessage(run.ChipId));
      return StartupOutcome::UnsupportedChip;
    case chip::Detection::Outcome::Found:
      break;
  }
  // Whatever an earlier run left (one ended by the task manager, a crash, a power cut), every
  // fan the program may drive runs before anything waits for the user, a message at start
  // included; the smart fan decides again once the main window runs.
  run.fans.RunEveryDrivenFan(c.MonitoringRuns());
  // A start that cannot tell whether another copy runs says so now, with the fans running.
  if (!instance.message.empty())
    run.platform.MsgBox(instance.message, "", platform::MsgBoxButtons::Ok);
  SetItemAvailability(run);

  // A missing or damaged file falls back to the model's defaults; a damaged one is reported just
  // before the main window appears.
  const items::SettingsLoadReport settingsLoad =
      items::LoadSettingsFile(run.items, run.files, run.SettingsLocation());
  if (items::IsTrue(run.items.VidDefaultsPending)) {
    const chip::VidLimits vid = c.DecodeVid();
    run.items.VoltLowLimit[0] = vid.low;
    run.items.VoltHighLimit[0] = vid.high;
    run.items.VidDefaultsPending = items::kFalse;  // the file keeps its value until a save
  }

  // The fan control's start-up bit, and 0x5D bit 3 off; the help file and the smart-fan
  // tables between them touch no register.
  c.PrepareAtStart();
  run.HelpFile = run.InProgramFolder(kHelpFileName);
  run.smartFan = chip::LoadSmartFanTables(run.traits());

  // Said, not refused: the user may have no other folder to put the program in.
  if (const std::string warning = run.platform.ProgramFilesWarning(); !warning.empty())
    run.platform.MsgBox(warning, "", platform::MsgBoxButtons::Ok);
  shell::TellSettingsLoad(run, settingsLoad);
  showMainWindow(run);
  return StartupOutcome::MainWindowShown;
}

}  // namespace vigilon::startup
