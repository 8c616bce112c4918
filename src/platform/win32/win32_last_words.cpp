// An unhandled-exception filter and an abort handler that send the last words, then let the
// system end the process as it would have.
#include "platform/win32/win32_last_words.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "platform/last_words.h"

namespace vigilon::platform {

namespace {
// What a stack overflow leaves the filter beyond the guard page, where the system keeps it.
constexpr ULONG kStackKeptForLastWords = 64 * 1024;
// A stack of its own for the words after an overflow: the driver's write goes through the
// driver's own code, which may need more than the overflowed stack still has.
constexpr SIZE_T kSpeakerStack = 64 * 1024;
// How long a dying thread whose stack ran out waits for the speaker to have spoken.
constexpr DWORD kSpeakerWaitMs = 2000;

std::atomic<DriverOutPortB>& Driver() {
  static std::atomic<DriverOutPortB> out{nullptr};
  return out;
}

// A thread made at start that does nothing until a stack overflow asks it to speak.
struct Speaker {
  HANDLE ask = nullptr;
  HANDLE spoken = nullptr;
  HANDLE thread = nullptr;
};
Speaker& TheSpeaker() {
  static Speaker speaker;
  return speaker;
}

DWORD WINAPI Speak(void*) {
  Speaker& s = TheSpeaker();
  WaitForSingleObject(s.ask, INFINITE);
  SayLastWords();
  SetEvent(s.spoken);
  return 0;
}

void MakeSpeaker() {
  Speaker& s = TheSpeaker();
  s.ask = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  s.spoken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (s.ask == nullptr || s.spoken == nullptr) return;
  s.thread = CreateThread(nullptr, kSpeakerStack, Speak, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION,
                          nullptr);
}

bool IsStackOverflow(const EXCEPTION_POINTERS* fault) {
  return fault != nullptr && fault->ExceptionRecord != nullptr &&
         fault->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW;
}

// After an overflow the search for a handler may itself need more stack than is left (under
// Wine it does, whatever guarantee was asked for), so the words are spoken at the first sight of
// the overflow, on the speaker's stack: no handler of this program recovers from one.
LONG WINAPI OnFirstSightOfAFault(EXCEPTION_POINTERS* fault) {
  const Speaker& s = TheSpeaker();
  if (IsStackOverflow(fault) && s.thread != nullptr) {
    SetEvent(s.ask);
    WaitForSingleObject(s.spoken, kSpeakerWaitMs);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* fault) {
  if (!IsStackOverflow(fault)) SayLastWords();
  return EXCEPTION_CONTINUE_SEARCH;
}

void OnAbort(int) {
  SayLastWords();
}

template <typename Fn>
Fn LookUp(const wchar_t* module, const char* name) {
  HMODULE m = GetModuleHandleW(module);
  return m == nullptr ? nullptr
                      : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}
}  // namespace

void SayLastWordsOnProcessorFaults() {
  // Looked up: systems before it have no such function, and keep only the guard page.
  if (auto guarantee = LookUp<BOOL(WINAPI*)(PULONG)>(L"kernel32.dll", "SetThreadStackGuarantee")) {
    ULONG size = kStackKeptForLastWords;
    guarantee(&size);
  }
  if (TheSpeaker().thread == nullptr) {
    MakeSpeaker();
    AddVectoredExceptionHandler(1, OnFirstSightOfAFault);
  }
  SetUnhandledExceptionFilter(OnUnhandledException);
  // abort() would first wait for the user on a message box of the runtime's own, with the fans
  // still stopped. Older runtimes have no such choice, and no such box either.
  using AbortBehavior = unsigned int(__cdecl*)(unsigned int, unsigned int);
  if (auto behavior = LookUp<AbortBehavior>(L"msvcrt.dll", "_set_abort_behavior"))
    behavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
  std::signal(SIGABRT, OnAbort);
}

void SpeakThroughDriver(DriverOutPortB out) {
  Driver().store(out);
}

void DriverPortOut(uint16_t port, uint8_t value) {
  if (DriverOutPortB out = Driver().load()) out(static_cast<short>(port), value);
}

}  // namespace vigilon::platform
