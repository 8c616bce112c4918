// The platform services on Win32: message boxes, the program folder, the single-instance
// marker, the notification area, icon files, the help viewer and the clipboard.
#include "platform/win32/win32_platform.h"

#include <windows.h>
// windows.h must come first.
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "platform/folder_writers.h"
#include "platform/single_instance.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/wide_text.h"

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

// The longest path the wide functions take.
constexpr std::size_t kLongestPath = 32767;

// The full path of this program's file, asked with a buffer that grows until the answer fits:
// a cut path would name another folder. Nothing when the system cannot say.
std::optional<std::wstring> ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  while (path.size() <= kLongestPath) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::nullopt;
    // A full buffer means a cut path (older systems say so without an error).
    if (n < path.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
  return std::nullopt;
}

std::optional<std::string> FolderOf(const std::optional<std::wstring>& file) {
  if (!file) return std::nullopt;
  const auto slash = file->find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash == 0) return std::nullopt;
  return Narrow(std::wstring_view(*file).substr(0, slash));
}
// The account that owns Windows' own files: as trusted as the system.
constexpr wchar_t kInstallerAccount[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

std::string AccountName(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use{};
  if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
    return Narrow(domainSize > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name));
  wchar_t* text = nullptr;
  std::string fallback = "an unknown account";
  if (ConvertSidToStringSidW(sid, &text)) {
    fallback = Narrow(text);
    LocalFree(text);
  }
  return fallback;
}

// The user this process runs as, in a buffer of its own.
std::vector<BYTE> CurrentUser() {
  std::vector<BYTE> user;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return user;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> info(size);
  if (size != 0 && GetTokenInformation(token, TokenUser, info.data(), size, &size)) {
    const PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    user.assign(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
  }
  CloseHandle(token);
  return user;
}

// Who besides the user may change the file; nothing when its list cannot be read.
std::vector<std::string> OthersWhoMayChange(const std::string& path, std::vector<BYTE>& user) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(WidePath(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return {};
  PSID installer = nullptr;
  ConvertStringSidToSidW(kInstallerAccount, &installer);
  std::vector<AccessEntry> entries;
  if (dacl == nullptr)  // no list at all: everyone may do everything
    entries.push_back({AccessEntry::Trustee::Other, "Everyone", true, false, kChangeRights});
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) break;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE)
      continue;  // object and conditional entries do not occur on files
    // Allowing and denying entries share this layout.
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    const PSID sid = &ace->SidStart;
    AccessEntry entry;
    if (!user.empty() && EqualSid(sid, user.data())) {
      entry.trustee = AccessEntry::Trustee::CurrentUser;
    } else if (IsWellKnownSid(sid, WinLocalSystemSid) ||
               (installer != nullptr && EqualSid(sid, installer))) {
      entry.trustee = AccessEntry::Trustee::System;
    } else if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
      entry.trustee = AccessEntry::Trustee::Administrators;
    } else {
      entry.name = AccountName(sid);
    }
    entry.allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
    entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    entry.rights = ace->Mask;
    entries.push_back(std::move(entry));
  }
  if (installer != nullptr) LocalFree(installer);
  LocalFree(descriptor);
  return OtherWriters(entries);
}
// The file behind a path as the system identifies it, so that two spellings of one file (a
// short name, a long-path prefix) compare equal.
using FileIdentity = std::tuple<DWORD, DWORD, DWORD>;
std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
  FileHandle file(CreateFileW(WidePath(Narrow(path)).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.Valid() || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// Whether the process runs this program's own file: a window of our class name in any other
// process is not trusted with the ask.
bool RunsOurProgram(DWORD pid, const FileIdentity& ours) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return false;
  std::wstring image(kLongestPath, L'\0');
  DWORD size = static_cast<DWORD>(image.size());
  const bool named = QueryFullProcessImageNameW(process, 0, image.data(), &size) != 0;
  CloseHandle(process);
  if (!named) return false;
  image.resize(size);
  return IdentityOf(image) == ours;
}

// The top-level windows of our form class that other processes own, with their process.
using ProcessWindows = std::vector<std::pair<HWND, DWORD>>;
BOOL CALLBACK AddOtherProcessesForm(HWND window, LPARAM param) {
  wchar_t name[64] = {};
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId() && GetClassNameW(window, name, 64) > 0 &&
      std::wcscmp(name, kFormWindowClass) == 0)
    reinterpret_cast<ProcessWindows*>(param)->emplace_back(window, pid);
  return TRUE;
}

ProcessWindows OtherProcessesForms() {
  ProcessWindows found;
  EnumWindows(&AddOtherProcessesForm, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

Win32Platform::Win32Platform() : folder_(FolderOf(ModulePath(nullptr))) {}

Win32Platform::~Win32Platform() {
  if (clipboardOwner_ != nullptr) DestroyWindow(static_cast<HWND>(clipboardOwner_));
  for (void* marker : instanceMarkers_)
    if (marker != nullptr) CloseHandle(static_cast<HANDLE>(marker));
}

MsgBoxAnswer Win32Platform::MsgBox(const std::string& text, const std::string& caption,
                                   MsgBoxButtons buttons) {
  const UINT type = buttons == MsgBoxButtons::YesNo ? MB_YESNO : MB_OK;
  const char* title = caption.empty() ? kApplicationTitle : caption.c_str();
  // Task-modal: every window of the program waits for the answer, so a second click cannot
  // open a second box beneath the first. Timers still run under it.
  const int answer = MessageBoxW(nullptr, Widen(text).c_str(), Widen(title).c_str(),
                                 type | MB_TASKMODAL | MB_SETFOREGROUND);
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
  return folder_.value_or(std::string());
}

void Win32Platform::EnterProgramFolder() {
  // A folder too long for a current folder stays out of it; the library search never looks
  // in the current folder anyway.
  if (folder_) SetCurrentDirectoryW(WidePath(*folder_ + "\\").c_str());
}

std::string Win32Platform::ProgramFilesWarning() {
  if (!folder_) return {};
  std::vector<BYTE> user = CurrentUser();
  const WritableFile files[] = {
      {*folder_, OthersWhoMayChange(*folder_, user)},
      {Join(*folder_, "kestrel.dll"), OthersWhoMayChange(Join(*folder_, "kestrel.dll"), user)},
  };
  return OtherWritersMessage(files);
}

bool Win32Platform::FileExistsInProgramFolder(const std::string& name) {
  // Windows file names are compared without regard to case by the file system itself.
  const DWORD attributes = GetFileAttributesW(WidePath(Join(ProgramFolder(), name)).c_str());
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

FirstCopy Win32Platform::BringFirstCopyForward() {
  const UINT ask = RegisterWindowMessageW(kComeForwardMessage);
  const std::optional<std::wstring> self = ModulePath(nullptr);
  const std::optional<FileIdentity> ours = self ? IdentityOf(*self) : std::nullopt;
  if (ask == 0 || !ours) return FirstCopy::NoAnswer;
  // A first copy that is still starting has no main window yet, and one busy for a moment
  // answers late: asked again for a few seconds, each ask bounded, before the user is told.
  constexpr ULONGLONG kTryForMs = 5000;
  constexpr UINT kAnswerWithinMs = 1000;
  const ULONGLONG until = GetTickCount64() + kTryForMs;
  do {
    std::set<DWORD> silent;  // processes that let an ask time out this round
    for (const auto& [window, pid] : OtherProcessesForms()) {
      if (silent.count(pid) != 0 || !RunsOurProgram(pid, *ours)) continue;
      // Only the process in front may hand the foreground on; this one is, being just started.
      AllowSetForegroundWindow(pid);
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutW(window, ask, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerWithinMs,
                              &answer) == 0) {
        silent.insert(pid);
      } else if (answer == kCameForward) {
        return FirstCopy::CameForward;
      }
    }
    ::Sleep(250);
  } while (GetTickCount64() < until);
  return FirstCopy::NoAnswer;
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
      LoadImageW(nullptr, WidePath(Join(ProgramFolder(), name)).c_str(), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_LOADFROMFILE);
  return static_cast<IconHandle>(reinterpret_cast<uintptr_t>(icon));
}

void Win32Platform::DestroyIcon(IconHandle icon) {
  if (icon != 0) ::DestroyIcon(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)));
}

bool Win32Platform::ShowHelp(const std::string& helpFile, uint32_t command, uint32_t context) {
  // The help viewer of the era, started by its full path in the Windows folder: the system's
  // own help call would start it by name, and a file of that name planted in the program's
  // folder would run instead. A system without it has no viewer.
  if (command != HELP_CONTEXT) return false;
  std::wstring windows(MAX_PATH, L'\0');
  const UINT n = GetWindowsDirectoryW(windows.data(), MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  windows.resize(n);
  const std::wstring viewer = windows + L"\\winhlp32.exe";
  std::wstring line =
      L"\"" + viewer + L"\" -n " + std::to_wstring(context) + L" \"" + Widen(helpFile) + L"\"";
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(viewer.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      windows.c_str(), &start, &started))
    return false;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

bool Win32Platform::SetClipboardText(const std::string& text) {
  // The clipboard takes data only from a window that owns it.
  if (clipboardOwner_ == nullptr) {
    clipboardOwner_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
  }
  if (clipboardOwner_ == nullptr) return false;
  const int units =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (static_cast<size_t>(units) + 1) * sizeof(wchar_t));
  if (memory == nullptr) return false;
  auto* wide = static_cast<wchar_t*>(GlobalLock(memory));
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide, units);
  wide[units] = L'\0';
  GlobalUnlock(memory);
  if (!OpenClipboard(static_cast<HWND>(clipboardOwner_))) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  // Once the clipboard has taken the memory it is the clipboard's.
  const bool taken = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!taken) GlobalFree(memory);
  return taken;
}

std::optional<std::string> Win32Platform::BrowseForFolder(const std::string& title) {
  // The picker is a shell object: COM on this thread, as the shell wants it.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::wstring wideTitle(title.size() + 1, L'\0');
  wideTitle.resize(static_cast<std::size_t>(
      std::max(0, MultiByteToWideChar(CP_UTF8, 0, title.c_str(), static_cast<int>(title.size()),
                                      wideTitle.data(), static_cast<int>(wideTitle.size())))));
  BROWSEINFOW info{};
  info.hwndOwner = GetActiveWindow();
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  std::optional<std::string> chosen;
  if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info)) {
    // The picker's own limit (a longer folder can still be typed); the function of every
    // Windows the program starts on.
    std::wstring path(MAX_PATH + 1, L'\0');
    if (SHGetPathFromIDListW(list, path.data())) {
      path.resize(wcslen(path.c_str()));
      const int n = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()),
                                        nullptr, 0, nullptr, nullptr);
      std::string utf8(static_cast<std::size_t>(n), '\0');
      WideCharToMultiByte(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), utf8.data(), n,
                          nullptr, nullptr);
      chosen = std::move(utf8);
    }
    CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

}  // namespace vigilon::platform
