// Smoke test of the built kestrel.dll: loaded by LoadLibrary from a scratch folder with a
// chosen kestrel.ini, called through its undecorated exports, its state file read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using LoadFn = short(__stdcall*)();
using BusFn = short(__stdcall*)(short, unsigned char, unsigned char, unsigned char);
using InFn = unsigned char(__stdcall*)(short);
using OutFn = void(__stdcall*)(short, unsigned char);

// The build knows the DLL by its host path; under Wine the host file system is drive Z:.
std::string BuiltDllPath() {
  std::string path = KESTREL_DLL_PATH;
  if (!path.empty() && path[0] == '/') {
    path = "Z:" + path;
    for (char& c : path)
      if (c == '/') c = '\\';
  }
  return path;
}

std::map<std::string, std::string> ReadKeyValues(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

// The message boxes the DLL asked for, with the answer OK and nothing on the screen.
struct Box {
  std::string text, caption;
  UINT style;
};
std::vector<Box>& boxes() {
  static std::vector<Box> shown;
  return shown;
}
std::string Utf8(LPCWSTR text) {
  if (text == nullptr) return {};
  char buffer[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
  return buffer;
}
int WINAPI RecordMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT style) {
  boxes().push_back({Utf8(text), Utf8(caption), style});
  return IDOK;
}

// Points the module's import of MessageBoxW at `replacement`; false when it has none.
bool RedirectMessageBoxW(HMODULE module, decltype(&MessageBoxW) replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return false;
  for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       dll->Name != 0; ++dll) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + dll->Name), "user32.dll") != 0) continue;
    auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (std::string_view(reinterpret_cast<const char*>(byName->Name)) != "MessageBoxW") continue;
      DWORD was = 0;
      if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &was))
        return false;
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, was, &was);
      return true;
    }
  }
  return false;
}

class KestrelDll : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    folder_ = std::string(temp) + "kestrel_dll_" + std::to_string(GetCurrentProcessId()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(BuiltDllPath().c_str(), (folder_ + "kestrel.dll").c_str(), FALSE))
        << "cannot copy " << BuiltDllPath();
  }

  void TearDown() override {
    if (module_) FreeLibrary(module_);
    for (const char* name : {"kestrel.dll", "kestrel.ini", "kestrel.state", "kestrel.state.tmp"})
      DeleteFileA((folder_ + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  void WriteIni(const std::string& text) {
    std::ofstream(folder_ + "kestrel.ini", std::ios::binary | std::ios::trunc) << text;
  }

  template <typename Fn>
  Fn Export(const char* name) {
    auto address = GetProcAddress(module_, name);
    EXPECT_NE(address, nullptr) << name << " is not exported under its plain name";
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
  }

  void LoadDll() {
    module_ = LoadLibraryA((folder_ + "kestrel.dll").c_str());
    ASSERT_NE(module_, nullptr) << "LoadLibrary failed: " << GetLastError();
    load_ = Export<LoadFn>("LoadKestrelVxD");
    unload_ = Export<LoadFn>("UnLoadKestrelVxD");
    bus_ = Export<BusFn>("InitialBus");
    in_ = Export<InFn>("InPortB");
    out_ = Export<OutFn>("OutPortB");
    enablePri_ = Export<LoadFn>("EnablePri");
    disablePri_ = Export<LoadFn>("DisablePri");
    ASSERT_FALSE(HasFailure());
  }

  uint8_t ReadConfig(short port, uint8_t index) {
    out_(port, index);
    return in_(static_cast<short>(port + 1));
  }
  uint8_t ReadDevice(short port, uint8_t index) {
    out_(port, 0x07);
    out_(static_cast<short>(port + 1), 0x0B);
    return ReadConfig(port, index);
  }
  uint8_t ReadReg(short index, int bank, uint8_t reg) {
    out_(index, 0x4E);
    const uint8_t select = in_(static_cast<short>(index + 1));
    out_(index, 0x4E);
    out_(static_cast<short>(index + 1), static_cast<uint8_t>((select & 0x80) | bank));
    out_(index, reg);
    return in_(static_cast<short>(index + 1));
  }
  void WriteReg(short index, int bank, uint8_t reg, uint8_t value) {
    ReadReg(index, bank, reg);
    out_(static_cast<short>(index + 1), value);
  }

  // Waits, with a deadline, until the state file shows key=value.
  bool StateShows(const std::string& key, const std::string& value, short pollPort) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000) {
      in_(pollPort);  // the driver looks at kestrel.ini only when called
      auto state = ReadKeyValues(folder_ + "kestrel.state");
      if (state.count(key) && state[key] == value) return true;
      Sleep(20);
    }
    return false;
  }

  std::string folder_;
  HMODULE module_ = nullptr;
  LoadFn load_ = nullptr;
  LoadFn unload_ = nullptr;
  BusFn bus_ = nullptr;
  InFn in_ = nullptr;
  OutFn out_ = nullptr;
  LoadFn enablePri_ = nullptr;
  LoadFn disablePri_ = nullptr;
};

TEST_F(KestrelDll, Zr460At4EThroughTheExports) {
  WriteIni("model = ZR460\nsuperio = 0x4E\nbase = 0x0A10\ntemp1 = 40\n");
  LoadDll();
  ASSERT_EQ(load_(), 0);

  out_(0x2E, 0x87);
  out_(0x2E, 0x87);
  EXPECT_EQ(ReadConfig(0x2E, 0x20), 0xFF) << "nothing at 0x2E";
  out_(0x4E, 0x87);
  out_(0x4E, 0x87);
  ASSERT_EQ(ReadConfig(0x4E, 0x20), 0x52);
  EXPECT_EQ(ReadConfig(0x4E, 0x21) & 0x10, 0x10);
  const int base = ReadDevice(0x4E, 0x60) << 8 | ReadDevice(0x4E, 0x61);
  ASSERT_EQ(base, 0x0A10);
  const short index = static_cast<short>((base & ~7) + 5);
  ASSERT_EQ(bus_(1, 0x5A, 0x92, 0x90), 0);

  out_(index, 0x4E);
  out_(static_cast<short>(index + 1), 0x80);
  out_(index, 0x4F);
  EXPECT_EQ(in_(static_cast<short>(index + 1)), 0x5C);
  EXPECT_EQ(ReadReg(index, 0, 0x58), 0x21);
  EXPECT_EQ(ReadReg(index, 0, 0x27), 40);

  EXPECT_EQ(in_(0x80), 0xFF);
  auto state = ReadKeyValues(folder_ + "kestrel.state");
  EXPECT_EQ(state["model"], "ZR460");
  EXPECT_EQ(state["loaded"], "1");
  EXPECT_EQ(state["bus_ready"], "1");
  EXPECT_EQ(state["monitor.port"], "0a15");
  EXPECT_EQ(state["bank0.58"], "21");
  EXPECT_EQ(state["bank0.27"], "28");
  EXPECT_EQ(state["refused.count"], "1");
  EXPECT_EQ(state["refused.last"], "0080");
  EXPECT_GE(std::stoi(state["serial"]), 1);

  EXPECT_NE(enablePri_(), 0);
  EXPECT_NE(disablePri_(), 0);
  EXPECT_EQ(unload_(), 0);
}

TEST_F(KestrelDll, EditedIniAppliesWhileRegistersSurvive) {
  WriteIni("temp1 = 40\n");
  LoadDll();
  ASSERT_EQ(load_(), 0);
  out_(0x2E, 0x87);
  out_(0x2E, 0x87);
  ASSERT_EQ(bus_(1, 0x5A, 0x92, 0x90), 0);
  WriteReg(0x295, 0, 0x2B, 0x77);
  ASSERT_EQ(ReadReg(0x295, 0, 0x27), 40);

  WriteIni("temp1 = 55\nchassis = open\n");
  EXPECT_TRUE(StateShows("bank0.27", "37", 0x296)) << "the new temperature never arrived";
  EXPECT_EQ(ReadReg(0x295, 0, 0x27), 55);
  EXPECT_EQ(ReadReg(0x295, 0, 0x2B), 0x77);
  EXPECT_EQ(ReadReg(0x295, 0, 0x42) & 0x10, 0x10);

  // A broken edit keeps the inputs and is named in the state file.
  WriteIni("temp1 = 60\nfan9 = 1\n");
  EXPECT_TRUE(
      StateShows("config", "error: " + folder_ + "kestrel.ini, line 2: unknown key 'fan9'", 0x296));
  EXPECT_EQ(ReadReg(0x295, 0, 0x27), 55);
}

TEST_F(KestrelDll, MissingIniIsTheHealthyDefault) {
  LoadDll();
  ASSERT_EQ(load_(), 0);
  out_(0x2E, 0x87);
  out_(0x2E, 0x87);
  EXPECT_EQ(ReadConfig(0x2E, 0x20), 0x52);
  EXPECT_EQ(ReadDevice(0x2E, 0x60), 0x02);
  EXPECT_EQ(ReadDevice(0x2E, 0x61), 0x90);
  ASSERT_EQ(bus_(1, 0x5A, 0x92, 0x90), 0);
  EXPECT_EQ(ReadReg(0x295, 0, 0x58), 0x30);
}

TEST_F(KestrelDll, MalformedIniFailsTheLoadWithAMessage) {
  WriteIni("model = ZR420\n\nfan1 = fast\n");
  LoadDll();
  // The box is taken at the DLL's import, so the message is read with a display or without.
  ASSERT_TRUE(RedirectMessageBoxW(module_, &RecordMessageBox)) << "no MessageBoxW import";
  boxes().clear();
  EXPECT_NE(load_(), 0);
  const std::string expected = folder_ + "kestrel.ini, line 3: 'fast' is not a number (fan1)";
  ASSERT_EQ(boxes().size(), 1u) << "the load failed without a message box";
  EXPECT_EQ(boxes()[0].text, expected);
  EXPECT_EQ(boxes()[0].caption, "kestrel");
  EXPECT_EQ(boxes()[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  auto state = ReadKeyValues(folder_ + "kestrel.state");
  EXPECT_EQ(state["config"], "error: " + expected);
  EXPECT_EQ(state["loaded"], "0");
  EXPECT_EQ(in_(0x2F), 0xFF) << "no chip behind a failed load";
}

// A temporary state file's name that already holds something (what a crash left, or a link to
// a file elsewhere) is replaced, never written through.
TEST_F(KestrelDll, TheStateIsNeverWrittenThroughALinkAtItsTemporaryName) {
  const std::string victim = folder_ + "victim.txt";
  std::ofstream(victim, std::ios::binary) << "keep";
  ASSERT_TRUE(CreateHardLinkA((folder_ + "kestrel.state.tmp").c_str(), victim.c_str(), nullptr));
  WriteIni("temp1 = 40\n");
  LoadDll();
  ASSERT_EQ(load_(), 0);
  std::ifstream in(victim, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
  EXPECT_EQ(ReadKeyValues(folder_ + "kestrel.state")["loaded"], "1");
  in.close();
  DeleteFileA(victim.c_str());
}

TEST_F(KestrelDll, FaultSwitches) {
  WriteIni("model = ZR410\nsuperio = none\nfault_bus = 1\nfault_shutdown_refused = 1\n");
  LoadDll();
  ASSERT_EQ(load_(), 0);
  EXPECT_NE(bus_(1, 0x5A, 0x92, 0x90), 0);
  EXPECT_EQ(ReadReg(0, 0, 0x58), 0xFF);
  EXPECT_EQ(enablePri_(), 0);

  WriteIni("model = ZR410\nsuperio = none\nfault_load = 1\n");
  EXPECT_NE(load_(), 0) << "a later load sees the new fault";
}

}  // namespace
