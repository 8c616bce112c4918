// The fans' policy of a run over the chip's switches: the holds, the rows' counts, and the last
// words made anew at each switch.
#include "run/fan_keeper.h"

namespace vigilon {

namespace {
constexpr int16_t kFullDuty = 255;
}  // namespace

void FanKeeper::Switch(int16_t fan, Way way, bool run, Release release, bool countStale) {
  const int16_t value = run ? kFullDuty : 0;
  const int16_t selector = chip_.traits().fanPwmSelect[static_cast<std::size_t>(fan)];
  chip::FanSwitch heard = chip::FanSwitch::NotDriven;
  switch (way) {
    case Way::MonitoredDuty:
      heard = chip_.SetFanDuty(enabled_, fan, value);
      break;
    case Way::Duty:
      heard = chip_.WriteFanPwm(selector, value);
      break;
    case Way::Outputs:
      heard = chip_.RunFan3ByOutputs(run);
      break;
  }
  if (heard == chip::FanSwitch::NotDriven) return;
  bool& held = way == Way::Outputs ? held_.outputs : held_.duty[static_cast<std::size_t>(fan)];
  bool& countBehind = countBehindDuty_[static_cast<std::size_t>(RowOfFan(fan))];
  if (!run) {
    held = true;
    countBehind = false;
  } else if (release == Release::Always || heard == chip::FanSwitch::Heard) {
    held = false;
    if (countStale) countBehind = true;
  }
  if (fansSwitched_) fansSwitched_(chip_.RestoreWrites(held_));
}

void FanKeeper::SteerFan(int16_t fan, bool run) {
  if (fan < 1 || fan > 3) return;
  Switch(fan, Way::MonitoredDuty, run, Release::Always, false);
}

void FanKeeper::RunFan3ByOutputs(bool on) {
  Switch(chip::kOutputsFan, Way::Outputs, on, Release::Always, false);
}

void FanKeeper::RunFanFull(int16_t fan) {
  if (fan < 1 || fan > 3) return;
  if (held_.duty[static_cast<std::size_t>(fan)])
    Switch(fan, Way::Duty, true, Release::WhenHeard, true);
  if (fan == chip::kOutputsFan && held_.outputs)
    Switch(fan, Way::Outputs, true, Release::WhenHeard, true);
}

void FanKeeper::RestoreStoppedFans() {
  for (int16_t fan = 1; fan <= 3; ++fan) RunFanFull(fan);
}

void FanKeeper::ReprogramFanDrive() {
  const chip::ChipTraits& model = chip_.traits();
  for (int16_t fan = 1; fan <= 3; ++fan) {
    if (model.fanPwmSelect[static_cast<std::size_t>(fan)] == 0) continue;
    Switch(fan, Way::Duty, !held_.duty[static_cast<std::size_t>(fan)], Release::Always, false);
  }
  if (model.smartFan == chip::SmartFanKind::OutputBits)
    Switch(chip::kOutputsFan, Way::Outputs, !held_.outputs, Release::Always, false);
}

void FanKeeper::RunEveryDrivenFan(bool countsCurrent) {
  for (int16_t fan = 1; fan <= 3; ++fan) {
    const std::optional<bool> stopped = chip_.ReadDutyStopped(fan);
    if (!stopped) continue;
    Switch(fan, Way::Duty, true, Release::Always, *stopped || !countsCurrent);
  }
  if (chip_.traits().smartFan == chip::SmartFanKind::OutputBits) {
    const bool stopped = chip_.ReadOutputsStopped();
    Switch(chip::kOutputsFan, Way::Outputs, true, Release::Always, stopped || !countsCurrent);
  }
}

bool FanKeeper::StoppedByProgram(int16_t fan) const {
  if (fan < 1 || fan > 3) return false;
  return held_.duty[static_cast<std::size_t>(fan)] || (fan == chip::kOutputsFan && held_.outputs);
}

int FanKeeper::RowOfFan(int16_t fan) const {
  if (chip_.traits().smartFan == chip::SmartFanKind::OutputBits && fan == chip::kOutputsFan)
    return kOutputsFanRow;
  return fan - 1;
}

uint8_t FanKeeper::ReadFanCount(int row) {
  const uint8_t count = chip_.ReadFanCount(row);
  if (chip_.answering()) countBehindDuty_[static_cast<std::size_t>(row)] = false;
  return count;
}

bool FanKeeper::FanFoundStopped(int row) {
  return chip_.ReadFanCount(row) == items::kFanCountStopped &&
         !countBehindDuty_[static_cast<std::size_t>(row)];
}

}  // namespace vigilon
