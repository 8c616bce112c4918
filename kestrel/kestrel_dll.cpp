// kestrel.dll: the port-I/O driver stand-in. The seven exports run one simulated chip
// configured by kestrel.ini beside the DLL and publish its state in kestrel.state there.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>

#include "kestrel/kestrel_ini.h"
#include "kestrel/state_file.h"
#include "platform/win32/wide_text.h"
#include "sim/chip_sim.h"

namespace {

using vigilon::platform::LongPathForm;
using vigilon::platform::Narrow;
using vigilon::platform::Widen;

constexpr DWORD kReloadCheckMs = 100;
constexpr short kLoadFailed = 1;
constexpr short kConfigInvalid = 2;
constexpr short kBusFailed = 1;
// The code of the fault an export raises for an exception from inside the driver (the
// customer bit set, as the system asks of codes of its own).
constexpr DWORD kDriverFault = 0xE04B5354;

// An exception must not leave an export: a C call cannot carry it, and on the 32-bit build it
// ends in this library's own runtime, where the program never hears of it. It ends the process
// as a fault of the driver instead, which the program's fault handler sees as it sees any.
template <typename Call>
auto Guarded(Call call) noexcept -> decltype(call()) {
  try {
    return call();
  } catch (...) {
    RaiseException(kDriverFault, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    std::abort();  // a non-continuable fault never comes back
  }
}

// The folder this DLL was loaded from, with a trailing separator; empty when the system cannot
// name it whole (a cut path would name another folder).
std::wstring ModuleFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&ModuleFolder), &module))
    return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      path.resize(length);
      break;
    }
    if (path.size() > 32767) return {};
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Enough of a file's identity to notice an edit: whether it exists, its write time and size.
struct FileStamp {
  bool exists = false;
  FILETIME written{};
  DWORD sizeLow = 0;
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && written.dwLowDateTime == o.written.dwLowDateTime &&
           written.dwHighDateTime == o.written.dwHighDateTime && sizeLow == o.sizeLow;
  }
};

FileStamp StampOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FileStamp stamp;
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    stamp.exists = true;
    stamp.written = data.ftLastWriteTime;
    stamp.sizeLow = data.nFileSizeLow;
  }
  return stamp;
}

// Writes through a new file of the temporary name: created only where no file or link of that
// name exists, so a link planted there never redirects the write. A name a crash left is
// removed first (removing a link removes the link, not what it names).
bool WriteWholeFile(const std::wstring& temporary, const std::wstring& path,
                    const std::string& content) {
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS &&
      DeleteFileW(temporary.c_str()))
    file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
      written == content.size();
  if (!CloseHandle(file) || !ok ||
      !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

bool SetShutdownPrivilege(bool enable) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  bool ok = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
  // AdjustTokenPrivileges succeeds without granting anything; only the last error tells.
  ok = ok && AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
       GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return ok;
}

class Driver {
 public:
  Driver()
      : folder_(ModuleFolder()),
        iniPath_(LongPathForm(folder_ + L"kestrel.ini")),
        statePath_(LongPathForm(folder_ + L"kestrel.state")) {}

  short Load() {
    iniStamp_ = StampOf(iniPath_);
    lastCheck_ = GetTickCount();
    auto result = ReadConfig();
    if (const auto* error = std::get_if<kestrel::IniError>(&result)) {
      const std::string message = kestrel::DescribeIniError(Narrow(iniPath_), *error);
      status_.config = "error: " + message;
      status_.loaded = false;
      WriteState();
      MessageBoxW(nullptr, Widen(message).c_str(), L"kestrel", MB_OK | MB_ICONERROR);
      return kConfigInvalid;
    }
    const sim::Config& config = std::get<sim::Config>(result);
    if (chip_) {
      chip_->Reconfigure(config);  // loaded again: the chip keeps its registers
    } else {
      chip_.emplace(config);
    }
    status_.config = "ok";
    status_.loaded = !config.loadFails;
    WriteState();
    return chip_->Load() == 0 ? 0 : kLoadFailed;
  }

  short Unload() {
    status_.loaded = false;
    WriteState();
    return 0;
  }

  short InitialBus(short mode, unsigned char a, unsigned char b, unsigned char c) {
    if (!Ready()) return kBusFailed;
    const short result = chip_->InitialBus(mode, a, b, c);
    WriteState();
    return result;
  }

  unsigned char In(short port) {
    if (!Ready()) return 0xFF;
    const unsigned char value = chip_->In(static_cast<uint16_t>(port));
    NoteAccess();
    return value;
  }

  void Out(short port, unsigned char value) {
    if (!Ready()) return;
    chip_->Out(static_cast<uint16_t>(port), value);
    NoteAccess();
  }

  short EnablePri() {
    if (!Ready() || chip_->EnablePri() == 0) return 0;
    return SetShutdownPrivilege(true) ? 1 : 0;
  }

  short DisablePri() {
    SetShutdownPrivilege(false);
    return 1;
  }

 private:
  std::variant<sim::Config, kestrel::IniError> ReadConfig() const {
    if (folder_.empty()) return kestrel::IniError{0, "the driver's folder cannot be named"};
    return kestrel::LoadKestrelIni(std::filesystem::path(iniPath_));
  }

  // The chip exists once a load has read a valid kestrel.ini; before that every port reads
  // 0xFF. Edits of kestrel.ini are picked up here, at most every 100 ms.
  bool Ready() {
    if (!chip_) return false;
    const DWORD now = GetTickCount();
    if (now - lastCheck_ >= kReloadCheckMs) {
      lastCheck_ = now;
#ifdef KESTREL_FAULT_TRIGGER
      FaultIfAsked();
#endif
      const FileStamp stamp = StampOf(iniPath_);
      if (!(stamp == iniStamp_)) {
        iniStamp_ = stamp;
        Reload();
      }
    }
    return true;
  }

  void Reload() {
    auto result = ReadConfig();
    if (const auto* error = std::get_if<kestrel::IniError>(&result)) {
      // No message box in the middle of the program's polling: the chip keeps its previous
      // inputs and the state file names the problem.
      status_.config = "error: " + kestrel::DescribeIniError(Narrow(iniPath_), *error);
      OutputDebugStringA(("kestrel: " + status_.config + "\n").c_str());
    } else {
      chip_->Reconfigure(std::get<sim::Config>(result));
      status_.config = "ok";
    }
    WriteState();
  }

  void NoteAccess() {
    for (const sim::PortAccess& access : chip_->Log()) {
      if (access.refused) {
        ++status_.refusedCount;
        status_.lastRefused = access.port;
      }
    }
    chip_->ClearLog();  // nobody reads it here; keep a long run's memory flat
    WriteState();
  }

  // Rewrites kestrel.state when its contents changed, never leaving half a file visible. Asked
  // after every port access: only a change is formatted.
  void WriteState() {
    const sim::ChipSim& chip = chip_ ? *chip_ : *EmptyChip();
    kestrel::StateValues values = kestrel::GatherState(chip, status_);
    if (lastState_ && values == *lastState_) return;
    const std::string body = kestrel::FormatStateBody(values);
    if (folder_.empty() ||
        !WriteWholeFile(stateTemporary_, statePath_, kestrel::FormatStateFile(serial_ + 1, body))) {
      OutputDebugStringW((L"kestrel: cannot write " + statePath_ + L"\n").c_str());
      return;
    }
    ++serial_;
    lastState_ = std::move(values);
  }

#ifdef KESTREL_FAULT_TRIGGER
  // Only the tests' build of the library: a file kestrel.fault naming one kind of fault makes
  // the driver die of it, once, in the middle of a port access.
  void FaultIfAsked() {
    if (faulted_) return;
    std::ifstream file(std::filesystem::path(folder_ + L"kestrel.fault"));
    std::string line;
    if (!file || !std::getline(file, line)) return;
    const std::string* kind = &line;
    faulted_ = true;
    if (kind->starts_with("access-violation")) {
      volatile int* volatile nowhere = nullptr;
      *nowhere = 1;
    } else if (kind->starts_with("stack-overflow")) {
      Deeper(nullptr, 0);
    } else if (kind->starts_with("abort")) {
      std::abort();
    } else if (kind->starts_with("bad-alloc")) {
      throw std::bad_alloc();
    }
  }
  // Each call keeps a page of its own alive below the caller's, without end.
  static int Deeper(volatile char* above, int depth) {
    volatile char frame[4096];
    frame[0] = above != nullptr ? above[0] : 0;
    frame[sizeof frame - 1] = static_cast<char>(depth);
    return depth >= 0 ? Deeper(frame, depth + 1) + frame[sizeof frame - 1] : 0;
  }
  bool faulted_ = false;
#endif

  // Stands in for the chip in the state file before any valid configuration was read.
  const sim::ChipSim* EmptyChip() {
    if (!placeholder_) placeholder_.emplace(kestrel::DefaultKestrelConfig());
    return &*placeholder_;
  }

  std::wstring folder_;
  std::wstring iniPath_;
  std::wstring statePath_;
  std::wstring stateTemporary_ = LongPathForm(folder_ + L"kestrel.state.tmp");
  std::optional<sim::ChipSim> chip_;
  std::optional<sim::ChipSim> placeholder_;
  kestrel::DriverStatus status_;
  FileStamp iniStamp_;
  DWORD lastCheck_ = 0;
  std::optional<kestrel::StateValues> lastState_;  // as last written
  uint64_t serial_ = 0;
};

// The DLL's single simulated chip, shared by all callers in the process as a real driver's
// hardware would be.
Driver& TheDriver() {
  static Driver driver;
  return driver;
}

}  // namespace

extern "C" {

short __stdcall LoadKestrelVxD(void) {
  return Guarded([] { return TheDriver().Load(); });
}
short __stdcall UnLoadKestrelVxD(void) {
  return Guarded([] { return TheDriver().Unload(); });
}
short __stdcall InitialBus(short mode, unsigned char a, unsigned char b, unsigned char c) {
  return Guarded([=] { return TheDriver().InitialBus(mode, a, b, c); });
}
unsigned char __stdcall InPortB(short port) {
  return Guarded([=] { return TheDriver().In(port); });
}
void __stdcall OutPortB(short port, unsigned char value) {
  Guarded([=] { TheDriver().Out(port, value); });
}
short __stdcall EnablePri(void) {
  return Guarded([] { return TheDriver().EnablePri(); });
}
short __stdcall DisablePri(void) {
  return Guarded([] { return TheDriver().DisablePri(); });
}

}  // extern "C"
