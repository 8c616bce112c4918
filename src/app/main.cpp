// vigilon.exe: binds the system to Windows (the platform services, kestrel.dll from the
// program's folder, the Win32 control layer), runs start-up, then the message loop.
#include <memory>
#include <optional>

#include "monitor/frmvigilon.h"
#include "platform/last_words.h"
#include "platform/win32/kestrel_port_io.h"
#include "platform/win32/settings_files_win32.h"
#include "platform/win32/win32_bus_lock.h"
#include "platform/win32/win32_last_words.h"
#include "platform/win32/win32_platform.h"
#include "startup/startup.h"
#include "ui/win32/win32_runtime.h"
#ifdef VIGILON_MEASURE
#include "app/measure.h"
#endif

int main() {
  using namespace vigilon;
  platform::Win32Platform platform;
  platform::KestrelPortIo driver(platform.ProgramFolder() + "\\kestrel.dll");
  const std::unique_ptr<items::SettingsFiles> settingsFiles = platform::NewWin32SettingsFiles();
  RunState run(driver, platform, *settingsFiles);
  platform::Win32BusLock busLock;
  run.chip.ShareBus(&busLock);
  // A run that dies of a fault still gives back the fans it stopped, as every way out does.
  platform::LastWords lastWords(&platform::DriverPortOut);
  run.chip.OnFansSwitched([&lastWords](const chip::FanRestoreWrites& w) { lastWords.Keep(w); });
  platform::SayLastWordsOnProcessorFaults();
  ui::Win32Runtime runtime(platform);
#ifdef VIGILON_MEASURE
  // The measurement build counts each timed cycle's heap allocations and file opens.
  measure::Install(run);
#endif

  std::optional<ui::FormSlot<frmvigilon, RunState&>> mainWindow;
  const startup::StartupOutcome outcome = startup::Main(run, [&](RunState& state) {
    mainWindow.emplace(runtime, state);
    mainWindow->Get().Show();
  });
  switch (outcome) {
    case startup::StartupOutcome::MainWindowShown: {
      const int code = runtime.Run();
      // The loop also ends on a WM_QUIT another program posted, or a message loop that fails:
      // the program ends then too, and leaves the chip as Exit does.
      if (!runtime.ended()) mainWindow->Get().GiveChipBack();
      return code;
    }
    case startup::StartupOutcome::SecondInstance:
      return 0;
    default:
      return 1;
  }
}
