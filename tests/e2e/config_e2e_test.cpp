// The configuration dialog of the real program under Wine: its four pages, and clicks that
// reprogram the chip's beep enables at once.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
// After windows.h (through the harness).
#include <commctrl.h>

namespace {

using namespace std::chrono_literals;
using e2e::Process;
using e2e::ProgramFolder;

TEST(ConfigE2E, PagesAndClicksThatReprogramTheBeeps) {
  ProgramFolder folder("config", "model = ZR420\nsuperio = 0x2E\n");
  Process program = Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, "Norvane Vigilon Ver 2.50");
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(e2e::WaitUntilPainted(main));
  // Opening the dialog writes no beep enable: a chip in alarm would chirp at every one.
  ASSERT_TRUE(e2e::WaitUntil([&] { return folder.ChipState().count("beep_writes") != 0; }));
  const std::string beepWrites = folder.ChipState().at("beep_writes");
  ASSERT_TRUE(e2e::PressButton(main, "Con&figuration"));
  HWND dialog = e2e::WaitForForm(program, "frmConfig", 10s);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(e2e::WindowText(dialog), "Monitoring Config.");
  ASSERT_TRUE(e2e::WaitUntilPainted(dialog));
  EXPECT_EQ(folder.ChipState().at("beep_writes"), beepWrites);

  HWND tabs = e2e::FindControl(dialog, "TabStrip1");
  const char* pages[] = {"config-voltage", "config-fan", "config-temperature", "config-chassis"};
  const char* headings[] = {" Voltage ", " Fan Speed ", " Tempurature ", ""};
  for (int page = 0; page < 4; ++page) {
    SendMessageA(tabs, TCM_SETCURFOCUS, static_cast<WPARAM>(page), 0);
    EXPECT_TRUE(e2e::WaitUntil(
        [&] { return e2e::WindowText(e2e::FindControl(dialog, "Frame2")) == headings[page]; }, 5s))
        << pages[page];
    EXPECT_TRUE(e2e::Screenshot(pages[page], dialog));
  }
  SendMessageA(tabs, TCM_SETCURFOCUS, 0, 0);

  // +5V: its beep off clears 0x56 bit 3 at once; Low Sensitive rewrites the enables from the
  // flags, the global beep bit always among them.
  ASSERT_TRUE(e2e::WaitUntil([&] { return (folder.StateByte("bank0.56") & 0x08) != 0; }));
  SendMessageA(e2e::FindControl(dialog, "chkBeep(3)"), BM_CLICK, 0, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return (folder.StateByte("bank0.56") & 0x08) == 0; }, 5s));
  SendMessageA(e2e::FindControl(dialog, "chkWErr3(3)"), BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageA(e2e::FindControl(dialog, "chkWErr1(3)"), BM_GETCHECK, 0, 0),
            BST_UNCHECKED);
  EXPECT_EQ(folder.StateByte("bank0.56") & 0x08, 0);
  EXPECT_EQ(folder.StateByte("bank0.57") & 0x80, 0x80);
  EXPECT_EQ(folder.StateByte("bank4.53") & 0x03, 0x03) << "5Vsb and Vbat beep";

  // Cancel puts the beep back.
  ASSERT_TRUE(e2e::PressButton(dialog, "Cancel"));
  EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(dialog); }, 10s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return (folder.StateByte("bank0.56") & 0x08) != 0; }, 5s));
  program.Kill();
}

}  // namespace
