// The real program under Wine without a mouse: Tab walks to a limit's up-down and the up arrow
// moves the chip's register; the access keys press their buttons; a warning dialog's buttons in
// reading order, and its Help telling why there is no help. Keys go where the keyboard sends
// them: to the control that has the focus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
// After windows.h (through the harness).
#include <commctrl.h>

namespace {

using namespace std::chrono_literals;
using e2e::FindControl;
using e2e::Process;
using e2e::ProgramFolder;

using e2e::AccessKey;
using e2e::Focus;
using e2e::kMainTitle;
using e2e::Press;
using e2e::Tab;

TEST(KeyboardE2E, TabReachesALimitAndTheUpArrowMovesItsRegisterAsAClickDoes) {
  ProgramFolder folder("keyboard-limit", "model = ZR420\nsuperio = 0x2E\n");
  Process program = Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, kMainTitle);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(e2e::WaitUntil([&] { return folder.StateByte("bank0.2f") == 227; }));
  // Reading order: the CPU row's low and high limits, then the +3.3 V row's.
  const std::vector<HWND> expected{
      FindControl(main, "updLoLimit(0)"), FindControl(main, "updHiLimit(0)"),
      FindControl(main, "updLoLimit(2)"), FindControl(main, "updHiLimit(2)")};
  std::vector<HWND> reached;
  for (size_t i = 0; i < expected.size(); ++i) reached.push_back(Tab(main));
  ASSERT_EQ(reached, expected);

  Press(main, VK_UP);
  EXPECT_TRUE(e2e::WaitUntil([&] { return folder.StateByte("bank0.2f") == 228; }));
  EXPECT_EQ(e2e::WindowText(FindControl(main, "LblHiLimit(2)")), "3.65");
  Press(main, VK_DOWN);
  EXPECT_TRUE(e2e::WaitUntil([&] { return folder.StateByte("bank0.2f") == 227; }));
  EXPECT_EQ(Focus(main), expected.back()) << "the arrows stay on the up-down";
  program.Kill();
}

TEST(KeyboardE2E, AccessKeysPressTheirButtonsAndADialogAnswersTabAndEnter) {
  ProgramFolder folder("keyboard-access", "model = ZR420\nsuperio = 0x2E\n");
  Process program = Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, kMainTitle);
  ASSERT_NE(main, nullptr);

  AccessKey(main, 's');  // "&Save Data"
  EXPECT_TRUE(e2e::WaitUntil([&] { return folder.Exists("zr420.dat"); }, 10s));

  AccessKey(main, 'a');  // "&About"
  HWND about = e2e::WaitForForm(program, "frmAbout", 10s);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Tab(about), FindControl(about, "cmdOk"));
  Press(about, VK_RETURN);
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(about); }, 10s)) << "Enter pressed OK";

  // "Con&figuration" takes the F its caption marks; the File menu stays a press of Alt and F.
  AccessKey(main, 'f');
  HWND config = e2e::WaitForForm(program, "frmConfig", 10s);
  ASSERT_NE(config, nullptr);
  HWND tabs = FindControl(config, "TabStrip1");
  EXPECT_EQ(Tab(config), tabs);
  Press(config, VK_RIGHT);
  EXPECT_TRUE(e2e::WaitUntil([&] { return SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == 1; }, 5s))
      << "the arrows turn the pages";
  // Into the page in front, the fan page, not the voltage page beneath it.
  EXPECT_EQ(Tab(config), FindControl(config, "chkEnable(9)"));
  Press(config, VK_SPACE);
  PostMessageA(Focus(config), WM_KEYUP, VK_SPACE, LPARAM{1} << 31 | LPARAM{1} << 30);
  EXPECT_TRUE(e2e::WaitUntil(
      [&] { return SendMessageA(FindControl(config, "chkEnable(9)"), BM_GETCHECK, 0, 0) == 1; },
      5s));

  AccessKey(main, 'n');  // "Mi&nimize": to the notification area
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(main); }, 10s));
  program.Kill();
}

TEST(KeyboardE2E, AWarningsButtonsInReadingOrderAndItsHelpSaysWhyThereIsNone) {
  ProgramFolder folder("keyboard-help", "model = ZR420\nsuperio = 0x2E\nvcoreb = 0.5\n");
  Process program = Process::Start(folder);
  HWND dialog = e2e::WaitForForm(program, "frmVcoreB", 30s);
  ASSERT_NE(dialog, nullptr);
  for (const char* button : {"Command(0)", "Command(1)", "Command(2)", "Command(3)"}) {
    ASSERT_EQ(Tab(dialog), FindControl(dialog, button)) << button;
  }
  // Enter on Help; no help file lies beside the program.
  Press(dialog, VK_RETURN);
  HWND box = e2e::WaitForMessageBox(program, 10s);
  ASSERT_NE(box, nullptr) << "Help said nothing";
  const std::string text = e2e::MessageBoxText(box);
  EXPECT_NE(text.find("vwarn.hlp"), std::string::npos) << text;
  EXPECT_NE(text.find("not in the program's folder"), std::string::npos) << text;
  EXPECT_TRUE(e2e::PressButton(box, "OK"));
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(box); }, 10s));
  EXPECT_TRUE(IsWindowVisible(dialog)) << "the warning stays";
  program.Kill();
}

}  // namespace
