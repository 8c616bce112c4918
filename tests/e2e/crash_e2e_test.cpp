// The real program's ends it did not choose, under Wine: a WM_QUIT from another program, and
// each kind of fault inside the driver (the tests' build of it dies on request). After every
// one, the fan the smart fan had stopped runs.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "harness.h"
#include "support/windows_path.h"

namespace {

using namespace std::chrono_literals;
using e2e::Process;
using e2e::ProgramFolder;

// Cool enough for the smart fan to stop the CPU fan (duty register 0x5B) on this model.
constexpr const char* kCoolZR430 = "model = ZR430\nsuperio = 0x2E\ntemp1 = 20\n";

struct Stopped {
  explicit Stopped(const std::string& name) : folder(name, kCoolZR430) {}
  // Starts the program and waits until its smart fan has stopped the fan.
  bool Start() {
    program.emplace(Process::Start(folder));
    main = e2e::WaitForWindow(*program, e2e::kMainTitle);
    return main != nullptr &&
           e2e::WaitUntil([&] { return folder.StateByte("bank0.5b") == 0; }, 20s);
  }
  bool FanRuns() const {
    return e2e::WaitUntil([&] { return folder.StateByte("bank0.5b") == 0xFF; }, 20s);
  }
  ProgramFolder folder;
  std::optional<Process> program;
  HWND main = nullptr;
};

TEST(CrashE2E, AQuitFromAnotherProgramLeavesTheChipAsExitDoes) {
  Stopped s("quit");
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(PostThreadMessageA(GetWindowThreadProcessId(s.main, nullptr), WM_QUIT, 0, 0));
  EXPECT_TRUE(s.program->WaitForExit(20s));
  EXPECT_EQ(s.folder.StateByte("bank0.5b"), 0xFF);
  EXPECT_EQ(s.folder.StateByte("bank0.57") & 0x80, 0) << "the beeper is off after the program";
}

TEST(CrashE2E, EachFaultInsideTheDriverLeavesTheStoppedFanRunning) {
  // Wine's crash dialog would keep a dead program on the screen: the test only needs it gone.
  RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", "ShowCrashDialog", REG_DWORD,
                  "\0\0\0\0", 4);
  const std::string faulty =
      vigilon::test::WindowsPath(VIGILON_E2E_FAULTS_DIR) + "\\kestrel.dll";
  for (const char* kind : {"access-violation", "stack-overflow", "abort", "bad-alloc"}) {
    SCOPED_TRACE(kind);
    Stopped s(std::string("fault-") + kind);
    ASSERT_TRUE(CopyFileA(faulty.c_str(), s.folder.File("kestrel.dll").c_str(), FALSE));
    ASSERT_TRUE(s.Start());
    s.folder.Write("kestrel.fault", kind);
    EXPECT_TRUE(s.FanRuns());
    EXPECT_TRUE(s.program->WaitForExit(20s)) << "the program lives on";
  }
}

}  // namespace
