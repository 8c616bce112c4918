// The real program under Wine with the log and the metrics on: both files appear in their
// folders, and what the window showed is written beside them (shown.txt) for the check with
// the real node exporter, promtool and a CSV reader that runs after this test.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"

namespace {

using namespace std::chrono_literals;

TEST(RecordsE2E, TheLogAndTheMetricsFileAppearAndTheWindowsReadingsAreNoted) {
  e2e::ProgramFolder folder("records", "model = ZR420\nsuperio = 0x2E\nv3_3 = 3.312\n");
  folder.Write("vigilon.ini",
               "[Log]\r\nEnabled=1\r\nFolder=logs\r\n[Metrics]\r\nEnabled=1\r\nFolder=metrics\r\n");
  e2e::Process program = e2e::Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, e2e::kMainTitle);
  ASSERT_NE(main, nullptr);
  // Three cycles: the log then holds a header and at least two rows.
  const auto rows = [&] {
    WIN32_FIND_DATAA found{};
    const HANDLE find = FindFirstFileA(folder.File("logs\\vigilon-2*.csv").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    FindClose(find);
    const std::string log = folder.Read(std::string("logs\\") + found.cFileName);
    int lines = 0;
    for (const char c : log) lines += c == '\n' ? 1 : 0;
    return lines - 1;
  };
  ASSERT_TRUE(e2e::WaitUntil([&] { return rows() >= 3; }, 40s)) << "no log rows";
  ASSERT_TRUE(folder.Exists("metrics\\vigilon.prom"));
  EXPECT_FALSE(folder.Exists("metrics\\vigilon.prom.tmp"));

  // The window's readings, kind, name, log column and text a line; the simulated chip reads
  // the same every cycle, so each row and the metrics file hold them.
  struct Shown {
    const char* kind;
    const char* name;
    const char* column;
    const char* control;
  };
  const Shown shown[] = {
      {"voltage", "CPU", "CPU (V)", "lblStatusV(0)"},
      {"voltage", "+3.3V", "+3.3V (V)", "lblStatusV(2)"},
      {"voltage", "+12V", "+12V (V)", "lblStatusV(4)"},
      {"fan", "CPU", "CPU (rpm)", "lblFanSpeed(1)"},
      {"temperature", "System",
       "System (\xC2\xB0"
       "C)",
       "lblStatusT(0)"},
      {"temperature", "CPU",
       "CPU (\xC2\xB0"
       "C)",
       "lblStatusT(1)"},
  };
  std::string noted;
  for (const Shown& s : shown) {
    const std::string text = e2e::WindowText(e2e::FindControl(main, s.control));
    ASSERT_FALSE(text.empty()) << s.control;
    noted += std::string(s.kind) + "\t" + s.name + "\t" + s.column + "\t" + text + "\n";
  }
  folder.Write("shown.txt", noted);
  program.Kill();
}

}  // namespace
