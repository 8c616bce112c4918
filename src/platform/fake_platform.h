// The platform for native tests: records every request and answers from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vigilon::platform {

class FakePlatform : public Platform {
 public:
  struct MsgBoxCall {
    std::string text;
    std::string caption;
    MsgBoxButtons buttons;
  };
  struct NotifyCall {
    NotifyOp op;
    NotifyIconRecord record;
    std::string iconFile;  // the file the record's icon was loaded from, when it is live
  };
  struct HelpCall {
    std::string file;
    uint32_t command;
    uint32_t context;
  };

  // Scripted state.
  std::deque<MsgBoxAnswer> msgBoxAnswers;  // empty: Ok, or Yes for a Yes/No box
  // Runs while a box is up, before it is answered: on Windows timers keep firing under a
  // message box, so a test advances virtual time here.
  std::function<void(const std::string& text)> whileMsgBoxShown;
  // Runs inside every tray request: the shell's answer lets a message sent meanwhile (a power
  // notice) in before the call returns.
  std::function<void()> whileTrayRequest;
  std::string folder = "/vigilon";
  std::string filesWarning;     // what ProgramFilesWarning says
  std::set<std::string> files;  // names present in the program folder, without a separator
  InstanceCheck instance;       // what the single-instance check answers
  FirstCopy firstCopy = FirstCopy::CameForward;  // what asking the first copy answers
  int firstCopyAsks = 0;
  bool exitWindowsResult = true;
  int trayAddsRefused = 0;  // this many of the next requests to add the tray icon fail
  // The wall clock: the base, plus whatever the hook says has passed (a system test points it
  // at the headless runtime's virtual clock, so that virtual time moves the wall clock too).
  int64_t unixMsBase = 1'780'000'000'000;  // a moment in June 2026
  std::function<uint64_t()> elapsedMs;
  int32_t utcOffsetMinutes = 60;
  bool helpViewer = true;  // whether a help viewer takes the requests

  // Recorded calls.
  std::vector<MsgBoxCall> msgBoxes;
  std::vector<NotifyCall> notifyCalls;
  std::vector<HelpCall> helpCalls;
  std::vector<uint32_t> sleeps;
  std::vector<std::pair<uint32_t, uint32_t>> exitWindowsCalls;
  std::vector<std::string> iconLoads;  // the names as asked for
  bool recordCalls = true;  // false: nothing is recorded (for measuring the program's own heap)
  std::map<IconHandle, std::string> liveIcons;  // loaded and not yet destroyed
  // Forgets the recorded calls; `release` gives their memory back too (a long run measuring
  // the program's own heap).
  template <class... Extra>
  void ClearRecords(bool release, Extra&... extra) {
    auto forget = [release](auto& records) {
      records.clear();
      if (release) records.shrink_to_fit();
    };
    forget(msgBoxes);
    forget(notifyCalls);
    forget(helpCalls);
    forget(sleeps);
    forget(exitWindowsCalls);
    forget(iconLoads);
    (forget(extra), ...);
  }

  MsgBoxAnswer MsgBox(const std::string& text, const std::string& caption,
                      MsgBoxButtons buttons) override;
  std::string ProgramFolder() override { return folder; }
  char PathSeparator() const override { return '/'; }
  std::string ProgramFilesWarning() override { return filesWarning; }
  bool FileExistsInProgramFolder(const std::string& name) override;
  InstanceCheck CheckSingleInstance() override { return instance; }
  FirstCopy BringFirstCopyForward() override {
    ++firstCopyAsks;
    return firstCopy;
  }
  void Sleep(uint32_t milliseconds) override {
    if (recordCalls) sleeps.push_back(milliseconds);
  }
  int64_t UnixTimeMs() override {
    return unixMsBase + (elapsedMs ? static_cast<int64_t>(elapsedMs()) : 0);
  }
  int32_t UtcOffsetMinutes(int64_t /*unixMs*/) override { return utcOffsetMinutes; }
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  bool ShellNotifyIcon(NotifyOp op, const NotifyIconRecord& record) override;
  IconHandle LoadIconFile(const std::string& name) override;
  void DestroyIcon(IconHandle icon) override { liveIcons.erase(icon); }
  bool ShowHelp(const std::string& helpFile, uint32_t command, uint32_t context) override;
  bool SetClipboardText(const std::string& text) override {
    clipboard = text;
    return true;
  }
  std::string clipboard;
  // The folder picker answers with `folderChosen` (nothing: cancelled) and counts its calls.
  std::optional<std::string> BrowseForFolder(const std::string& /*title*/) override {
    ++folderPickers;
    return folderChosen;
  }
  std::optional<std::string> folderChosen;
  int folderPickers = 0;

 private:
  IconHandle nextIcon_ = 100;
};

}  // namespace vigilon::platform
