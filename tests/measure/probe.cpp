// Looks at a running Vigilon from outside: its USER and GDI objects, handles, private bytes and
// windows, one line per call; what its timed cycles cost, summed, when it is the measurement
// build; the two things a measuring script does to it (an interval, hiding it to the tray); and
// whether its first readings have come.
//   vigilon_probe stats | cost | interval SECONDS | hide | history | readings
#include <windows.h>
// After windows.h.
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/measure.h"
#include "harness.h"
#include "ui/control_id.h"

namespace {

using e2e::kMainTitle;

struct WindowCount {
  DWORD pid;
  int windows;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
  ++reinterpret_cast<WindowCount*>(param)->windows;
  return TRUE;
}

BOOL CALLBACK CountTop(HWND window, LPARAM param) {
  auto* count = reinterpret_cast<WindowCount*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != count->pid) return TRUE;
  ++count->windows;
  EnumChildWindows(window, CountChild, param);
  return TRUE;
}

int Stats(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) {
    std::fprintf(stderr, "no process %lu\n", static_cast<unsigned long>(pid));
    return 1;
  }
  DWORD handles = 0;
  GetProcessHandleCount(process, &handles);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  WindowCount windows{pid, 0};
  EnumWindows(CountTop, reinterpret_cast<LPARAM>(&windows));
  std::printf("user=%lu gdi=%lu handles=%lu private=%lu windows=%d\n",
              static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)),
              static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
              static_cast<unsigned long>(handles), static_cast<unsigned long>(memory.PrivateUsage),
              windows.windows);
  CloseHandle(process);
  return 0;
}

// The measurement build's sums over its timed cycles.
int Cost() {
  HANDLE block = OpenFileMappingA(FILE_MAP_READ, FALSE, vigilon::measure::kCountersName);
  const void* view = block != nullptr ? MapViewOfFile(block, FILE_MAP_READ, 0, 0,
                                                      sizeof(vigilon::measure::Counters))
                                      : nullptr;
  if (view == nullptr) {
    std::fprintf(stderr, "no cycle counters: not the measurement build\n");
    if (block != nullptr) CloseHandle(block);
    return 1;
  }
  vigilon::measure::Counters c;
  std::memcpy(&c, view, sizeof c);
  std::printf(
      "cycles=%lu allocations=%lu file_opens=%lu driver_file_opens=%lu file_writes=%lu "
      "file_moves=%lu\n",
      static_cast<unsigned long>(c.cycles), static_cast<unsigned long>(c.allocations),
      static_cast<unsigned long>(c.fileOpens), static_cast<unsigned long>(c.driverFileOpens),
      static_cast<unsigned long>(c.fileWrites), static_cast<unsigned long>(c.fileMoves));
  UnmapViewOfFile(view);
  CloseHandle(block);
  return 0;
}

HWND MainWindow() {
  for (int i = 0; i < 300; ++i) {
    if (HWND main = FindWindowA(nullptr, kMainTitle)) return main;
    Sleep(100);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  HWND main = MainWindow();  // shown or hidden in the tray
  if (main == nullptr) {
    std::fprintf(stderr, "no main window\n");
    return 1;
  }
  if (argc >= 2 && std::strcmp(argv[1], "stats") == 0) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    return Stats(pid);
  }
  if (argc >= 2 && std::strcmp(argv[1], "cost") == 0) return Cost();
  if (argc >= 3 && std::strcmp(argv[1], "interval") == 0) {
    // From the scroll bar's left end (one second), one arrow step per further second.
    const LPARAM bar = reinterpret_cast<LPARAM>(e2e::FindControl(main, "HScroll1"));
    SendMessageA(main, WM_HSCROLL, SB_LEFT, bar);
    for (int s = std::atoi(argv[2]); s > 1; --s) SendMessageA(main, WM_HSCROLL, SB_LINERIGHT, bar);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "hide") == 0) {
    // Shown means loaded: what the script does next is not undone by the window's load.
    for (int i = 0; i < 300 && !IsWindowVisible(main); ++i) Sleep(100);
    SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "history") == 0) {
    // The History window, opened from the main window's menu, shown and in front.
    PostMessageA(main, WM_COMMAND, vigilon::ui::ControlIdForName("mHistory"), 0);
    HWND history = nullptr;
    const bool shown = e2e::WaitUntil([&] {
      history = FindWindowA(nullptr, "History");
      return history != nullptr && IsWindowVisible(history);
    });
    std::printf("%s\n", shown ? "history shown" : "no history window");
    return shown ? 0 : 1;
  }
  if (argc >= 2 && std::strcmp(argv[1], "readings") == 0) {
    // The +3.3 V row, which every model has: blank until the first cycle has shown it.
    HWND row = e2e::FindControl(main, "lblStatusV(2)");
    std::string shown;
    const bool came = e2e::WaitUntil([&] {
      shown = e2e::WindowText(row);
      return !shown.empty() && shown != "------";
    });
    std::printf("%s\n", came ? shown.c_str() : "no readings");
    return came ? 0 : 1;
  }
  std::fprintf(
      stderr, "usage: vigilon_probe stats | cost | interval SECONDS | hide | history | readings\n");
  return 2;
}
