// The chip as the windows see it: one object through which everything above the chip layer
// reaches the monitor, in item terms (an item's reading, its limits, its beep, a fan's duty),
// never in registers. It holds the shared bus for each sequence of accesses that rely on each
// other; which fans the program holds stopped is decided above it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "chip/bus_lock.h"
#include "chip/chip_access.h"
#include "chip/chip_model.h"
#include "chip/fan_restore.h"
#include "chip/item_numbers.h"
#include "chip/port_io.h"

namespace vigilon::chip {

using ItemFlagBytes = std::array<uint8_t, items::kItemCount>;  // per monitored item, 1 = on

// The first model switches its fan 3 by output bits.
constexpr int16_t kOutputsFan = 3;

// What a switch of a fan came to: no register drives the fan here (or its item is not
// monitored), the chip did not hear it, or it did. Whether it was heard is told by the switch's
// own bank select: a bus where nothing answers reads the bank register all ones.
enum class FanSwitch { NotDriven, Unheard, Heard };

struct VidLimits {
  float low;
  float high;
};

// A temperature sensor's raw registers: the whole byte, and for the half-degree sensors the
// byte whose bit 7 is the half degree (0 for the whole-degree sensor).
struct TempRaw {
  uint8_t whole;
  uint8_t half;
};

// The smart fan's states per fan. A fan passes Undecided once, is Off below the first rise
// threshold, Starting for one cycle after its duty went up, then On, Warm or Hot by the other
// thresholds.
enum SmartFanStateValue : int16_t {
  kFanUndecided = 0,
  kFanOff = 1,
  kFanOn = 2,
  kFanWarm = 3,
  kFanHot = 4,
  kFanStarting = 5,
};

struct SmartFanTables {
  // Index 1-3 used throughout; index 0 stays 0.
  std::array<int16_t, 4> FanPwmSelect{};    // per fan number: duty selector, 0 none
  std::array<int16_t, 4> SmartFanFan{};     // per smart-fan channel: the fan number it drives
  std::array<int16_t, 4> SmartFanSensor{};  // per channel: its temperature item, kNoSensor none
  std::array<int16_t, 4> SmartFanRise1{};
  std::array<int16_t, 4> SmartFanRise2{};
  std::array<int16_t, 4> SmartFanRise3{};
  std::array<int16_t, 4> SmartFanFall1{};
  std::array<int16_t, 4> SmartFanFall2{};
  std::array<int16_t, 4> SmartFanFall3{};
  std::array<int16_t, 4> SmartFanState{};  // per fan number 1-3: a SmartFanStateValue
};

SmartFanTables LoadSmartFanTables(const ChipTraits& traits);

class MonitorChip {
 public:
  explicit MonitorChip(PortIo& io) : access_(io) {}
  MonitorChip(const MonitorChip&) = delete;
  MonitorChip& operator=(const MonitorChip&) = delete;

  // The driver itself, for its load and the shutdown right.
  PortIo& driver() { return access_.io(); }
  // The port-level access, for detection and for tests that speak registers.
  ChipAccess& access() { return access_; }
  const ChipAccess& access() const { return access_; }

  // The model, resolved once by detection; every per-model difference is asked of it.
  void SetModel(const ChipTraits& traits) { traits_ = &traits; }
  const ChipTraits& traits() const { return *traits_; }
  const ChipTraits* model() const { return traits_; }  // none before detection found one
  uint16_t SuperIoPort() const { return access_.SuperIoPort; }
  uint16_t MonitorPort() const { return access_.MonitorPort; }

  // ---- Sharing the bus with other programs ----
  void ShareBus(BusLock* lock) { access_.ShareBus(lock); }
  // A new moment of the program (a cycle, a start): a lock another program keeps may be waited
  // for once again.
  void NewMoment() { access_.AllowOneWait(); }
  uint32_t busLockTimeouts() const { return access_.busLockTimeouts(); }

  // ---- Whether the chip answers ----
  // False once a bank select read what no chip of the family leaves in its bank register (all
  // ones, as a bus where nothing answers reads); true again at the next sane one.
  bool answering() const { return access_.bankRegisterSane(); }

  // ---- Readings ----
  uint8_t ReadVoltage(int item);  // items 0-8: the register count
  // Fans 0-2: the count, 255 = no speed.
  uint8_t ReadFanCount(int fan);
  TempRaw ReadTemperature(int sensor);  // sensors 0-2
  // The chassis switch: asks the chip to let go of a latch the case no longer holds, then
  // reads it. True while the case is open, or was opened since and not yet let go.
  bool ReadChassisOpened();
  // The two interrupt status registers, read (and so cleared) at the end of every cycle; the
  // second one's value is handed back: all ones there is no alarm pattern, but silence.
  uint8_t ReadInterruptStatus();
  uint8_t ReadChipId();
  // Item 0's limits from the processor's VID pins.
  VidLimits DecodeVid();

  // ---- Limits ----
  // A voltage item's low or high limit as its scale value (the negated count on models whose
  // negative rails read negated: those are stored crosswise, the low limit in the high register).
  void WriteVoltLow(int item, int scaleValue);
  void WriteVoltHigh(int item, int scaleValue);
  // A sensor's high limit and hysteresis as counts (whole or half degrees by sensor).
  void WriteTempLimits(int sensor, int limitCount, int hystCount);
  void WriteTempHyst(int sensor, int hystCount);
  // Every fan counter at the divisor the program's speeds assume.
  void SelectFanDivisors();
  // A fan's low limit as a count; a stopped fan accepted (the count nothing exceeds).
  void WriteFanLimit(int fan, int16_t count);
  void AcceptStoppedFan(int fan);

  // ---- Beeps ----
  void ApplyBeepSettings(const ItemFlagBytes& enabled, const ItemFlagBytes& beep);
  // One item's beep enable alone, the others as they are.
  void SetItemBeep(int item, bool on);
  // The fans' beeps off (around a suspend); ApplyBeepSettings brings them back.
  void SilenceFanBeeps();
  // The beeper itself off, for the time after the program.
  void SilenceBeeper();

  // ---- Monitoring ----
  void StartMonitoring();
  bool MonitoringRuns();
  // `letPendingEventsRun` is called last, with the bus free, so that events queued while the
  // chip stopped are handled before the caller goes on.
  void StopMonitoring(const std::function<void()>& letPendingEventsRun);
  // What start-up prepares once: the start-up bit of the fan control, and 0x5D bit 3 off.
  void PrepareAtStart();

  // ---- Fans ----
  // Switches the fan inputs on (a method of the main window in the program's vocabulary).
  void Set_Fan_Status();
  // Fan `fan`'s (1-3) two control bits; a flag is on only when it is 1.
  void SetFanOutput(int16_t fan, int16_t first, int16_t second);
  // A duty value to the register the selector (1-4) names on this model, if any.
  FanSwitch WriteFanPwm(int16_t selector, int16_t value);
  // Fan `fan`'s (1-3) duty, when its item is monitored; otherwise nothing.
  FanSwitch SetFanDuty(const ItemFlagBytes& enabled, int16_t fan, int16_t value);
  // The first model's fan 3 by its output bits: full speed, or off.
  FanSwitch RunFan3ByOutputs(bool on);
  // Whether fan `fan`'s (1-3) duty register reads 0; nothing (and no access) where no register
  // drives the fan.
  std::optional<bool> ReadDutyStopped(int16_t fan);
  // Whether the first model's fan 3 output bits are both off.
  bool ReadOutputsStopped();
  // The writes that run the fans named, without asking the chip anything: what the last words
  // of a dying process send.
  FanRestoreWrites RestoreWrites(const FansToRun& fans) const;

  // ---- The Super-I/O device ----
  // The monitor device as start-up found it: switched off again if it was off.
  void RestoreMonitorDevice(uint8_t activationFound);

 private:
  void WriteVoltLimit(int item, int scaleValue, bool high);
  ChipAccess access_;
  uint8_t fanControl_ = 0;  // the fan control register as the last switch by output bits left it
  const ChipTraits* traits_ = nullptr;
};

}  // namespace vigilon::chip
