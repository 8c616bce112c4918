// The platform services on Win32.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace vigilon::platform {

inline constexpr const char* kMsgNoProgramFolder =
    "Vigilon cannot tell which folder it was started from, so it cannot find its driver and "
    "settings there. Start it again from its folder.";

class Win32Platform : public Platform {
 public:
  Win32Platform();
  ~Win32Platform() override;

  MsgBoxAnswer MsgBox(const std::string& text, const std::string& caption,
                      MsgBoxButtons buttons) override;
  // Empty when the system could not name the program's file (ProgramFolderFound).
  std::string ProgramFolder() override;
  bool ProgramFolderFound() const { return folder_.has_value(); }
  // Makes the program's folder the current one, so that nothing the system looks up there by a
  // relative name comes from wherever the program was started from.
  void EnterProgramFolder();
  char PathSeparator() const override { return '\\'; }
  // Reads the access lists of the program's folder and of kestrel.dll.
  std::string ProgramFilesWarning() override;
  bool FileExistsInProgramFolder(const std::string& name) override;
  InstanceCheck CheckSingleInstance() override;
  FirstCopy BringFirstCopyForward() override;
  void Sleep(uint32_t milliseconds) override;
  int64_t UnixTimeMs() override;
  int32_t UtcOffsetMinutes(int64_t unixMs) override;
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  bool ShellNotifyIcon(NotifyOp op, const NotifyIconRecord& record) override;
  IconHandle LoadIconFile(const std::string& name) override;
  void DestroyIcon(IconHandle icon) override;
  bool ShowHelp(const std::string& helpFile, uint32_t command, uint32_t context) override;
  bool SetClipboardText(const std::string& text) override;
  std::optional<std::string> BrowseForFolder(const std::string& title) override;

 private:
  void* clipboardOwner_ = nullptr;     // a message-only window, made at the first copy
  std::optional<std::string> folder_;  // UTF-8, found once: the program does not move
  void* instanceMarkers_[2] = {};      // the session's and the machine-wide one, when made
  bool instanceChecked_ = false;
  InstanceCheck instance_;
};

}  // namespace vigilon::platform
