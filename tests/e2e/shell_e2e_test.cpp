// The real program's shell under Wine: the notification area, the commands and their effects
// on the chip and the settings file, a suspend and resume, About, the chassis switch and the
// smart fan driven through kestrel.ini.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
// After windows.h (through the harness).
#include <shellapi.h>

namespace {

using namespace std::chrono_literals;
using e2e::Process;
using e2e::ProgramFolder;

using e2e::kMainTitle;
using e2e::kTrayCallback;

// Wine shows notification-area icons, with no shell of its own, as children of this window.
int TrayIcons() {
  HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
  int icons = 0;
  if (tray == nullptr) return 0;
  for (HWND child = GetWindow(tray, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) ++icons;
  return icons;
}

// The entries of a window's menu bar, counted on the screen: another process's menus cannot be
// read from here, but their words stand apart on the bar.
int MenuBarItems(HWND window) {
  POINT client{0, 0};
  ClientToScreen(window, &client);
  RECT frame{};
  GetWindowRect(window, &frame);
  const int y = client.y - GetSystemMetrics(SM_CYMENU) / 2;
  HDC screen = GetDC(nullptr);
  int words = 0;
  int gap = 1000;
  for (int x = frame.left + 2; x < frame.right - 2; ++x) {
    const COLORREF c = GetPixel(screen, x, y);
    const bool ink = GetRValue(c) + GetGValue(c) + GetBValue(c) < 300;
    if (ink && gap > 6) ++words;
    gap = ink ? 0 : gap + 1;
  }
  ReleaseDC(nullptr, screen);
  return words;
}

HWND WaitForPopupMenu() {
  HWND popup = nullptr;
  e2e::WaitUntil([&] {
    popup = FindWindowA("#32768", nullptr);
    return popup != nullptr && IsWindowVisible(popup);
  });
  return popup;
}

struct Running {
  explicit Running(const std::string& name, const std::string& ini)
      : folder(name, ini), program(Process::Start(folder)) {
    main = e2e::WaitForWindow(program, kMainTitle);
  }
  ProgramFolder folder;
  Process program;
  HWND main = nullptr;
};

TEST(ShellE2E, TheTrayIconHidesAndRestoresTheWindow) {
  Running r("tray", "model = ZR420\nsuperio = 0x2E\n");
  ASSERT_NE(r.main, nullptr);
  const int before = TrayIcons();
  SendMessageA(r.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(r.main); }, 10s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return TrayIcons() == before + 1; }, 10s)) << "no tray icon";
  EXPECT_TRUE(r.program.Running());

  // The right button's release pops up the icon's menu; its first entry restores.
  PostMessageA(r.main, kTrayCallback, 1, WM_RBUTTONUP);
  HWND popup = WaitForPopupMenu();
  ASSERT_NE(popup, nullptr) << "no pop-up menu";
  EXPECT_TRUE(e2e::Screenshot("shell-tray-menu"));
  PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(r.main) != FALSE; }, 10s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return TrayIcons() == before; }, 10s));
  ASSERT_TRUE(e2e::WaitUntilPainted(r.main));
  EXPECT_EQ(MenuBarItems(r.main), 4)
      << "File, Configuration, About, History: no pop-up menu in the bar";

  // Hidden again, the double-click brings the window back.
  SendMessageA(r.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(r.main); }, 10s));
  SendMessageA(r.main, kTrayCallback, 1, 0x203);
  EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(r.main) != FALSE; }, 10s));
  ASSERT_TRUE(e2e::WaitUntilPainted(r.main));
  EXPECT_EQ(MenuBarItems(r.main), 4);

  // While hidden, a restarted shell gets the icon back.
  SendMessageA(r.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(e2e::WaitUntil([&] { return TrayIcons() == before + 1; }, 10s));
  NOTIFYICONDATAA gone{};
  gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
  gone.hWnd = r.main;
  gone.uID = 1;
  Shell_NotifyIconA(NIM_DELETE, &gone);  // the shell forgot it
  ASSERT_TRUE(e2e::WaitUntil([&] { return TrayIcons() == before; }, 10s));
  SendMessageA(r.main, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return TrayIcons() == before + 1; }, 10s));

  // The pop-up's second entry ends the program.
  PostMessageA(r.main, kTrayCallback, 1, WM_RBUTTONUP);
  popup = WaitForPopupMenu();
  ASSERT_NE(popup, nullptr);
  PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(r.program.WaitForExit(20s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return TrayIcons() == before; }, 10s));
}

TEST(ShellE2E, SaveWritesTheRecordAndExitCleansTheChipUp) {
  // Cool enough for the smart fan to stop the CPU fan (duty register 0x5B) on this model.
  Running r("exit", "model = ZR430\nsuperio = 0x2E\ntemp1 = 20\n");
  ASSERT_NE(r.main, nullptr);
  ASSERT_TRUE(e2e::PressButton(r.main, "&Save Data"));
  ASSERT_TRUE(e2e::WaitUntil([&] { return r.folder.Exists("zr430.dat"); }));
  EXPECT_TRUE(e2e::WaitUntil([&] { return r.folder.Read("zr430.dat").size() == 326; }));
  ASSERT_TRUE(e2e::WaitUntil([&] { return (r.folder.StateByte("bank0.57") & 0x80) != 0; }));
  ASSERT_TRUE(e2e::WaitUntil([&] { return r.folder.StateByte("bank0.5b") == 0; }, 20s));
  ASSERT_TRUE(e2e::PressButton(r.main, "E&xit"));
  DWORD code = 1;
  EXPECT_TRUE(r.program.WaitForExit(20s, &code));
  EXPECT_EQ(r.folder.StateByte("bank0.57") & 0x80, 0) << "the beeper is off after the program";
  EXPECT_EQ(r.folder.StateByte("bank0.5b"), 0xFF) << "the CPU fan at full duty";
}

TEST(ShellE2E, ASuspendAndResumeBlankTheReadingsWhileTheTitleBlinks) {
  Running r("power", "model = ZR420\nsuperio = 0x2E\n");
  ASSERT_NE(r.main, nullptr);
  HWND vcore = e2e::FindControl(r.main, "lblStatusV(0)");
  ASSERT_TRUE(e2e::WaitUntil([&] { return !e2e::WindowText(vcore).empty(); }, 20s));
  SendMessageA(r.main, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
  SendMessageA(r.main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  SendMessageA(r.main, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
  EXPECT_EQ(e2e::WindowText(vcore), "------");
  const std::string settling =
      std::string(kMainTitle) + std::string(66, ' ') + "....... Initializing !!";
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(r.main) == settling; }, 5s));
  EXPECT_TRUE(e2e::Screenshot("shell-settling", r.main));
  EXPECT_EQ(e2e::WindowText(vcore), "------");
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(vcore) != "------"; }, 20s));
  EXPECT_EQ(e2e::WindowText(r.main), kMainTitle);
}

// A string of the program's version resource, as Explorer reads it.
std::string VersionValue(const std::string& exe, const char* key) {
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
  std::string block(size, '\0');
  if (size == 0 || !GetFileVersionInfoA(exe.c_str(), 0, size, block.data())) return {};
  char* value = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
  if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
    return {};
  return std::string(value, length > 0 ? length - 1 : 0);
}

TEST(ShellE2E, AboutTwiceShowsOneWindow) {
  Running r("about", "model = ZR420\nsuperio = 0x2E\n");
  ASSERT_NE(r.main, nullptr);
  ASSERT_TRUE(e2e::WaitUntilPainted(r.main));
  ASSERT_TRUE(e2e::PressButton(r.main, "&About"));
  HWND about = e2e::WaitForForm(r.program, "frmAbout", 10s);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(e2e::WindowText(about), "About Vigilon");
  EXPECT_EQ(e2e::WindowText(e2e::FindControl(about, "Frame1")),
            "Norvane Hardware Monitor Product Utility");
  // What Explorer says of the program is what About says.
  const std::string exe = r.folder.File("vigilon.exe");
  EXPECT_EQ(e2e::WindowText(e2e::FindControl(about, "Label4")),
            "Version " + VersionValue(exe, "ProductVersion"));
  EXPECT_EQ(VersionValue(exe, "FileVersion"), VersionValue(exe, "ProductVersion"));
  EXPECT_EQ(e2e::WindowText(e2e::FindControl(about, "Label5")),
            "Build: " + VersionValue(exe, "Build"));
  ASSERT_TRUE(e2e::PressButton(r.main, "&About"));
  EXPECT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == about; }, 5s));
  int abouts = 0;
  for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
    if (IsWindowVisible(w) && e2e::FormName(w) == "frmAbout") ++abouts;
  EXPECT_EQ(abouts, 1);
  EXPECT_TRUE(e2e::Screenshot("shell-about", about));
  ASSERT_TRUE(e2e::PressButton(about, "OK"));
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(about); }, 10s));
  EXPECT_TRUE(r.program.Running());
}

TEST(ShellE2E, AnOpenedChassisWarnsAtTheThirdCycle) {
  // Cycles are counted by the CPU fan's speed, which kestrel.ini changes after each: its row is
  // the last the cycle shows, after the chassis. Each speed is an exact fan count at divisor 8.
  auto ini = [](const char* rpm) {
    return std::string("model = ZR420\nsuperio = 0x2E\nchassis = open\nfan2 = ") + rpm + "\n";
  };
  Running r("chassis", ini("3750"));
  ASSERT_NE(r.main, nullptr);
  HWND cpuFan = e2e::FindControl(r.main, "lblFanSpeed(1)");
  auto cycleShows = [&](const char* shown) {
    return e2e::WaitUntil([&] { return e2e::WindowText(cpuFan) == shown; }, 20s);
  };
  for (auto [shown, next] : {std::pair{"3,750", "3375"}, std::pair{"3,375", "3125"}}) {
    ASSERT_TRUE(cycleShows(shown)) << "no cycle showed " << shown;
    EXPECT_EQ(e2e::WindowText(e2e::FindControl(r.main, "lblCaseOpen")), "Chassis is opened");
    EXPECT_EQ(e2e::WaitForForm(r.program, "frmCaseOpen", 0s), nullptr) << "warned too early";
    r.folder.Write("kestrel.ini", ini(next));
  }
  ASSERT_TRUE(cycleShows("3,125"));
  // The third cycle opened it before it showed the fan; a fourth is seconds away.
  HWND dialog = e2e::WaitForForm(r.program, "frmCaseOpen", 1s);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(e2e::WindowText(dialog), "Chassis Warning !!!");
  EXPECT_EQ(e2e::WindowText(e2e::FindControl(dialog, "Label2")), "Chassis has been opened.");
  EXPECT_TRUE(e2e::WaitUntil([&] { return (r.folder.StateByte("bank0.56") & 0x10) != 0; }));
  EXPECT_TRUE(e2e::Screenshot("shell-chassis-warning", dialog));
  ASSERT_TRUE(e2e::PressButton(dialog, "Ignore"));
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }, 10s));
  // The bit the dialog borrowed is the first temperature's beep, which this model's defaults
  // keep on: closing the dialog leaves it as those flags say. The driver writes its state file
  // at every access, and the dialog's window goes only after its unload has written the chip.
  EXPECT_EQ(r.folder.StateByte("bank0.56") & 0x10, 0x10);
}

TEST(ShellE2E, TheSmartFanFollowsTheTemperature) {
  // On this model the system sensor drives the CPU fan, switching at 26 and 27 degrees.
  Running r("smart-fan", "model = ZR430\nsuperio = 0x2E\ntemp1 = 20\n");
  ASSERT_NE(r.main, nullptr);
  EXPECT_TRUE(e2e::WaitUntil([&] { return r.folder.StateByte("bank0.5b") == 0; }, 20s))
      << "stopped when cool";
  r.folder.Write("kestrel.ini", "model = ZR430\nsuperio = 0x2E\ntemp1 = 35\n");
  EXPECT_TRUE(e2e::WaitUntil([&] { return r.folder.StateByte("bank0.5b") == 0xFF; }, 20s))
      << "running when warm";
}

}  // namespace
