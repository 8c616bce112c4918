// The warning dialog: one layout and button set, one named instance per monitored item.
#pragma once

#include <array>

#include "run/run_state.h"
#include "ui/controls.h"

namespace vigilon::warnings {

// The buttons of the Command array, by index.
enum WarningButton : int { kIgnore = 0, kDisable = 1, kShutDown = 2, kHelp = 3 };
inline constexpr int kWarningButtons = 4;

class frmWarning : public ui::Form {
 public:
  frmWarning(ui::Runtime& runtime, RunState& run, int item);

  int item() const { return item_; }

  ui::Label Label1;  // "Warning!"
  ui::Label Label2;  // the message; named "lblWarning" in frmVcoreA
  std::array<ui::CommandButton, kWarningButtons> Command;
  std::array<ui::Label, kWarningButtons> Tip;  // what each button does

  // The buttons' click. Callable from code too, as with any handler; Help then works even
  // where its button is hidden.
  void Command_Click(int index);

 protected:
  void Form_Load() override;
  void Form_QueryUnload(bool& cancel, ui::UnloadMode mode) override;
  void Form_Unload() override;

 private:
  void Disable();
  // Hands the help file and topic to the help viewer, or tells the user why there is none.
  void ShowHelp(const char* helpFile, uint32_t topic);
  RunState& run_;
  int item_;
  bool holdOpen_ = false;  // while the chassis dialog's Disable runs
};

}  // namespace vigilon::warnings
