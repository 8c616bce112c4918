// The real program under Wine at the edges of its world: a chip that stops answering, and a
// bus lock another program keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "harness.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using e2e::Process;
using e2e::ProgramFolder;

using e2e::kMainTitle;
constexpr const char* kSilentTitle =
    "Norvane Vigilon Ver 2.50  -  the monitor chip does not answer";
constexpr const char* kHealthy = "model = ZR420\nsuperio = 0x2E\n";

struct OtherWindowsQuery {
  DWORD pid;
  HWND main;
  int found;
};

BOOL CALLBACK CountOtherWindow(HWND window, LPARAM param) {
  auto* q = reinterpret_cast<OtherWindowsQuery*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == q->pid && window != q->main && IsWindowVisible(window)) ++q->found;
  return TRUE;
}

// Visible top-level windows of the process other than `main`: the warning dialogs.
int OtherWindows(const Process& program, HWND main) {
  OtherWindowsQuery query{program.pid(), main, 0};
  EnumWindows(CountOtherWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

bool ShowsAReading(HWND main) {
  const std::string text = e2e::WindowText(e2e::FindControl(main, "lblStatusV(2)"));
  return !text.empty() && text != "------";
}

TEST(EdgesE2E, AChipThatStopsAnsweringOpensNoDialogAndSaysSo) {
  ProgramFolder folder("silent", kHealthy);
  Process program = Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, kMainTitle);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(e2e::WaitUntil([&] { return ShowsAReading(main); }, 15s));

  folder.Write("kestrel.ini", std::string(kHealthy) + "fault_no_chip = 1\n");
  ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(main) == kSilentTitle; }, 15s));
  EXPECT_EQ(e2e::WindowText(e2e::FindControl(main, "lblStatusV(2)")), "------");
  // Two more cycles of all-ones readings: High Sensitive rails would each have opened a dialog.
  EXPECT_FALSE(e2e::WaitUntil([&] { return OtherWindows(program, main) > 0; }, 9s));
  EXPECT_TRUE(e2e::Screenshot("edges-silent-chip", main));

  folder.Write("kestrel.ini", kHealthy);
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(main) == kMainTitle; }, 15s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return ShowsAReading(main); }, 15s));
  EXPECT_EQ(OtherWindows(program, main), 0);
  program.Kill();
}

TEST(EdgesE2E, ABusLockAnotherProgramKeepsCostsTheWindowOneShortWait) {
  // Another monitoring program that took the shared bus and hangs with it.
  HANDLE held = CreateMutexA(nullptr, TRUE, "Global\\Access_ISABUS.HTP.Method");
  ASSERT_NE(held, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  ProgramFolder folder("buslock", kHealthy);
  const Clock::time_point started = Clock::now();
  Process program = Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, kMainTitle);
  ASSERT_NE(main, nullptr);
  // With a wait at every access pair the window came after about 17 s.
  EXPECT_LT(Clock::now() - started, 10s);
  ASSERT_TRUE(e2e::WaitUntil([&] { return ShowsAReading(main); }, 15s))
      << "monitoring goes on without the lock";

  // Over two cycles the window answers within the cycle's own pause and one wait; with a wait
  // at every access pair it did not answer for 3.4 s and more of every cycle.
  Clock::duration longest{};
  const Clock::time_point until = Clock::now() + 9s;
  while (Clock::now() < until) {
    const Clock::time_point asked = Clock::now();
    DWORD_PTR result = 0;
    SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    longest = std::max(longest, Clock::now() - asked);
    e2e::WaitUntil([] { return false; }, 20ms);
  }
  EXPECT_LT(longest, 1500ms)
      << std::chrono::duration_cast<std::chrono::milliseconds>(longest).count() << " ms";

  // About says how often the wait ran out.
  ASSERT_TRUE(e2e::PressButton(main, "&About"));
  HWND about = e2e::WaitForForm(program, "frmAbout", 10s);
  ASSERT_NE(about, nullptr);
  const std::string line = e2e::WindowText(e2e::FindControl(about, "lblBusLockTimeouts"));
  EXPECT_EQ(line.rfind("Bus lock time-outs: ", 0), 0u) << line;
  EXPECT_NE(line, "Bus lock time-outs: 0");
  EXPECT_TRUE(e2e::Screenshot("edges-bus-lock-about", about));
  program.Kill();
  ReleaseMutex(held);
  CloseHandle(held);
}

}  // namespace
