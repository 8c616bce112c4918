// What happens in a run that a record of it keeps, told by the windows as it happens: one list
// of observers, like the cycle's.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vigilon {

enum class RunEventKind : uint8_t {
  Exit,             // detail: which way ("File, Exit", "the Windows session ended", ...)
  WarningShown,     // item: the warning's item
  WarningButton,    // item, and detail: the button pressed ("Ignore", "Disable", ...)
  FanSwitchedOff,   // item: the fan item the smart fan stopped
  FanSwitchedOn,    // item: the fan item it started again
  SettingsSaved,    // detail: the file
  SettingsDamaged,  // detail: the file found damaged at start
};

struct RunEvent {
  RunEventKind kind;
  int item = -1;  // none
  std::string_view detail;
};

class RunEventObserver {
 public:
  virtual void RunEventHappened(const RunEvent& event) = 0;

 protected:
  ~RunEventObserver() = default;
};

struct RunEvents {
  RunEvents() { observers.reserve(4); }
  std::vector<RunEventObserver*> observers;
  void Tell(const RunEvent& event) const {
    for (RunEventObserver* observer : observers) observer->RunEventHappened(event);
  }
};

}  // namespace vigilon
