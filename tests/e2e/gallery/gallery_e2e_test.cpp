// Runs the control gallery under Wine, screenshots it, clicks its controls through Win32
// messages from this separate process and reads back the events that ran, in order.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "gallery_form.h"
#include "harness.h"
#include "ui/control_id.h"

namespace {

using Lines = std::vector<std::string>;
using e2e::FindControl;
using e2e::Screenshot;
using e2e::WaitUntil;

std::string Folder(const std::string& path) {
  return path.substr(0, path.find_last_of('\\'));
}

std::string OwnFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return Folder(path);
}

std::string Text(HWND hwnd) {
  char buffer[8192] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  return std::string(buffer, copied);
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

COLORREF ScreenPixelAtCentre(HWND hwnd) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  HDC screen = GetDC(nullptr);
  const COLORREF pixel = GetPixel(screen, (rect.left + rect.right) / 2, rect.top + 2);
  ReleaseDC(nullptr, screen);
  return pixel;
}

// Wine paints into the X window a little after the program drew: a screenshot waits until
// the coloured labels have reached the screen.
bool WaitPainted(HWND form) {
  RedrawWindow(form, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  return WaitUntil([&] {
    return ScreenPixelAtCentre(FindControl(form, "lblRed")) == 0xFF &&
           ScreenPixelAtCentre(FindControl(form, "lblGreen")) == 0xFF00;
  });
}

// Whether a column of the window, at `fraction` of its width, shows the highlight colour that
// the slider's selection band is drawn in.
bool ColumnShowsBand(HWND slider, double fraction) {
  RECT rect;
  GetWindowRect(slider, &rect);
  const int x = rect.left + static_cast<int>((rect.right - rect.left) * fraction);
  HDC screen = GetDC(nullptr);
  bool found = false;
  for (int y = rect.top; y < rect.bottom && !found; ++y) {
    found = GetPixel(screen, x, y) == GetSysColor(COLOR_HIGHLIGHT);
  }
  ReleaseDC(nullptr, screen);
  return found;
}

class GalleryUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string folder = OwnFolder();
    std::string command;
    command.append(1, '"').append(folder).append("\\vigilon_gallery.exe").append(1, '"');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startup, &process_))
        << command;
    ASSERT_TRUE(WaitUntil([&] {
      form_ = FindWindowA("VigilonForm", vigilon::gallery::kGalleryTitle);
      return form_ != nullptr && IsWindowVisible(form_);
    })) << "the gallery window never showed";
    log_ = FindControl(form_, "txtLog");
    ASSERT_NE(log_, nullptr);
  }
  void TearDown() override {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  // Waits until the log holds `count` lines and returns it.
  Lines LogAfter(size_t count) {
    Lines lines;
    WaitUntil([&] {
      lines = SplitLines(Text(log_));
      return lines.size() >= count;
    });
    return lines;
  }

  void Click(HWND hwnd, int x, int y) {
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }

  PROCESS_INFORMATION process_{};
  HWND form_ = nullptr;
  HWND log_ = nullptr;
};

TEST_F(GalleryUnderWine, ClicksRunTheModelsEventsInOrder) {
  EXPECT_EQ(LogAfter(2), (Lines{"load", "unit=Celsius"}));
  EXPECT_TRUE(WaitPainted(form_)) << "label colours never reached the screen";
  EXPECT_TRUE(Screenshot("gallery-start"));

  // Every control found by the identifier its name gives.
  for (const char* name : {"lblRed", "lblGreen", "lblGrey", "sldGauge", "updLimit", "lblLimit",
                           "prbSpeed", "chkBeep", "fraUnits", "optCelsius", "optFahrenheit",
                           "imgMark", "scrInterval", "txtInterval", "tabPages", "cmdClear"}) {
    EXPECT_NE(FindControl(form_, name), nullptr) << name;
  }

  // The up-down's upper arrow, clicked with the mouse.
  HWND upDown = FindControl(form_, "updLimit");
  RECT box;
  GetClientRect(upDown, &box);
  Click(upDown, box.right / 2, box.bottom / 4);
  EXPECT_EQ(LogAfter(3).back(), "upd=6");
  EXPECT_EQ(Text(FindControl(form_, "lblLimit")), "6");

  SendMessageA(FindControl(form_, "chkBeep"), BM_CLICK, 0, 0);
  EXPECT_EQ(LogAfter(4).back(), "chk=1");
  EXPECT_EQ(SendMessageA(FindControl(form_, "chkBeep"), BM_GETCHECK, 0, 0), BST_CHECKED);

  SendMessageA(FindControl(form_, "optFahrenheit"), BM_CLICK, 0, 0);
  EXPECT_EQ(LogAfter(5).back(), "unit=Fahrenheit");
  EXPECT_EQ(SendMessageA(FindControl(form_, "optCelsius"), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  HWND tabs = FindControl(form_, "tabPages");
  SendMessageA(tabs, TCM_SETCURFOCUS, 1, 0);
  EXPECT_EQ(LogAfter(6).back(), "tab=Fan");
  EXPECT_EQ(Text(FindControl(form_, "lblPage")), "Fan");

  SendMessageA(form_, WM_HSCROLL, SB_LINERIGHT,
               reinterpret_cast<LPARAM>(FindControl(form_, "scrInterval")));
  EXPECT_EQ(LogAfter(7).back(), "scroll=5");
  EXPECT_EQ(Text(FindControl(form_, "txtInterval")), "5");

  HWND image = FindControl(form_, "imgMark");
  Click(image, 4, 4);
  EXPECT_EQ(LogAfter(8).back(), "unit=Celsius");

  // The power notices of a suspend another program refused ("query failed" ends it as a
  // resume does), then of one suspend and one resume, as newer and older systems send them.
  for (WPARAM event : {PBT_APMQUERYSUSPEND, PBT_APMQUERYSUSPENDFAILED, PBT_APMQUERYSUSPEND,
                       PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND}) {
    SendMessageA(form_, WM_POWERBROADCAST, event, 0);
  }
  // The notification-area callback: message 0x200 with the mouse code in lParam.
  SendMessageA(form_, 0x200, 1, 0x203);
  const Lines expected = {
      "load",          "unit=Celsius", "upd=6",        "chk=1",         "unit=Fahrenheit",
      "tab=Fan",       "scroll=5",     "unit=Celsius", "power=suspend", "power=resume",
      "power=suspend", "power=resume", "tray=0x203"};
  EXPECT_EQ(LogAfter(expected.size()), expected);

  // The gauge's thumb stays on its track; the reading beyond it is the label's.
  HWND slider = FindControl(form_, "sldGauge");
  EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), 100);
  EXPECT_FALSE(IsWindowEnabled(slider));
  // The band 30..70 of 0..100 is drawn by the peer, disabled slider or not.
  EXPECT_TRUE(ColumnShowsBand(slider, 0.5));
  EXPECT_FALSE(ColumnShowsBand(slider, 0.12));
  EXPECT_FALSE(ColumnShowsBand(slider, 0.85));
  EXPECT_FALSE(IsWindowEnabled(FindControl(form_, "lblGrey")));

  // The timer runs under the message loop.
  HWND bar = FindControl(form_, "prbSpeed");
  EXPECT_TRUE(WaitUntil([&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) > 0; }));

  // The label colours reach the screen.
  EXPECT_TRUE(WaitPainted(form_)) << std::hex << ScreenPixelAtCentre(FindControl(form_, "lblRed"));
  EXPECT_TRUE(Screenshot("gallery-after-clicks"));

  // A menu pick hides the form; the shell's restart reaches it only while hidden, and the
  // tray's double-click code shows it again.
  SendMessageA(form_, WM_COMMAND, MAKEWPARAM(vigilon::ui::ControlIdForName("mHide"), 0), 0);
  EXPECT_EQ(LogAfter(expected.size() + 1).back(), "hidden");
  EXPECT_FALSE(IsWindowVisible(form_));
  SendMessageA(form_, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_EQ(LogAfter(expected.size() + 2).back(), "taskbar");
  SendMessageA(form_, 0x200, 1, 0x203);
  EXPECT_EQ(LogAfter(expected.size() + 3).back(), "tray=0x203");
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }));
  // Shown again: the same broadcast (sent, so handled before SendMessage returns) logs nothing.
  SendMessageA(form_, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_EQ(SplitLines(Text(log_)).size(), expected.size() + 3);

  // Hidden again, the tray's right-button code pops the menu up at the cursor; its first entry
  // picked from the keyboard restores the form. Posted: the menu's loop holds the handler.
  SendMessageA(form_, WM_COMMAND, MAKEWPARAM(vigilon::ui::ControlIdForName("mHide"), 0), 0);
  EXPECT_EQ(LogAfter(expected.size() + 4).back(), "hidden");
  PostMessageA(form_, 0x200, 1, 0x205);
  HWND popup = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    popup = FindWindowA("#32768", nullptr);
    return popup != nullptr && IsWindowVisible(popup);
  })) << "no pop-up menu";
  EXPECT_EQ(LogAfter(expected.size() + 5).back(), "tray=0x205");
  EXPECT_TRUE(Screenshot("gallery-tray-menu"));
  PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(LogAfter(expected.size() + 6).back(), "restore");
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }));

  // Closed by another program (unload mode 3), the last form's unload ends the message loop.
  PostMessageA(form_, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process_.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

}  // namespace
