// The main window: the readings against their limits, the timers that drive monitoring and the
// program's commands.
#pragma once

#include "run/run_state.h"
#include "ui/controls.h"

namespace vigilon {

inline constexpr const char* kMainWindowTitle = "Norvane Vigilon Ver 2.50";

class frmvigilon : public ui::Form {
 public:
  frmvigilon(ui::Runtime& runtime, RunState& run);

 protected:
  void Form_Load() override;

 private:
  RunState& run_;
};

}  // namespace vigilon
