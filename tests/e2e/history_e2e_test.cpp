// The real History window under Wine: opened by a double-click on a reading, a span chosen,
// and Copy's table read back from the clipboard; a restart with the log on shows the earlier run.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

// The History window of the CPU fan, opened by a double-click on its reading once it shows;
// null when either never came.
HWND OpenFanHistory(const e2e::Process& program) {
  HWND main = e2e::WaitForWindow(program, e2e::kMainTitle);
  if (main == nullptr) return nullptr;
  HWND fan = e2e::FindControl(main, "lblFanSpeed(1)");
  if (!e2e::WaitUntil([&] { return !e2e::WindowText(fan).empty(); }, 20s)) return nullptr;
  SendMessageA(fan, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
  return e2e::WaitForForm(program, "frmhistory", 10s);
}

TEST(HistoryE2E, ADoubleClickOpensItsHistoryAndCopyFillsTheClipboard) {
  e2e::ProgramFolder folder("history", "model = ZR420\nsuperio = 0x2E\nfan2 = 4410\n");
  e2e::Process program = e2e::Process::Start(folder);
  HWND history = OpenFanHistory(program);
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

// With the log on, a restart reads the earlier run back: the earlier rows are rewritten with a
// fan reading the chip never gives, and the History window's minimum must show it.
TEST(HistoryE2E, ARestartWithTheLogOnShowsTheEarlierRunsReadings) {
  e2e::ProgramFolder folder("history-restart", "model = ZR420\nsuperio = 0x2E\nfan2 = 4410\n");
  folder.Write("vigilon.ini", "[Log]\r\nEnabled=1\r\nFolder=logs\r\n");
  std::string logName;
  std::string log;
  {
    e2e::Process first = e2e::Process::Start(folder);
    ASSERT_NE(e2e::WaitForWindow(first, e2e::kMainTitle), nullptr);
    const auto rows = [&] {
      WIN32_FIND_DATAA found{};
      const HANDLE find = FindFirstFileA(folder.File("logs\\vigilon-2*.csv").c_str(), &found);
      if (find == INVALID_HANDLE_VALUE) return 0;
      FindClose(find);
      logName = std::string("logs\\") + found.cFileName;
      log = folder.Read(logName);
      return static_cast<int>(std::count(log.begin(), log.end(), '\n')) - 1;
    };
    ASSERT_TRUE(e2e::WaitUntil([&] { return rows() >= 3; }, 40s)) << "no log rows";
    first.Kill();
  }
  // The earlier run's rows, their CPU fan cell made 1234; the cell is found by its header.
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < log.size();) {
    const std::size_t end = log.find('\n', at);
    if (end == std::string::npos) break;  // a torn last line
    lines.push_back(log.substr(at, end - at));
    at = end + 1;
  }
  const auto cells = [](const std::string& line) {
    std::vector<std::string> out(1);
    for (const char c : line) {
      if (c == ',')
        out.emplace_back();
      else
        out.back().push_back(c);
    }
    return out;
  };
  const std::vector<std::string> header = cells(lines.at(0));
  const auto column = std::find(header.begin(), header.end(), "CPU (rpm)") - header.begin();
  ASSERT_LT(static_cast<std::size_t>(column), header.size()) << lines[0];
  std::string rewritten = lines[0] + "\n";
  for (std::size_t l = 1; l < lines.size(); ++l) {
    std::vector<std::string> row = cells(lines[l]);
    ASSERT_EQ(row.size(), header.size()) << lines[l];
    row[column] = "1234";
    for (std::size_t c = 0; c < row.size(); ++c) rewritten += (c ? "," : "") + row[c];
    rewritten += "\n";
  }
  folder.Write(logName, rewritten);

  e2e::Process program = e2e::Process::Start(folder);
  HWND history = OpenFanHistory(program);
  ASSERT_NE(history, nullptr) << "no History window";
  SendMessageA(e2e::FindControl(history, "optSpan(0)"), BM_CLICK, 0, 0);
  HWND min = e2e::FindControl(history, "lblMin(0)");
  EXPECT_TRUE(
      e2e::WaitUntil([&] { return e2e::WindowText(min).find("1234") != std::string::npos; }, 30s))
      << "minimum: " << e2e::WindowText(min);
  // The live readings meet the past ones: the maximum is this run's, once its counts are in.
  HWND max = e2e::FindControl(history, "lblMax(0)");
  EXPECT_TRUE(e2e::WaitUntil(
      [&] {
        const std::string text = e2e::WindowText(max);
        return !text.empty() && text.find("1234") == std::string::npos;
      },
      30s))
      << "maximum: " << e2e::WindowText(max);
  program.Kill();
}

}  // namespace
