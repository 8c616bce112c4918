// The monitoring cycle: the voltage, temperature and fan steps, the status registers, the icon
// animation and the interval text; the record of what the cycle read, and its observers.
#include "monitor/monitoring_cycle.h"

#include "items/conversions.h"
#include "items/number_format.h"

namespace vigilon {

using items::FormatFixed;

namespace {
constexpr const char* kBlank = "------";
constexpr uint32_t kCyclePauseMs = 500;

// A temperature slider's scale value in degrees Celsius.
double TempScaleDegrees(int sensor, int scaleValue) {
  return static_cast<double>(scaleValue - limits::TempScaleOffset(sensor)) /
         limits::TempScaleStep(sensor);
}
}  // namespace

MonitoringCycle::MonitoringCycle(RunState& run, limits::LimitPanel& panel,
                                 warnings::WarningDialogs& warnings, CycleWindow& window)
    : run_(run), panel_(panel), warnings_(warnings), window_(window), smartFan_(run, panel) {}

void MonitoringCycle::SetStatus(ui::Label& label, bool inLimits, int item) {
  if (inLimits) {
    warnings_.CloseWarning(item);
    label.SetBackColor(limits::kInLimits);
  } else {
    warnings_.ShowWarning(item);
    label.SetBackColor(limits::kOutOfLimits);
  }
}

void MonitoringCycle::BlankReadings() {
  for (auto& label : panel_.lblStatusV) label.SetCaption(kBlank);
  for (auto& label : panel_.lblStatusT) label.SetCaption(kBlank);
  for (auto& label : panel_.lblFanSpeed) label.SetCaption(kBlank);
  panel_.lblCaseOpen.SetCaption("");
}

bool MonitoringCycle::Answered() {
  if (run_.chip.answering()) return true;
  silentNow_ = true;
  return false;
}

bool MonitoringCycle::SuspendCame() {
  if (!run_.MonitorSuspended) return false;
  // Nothing of the chip is touched: its status registers clear when read, and the alarms they
  // latch meanwhile are the next full cycle's.
  BlankReadings();
  return true;
}

void MonitoringCycle::ChipFellSilent() {
  // Whatever is written meanwhile never reaches it: it is programmed anew once it answers.
  run_.ChipSilent = true;
  BlankReadings();
  window_.ShowChipSilence(true);
}

void MonitoringCycle::ChipAnswersAgain() {
  run_.ChipSilent = false;
  window_.ProgramChipAgain();
  window_.ShowChipSilence(false);
}

void MonitoringCycle::BeginRecord() {
  record_.sequence += 1;
  record_.unixMs = run_.platform.UnixTimeMs();
  record_.utcOffsetMinutes = run_.platform.UtcOffsetMinutes(record_.unixMs);
  record_.outcome = CycleOutcome::Complete;
  for (int k = 0; k < items::kItemCount; ++k) {
    ItemReading& item = record_.items[static_cast<std::size_t>(k)];
    item = ItemReading{};
    item.present = run_.items.ItemPresent[k] == 1;
    item.monitored = run_.items.ItemEnabled[k] == 1;
  }
}

void MonitoringCycle::PollSensors() {
  const bool outermost = depth_ == 0;
  if (outermost) {
    for (CycleObserver* observer : run_.observers) observer->CycleStarts();
    BeginRecord();
  }
  ++depth_;
  const CycleOutcome outcome = Poll();
  --depth_;
  if (!outermost) return;
  record_.outcome = outcome;
  // Nothing a silent chip said counts, not even what it said before it fell silent.
  if (outcome == CycleOutcome::ChipSilent)
    for (ItemReading& item : record_.items) item.read = false;
  for (CycleObserver* observer : run_.observers) observer->CycleEnded(record_);
  window_.ShowRecordsTrouble();
}

CycleOutcome MonitoringCycle::Poll() {
  if (SuspendCame()) return CycleOutcome::Suspended;
  // Another program that keeps the shared bus costs this cycle one wait at most.
  run_.chip.NewMoment();
  silentNow_ = false;
  // A chip that was silent is programmed anew before anything is read from it: the writes it
  // missed may include its start, and its readings would then still be those of before.
  if (run_.ChipSilent && run_.chip.ReadChipId() == run_.ChipId) ChipAnswersAgain();
  window_.SetEyeIcon("\\eye2.ico");
  // A suspend can come in the middle of a cycle: the shell's icon call and a warning dialog
  // let its notice in. Each step, and each item inside it, asks again before it touches the
  // chip, and so does the rest of the cycle. A chip that stops answering is seen at the bank
  // select before each reading, so no reading of a silent chip is shown, warned about or
  // steered by.
  if (!silentNow_) ProcessVoltage();
  if (!silentNow_) ProcessTemperature();
  if (!silentNow_) ProcessSmartFan();
  if (!silentNow_) {
    window_.SetEyeIcon("\\eye1.ico");
    ProcessCaseOpen();
  }
  if (!silentNow_) ProcessFan();
  if (SuspendCame()) return CycleOutcome::CutShort;
  if (silentNow_) {
    ChipFellSilent();
    return CycleOutcome::ChipSilent;
  }
  window_.SetEyeIcon("\\eye0.ico");
  if (SuspendCame()) return CycleOutcome::CutShort;
  window_.RefreshPanelEnable();
  window_.SelectUnitButtons();
  window_.SetEyeIcon("\\eye.ico");
  if (SuspendCame()) return CycleOutcome::CutShort;

  // The interrupt status registers are read, and the values dropped, at the end of every cycle.
  // No alarm sets bit 7 of the second one: all ones there means the chip has stopped answering
  // (the only sign of it when no item is monitored), and whatever was written meanwhile never
  // reached it. Once it answers again it is programmed anew from the rows and flags, as after a
  // resume.
  if (run_.chip.ReadInterruptStatus() == 0xFF) {
    ChipFellSilent();
    return CycleOutcome::ChipSilent;
  }
  if (run_.ChipSilent) ChipAnswersAgain();

  run_.platform.Sleep(kCyclePauseMs);
  window_.SetEyeIcon("\\eye0.ico");
  window_.SetEyeIcon("\\eye1.ico");
  window_.SetEyeIcon("\\eye2.ico");
  window_.ShowPollInterval();
  return CycleOutcome::Complete;
}

void MonitoringCycle::ProcessVoltage() {
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
    const int s = sld.value();
    const int low = sld.selStart();
    const int high = sld.selStart() + sld.selLength();
    ItemReading& r = record_.items[static_cast<std::size_t>(i)];
    r.read = true;
    r.raw = v;
    r.value = volts;
    r.low = items::VoltsFromScale(scale, i, low, t.VoltFactor[i]);
    r.high = items::VoltsFromScale(scale, i, high, t.VoltFactor[i]);
    r.inLimits = !(s > high || s < low);
    panel_.lblStatusV[i].SetCaption(FormatFixed(volts, 2));
    SetStatus(panel_.lblStatusV[i], r.inLimits, i);
  }
}

void MonitoringCycle::ProcessTemperature() {
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
    // Only heat warns: a reading below the band is as good as one inside it.
    const int low = sld.selStart();
    const int high = sld.selStart() + sld.selLength();
    ItemReading& r = record_.items[static_cast<std::size_t>(item)];
    r.read = true;
    r.raw = raw.whole;
    r.rawHalf = (raw.half & 0x80) != 0 ? 1 : 0;
    r.value = degrees;
    r.high = TempScaleDegrees(sensor, high);
    r.inLimits = !(scaleValue >= low && scaleValue > high);
    panel_.lblStatusT[sensor].SetCaption(
        FormatFixed(celsius ? r.value : items::CelsiusToFahrenheit(r.value), 2));
    SetStatus(panel_.lblStatusT[sensor], r.inLimits, item);
  }
}

void MonitoringCycle::ProcessFan() {
  const items::ItemTables& t = run_.items;
  for (int f = 0; f < limits::kFans; ++f) {
    if (run_.MonitorSuspended) return;
    const int item = items::kFirstFanItem + f;
    if (t.ItemEnabled[item] != 1) continue;
    const uint8_t c = run_.fans.ReadFanCount(f);
    if (!Answered()) return;
    panel_.prbFanSpeed[f].SetValue(255 - c);
    const int limitValue = panel_.updFanLoLimit[f].value();
    // The lowest limit accepts a stopped fan.
    const bool acceptsStopped = limitValue == limits::kAcceptsStoppedFan;
    ItemReading& r = record_.items[static_cast<std::size_t>(item)];
    r.read = true;
    r.raw = c;
    r.value = items::FanRpm(c, t.FanDivisor[f]).value_or(0);
    r.low = acceptsStopped ? 0 : items::FanLimitRpm(255 - limitValue, t.FanDivisor[f]);
    ui::Label& label = panel_.lblFanSpeed[f];
    if (c == items::kFanCountStopped) {
      r.inLimits = acceptsStopped;
      label.SetCaption(acceptsStopped ? "Fan off" : "low_speed");
      SetStatus(label, r.inLimits, item);
      continue;
    }
    const int count = c == 0 ? 1 : c;
    r.inLimits = !(255 - limitValue < count);
    label.SetCaption(items::FormatThousands(r.value));
    SetStatus(label, r.inLimits, item);
  }
}

void MonitoringCycle::ProcessCaseOpen() {
  if (run_.MonitorSuspended || run_.items.ItemEnabled[items::kChassisItem] != 1) return;
  const bool opened = run_.chip.ReadChassisOpened();
  if (!Answered()) return;
  ItemReading& r = record_.items[items::kChassisItem];
  r.read = true;
  r.raw = opened ? 1 : 0;
  r.value = r.raw;
  r.inLimits = !opened;
  if (opened) {
    panel_.lblCaseOpen.SetCaption("Chassis is opened");
    warnings_.ShowWarning(items::kChassisItem);
  } else {
    panel_.lblCaseOpen.SetCaption("Chassis is closed");
    warnings_.CloseWarning(items::kChassisItem);
  }
}

}  // namespace vigilon
