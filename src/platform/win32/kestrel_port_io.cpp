// kestrel.dll binding: resolves the seven exports by their undecorated names.
#include "platform/win32/kestrel_port_io.h"

#include <windows.h>

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
}  // namespace

int16_t KestrelPortIo::LoadKestrelVxD() {
  // Only the copy in the program's folder: never a library of that name found elsewhere.
  HMODULE module = LoadLibraryExA(dllPath_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
