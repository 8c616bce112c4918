// The smart fan: fans switched off and on from the temperatures. The first model drives fan 3's
// output bits from its first sensor's own limits; the others run a small state machine per
// channel over the model's fixed thresholds.
#include "monitor/smart_fan.h"

#include "items/conversions.h"

namespace vigilon {

void SmartFan::ProcessSmartFan() {
  const chip::ChipTraits& model = run_.traits();
  if (run_.MonitorSuspended) return;
  if (model.smartFan == chip::SmartFanKind::OutputBits) {
    SmartFanByOutputBits();
    return;
  }
  const chip::SmartFanTables& tables = run_.smartFan;
  for (int16_t channel = 1; channel <= 3; ++channel) {
    if (run_.MonitorSuspended) return;
    const int16_t sensor = tables.SmartFanSensor[channel];
    if (sensor == chip::kNoSensor || run_.items.ItemEnabled[sensor] != 1) continue;
    const int16_t scale = sensor == items::kFirstTempItem ? 1 : 2;
    SmartFanStep(channel, sensor, tables.SmartFanFan[channel], scale);
  }
}

using chip::kOutputsFan;

void SmartFan::SmartFanByOutputBits() {
  constexpr int kRow = kOutputsFanRow;
  // A sensor nobody watches keeps its last reading on the slider: steering from it could hold
  // the fan off for good.
  if (run_.items.ItemEnabled[items::kFirstTempItem] != 1) return;
  const ui::Slider& sensor = panel_.sldTemp[0];
  const int v = sensor.value();
  const int low = sensor.selStart();
  const int high = sensor.selStart() + sensor.selLength();
  const bool wasStopped = run_.fans.StoppedByProgram(kOutputsFan);
  if (v > high) {
    run_.fans.RunFan3ByOutputs(true);
    panel_.RestoreFanLimit(kRow);
  }
  if (v < low) {
    run_.fans.RunFan3ByOutputs(false);
    panel_.AcceptStoppedFan(kRow);
    panel_.lblFanSpeed[kRow].SetCaption("Fan off");
  }
  if (run_.fans.StoppedByProgram(kOutputsFan) != wasStopped) TellSwitched(kOutputsFan, !wasStopped);
}

void SmartFan::TellSwitched(int16_t fan, bool off) {
  run_.events.Tell({off ? RunEventKind::FanSwitchedOff : RunEventKind::FanSwitchedOn,
                    items::kFirstFanItem + fan - 1,
                    {}});
}

void SmartFan::SmartFanStep(int16_t channel, int16_t sensor, int16_t fan, int16_t scale) {
  items::ItemTables& t = run_.items;
  chip::SmartFanTables& s = run_.smartFan;
  if (fan < 1 || fan > 3) return;
  if (t.ItemEnabled[items::FanNumberItem(fan)] != 1 || t.ItemEnabled[sensor] != 1) return;
  double degrees = panel_.sldTemp[sensor - items::kFirstTempItem].value() - 40.0 * scale;
  if (sensor != items::kFirstTempItem) degrees /= 2;
  int16_t& state = s.SmartFanState[fan];
  auto fullDuty = [&] { run_.fans.SteerFan(fan, true); };
  switch (state) {
    case chip::kFanUndecided:
      if (degrees < s.SmartFanRise1[channel]) SwitchFanOff(fan);
      state = chip::kFanOff;
      break;
    case chip::kFanOff:
      if (degrees >= s.SmartFanRise1[channel]) {
        fullDuty();
        state = chip::kFanStarting;
      }
      break;
    case chip::kFanOn:
      if (degrees >= s.SmartFanRise2[channel]) {
        fullDuty();
        state = chip::kFanWarm;
      }
      if (degrees <= s.SmartFanFall1[channel]) {
        SwitchFanOff(fan);
        state = chip::kFanOff;
      }
      break;
    case chip::kFanWarm:
      if (degrees >= s.SmartFanRise3[channel]) {
        fullDuty();
        state = chip::kFanHot;
      }
      if (degrees <= s.SmartFanFall2[channel]) {
        fullDuty();
        state = chip::kFanOn;
      }
      break;
    case chip::kFanHot:
      if (degrees <= s.SmartFanFall3[channel]) {
        fullDuty();
        state = chip::kFanWarm;
      }
      break;
    case chip::kFanStarting:
      SwitchFanOn(fan);
      state = chip::kFanOn;
      break;
    default:
      break;
  }
}

void SmartFan::ReleaseUnsteeredFans() {
  const items::ItemFlags& on = run_.items.ItemEnabled;
  if (run_.traits().smartFan == chip::SmartFanKind::OutputBits) {
    if (on[items::kFirstTempItem] == 1 || !run_.fans.StoppedByProgram(kOutputsFan)) return;
    run_.fans.RunFanFull(kOutputsFan);
    if (!run_.fans.StoppedByProgram(kOutputsFan)) panel_.RestoreFanLimit(kOutputsFanRow);
    return;
  }
  chip::SmartFanTables& s = run_.smartFan;
  for (int16_t channel = 1; channel <= 3; ++channel) {
    const int16_t sensor = s.SmartFanSensor[channel];
    const int16_t fan = s.SmartFanFan[channel];
    if (sensor == chip::kNoSensor || fan < 1 || fan > 3) continue;
    if (on[sensor] == 1 && on[items::FanNumberItem(fan)] == 1) continue;  // still steered
    // Off, or Starting (its duty up, its row not yet back), the row accepts it stopped.
    const bool rowHeld =
        s.SmartFanState[fan] == chip::kFanOff || s.SmartFanState[fan] == chip::kFanStarting;
    if (!rowHeld && !run_.fans.StoppedByProgram(fan)) continue;
    // Switched off by the program and no longer steered by it: it runs as "switch on" leaves
    // it, whatever its item's flags, and starts over when steered again. A chip that did not
    // hear it still has the fan stopped: it stays the smart fan's switched-off fan, its row
    // accepting it, until a give-back reaches the chip (each cycle tries again) or the smart
    // fan, steering it again, starts it itself.
    run_.fans.RunFanFull(fan);
    if (run_.fans.StoppedByProgram(fan)) continue;
    panel_.RestoreFanLimit(run_.fans.RowOfFan(fan));
    s.SmartFanState[fan] = chip::kFanUndecided;
  }
}

// The rows set up anew take the chip's counts, which may be older than the program's stop of a
// fan (a chip stopped in a pause, or one that did not answer): a fan the program holds off keeps
// a row that accepts it all the same.
void SmartFan::HoldRowsOfFansSwitchedOff() {
  if (run_.traits().smartFan == chip::SmartFanKind::OutputBits) {
    if (run_.fans.StoppedByProgram(kOutputsFan)) panel_.AcceptStoppedFan(kOutputsFanRow);
    return;
  }
  for (int16_t fan = 1; fan <= 3; ++fan)
    if (run_.fans.StoppedByProgram(fan)) panel_.AcceptStoppedFan(run_.fans.RowOfFan(fan));
}

void SmartFan::SwitchFanOff(int16_t fan) {
  panel_.AcceptStoppedFan(run_.fans.RowOfFan(fan));
  run_.fans.SteerFan(fan, false);
  TellSwitched(fan, true);
}

void SmartFan::SwitchFanOn(int16_t fan) {
  panel_.RestoreFanLimit(run_.fans.RowOfFan(fan));
  run_.fans.SteerFan(fan, true);
  TellSwitched(fan, false);
}

}  // namespace vigilon
