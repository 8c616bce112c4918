// What the program still does when it dies of a fault: an exception nobody caught, a broken
// promise of the language runtime, or (on Windows) a fault of the processor.
#pragma once

#include <functional>

namespace vigilon::platform {

// While it lives, `words` run once before the process dies of such a fault, followed by
// whatever would have happened without them. A process killed from outside runs nothing: what
// it leaves is for the next start to mend.
class LastWords {
 public:
  explicit LastWords(std::function<void()> words);
  ~LastWords();
  LastWords(const LastWords&) = delete;
  LastWords& operator=(const LastWords&) = delete;
};

// Runs the words now, if any are in force and have not run: for the system-specific fault
// handlers.
void SayLastWords();

}  // namespace vigilon::platform
