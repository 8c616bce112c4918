// The main window's commands and its life in the notification area: menus and buttons, hiding
// to the tray and coming back, the ways out of the program, and the unit pictures.
#include <algorithm>
#include <cstring>

#include "monitor/frmvigilon.h"
#include "shell/settings_commands.h"

namespace vigilon {

namespace {
// The notification area's callback comes as a mouse move, with the mouse message code in place
// of the horizontal position.
constexpr uint32_t kTrayCallback = platform::kMouseMoveMessage;
constexpr int kTrayDoubleClick = platform::kLeftDoubleClick;
constexpr int kTrayRightButtonUp = platform::kRightButtonUp;
constexpr uint32_t kTrayIconId = 1;
constexpr uint32_t kTrayFlags =
    platform::kNotifyMessageValid | platform::kNotifyIconValid | platform::kNotifyTipValid;
constexpr const char* kTrayTip = "Vigilon";
constexpr const char* kTrayTipSilent = "Vigilon - the monitor chip does not answer";
}  // namespace

void frmvigilon::WireCommands() {
  mExit.onClick = [this] { mExit_Click(); };
  mDefault.onClick = [this] { mDefault_Click(); };
  mSave.onClick = [this] { mSave_Click(); };
  mConfigure.onClick = [this] { mConfigure_Click(); };
  mAbout.onClick = [this] { mAbout_Click(); };
  // The dialog belongs to whoever keeps the run's records; without them the entry does nothing.
  mLogging.onClick = [this] {
    if (run_.hooks.ShowLoggingOptions) run_.hooks.ShowLoggingOptions();
  };
  IconMenuRestore.onClick = [this] { IconMenuRestore_Click(); };
  IconMenuExit.onClick = [this] { IconMenuExit_Click(); };
  Command1.onClick = [this] { mExit_Click(); };
  Command2.onClick = [this] {
    bool cancel = true;
    Form_QueryUnload(cancel, ui::UnloadMode::ControlMenu);
  };
  Command3.onClick = [this] { mDefault_Click(); };
  Command4.onClick = [this] { mSave_Click(); };
  Command5.onClick = [this] { mConfigure_Click(); };
  Command6.onClick = [this] { mAbout_Click(); };
  Command7.onClick = [this] {
    shell::MakeData(run_);
    // Its unit shows at once: left to the next cycle, the button's click would read the
    // temperatures a second time within it.
    SelectUnitButtons();
  };
  // The pictures beside the unit buttons and the unit marks in the temperature frame.
  Image1.onClick = [this] { UnitPicture_Click(true); };
  Image2.onClick = [this] { UnitPicture_Click(false); };
  panel_.Image3.onClick = [this] { UnitPicture_Click(false); };
  panel_.Image4.onClick = [this] { UnitPicture_Click(true); };
}

void frmvigilon::UnitPicture_Click(bool celsius) {
  // One switch per click: selecting a button that was not selected runs its click, which is
  // the switch; only a button selected already needs the switch run here. Two would read the
  // temperatures twice and count a bad one double.
  ui::OptionButton& button = celsius ? Option1 : Option2;
  if (button.value()) {
    SetUnit(celsius);
  } else {
    button.SetValue(true);
  }
  panel_.ShowUnitMark(celsius);
}

// ---- Hiding to the notification area and coming back ----

void frmvigilon::Form_QueryUnload(bool& cancel, ui::UnloadMode mode) {
  // Windows ending the session, the task manager or the program itself: let the window go.
  if (mode != ui::UnloadMode::ControlMenu) return;
  platform::NotifyIconRecord& tray = run_.TrayIconData;
  tray = platform::NotifyIconRecord{};
  tray.hWnd = hWnd();
  tray.uID = kTrayIconId;
  tray.uFlags = kTrayFlags;
  tray.uCallbackMessage = kTrayCallback;
  tray.hIcon = icon();
  SetTrayTip();
  cancel = true;
  HideToTray();
}

void frmvigilon::HideToTray() {
  // Hidden without its icon, the window could never be found again (the shell not started yet
  // at logon, or too busy to answer): it stays shown, and the seconds timer tries again.
  trayAddPending_ = !platform().ShellNotifyIcon(platform::NotifyOp::Add, run_.TrayIconData);
  if (!trayAddPending_) Hide();
}

void frmvigilon::SetTrayTip() {
  // Blank-padded to the whole field, without a terminating zero inside it.
  std::array<char, 64>& field = run_.TrayIconData.szTip;
  std::fill(field.begin(), field.end(), ' ');
  size_t at = 0;
  const auto put = [&](std::string_view text) {
    const size_t n = std::min(text.size(), field.size() - at);
    std::memcpy(field.data() + at, text.data(), n);
    at += n;
  };
  if (run_.ChipSilent) {
    put(kTrayTipSilent);
    return;
  }
  put(kTrayTip);
  if (recordsTrouble_.empty()) return;
  put(" - ");
  put(recordsTrouble_);
}

std::string frmvigilon::Title() const {
  std::string title = kMainWindowTitle;
  if (run_.ChipSilent) title += kSilentTitleSuffix;
  if (!recordsTrouble_.empty()) title += kTroubleTitleSeparator + recordsTrouble_;
  return title;
}

void frmvigilon::ShowChipSilence(bool silent) {
  if (silent) {
    SetCaption(Title());
  } else if (caption().find(kSilentTitleSuffix) != std::string::npos) {
    // Only a title that told of the silence: the blinking of the settling is left alone.
    SetCaption(Title());
  }
  SetTrayTip();
  // Sent whether or not the entry is shown, as the cycle's icon changes are.
  platform().ShellNotifyIcon(platform::NotifyOp::Modify, run_.TrayIconData);
}

void frmvigilon::ShowRecordsTrouble() {
  // No trouble is an empty text: a steady cycle compares two empty strings and goes on.
  std::string trouble = run_.hooks.RecordsTrouble
                            ? run_.hooks.RecordsTrouble(cycle_.readings().utcOffsetMinutes)
                            : std::string();
  const bool changed = trouble != recordsTrouble_;
  if (changed) {
    recordsTrouble_ = std::move(trouble);
    SetTrayTip();
    platform().ShellNotifyIcon(platform::NotifyOp::Modify, run_.TrayIconData);
    if (auto* about = about_.IfLoaded()) about->ShowRecordsTrouble(recordsTrouble_);
  }
  // The title blinks while the readings settle after a resume, and comes back after it.
  if ((changed || !recordsTrouble_.empty()) && !DelayFanBeepForSTR.enabled()) {
    std::string title = Title();
    if (caption() != title) SetCaption(std::move(title));
  }
}

void frmvigilon::Form_MouseMove(int /*button*/, int /*shift*/, int x, int /*y*/) {
  if (x == kTrayDoubleClick) {
    IconMenuRestore_Click();
  } else if (x == kTrayRightButtonUp && !visible()) {
    iconMenu.SetVisible(true);
    PopupMenu(iconMenu);
  }
}

void frmvigilon::Form_TaskbarCreated() {
  // The shell restarted and forgot the icon of a hidden window; one it does not take back
  // leaves the window shown until it does.
  if (platform().ShellNotifyIcon(platform::NotifyOp::Add, run_.TrayIconData)) return;
  Show();
  trayAddPending_ = true;
}

bool frmvigilon::Form_ComeForward() {
  // The user started the program again, looking for it: shown as from its tray icon, with the
  // icon gone and no pending add that would hide the window again.
  IconMenuRestore_Click();
  return true;
}

void frmvigilon::IconMenuRestore_Click() {
  trayAddPending_ = false;
  iconMenu.SetVisible(false);  // never in the visible window's menu bar
  if (!visible()) Show();
  platform().ShellNotifyIcon(platform::NotifyOp::Delete, run_.TrayIconData);
}

// ---- The ways out ----

void frmvigilon::IconMenuExit_Click() {
  run_.events.Tell({RunEventKind::Exit, -1, "the tray menu's Exit"});
  platform().ShellNotifyIcon(platform::NotifyOp::Delete, run_.TrayIconData);
  // No clean-up of the chip on this way out, except that no fan the program stopped stays so.
  run_.fans.RestoreStoppedFans();
  runtime().End();
}

void frmvigilon::mExit_Click() {
  run_.events.Tell({RunEventKind::Exit, -1, "File, Exit"});
  GiveChipBack();
  runtime().End();
}

void frmvigilon::GiveChipBack() {
  chip::MonitorChip& c = run_.chip;
  run_.fans.RestoreStoppedFans();
  // The beeper stays silent after the program.
  c.SilenceBeeper();
  if (run_.traits().smartFan == chip::SmartFanKind::StateMachine) {
    run_.fans.SteerFan(1, true);
    run_.fans.SteerFan(2, true);
  }
  // The monitor device goes back to how start-up found it.
  c.RestoreMonitorDevice(run_.SuperIoActivation);
}

void frmvigilon::Form_Unload() {
  run_.events.Tell({RunEventKind::Exit, -1, "the window closed by Windows or another program"});
  // Windows ending the session or the task manager closing the window: the program ends here,
  // and no fan it stopped stays so.
  run_.fans.RestoreStoppedFans();
  runtime().End();
}

// ---- Settings ----

void frmvigilon::mDefault_Click() {
  run_.chip.StopMonitoring([this] { runtime().DoEvents(); });
  LoadDefaultLimits();
  TakeVidLimits();
  SetUpRows();
  // While the system is suspending, the chip stays stopped with its fan beeps off: the end of
  // the settling time (or of a pause that never became a suspend) does the rest.
  if (!run_.MonitorSuspended) {
    run_.chip.ApplyBeepSettings(run_.items.ItemEnabled, run_.items.ItemBeep);
    run_.chip.StartMonitoring();
  }
  // An open configuration dialog would put back, at Cancel, the flags the defaults replaced.
  config_.FlagsReloaded();
  // The unit buttons follow the default unit now: left to the next cycle, their click would
  // read the temperatures a second time within it and count a bad reading twice.
  SelectUnitButtons();
}

void frmvigilon::LoadDefaultLimits() {
  SetMousePointer(ui::MousePointer::Hourglass);
  items::LoadDefaultLimits(run_.items);
  Text1.SetText(std::to_string(run_.items.PollInterval));
  HScroll1.SetValue(run_.items.PollInterval);
  SetMousePointer(ui::MousePointer::Default);
  Refresh();
}

void frmvigilon::mSave_Click() {
  shell::SaveSettings(run_);
}

void frmvigilon::mConfigure_Click() {
  config_.Show();
}

void frmvigilon::WireHistory() {
  mHistory.onClick = [this] { mHistory_Click(); };
  auto wire = [this](ui::Label& reading, int item) {
    reading.onDblClick = [this, item] { ShowHistoryOf(item); };
    reading.toolTip = [this, item] {
      return history::StatsTip(*history_, item, items::IsTrue(run_.items.TempInCelsius));
    };
  };
  for (int v = 0; v < limits::kVolts; ++v) wire(panel_.lblStatusV[static_cast<size_t>(v)], v);
  for (int f = 0; f < limits::kFans; ++f)
    wire(panel_.lblFanSpeed[static_cast<size_t>(f)], items::kFirstFanItem + f);
  for (int t = 0; t < limits::kTemps; ++t)
    wire(panel_.lblStatusT[static_cast<size_t>(t)], items::kFirstTempItem + t);
}

void frmvigilon::HistoryFeed::CycleEnded(const CycleReadings& cycle) {
  window_.history_->CycleEnded(cycle);
  if (auto* shown = window_.historyWindow_.IfLoaded()) shown->CycleEnded();
}

void frmvigilon::mHistory_Click() {
  historyWindow_.Get().ChooseMonitored();
  historyWindow_.Get().Show();
}

void frmvigilon::ShowHistoryOf(int item) {
  historyWindow_.Get().ChooseOnly(item);
  historyWindow_.Get().Show();
}

void frmvigilon::mAbout_Click() {
  about_.Get().ShowBusLockTimeouts(run_.chip.busLockTimeouts());
  about_.Get().ShowRecordsTrouble(recordsTrouble_);
  about_.Get().Show();
}

}  // namespace vigilon
