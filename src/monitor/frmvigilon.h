// The main window: the readings against their limits, the timers that drive monitoring (the
// cycle itself is its own class), and the program's commands.
#pragma once

#include <array>
#include <memory>

#include "config/frmconfig.h"
#include "history/frmhistory.h"
#include "history/history_restore.h"
#include "limits/limit_panel.h"
#include "monitor/monitoring_cycle.h"
#include "run/run_state.h"
#include "shell/frmAbout.h"
#include "ui/controls.h"
#include "vigilon_version.h"
#include "warnings/warning_dialogs.h"

namespace vigilon {

inline constexpr const char* kMainWindowTitle = "Norvane Vigilon Ver " VIGILON_TITLE_VERSION;
// Follows the title while the monitor chip does not answer.
inline constexpr const char* kSilentTitleSuffix = "  -  the monitor chip does not answer";
// Comes before the records' trouble where the title and the tray tip carry it.
inline constexpr const char* kTroubleTitleSeparator = "  -  ";

class frmvigilon : public ui::Form, private CycleWindow {
 public:
  frmvigilon(ui::Runtime& runtime, RunState& run);
  ~frmvigilon() override;

  // One monitoring cycle: the cycle's own, by the window's names.
  // Out of line: the benchmark's instruction count starts and stops at this function.
  void PollSensors();
  void ProcessVoltage() { cycle_.ProcessVoltage(); }
  void ProcessTemperature() { cycle_.ProcessTemperature(); }
  void ProcessSmartFan() { cycle_.ProcessSmartFan(); }
  void ProcessCaseOpen() { cycle_.ProcessCaseOpen(); }
  void ProcessFan() { cycle_.ProcessFan(); }
  MonitoringCycle& cycle() { return cycle_; }
  void UpdateCaseOpenLabel();

  void ShowWarning(int item);
  void CloseWarning(int item);
  // Rows follow ItemEnabled; the unit's scale-end labels follow the rows at once.
  void RefreshPanelEnable() override;

  limits::LimitPanel& panel() { return panel_; }
  warnings::WarningDialogs& warnings() { return warnings_; }
  config::ConfigDialog& configDialog() { return config_; }
  ui::FormSlot<shell::frmAbout>& about() { return about_; }
  history::HistoryStore& history() { return *history_; }
  ui::FormSlot<history::frmhistory, RunState&, history::HistoryStore&>& historyWindow() {
    return historyWindow_;
  }
  // Earlier runs' readings, read into the history a slice each second, after the cycle.
  void ReadPast(std::unique_ptr<history::HistoryRestore> restore) { past_ = std::move(restore); }

  // The commands, one implementation each; the buttons and the tray pop-up call these.
  void mExit_Click();
  void mDefault_Click();
  void mSave_Click();
  void mConfigure_Click();
  void mAbout_Click();
  // The History window with every monitored item chosen, or with the one item alone.
  void mHistory_Click();
  void ShowHistoryOf(int item);
  void IconMenuRestore_Click();
  void IconMenuExit_Click();
  // The window part of the defaults: the tables, then the interval shown.
  void LoadDefaultLimits();

  // ---- Controls of the window itself (the rows are the panel's) ----
  ui::Label Label10, Label11;
  ui::HScrollBar HScroll1;
  ui::TextBox Text1, Text2;
  ui::OptionButton Option1, Option2;
  ui::Image Image1, Image2;
  ui::CommandButton Command1, Command2, Command3, Command4, Command5, Command6, Command7;
  ui::Menu mFile, mDefault, mSave, mLogging, mExit, mConfigure, mAbout, mHistory;
  ui::Menu iconMenu, IconMenuRestore, IconMenuExit;
  ui::Timer SecCount, ActiveTimer, DelayForSTR, DelayFanBeepForSTR;
  ui::SysInfo SysInfo1;
  ui::CommonDialog cdgHelp;

  // What Exit leaves the chip as: no fan stopped, the beeper silent, the monitor device as
  // start-up found it. Also for an end of the program it did not choose itself.
  void GiveChipBack();

  // The power moments.
  void SysInfo1_PowerQuerySuspend(bool& cancel);
  void SysInfo1_PowerSuspend();
  void SysInfo1_PowerResume();

 protected:
  void Form_Load() override;
  void Form_QueryUnload(bool& cancel, ui::UnloadMode mode) override;
  void Form_Unload() override;
  void Form_MouseMove(int button, int shift, int x, int y) override;
  void Form_TaskbarCreated() override;
  bool Form_ComeForward() override;

 private:
  // The rows from the flags and the tables, the chip's limit registers with them.
  void SetUpRows();
  void InitLimitRows();
  void WireCommands();
  // The readings' tips and double-clicks, and the History command.
  void WireHistory();
  void WirePower();
  // The settling after a resume stops: its two timers, the blinking title, the hourglass.
  void EndSettling();
  // Called every second: a suspend query the system never followed up ends after a while.
  void WatchSuspendQuery();
  void DelayForSTR_Timer();
  void DelayFanBeepForSTR_Timer();
  void SecCount_Timer();
  void ActiveTimer_Timer();
  void HScroll1_Change();
  void Option1_Click();
  void Option2_Click();
  void SetUnit(bool celsius);
  void UnitPicture_Click(bool celsius);
  void SelectUnitButtons() override;
  // An eye icon of the program folder (loaded at its first use) as the window's and the tray
  // entry's icon; a file that cannot be loaded keeps the icon shown.
  void SetEyeIcon(const char* file) override;
  void ChipFellSilent() { cycle_.ChipFellSilent(); }
  // The title and the tray tip say whether the chip answers.
  void ShowChipSilence(bool silent) override;
  void ShowRecordsTrouble() override;
  // The title as the chip and the records stand: the designed one while all is well.
  std::string Title() const;
  // The tip of the notification-area record from the same; the chip's silence first, since
  // the field holds one of the two.
  void SetTrayTip();
  // The chip answers again after reading all ones: its limits, fan inputs, beeps and
  // monitoring as the program holds them.
  void ProgramChipAgain() override;
  void ShowPollInterval() override;
  // The core rail's limits from the processor's VID pins, when the chip answers.
  void TakeVidLimits();

  RunState& run_;
  limits::LimitPanel panel_;
  warnings::WarningDialogs warnings_;
  config::ConfigDialog config_;
  ui::FormSlot<shell::frmAbout> about_;
  MonitoringCycle cycle_;
  // Reserved once, with the window; held in memory for the run.
  std::unique_ptr<history::HistoryStore> history_;
  ui::FormSlot<history::frmhistory, RunState&, history::HistoryStore&> historyWindow_;
  // Hands every finished cycle to the history, then to its window if that is open.
  struct HistoryFeed final : CycleObserver {
    explicit HistoryFeed(frmvigilon& window) : window_(window) {}
    void CycleEnded(const CycleReadings& cycle) override;
    frmvigilon& window_;
  } historyFeed_{*this};
  std::unique_ptr<history::HistoryRestore> past_;  // until it has all been read
  int16_t PollSecondCount = 0;
  // What the title, the tray tip and About last said of the records; empty while all is well.
  std::string recordsTrouble_;
  // Seconds the program has run since the system asked to suspend.
  // Hides the window to the notification area once the icon is there.
  void HideToTray();
  bool trayAddPending_ = false;  // the user hid the window, and its icon has not been added yet
  int secondsSuspended_ = 0;
  int suspendLapseSeconds_ = 0;  // how long a pause waits for a resume
  // ItemEnabled as the rows last showed it.
  std::array<bool, items::kItemCount> Watched{};
};

}  // namespace vigilon
