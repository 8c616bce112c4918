// The counting of the measurement build (VIGILON_MEASURE), around each timed cycle.
//
// Heap allocations: every malloc, calloc and realloc called by code linked into vigilon.exe
// (ours, and the static C++ runtime's operator new among it), caught by the linker's --wrap.
// What Windows' own libraries allocate inside their calls (a tray update, a window icon) is not
// the program's and is not counted.
// File opens: CreateFileA/W and LoadImageA/W from a file (LoadImage opens it inside user32),
// called through vigilon.exe's import table, and apart from them the same calls through
// kestrel.dll's (the driver stand-in, which the user's real driver replaces). File writes and
// moves: WriteFile and MoveFileExW through vigilon.exe's import table.
#include "app/measure.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "run/run_state.h"

namespace {

uint32_t g_allocations = 0;
uint32_t g_fileOpens = 0;
uint32_t g_driverFileOpens = 0;
uint32_t g_fileWrites = 0;
uint32_t g_fileMoves = 0;

void Count(uint32_t& counter) {
  // Allocations may come from any thread of the process.
  __atomic_add_fetch(&counter, 1, __ATOMIC_RELAXED);
}

uint32_t Read(const uint32_t& counter) {
  return __atomic_load_n(&counter, __ATOMIC_RELAXED);
}

}  // namespace

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);

void* __wrap_malloc(size_t size) {
  Count(g_allocations);
  return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
  Count(g_allocations);
  return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size) {
  Count(g_allocations);
  return __real_realloc(block, size);
}
}

namespace vigilon::measure {

namespace {

// The system's own entry points, called past the patched import slots.
struct Originals {
  decltype(&CreateFileA) createFileA = nullptr;
  decltype(&CreateFileW) createFileW = nullptr;
  decltype(&LoadImageA) loadImageA = nullptr;
  decltype(&LoadImageW) loadImageW = nullptr;
  decltype(&WriteFile) writeFile = nullptr;
  decltype(&MoveFileExW) moveFileExW = nullptr;
} g_system;

BOOL WINAPI CountedWriteFile(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD wrote,
                             LPOVERLAPPED overlapped) {
  Count(g_fileWrites);
  return g_system.writeFile(file, bytes, size, wrote, overlapped);
}

BOOL WINAPI CountedMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  Count(g_fileMoves);
  return g_system.moveFileExW(from, to, flags);
}

template <uint32_t* Counter>
HANDLE WINAPI CountedCreateFileA(LPCSTR name, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE templateFile) {
  Count(*Counter);
  return g_system.createFileA(name, access, share, security, disposition, flags, templateFile);
}

template <uint32_t* Counter>
HANDLE WINAPI CountedCreateFileW(LPCWSTR name, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE templateFile) {
  Count(*Counter);
  return g_system.createFileW(name, access, share, security, disposition, flags, templateFile);
}

template <uint32_t* Counter>
HANDLE WINAPI CountedLoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy,
                                UINT load) {
  if ((load & LR_LOADFROMFILE) != 0) Count(*Counter);
  return g_system.loadImageA(instance, name, type, cx, cy, load);
}

template <uint32_t* Counter>
HANDLE WINAPI CountedLoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy,
                                UINT load) {
  if ((load & LR_LOADFROMFILE) != 0) Count(*Counter);
  return g_system.loadImageW(instance, name, type, cx, cy, load);
}

// Points a module's import slot for `function`, from whichever library, at `hook`.
void PatchImport(HMODULE module, const char* function, void* hook) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.Size == 0) return;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    if (library->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* named =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(named->Name), function) != 0) continue;
      DWORD protection = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
    }
  }
}

template <uint32_t* Counter>
void CountFileOpens(HMODULE module) {
  PatchImport(module, "CreateFileA", reinterpret_cast<void*>(&CountedCreateFileA<Counter>));
  PatchImport(module, "CreateFileW", reinterpret_cast<void*>(&CountedCreateFileW<Counter>));
  PatchImport(module, "LoadImageA", reinterpret_cast<void*>(&CountedLoadImageA<Counter>));
  PatchImport(module, "LoadImageW", reinterpret_cast<void*>(&CountedLoadImageW<Counter>));
}

struct Measurement {
  Counters* shared = nullptr;
  bool driverCounted = false;
  // At the cycle's start.
  uint32_t allocations = 0, fileOpens = 0, driverFileOpens = 0, fileWrites = 0, fileMoves = 0;
} g_measurement;

// What each cycle of the monitoring timer cost, added to the shared counters.
class CycleCounter final : public CycleObserver {
 public:
  void CycleStarts() override;
  void CycleEnded(const CycleReadings& cycle) override;
} g_counter;

void CycleCounter::CycleStarts() {
  Measurement& m = g_measurement;
  if (!m.driverCounted) {
    // The driver is loaded by start-up, after Install.
    if (HMODULE driver = GetModuleHandleA("kestrel.dll"))
      CountFileOpens<&g_driverFileOpens>(driver);
    m.driverCounted = true;
  }
  m.allocations = Read(g_allocations);
  m.fileOpens = Read(g_fileOpens);
  m.driverFileOpens = Read(g_driverFileOpens);
  m.fileWrites = Read(g_fileWrites);
  m.fileMoves = Read(g_fileMoves);
}

void CycleCounter::CycleEnded(const CycleReadings& /*cycle*/) {
  const Measurement& m = g_measurement;
  Counters& c = *m.shared;
  c.allocations += Read(g_allocations) - m.allocations;
  c.fileOpens += Read(g_fileOpens) - m.fileOpens;
  c.driverFileOpens += Read(g_driverFileOpens) - m.driverFileOpens;
  c.fileWrites += Read(g_fileWrites) - m.fileWrites;
  c.fileMoves += Read(g_fileMoves) - m.fileMoves;
  ++c.cycles;
}

}  // namespace

void Install() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  HMODULE user = GetModuleHandleA("user32.dll");
  g_system.createFileA = reinterpret_cast<decltype(&CreateFileA)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreateFileA")));
  g_system.createFileW = reinterpret_cast<decltype(&CreateFileW)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreateFileW")));
  g_system.loadImageA = reinterpret_cast<decltype(&LoadImageA)>(
      reinterpret_cast<void*>(GetProcAddress(user, "LoadImageA")));
  g_system.loadImageW = reinterpret_cast<decltype(&LoadImageW)>(
      reinterpret_cast<void*>(GetProcAddress(user, "LoadImageW")));
  g_system.writeFile = reinterpret_cast<decltype(&WriteFile)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "WriteFile")));
  g_system.moveFileExW = reinterpret_cast<decltype(&MoveFileExW)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExW")));

  // Kept for the whole run: the probe opens it by name.
  HANDLE block = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(Counters), kCountersName);
  void* view =
      block != nullptr ? MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, sizeof(Counters)) : nullptr;
  if (view == nullptr) return;
  g_measurement.shared = static_cast<Counters*>(view);
  *g_measurement.shared = Counters{};
  HMODULE program = GetModuleHandleA(nullptr);
  CountFileOpens<&g_fileOpens>(program);
  PatchImport(program, "WriteFile", reinterpret_cast<void*>(&CountedWriteFile));
  PatchImport(program, "MoveFileExW", reinterpret_cast<void*>(&CountedMoveFileExW));
}

void CountCycles(RunState& run) {
  if (g_measurement.shared != nullptr) run.observers.push_back(&g_counter);
}

}  // namespace vigilon::measure
