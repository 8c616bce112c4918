// The last words, run from the language runtime's terminate handler.
#include "platform/last_words.h"

#include <cstdlib>
#include <exception>
#include <utility>

namespace vigilon::platform {

namespace {
// The one piece of state outside the run's object: a dying process reaches nothing else.
struct Words {
  std::function<void()> words;
  bool hooked = false;
  std::terminate_handler before = nullptr;
};
Words& InForce() {
  static Words words;
  return words;
}

[[noreturn]] void OnTerminate() {
  SayLastWords();
  if (std::terminate_handler before = InForce().before) before();
  std::abort();
}
}  // namespace

LastWords::LastWords(std::function<void()> words) {
  Words& w = InForce();
  w.words = std::move(words);
  if (!w.hooked) w.before = std::set_terminate(OnTerminate);
  w.hooked = true;
}

LastWords::~LastWords() {
  InForce().words = nullptr;
}

void SayLastWords() {
  // Taken out first: a fault inside them must not run them again.
  std::function<void()> words = std::exchange(InForce().words, nullptr);
  if (!words) return;
  try {
    words();
  } catch (...) {
    // Dying already: nothing is left to tell.
  }
}

}  // namespace vigilon::platform
