// The monitoring configuration dialog: per item, monitoring, sensitivity and beep.
#pragma once

#include "run/run_state.h"
#include "ui/controls.h"

namespace vigilon::config {

// TODO(configuration dialog): the tab strip and its pages, the sixteen rows of check boxes with
// their click reactions, OK and Cancel, and the warning dialogs' Disable reaching the rows.
class frmConfig : public ui::Form {
 public:
  frmConfig(ui::Runtime& runtime, RunState&)
      : ui::Form(runtime, ui::FormArgs("frmConfig", "Monitoring Config.").AsDialog()) {}
  ~frmConfig() override { Discard(); }
};

// Creates the dialog on first use and shows it modeless.
class ConfigDialog {
 public:
  ConfigDialog(ui::Runtime& runtime, RunState& run) : slot_(runtime, run) {}
  void Show() { slot_.Get().Show(); }
  frmConfig* IfLoaded() { return slot_.IfLoaded(); }

 private:
  ui::FormSlot<frmConfig, RunState&> slot_;
};

}  // namespace vigilon::config
