// The DPI check, run by dpi_check.sh once per DPI with the Wine prefix set to it: the real
// program on each model, with a warning dialog, the configuration dialog, About, History and
// Logging and Export open (on one model with a log that cannot be written, which About then
// tells), every text measured inside the program by the text-fit probe against its control. Screenshots of
// each window land in the build tree, and each DPI's measurements beside them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "ui/control_id.h"
// After windows.h (through the harness).
#include <commctrl.h>

namespace {

using namespace std::chrono_literals;
using e2e::Process;
using e2e::ProgramFolder;

// The DPI the script set the prefix to; 0 when the program runs without it.
int AskedDpi() {
  const char* dpi = std::getenv("VIGILON_DPI");
  return dpi != nullptr ? std::atoi(dpi) : 0;
}

std::string OwnFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

// What the probe found: the program's DPI and one line per text measured.
struct TextFit {
  int dpi = 0;
  std::vector<std::string> lines;
  std::vector<std::string> misfits;
};

// Loads the probe library into the running program (a hook on its window thread) and asks it
// to measure every window the program shows.
TextFit MeasureTexts(const ProgramFolder& folder, HWND main) {
  TextFit fit;
  HMODULE probe = LoadLibraryA((OwnFolder() + "\\vigilon_text_fit_probe.dll").c_str());
  auto hook =
      reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, "TextFitHook")));
  if (hook == nullptr) return fit;
  HHOOK installed =
      SetWindowsHookExA(WH_CALLWNDPROC, hook, probe, GetWindowThreadProcessId(main, nullptr));
  folder.Remove("text-fit.txt");
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(main, RegisterWindowMessageA("VigilonTextFitProbe"), 0, 0, SMTO_NORMAL, 30000,
                      &ignored);
  UnhookWindowsHookEx(installed);
  FreeLibrary(probe);
  std::istringstream report(folder.Read("text-fit.txt"));
  std::string line;
  if (std::getline(report, line)) std::sscanf(line.c_str(), "dpi %d", &fit.dpi);
  while (std::getline(report, line)) {
    fit.lines.push_back(line);
    if (line.find("\tfits\t") == std::string::npos) fit.misfits.push_back(line);
  }
  return fit;
}

std::string Prefix() {
  return "dpi" + std::to_string(AskedDpi()) + "-";
}

HWND StartAndWaitForReadings(const Process& program) {
  // By its form: a title may carry more than the program's name.
  HWND main = e2e::WaitForForm(program, "frmvigilon");
  if (main == nullptr) return nullptr;
  HWND status = e2e::FindControl(main, "lblStatusV(0)");
  const bool read = e2e::WaitUntil([&] { return !e2e::WindowText(status).empty(); }, 20s);
  return read ? main : nullptr;
}

struct Model {
  const char* name;
  const char* ini;
  // Rails, fans and sensors out of their limits: the warning dialogs this opens are measured too.
  const char* faults;
  const char* shownWarning;  // the dialog photographed
  // A log folder that cannot be made (a file of its name is in the way): the title and About
  // tell it.
  bool logBlocked = false;
};

const Model kModels[] = {
    {"zr410", "model = ZR410\nsuperio = none\n", nullptr, nullptr},
    {"zr420", "model = ZR420\nsuperio = 0x2E\n",
     "vcore = 0.5\nvcoreb = 0.5\nv3_3 = 1\nv5 = 1\nv12 = 1\nvn12 = -1\nvn5 = -1\nv5sb = 1\n"
     "vbat = 0.5\nfan2 = 0\ntemp1 = 120\ntemp2 = 120\n",
     "frmVcoreB"},
    // The model whose core-rail warning carries the longest message.
    {"zr430", "model = ZR430\nsuperio = 0x2E\n", "vcore = 0.5\n", "frmVcoreA"},
    {"zr460", "model = ZR460\nsuperio = 0x4E\nbase = 0x0A10\n", nullptr, nullptr, true},
};

TEST(DpiE2E, NoTextIsWiderOrTallerThanItsControl) {
  const int asked = AskedDpi();
  size_t checked = 0;
  std::string allLines;
  for (const Model& model : kModels) {
    SCOPED_TRACE(model.name);
    ProgramFolder folder(Prefix() + model.name, model.ini);
    if (model.logBlocked) {
      folder.Write("blocked", "");
      folder.Write("vigilon.ini", "[Log]\r\nEnabled=1\r\nFolder=blocked\r\n");
    }
    Process program = Process::Start(folder);
    HWND main = StartAndWaitForReadings(program);
    ASSERT_NE(main, nullptr) << "no readings";
    const std::string shot = Prefix() + model.name + "-";
    EXPECT_TRUE(e2e::WindowScreenshot(shot + "main", main));

    if (model.faults != nullptr) {
      folder.Write("kestrel.ini", std::string(model.ini) + model.faults);
      HWND warning = e2e::WaitForForm(program, model.shownWarning, 20s);
      ASSERT_NE(warning, nullptr) << "no " << model.shownWarning;
      // The widest readings: temperatures in Fahrenheit.
      if (std::string(model.name) == "zr420") {
        SendMessageA(e2e::FindControl(main, "Option2"), BM_CLICK, 0, 0);
      }
      EXPECT_TRUE(e2e::WindowScreenshot(shot + "main-warnings", main));
      EXPECT_TRUE(e2e::WindowScreenshot(shot + model.shownWarning, warning));
    }

    ASSERT_TRUE(e2e::PressButton(main, "Con&figuration"));
    HWND config = e2e::WaitForForm(program, "frmConfig", 10s);
    ASSERT_NE(config, nullptr);
    HWND tabs = e2e::FindControl(config, "TabStrip1");
    const char* const pages[] = {"voltage", "fan", "temperature", "chassis"};
    for (int page = 0; page < 4; ++page) {
      SendMessageA(tabs, TCM_SETCURFOCUS, static_cast<WPARAM>(page), 0);
      EXPECT_TRUE(e2e::WindowScreenshot(shot + "config-" + pages[page], config));
    }
    if (model.logBlocked) {
      EXPECT_TRUE(e2e::WaitUntil(
          [&] { return e2e::WindowText(main).find("cannot be written") != std::string::npos; },
          20s))
          << e2e::WindowText(main);
    }
    ASSERT_TRUE(e2e::PressButton(main, "&About"));
    HWND about = e2e::WaitForForm(program, "frmAbout", 10s);
    ASSERT_NE(about, nullptr);
    if (model.logBlocked) {
      EXPECT_TRUE(IsWindowVisible(e2e::FindControl(about, "lblRecordsTrouble")));
    }
    EXPECT_TRUE(e2e::WindowScreenshot(shot + "about", about));
    // The History window, by a double-click on the first reading.
    SendMessageA(e2e::FindControl(main, "lblStatusV(0)"), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    HWND history = e2e::WaitForForm(program, "frmhistory", 10s);
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(e2e::WindowScreenshot(shot + "history", history));
    PostMessageA(main, WM_COMMAND, vigilon::ui::ControlIdForName("mLogging"), 0);
    HWND logging = e2e::WaitForForm(program, "frmLogging", 10s);
    ASSERT_NE(logging, nullptr);
    EXPECT_TRUE(e2e::WindowScreenshot(shot + "logging", logging));

    const TextFit fit = MeasureTexts(folder, main);
    if (asked != 0) {
      EXPECT_EQ(fit.dpi, asked) << "the program does not run at the prefix's DPI";
    }
    EXPECT_GT(fit.lines.size(), 100u) << "the probe measured too little";
    for (const std::string& misfit : fit.misfits) ADD_FAILURE() << misfit;
    checked += fit.lines.size();
    for (const std::string& line : fit.lines)
      allLines += std::string(model.name) + "\t" + line + "\n";
    program.Kill();
  }
  std::printf("DPI %d: %zu texts checked against their controls\n", asked, checked);
  FILE* out = std::fopen((e2e::ScreenshotDir() + "\\" + Prefix() + "text-fit.txt").c_str(), "wb");
  if (out != nullptr) {
    std::fputs(allLines.c_str(), out);
    std::fclose(out);
  }
}

// What Windows reads from the program's own manifest: per-monitor version 2, and the system's
// DPI where that is unknown; the old element for the systems before it.
TEST(DpiE2E, TheProgramDeclaresItsDpiAwareness) {
  const std::string exe = e2e::DistDir() + "\\vigilon.exe";
  ACTCTXA context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = exe.c_str();
  context.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE manifest = CreateActCtxA(&context);
  ASSERT_NE(manifest, INVALID_HANDLE_VALUE) << exe;
  auto setting = [&](const wchar_t* space, const wchar_t* name) {
    wchar_t value[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, manifest, space, name, value, 128, &written))
      return std::wstring();
    return std::wstring(value);
  };
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
            L"PerMonitorV2, System");
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
            L"true");
  ReleaseActCtx(manifest);
}

}  // namespace
