// The chip simulator: Super-I/O configuration space, the monitor's banked register file,
// the sensor-to-register conversions, the chip's own alarms and the port access log.
#include "sim/chip_sim.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <utility>

namespace sim {
namespace {

// ---- Super-I/O configuration space ----
constexpr uint8_t kEntryKey = 0x87;
constexpr uint8_t kExitKey = 0xAA;
constexpr uint8_t kRegLogicalDevice = 0x07;
constexpr uint8_t kRegDeviceId = 0x20;
constexpr uint8_t kRegRevision = 0x21;
constexpr uint8_t kFirstDeviceReg = 0x30;  // below: global registers, above: per logical device
constexpr uint8_t kMonitorDevice = 0x0B;
constexpr uint8_t kRegActivation = 0x30;
constexpr uint8_t kRegBaseHigh = 0x60;
constexpr uint8_t kRegBaseLow = 0x61;
constexpr std::array<uint16_t, 2> kConfigPorts{0x2E, 0x4E};

// ---- Monitor ----
constexpr int kBanks = 8;
constexpr uint8_t kRegBankSelect = 0x4E;  // unbanked
constexpr uint8_t kBankMask = 0x07;
constexpr uint8_t kVendorHighHalf = 0x80;  // bank-select bit choosing the vendor id byte
constexpr uint16_t kDefaultVendorId = 0x5CA3;
constexpr uint8_t kRegConfig = 0x40;
constexpr uint8_t kStartBit = 0x01;
constexpr uint8_t kRegChassisClear = 0x46;
constexpr uint8_t kChassisClearBit = 0x80;
constexpr uint8_t kRegVidLow = 0x47;  // VID bits 0-3 below the fan 0/1 divisor bits
constexpr uint8_t kRegVidHigh = 0x49;
constexpr uint8_t kRegFanControl = 0x4D;
constexpr uint8_t kRegBeep1 = 0x56;
constexpr uint8_t kRegBeep2 = 0x57;
constexpr uint8_t kBeepGlobal = 0x80;
constexpr uint8_t kRegStatus1 = 0x41;
constexpr uint8_t kRegStatus2 = 0x42;
constexpr uint8_t kNoPin = 0x00;  // "this model has no such register" in the tables below

// Bus parameters the driver accepts for reaching the monitor at ports 0 and 1.
constexpr int16_t kBusMode = 1;
constexpr std::array<uint8_t, 3> kBusArgs{0x5A, 0x92, 0x90};

constexpr double kVoltsPerCount = 0.016;
constexpr double kFanClock = 1350000.0;
constexpr uint8_t kFanStopped = 255;

constexpr uint16_t ItemMask(std::initializer_list<int> items) {
  uint16_t mask = 0;
  for (int item : items) mask = static_cast<uint16_t>(mask | (1u << item));
  return mask;
}

// What differs between the models, as far as the chip itself is concerned.
struct ModelTraits {
  Model model;
  const char* name;
  uint8_t chipId;
  bool offsetNegativeRails;  // items 5, 6 coded (count*0.016 - 3.6)*k + 3.6; else negated
  bool bank4BeepBits;        // bank 4 register 0x53 bits 0, 1 enable the beep of items 7, 8
  uint16_t absentItems;      // inputs the model does not have: they read idle and never alarm
  std::array<uint8_t, 3> fanDutyReg;  // duty register driving fan 0..2, kNoPin = none
};

constexpr std::array<ModelTraits, 4> kModels{{
    {Model::ZR410, "ZR410", 0x10, false, false, ItemMask({7, 8}), {kNoPin, kNoPin, 0x5F}},
    {Model::ZR420, "ZR420", 0x30, true, true, 0, {0x5B, kNoPin, 0x5F}},
    {Model::ZR430,
     "ZR430",
     0x40,
     true,
     true,
     ItemMask({1, 6, 7, 8, 11, 14, 15}),
     {0x5A, 0x5B, kNoPin}},
    {Model::ZR460, "ZR460", 0x21, true, true, ItemMask({1, 6}), {0x5A, 0x5B, kNoPin}},
}};

const ModelTraits& Traits(Model model) {
  for (const auto& traits : kModels)
    if (traits.model == model) return traits;
  return kModels[1];
}

// Voltage items 0..8: where the reading and the two limits live and the rail's divider
// (volts per count = 0.016 / divider).
struct RailRegs {
  uint8_t bank;
  uint8_t reading;
  uint8_t high;
  uint8_t low;
  double divider;
};
constexpr std::array<RailRegs, 9> kRails{{
    {0, 0x20, 0x2B, 0x2C, 1.0},
    {0, 0x21, 0x2D, 0x2E, 1.0},
    {0, 0x22, 0x2F, 0x30, 1.0},
    {0, 0x23, 0x31, 0x32, 0.595},
    {0, 0x24, 0x33, 0x34, 0.263},
    {0, 0x25, 0x35, 0x36, 0.287},
    {0, 0x26, 0x37, 0x38, 0.664},
    {5, 0x50, 0x54, 0x55, 0.66},
    {5, 0x51, 0x56, 0x57, 1.0},
}};
constexpr int kFirstNegativeRail = 5;
constexpr std::array<double, 2> kNegativeRailGain{5.14, 3.14};  // items 5, 6
constexpr double kNegativeRailOffset = 3.6;

// Fans 0..2 (items 9..11), all in bank 0.
struct FanRegs {
  uint8_t reading;
  uint8_t limit;
  uint8_t divisorReg;
  uint8_t divisorShift;  // two divisor bits, divisor = 2^bits
};
constexpr std::array<FanRegs, 3> kFans{{
    {0x28, 0x3B, 0x47, 4},
    {0x29, 0x3C, 0x47, 6},
    {0x2A, 0x3D, 0x4B, 6},
}};

// Temperatures 0..2 (items 12..14). Sensor 0 is a signed whole-degree byte; sensors 1, 2
// are 9-bit half-degree values split over a register pair (upper 8 bits, then bit 7).
struct TempRegs {
  uint8_t bank;
  bool halfDegrees;
  uint8_t reading;
  uint8_t high;
  uint8_t hyst;
};
constexpr std::array<TempRegs, 3> kTemps{{
    {0, false, 0x27, 0x39, 0x3A},
    {1, true, 0x50, 0x55, 0x53},
    {2, true, 0x50, 0x55, 0x53},
}};

constexpr int kFirstFanItem = 9;
constexpr int kFirstTempItem = 12;
constexpr int kChassisItem = 15;
constexpr int kItems = 16;

struct BitRef {
  uint8_t bank;
  uint8_t reg;
  uint8_t bit;
};
// Beep enable per item. The two status registers use the same layout as the bank 0 beep
// registers (0x41 like 0x56, 0x42 like 0x57), so chassis intrusion is 0x42 bit 4; items 7
// and 8 have no status bit.
constexpr std::array<BitRef, kItems> kBeepBits{{
    {0, 0x56, 0},
    {0, 0x56, 1},
    {0, 0x56, 2},
    {0, 0x56, 3},
    {0, 0x57, 0},
    {0, 0x57, 1},
    {0, 0x57, 2},
    {4, 0x53, 0},
    {4, 0x53, 1},
    {0, 0x56, 6},
    {0, 0x56, 7},
    {0, 0x57, 3},
    {0, 0x56, 4},
    {0, 0x56, 5},
    {0, 0x57, 5},
    {0, 0x57, 4},
}};

// Access rules, all in one place. Anything not listed is a plain read/write register.
enum class RegKind : uint8_t {
  Plain,         // stored under the write mask
  Reading,       // refreshed by the chip; program writes are ignored
  Status,        // latched alarms, cleared by reading (the chassis bit: by its clear request)
  VendorId,      // byte of the vendor id chosen by bank-select bit 7
  ChipId,        // the model's identifier
  ChassisClear,  // bit 7 written as 1 clears the chassis latch (switch closed); reads back 0
};
struct RegRule {
  uint8_t bank;
  uint8_t first;
  uint8_t last;
  RegKind kind;
  uint8_t writeMask;
};
constexpr std::array<RegRule, 10> kRegRules{{
    {0, 0x20, 0x2A, RegKind::Reading, 0x00},
    {1, 0x50, 0x51, RegKind::Reading, 0x00},
    {2, 0x50, 0x51, RegKind::Reading, 0x00},
    {5, 0x50, 0x51, RegKind::Reading, 0x00},
    {0, kRegStatus1, kRegStatus2, RegKind::Status, 0x00},
    {0, kRegChassisClear, kRegChassisClear, RegKind::ChassisClear, 0x7F},
    {0, kRegVidLow, kRegVidLow, RegKind::Plain, 0xF0},    // bits 0-3 are VID input pins
    {0, kRegVidHigh, kRegVidHigh, RegKind::Plain, 0xFE},  // bit 0 is VID input pin 4
    {0, 0x4F, 0x4F, RegKind::VendorId, 0x00},
    {0, 0x58, 0x58, RegKind::ChipId, 0x00},
}};

RegRule RuleFor(int bank, uint8_t index) {
  for (const auto& rule : kRegRules)
    if (rule.bank == bank && index >= rule.first && index <= rule.last) return rule;
  return {static_cast<uint8_t>(bank), index, index, RegKind::Plain, 0xFF};
}

// Contents besides zero when the program first meets the chip, as the board's firmware leaves
// it: monitoring started, the three fan inputs counting (0x4D bits 0, 2, 4) at divisor 2, duty
// registers at full, limits where nothing alarms.
struct PowerUpValue {
  uint8_t bank;
  uint8_t index;
  uint8_t value;
};
constexpr std::array<PowerUpValue, 15> kPowerUp{{
    {0, kRegConfig, kStartBit},
    {0, kRegFanControl, 0x15},
    {0, kRegVidLow, 0x50},
    {0, 0x4B, 0x40},
    {0, kRegBeep2, kBeepGlobal},
    {0, 0x5A, 0xFF},
    {0, 0x5B, 0xFF},
    {0, 0x5E, 0xFF},
    {0, 0x5F, 0xFF},
    {0, 0x39, 0x7F},
    {0, 0x3A, 0x7F},
    {1, 0x55, 0x7F},
    {1, 0x56, 0x80},
    {2, 0x55, 0x7F},
    {2, 0x56, 0x80},
}};

// ---- Conversions: physical input to register value, as the chip's converters do ----

// Nearest integer with halves to the even neighbour, after clamping into [lo, hi].
int NearestClamped(double x, int lo, int hi) {
  if (std::isnan(x)) return lo;
  x = std::clamp(x, static_cast<double>(lo), static_cast<double>(hi));
  return static_cast<int>(std::nearbyint(x));
}

uint8_t RailCount(const ModelTraits& traits, int item, double volts) {
  const double factor = kVoltsPerCount / kRails[item].divider;
  if (item >= kFirstNegativeRail && item < kFirstNegativeRail + 2) {
    if (traits.offsetNegativeRails) {
      const double k = kNegativeRailGain[item - kFirstNegativeRail];
      return static_cast<uint8_t>(NearestClamped(
          ((volts - kNegativeRailOffset) / k + kNegativeRailOffset) / kVoltsPerCount, 0, 255));
    }
    return static_cast<uint8_t>(NearestClamped(-volts / factor, 0, 255));
  }
  return static_cast<uint8_t>(NearestClamped(volts / factor, 0, 255));
}

uint8_t FanCount(double rpm, int divisor) {
  if (!(rpm > 0)) return kFanStopped;
  const double count = kFanClock / (rpm * divisor);
  return static_cast<uint8_t>(NearestClamped(count, 1, kFanStopped));
}

uint8_t WholeDegrees(double celsius) {
  return static_cast<uint8_t>(NearestClamped(celsius, -128, 127) & 0xFF);
}

std::pair<uint8_t, uint8_t> HalfDegrees(double celsius) {
  const int v = NearestClamped(celsius * 2, -256, 255) & 0x1FF;
  return {static_cast<uint8_t>(v >> 1), static_cast<uint8_t>((v & 1) ? 0x80 : 0x00)};
}

// Chip-side decoding into signed half degrees, for the alarm comparison.
int WholeToHalf(uint8_t b) {
  return static_cast<int8_t>(b) * 2;
}
int PairToHalf(uint8_t high, uint8_t low) {
  int v = (high << 1) | ((low & 0x80) ? 1 : 0);
  return v >= 256 ? v - 512 : v;
}

bool IsConfigPort(uint16_t port) {
  return std::find(kConfigPorts.begin(), kConfigPorts.end(), port) != kConfigPorts.end();
}

}  // namespace

uint8_t ModelChipId(Model model) {
  return Traits(model).chipId;
}

const char* ModelName(Model model) {
  return Traits(model).name;
}

std::optional<Model> ModelFromName(const std::string& name) {
  for (const auto& traits : kModels) {
    const std::string candidate = traits.name;
    if (candidate.size() == name.size() &&
        std::equal(candidate.begin(), candidate.end(), name.begin(), [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) ==
                 std::toupper(static_cast<unsigned char>(b));
        }))
      return traits.model;
  }
  return std::nullopt;
}

struct ChipSim::State {
  std::array<std::array<uint8_t, 256>, kBanks> regs{};
  uint8_t bankSelect = kVendorHighHalf;
  uint8_t monitorIndex = 0;  // the index latch

  int keyWrites = 0;  // consecutive entry keys seen on the configuration index port
  bool configMode = false;
  uint8_t superIoIndex = 0;
  uint8_t logicalDevice = 0;
  std::array<uint8_t, kFirstDeviceReg> globalRegs{};
  std::map<std::pair<uint8_t, uint8_t>, uint8_t> deviceRegs;  // (logical device, index)

  bool busReady = false;
  bool chassisLatched = false;
  // Alarms of 0x41 and 0x42 seen at a conversion since the register was last read; the
  // chassis bit is not among them (it follows chassisLatched).
  std::array<uint8_t, 2> statusLatch{};
  std::array<bool, 3> tempAlarm{};  // held between the high limit and the hysteresis
  uint32_t beepEnableWrites = 0;    // writes of bank 0 0x56, 0x57 and bank 4 0x53

  uint8_t DeviceReg(uint8_t device, uint8_t index) const {
    auto it = deviceRegs.find({device, index});
    return it == deviceRegs.end() ? 0x00 : it->second;
  }
};

ChipSim::ChipSim(Config config) : config_(config), state_(std::make_unique<State>()) {
  for (const auto& v : kPowerUp) state_->regs[v.bank][v.index] = v.value;
  for (const auto& rail : kRails) state_->regs[rail.bank][rail.high] = 0xFF;
  for (const auto& fan : kFans) state_->regs[0][fan.limit] = 0xFF;
  state_->deviceRegs[{kMonitorDevice, kRegActivation}] = config_.monitorActive ? 0x01 : 0x00;
  state_->deviceRegs[{kMonitorDevice, kRegBaseHigh}] =
      static_cast<uint8_t>(config_.monitorBase >> 8);
  state_->deviceRegs[{kMonitorDevice, kRegBaseLow}] =
      static_cast<uint8_t>(config_.monitorBase & 0xFF);
  Refresh();
}

ChipSim::~ChipSim() = default;
ChipSim::ChipSim(const ChipSim& other)
    : config_(other.config_), log_(other.log_), state_(std::make_unique<State>(*other.state_)) {}
ChipSim& ChipSim::operator=(const ChipSim& other) {
  if (this != &other) {
    config_ = other.config_;
    log_ = other.log_;
    state_ = std::make_unique<State>(*other.state_);
  }
  return *this;
}
ChipSim::ChipSim(ChipSim&&) noexcept = default;
ChipSim& ChipSim::operator=(ChipSim&&) noexcept = default;

int16_t ChipSim::Load() {
  return config_.loadFails ? 1 : 0;
}

int16_t ChipSim::InitialBus(int16_t mode, uint8_t a, uint8_t b, uint8_t c) {
  if (config_.busInitFails) return 1;
  if (mode != kBusMode || a != kBusArgs[0] || b != kBusArgs[1] || c != kBusArgs[2]) return 2;
  state_->busReady = true;
  return 0;
}

int16_t ChipSim::EnablePri() {
  return config_.shutdownRefused ? 0 : 1;
}
int16_t ChipSim::DisablePri() {
  return 1;
}

uint8_t ChipSim::In(uint16_t port) {
  const bool refused = !Entitled(port);
  const uint8_t value = refused ? 0xFF : ReadPort(port);
  log_.push_back({PortAccess::Kind::In, port, value, refused});
  return value;
}

void ChipSim::Out(uint16_t port, uint8_t value) {
  const bool refused = !Entitled(port);
  if (!refused) WritePort(port, value);
  log_.push_back({PortAccess::Kind::Out, port, value, refused});
  Refresh();
}

void ChipSim::Reconfigure(const Config& config) {
  config_ = config;
  Refresh();
}

std::optional<uint16_t> ChipSim::MonitorIndexPort() const {
  if (config_.noChip) return std::nullopt;
  if (config_.superIoPort == 0) return state_->busReady ? std::optional<uint16_t>(0) : std::nullopt;
  if (!(state_->DeviceReg(kMonitorDevice, kRegActivation) & 0x01)) return std::nullopt;
  const uint16_t base = static_cast<uint16_t>(state_->DeviceReg(kMonitorDevice, kRegBaseHigh) << 8 |
                                              state_->DeviceReg(kMonitorDevice, kRegBaseLow));
  return static_cast<uint16_t>((base & ~7u) + 5);
}

bool ChipSim::BusReady() const {
  return state_->busReady;
}

bool ChipSim::Entitled(uint16_t port) const {
  if (port == 0 || port == 1) return true;
  for (uint16_t config : kConfigPorts)
    if (port == config || port == config + 1) return true;
  if (config_.superIoPort == 0 || config_.monitorBase < kLowestMonitorBase) return false;
  // The pair of the configured base, as a driver set up for this board grants it: it stays the
  // program's even while the device is inactive or the chip absent, and a base written later
  // through the configuration ports widens nothing.
  const uint16_t index = static_cast<uint16_t>((config_.monitorBase & ~7u) + 5);
  return port == index || port == index + 1;
}

uint8_t ChipSim::ReadPort(uint16_t port) {
  const uint16_t sio = config_.superIoPort;
  if (sio != 0 && (port == sio || port == sio + 1)) {
    if (!state_->configMode) return 0xFF;
    return port == sio ? state_->superIoIndex : ReadSuperIo(state_->superIoIndex);
  }
  if (IsConfigPort(port) || IsConfigPort(static_cast<uint16_t>(port - 1))) return 0xFF;
  const auto monitor = MonitorIndexPort();
  if (!monitor) return 0xFF;
  if (port == *monitor) return state_->monitorIndex;
  if (port != *monitor + 1) return 0xFF;
  const uint8_t index = state_->monitorIndex;
  const uint8_t value = ReadMonitor(index);
  if ((state_->bankSelect & kBankMask) == 0 && (index == kRegStatus1 || index == kRegStatus2)) {
    // Reading hands the latched alarms over; a condition that goes on latches again at the
    // next conversion.
    state_->statusLatch[index == kRegStatus1 ? 0 : 1] = 0;
  }
  return value;
}

void ChipSim::WritePort(uint16_t port, uint8_t value) {
  State& s = *state_;
  const uint16_t sio = config_.superIoPort;
  if (sio != 0 && port == sio) {
    if (s.configMode) {
      if (value == kExitKey) {
        s.configMode = false;
      } else {
        s.superIoIndex = value;
      }
    } else if (value == kEntryKey) {
      if (++s.keyWrites == 2) {
        s.configMode = true;
        s.keyWrites = 0;
      }
    } else {
      s.keyWrites = 0;
    }
    return;
  }
  if (sio != 0 && port == sio + 1) {
    if (s.configMode) WriteSuperIo(s.superIoIndex, value);
    return;
  }
  if (IsConfigPort(port) || IsConfigPort(static_cast<uint16_t>(port - 1))) return;
  const auto monitor = MonitorIndexPort();
  if (!monitor) return;
  if (port == *monitor) {
    s.monitorIndex = value;
  } else if (port == *monitor + 1) {
    WriteMonitor(s.monitorIndex, value);
  }
}

uint8_t ChipSim::ReadSuperIo(uint8_t index) const {
  return SuperIoReg(state_->logicalDevice, index);
}

void ChipSim::WriteSuperIo(uint8_t index, uint8_t value) {
  if (index == kRegLogicalDevice) {
    state_->logicalDevice = value;
  } else if (index == kRegDeviceId || index == kRegRevision) {
    // Identification is read-only.
  } else if (index < kFirstDeviceReg) {
    state_->globalRegs[index] = value;
  } else {
    state_->deviceRegs[{state_->logicalDevice, index}] = value;
  }
}

uint8_t ChipSim::ReadMonitor(uint8_t index) const {
  if (index == kRegBankSelect) return state_->bankSelect;
  return Reg(state_->bankSelect & kBankMask, index);
}

void ChipSim::WriteMonitor(uint8_t index, uint8_t value) {
  State& s = *state_;
  if (index == kRegBankSelect) {
    s.bankSelect = value;
    return;
  }
  const int bank = s.bankSelect & kBankMask;
  if ((bank == 0 && (index == 0x56 || index == 0x57)) || (bank == 4 && index == 0x53))
    ++s.beepEnableWrites;
  const RegRule rule = RuleFor(bank, index);
  uint8_t& reg = s.regs[bank][index];
  switch (rule.kind) {
    case RegKind::Plain:
      reg = static_cast<uint8_t>((reg & ~rule.writeMask) | (value & rule.writeMask));
      break;
    case RegKind::ChassisClear:
      // The latch only lets go once the case is closed again.
      if ((value & kChassisClearBit) && !config_.sensors.chassisOpen) s.chassisLatched = false;
      reg = static_cast<uint8_t>(value & rule.writeMask);
      break;
    case RegKind::Reading:
    case RegKind::Status:
    case RegKind::VendorId:
    case RegKind::ChipId:
      break;
  }
}

uint8_t ChipSim::CurrentStatus(uint8_t index) const {
  uint8_t status = 0;
  const uint8_t mirrored = index == kRegStatus1 ? kRegBeep1 : kRegBeep2;
  for (int item = 0; item < kItems; ++item)
    if (kBeepBits[item].bank == 0 && kBeepBits[item].reg == mirrored && ItemAlarm(item))
      status = static_cast<uint8_t>(status | (1u << kBeepBits[item].bit));
  return status;
}

uint8_t ChipSim::Reg(int bank, uint8_t index) const {
  if (index == kRegBankSelect) return state_->bankSelect;
  if (bank < 0 || bank >= kBanks) return 0xFF;
  switch (RuleFor(bank, index).kind) {
    case RegKind::Status:
      return static_cast<uint8_t>(CurrentStatus(index) |
                                  state_->statusLatch[index == kRegStatus1 ? 0 : 1]);
    case RegKind::VendorId: {
      const uint16_t vendor = config_.vendorId.value_or(kDefaultVendorId);
      return static_cast<uint8_t>((state_->bankSelect & kVendorHighHalf) ? vendor >> 8
                                                                         : vendor & 0xFF);
    }
    case RegKind::ChipId:
      return config_.chipId.value_or(ModelChipId(config_.model));
    default:
      return state_->regs[bank][index];
  }
}

void ChipSim::PokeReg(int bank, uint8_t index, uint8_t value) {
  if (index == kRegBankSelect) {
    state_->bankSelect = value;
  } else if (bank >= 0 && bank < kBanks) {
    state_->regs[bank][index] = value;
  }
  Refresh();
}

uint8_t ChipSim::SuperIoReg(uint8_t logicalDevice, uint8_t index) const {
  switch (index) {
    case kRegLogicalDevice:
      return state_->logicalDevice;
    case kRegDeviceId:
      return config_.superIoId;
    case kRegRevision:
      return config_.superIoRevision;
    default:
      break;
  }
  if (index < kFirstDeviceReg) return state_->globalRegs[index];
  return state_->DeviceReg(logicalDevice, index);
}

uint32_t ChipSim::BeepEnableWrites() const {
  return state_->beepEnableWrites;
}

int ChipSim::SelectedBank() const {
  return state_->bankSelect & kBankMask;
}

void ChipSim::Refresh() {
  State& s = *state_;
  auto& bank0 = s.regs[0];
  const ModelTraits& traits = Traits(config_.model);
  const Sensors& in = config_.sensors;
  auto present = [&](int item) { return !(traits.absentItems & (1u << item)); };

  // The VID pins are inputs, visible whether or not monitoring runs.
  bank0[kRegVidLow] = static_cast<uint8_t>((bank0[kRegVidLow] & 0xF0) | (config_.vid & 0x0F));
  bank0[kRegVidHigh] =
      static_cast<uint8_t>((bank0[kRegVidHigh] & 0xFE) | ((config_.vid >> 4) & 0x01));

  if (bank0[kRegConfig] & kStartBit) {
    for (int item = 0; item < static_cast<int>(kRails.size()); ++item) {
      const RailRegs& rail = kRails[item];
      s.regs[rail.bank][rail.reading] = present(item) ? RailCount(traits, item, in.volts[item]) : 0;
    }
    for (int fan = 0; fan < static_cast<int>(kFans.size()); ++fan) {
      const FanRegs& regs = kFans[fan];
      const int divisor = 1 << ((bank0[regs.divisorReg] >> regs.divisorShift) & 0x03);
      // Fan control bits: 2f+1 forces the fan on at full speed, 2f runs it under its duty
      // register (full speed when the model has none for this fan), neither switches it off.
      const uint8_t control = static_cast<uint8_t>(bank0[kRegFanControl] >> (2 * fan));
      int duty = 0;
      if (control & 0x02) {
        duty = 255;
      } else if (control & 0x01) {
        const uint8_t dutyReg = traits.fanDutyReg[fan];
        duty = dutyReg == kNoPin ? 255 : bank0[dutyReg];
      }
      const double rpm = in.rpm[fan] * duty / 255.0;
      bank0[regs.reading] = present(kFirstFanItem + fan) ? FanCount(rpm, divisor) : kFanStopped;
    }
    for (int t = 0; t < static_cast<int>(kTemps.size()); ++t) {
      const TempRegs& regs = kTemps[t];
      auto& bank = s.regs[regs.bank];
      const double celsius = present(kFirstTempItem + t) ? in.celsius[t] : 0.0;
      if (regs.halfDegrees) {
        std::tie(bank[regs.reading], bank[regs.reading + 1]) = HalfDegrees(celsius);
      } else {
        bank[regs.reading] = WholeDegrees(celsius);
      }
    }
  }

  if (present(kChassisItem) && in.chassisOpen) s.chassisLatched = true;

  for (int t = 0; t < static_cast<int>(kTemps.size()); ++t) {
    const TempRegs& regs = kTemps[t];
    const auto& bank = s.regs[regs.bank];
    int value = 0, high = 0, hyst = 0;
    if (regs.halfDegrees) {
      value = PairToHalf(bank[regs.reading], bank[regs.reading + 1]);
      high = PairToHalf(bank[regs.high], bank[regs.high + 1]);
      hyst = PairToHalf(bank[regs.hyst], bank[regs.hyst + 1]);
    } else {
      value = WholeToHalf(bank[regs.reading]);
      high = WholeToHalf(bank[regs.high]);
      hyst = WholeToHalf(bank[regs.hyst]);
    }
    const bool isPresent = present(kFirstTempItem + t);
    if (isPresent && value > high) {
      s.tempAlarm[t] = true;
    } else if (!isPresent || value < hyst) {
      s.tempAlarm[t] = false;
    }
  }
  LatchStatus();
}

void ChipSim::LatchStatus() {
  if (!(state_->regs[0][kRegConfig] & kStartBit)) return;  // no conversions, nothing new
  constexpr uint8_t kChassisBit = 0x10;
  state_->statusLatch[0] |= CurrentStatus(kRegStatus1);
  state_->statusLatch[1] |= static_cast<uint8_t>(CurrentStatus(kRegStatus2) & ~kChassisBit);
}

bool ChipSim::ItemAlarm(int item) const {
  if (item < 0 || item >= kItems) return false;
  const ModelTraits& traits = Traits(config_.model);
  if (traits.absentItems & (1u << item)) return false;
  if (item < static_cast<int>(kRails.size())) {
    const RailRegs& rail = kRails[item];
    const auto& bank = state_->regs[rail.bank];
    return bank[rail.reading] > bank[rail.high] || bank[rail.reading] < bank[rail.low];
  }
  if (item < kFirstTempItem) {
    const FanRegs& fan = kFans[item - kFirstFanItem];
    return state_->regs[0][fan.reading] > state_->regs[0][fan.limit];
  }
  if (item < kChassisItem) return state_->tempAlarm[item - kFirstTempItem];
  return state_->chassisLatched;
}

bool ChipSim::Beeping() const {
  if (!(state_->regs[0][kRegBeep2] & kBeepGlobal)) return false;
  const ModelTraits& traits = Traits(config_.model);
  for (int item = 0; item < kItems; ++item) {
    const BitRef& beep = kBeepBits[item];
    if (beep.bank == 4 && !traits.bank4BeepBits) continue;
    if ((state_->regs[beep.bank][beep.reg] & (1u << beep.bit)) && ItemAlarm(item)) return true;
  }
  return false;
}

}  // namespace sim
