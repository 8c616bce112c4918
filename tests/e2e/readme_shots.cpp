// The README's pictures, taken of the real program under Wine: the main window on a ZR420 and
// a ZR430, a warning dialog, the configuration dialog, History, the tray pop-up and About. Not a
// test: scripts/screenshots runs it and turns the BMP files it leaves in the screenshots folder
// (readme-*.bmp) into the committed PNG files.
#include <cstdio>
#include <string>

#include "harness.h"
#include "ui/control_id.h"

namespace {

using namespace std::chrono_literals;
using e2e::Process;
using e2e::ProgramFolder;

using e2e::kMainTitle;
using e2e::kTrayCallback;
constexpr LPARAM kRightButtonUp = WM_RBUTTONUP;

bool Save(const char* name, HWND window) {
  const bool saved =
      window != nullptr && e2e::WindowScreenshot(std::string("readme-") + name, window);
  std::printf("%s: %s\n", name, saved ? "saved" : "FAILED");
  return saved;
}

// The program started on `ini`, its main window painted with its first readings.
struct Started {
  Started(const char* name, const std::string& ini)
      : folder(name, ini), program(Process::Start(folder)) {
    main = e2e::WaitForWindow(program, kMainTitle);
    if (main == nullptr) return;
    HWND row = e2e::FindControl(main, "lblStatusV(2)");
    e2e::WaitUntil([&] {
      const std::string shown = e2e::WindowText(row);
      return !shown.empty() && shown != "------";
    });
    // The whole cycle's rows, not only the first one, before the picture.
    e2e::WaitUntil([&] { return e2e::WindowText(e2e::FindControl(main, "lblFanSpeed(2)")) != ""; },
                   10s);
    e2e::WaitUntilPainted(main);
  }
  ProgramFolder folder;
  Process program;
  HWND main = nullptr;
};

}  // namespace

int main() {
  bool all = true;
  {
    Started zr420("readme-zr420", "model = ZR420\nsuperio = 0x2E\n");
    all &= Save("main-zr420", zr420.main);

    e2e::PressButton(zr420.main, "Con&figuration");
    HWND config = e2e::WaitForForm(zr420.program, "frmConfig", 10s);
    all &= Save("configuration", config);
    if (config != nullptr) e2e::PressButton(config, "Cancel");

    e2e::PressButton(zr420.main, "&About");
    HWND about = e2e::WaitForForm(zr420.program, "frmAbout", 10s);
    all &= Save("about", about);
    if (about != nullptr) e2e::PressButton(about, "OK");

    // The History window from the menu, every monitored item chosen, after a few changes of
    // the processor fan and temperature.
    PostMessageA(zr420.main, WM_COMMAND, vigilon::ui::ControlIdForName("mHistory"), 0);
    HWND history = e2e::WaitForForm(zr420.program, "frmhistory", 10s);
    if (history != nullptr) {
      SendMessageA(e2e::FindControl(history, "optSpan(0)"), BM_CLICK, 0, 0);
      HWND fan = e2e::FindControl(zr420.main, "lblFanSpeed(1)");
      for (int step = 1; step <= 8; ++step) {
        const std::string before = e2e::WindowText(fan);
        const int rpm = 4000 + (step % 4) * 300;
        zr420.folder.Write("kestrel.ini",
                           "model = ZR420\nsuperio = 0x2E\nfan2 = " + std::to_string(rpm) +
                               "\ntemp2 = " + std::to_string(38 + step) + "\n");
        // The cycle that read the new speed.
        e2e::WaitUntil([&] { return e2e::WindowText(fan) != before; }, 10s);
      }
    }
    all &= Save("history", history);
    if (history != nullptr) SendMessageA(history, WM_CLOSE, 0, 0);

    // Hidden to the notification area, its icon's menu on the right button.
    SendMessageA(zr420.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    e2e::WaitUntil([&] { return !IsWindowVisible(zr420.main); }, 10s);
    PostMessageA(zr420.main, kTrayCallback, 1, kRightButtonUp);
    HWND popup = nullptr;
    e2e::WaitUntil([&] {
      popup = FindWindowA("#32768", nullptr);
      return popup != nullptr && IsWindowVisible(popup);
    });
    all &= Save("tray-menu", popup);
    if (popup != nullptr) PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  {
    Started zr430("readme-zr430", "model = ZR430\nsuperio = 0x2E\n");
    all &= Save("main-zr430", zr430.main);
  }
  {
    // The processor fan stops: its warning at the first cycle.
    ProgramFolder folder("readme-warning", "model = ZR420\nsuperio = 0x2E\nfan2 = 0\n");
    Process program = Process::Start(folder);
    all &= Save("warning", e2e::WaitForForm(program, "frmFan2", 30s));
  }
  return all ? 0 : 1;
}
