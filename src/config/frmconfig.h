// The monitoring configuration dialog: per item, whether it is watched, how soon a bad reading
// warns and whether the warning beeps. Every click takes effect at once; Cancel puts back the
// flags the dialog found when it opened.
#pragma once

#include <array>
#include <cstdint>

#include "items/items.h"
#include "run/run_state.h"
#include "ui/controls.h"

namespace vigilon::config {

class frmConfig : public ui::Form {
 public:
  frmConfig(ui::Runtime& runtime, RunState& run);

  // A warning dialog's Disable: the item stays off even if the user then cancels here.
  void DisableInConfig(int item);
  // The main window loaded other flags: the boxes show them, and Cancel returns to them.
  void Reload();

  ui::TabStrip TabStrip1;
  ui::Frame Frame2;
  std::array<ui::Label, 5> ColumeName;
  std::array<ui::Frame, 4> Frame1;
  std::array<ui::Label, items::kItemCount> lblItemName;
  std::array<ui::CheckBox, items::kItemCount> chkEnable;
  std::array<ui::CheckBox, items::kItemCount> chkBeep;
  std::array<ui::CheckBox, items::kItemCount> chkWErr1;
  std::array<ui::CheckBox, items::kItemCount> chkWErr3;
  std::array<ui::CommandButton, 2> cmdSelect;

  // The four flags as the dialog found them; Cancel copies them back.
  items::ItemFlags ConfigBackupEnabled{};
  items::ItemFlags ConfigBackupWErr1{};
  items::ItemFlags ConfigBackupWErr3{};
  items::ItemFlags ConfigBackupBeep{};
  // An item's option boxes as they were when its Enable box was last cleared, so that ticking
  // it again brings them back.
  std::array<int16_t, items::kItemCount> ConfigSavedWErr1{};
  std::array<int16_t, items::kItemCount> ConfigSavedWErr3{};
  std::array<int16_t, items::kItemCount> ConfigSavedBeep{};

 protected:
  void Form_Load() override;

 private:
  // The boxes and the Cancel copy from the flags, the chip's beeps written once at the end.
  void TakeFlags();
  void SetBoxesFromFlags();
  void chkEnable_Click(int item);
  void chkWErr1_Click(int item);
  void chkWErr3_Click(int item);
  void chkBeep_Click(int item);
  void cmdSelect_Click(int index);
  void TabStrip1_Click();
  void Move_Voltage_Poisition();
  void ShowOptions(int item, bool visible);
  void StoreOptions(int item);
  void ApplyBeeps();

  RunState& run_;
  bool beepsHeld_ = false;  // while the boxes take the flags
};

// Owns the dialog for the main window and answers the warnings' Disable through the run's hook,
// creating the dialog (without showing it) when it is not there.
class ConfigDialog {
 public:
  ConfigDialog(ui::Runtime& runtime, RunState& run);
  ~ConfigDialog();
  ConfigDialog(const ConfigDialog&) = delete;
  ConfigDialog& operator=(const ConfigDialog&) = delete;

  void Show();  // loads it if need be, shows it modeless and brings it to the front
  // The main window loaded other flags (the defaults).
  void FlagsReloaded();
  frmConfig* IfLoaded() { return slot_.IfLoaded(); }

 private:
  RunState& run_;
  ui::FormSlot<frmConfig, RunState&> slot_;
};

}  // namespace vigilon::config
