// Start-up of the real program under Wine: each start-up failure with its message, a second
// copy bringing the first forward or saying it does not answer (and never asking another
// program's window), a squatted instance name said so, every chip model reaching the main
// window, and a damaged settings file told before it and kept at the first save.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
// windows.h (through the harness) first
#include <tlhelp32.h>

#include "items/settings_test_support.h"
#include "platform/single_instance.h"
#include "support/held_names.h"

namespace {

using namespace std::chrono_literals;
using e2e::Process;
using e2e::ProgramFolder;

using e2e::kMainTitle;

std::string Ini(const std::string& lines) {
  return "model = ZR420\nsuperio = 0x2E\n" + lines;
}

// Starts the program, expects one message box with this text and the application title,
// answers it, and expects the process to end without ever showing the main window.
void ExpectStartupFailure(const ProgramFolder& folder, const std::string& message) {
  Process program = Process::Start(folder);
  ASSERT_NE(program.pid(), 0u);
  HWND box = e2e::WaitForMessageBox(program);
  ASSERT_NE(box, nullptr) << "no message box";
  EXPECT_EQ(e2e::WindowText(box), "vigilon");
  EXPECT_EQ(e2e::MessageBoxText(box), message);
  EXPECT_TRUE(e2e::PressButton(box, "OK"));
  DWORD code = 0;
  EXPECT_TRUE(program.WaitForExit(30s, &code));
  EXPECT_EQ(e2e::WaitForWindow(program, kMainTitle, 0ms), nullptr);
}

TEST(StartupE2E, DriverThatFailsToLoad) {
  ProgramFolder folder("driver-fails", Ini("fault_load = 1\n"));
  ExpectStartupFailure(folder, "LOAD Device Driver fail!");
}

TEST(StartupE2E, DriverLibraryMissing) {
  ProgramFolder folder("driver-missing", Ini(""));
  folder.Remove("kestrel.dll");
  ExpectStartupFailure(folder, "LOAD Device Driver fail!");
}

TEST(StartupE2E, MalformedDriverSettingsAreNamedByTheDriverFirst) {
  ProgramFolder folder("driver-ini-bad", Ini("fan9 = 100\n"));
  Process program = Process::Start(folder);
  HWND driverBox = e2e::WaitForMessageBox(program);
  ASSERT_NE(driverBox, nullptr);
  EXPECT_EQ(e2e::WindowText(driverBox), "kestrel");
  const std::string text = e2e::MessageBoxText(driverBox);
  EXPECT_NE(text.find("line 3"), std::string::npos) << text;
  EXPECT_NE(text.find("fan9"), std::string::npos) << text;
  e2e::PressButton(driverBox, "OK");
  ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(driverBox); }));
  HWND box = e2e::WaitForMessageBox(program);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(e2e::MessageBoxText(box), "LOAD Device Driver fail!");
  e2e::PressButton(box, "OK");
  EXPECT_TRUE(program.WaitForExit(30s));
}

TEST(StartupE2E, BusThatFailsToInitialise) {
  ProgramFolder folder("bus-fails", Ini("fault_bus = 1\n"));
  ExpectStartupFailure(folder, "Initialize Bus Fail!");
}

TEST(StartupE2E, NoChipOrAnotherVendor) {
  ProgramFolder noChip("no-chip", Ini("fault_no_chip = 1\n"));
  ExpectStartupFailure(noChip, "Norvane Hardware Monitor chip does not exist!");
  ProgramFolder swapped("vendor-swapped", Ini("vendor_id = 0xA35C\n"));
  ExpectStartupFailure(swapped, "Norvane Hardware Monitor chip does not exist!");
}

TEST(StartupE2E, EachModelReachesItsMainWindow) {
  const char* inis[] = {
      "model = ZR410\nsuperio = none\n",
      "model = ZR420\nsuperio = 0x2E\nbase = 0x290\n",
      "model = ZR430\nsuperio = 0x2E\nactive = 0\n",
      "model = ZR460\nsuperio = 0x4E\nbase = 0x0A10\n",
  };
  for (const char* ini : inis) {
    SCOPED_TRACE(ini);
    ProgramFolder folder("model", ini);
    Process program = Process::Start(folder);
    HWND main = e2e::WaitForWindow(program, kMainTitle);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(program.Running());
    program.Kill();
  }
}

// Suspends or resumes every thread of a process, as a debugger stops it.
void HoldThreads(DWORD pid, bool hold) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;
    if (hold) {
      SuspendThread(thread);
    } else {
      ResumeThread(thread);
    }
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
}

// A copy started again in the session brings the first one forward, from the notification area
// or from the task bar, and ends without a word; a first copy that is stopped does not answer,
// and the second says so within seconds. Never two copies on the chip.
TEST(StartupE2E, ASecondCopyBringsTheFirstForwardOrSaysItDoesNotAnswer) {
  ProgramFolder folder("single-instance", Ini(""));
  Process first = Process::Start(folder);
  HWND main = e2e::WaitForWindow(first, kMainTitle);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(e2e::Screenshot("startup-zr420-main-window", main));

  for (const bool toTray : {true, false}) {
    SCOPED_TRACE(toTray ? "hidden in the notification area" : "minimised in the task bar");
    if (toTray) {
      SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
      ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(main); }, 10s));
    } else {
      ShowWindow(main, SW_MINIMIZE);
      ASSERT_TRUE(e2e::WaitUntil([&] { return IsIconic(main) != FALSE; }, 10s));
    }
    // Another program's window is in front when the second copy starts.
    HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    ASSERT_EQ(GetForegroundWindow(), other);
    Process second = Process::Start(folder);
    DWORD code = 1;
    EXPECT_TRUE(second.WaitForExit(30s, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(e2e::AnyVisibleWindow(second), nullptr);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsIconic(main));
    EXPECT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == main; }, 5s));
    DestroyWindow(other);
  }

  HoldThreads(first.pid(), true);
  Process second = Process::Start(folder);
  const auto started = std::chrono::steady_clock::now();
  HWND box = e2e::WaitForMessageBox(second, 30s);
  const auto waited = std::chrono::steady_clock::now() - started;
  HoldThreads(first.pid(), false);
  ASSERT_NE(box, nullptr) << "ended without a word";
  EXPECT_LT(waited, 20s);
  EXPECT_EQ(e2e::WindowText(box), "vigilon");
  const std::string text = e2e::MessageBoxText(box);
  EXPECT_NE(text.find("already running in this session, but it does not answer"), std::string::npos)
      << text;
  EXPECT_EQ(e2e::WaitForWindow(second, kMainTitle, 0ms), nullptr);
  EXPECT_TRUE(e2e::PressButton(box, "OK"));
  DWORD code = 0;
  EXPECT_TRUE(second.WaitForExit(30s, &code));
  EXPECT_NE(code, 0u);
  EXPECT_TRUE(first.Running());
}

// Another program that holds the session's instance name and shows a window of the program's
// class, answering as the first copy would: not a copy of the program, so it is never asked,
// and the start ends with the message.
LRESULT CALLBACK ImpostorProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT ask = RegisterWindowMessageW(vigilon::platform::kComeForwardMessage);
  if (message == ask) {
    SetPropW(window, L"asked", reinterpret_cast<HANDLE>(1));
    return vigilon::platform::kCameForward;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(StartupE2E, AWindowOfOurClassInAnotherProgramIsNotAsked) {
  const vigilon::test::HeldName marker(
      CreateMutexA(nullptr, FALSE, vigilon::platform::kInstanceMarkerLocal));
  ASSERT_TRUE(marker.madeHere());
  WNDCLASSW impostorClass{};
  impostorClass.lpfnWndProc = &ImpostorProcedure;
  impostorClass.hInstance = GetModuleHandleW(nullptr);
  impostorClass.lpszClassName = vigilon::platform::kFormWindowClass;
  ASSERT_NE(RegisterClassW(&impostorClass), 0);
  HWND impostor =
      CreateWindowExW(0, vigilon::platform::kFormWindowClass, L"Vigilon", WS_OVERLAPPED, 0, 0, 100,
                      100, nullptr, nullptr, impostorClass.hInstance, nullptr);
  ASSERT_NE(impostor, nullptr);

  ProgramFolder folder("instance-impostor", Ini(""));
  Process program = Process::Start(folder);
  HWND box = nullptr;
  // The window answers whatever is sent to it while the test waits.
  e2e::WaitUntil([&] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    box = e2e::WaitForMessageBox(program, 0ms);
    return box != nullptr || !program.Running();
  });
  EXPECT_EQ(GetPropW(impostor, L"asked"), nullptr) << "another program's window was trusted";
  ASSERT_NE(box, nullptr) << "ended without a word";
  EXPECT_NE(e2e::MessageBoxText(box).find("does not answer"), std::string::npos);
  EXPECT_TRUE(e2e::PressButton(box, "OK"));
  EXPECT_TRUE(program.WaitForExit(30s));
  EXPECT_TRUE(folder.ChipState().empty()) << "the driver was loaded";
  DestroyWindow(impostor);
}

// Another user's program holds the machine-wide instance name and keeps everybody out: the
// program says so and ends before it loads the driver.
TEST(StartupE2E, SquattedInstanceNameIsSaidAndNothingStarts) {
  constexpr const char* kMarker = "Global\\Norvane Vigilon single instance";
  const vigilon::test::HeldName squatter(vigilon::test::CreateMutexNobodyMayOpen(kMarker));
  ASSERT_TRUE(squatter.madeHere());
  ProgramFolder folder("instance-squatted", Ini(""));
  Process program = Process::Start(folder);
  HWND box = e2e::WaitForMessageBox(program);
  ASSERT_NE(box, nullptr) << "ended without a word";
  EXPECT_EQ(e2e::WindowText(box), "vigilon");
  const std::string text = e2e::MessageBoxText(box);
  EXPECT_NE(text.find("Vigilon does not start"), std::string::npos) << text;
  EXPECT_NE(text.find(std::string("\"") + kMarker + "\""), std::string::npos) << text;
  EXPECT_TRUE(e2e::PressButton(box, "OK"));
  DWORD code = 0;
  EXPECT_TRUE(program.WaitForExit(30s, &code));
  EXPECT_NE(code, 0u);
  EXPECT_EQ(e2e::WaitForWindow(program, kMainTitle, 0ms), nullptr);
  EXPECT_TRUE(folder.ChipState().empty()) << "the driver was loaded";
}

}  // namespace

namespace {

int StateByte(const std::map<std::string, std::string>& state, const std::string& key) {
  const auto it = state.find(key);
  return it == state.end() ? -1 : static_cast<int>(std::stoul(it->second, nullptr, 16));
}

// Start-up reads the model's settings file and never writes it, and the chip is prepared for the
// main window.
TEST(StartupE2E, SettingsFileIsReadNotWrittenAndTheChipPrepared) {
  // The defaults as the program saves them; they ask for the VID limits.
  const std::vector<uint8_t> defaults =
      vigilon::items::test_data::FromHex(vigilon::items::test_data::kDefaultsZr420Hex);
  const std::string valid(defaults.begin(), defaults.end());
  ProgramFolder folder("settings", Ini(""));
  folder.Write("zr420.dat", valid);
  Process program = Process::Start(folder);
  ASSERT_NE(e2e::WaitForWindow(program, kMainTitle), nullptr);
  EXPECT_EQ(e2e::WaitForMessageBox(program, 0ms), nullptr);
  std::map<std::string, std::string> state;
  EXPECT_TRUE(e2e::WaitUntil([&] {
    state = folder.ChipState();
    const int fanControl = StateByte(state, "bank0.4d");
    return fanControl >= 0 && (fanControl & 0x80) != 0;
  })) << "register 0x4D bit 7 not set";
  EXPECT_EQ(StateByte(state, "bank0.5d") & 0x08, 0);
  EXPECT_EQ(folder.Read("zr420.dat"), valid);
  program.Kill();
}

// A settings file one byte short (a crash in the middle of a write): one message before the main
// window names it and says what is in use instead; the first Save keeps its old bytes beside it.
TEST(StartupE2E, ADamagedSettingsFileIsToldAndKeptAtTheFirstSave) {
  std::string damaged(325, '\0');
  damaged[324] = 17;  // the interval the user had
  ProgramFolder folder("settings-damaged", Ini(""));
  folder.Write("zr420.dat", damaged);
  Process program = Process::Start(folder);
  HWND box = e2e::WaitForMessageBox(program);
  ASSERT_NE(box, nullptr) << "no message at start";
  EXPECT_EQ(e2e::WaitForWindow(program, kMainTitle, 0ms), nullptr) << "the message comes first";
  EXPECT_EQ(e2e::WindowText(box), "vigilon");
  const std::string text = e2e::MessageBoxText(box);
  for (const std::string& part :
       {folder.File("zr420.dat"), std::string("It is too short: 325 of 326 bytes."),
        std::string("The defaults are in use instead."), std::string("\"zr420.dat.damaged\"")})
    EXPECT_NE(text.find(part), std::string::npos) << part << " not in:\n" << text;
  EXPECT_TRUE(e2e::Screenshot("startup-damaged-settings-message", box));
  EXPECT_TRUE(e2e::PressButton(box, "OK"));

  HWND main = e2e::WaitForWindow(program, kMainTitle);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(folder.Read("zr420.dat"), damaged) << "nothing written before a save";
  EXPECT_FALSE(folder.Exists("zr420.dat.damaged"));
  PostMessageA(e2e::FindControl(main, "Command4"), BM_CLICK, 0, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return folder.Read("zr420.dat").size() == 326; }));
  EXPECT_EQ(folder.Read("zr420.dat.damaged"), damaged);
  EXPECT_EQ(e2e::WaitForMessageBox(program, 0ms), nullptr) << "the save went as announced";
  program.Kill();
}

}  // namespace
