// End-to-end harness over the Win32 API, run under Wine.
#include "harness.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/win32/wide_text.h"
#include "support/windows_path.h"
#include "ui/control_id.h"

namespace e2e {

namespace {

using vigilon::platform::Narrow;
using vigilon::platform::Widen;
using vigilon::platform::WidePath;

std::string ExeFolder() {
  char path[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, n);
  folder.resize(folder.find_last_of("\\/"));
  return folder;
}

// Folder names are UTF-8 here, and may be longer than MAX_PATH: every call is a wide one.
void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(WidePath(folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = Narrow(data.cFileName);
      if (name == "." || name == "..") continue;
      const std::string full = folder + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileW(WidePath(full).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(WidePath(folder).c_str());
}

struct WindowQuery {
  DWORD pid;
  std::function<bool(HWND)> match;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<WindowQuery*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == query->pid && IsWindowVisible(window) && query->match(window)) {
    query->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(DWORD pid, const std::function<bool(HWND)>& match) {
  WindowQuery query{pid, match};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

std::string ClassName(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

}  // namespace

std::string DistDir() {
  return vigilon::test::WindowsPath(VIGILON_E2E_DIST_DIR);
}
std::string ScreenshotDir() {
  return vigilon::test::WindowsPath(VIGILON_E2E_SCREENSHOT_DIR);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

ProgramFolder::ProgramFolder(const std::string& name, const std::string& kestrelIni) {
  const std::string root = ExeFolder() + "\\e2e-folders";
  CreateDirectoryW(WidePath(root).c_str(), nullptr);
  path_ = root + "\\" + name;
  RemoveTree(path_);
  // A name may hold folders within folders.
  for (std::size_t at = root.size() + 1; at != std::string::npos; at = path_.find('\\', at + 1))
    CreateDirectoryW(WidePath(path_.substr(0, at)).c_str(), nullptr);
  CreateDirectoryW(WidePath(path_).c_str(), nullptr);
  for (const char* file :
       {"vigilon.exe", "kestrel.dll", "eye.ico", "eye0.ico", "eye1.ico", "eye2.ico"}) {
    CopyFileW(WidePath(DistDir() + "\\" + file).c_str(), WidePath(File(file)).c_str(), FALSE);
  }
  Write("kestrel.ini", kestrelIni);
}

void ProgramFolder::Write(const std::string& name, const std::string& text) const {
  // Written beside and moved into place, so the driver never reads half a file.
  const std::wstring temporary = WidePath(File(name + ".new"));
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(temporary.c_str(), WidePath(File(name)).c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string ProgramFolder::Read(const std::string& name) const {
  HANDLE file = CreateFileW(WidePath(File(name)).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

bool ProgramFolder::Exists(const std::string& name) const {
  return GetFileAttributesW(WidePath(File(name)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ProgramFolder::Remove(const std::string& name) const {
  DeleteFileW(WidePath(File(name)).c_str());
}

std::vector<std::string> ProgramFolder::Entries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(WidePath(folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Narrow(data.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

int ProgramFolder::StateByte(const std::string& key) const {
  const auto state = ChipState();
  const auto it = state.find(key);
  return it == state.end() ? -1 : static_cast<int>(std::stoul(it->second, nullptr, 16));
}

std::map<std::string, std::string> ProgramFolder::ChipState() const {
  std::map<std::string, std::string> state;
  std::istringstream lines(Read("kestrel.state"));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto eq = line.find('=');
    if (eq != std::string::npos) state[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return state;
}

Process Process::Start(const ProgramFolder& folder, const std::string& exe) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const std::wstring program = WidePath(folder.File(exe));
  // Built piecewise: gcc 12 at -O3 mistakes the quoting concatenation for an overlap.
  std::wstring commandLine(1, L'"');
  commandLine.append(program).push_back(L'"');
  // A folder too long to be a current folder: the program is started from the test's own.
  const std::wstring current = Widen(folder.path());
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      current.size() < MAX_PATH ? current.c_str() : nullptr, &startup, &info)) {
    return Process(nullptr, 0);
  }
  CloseHandle(info.hThread);
  return Process(info.hProcess, info.dwProcessId);
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), pid_(other.pid_) {
  other.handle_ = nullptr;
}

Process::~Process() {
  if (handle_ != nullptr) {
    Kill();
    CloseHandle(handle_);
  }
}

bool Process::Running() const {
  return handle_ != nullptr && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(std::chrono::milliseconds timeout, DWORD* code) const {
  if (handle_ == nullptr) return false;
  if (WaitForSingleObject(handle_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return false;
  if (code != nullptr) GetExitCodeProcess(handle_, code);
  return true;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(handle_, 1);
    WaitForSingleObject(handle_, 10000);
  }
}

HWND WaitForWindow(const Process& process, std::string_view title,
                   std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindTopLevel(process.pid(), [&](HWND w) { return WindowText(w) == title; });
        return found != nullptr;
      },
      timeout);
  return found;
}

std::string FormName(HWND window) {
  const auto atom =
      static_cast<ATOM>(reinterpret_cast<uintptr_t>(GetPropA(window, "VigilonFormName")));
  if (atom == 0) return {};
  char name[256] = {};
  const UINT length = GlobalGetAtomNameA(atom, name, sizeof name);
  return std::string(name, length);
}

HWND WaitForForm(const Process& process, std::string_view formName,
                 std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindTopLevel(process.pid(), [&](HWND w) { return FormName(w) == formName; });
        return found != nullptr;
      },
      timeout);
  return found;
}

HWND WaitForMessageBox(const Process& process, std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindTopLevel(process.pid(), [](HWND w) { return ClassName(w) == "#32770"; });
        return found != nullptr;
      },
      timeout);
  return found;
}

HWND AnyVisibleWindow(const Process& process) {
  return FindTopLevel(process.pid(), [](HWND) { return true; });
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

std::string WindowTextUtf8(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return Narrow(text);
}

std::string EditText(HWND edit) {
  char text[512] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                      5000, &copied);
  return std::string(text, std::min<size_t>(copied, sizeof text - 1));
}

std::string MessageBoxText(HWND box) {
  // The message is the one static control with text (the icon is a static without any).
  std::string text;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == "Static" && GetWindowTextLengthW(child) > 0)
      text = WindowTextUtf8(child);
  }
  return text;
}

HWND Focus(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus != nullptr && IsChild(window, info.hwndFocus) ? info.hwndFocus : window;
}

void Press(HWND window, WPARAM key) {
  PostMessageA(Focus(window), WM_KEYDOWN, key, 0);
}

HWND Tab(HWND window) {
  HWND before = Focus(window);
  Press(window, VK_TAB);
  HWND after = before;
  WaitUntil([&] { return (after = Focus(window)) != before; }, std::chrono::seconds(5));
  return after;
}

void AccessKey(HWND window, char letter) {
  PostMessageA(Focus(window), WM_SYSCHAR, static_cast<WPARAM>(letter), LPARAM{1} << 29);
}

void Type(HWND window, std::string_view text) {
  PostMessageA(Focus(window), EM_SETSEL, 0, -1);
  for (const char c : text) PostMessageA(Focus(window), WM_CHAR, static_cast<WPARAM>(c), 1);
}

bool PressButton(HWND dialog, std::string_view caption) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == "Button" && WindowText(child) == caption) {
      PostMessageA(child, BM_CLICK, 0, 0);
      return true;
    }
  }
  return false;
}

namespace {
struct ControlQuery {
  int id;
  HWND found;
};

BOOL CALLBACK MatchControl(HWND child, LPARAM param) {
  auto* query = reinterpret_cast<ControlQuery*>(param);
  if (GetDlgCtrlID(child) != query->id) return TRUE;
  query->found = child;
  return FALSE;
}
}  // namespace

HWND FindControl(HWND form, std::string_view name) {
  ControlQuery query{vigilon::ui::ControlIdForName(name), nullptr};
  EnumChildWindows(form, MatchControl, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

bool WaitUntilPainted(HWND window, std::chrono::milliseconds timeout) {
  // A grid over the window must have left the black an X window shows before the program
  // paints it: child controls paint after their frame, in blocks. A few points may fall on
  // black text.
  return WaitUntil(
      [&] {
        RECT frame{};
        if (!GetWindowRect(window, &frame)) return false;
        HDC screen = GetDC(nullptr);
        constexpr int kSteps = 16;
        int black = 0;
        for (int i = 1; i < kSteps; ++i) {
          for (int j = 1; j < kSteps; ++j) {
            const int x = frame.left + (frame.right - frame.left) * i / kSteps;
            const int y = frame.top + (frame.bottom - frame.top) * j / kSteps;
            const COLORREF c = GetPixel(screen, x, y);
            if (c == CLR_INVALID || c == RGB(0, 0, 0)) ++black;
          }
        }
        const COLORREF caption = GetPixel(screen, (frame.left + frame.right) / 2, frame.top + 8);
        ReleaseDC(nullptr, screen);
        return black * 20 < (kSteps - 1) * (kSteps - 1) && caption != RGB(0, 0, 0) &&
               caption != CLR_INVALID;
      },
      timeout);
}

namespace {
// The pixels of `area` as the screen shows them now, top row first (0x00RRGGBB).
std::vector<COLORREF> ScreenPixels(const RECT& area) {
  std::vector<COLORREF> pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Saves the part `area` of the screen as screenshots/<name>.bmp: 24 bits, bottom row first, as
// a BMP file stores it.
bool SaveScreenArea(const std::string& name, const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  const std::vector<COLORREF> pixels = ScreenPixels(area);
  const size_t stride = ((static_cast<size_t>(width) * 3 + 3) / 4) * 4;
  std::vector<char> image(stride * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    char* row = image.data() + stride * static_cast<size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const COLORREF p =
          pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      row[3 * x] = static_cast<char>(p & 0xFF);
      row[3 * x + 1] = static_cast<char>((p >> 8) & 0xFF);
      row[3 * x + 2] = static_cast<char>((p >> 16) & 0xFF);
    }
  }
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(image.size());
  CreateDirectoryA(ScreenshotDir().c_str(), nullptr);
  std::ofstream out(ScreenshotDir() + "\\" + name + ".bmp", std::ios::binary);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(image.data(), static_cast<std::streamsize>(image.size()));
  return out.good();
}

}  // namespace

bool Screenshot(const std::string& name, HWND window) {
  if (window != nullptr) WaitUntilPainted(window);
  return SaveScreenArea(name,
                        RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

namespace {
RECT OnScreen(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT shown{};
  IntersectRect(&shown, &frame, &screen);
  return shown;
}

}  // namespace

bool WindowScreenshot(const std::string& name, HWND window) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // Painted through now, once the program's thread takes the request (not in the middle of a
  // cycle); then the screen has caught up when two looks a moment apart see the same pixels.
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  WaitUntilPainted(window);
  std::vector<COLORREF> before;
  WaitUntil(
      [&] {
        std::vector<COLORREF> now = ScreenPixels(OnScreen(window));
        const bool same = now == before;
        before = std::move(now);
        return same;
      },
      std::chrono::seconds(10));
  return SaveScreenArea(name, OnScreen(window));
}

}  // namespace e2e
