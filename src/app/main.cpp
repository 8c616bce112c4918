// vigilon.exe: binds the system to Windows (the platform services, kestrel.dll from the
// program's folder, the Win32 control layer), runs start-up, then the message loop.
#include <memory>
#include <optional>

#include "monitor/frmvigilon.h"
#include "platform/last_words.h"
#include "platform/win32/kestrel_port_io.h"
#include "platform/win32/record_files_win32.h"
#include "platform/win32/settings_files_win32.h"
#include "platform/win32/win32_bus_lock.h"
#include "platform/win32/win32_last_words.h"
#include "platform/win32/win32_platform.h"
#include "records/frmlogging.h"
#include "records/records.h"
#include "startup/startup.h"
#include "ui/win32/win32_runtime.h"
#include "vigilon_version.h"
#ifdef VIGILON_MEASURE
#include "app/measure.h"
#endif

int main() {
  using namespace vigilon;
  platform::NarrowLibrarySearch();
  platform::Win32Platform platform;
  if (!platform.ProgramFolderFound()) {
    // A cut or missing path would name another folder, and another kestrel.dll.
    platform.MsgBox(platform::kMsgNoProgramFolder, "", platform::MsgBoxButtons::Ok);
    return 1;
  }
  platform.EnterProgramFolder();
  platform::KestrelPortIo driver(platform.ProgramFolder() + "\\kestrel.dll");
  const std::unique_ptr<items::SettingsFiles> settingsFiles = platform::NewWin32SettingsFiles();
  RunState run(driver, platform, *settingsFiles);
  platform::Win32BusLock busLock;
  run.chip.ShareBus(&busLock);
  // A run that dies of a fault still gives back the fans it stopped, as every way out does.
  platform::LastWords lastWords(&platform::DriverPortOut);
  run.fans.OnFansSwitched([&lastWords](const chip::FanRestoreWrites& w) { lastWords.Keep(w); });
  platform::SayLastWordsOnProcessorFaults();
  ui::Win32Runtime runtime(platform);
#ifdef VIGILON_MEASURE
  // The measurement build counts each timed cycle's heap allocations and file calls.
  measure::Install();
#endif

  // The log, the events log and the metrics file, each off until vigilon.ini turns it on.
  const std::unique_ptr<platform::RecordFiles> recordFiles = platform::NewWin32RecordFiles();
  records::Records records(*recordFiles, *settingsFiles,
                           {platform.ProgramFolder(), '\\', VIGILON_VERSION_TEXT,
                            [&platform] { return platform.UnixTimeMs(); },
                            [&platform](int64_t ms) { return platform.UtcOffsetMinutes(ms); }});
  run.events.observers.push_back(&records);
  run.hooks.RecordsTrouble = [&records](int32_t utcOffsetMinutes) {
    return records.Trouble(utcOffsetMinutes);
  };
  ui::FormSlot<records::frmLogging, records::Records&> loggingOptions(runtime, records);
  run.hooks.ShowLoggingOptions = [&loggingOptions] { loggingOptions.Get().Show(); };
  std::optional<ui::FormSlot<frmvigilon, RunState&>> mainWindow;
  const startup::StartupOutcome outcome = startup::Main(run, [&](RunState& state) {
    const std::vector<std::string> problems = records.Start(state.traits());
    state.observers.push_back(&records);
    mainWindow.emplace(runtime, state);
    // The log of earlier runs fills the History window once the cycles run, a slice at a time.
    if (const records::ReadingsLog* log = records.readings()) {
      const int64_t now = platform.UnixTimeMs();
      mainWindow->Get().ReadPast(std::make_unique<history::HistoryRestore>(
          *recordFiles, log->file().place(), state.traits(), now, platform.UtcOffsetMinutes(now)));
    }
#ifdef VIGILON_MEASURE
    measure::CountCycles(state);
#endif
    mainWindow->Get().Show();
    // Told once, after the window is up, so that the first cycle does not wait for it.
    std::string text;
    for (const std::string& problem : problems) text += problem + "\n";
    if (!text.empty()) platform.MsgBox(text, "", platform::MsgBoxButtons::Ok);
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
