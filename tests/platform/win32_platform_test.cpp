// The Win32 platform services and the kestrel.dll binding, under Wine: the program folder,
// file lookup without regard to case, the single-instance marker, the record the notification
// area is handed, and loading the driver.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>
#include <windows.h>
// windows.h first
#include <shellapi.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/single_instance.h"
#include "platform/win32/kestrel_port_io.h"
#include "platform/win32/settings_files_win32.h"
#include "platform/win32/wide_text.h"
#include "support/held_names.h"
#include "support/windows_path.h"

namespace vigilon::platform {
namespace {

using test::WindowsPath;

TEST(Win32Platform, ProgramFolderAndFilesInIt) {
  Win32Platform platform;
  const std::string folder = platform.ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(platform.PathSeparator(), '\\');

  const std::string marker = folder + "\\Debug for TALV.TAG";
  DeleteFileA(marker.c_str());
  EXPECT_FALSE(platform.FileExistsInProgramFolder("\\Debug for TALV.TAG"));
  { std::ofstream(marker) << ""; }
  EXPECT_TRUE(platform.FileExistsInProgramFolder("\\Debug for TALV.TAG"));
  EXPECT_TRUE(platform.FileExistsInProgramFolder("\\DEBUG FOR talv.tag"));
  EXPECT_TRUE(platform.FileExistsInProgramFolder("debug for talv.tag"));
  DeleteFileA(marker.c_str());
  // A folder of that name is not the marker file.
  CreateDirectoryA(marker.c_str(), nullptr);
  EXPECT_FALSE(platform.FileExistsInProgramFolder("\\Debug for TALV.TAG"));
  RemoveDirectoryA(marker.c_str());
}

TEST(Win32Platform, OnlyTheFirstCopyOwnsTheInstanceMarker) {
  Win32Platform first;
  EXPECT_EQ(first.CheckSingleInstance().verdict, InstanceCheck::Verdict::Alone);
  EXPECT_EQ(first.CheckSingleInstance().verdict, InstanceCheck::Verdict::Alone)
      << "asking again does not change the answer";
  {
    Win32Platform second;
    const InstanceCheck check = second.CheckSingleInstance();
    EXPECT_EQ(check.verdict, InstanceCheck::Verdict::AnotherCopyRuns);
    EXPECT_EQ(check.message, "") << "a copy in this session is no news";
  }
}

// Another user's program holds the machine-wide name and keeps us out: this copy does not
// start, and says which name is held.
TEST(Win32Platform, AMachineWideNameThatKeepsUsOutIsNamed) {
  const test::HeldName squatter(test::CreateMutexNobodyMayOpen(kInstanceMarkerGlobal));
  ASSERT_TRUE(squatter.madeHere());
  Win32Platform platform;
  const InstanceCheck check = platform.CheckSingleInstance();
  EXPECT_EQ(check.verdict, InstanceCheck::Verdict::AnotherCopyRuns);
  EXPECT_NE(check.message.find(std::string("\"") + kInstanceMarkerGlobal + "\""), std::string::npos)
      << check.message;
}

// An event under the machine-wide name is no Vigilon, and hides whether a copy runs elsewhere:
// this copy does not start, and names what holds the name.
TEST(Win32Platform, AnotherKindOfObjectUnderTheMachineWideNameIsARefusal) {
  const test::HeldName squatter(CreateEventA(nullptr, TRUE, FALSE, kInstanceMarkerGlobal));
  ASSERT_TRUE(squatter.madeHere());
  Win32Platform platform;
  const InstanceCheck check = platform.CheckSingleInstance();
  EXPECT_EQ(check.verdict, InstanceCheck::Verdict::AnotherCopyRuns);
  EXPECT_NE(check.message.find(kInstanceMarkerGlobal), std::string::npos) << check.message;
}

TEST(Win32Platform, IconFilesLoadFromTheProgramFolder) {
  Win32Platform platform;
  const std::string copy = platform.ProgramFolder() + "\\test-eye.ico";
  ASSERT_TRUE(CopyFileA(WindowsPath(VIGILON_TEST_ICON).c_str(), copy.c_str(), FALSE));
  const IconHandle icon = platform.LoadIconFile("\\test-eye.ico");
  ASSERT_NE(icon, 0u);
  ICONINFO info{};
  EXPECT_TRUE(GetIconInfo(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)), &info));
  // At the small size the DPI asks for: the notification area's and the caption's.
  BITMAP picture{};
  GetObjectA(info.hbmColor, sizeof picture, &picture);
  EXPECT_EQ(picture.bmWidth, GetSystemMetrics(SM_CXSMICON));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  platform.DestroyIcon(icon);
  DeleteFileA(copy.c_str());

  EXPECT_EQ(platform.LoadIconFile("\\no such icon.ico"), 0u);
  platform.DestroyIcon(0);  // nothing to destroy: must not fail
}

// While in scope, this program's calls of Shell_NotifyIconA go through Record(), which keeps
// what the shell was handed and passes the call on. The import table's entry is replaced, so
// the platform code is observed exactly as it calls the shell.
class ShellNotifyIconSpy {
 public:
  using Fn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);

  ShellNotifyIconSpy() : slot_(ImportSlot("shell32.dll", "Shell_NotifyIconA")) {
    if (slot_ == nullptr) return;
    real_ = reinterpret_cast<Fn>(*slot_);
    active_ = this;
    Patch(reinterpret_cast<ULONG_PTR>(&Record));
  }
  ~ShellNotifyIconSpy() {
    if (slot_ == nullptr) return;
    Patch(reinterpret_cast<ULONG_PTR>(real_));
    active_ = nullptr;
  }

  bool installed() const { return slot_ != nullptr; }
  int calls() const { return calls_; }
  DWORD message() const { return message_; }
  // The record as far as its size field reaches, the rest zero.
  const NOTIFYICONDATAA& sent() const { return sent_; }

 private:
  static BOOL WINAPI Record(DWORD message, PNOTIFYICONDATAA data) {
    ShellNotifyIconSpy& spy = *active_;
    ++spy.calls_;
    spy.message_ = message;
    spy.sent_ = NOTIFYICONDATAA{};
    std::memcpy(&spy.sent_, data,
                data->cbSize < sizeof spy.sent_ ? data->cbSize : sizeof spy.sent_);
    return spy.real_(message, data);
  }

  // The import address table entry of `function` from `library` in this program.
  static ULONG_PTR* ImportSlot(const char* library, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name != 0; ++dll) {
      if (lstrcmpiA(reinterpret_cast<const char*>(base + dll->Name), library) != 0) continue;
      auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
      auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
      for (; name->u1.AddressOfData != 0; ++name, ++slot) {
        if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
          return reinterpret_cast<ULONG_PTR*>(&slot->u1.Function);
      }
    }
    return nullptr;
  }

  void Patch(ULONG_PTR target) {
    DWORD protection = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    *slot_ = target;
    VirtualProtect(slot_, sizeof *slot_, protection, &protection);
  }

  static inline ShellNotifyIconSpy* active_ = nullptr;
  ULONG_PTR* slot_;
  Fn real_ = nullptr;
  int calls_ = 0;
  DWORD message_ = 0;
  NOTIFYICONDATAA sent_{};
};

// The program's 88-byte record reaches the shell as this process's first-version record: the
// same 88 bytes in the 32-bit program, 104 in a 64-bit build, where the handles are wider and
// every field after the first has moved.
TEST(Win32Platform, TrayRecordReachesTheShellInTheFirstVersionLayoutOfThisProcess) {
#ifdef _WIN64
  constexpr DWORD kFirstVersionSize = 104;
#else
  constexpr DWORD kFirstVersionSize = 88;
#endif
  HWND owner = CreateWindowExA(0, "STATIC", "tray owner", 0, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
  ASSERT_NE(icon, nullptr);

  NotifyIconRecord record;
  record.hWnd = HandleToULong(owner);
  record.uID = 7;
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = 0x200;
  record.hIcon = HandleToULong(icon);
  std::strcpy(record.szTip.data(), "Vigilon tip");

  ShellNotifyIconSpy spy;
  ASSERT_TRUE(spy.installed()) << "no Shell_NotifyIconA import to observe";
  Win32Platform platform;
  EXPECT_TRUE(platform.ShellNotifyIcon(NotifyOp::Add, record));
  ASSERT_EQ(spy.calls(), 1);
  EXPECT_EQ(spy.message(), static_cast<DWORD>(NIM_ADD));
  const NOTIFYICONDATAA& sent = spy.sent();
  EXPECT_EQ(sent.cbSize, kFirstVersionSize);
  EXPECT_EQ(sent.hWnd, owner);
  EXPECT_EQ(sent.uID, 7u);
  EXPECT_EQ(sent.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(sent.uCallbackMessage, 0x200u);
  EXPECT_EQ(sent.hIcon, icon);
  EXPECT_STREQ(sent.szTip, "Vigilon tip");

  EXPECT_TRUE(platform.ShellNotifyIcon(NotifyOp::Delete, record));
  EXPECT_EQ(spy.calls(), 2);
  EXPECT_EQ(spy.message(), static_cast<DWORD>(NIM_DELETE));
  DestroyWindow(owner);
}

TEST(KestrelBinding, MissingLibraryOrExportIsALoadFailure) {
  KestrelPortIo missing("Z:\\nowhere\\kestrel.dll");
  EXPECT_NE(missing.LoadKestrelVxD(), 0);
  // Every later call is harmless after a failed load.
  EXPECT_EQ(missing.InPortB(0x2F), 0xFF);
  missing.OutPortB(0x2E, 0x87);
  EXPECT_EQ(missing.EnablePri(), 0);

  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  KestrelPortIo wrongLibrary(std::string(system) + "\\kernel32.dll");
  EXPECT_NE(wrongLibrary.LoadKestrelVxD(), 0);
}

// A program folder whose path is longer than MAX_PATH and names characters outside the code page:
// the driver loads from it and keeps its state there, and a settings file is replaced and read
// there. (The first kestrel.dll a process loads stays its only one, so this comes first.)
TEST(KestrelBinding, AFolderLongerThanMaxPathHoldsTheDriverAndTheSettings) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::string parent = Narrow(temp) + "vigilon-Ωmega-日本語-" + std::string(150, 'a');
  const std::string folder = parent + "\\" + std::string(150, 'b');
  ASSERT_GT(Widen(folder).size(), 300u);
  CreateDirectoryW(WidePath(parent).c_str(), nullptr);
  CreateDirectoryW(WidePath(folder).c_str(), nullptr);
  const std::string dll = folder + "\\kestrel.dll";
  ASSERT_TRUE(CopyFileW(WidePath(WindowsPath(VIGILON_TEST_KESTREL_DLL)).c_str(),
                        WidePath(dll).c_str(), FALSE));
  KestrelPortIo driver(dll);
  ASSERT_EQ(driver.LoadKestrelVxD(), 0);
  EXPECT_NE(GetFileAttributesW(WidePath(folder + "\\kestrel.state").c_str()),
            INVALID_FILE_ATTRIBUTES);

  const std::unique_ptr<items::SettingsFiles> files = NewWin32SettingsFiles();
  const std::vector<uint8_t> bytes(326, 7);
  EXPECT_EQ(files->ReplaceFileContents(folder + "\\zr420.dat", bytes), std::nullopt);
  EXPECT_EQ(files->ReadWholeFile(folder + "\\zr420.dat").bytes, bytes);
}

TEST(KestrelBinding, DriverInItsFolderAnswersThroughAllExports) {
  // A folder of its own, so the driver reads no kestrel.ini and simulates a healthy chip.
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "vigilon-binding-test";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string dll = folder + "\\kestrel.dll";
  ASSERT_TRUE(CopyFileA(WindowsPath(VIGILON_TEST_KESTREL_DLL).c_str(), dll.c_str(), FALSE));
  DeleteFileA((folder + "\\kestrel.ini").c_str());

  KestrelPortIo driver(dll);
  ASSERT_EQ(driver.LoadKestrelVxD(), 0);
  // The Super-I/O device answers its identifier after the entry key.
  driver.OutPortB(0x2E, 0x87);
  driver.OutPortB(0x2E, 0x87);
  driver.OutPortB(0x2E, 0x20);
  EXPECT_EQ(driver.InPortB(0x2F), 0x52);
  EXPECT_EQ(driver.InitialBus(1, 0x5A, 0x92, 0x90), 0);
}

}  // namespace
}  // namespace vigilon::platform
