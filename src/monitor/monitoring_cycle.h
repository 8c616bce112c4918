// The monitoring cycle: its steps read the chip into one record of the cycle's readings, the
// rows are written from that record, and the run's observers are handed it once it has ended.
#pragma once

#include <cstdint>

#include "limits/limit_panel.h"
#include "monitor/smart_fan.h"
#include "run/cycle_readings.h"
#include "run/run_state.h"
#include "warnings/warning_dialogs.h"

namespace vigilon {

// What the cycle asks of the window it runs in.
class CycleWindow {
 public:
  // An eye icon of the program folder as the window's and the tray entry's icon.
  virtual void SetEyeIcon(const char* file) = 0;
  // The title and the tray tip say whether the chip answers.
  virtual void ShowChipSilence(bool silent) = 0;
  // The chip answers again after reading all ones: programmed as the program holds it.
  virtual void ProgramChipAgain() = 0;
  virtual void RefreshPanelEnable() = 0;
  virtual void SelectUnitButtons() = 0;
  // The interval text shows the polling interval.
  virtual void ShowPollInterval() = 0;
  // Once the observers have had the cycle: the title, the tray tip and About say whether its
  // records can be written.
  virtual void ShowRecordsTrouble() = 0;

 protected:
  ~CycleWindow() = default;
};

class MonitoringCycle {
 public:
  MonitoringCycle(RunState& run, limits::LimitPanel& panel, warnings::WarningDialogs& warnings,
                  CycleWindow& window);
  MonitoringCycle(const MonitoringCycle&) = delete;
  MonitoringCycle& operator=(const MonitoringCycle&) = delete;

  // One cycle, told to the run's observers.
  void PollSensors();
  void ProcessVoltage();
  void ProcessTemperature();
  void ProcessSmartFan() { smartFan_.ProcessSmartFan(); }
  void ProcessCaseOpen();
  void ProcessFan();

  // The chip has stopped answering: the readings blank and the title and tray tip say so.
  void ChipFellSilent();
  SmartFan& smartFan() { return smartFan_; }
  // The readings of the last cycle begun (of the one running, while it runs).
  const CycleReadings& readings() const { return record_; }

 private:
  // The steps of one cycle; what came of it.
  CycleOutcome Poll();
  // A new record: its number, its time, which items the cycle is to read.
  void BeginRecord();
  void SetStatus(ui::Label& label, bool inLimits, int item);
  void BlankReadings();
  // Whether the system has asked to suspend, even in the middle of this cycle; if so the
  // readings blank and the cycle goes no further.
  bool SuspendCame();
  // It answers again: programmed anew, and the title and tray tip say nothing more of it.
  void ChipAnswersAgain();
  // Whether the chip answered the access just made; if not, this cycle uses no reading more.
  bool Answered();

  RunState& run_;
  limits::LimitPanel& panel_;
  warnings::WarningDialogs& warnings_;
  CycleWindow& window_;
  SmartFan smartFan_;
  CycleReadings record_;
  // The chip stopped answering during the present cycle.
  bool silentNow_ = false;
  // Cycles under way: a cycle run from inside another (a resume let in by the shell's icon
  // call) writes into the outer one's record and is not told apart.
  int depth_ = 0;
};

}  // namespace vigilon
