// What the program still does when it dies of a fault: an exception nobody caught, a broken
// promise of the language runtime, or (on Windows) a fault of the processor or an abort.
#pragma once

#include <cstdint>

#include "chip/fan_restore.h"

namespace vigilon::platform {

// One port write made straight through the driver, reaching none of the program's objects.
using PortOut = void (*)(uint16_t port, uint8_t value);

// While it lives, the fan writes it was last given are sent once through `out` before the
// process dies of such a fault, followed by whatever would have happened without them. A
// process killed from outside runs nothing: what it leaves is for the next start to mend.
// The dying process may have faulted anywhere, the chip's objects and the heap included, so
// the words are a list made beforehand, sent without allocating, locking or waiting.
class LastWords {
 public:
  explicit LastWords(PortOut out);
  ~LastWords();
  LastWords(const LastWords&) = delete;
  LastWords& operator=(const LastWords&) = delete;

  // The list from now on. It takes effect whole: a fault in the middle of this call sends the
  // list before it.
  void Keep(const chip::FanRestoreWrites& writes);
};

// Sends the words now, if any are in force and have not been sent: for the system-specific
// fault handlers.
void SayLastWords();

}  // namespace vigilon::platform
