// The smart fan: fans switched off and on from the temperatures, and the fans it gives back
// when it no longer steers them.
#pragma once

#include <cstdint>

#include "limits/limit_panel.h"
#include "run/run_state.h"

namespace vigilon {

class SmartFan {
 public:
  SmartFan(RunState& run, limits::LimitPanel& panel) : run_(run), panel_(panel) {}
  SmartFan(const SmartFan&) = delete;
  SmartFan& operator=(const SmartFan&) = delete;

  // The cycle's step: every steered fan after its sensor's reading on the slider.
  void ProcessSmartFan();
  // A fan the program switched off whose sensor or fan item is no longer monitored runs again.
  void ReleaseUnsteeredFans();
  // The rows set up anew keep accepting the fans the program holds off.
  void HoldRowsOfFansSwitchedOff();

 private:
  void SmartFanByOutputBits();
  void SmartFanStep(int16_t channel, int16_t sensor, int16_t fan, int16_t scale);
  void SwitchFanOff(int16_t fan);
  void SwitchFanOn(int16_t fan);

  RunState& run_;
  limits::LimitPanel& panel_;
};

}  // namespace vigilon
