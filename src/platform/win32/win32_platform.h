// The platform services on Win32.
#pragma once

#include <string>

#include "platform/platform.h"

namespace vigilon::platform {

class Win32Platform : public Platform {
 public:
  Win32Platform();
  ~Win32Platform() override;

  MsgBoxAnswer MsgBox(const std::string& text, const std::string& caption,
                      MsgBoxButtons buttons) override;
  std::string ProgramFolder() override;
  char PathSeparator() const override { return '\\'; }
  bool FileExistsInProgramFolder(const std::string& name) override;
  InstanceCheck CheckSingleInstance() override;
  void Sleep(uint32_t milliseconds) override;
  int64_t UnixTimeMs() override;
  int32_t UtcOffsetMinutes(int64_t unixMs) override;
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  bool ShellNotifyIcon(NotifyOp op, const NotifyIconRecord& record) override;
  IconHandle LoadIconFile(const std::string& name) override;
  void DestroyIcon(IconHandle icon) override;
  bool ShowHelp(const std::string& helpFile, uint32_t command, uint32_t context) override;

 private:
  void* instanceMarkers_[2] = {};  // the session's and the machine-wide one, when made
  bool instanceChecked_ = false;
  InstanceCheck instance_;
};

}  // namespace vigilon::platform
