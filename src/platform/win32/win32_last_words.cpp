// An unhandled-exception filter that runs the last words, then lets the system end the process
// as it would have.
#include "platform/win32/win32_last_words.h"

#include <windows.h>

#include "platform/last_words.h"

namespace vigilon::platform {

namespace {
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
  SayLastWords();
  return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

void SayLastWordsOnProcessorFaults() {
  SetUnhandledExceptionFilter(OnUnhandledException);
}

}  // namespace vigilon::platform
