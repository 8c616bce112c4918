// The operating-system services the windows and start-up use. One interface; the Win32
// implementation serves the product, the fake serves the native tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vigilon::platform {

enum class MsgBoxButtons : uint8_t { Ok, YesNo };
enum class MsgBoxAnswer : uint8_t { Ok, Yes, No };

enum class NotifyOp : uint32_t { Add = 0, Modify = 1, Delete = 2 };

// The program's ANSI notification-area record: the shell's first-version record as a 32-bit
// process lays it out, 88 bytes. The Win32 side hands it to the shell in that process's own
// first-version layout (larger in a 64-bit test build, where handles are 8 bytes wide).
struct NotifyIconRecord {
  uint32_t cbSize = 88;
  uint32_t hWnd = 0;
  uint32_t uID = 0;
  uint32_t uFlags = 0;
  uint32_t uCallbackMessage = 0;
  uint32_t hIcon = 0;
  std::array<char, 64> szTip{};
};
static_assert(sizeof(NotifyIconRecord) == 88);

// The shell's numbers for the record, as Windows defines them (the Win32 side checks they are
// the same): which fields are valid, and the mouse messages the notification area reports.
inline constexpr uint32_t kNotifyMessageValid = 0x1;  // NIF_MESSAGE
inline constexpr uint32_t kNotifyIconValid = 0x2;     // NIF_ICON
inline constexpr uint32_t kNotifyTipValid = 0x4;      // NIF_TIP
inline constexpr uint32_t kMouseMoveMessage = 0x200;  // WM_MOUSEMOVE
inline constexpr uint32_t kLeftDoubleClick = 0x203;   // WM_LBUTTONDBLCLK
inline constexpr uint32_t kRightButtonUp = 0x205;     // WM_RBUTTONUP

using IconHandle = uint32_t;  // 0 = none

// Whether this copy of the program runs alone, as the single-instance marker tells it.
struct InstanceCheck {
  enum class Verdict : uint8_t {
    Alone,            // start
    AnotherCopyRuns,  // end: in this session silently, else with the message
    CannotTell,       // start, after the message: no marker guards against a second copy
  };
  Verdict verdict = Verdict::Alone;
  std::string message;  // shown before anything else; empty: nothing to say
};

// What the copy already running in this session did when asked to come forward.
enum class FirstCopy : uint8_t {
  CameForward,  // its main window is shown, restored and in front
  NoAnswer,     // no window of it answered within a few seconds: hung, or not up yet
};

class Platform {
 public:
  virtual ~Platform() = default;

  // A message box; `caption` empty means the application title "vigilon".
  virtual MsgBoxAnswer MsgBox(const std::string& text, const std::string& caption,
                              MsgBoxButtons buttons) = 0;

  // The program's own folder, without a trailing separator, and the separator that joins a
  // file name to it ('\\' on Windows).
  virtual std::string ProgramFolder() = 0;
  virtual char PathSeparator() const = 0;
  // The warning to give once at start when users other than this one (and the system and the
  // administrators) may change the program's folder or its driver; empty when none may.
  virtual std::string ProgramFilesWarning() = 0;
  // Whether a file of this name exists in the program's folder, compared without regard to case.
  virtual bool FileExistsInProgramFolder(const std::string& name) = 0;

  // Whether another copy of the program is already running. The first call claims the
  // program's single-instance marker for this process; later calls give the same answer.
  virtual InstanceCheck CheckSingleInstance() = 0;
  // Asks the copy that runs in this session (CheckSingleInstance said so) to show its main
  // window in front, as a double-click on its tray icon does; tries for a few seconds.
  virtual FirstCopy BringFirstCopyForward() = 0;

  virtual void Sleep(uint32_t milliseconds) = 0;
  // The wall clock: milliseconds since 1970-01-01 UTC, and the local time's offset from UTC at
  // that moment (daylight saving included), in minutes east of Greenwich.
  virtual int64_t UnixTimeMs() = 0;
  virtual int32_t UtcOffsetMinutes(int64_t unixMs) = 0;
  // Asks the operating system to end the session; the result is not used by the system.
  virtual bool ExitWindowsEx(uint32_t flags, uint32_t reserved) = 0;

  virtual bool ShellNotifyIcon(NotifyOp op, const NotifyIconRecord& record) = 0;

  // Loads an icon file from the program's folder; 0 when it cannot be loaded.
  virtual IconHandle LoadIconFile(const std::string& name) = 0;
  virtual void DestroyIcon(IconHandle icon) = 0;

  // Opens the help viewer on a help file at a context number; false when the system has no
  // viewer that took the request.
  virtual bool ShowHelp(const std::string& helpFile, uint32_t command, uint32_t context) = 0;

  // Puts text (UTF-8, lines ended by "\r\n") on the clipboard; false when the clipboard would
  // not take it.
  virtual bool SetClipboardText(const std::string& text) = 0;
  // The system's folder picker, titled `title`: the folder chosen, or nothing when the user
  // cancelled.
  virtual std::optional<std::string> BrowseForFolder(const std::string& title) = 0;
};

}  // namespace vigilon::platform
