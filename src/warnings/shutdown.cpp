// The shutdown command.
#include "warnings/shutdown.h"

namespace vigilon::warnings {

namespace {
constexpr uint32_t kExitWindowsShutdown = 1;
}  // namespace

void ConfirmShutdown(RunState& run) {
  using platform::MsgBoxAnswer;
  using platform::MsgBoxButtons;
  // Timers keep running under this box, so a monitoring cycle may close the asking dialog.
  if (run.platform.MsgBox("Do you want to shut down your System?", "Vigilon",
                          MsgBoxButtons::YesNo) != MsgBoxAnswer::Yes)
    return;
  chip::PortIo& io = run.chip.driver();
  if (io.EnablePri() != 0) {
    run.platform.ExitWindowsEx(kExitWindowsShutdown, 0);
    io.DisablePri();
    return;
  }
  run.platform.MsgBox(" You don't have the priviledge to shut down the system! ", "",
                      MsgBoxButtons::Ok);
}

}  // namespace vigilon::warnings
