// The smart fan: fans switched off and on from the temperatures. The first model drives fan 3's
// output bits from its first sensor's own limits; the others run a small state machine per
// channel over the model's fixed thresholds.
#include "chip/chip_features.h"
#include "chip/chip_registers.h"
#include "items/conversions.h"
#include "monitor/frmvigilon.h"

namespace vigilon {

namespace reg = chip::reg;

namespace {
constexpr int16_t kFullDuty = 255;
constexpr int kAcceptsStopped = 1;  // the fan limit setting that accepts a stopped fan
}  // namespace

void frmvigilon::ProcessSmartFan() {
  const chip::ChipTraits& model = run_.traits();
  if (model.smartFan == chip::SmartFanKind::OutputBits) {
    SmartFanByOutputBits();
    return;
  }
  const chip::SmartFanTables& tables = run_.smartFan;
  for (int16_t channel = 1; channel <= 3; ++channel) {
    const int16_t sensor = tables.SmartFanSensor[channel];
    if (sensor == chip::kNoSensor || run_.items.ItemEnabled[sensor] != 1) continue;
    const int16_t scale = sensor == items::kFirstTempItem ? 1 : 2;
    SmartFanStep(channel, sensor, tables.SmartFanFan[channel], scale);
  }
}

// The CPU fan's limit row stands for fan 3 here, as it always has on this model.
void frmvigilon::SmartFanByOutputBits() {
  constexpr int kRow = 1;
  const ui::Slider& sensor = panel_.sldTemp[0];
  const int v = sensor.value();
  const int low = sensor.selStart();
  const int high = sensor.selStart() + sensor.selLength();
  items::ItemTables& t = run_.items;
  chip::SmartFanTables& fans = run_.smartFan;
  if (v > high) {
    chip::SetFanOutput(run_.chip, 3, 0, 1);
    fans.OutputsStoppedByProgram = false;
    fans.FanLimitArmed = false;
    panel_.updFanLoLimit[kRow].SetEnabled(true);
    panel_.updFanLoLimit[kRow].SetValue(255 - t.FanLimitCount[kRow]);
    panel_.lblFanLoLimit[kRow].SetCaption(
        items::FanSpeedText(t.FanLimitCount[kRow], t.FanDivisor[kRow]));
    run_.chip.SelectBank(0);
    run_.chip.WriteChipReg(reg::kFanLimit[kRow], static_cast<uint8_t>(t.FanLimitCount[kRow]));
    fans.FanLimitArmed = true;
  }
  if (v < low) {
    chip::SetFanOutput(run_.chip, 3, 0, 0);
    fans.OutputsStoppedByProgram = true;
    fans.FanLimitArmed = false;
    panel_.updFanLoLimit[kRow].SetValue(kAcceptsStopped);
    panel_.lblFanLoLimit[kRow].SetCaption(
        items::FanSpeedText(items::kFanCountStopped, t.FanDivisor[kRow]));
    panel_.lblFanSpeed[kRow].SetCaption("Fan off");
    panel_.updFanLoLimit[kRow].SetEnabled(false);
    run_.chip.SelectBank(0);
    run_.chip.WriteChipReg(reg::kFanLimit[kRow], items::kFanCountStopped);
    fans.FanLimitArmed = true;
  }
}

void frmvigilon::SmartFanStep(int16_t channel, int16_t sensor, int16_t fan, int16_t scale) {
  items::ItemTables& t = run_.items;
  chip::SmartFanTables& s = run_.smartFan;
  if (fan < 1 || fan > 3) return;
  if (t.ItemEnabled[fan + 8] != 1 || t.ItemEnabled[sensor] != 1) return;
  double degrees = panel_.sldTemp[sensor - items::kFirstTempItem].value() - 40.0 * scale;
  if (sensor != items::kFirstTempItem) degrees /= 2;
  int16_t& state = s.SmartFanState[fan];
  auto duty = [&](int16_t value) {
    chip::SetFanDuty(run_.chip, run_.traits(), s, t.ItemEnabled, fan, value);
  };
  switch (state) {
    case 0:
      if (degrees < s.SmartFanRise1[channel]) SwitchFanOff(fan);
      state = 1;
      break;
    case 1:
      if (degrees >= s.SmartFanRise1[channel]) {
        duty(kFullDuty);
        state = 5;
      }
      break;
    case 2:
      if (degrees >= s.SmartFanRise2[channel]) {
        duty(kFullDuty);
        state = 3;
      }
      if (degrees <= s.SmartFanFall1[channel]) {
        SwitchFanOff(fan);
        state = 1;
      }
      break;
    case 3:
      if (degrees >= s.SmartFanRise3[channel]) {
        duty(kFullDuty);
        state = 4;
      }
      if (degrees <= s.SmartFanFall2[channel]) {
        duty(kFullDuty);
        state = 2;
      }
      break;
    case 4:
      if (degrees <= s.SmartFanFall3[channel]) {
        duty(kFullDuty);
        state = 3;
      }
      break;
    case 5:
      SwitchFanOn(fan);
      state = 2;
      break;
    default:
      break;
  }
}

void frmvigilon::SwitchFanOff(int16_t fan) {
  const int row = fan - 1;
  items::ItemTables& t = run_.items;
  chip::SmartFanTables& s = run_.smartFan;
  s.FanLimitArmed = false;
  panel_.updFanLoLimit[row].SetValue(kAcceptsStopped);
  panel_.lblFanLoLimit[row].SetCaption(
      items::FanSpeedText(items::kFanCountStopped, t.FanDivisor[row]));
  panel_.updFanLoLimit[row].SetEnabled(false);
  run_.chip.SelectBank(0);
  run_.chip.WriteChipReg(reg::kFanLimit[static_cast<size_t>(row)], items::kFanCountStopped);
  s.FanLimitArmed = true;
  chip::SetFanDuty(run_.chip, run_.traits(), s, t.ItemEnabled, fan, 0);
}

void frmvigilon::SwitchFanOn(int16_t fan) {
  const int row = fan - 1;
  items::ItemTables& t = run_.items;
  chip::SmartFanTables& s = run_.smartFan;
  s.FanLimitArmed = false;
  panel_.updFanLoLimit[row].SetEnabled(true);
  panel_.updFanLoLimit[row].SetValue(255 - t.FanLimitCount[row]);
  panel_.lblFanLoLimit[row].SetCaption(
      items::FanSpeedText(t.FanLimitCount[row], t.FanDivisor[row]));
  run_.chip.SelectBank(0);
  run_.chip.WriteChipReg(reg::kFanLimit[static_cast<size_t>(row)],
                         static_cast<uint8_t>(t.FanLimitCount[row]));
  s.FanLimitArmed = true;
  chip::SetFanDuty(run_.chip, run_.traits(), s, t.ItemEnabled, fan, kFullDuty);
}

}  // namespace vigilon
