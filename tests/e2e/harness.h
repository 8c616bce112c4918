// End-to-end harness: runs the real vigilon.exe under Wine in a scratch program folder with
// a chosen kestrel.ini, finds its windows and controls, reads and clicks them, reads the
// simulated chip's state file, and takes screenshots.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

// The main window's title, and the message its notification-area icon calls back with.
inline constexpr const char* kMainTitle = "Norvane Vigilon Ver 2.50";
inline constexpr UINT kTrayCallback = WM_MOUSEMOVE;

// The program folder the Windows build produced (vigilon.exe, kestrel.dll, icons).
std::string DistDir();
// Where screenshots go: screenshots/ in the Windows build tree.
std::string ScreenshotDir();

// Polls `condition` until it holds or `timeout` passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

// A fresh copy of the program folder under the test program's own folder. Names and paths are
// UTF-8; a name may hold folders within folders, and the path may be longer than MAX_PATH.
class ProgramFolder {
 public:
  ProgramFolder(const std::string& name, const std::string& kestrelIni);
  // The names in a folder, sorted.
  static std::vector<std::string> Entries(const std::string& folder);
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  void Write(const std::string& name, const std::string& text) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  void Remove(const std::string& name) const;
  // kestrel.state as key/value pairs; empty when it is not there (yet).
  std::map<std::string, std::string> ChipState() const;
  // One hexadecimal entry of kestrel.state (a register, a count); -1 when it is not there.
  int StateByte(const std::string& key) const;

 private:
  std::string path_;
};

class Process {
 public:
  static Process Start(const ProgramFolder& folder, const std::string& exe = "vigilon.exe");
  Process(Process&& other) noexcept;
  Process& operator=(Process&&) = delete;
  ~Process();  // a process still running at the end of a test is ended

  DWORD pid() const { return pid_; }
  bool Running() const;
  // True when the process ended within the timeout; its exit code goes to `code`.
  bool WaitForExit(std::chrono::milliseconds timeout, DWORD* code = nullptr) const;
  void Kill();

 private:
  Process(HANDLE handle, DWORD pid) : handle_(handle), pid_(pid) {}
  HANDLE handle_ = nullptr;
  DWORD pid_ = 0;
};

// A visible top-level window of the process whose title is exactly `title`.
HWND WaitForWindow(const Process& process, std::string_view title,
                   std::chrono::milliseconds timeout = std::chrono::seconds(30));
// The program's name of a form's window ("frmFan2"), or empty for a window that is no form.
std::string FormName(HWND window);
// A visible top-level window of the process that shows the form of this name.
HWND WaitForForm(const Process& process, std::string_view formName,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30));
// A visible message box (dialog class #32770) of the process.
HWND WaitForMessageBox(const Process& process,
                       std::chrono::milliseconds timeout = std::chrono::seconds(30));
// Any visible top-level window of the process, or nullptr.
HWND AnyVisibleWindow(const Process& process);

std::string WindowText(HWND window);
std::string WindowTextUtf8(HWND window);
// A text box's text as the user typed it: asked of the control itself, since another process's
// window text is only its caption.
std::string EditText(HWND edit);
// The message of a message box: its static text, UTF-8.
std::string MessageBoxText(HWND box);
// Clicks the child button with this caption (BM_CLICK); false when there is none.
bool PressButton(HWND dialog, std::string_view caption);
// A control of a form found by its control name ("lblStatusV(2)").
HWND FindControl(HWND form, std::string_view name);

// The keyboard, as it reaches a window of the program: keys go where the keyboard sends them,
// to the control that has the focus.
// The control of `window` with the keyboard focus, or the window itself when none has it.
HWND Focus(HWND window);
// A key pressed in `window`, posted where the keyboard sends it.
void Press(HWND window, WPARAM key);
// Tab, and where the focus went.
HWND Tab(HWND window);
// Alt and a letter, as the keyboard delivers an access key.
void AccessKey(HWND window, char letter);
// Characters typed into the text box with the focus, replacing what it held.
void Type(HWND window, std::string_view text);

// Whether the window's frame and client area have been drawn on the screen (an X window shows
// black until the program has painted it).
bool WaitUntilPainted(HWND window, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Saves the whole screen as screenshots/<name>.bmp; scripts turn these into PNG files. With a
// window, waits until that window has been painted first.
bool Screenshot(const std::string& name, HWND window = nullptr);
// Saves only the window, frame and all, as it stands on the screen (brought to the top first).
bool WindowScreenshot(const std::string& name, HWND window);

}  // namespace e2e
