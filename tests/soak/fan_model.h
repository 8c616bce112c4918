// What the soak expects of the smart fan, followed on its own: each model's channels, duty
// registers and thresholds as each chip model documents them (typed here, never read
// from the program's tables), the state machine run at every monitoring cycle, and what follows
// from it for the duty registers, the first model's fan output bits and the fan limit rows.
#pragma once

#include <array>
#include <cstdint>

#include "sim/chip_sim.h"

namespace vigilon::soak {

using ItemFlags = std::array<uint8_t, 16>;

class FanModel {
 public:
  explicit FanModel(sim::Model model);

  struct Channel {
    int sensor = -1;   // 0..2, the temperature sensor it follows; -1: no such channel
    int fan = 0;       // 1..3, the fan it drives
    uint8_t duty = 0;  // the fan's duty register; 0: the fan has none
    double rise1, rise2, rise3, fall1, fall2, fall3;
  };
  // The first model has no channels: its fan 3 goes by output bits from the first sensor's own
  // limits, shown in the CPU fan's row.
  static constexpr int kOutputsRow = 1;
  enum class Outputs : uint8_t { AsStarted, On, Off };

  const std::array<Channel, 3>& channels() const { return channels_; }
  bool outputBits() const { return outputBits_; }

  // A new run: every driven fan at full duty, each state machine undecided. A fan the run
  // before left stopped (killed) or gave back on its way out shows the user's limit again. A
  // chip just powered up counts at its own divisor, at which a slow fan reads as stopped until
  // the program's divisor has been measured: any row may then accept its fan.
  void Started(bool chipPoweredUp);
  // The program no longer steers a fan whose sensor or fan item is not monitored: a fan it
  // switched off (or left in the off state) runs, its row takes the user's limit back, and it
  // starts over when steered again.
  void Release(const ItemFlags& enabled);
  // One monitoring cycle's step. `degrees` are the three sensors as the chip reads them; `low`
  // the first sensor's hysteresis in degrees (the first model's switching band is low..low+5).
  // Returns, for the first model, how the step left the outputs (AsStarted: untouched).
  Outputs Step(const ItemFlags& enabled, const std::array<double, 3>& degrees, double low);
  // The schedule stopped or started fans (rpm 0 or not), by fan index 0-2.
  void FansStopped(const std::array<bool, 3>& stopped);

  // ---- What follows ----
  // The duty the chip must hold for a channel's fan: 0 switched off, 255 otherwise.
  int Duty(const Channel& c) const { return state_[static_cast<size_t>(c.fan)].off ? 0 : 255; }
  bool Off(int fan) const { return state_[static_cast<size_t>(fan)].off; }
  int State(int fan) const { return state_[static_cast<size_t>(fan)].state; }
  // Whether a row may accept a stopped fan although the model has not switched it off: only a
  // fan that really stood still at some time since its row last got the user's limit back.
  bool RowMayAccept(int row) const { return stoppedSinceRestored_[static_cast<size_t>(row)]; }
  Outputs outputs() const { return outputs_; }

 private:
  struct Fan {
    int state = 0;
    bool off = false;
  };
  void RestoreRow(int row) {
    stoppedSinceRestored_[static_cast<size_t>(row)] = stopped_[static_cast<size_t>(row)];
  }

  std::array<Channel, 3> channels_{};
  bool outputBits_ = false;
  std::array<Fan, 4> state_{};  // per fan number 1-3
  Outputs outputs_ = Outputs::AsStarted;
  std::array<bool, 3> stopped_{};  // per fan index: the schedule has it at 0 rpm
  std::array<bool, 3> stoppedSinceRestored_{};
};

}  // namespace vigilon::soak
