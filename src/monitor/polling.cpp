// The monitoring cycle: the voltage, temperature and fan steps, the status registers, the icon
// animation and the interval text.
#include <string>

#include "items/conversions.h"
#include "items/number_format.h"
#include "monitor/frmvigilon.h"

namespace vigilon {

using items::FormatFixed;

namespace {
constexpr const char* kBlank = "------";
constexpr uint32_t kCyclePauseMs = 500;
}  // namespace

void frmvigilon::SetEyeIcon(const char* file) {
  if (const platform::IconHandle icon = run_.icons.Get(file)) SetSharedIcon(icon);
  run_.TrayIconData.hIcon = this->icon();
  // Sent whether or not the entry is shown; only its icon changes.
  platform().ShellNotifyIcon(platform::NotifyOp::Modify, run_.TrayIconData);
}

void frmvigilon::SetStatus(ui::Label& label, bool inLimits, int item) {
  if (inLimits) {
    CloseWarning(item);
    label.SetBackColor(limits::kInLimits);
  } else {
    ShowWarning(item);
    label.SetBackColor(limits::kOutOfLimits);
  }
}

void frmvigilon::BlankReadings() {
  for (auto& label : panel_.lblStatusV) label.SetCaption(kBlank);
  for (auto& label : panel_.lblStatusT) label.SetCaption(kBlank);
  for (auto& label : panel_.lblFanSpeed) label.SetCaption(kBlank);
  panel_.lblCaseOpen.SetCaption("");
}

bool frmvigilon::Answered() {
  if (run_.chip.answering()) return true;
  silentNow_ = true;
  return false;
}

bool frmvigilon::SuspendCame() {
  if (!run_.MonitorSuspended) return false;
  // Nothing of the chip is touched: its status registers clear when read, and the alarms they
  // latch meanwhile are the next full cycle's.
  BlankReadings();
  return true;
}

void frmvigilon::ChipFellSilent() {
  // Whatever is written meanwhile never reaches it: it is programmed anew once it answers.
  run_.ChipSilent = true;
  BlankReadings();
  ShowChipSilence(true);
}

void frmvigilon::ChipAnswersAgain() {
  run_.ChipSilent = false;
  ProgramChipAgain();
  ShowChipSilence(false);
}

void frmvigilon::PollSensors() {
  if (SuspendCame()) return;
  // Another program that keeps the shared bus costs this cycle one wait at most.
  run_.chip.NewMoment();
  silentNow_ = false;
  // A chip that was silent is programmed anew before anything is read from it: the writes it
  // missed may include its start, and its readings would then still be those of before.
  if (run_.ChipSilent && run_.chip.ReadChipId() == run_.ChipId) ChipAnswersAgain();
  SetEyeIcon("\\eye2.ico");
  // A suspend can come in the middle of a cycle: the shell's icon call and a warning dialog
  // let its notice in. Each step, and each item inside it, asks again before it touches the
  // chip, and so does the rest of the cycle. A chip that stops answering is seen at the bank
  // select before each reading, so no reading of a silent chip is shown, warned about or
  // steered by.
  if (!silentNow_) ProcessVoltage();
  if (!silentNow_) ProcessTemperature();
  if (!silentNow_) ProcessSmartFan();
  if (!silentNow_) {
    SetEyeIcon("\\eye1.ico");
    ProcessCaseOpen();
  }
  if (!silentNow_) ProcessFan();
  if (SuspendCame()) return;
  if (silentNow_) {
    ChipFellSilent();
    return;
  }
  SetEyeIcon("\\eye0.ico");
  if (SuspendCame()) return;
  RefreshPanelEnable();
  SelectUnitButtons();
  SetEyeIcon("\\eye.ico");
  if (SuspendCame()) return;

  // The interrupt status registers are read, and the values dropped, at the end of every cycle.
  // No alarm sets bit 7 of the second one: all ones there means the chip has stopped answering
  // (the only sign of it when no item is monitored), and whatever was written meanwhile never
  // reached it. Once it answers again it is programmed anew from the rows and flags, as after a
  // resume.
  if (run_.chip.ReadInterruptStatus() == 0xFF) {
    ChipFellSilent();
    return;
  }
  if (run_.ChipSilent) ChipAnswersAgain();

  platform().Sleep(kCyclePauseMs);
  SetEyeIcon("\\eye0.ico");
  SetEyeIcon("\\eye1.ico");
  SetEyeIcon("\\eye2.ico");
  Text1.SetText(std::to_string(run_.items.PollInterval));
}

void frmvigilon::ProcessVoltage() {
  const items::ItemTables& t = run_.items;
  for (int i = 0; i < limits::kVolts; ++i) {
    if (run_.MonitorSuspended) return;
    if (t.ItemEnabled[i] != 1) continue;
    const uint8_t v = run_.chip.ReadVoltage(i);
    if (!Answered()) return;
    const items::VoltScale scale = items::VoltScaleFor(run_.traits(), i);
    ui::Slider& sld = panel_.SldVoltage[i];
    sld.SetValue(items::VoltScaleFromReading(scale, v));
    // Volts from the value the slider holds, as read back; the later models' negative rails
    // have their own formula over the register value.
    const float volts = scale == items::VoltScale::Offset
                            ? items::CalRealNegVoltage(static_cast<int16_t>(i), v)
                            : t.VoltFactor[i] * static_cast<float>(sld.value());
    panel_.lblStatusV[i].SetCaption(FormatFixed(volts, 2));
    const int s = sld.value();
    const int low = sld.selStart();
    const int high = sld.selStart() + sld.selLength();
    SetStatus(panel_.lblStatusV[i], !(s > high || s < low), i);
  }
}

void frmvigilon::ProcessTemperature() {
  const items::ItemTables& t = run_.items;
  const bool celsius = items::IsTrue(t.TempInCelsius);
  for (int sensor = 0; sensor < limits::kTemps; ++sensor) {
    if (run_.MonitorSuspended) return;
    const int item = items::kFirstTempItem + sensor;
    if (t.ItemEnabled[item] != 1) continue;
    const chip::TempRaw raw = run_.chip.ReadTemperature(sensor);
    if (!Answered()) return;
    int scaleValue = 0;
    double degrees = 0;
    if (limits::TempScaleStep(sensor) == 1) {
      const int d = items::Temp0Degrees(raw.whole);
      scaleValue = d + limits::TempScaleOffset(sensor);
      degrees = d;
    } else {
      const int w = items::TempHalfDegrees(raw.whole, raw.half);
      scaleValue = w + limits::TempScaleOffset(sensor);
      degrees = items::TempDegreesFromHalf(w);
    }
    ui::Slider& sld = panel_.sldTemp[sensor];
    sld.SetValue(scaleValue);
    panel_.lblStatusT[sensor].SetCaption(
        FormatFixed(celsius ? degrees : items::CelsiusToFahrenheit(degrees), 2));
    // Only heat warns: a reading below the band is as good as one inside it.
    const int low = sld.selStart();
    const int high = sld.selStart() + sld.selLength();
    const bool tooHot = scaleValue >= low && scaleValue > high;
    SetStatus(panel_.lblStatusT[sensor], !tooHot, item);
  }
}

void frmvigilon::ProcessFan() {
  const items::ItemTables& t = run_.items;
  for (int f = 0; f < limits::kFans; ++f) {
    if (run_.MonitorSuspended) return;
    const int item = items::kFirstFanItem + f;
    if (t.ItemEnabled[item] != 1) continue;
    const uint8_t c = run_.chip.ReadFanCount(f);
    if (!Answered()) return;
    panel_.prbFanSpeed[f].SetValue(255 - c);
    const int limitValue = panel_.updFanLoLimit[f].value();
    ui::Label& label = panel_.lblFanSpeed[f];
    if (c == items::kFanCountStopped) {
      // The lowest limit accepts a stopped fan.
      const bool accepted = limitValue == 1;
      label.SetCaption(accepted ? "Fan off" : "low_speed");
      SetStatus(label, accepted, item);
      continue;
    }
    label.SetCaption(items::FormatThousands(items::FanRpm(c, t.FanDivisor[f]).value_or(0)));
    const int count = c == 0 ? 1 : c;
    SetStatus(label, !(255 - limitValue < count), item);
  }
}

void frmvigilon::ProcessCaseOpen() {
  if (run_.MonitorSuspended || run_.items.ItemEnabled[items::kChassisItem] != 1) return;
  const bool opened = run_.chip.ReadChassisOpened();
  if (!Answered()) return;
  if (opened) {
    panel_.lblCaseOpen.SetCaption("Chassis is opened");
    ShowWarning(items::kChassisItem);
  } else {
    panel_.lblCaseOpen.SetCaption("Chassis is closed");
    CloseWarning(items::kChassisItem);
  }
}

}  // namespace vigilon
