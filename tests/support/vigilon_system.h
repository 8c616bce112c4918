// The whole program, headless, over the chip simulator: start-up with a fake platform and
// settings files in memory, the main window on a virtual clock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "chip/sim_port_io.h"
#include "monitor/frmvigilon.h"
#include "platform/fake_platform.h"
#include "sim/chip_sim.h"
#include "startup/startup.h"
#include "support/memory_files.h"
#include "ui/headless_runtime.h"

namespace vigilon::test {

inline sim::Config ChipOf(sim::Model model) {
  sim::Config config;
  config.model = model;
  if (model == sim::Model::ZR410) config.superIoPort = 0;  // the first model has no such device
  return config;
}

class VigilonSystem {
 public:
  explicit VigilonSystem(sim::Config config = {})
      : chip(config), io(chip), run(io, platform, files) {
    platform.files = {"eye.ico", "eye0.ico", "eye1.ico", "eye2.ico"};
    platform.elapsedMs = [this] { return runtime.now(); };
  }
  VigilonSystem(const VigilonSystem&) = delete;
  VigilonSystem& operator=(const VigilonSystem&) = delete;

  // Runs start-up; the main window is loaded and shown when it returns.
  startup::StartupOutcome Start() {
    outcome = startup::Main(run, [this](RunState& state) {
      if (beforeMainWindow) beforeMainWindow(state);
      main.emplace(runtime, state);
      main->Get().Show();
    });
    return outcome;
  }

  frmvigilon& window() { return main->Get(); }
  limits::LimitPanel& panel() { return window().panel(); }

  // Lets `n` polling intervals pass on the virtual clock.
  void Cycles(int n) { runtime.Advance(static_cast<uint64_t>(n) * run.items.PollInterval * 1000); }

  // What the chip's register holds now, without touching the program's port traffic.
  uint8_t Reg(int bank, uint8_t index) const { return chip.Reg(bank, index); }

  // New sensor inputs, as an edited kestrel.ini gives them.
  template <class Edit>
  void Sensors(Edit edit) {
    sim::Config config = chip.config();
    edit(config.sensors);
    chip.Reconfigure(config);
  }

  sim::ChipSim chip;
  chip::SimPortIo io;
  platform::FakePlatform platform;
  items::MemoryFiles files;
  RunState run;
  ui::HeadlessRuntime runtime{platform};
  std::optional<ui::FormSlot<frmvigilon, RunState&>> main;
  startup::StartupOutcome outcome = startup::StartupOutcome::SecondInstance;
  // Runs once the chip is known, before the main window loads (what the program starts there).
  std::function<void(RunState&)> beforeMainWindow;
};

}  // namespace vigilon::test
