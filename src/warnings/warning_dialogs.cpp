// The warning count and the dialogs it opens.
#include "warnings/warning_dialogs.h"

namespace vigilon::warnings {

namespace {
// Low sensitivity waits for this many bad readings in a row.
constexpr int16_t kLowSensitiveCount = 3;

bool IsItem(int item) {
  return item >= 0 && item < items::kItemCount;
}
}  // namespace

WarningDialogs::WarningDialogs(ui::Runtime& runtime, RunState& run) : run_(run) {
  for (int item = 0; item < items::kItemCount; ++item)
    slots_[static_cast<size_t>(item)] = std::make_unique<Slot>(runtime, run, item);
  run_.hooks.CloseWarning = [this](int item) { CloseWarning(item); };
}

WarningDialogs::~WarningDialogs() {
  run_.hooks.CloseWarning = nullptr;
}

void WarningDialogs::ShowWarning(int item) {
  if (!IsItem(item) || run_.items.ItemEnabled[item] == 0) return;
  int16_t& count = run_.ItemWarnCount[item];
  ++count;
  // High sensitivity warns at the first bad reading.
  if (run_.items.ItemWErr1[item] != 1 && count < kLowSensitiveCount) return;
  count = 0;
  Slot& slot = *slots_[static_cast<size_t>(item)];
  if (slot.Loaded() && slot.IfLoaded()->visible()) return;
  // Modeless and without an owner, so it stays up while the main window is hidden in the tray.
  slot.Get().Show();
  run_.events.Tell({RunEventKind::WarningShown, item, {}});
}

void WarningDialogs::CloseWarning(int item) {
  if (!IsItem(item)) return;
  run_.ItemWarnCount[item] = 0;
  slots_[static_cast<size_t>(item)]->Unload();
}

frmWarning* WarningDialogs::Dialog(int item) const {
  return IsItem(item) ? slots_[static_cast<size_t>(item)]->IfLoaded() : nullptr;
}

}  // namespace vigilon::warnings
