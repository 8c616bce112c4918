// The runtime of the native tests: no windows, a virtual clock the test advances, and pop-up
// menus answered from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace vigilon::ui {

class HeadlessRuntime final : public Runtime {
 public:
  using Runtime::Runtime;
  ~HeadlessRuntime() override;

  // Moves the virtual clock forward, firing every due timer in order of its due time (timers
  // due at the same moment in the order they were started). A timer's next tick counts from the
  // moment it fired.
  void Advance(uint64_t milliseconds);
  uint64_t now() const { return now_; }
  void DoEvents() override;

  // Pop-up menus shown, by menu name, and the entries to pick, by name; with no pick queued
  // the pop-up closes without a choice.
  std::vector<std::string> popups;
  std::deque<std::string> popupPicks;
  uint32_t doEventsCalls = 0;

  // The shell restarted: hidden forms add their tray icons again.
  void BroadcastTaskbarCreated();

  void TimerChanged(Timer& timer) override;
  void TimerGone(Timer& timer) override;
  Menu* TrackPopup(Form& form, Menu& menu) override;

 private:
  struct Due {
    uint64_t at;
    uint64_t order;
  };
  std::map<Timer*, Due> due_;
  uint64_t now_ = 0;
  uint64_t order_ = 0;
};

}  // namespace vigilon::ui
