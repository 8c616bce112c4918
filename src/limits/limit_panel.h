// The limit rows of the main window: the voltage, fan and temperature frames with their
// up-downs, sliders, bars and labels; their set-up from the limit tables, which also programs
// the chip's limit registers; the reactions to the user's changes; and the rows following the
// item flags. The main window creates these controls and owns the panel.
#pragma once

#include <array>
#include <vector>

#include "limits/limit_writer.h"
#include "run/run_state.h"
#include "ui/controls.h"

namespace vigilon::limits {

// Status colours of the reading labels (0xBBGGRR).
inline constexpr ui::Color kInLimits = 0xFF00;
inline constexpr ui::Color kOutOfLimits = 0xFF;

// The unit marks drawn as pictures (the degree sign in UTF-8).
inline constexpr const char* kCelsiusMark =
    "\xC2\xB0"
    "C";
inline constexpr const char* kFahrenheitMark =
    "\xC2\xB0"
    "F";

// The fan limit setting that accepts a stopped fan.
inline constexpr int kAcceptsStoppedFan = 1;

inline constexpr int kVolts = items::kVoltItemCount;
inline constexpr int kFans = items::kFanCount;
inline constexpr int kTemps = items::kTempCount;

// The temperature sliders' scale: whole degrees + 40 for sensor 0, half degrees + 80 for the
// others, so that -40 degrees is 0 on every one.
constexpr int TempScaleStep(int sensor) {
  return sensor == 0 ? 1 : 2;
}
constexpr int TempScaleOffset(int sensor) {
  return 40 * TempScaleStep(sensor);
}

class LimitPanel {
 public:
  explicit LimitPanel(RunState& run);
  LimitPanel(const LimitPanel&) = delete;
  LimitPanel& operator=(const LimitPanel&) = delete;

  // The creation table of these controls, containers first, in twips; the form creates them,
  // then gives them their design values (which raise nothing before the form loads).
  std::vector<ui::ControlSpec> Specs();
  void SetDesignValues();

  // Set-up from the tables; each writes the chip's limit registers of its group.
  void InitVoltageControls();
  void InitFanControls();
  void InitTemperatureControls();
  // On models without a second core rail: rows 2 to 6 move up one place.
  void Move_VoltCtrl_Position();

  // Rows follow ItemPresent (whole rows, names included) and ItemEnabled (values; names grey).
  void RefreshPanelAvailability();
  void RefreshPanelEnable();
  // Hides the chassis line when its item is not monitored.
  void UpdateCaseOpenLabel();

  // The Fahrenheit texts of the temperature scale ends.
  void RefreshFahrenheitBounds();
  // Each temperature row shows the scale-end labels of the current unit, and only where its
  // slider is shown; the hysteresis captions and their heading stay hidden.
  void ShowUnitLabels();
  // Row t's scale ends to the unit: the other unit's pair hidden, this unit's shown where the
  // row shows its reading.
  void SwitchBoundLabels(int t, bool celsius);
  // The unit marks in the temperature frame.
  void ShowUnitMark(bool celsius);

  // A fan's limit row and register accept it stopped (the setting 1, the row's up-down
  // disabled), or take the user's limit back (the row enabled again). The program's own
  // settings of the row write no register through its change reaction.
  void AcceptStoppedFan(int f);
  void RestoreFanLimit(int f);
  // False only while the program itself sets a fan-limit up-down.
  bool FanLimitArmed = true;

  // The change reactions, also called directly by the unit switch.
  void updLoLimit_Change(int i);
  void updHiLimit_Change(int i);
  void updFanLoLimit_Change(int f);
  void updTempHiLimit_Change(int t);
  void updTempLoLimit_Change(int t);

  // ---- Controls ----
  ui::Frame FraVoltage, fraFanSpeed, fraTemperature;
  ui::Label Label1, Label2, Label3;  // voltage headings: low limit, high limit, status
  ui::Label Label5, lblFanLimit;     // fan headings: status, low limit
  ui::Label Label4, Label6, Label7;  // temperature headings: status, high, low (hidden)
  std::array<ui::Label, kVolts> lblItemName, LblLoLimit, lblLoBound, lblHiBound, LblHiLimit;
  std::array<ui::Label, kVolts> lblStatusV;
  std::array<ui::UpDown, kVolts> updLoLimit, updHiLimit;
  std::array<ui::Slider, kVolts> SldVoltage;
  ui::Label lblV;  // a unit mark of the second core row, never shown
  std::array<ui::Label, kFans> lblFanItem, lblFanSpeed, lblFanLoLimit;
  std::array<ui::ProgressBar, kFans> prbFanSpeed;
  std::array<ui::UpDown, kFans> updFanLoLimit;
  std::array<ui::Label, kTemps> lblTempItem, lblStatusT, lblTempLoLimit, lblTempHiLimit;
  std::array<ui::Label, kTemps> lblTempLoBound, lblTempHiBound, dfTempLoBound, dfTempHiBound;
  std::array<ui::Slider, kTemps> sldTemp;
  std::array<ui::UpDown, kTemps> updTempHiLimit, updTempLoLimit;
  ui::Image Image3, Image4;  // unit marks: Celsius, Fahrenheit
  ui::Label lblCaseOpen;

 private:
  void SetFanLimitQuietly(int f, int value);
  bool SensorPresent(int t) const;
  // Visits the row controls of an item that show its values (not its name), in the order they
  // are set; no list is built, as the polling cycle runs this every time.
  template <class F>
  void ForEachValueControl(int item, F&& visit);
  ui::Control& NameControl(int item);
  RunState& run_;
  LimitWriter writer_;
};

}  // namespace vigilon::limits
