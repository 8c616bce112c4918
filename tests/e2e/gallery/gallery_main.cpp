// The control gallery as a Windows program, for the Wine test: shows the gallery form and runs
// the message loop until it is closed.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "gallery_form.h"
#include "ui/win32/win32_runtime.h"

namespace {

// The few services the gallery reaches: its own folder for pictures. The program's real
// platform lives with start-up; the gallery does not depend on it.
class GalleryPlatform final : public vigilon::platform::Platform {
 public:
  using MsgBoxAnswer = vigilon::platform::MsgBoxAnswer;
  MsgBoxAnswer MsgBox(const std::string& text, const std::string& caption,
                      vigilon::platform::MsgBoxButtons) override {
    MessageBoxA(nullptr, text.c_str(), caption.empty() ? "vigilon" : caption.c_str(), MB_OK);
    return MsgBoxAnswer::Ok;
  }
  std::string ProgramFolder() override {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\'));
  }
  char PathSeparator() const override { return '\\'; }
  std::string ProgramFilesWarning() override { return {}; }
  bool FileExistsInProgramFolder(const std::string& name) override {
    return GetFileAttributesA((ProgramFolder() + '\\' + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  vigilon::platform::InstanceCheck CheckSingleInstance() override { return {}; }
  // The gallery is always alone: it never asks.
  vigilon::platform::FirstCopy BringFirstCopyForward() override {
    return vigilon::platform::FirstCopy::NoAnswer;
  }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
  // No monitoring cycle runs in the gallery: nothing asks it the time.
  int64_t UnixTimeMs() override { return 0; }
  int32_t UtcOffsetMinutes(int64_t) override { return 0; }
  bool ExitWindowsEx(uint32_t, uint32_t) override { return false; }  // never from the gallery
  bool ShellNotifyIcon(vigilon::platform::NotifyOp,
                       const vigilon::platform::NotifyIconRecord&) override {
    return false;
  }
  vigilon::platform::IconHandle LoadIconFile(const std::string&) override { return 0; }
  void DestroyIcon(vigilon::platform::IconHandle icon) override {
    ::DestroyIcon(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)));
  }
  bool ShowHelp(const std::string&, uint32_t, uint32_t) override { return false; }
  bool SetClipboardText(const std::string&) override { return false; }  // nothing to copy
  std::optional<std::string> BrowseForFolder(const std::string&) override { return {}; }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  GalleryPlatform platform;
  vigilon::ui::Win32Runtime runtime(platform);
  vigilon::ui::FormSlot<vigilon::gallery::GalleryForm> gallery(runtime);
  gallery.Get().Show();
  return runtime.Run();
}
