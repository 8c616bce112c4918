// The limit rows' way to the chip: the limit registers each row programs, the fans' divisors,
// and whether a fan row's set-up finds its fan stopped.
#pragma once

#include <cstdint>

#include "run/run_state.h"

namespace vigilon::limits {

// The rows hold the values; this is all they ask of the chip, so that the panel never speaks
// to it itself.
class LimitWriter {
 public:
  explicit LimitWriter(RunState& run) : chip_(run.chip), fans_(run.fans) {}

  // A voltage row's limits as its scale values.
  void VoltLow(int item, int scaleValue) { chip_.WriteVoltLow(item, scaleValue); }
  void VoltHigh(int item, int scaleValue) { chip_.WriteVoltHigh(item, scaleValue); }
  // A temperature row's high limit and hysteresis as counts of the sensor's steps.
  void TempLimits(int sensor, int limitCount, int hystCount) {
    chip_.WriteTempLimits(sensor, limitCount, hystCount);
  }
  void TempHyst(int sensor, int hystCount) { chip_.WriteTempHyst(sensor, hystCount); }
  // Every fan counter at the divisor the rows' speeds assume.
  void FanDivisors() { chip_.SelectFanDivisors(); }
  // A fan row's limit as a count, or the count a stopped fan never falls below.
  void FanLimit(int f, int16_t count) { chip_.WriteFanLimit(f, count); }
  void FanAcceptsStopped(int f) { chip_.AcceptStoppedFan(f); }
  bool FanFoundStopped(int f) { return fans_.FanFoundStopped(f); }

 private:
  chip::MonitorChip& chip_;
  FanKeeper& fans_;
};

}  // namespace vigilon::limits
