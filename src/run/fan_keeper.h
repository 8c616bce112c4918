// The fans' policy of a run: which fan the program holds stopped, which row's count is older
// than its fan's duty, which row stands for a fan; every switch of a fan passes through here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <utility>

#include "chip/fan_restore.h"
#include "chip/monitor_chip.h"
#include "items/items.h"

namespace vigilon {

// On the first model the CPU fan row stands for the fan switched by output bits: the row shows
// its speed and takes its limit.
inline constexpr int kOutputsFanRow = 1;

class FanKeeper {
 public:
  FanKeeper(chip::MonitorChip& chip, const items::ItemFlags& enabled)
      : chip_(chip), enabled_(enabled) {}
  FanKeeper(const FanKeeper&) = delete;
  FanKeeper& operator=(const FanKeeper&) = delete;

  // ---- Steering: the smart fan's own switches, and the exit's fans at full ----
  // Fan `fan`'s (1-3) duty, when its item is monitored: full, or 0.
  void SteerFan(int16_t fan, bool run);
  // The first model's fan 3 by its output bits: full speed, or off.
  void RunFan3ByOutputs(bool on);

  // ---- Giving back ----
  // Fan `fan` (1-3) runs at full duty (or full speed by its output bits), whatever its item's
  // flags, if the program holds it stopped. Unheard by the chip, it stays held: the next
  // give-back once the chip answers, or the next way out, runs it.
  void RunFanFull(int16_t fan);
  // Every fan the program holds stopped runs again: the first thing every way out does.
  void RestoreStoppedFans();
  // The chip answers again after writes may have been lost: every fan the smart fan may drive
  // at the duty the program holds for it (0 where it stopped it, full otherwise), and the first
  // model's fan 3 outputs likewise.
  void ReprogramFanDrive();
  // Every fan the smart fan may drive at full duty (and the first model's fan 3 on), so that a
  // start begins from running fans whatever an earlier run left. Runs before Set_Fan_Status,
  // which would switch the first model's fan 3 back to its duty before it is seen stopped.
  // `countsCurrent`: the chip was measuring when the start found it; if not (an earlier run
  // ended during a suspend), no count it holds tells how the fans run now.
  void RunEveryDrivenFan(bool countsCurrent);

  // ---- What is held ----
  // Whether the program holds fan `fan` (1-3) stopped, by its duty or its output bits.
  bool StoppedByProgram(int16_t fan) const;
  // The row (0-2) whose count shows fan `fan` (1-3).
  int RowOfFan(int16_t fan) const;
  // Row `row`'s count as the cycle reads it, while the chip measures: the fan as it runs now.
  uint8_t ReadFanCount(int row);
  // Whether row `row`'s fan reads as stopped when its limit row is set up. A fan given full duty
  // again after it stood stopped never does until a cycle has read it: with the chip's
  // monitoring stopped for the set-up, its count is still that of the stopped fan.
  bool FanFoundStopped(int row);

  // Told the writes that would run every fan the program holds stopped, each time a fan was
  // switched: what the last words of a dying process send without asking the chip anything.
  void OnFansSwitched(std::function<void(const chip::FanRestoreWrites&)> told) {
    fansSwitched_ = std::move(told);
  }

 private:
  // The ways a fan is switched: its duty if its item is monitored, its duty whatever the flags,
  // its output bits.
  enum class Way { MonitoredDuty, Duty, Outputs };
  // What a switch that runs the fan does to its hold: the program's own decision releases it
  // whether the chip heard it or not; a give-back only once the chip has heard it.
  enum class Release { Always, WhenHeard };
  // The one place a fan is switched. A stop is held, and the row's count follows it; a run
  // releases the hold as `release` says, and `countStale` marks the row's count older than the
  // duty. The last words are made anew after every switch.
  void Switch(int16_t fan, Way way, bool run, Release release, bool countStale);

  chip::MonitorChip& chip_;
  const items::ItemFlags& enabled_;
  std::function<void(const chip::FanRestoreWrites&)> fansSwitched_;
  chip::FansToRun held_;
  // Per fan row: its fan given full duty again after it stood stopped (by this run or an
  // earlier one), and no cycle has read the row's count since.
  std::array<bool, 3> countBehindDuty_{};
};

}  // namespace vigilon
