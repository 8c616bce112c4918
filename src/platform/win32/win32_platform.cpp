// The platform services on Win32: message boxes, the program folder, the single-instance
// marker, the notification area, icon files and the help viewer.
#include "platform/win32/win32_platform.h"

#include <windows.h>
// windows.h must come first.
#include <shellapi.h>

#include <cstring>

#include "platform/single_instance.h"

namespace vigilon::platform {

namespace {
constexpr const char* kApplicationTitle = "vigilon";

static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kErrorInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(kErrorAlreadyExists == ERROR_ALREADY_EXISTS);

// The first-version notification record: 88 bytes in a 32-bit process (the size of the
// program's own record), 104 in a 64-bit one.
#ifdef _WIN64
constexpr DWORD kNotifyIconFirstVersionSize = 104;
#else
constexpr DWORD kNotifyIconFirstVersionSize = 88;
static_assert(kNotifyIconFirstVersionSize == sizeof(NotifyIconRecord));
#endif
static_assert(NOTIFYICONDATAA_V1_SIZE == kNotifyIconFirstVersionSize);
static_assert(kNotifyMessageValid == NIF_MESSAGE && kNotifyIconValid == NIF_ICON &&
              kNotifyTipValid == NIF_TIP);
static_assert(kMouseMoveMessage == WM_MOUSEMOVE && kLeftDoubleClick == WM_LBUTTONDBLCLK &&
              kRightButtonUp == WM_RBUTTONUP);

std::string Join(const std::string& folder, const std::string& name) {
  if (!name.empty() && (name.front() == '\\' || name.front() == '/')) return folder + name;
  return folder + "\\" + name;
}
}  // namespace

Win32Platform::Win32Platform() = default;

Win32Platform::~Win32Platform() {
  for (void* marker : instanceMarkers_)
    if (marker != nullptr) CloseHandle(static_cast<HANDLE>(marker));
}

MsgBoxAnswer Win32Platform::MsgBox(const std::string& text, const std::string& caption,
                                   MsgBoxButtons buttons) {
  const UINT type = buttons == MsgBoxButtons::YesNo ? MB_YESNO : MB_OK;
  const char* title = caption.empty() ? kApplicationTitle : caption.c_str();
  // Task-modal: every window of the program waits for the answer, so a second click cannot
  // open a second box beneath the first. Timers still run under it.
  const int answer =
      MessageBoxA(nullptr, text.c_str(), title, type | MB_TASKMODAL | MB_SETFOREGROUND);
  switch (answer) {
    case IDYES:
      return MsgBoxAnswer::Yes;
    case IDNO:
      return MsgBoxAnswer::No;
    default:
      return buttons == MsgBoxButtons::YesNo ? MsgBoxAnswer::No : MsgBoxAnswer::Ok;
  }
}

std::string Win32Platform::ProgramFolder() {
  char path[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, n);
  const auto slash = folder.find_last_of("\\/");
  if (slash != std::string::npos) folder.resize(slash);
  return folder;
}

bool Win32Platform::FileExistsInProgramFolder(const std::string& name) {
  // Windows file names are compared without regard to case by the file system itself.
  const DWORD attributes = GetFileAttributesA(Join(ProgramFolder(), name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

InstanceCheck Win32Platform::CheckSingleInstance() {
  if (!instanceChecked_) {
    instanceChecked_ = true;
    // The session's marker first: of two copies started together in one session, the second
    // then learns that the first runs here, not elsewhere.
    MarkerAnswer answers[2];
    const char* names[2] = {kInstanceMarkerLocal, kInstanceMarkerGlobal};
    for (int i = 0; i < 2; ++i) {
      HANDLE marker = CreateMutexA(nullptr, FALSE, names[i]);
      answers[i] = {marker != nullptr, GetLastError()};
      instanceMarkers_[i] = marker;  // held until the process ends
    }
    instance_ = DecideSingleInstance(answers[0], answers[1]);
  }
  return instance_;
}

void Win32Platform::Sleep(uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

namespace {
// FILETIME counts 100 ns from 1601-01-01; the Unix epoch is this many of them later.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
constexpr int64_t kFileTimePerMs = 10000;

int64_t FileTimeTicks(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}
}  // namespace

int64_t Win32Platform::UnixTimeMs() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (FileTimeTicks(now) - kUnixEpochAsFileTime) / kFileTimePerMs;
}

int32_t Win32Platform::UtcOffsetMinutes(int64_t unixMs) {
  // The zone's rule for that moment, daylight saving included: the moment as local time, less
  // the moment itself.
  const auto ticks = static_cast<uint64_t>(unixMs * kFileTimePerMs + kUnixEpochAsFileTime);
  const FILETIME utcTime{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  FILETIME localTime{};
  if (!FileTimeToSystemTime(&utcTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
      !SystemTimeToFileTime(&local, &localTime))
    return 0;
  const int64_t minutes =
      (FileTimeTicks(localTime) - FileTimeTicks(utcTime)) / (kFileTimePerMs * 60000);
  return static_cast<int32_t>(minutes);
}

bool Win32Platform::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  return ::ExitWindowsEx(flags, reserved) != FALSE;
}

bool Win32Platform::ShellNotifyIcon(NotifyOp op, const NotifyIconRecord& record) {
  // The shell's first-version record, the one every shell accepts, sized for this process:
  // the headers' own struct is larger, and in a 64-bit process handles are 8 bytes wide, so the
  // program's record goes over field by field.
  NOTIFYICONDATAA data{};
  data.cbSize = kNotifyIconFirstVersionSize;
  data.hWnd = static_cast<HWND>(LongToHandle(static_cast<LONG>(record.hWnd)));
  data.uID = record.uID;
  data.uFlags = record.uFlags;
  data.uCallbackMessage = record.uCallbackMessage;
  data.hIcon = static_cast<HICON>(LongToHandle(static_cast<LONG>(record.hIcon)));
  std::memcpy(data.szTip, record.szTip.data(), record.szTip.size());
  return Shell_NotifyIconA(static_cast<DWORD>(op), &data) != FALSE;
}

IconHandle Win32Platform::LoadIconFile(const std::string& name) {
  // At the small size the DPI asks for, the size of the notification area and the window's
  // caption: the file's nearest picture, not a large one shrunk by the shell. The program is
  // DPI aware, so the system's metrics are its DPI's.
  HANDLE icon =
      LoadImageA(nullptr, Join(ProgramFolder(), name).c_str(), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_LOADFROMFILE);
  return static_cast<IconHandle>(reinterpret_cast<uintptr_t>(icon));
}

void Win32Platform::DestroyIcon(IconHandle icon) {
  if (icon != 0) ::DestroyIcon(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)));
}

bool Win32Platform::ShowHelp(const std::string& helpFile, uint32_t command, uint32_t context) {
  // The help viewer of the era, looked up: a system without it has no entry to call.
  using WinHelpFn = BOOL(WINAPI*)(HWND, LPCSTR, UINT, ULONG_PTR);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  FARPROC proc = user32 ? GetProcAddress(user32, "WinHelpA") : nullptr;
  auto winHelp = reinterpret_cast<WinHelpFn>(reinterpret_cast<void*>(proc));
  return winHelp != nullptr && winHelp(GetActiveWindow(), helpFile.c_str(), command, context);
}

}  // namespace vigilon::platform
