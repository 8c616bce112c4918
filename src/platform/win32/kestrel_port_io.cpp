// kestrel.dll binding: resolves the seven exports by their undecorated names.
#include "platform/win32/kestrel_port_io.h"

#include <windows.h>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_last_words.h"

namespace vigilon::platform {

namespace {
constexpr int16_t kLoadFailed = -1;

template <typename Fn>
bool Resolve(HMODULE module, const char* name, Fn& fn) {
  FARPROC proc = GetProcAddress(module, name);
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
  return fn != nullptr;
}
// Older headers and systems know neither the narrowed search nor its flags.
constexpr DWORD kSearchSystem32 = 0x00000800;    // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchDllLoadDir = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
}  // namespace

void NarrowLibrarySearch() {
  // Looked up: systems before the 2011 update of Windows 7 lack it, and so do some Wine versions.
  using SetDefaultFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  auto setDefault = reinterpret_cast<SetDefaultFn>(reinterpret_cast<void*>(proc));
  if (setDefault != nullptr) setDefault(kSearchSystem32);
  // Takes the current folder out of the search where the call above is missing.
  SetDllDirectoryW(L"");
}

int16_t KestrelPortIo::LoadKestrelVxD() {
  // Only the copy in the program's folder, and what it needs only from the system's folder:
  // never a library of either name found elsewhere. A system without these flags refuses them
  // as invalid; it gets the old rule, in which the library's own folder comes first.
  const std::wstring path = WidePath(dllPath_);
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, kSearchDllLoadDir | kSearchSystem32);
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) return kLoadFailed;
  const bool complete =
      Resolve(module, "LoadKestrelVxD", load_) && Resolve(module, "UnLoadKestrelVxD", unload_) &&
      Resolve(module, "InitialBus", initialBus_) && Resolve(module, "InPortB", in_) &&
      Resolve(module, "OutPortB", out_) && Resolve(module, "EnablePri", enablePri_) &&
      Resolve(module, "DisablePri", disablePri_);
  if (!complete) {
    load_ = nullptr;
    return kLoadFailed;
  }
  // From here a dying run gives its fans back through the driver's own write; and the filter
  // goes back in, in case the library replaced it while it loaded.
  SpeakThroughDriver(out_);
  const int16_t result = load_();
  SayLastWordsOnProcessorFaults();
  return result;
}

// Every later call comes only after a successful load (start-up ends otherwise); the guards
// keep a broken library from ever becoming a jump through a null pointer.
int16_t KestrelPortIo::UnLoadKestrelVxD() {
  return unload_ ? unload_() : kLoadFailed;
}

int16_t KestrelPortIo::InitialBus(int16_t mode, uint8_t a, uint8_t b, uint8_t c) {
  return initialBus_ ? initialBus_(mode, a, b, c) : kLoadFailed;
}

uint8_t KestrelPortIo::InPortB(uint16_t port) {
  return in_ ? in_(static_cast<short>(port)) : 0xFF;
}

void KestrelPortIo::OutPortB(uint16_t port, uint8_t value) {
  if (out_) out_(static_cast<short>(port), value);
}

int16_t KestrelPortIo::EnablePri() {
  return enablePri_ ? enablePri_() : 0;
}

int16_t KestrelPortIo::DisablePri() {
  return disablePri_ ? disablePri_() : 0;
}

}  // namespace vigilon::platform
