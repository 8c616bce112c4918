// An unhandled-exception filter and an abort handler that send the last words, then let the
// system end the process as it would have.
#include "platform/win32/win32_last_words.h"

#include <windows.h>

#include <atomic>
#include <csignal>

#include "platform/last_words.h"

namespace vigilon::platform {

namespace {
// What a stack overflow leaves the filter beyond the guard page: enough for the driver's write
// (the stand-in's writes its state file on the way).
constexpr ULONG kStackKeptForLastWords = 64 * 1024;

std::atomic<DriverOutPortB>& Driver() {
  static std::atomic<DriverOutPortB> out{nullptr};
  return out;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
  SayLastWords();
  return EXCEPTION_CONTINUE_SEARCH;
}

void OnAbort(int) {
  SayLastWords();
}
}  // namespace

void SayLastWordsOnProcessorFaults() {
  // Looked up: systems before it have no such function, and keep only the guard page.
  using Guarantee = BOOL(WINAPI*)(PULONG);
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    auto guarantee = reinterpret_cast<Guarantee>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadStackGuarantee")));
    ULONG size = kStackKeptForLastWords;
    if (guarantee != nullptr) guarantee(&size);
  }
  SetUnhandledExceptionFilter(OnUnhandledException);
  std::signal(SIGABRT, OnAbort);
}

void SpeakThroughDriver(DriverOutPortB out) {
  Driver().store(out);
}

void DriverPortOut(uint16_t port, uint8_t value) {
  if (DriverOutPortB out = Driver().load()) out(static_cast<short>(port), value);
}

}  // namespace vigilon::platform
