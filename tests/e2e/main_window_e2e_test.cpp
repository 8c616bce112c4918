// The real main window under Wine: readings and colours after the first cycle on two models, a
// fan stopped through kestrel.ini raising its warning, an up-down arrow moving the chip's limit
// register and the slider's selection, and the polling interval's scroll bar range.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "harness.h"
// After windows.h (through the harness).
#include <commctrl.h>

namespace {

using namespace std::chrono_literals;
using e2e::Process;
using e2e::ProgramFolder;

using e2e::kMainTitle;
// A pixel of a status label's background: beside its centred text, halfway down.
COLORREF BackgroundPixel(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, r.left + 2, (r.top + r.bottom) / 2);
  ReleaseDC(nullptr, screen);
  return c;
}

// Waits for the main window and its first cycle's readings (a cycle every 4 seconds).
HWND StartAndWaitForReadings(Process& program) {
  HWND main = e2e::WaitForWindow(program, kMainTitle);
  if (main == nullptr) return nullptr;
  HWND status = e2e::FindControl(main, "lblStatusV(0)");
  const bool read = e2e::WaitUntil([&] { return !e2e::WindowText(status).empty(); }, 20s);
  return read ? main : nullptr;
}

TEST(MainWindowE2E, ReadingsAndColoursAfterTheFirstCycle) {
  struct Case {
    const char* name;
    const char* ini;
    const char* firstName;
  };
  const Case cases[] = {
      {"main-window-zr420", "model = ZR420\nsuperio = 0x2E\nv3_3 = 3.312\n", "CPU"},
      {"main-window-zr430", "model = ZR430\nsuperio = 0x2E\nv3_3 = 3.312\n", "Vcore"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramFolder folder(c.name, c.ini);
    Process program = Process::Start(folder);
    HWND main = StartAndWaitForReadings(program);
    ASSERT_NE(main, nullptr) << "no readings";
    EXPECT_EQ(e2e::WindowText(e2e::FindControl(main, "lblItemName(0)")), c.firstName);
    HWND plus33 = e2e::FindControl(main, "lblStatusV(2)");
    EXPECT_EQ(e2e::WindowText(plus33), "3.31");
    HWND vcore = e2e::FindControl(main, "lblStatusV(0)");
    // Each cycle repaints; wait until the green of a reading in limits is on the screen.
    EXPECT_TRUE(e2e::WaitUntil([&] { return BackgroundPixel(vcore) == RGB(0, 255, 0); }, 10s));
    EXPECT_TRUE(e2e::Screenshot(c.name, main));
    program.Kill();
  }
}

TEST(MainWindowE2E, AStoppedCpuFanWarnsAndDisableHidesItsRow) {
  ProgramFolder folder("fan-stops", "model = ZR420\nsuperio = 0x2E\n");
  Process program = Process::Start(folder);
  HWND main = StartAndWaitForReadings(program);
  ASSERT_NE(main, nullptr);
  HWND speed = e2e::FindControl(main, "lblFanSpeed(1)");
  EXPECT_TRUE(IsWindowVisible(speed));

  folder.Write("kestrel.ini", "model = ZR420\nsuperio = 0x2E\nfan2 = 0\n");
  HWND dialog = e2e::WaitForForm(program, "frmFan2", 20s);
  ASSERT_NE(dialog, nullptr) << "no fan warning";
  EXPECT_EQ(e2e::WindowText(dialog), "Warning !!!");
  EXPECT_EQ(e2e::WindowText(speed), "low_speed");
  EXPECT_TRUE(e2e::WaitUntil([&] { return BackgroundPixel(speed) == RGB(255, 0, 0); }, 10s));
  EXPECT_TRUE(e2e::Screenshot("main-window-fan-warning", dialog));

  ASSERT_TRUE(e2e::PressButton(dialog, "Disable"));
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }, 10s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(speed); }, 10s));
  EXPECT_FALSE(IsWindowVisible(e2e::FindControl(main, "updFanLoLimit(1)")));
  program.Kill();
}

TEST(MainWindowE2E, AnUpDownArrowMovesItsRegisterAndTheIntervalBarSpansOneTo120Seconds) {
  ProgramFolder folder("updown", "model = ZR420\nsuperio = 0x2E\n");
  Process program = Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, kMainTitle);
  ASSERT_NE(main, nullptr);
  int shortest = 0;
  int longest = 0;
  EXPECT_TRUE(GetScrollRange(e2e::FindControl(main, "HScroll1"), SB_CTL, &shortest, &longest));
  EXPECT_EQ(shortest, 1);
  EXPECT_EQ(longest, 120);
  ASSERT_TRUE(e2e::WaitUntil([&] { return folder.StateByte("bank0.2f") == 227; }));
  HWND spin = e2e::FindControl(main, "updHiLimit(2)");
  ASSERT_NE(spin, nullptr);
  // The slider's own selection holds the limits it draws as its band, for whoever reads it.
  HWND slider = e2e::FindControl(main, "SldVoltage(2)");
  const LRESULT low = SendMessageA(e2e::FindControl(main, "updLoLimit(2)"), UDM_GETPOS32, 0, 0);
  const LRESULT high = SendMessageA(spin, UDM_GETPOS32, 0, 0);
  EXPECT_LT(low, high);
  EXPECT_EQ(SendMessageA(slider, TBM_GETSELSTART, 0, 0), low);
  EXPECT_EQ(SendMessageA(slider, TBM_GETSELEND, 0, 0), high);
  RECT r{};
  GetClientRect(spin, &r);
  // A click on the upper arrow.
  const LPARAM upper = MAKELPARAM(r.right / 2, r.bottom / 4);
  PostMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, upper);
  PostMessageA(spin, WM_LBUTTONUP, 0, upper);
  EXPECT_TRUE(e2e::WaitUntil([&] { return folder.StateByte("bank0.2f") == 228; }));
  EXPECT_EQ(e2e::WindowText(e2e::FindControl(main, "LblHiLimit(2)")), "3.65");
  EXPECT_EQ(SendMessageA(slider, TBM_GETSELEND, 0, 0), high + 1) << "the band's end follows";
  EXPECT_EQ(SendMessageA(slider, TBM_GETSELSTART, 0, 0), low);
  program.Kill();
}

}  // namespace
