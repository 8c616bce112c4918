// Around a system suspend: the fan beeps off and monitoring stopped when the system asks, the
// readings blank until ten seconds after the last resume, with the title blinking meanwhile.
#include <string>

#include "monitor/frmvigilon.h"

namespace vigilon {

namespace {
constexpr uint32_t kSettleMs = 10000;
constexpr uint32_t kBlinkMs = 750;
// A system that asked to suspend and then runs on this long without a word has not suspended:
// no notice is left to end the pause, so the program ends it itself. One that announced the
// suspend freezes the program within seconds; any program can post the announcement, so one
// that no resume follows while the program still runs ends the pause sooner.
constexpr int kSuspendQueryLapseSeconds = 60;
constexpr int kSuspendNoticeLapseSeconds = 30;
const std::string& SettlingTitle() {
  static const std::string title =
      std::string(kMainWindowTitle) + std::string(66, ' ') + "....... Initializing !!";
  return title;
}
}  // namespace

void frmvigilon::WirePower() {
  SysInfo1.onQuerySuspend = [this](bool& cancel) { SysInfo1_PowerQuerySuspend(cancel); };
  SysInfo1.onSuspend = [this] { SysInfo1_PowerSuspend(); };
  SysInfo1.onResume = [this] { SysInfo1_PowerResume(); };
  DelayForSTR.onTimer = [this] { DelayForSTR_Timer(); };
  DelayFanBeepForSTR.onTimer = [this] { DelayFanBeepForSTR_Timer(); };
}

void frmvigilon::SysInfo1_PowerQuerySuspend(bool& /*cancel*/) {
  // The suspend is never refused. One that comes inside the settling time of a resume ends that
  // settling: the next resume starts it again.
  EndSettling();
  run_.MonitorSuspended = true;
  secondsSuspended_ = 0;
  suspendLapseSeconds_ = kSuspendQueryLapseSeconds;
  run_.chip.SilenceFanBeeps();
  run_.chip.StopMonitoring([this] { runtime().DoEvents(); });
}

void frmvigilon::SysInfo1_PowerSuspend() {
  // The time without a resume counts from the announcement.
  secondsSuspended_ = 0;
  suspendLapseSeconds_ = kSuspendNoticeLapseSeconds;
}

void frmvigilon::SysInfo1_PowerResume() {
  // Each resume starts the ten seconds again.
  DelayFanBeepForSTR.SetEnabled(true);
  DelayFanBeepForSTR.SetInterval(kSettleMs);
  DelayForSTR.SetEnabled(true);
  DelayForSTR.SetInterval(kBlinkMs);
  TakeVidLimits();
  InitLimitRows();
  SetMousePointer(ui::MousePointer::Hourglass);
  PollSensors();
}

void frmvigilon::TakeVidLimits() {
  // A chip that does not answer would give the core rail limits from all-ones VID pins: those
  // stay as they were, and the chip is programmed once it answers.
  if (run_.chip.ReadChipId() != run_.ChipId) {
    ChipFellSilent();
    return;
  }
  const chip::VidLimits vid = run_.chip.DecodeVid();
  run_.items.VoltLowLimit[0] = vid.low;
  run_.items.VoltHighLimit[0] = vid.high;
}

void frmvigilon::ProgramChipAgain() {
  run_.chip.Set_Fan_Status();
  // A fan given back meanwhile (its sensor left monitoring) would otherwise stay stopped.
  run_.fans.ReprogramFanDrive();
  cycle_.smartFan().ReleaseUnsteeredFans();
  InitLimitRows();
  if (run_.MonitorSuspended) return;  // the end of the settling time does the rest
  run_.chip.ApplyBeepSettings(run_.items.ItemEnabled, run_.items.ItemBeep);
  run_.chip.StartMonitoring();
}

void frmvigilon::EndSettling() {
  DelayFanBeepForSTR.SetInterval(0);
  DelayFanBeepForSTR.SetEnabled(false);
  DelayForSTR.SetInterval(0);
  DelayForSTR.SetEnabled(false);
  SetMousePointer(ui::MousePointer::Default);
  SetCaption(kMainWindowTitle);
}

void frmvigilon::WatchSuspendQuery() {
  if (!run_.MonitorSuspended || DelayFanBeepForSTR.enabled()) return;
  if (++secondsSuspended_ < suspendLapseSeconds_) return;
  // The seconds timer runs only while the system does: the suspend never came.
  SysInfo1.Notice(ui::PowerNotice::QuerySuspendFailed);
}

void frmvigilon::DelayForSTR_Timer() {
  SetCaption(caption() != kMainWindowTitle ? std::string(kMainWindowTitle) : SettlingTitle());
}

void frmvigilon::DelayFanBeepForSTR_Timer() {
  DelayFanBeepForSTR.SetInterval(0);
  DelayFanBeepForSTR.SetEnabled(false);
  panel_.RefreshPanelAvailability();
  RefreshPanelEnable();
  // A fan given back while the chip did not answer, unseen in the pause, runs now too.
  run_.fans.ReprogramFanDrive();
  run_.chip.ApplyBeepSettings(run_.items.ItemEnabled, run_.items.ItemBeep);
  run_.chip.StartMonitoring();
  run_.MonitorSuspended = false;
  EndSettling();
  PollSensors();
}

}  // namespace vigilon
