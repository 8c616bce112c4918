// Register-level model of the four monitor chip models and of the Super-I/O
// configuration space in front of them. Knows ports, banks and registers, nothing of the program.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class Model : uint8_t { ZR410, ZR420, ZR430, ZR460 };

// The chip identifier register 0x58 answers this per model.
uint8_t ModelChipId(Model model);
std::optional<Model> ModelFromName(const std::string& name);  // "ZR420", case-insensitive
const char* ModelName(Model model);

// The lowest base address a monitor can have: below it, its index/data pair would lie among the
// system board's own ports, the configuration ports included. The driver stand-in refuses such a
// base in its configuration, and the simulator grants no pair for it.
inline constexpr uint16_t kLowestMonitorBase = 0x100;

// Physical inputs, in the item order the program uses: nine rails (volts), three fans
// (rpm, 0 = stopped), three temperature sensors (degrees Celsius), the chassis switch.
struct Sensors {
  std::array<double, 9> volts{2.05, 3.45, 3.30, 5.00, 12.00, -12.00, -5.00, 5.00, 3.00};
  std::array<double, 3> rpm{3000, 4500, 3000};
  std::array<double, 3> celsius{32, 45.5, 30};
  bool chassisOpen = false;
};

struct Config {
  Model model = Model::ZR420;
  uint16_t superIoPort = 0x2E;  // 0x2E, 0x4E, or 0: no Super-I/O device, monitor at ports 0/1
  // Logical device 0x0B's base address at power-up (registers 0x60, 0x61). Its index/data pair
  // is the one the driver grants; rewriting the registers moves the chip, not the grant.
  uint16_t monitorBase = 0x290;
  bool monitorActive = true;         // logical device 0x0B register 0x30 at power-up
  uint8_t superIoId = 0x52;          // register 0x20
  uint8_t superIoRevision = 0x12;    // register 0x21; bit 4 must be set for the program
  std::optional<uint16_t> vendorId;  // overrides 0x5CA3
  std::optional<uint8_t> chipId;     // overrides the model's identifier
  uint8_t vid = 0;                   // processor VID code 0..31 on 0x47 bits 0-3, 0x49 bit 0
  Sensors sensors;
  // Fault switches.
  bool loadFails = false;        // LoadKestrelVxD answers nonzero
  bool busInitFails = false;     // InitialBus answers nonzero
  bool noChip = false;           // every monitor port reads 0xFF
  bool shutdownRefused = false;  // EnablePri answers 0
};

struct PortAccess {
  enum class Kind : uint8_t { In, Out };
  Kind kind;
  uint16_t port;
  uint8_t value;  // the byte written, or the byte returned by a read
  bool refused;   // a port the program is not entitled to: nothing happened
  bool operator==(const PortAccess&) const = default;
};

// Behaviour worth knowing from outside (the tables in chip_sim.cpp hold the details):
// - Readings refresh after every port write and Reconfigure while bank 0 0x40 bit 0 is set
//   (set at power-up); with it clear they keep their last values.
// - Fan f's control bits in bank 0 0x4D: bit 2f+1 runs the fan at full speed, else bit 2f runs
//   it at rpm x duty/255 from the model's duty register for that fan (full speed if it has
//   none), else the fan is off (count 255). Power-up: 0x4D = 0x15 (the firmware has the fan
//   inputs counting), duty registers 0xFF.
// - Status registers 0x41/0x42 use the bit layout of the beep enables 0x56/0x57 (chassis: 0x42
//   bit 4; items 7 and 8 have no bit). A bit is set while its alarm lasts and latches at every
//   conversion (port write) while monitoring runs; reading the register through the ports
//   clears what latched, so an alarm that has ended shows once more and then no longer. The
//   chassis bit is the intrusion latch itself: reading leaves it, only a write of 0x46 bit 7
//   with the case closed clears it.
// - Limits power up where nothing alarms; inputs a model lacks read idle and never alarm.
class ChipSim {
 public:
  explicit ChipSim(Config config = {});
  ~ChipSim();
  // A copy is an independent chip in the same state (registers, latches, log).
  ChipSim(const ChipSim& other);
  ChipSim& operator=(const ChipSim& other);
  ChipSim(ChipSim&&) noexcept;
  ChipSim& operator=(ChipSim&&) noexcept;

  // Driver-level operations, with the results of the port-I/O library.
  int16_t Load();
  int16_t InitialBus(int16_t mode, uint8_t a, uint8_t b, uint8_t c);
  uint8_t In(uint16_t port);
  void Out(uint16_t port, uint8_t value);
  int16_t EnablePri();
  int16_t DisablePri();

  // Sensor inputs and fault switches may change while the program runs (kestrel.ini
  // edited); register contents and latches survive such a change.
  void Reconfigure(const Config& config);
  const Config& config() const { return config_; }

  // Direct register view for tests and the state file; bypasses ports and side effects.
  uint8_t Reg(int bank, uint8_t index) const;
  void PokeReg(int bank, uint8_t index, uint8_t value);
  uint8_t SuperIoReg(uint8_t logicalDevice, uint8_t index) const;
  int SelectedBank() const;
  // Writes of the beep enable registers so far (bank 0 0x56, 0x57; bank 4 0x53), whatever they
  // wrote: a beeping chip sounds a short chirp at each one that sets a bit an alarm has.
  uint32_t BeepEnableWrites() const;
  // The index port at which the monitor answers right now (its data port is one above), or
  // nothing: no chip, logical device inactive, or ports 0/1 before a successful InitialBus.
  std::optional<uint16_t> MonitorIndexPort() const;
  bool BusReady() const;  // InitialBus has succeeded

  // The chip's own alarm per monitored item (0..15) from the programmed limits, and
  // whether its beeper sounds (global enable 0x57 bit 7 and an alarming item whose beep is
  // enabled).
  bool ItemAlarm(int item) const;
  bool Beeping() const;

  const std::vector<PortAccess>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  void ReleaseLog() { std::vector<PortAccess>().swap(log_); }  // its memory too

 private:
  Config config_;
  std::vector<PortAccess> log_;
  // The implementation keeps its register state here (see chip_sim.cpp).
  struct State;
  std::unique_ptr<State> state_;

  bool Entitled(uint16_t port) const;
  uint8_t ReadPort(uint16_t port);
  void WritePort(uint16_t port, uint8_t value);
  uint8_t ReadSuperIo(uint8_t index) const;
  void WriteSuperIo(uint8_t index, uint8_t value);
  uint8_t ReadMonitor(uint8_t index) const;
  uint8_t CurrentStatus(uint8_t index) const;  // the status bits of the alarms lasting now
  void LatchStatus();
  void WriteMonitor(uint8_t index, uint8_t value);
  // Brings readings (while monitoring is started), VID pins, the chassis latch and the
  // temperature alarms up to date with the sensor inputs and the registers.
  void Refresh();
};

}  // namespace sim
