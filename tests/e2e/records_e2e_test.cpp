// The real program under Wine with the log and the metrics on: both files appear in their
// folders, and what the window showed is written beside them (shown.txt) for the check with
// the real node exporter, promtool and a CSV reader that runs after this test. The Logging and
// Export dialog driven by the keyboard alone: Cancel changes nothing, OK writes and applies.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "ui/control_id.h"

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

// The File menu's "&Logging and Export...", as the menu sends it.
HWND OpenLoggingDialog(const e2e::Process& program, HWND main) {
  PostMessageA(main, WM_COMMAND, vigilon::ui::ControlIdForName("mLogging"), 0);
  return e2e::WaitForForm(program, "frmLogging", 10s);
}

bool Ticked(HWND dialog, const char* box) {
  return SendMessageA(e2e::FindControl(dialog, box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

TEST(RecordsE2E, TheDialogByKeyboardCancelChangesNothingAndOkWritesAndAppliesAtOnce) {
  e2e::ProgramFolder folder("records-dialog", "model = ZR420\nsuperio = 0x2E\n");
  e2e::Process program = e2e::Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, e2e::kMainTitle);
  ASSERT_NE(main, nullptr);
  HWND dialog = OpenLoggingDialog(program, main);
  ASSERT_NE(dialog, nullptr) << "File, Logging and Export opened nothing";
  EXPECT_EQ(e2e::WindowText(dialog), "Logging and Export");

  // Tab reaches every control that takes input, in reading order, and comes round again.
  std::vector<HWND> expected;
  for (const char* name : {"chkLog", "txtLogFolder", "cmdBrowseLog", "txtKeepDays", "chkMetrics",
                           "txtMetricsFolder", "cmdBrowseMetrics", "cmdOk", "cmdCancel"})
    expected.push_back(e2e::FindControl(dialog, name));
  std::vector<HWND> reached;
  for (size_t i = 0; i < expected.size(); ++i) reached.push_back(e2e::Tab(dialog));
  const auto first = std::find(reached.begin(), reached.end(), expected.front());
  ASSERT_NE(first, reached.end()) << "Tab never reached the log's switch";
  std::rotate(reached.begin(), first, reached.end());
  EXPECT_EQ(reached, expected);

  // Escape is Cancel, and what was changed before it stays unwritten.
  e2e::AccessKey(dialog, 'l');
  ASSERT_TRUE(e2e::WaitUntil([&] { return Ticked(dialog, "chkLog"); }, 5s)) << "Alt+L";
  e2e::Press(dialog, VK_ESCAPE);
  ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }, 10s)) << "Escape";
  EXPECT_FALSE(folder.Exists("vigilon.ini"));

  dialog = OpenLoggingDialog(program, main);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(Ticked(dialog, "chkLog")) << "Cancel kept the switch";
  // Alt and a letter: a switch flips, a label's letter leads into its text box. Each key waits
  // for the one before, as a user's would.
  const auto accessKey = [&](char letter, const char* control) {
    e2e::AccessKey(dialog, letter);
    return e2e::WaitUntil([&] { return e2e::Focus(dialog) == e2e::FindControl(dialog, control); },
                          5s);
  };
  const auto type = [&](const char* control, const std::string& text) {
    e2e::Type(dialog, text);
    HWND box = e2e::FindControl(dialog, control);
    return e2e::WaitUntil([&] { return e2e::EditText(box) == text; }, 5s)
               ? ::testing::AssertionSuccess()
               : ::testing::AssertionFailure() << control << " holds " << e2e::EditText(box);
  };
  ASSERT_TRUE(accessKey('l', "chkLog"));
  ASSERT_TRUE(e2e::WaitUntil([&] { return Ticked(dialog, "chkLog"); }, 5s)) << "Alt+L";
  ASSERT_TRUE(accessKey('f', "txtLogFolder")) << "Alt+F";
  ASSERT_TRUE(type("txtLogFolder", "day logs"));
  ASSERT_TRUE(accessKey('d', "txtKeepDays")) << "Alt+D";
  ASSERT_TRUE(type("txtKeepDays", "7"));
  ASSERT_TRUE(accessKey('m', "chkMetrics"));
  ASSERT_TRUE(e2e::WaitUntil([&] { return Ticked(dialog, "chkMetrics"); }, 5s)) << "Alt+M";
  ASSERT_TRUE(accessKey('o', "txtMetricsFolder")) << "Alt+O";
  ASSERT_TRUE(type("txtMetricsFolder", "prom"));
  EXPECT_TRUE(e2e::WindowScreenshot("records-dialog", dialog));
  // Enter in a text box is OK.
  e2e::Press(dialog, VK_RETURN);
  ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }, 10s)) << "Enter";
  const std::string ini = folder.Read("vigilon.ini");
  for (const char* line :
       {"[Log]", "Enabled=1", "Folder=day logs", "KeepDays=7", "[Metrics]", "Folder=prom"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << " not in\n" << ini;
  // Applied without a restart: the next cycles write both.
  EXPECT_TRUE(e2e::WaitUntil([&] { return folder.Exists("prom\\vigilon.prom"); }, 30s));
  EXPECT_TRUE(e2e::WaitUntil(
      [&] {
        const auto names = e2e::ProgramFolder::Entries(folder.File("day logs"));
        return std::any_of(names.begin(), names.end(), [](const std::string& name) {
          return name.rfind("vigilon-2", 0) == 0 && name.size() == 22;
        });
      },
      30s))
      << "no log of the day";
  program.Kill();
}

}  // namespace
