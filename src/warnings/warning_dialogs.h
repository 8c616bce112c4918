// The warning count of each monitored item and the dialog it opens; the main window owns one
// WarningDialogs and reports every bad and good reading to it.
#pragma once

#include <array>
#include <memory>

#include "run/run_state.h"
#include "ui/controls.h"
#include "warnings/frmwarning.h"
#include "warnings/shutdown.h"

namespace vigilon::warnings {

class WarningDialogs {
 public:
  // Installs run.hooks.CloseWarning for the windows that close a warning from elsewhere, and
  // removes it again when destroyed.
  WarningDialogs(ui::Runtime& runtime, RunState& run);
  ~WarningDialogs();
  WarningDialogs(const WarningDialogs&) = delete;
  WarningDialogs& operator=(const WarningDialogs&) = delete;

  // A bad reading of `item`: counts it, and opens the item's dialog once the item's
  // sensitivity says so.
  void ShowWarning(int item);
  // The reading is good again (or the item is no longer watched): the count starts over and
  // the dialog, if any, is closed.
  void CloseWarning(int item);
  // The loaded dialog of an item, or nullptr.
  frmWarning* Dialog(int item) const;

 private:
  using Slot = ui::FormSlot<frmWarning, RunState&, int>;
  RunState& run_;
  std::array<std::unique_ptr<Slot>, items::kItemCount> slots_;
};

}  // namespace vigilon::warnings
