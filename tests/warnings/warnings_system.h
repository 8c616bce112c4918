// A headless system for the warning dialogs: the simulator at ports 0 and 1, a fake platform
// and one ordered log of the privileged calls the shutdown makes.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "chip/chip_registers.h"
#include "chip/sim_port_io.h"
#include "platform/fake_platform.h"
#include "sim/chip_sim.h"
#include "support/memory_files.h"
#include "ui/headless_runtime.h"
#include "warnings/warning_dialogs.h"

namespace vigilon::warnings::test_support {

using Calls = std::vector<std::string>;

// The simulator keeps no record of the shutdown right, so count it here.
class RecordingPortIo : public chip::SimPortIo {
 public:
  RecordingPortIo(sim::ChipSim& chip, Calls& calls) : SimPortIo(chip), calls_(calls) {}
  int16_t EnablePri() override {
    calls_.push_back("EnablePri");
    return SimPortIo::EnablePri();
  }
  int16_t DisablePri() override {
    calls_.push_back("DisablePri");
    return SimPortIo::DisablePri();
  }

 private:
  Calls& calls_;
};

class RecordingPlatform : public platform::FakePlatform {
 public:
  explicit RecordingPlatform(Calls& calls) : calls_(calls) {}
  platform::MsgBoxAnswer MsgBox(const std::string& text, const std::string& caption,
                                platform::MsgBoxButtons buttons) override {
    calls_.push_back("MsgBox");
    return FakePlatform::MsgBox(text, caption, buttons);
  }
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override {
    calls_.push_back("ExitWindowsEx");
    return FakePlatform::ExitWindowsEx(flags, reserved);
  }

 private:
  Calls& calls_;
};

inline sim::Config AtPortsZeroAndOne(sim::Model model) {
  sim::Config config;
  config.model = model;
  config.superIoPort = 0;
  return config;
}

// Every item watched with low sensitivity; the main window's caption changes are recorded.
struct System {
  explicit System(sim::Model model = sim::Model::ZR420)
      : chip(AtPortsZeroAndOne(model)), io(chip, calls), platform(calls), run(io, platform, files) {
    chip.InitialBus(1, 0x5A, 0x92, 0x90);
    run.chip.access().MonitorPort = 0;
    run.chip.SetModel(*chip::ChipTraitsFor(sim::ModelChipId(model)));
    run.items.ItemEnabled.fill(1);
    run.items.ItemWErr3.fill(1);
    run.hooks.SetCaseOpenCaption = [this](const std::string& text) { captions.push_back(text); };
    platform.elapsedMs = [this] { return runtime.now(); };
  }
  void High(int item) {
    run.items.ItemWErr1[item] = 1;
    run.items.ItemWErr3[item] = 0;
  }

  Calls calls;
  std::vector<std::string> captions;  // the main window's chassis caption
  sim::ChipSim chip;
  RecordingPortIo io;
  RecordingPlatform platform;
  items::MemoryFiles files;
  RunState run;
  ui::HeadlessRuntime runtime{platform};
  WarningDialogs dialogs{runtime, run};
};

// A high-sensitivity item's dialog, opened by one bad reading.
inline frmWarning& Open(System& s, int item) {
  s.High(item);
  s.dialogs.ShowWarning(item);
  frmWarning* dialog = s.dialogs.Dialog(item);
  if (dialog == nullptr) throw std::logic_error("no warning dialog opened");
  return *dialog;
}

}  // namespace vigilon::warnings::test_support
