// The real History window under Wine: opened by a double-click on a reading, a span chosen,
// and Copy's table read back from the clipboard.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"

namespace {

using namespace std::chrono_literals;

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) text = wide;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST(HistoryE2E, ADoubleClickOpensItsHistoryAndCopyFillsTheClipboard) {
  e2e::ProgramFolder folder("history", "model = ZR420\nsuperio = 0x2E\nfan2 = 4410\n");
  e2e::Process program = e2e::Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, e2e::kMainTitle);
  ASSERT_NE(main, nullptr);
  HWND fan = e2e::FindControl(main, "lblFanSpeed(1)");
  ASSERT_TRUE(e2e::WaitUntil([&] { return !e2e::WindowText(fan).empty(); }, 20s));

  SendMessageA(fan, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
  HWND history = e2e::WaitForForm(program, "frmhistory", 10s);
  ASSERT_NE(history, nullptr) << "no History window";
  EXPECT_EQ(e2e::WindowText(history), "History");
  EXPECT_EQ(e2e::WindowText(e2e::FindControl(history, "lblItem(0)")), "CPU (rpm)");
  EXPECT_FALSE(IsWindowVisible(e2e::FindControl(history, "lblItem(1)")));

  SendMessageA(e2e::FindControl(history, "optSpan(0)"), BM_CLICK, 0, 0);
  HWND now = e2e::FindControl(history, "lblNow(0)");
  ASSERT_TRUE(e2e::WaitUntil([&] { return !e2e::WindowText(now).empty(); }, 20s));
  EXPECT_NE(e2e::WindowText(now).find(" rpm"), std::string::npos) << e2e::WindowText(now);

  OpenClipboard(nullptr);
  EmptyClipboard();
  CloseClipboard();
  SendMessageA(e2e::FindControl(history, "cmdCopy"), BM_CLICK, 0, 0);
  std::wstring copied;
  EXPECT_TRUE(e2e::WaitUntil([&] { return !(copied = ClipboardText()).empty(); }, 10s));
  const std::wstring header = L"Item\tUnit\tNow\tMinimum\tMaximum\tAverage\r\nCPU\trpm\t";
  EXPECT_EQ(copied.substr(0, header.size()), header);
  EXPECT_EQ(copied.substr(copied.size() - 2), L"\r\n");
  EXPECT_TRUE(e2e::Screenshot("history", history));
  program.Kill();
}

}  // namespace
