// The last words: the fan writes kept in two fixed slots, and the language runtime's terminate
// handler that sends them.
#include "platform/last_words.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <exception>

namespace vigilon::platform {

namespace {
// The one piece of state outside the run's object: a dying process reaches nothing else. Two
// slots, so that a list being written is never the one in force.
struct Words {
  std::array<chip::FanRestoreWrites, 2> slots{};
  std::atomic<int> inForce{-1};  // the slot in force; -1: none
  std::atomic<PortOut> out{nullptr};
  std::atomic<bool> said{false};
  bool hooked = false;
  std::terminate_handler before = nullptr;
};
Words& TheWords() {
  static Words words;
  return words;
}

[[noreturn]] void OnTerminate() {
  SayLastWords();
  if (std::terminate_handler before = TheWords().before) before();
  std::abort();
}
}  // namespace

LastWords::LastWords(PortOut out) {
  Words& w = TheWords();
  w.inForce = -1;
  w.said = false;
  w.out = out;
  if (!w.hooked) w.before = std::set_terminate(OnTerminate);
  w.hooked = true;
}

LastWords::~LastWords() {
  TheWords().out = nullptr;
}

void LastWords::Keep(const chip::FanRestoreWrites& writes) {
  Words& w = TheWords();
  const int slot = w.inForce.load() == 0 ? 1 : 0;
  w.slots[static_cast<std::size_t>(slot)] = writes;
  w.inForce.store(slot);
}

void SayLastWords() {
  Words& w = TheWords();
  // Marked first: a fault inside them must not send them again.
  if (w.said.exchange(true)) return;
  const PortOut out = w.out.load();
  const int slot = w.inForce.load();
  if (out == nullptr || slot < 0) return;
  const chip::FanRestoreWrites& list = w.slots[static_cast<std::size_t>(slot)];
  for (uint8_t i = 0; i < list.count && i < list.writes.size(); ++i)
    out(list.writes[i].port, list.writes[i].value);
}

}  // namespace vigilon::platform
