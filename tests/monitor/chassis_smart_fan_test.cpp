// The chassis switch and the smart fan through the whole program over the simulator: the
// intrusion latch and its dialog, the fan state machine on each model, the first model's
// output-bit branch, and the fans the program stopped coming back.
#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "platform/last_words.h"
#include "support/vigilon_system.h"

namespace vigilon {
namespace {

using test::ChipOf;
using test::VigilonSystem;

struct Started : VigilonSystem {
  explicit Started(sim::Model model, const std::function<void(VigilonSystem&)>& prepare = {})
      : VigilonSystem(ChipOf(model)) {
    if (prepare) prepare(*this);
    EXPECT_EQ(Start(), startup::StartupOutcome::MainWindowShown);
  }
  void Temperature(int sensor, double celsius) {
    Sensors([&](sim::Sensors& in) { in.celsius[sensor] = celsius; });
  }
  void Chassis(bool open) {
    Sensors([&](sim::Sensors& in) { in.chassisOpen = open; });
  }
  // Accesses of the monitor's data port that went to `reg`, counted from `from` on.
  int Accesses(size_t from, uint8_t reg, sim::PortAccess::Kind kind) const {
    int n = 0;
    const auto& log = chip.Log();
    const uint16_t index = run.chip.MonitorPort();
    for (size_t i = from + 1; i < log.size(); ++i)
      if (log[i].port == index + 1 && log[i].kind == kind && log[i - 1].port == index &&
          log[i - 1].value == reg)
        ++n;
    return n;
  }
};

// ---- Chassis ----

TEST(Chassis, AnOpenCaseWarnsAtTheThirdCycleAndIgnoreClosesTheDialog) {
  Started s(sim::Model::ZR420);
  frmvigilon& w = s.window();
  // The dialog's bit of 0x56 is also the System temperature's beep: silence that one first.
  s.run.items.ItemBeep[12] = 0;
  s.run.chip.ApplyBeepSettings(s.run.items.ItemEnabled, s.run.items.ItemBeep);
  s.Cycles(1);
  EXPECT_EQ(w.panel().lblCaseOpen.caption(), "Chassis is closed");
  EXPECT_TRUE(w.panel().lblCaseOpen.visible());

  s.Chassis(true);
  s.Cycles(2);
  EXPECT_EQ(w.panel().lblCaseOpen.caption(), "Chassis is opened");
  EXPECT_EQ(w.warnings().Dialog(15), nullptr) << "Low Sensitive: not yet";
  EXPECT_EQ(s.Reg(0, 0x56) & 0x10, 0);
  s.Cycles(1);
  warnings::frmWarning* dialog = w.warnings().Dialog(15);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->caption(), "Chassis Warning !!!");
  EXPECT_EQ(s.Reg(0, 0x56) & 0x10, 0x10) << "set while the dialog is open";
  s.Cycles(2);
  EXPECT_EQ(s.Reg(0, 0x56) & 0x10, 0x10) << "a case that stays open keeps reporting opened";
  EXPECT_EQ(w.panel().lblCaseOpen.caption(), "Chassis is opened");

  dialog->Find<ui::CommandButton>("Command(0)")->Click();
  EXPECT_EQ(w.warnings().Dialog(15), nullptr);
  EXPECT_EQ(w.panel().lblCaseOpen.caption(), "Chassis is closed");
  EXPECT_EQ(s.Reg(0, 0x56) & 0x10, 0);
}

TEST(Chassis, ACaseOpenedAndClosedBetweenTwoCyclesShowsClosed) {
  // The cycle asks the chip to clear its latch before it reads the status, and a latch for a
  // case closed again lets go at that request: the opening between the cycles is not seen.
  Started s(sim::Model::ZR420);
  s.Cycles(1);
  s.Chassis(true);
  s.Chassis(false);
  EXPECT_TRUE(s.chip.ItemAlarm(15)) << "the chip latched it";
  s.Cycles(1);
  EXPECT_EQ(s.panel().lblCaseOpen.caption(), "Chassis is closed");
  EXPECT_FALSE(s.chip.ItemAlarm(15));
  EXPECT_EQ(s.run.ItemWarnCount[15], 0);
}

TEST(Chassis, AnUnmonitoredChassisIsNotTouched) {
  Started s(sim::Model::ZR420);
  s.run.items.ItemEnabled[15] = 0;
  s.window().RefreshPanelEnable();
  s.Chassis(true);
  const size_t from = s.chip.Log().size();
  s.Cycles(3);
  EXPECT_EQ(s.Accesses(from, 0x46, sim::PortAccess::Kind::Out), 0);
  EXPECT_EQ(s.Accesses(from, 0x42, sim::PortAccess::Kind::In), 3) << "only the cycle's end";
  EXPECT_FALSE(s.panel().lblCaseOpen.visible());
  EXPECT_EQ(s.window().warnings().Dialog(15), nullptr);
}

TEST(Chassis, DisableKeepsTheDialogUntilIgnore) {
  Started s(sim::Model::ZR420);
  s.Chassis(true);
  s.Cycles(3);
  warnings::frmWarning* dialog = s.window().warnings().Dialog(15);
  ASSERT_NE(dialog, nullptr);
  dialog->Find<ui::CommandButton>("Command(1)")->Click();
  EXPECT_EQ(s.run.items.ItemEnabled[15], 0);
  EXPECT_EQ(s.window().warnings().Dialog(15), dialog);
  EXPECT_EQ(s.Reg(0, 0x56) & 0x10, 0x10);
  s.Cycles(2);
  EXPECT_EQ(s.window().warnings().Dialog(15), dialog) << "no later cycle closes it";
  dialog->Find<ui::CommandButton>("Command(0)")->Click();
  EXPECT_EQ(s.window().warnings().Dialog(15), nullptr);
  // The bit it borrowed goes back to the first temperature's own beep.
  const bool temp1Beeps = s.run.items.ItemEnabled[12] == 1 && s.run.items.ItemBeep[12] == 1;
  EXPECT_EQ(s.Reg(0, 0x56) & 0x10, temp1Beeps ? 0x10 : 0);
}

// ---- Smart fan, the state machine ----

struct Walk {
  sim::Model model;
  int16_t channel;
  int sensor;            // 0..2
  int fan;               // 1..3
  uint8_t dutyRegister;  // 0: the fan has none, only its limit row follows
  double rise1, rise2, rise3, fall1, fall2, fall3;
};

// Every channel a model can run, each threshold pinned from both sides: a reading one step short
// of it changes nothing, the threshold itself moves the state. (The third channel of the Vcore
// model has neither its sensor nor its fan.)
TEST(SmartFan, TheStateMachineOnEveryChannelOfEachModel) {
  const Walk walks[] = {
      {sim::Model::ZR420, 1, 0, 1, 0x5B, 14, 16, 18, 13, 15, 17},
      {sim::Model::ZR420, 2, 1, 2, 0, 15, 20, 25, 13, 18, 23},
      {sim::Model::ZR420, 3, 2, 3, 0x5F, 14, 16, 18, 13, 15, 17},
      {sim::Model::ZR460, 1, 0, 1, 0x5A, 14, 16, 18, 13, 15, 17},
      {sim::Model::ZR460, 2, 1, 2, 0x5B, 15, 20, 25, 13, 18, 23},
      {sim::Model::ZR430, 1, 1, 1, 0x5A, 27, 29, 31, 26, 28, 30},
      {sim::Model::ZR430, 2, 0, 2, 0x5B, 27, 29, 31, 26, 28, 30},
  };
  for (const Walk& k : walks) {
    SCOPED_TRACE(testing::Message() << sim::ModelName(k.model) << " channel " << k.channel);
    Started s(k.model, [](VigilonSystem& v) {
      v.Sensors([](sim::Sensors& in) { in.celsius = {40, 40, 40}; });
    });
    s.run.items.ItemEnabled[8 + k.fan] = 1;  // the chassis and second fans are off by default
    s.run.items.ItemEnabled[12 + k.sensor] = 1;
    limits::LimitPanel& p = s.panel();
    const int row = k.fan - 1;
    const uint8_t limitReg = static_cast<uint8_t>(0x3A + k.fan);
    const int16_t userLimit = s.run.items.FanLimitCount[row];
    const int16_t& state = s.run.smartFan.SmartFanState[k.fan];
    const double step = k.sensor == 0 ? 1 : 0.5;  // whole degrees, or half degrees
    auto duty = [&](int want) {
      if (k.dutyRegister != 0) {
        EXPECT_EQ(s.Reg(0, k.dutyRegister), want);
      }
    };

    s.Temperature(k.sensor, k.rise1 - step);
    s.Cycles(1);
    EXPECT_EQ(state, 1);
    duty(0);
    EXPECT_EQ(s.Reg(0, limitReg), 255);
    EXPECT_EQ(p.updFanLoLimit[row].value(), 1);
    EXPECT_FALSE(p.updFanLoLimit[row].enabled());
    EXPECT_EQ(p.lblFanLoLimit[row].caption(), " 662");
    s.Cycles(1);
    if (k.dutyRegister != 0) {
      EXPECT_EQ(p.lblFanSpeed[row].caption(), "Fan off") << "a stopped fan the limit accepts";
    }
    EXPECT_EQ(s.window().warnings().Dialog(8 + k.fan), nullptr);

    s.Temperature(k.sensor, k.rise1);
    s.Cycles(1);
    EXPECT_EQ(state, 5);
    duty(255);
    EXPECT_EQ(s.Reg(0, limitReg), 255) << "the limit one cycle after the duty";
    s.Cycles(1);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(s.Reg(0, limitReg), userLimit);
    EXPECT_TRUE(p.updFanLoLimit[row].enabled());
    EXPECT_EQ(p.updFanLoLimit[row].value(), 255 - userLimit);

    const std::pair<double, int> moves[] = {
        {k.rise2 - step, 2}, {k.rise2, 3},        {k.rise3 - step, 3},
        {k.rise3, 4},        {k.fall3 + step, 4}, {k.fall3, 3},
        {k.fall2 + step, 3}, {k.fall2, 2},        {k.fall1 + step, 2},
    };
    for (auto [celsius, want] : moves) {
      s.Temperature(k.sensor, celsius);
      s.Cycles(1);
      EXPECT_EQ(state, want) << celsius;
      duty(255);
      EXPECT_EQ(s.Reg(0, limitReg), userLimit);
    }
    s.Temperature(k.sensor, k.fall1);
    s.Cycles(1);
    EXPECT_EQ(state, 1);
    duty(0);
    EXPECT_EQ(s.Reg(0, limitReg), 255);
  }
}

// ---- Smart fan, the first model ----

TEST(SmartFan, TheFirstModelDrivesFanThreeFromItsFirstSensorsLimits) {
  Started s(sim::Model::ZR410);
  limits::LimitPanel& p = s.panel();
  // Sensor 0's band is 60..65 degrees.
  s.Temperature(0, 66);
  s.Cycles(1);
  EXPECT_EQ(s.Reg(0, 0x4D) & 0x30, 0x20) << "fan 3 at full speed";
  EXPECT_EQ(p.updFanLoLimit[1].value(), 171);
  EXPECT_TRUE(p.updFanLoLimit[1].enabled());
  EXPECT_EQ(s.Reg(0, 0x3C), 84);

  s.Temperature(0, 62);  // between: nothing changes
  s.run.items.FanLimitCount[1] = 90;
  s.Cycles(1);
  EXPECT_EQ(s.Reg(0, 0x3C), 84);

  s.Temperature(0, 59);
  s.Cycles(1);
  EXPECT_EQ(s.Reg(0, 0x4D) & 0x30, 0) << "fan 3 off";
  EXPECT_EQ(p.updFanLoLimit[1].value(), 1);
  EXPECT_FALSE(p.updFanLoLimit[1].enabled());
  EXPECT_EQ(p.lblFanLoLimit[1].caption(), " 662");
  EXPECT_EQ(s.Reg(0, 0x3C), 255);
  EXPECT_TRUE(s.run.fans.StoppedByProgram(3));
}

// ---- No fan stays stopped behind the program ----

// How a sensor leaves monitoring while the smart fan has its fan stopped.
enum class Leaves { ConfigDialog, WarningDisable, LoadDefault, SettingsFileAfterKill };

struct Unsteered {
  const char* how;
  sim::Model model;
  Leaves leaves;
  int sensor;    // 0..2, the channel's sensor
  int row;       // the fan limit row the smart fan switches
  uint8_t duty;  // the stopped fan's duty register; 0: the first model's output bits
};

// Whichever way the program stops steering a fan it switched off, the fan runs at full duty and
// its row holds the user's limit for the rest of the run: hot sensors no longer switch it, its
// row never reads "Fan off", and a fan that then stops warns.
TEST(SmartFan, AFanTheProgramStoppedRunsForGoodOnceItNoLongerSteersIt) {
  const Unsteered cases[] = {
      {"the configuration dialog", sim::Model::ZR430, Leaves::ConfigDialog, 0, 1, 0x5B},
      {"a warning's Disable", sim::Model::ZR430, Leaves::WarningDisable, 0, 1, 0x5B},
      // The defaults watch neither this sensor nor its fan.
      {"Load Default", sim::Model::ZR420, Leaves::LoadDefault, 2, 2, 0x5F},
      {"a settings file at a start after a kill", sim::Model::ZR430, Leaves::SettingsFileAfterKill,
       0, 1, 0x5B},
      {"the first model's output bits", sim::Model::ZR410, Leaves::ConfigDialog, 0, 1, 0},
  };
  for (const Unsteered& c : cases) {
    SCOPED_TRACE(c.how);
    const int sensorItem = 12 + c.sensor;
    const int fanItem = 9 + c.row;
    auto s = std::make_unique<Started>(c.model);
    s->run.items.ItemEnabled[sensorItem] = 1;
    s->run.items.ItemEnabled[fanItem] = 1;
    if (c.leaves == Leaves::SettingsFileAfterKill) {
      // Saved while the sensor was not watched, then watched again without a save.
      s->run.items.ItemEnabled[sensorItem] = 0;
      s->window().Command4.Click();
      s->run.items.ItemEnabled[sensorItem] = 1;
    }
    if (c.leaves == Leaves::WarningDisable) {
      s->panel().updTempHiLimit[c.sensor].SetValue(40);  // 0 degrees: the cold sensor warns
    }
    s->Temperature(c.sensor, 10);  // below every first threshold and the first model's band
    s->Cycles(1);
    if (c.duty != 0) {
      ASSERT_EQ(s->Reg(0, c.duty), 0);
    } else {
      ASSERT_EQ(s->Reg(0, 0x4D) & 0x30, 0);
    }
    ASSERT_FALSE(s->panel().updFanLoLimit[c.row].enabled());

    frmvigilon* w = &s->window();
    switch (c.leaves) {
      case Leaves::ConfigDialog:
        w->Command5.Click();
        w->configDialog().IfLoaded()->chkEnable[sensorItem].UserClick();
        w->configDialog().IfLoaded()->cmdSelect[0].Click();
        break;
      case Leaves::WarningDisable:
        ASSERT_NE(w->warnings().Dialog(sensorItem), nullptr);
        w->warnings().Dialog(sensorItem)->Command[warnings::kDisable].Click();
        break;
      case Leaves::LoadDefault:
        w->Command3.Click();
        // The user watches the fan again, not its sensor.
        s->run.items.ItemEnabled[fanItem] = 1;
        w->RefreshPanelEnable();
        break;
      case Leaves::SettingsFileAfterKill: {
        // Killed: nothing of the program runs. The next start finds the fan stopped.
        const std::unique_ptr<Started> killed = std::move(s);
        s = std::make_unique<Started>(c.model, [&](VigilonSystem& next) {
          next.chip = killed->chip;
          next.files = killed->files;
        });
        w = &s->window();
        break;
      }
    }
    ASSERT_EQ(s->run.items.ItemEnabled[sensorItem], 0);
    ASSERT_EQ(s->run.items.ItemEnabled[fanItem], 1);

    s->Sensors([](sim::Sensors& in) { in.celsius = {110, 110, 110}; });
    s->Cycles(50);
    if (c.duty != 0) {
      EXPECT_EQ(s->Reg(0, c.duty), 255);
    } else {
      EXPECT_EQ(s->Reg(0, 0x4D) & 0x30, 0x20);
    }
    limits::LimitPanel& p = s->panel();
    const int16_t userLimit = s->run.items.FanLimitCount[c.row];
    EXPECT_TRUE(p.updFanLoLimit[c.row].enabled());
    EXPECT_EQ(p.updFanLoLimit[c.row].value(), 255 - userLimit);
    EXPECT_EQ(s->Reg(0, static_cast<uint8_t>(0x3B + c.row)), userLimit);
    EXPECT_NE(p.lblFanSpeed[c.row].caption(), "Fan off");

    s->Sensors([&](sim::Sensors& in) { in.rpm[static_cast<size_t>(c.row)] = 0; });
    s->Cycles(1);
    EXPECT_EQ(p.lblFanSpeed[c.row].caption(), "low_speed");
    EXPECT_NE(w->warnings().Dialog(fanItem), nullptr) << "a stopped fan warns";

    // Watched again, the fan is steered from the start: switched off below the threshold.
    s->Sensors([&](sim::Sensors& in) { in.celsius[static_cast<size_t>(c.sensor)] = 10; });
    s->run.items.ItemEnabled[sensorItem] = 1;
    s->Cycles(1);
    EXPECT_FALSE(p.updFanLoLimit[c.row].enabled());
    if (c.duty != 0) {
      EXPECT_EQ(s->Reg(0, c.duty), 0);
    }
  }
}

// The sensor leaves monitoring in the one interval after the smart fan restarted its fan, while
// the fan's row still accepts it stopped: the row and the chip's limit take the user's count
// back, and the fan stopping then warns.
TEST(SmartFan, AFanUnsteeredJustAfterItsRestartWarnsWhenItStops) {
  Started s(sim::Model::ZR420);
  s.run.items.ItemEnabled[9] = 1;
  s.run.items.ItemEnabled[12] = 1;
  s.Temperature(0, 13);  // below the first rise: switched off
  s.Cycles(1);
  s.Temperature(0, 14);  // at it: full duty, the row follows a cycle later
  s.Cycles(1);
  ASSERT_EQ(s.Reg(0, 0x5B), 255);
  ASSERT_EQ(s.Reg(0, 0x3B), 255) << "the row still accepts the fan stopped";

  frmvigilon& w = s.window();
  w.Command5.Click();
  w.configDialog().IfLoaded()->chkEnable[12].UserClick();
  w.configDialog().IfLoaded()->cmdSelect[0].Click();
  ASSERT_EQ(s.run.items.ItemEnabled[12], 0);
  const int16_t userLimit = s.run.items.FanLimitCount[0];
  EXPECT_EQ(s.Reg(0, 0x3B), userLimit);
  EXPECT_TRUE(s.panel().updFanLoLimit[0].enabled());

  s.Sensors([](sim::Sensors& in) { in.rpm[0] = 0; });
  s.Cycles(1);
  EXPECT_EQ(s.panel().lblFanSpeed[0].caption(), "low_speed");
  EXPECT_NE(w.warnings().Dialog(9), nullptr) << "a stopped fan warns";
  EXPECT_EQ(s.Reg(0, 0x3B), userLimit);
}

TEST(SmartFan, NoWayOutLeavesAFanStoppedAndANewStartHealsAHardKill) {
  Started s(sim::Model::ZR420);
  s.run.items.ItemEnabled[9] = 1;
  s.run.items.ItemEnabled[11] = 1;
  s.run.items.ItemEnabled[14] = 1;
  s.Temperature(0, 10);
  s.Temperature(2, 10);
  s.Cycles(1);
  ASSERT_EQ(s.Reg(0, 0x5B), 0);
  ASSERT_EQ(s.Reg(0, 0x5F), 0);

  // Killed: nothing of the program runs. The next start finds the fans stopped and runs them.
  VigilonSystem next(ChipOf(sim::Model::ZR420));
  next.chip = s.chip;
  ASSERT_EQ(next.Start(), startup::StartupOutcome::MainWindowShown);
  EXPECT_EQ(next.Reg(0, 0x5B), 255);
  EXPECT_EQ(next.Reg(0, 0x5F), 255);

  // Every way out of a run restores what it stopped, whatever the items' flags are by then;
  // here during a suspend's pause, where the chip no longer measures.
  s.window().DeliverPowerNotice(ui::PowerNotice::QuerySuspend);
  s.run.items.ItemEnabled.fill(0);
  s.run.fans.RestoreStoppedFans();
  EXPECT_EQ(s.Reg(0, 0x5B), 255);
  EXPECT_EQ(s.Reg(0, 0x5F), 255);
  // The next start takes none of the counts the stopped chip kept for the fans' verdict.
  VigilonSystem after(ChipOf(sim::Model::ZR420));
  after.chip = s.chip;
  ASSERT_EQ(after.Start(), startup::StartupOutcome::MainWindowShown);
  EXPECT_TRUE(after.panel().updFanLoLimit[0].enabled());
  EXPECT_TRUE(after.panel().updFanLoLimit[2].enabled());
  EXPECT_EQ(after.Reg(0, 0x3D), after.run.items.FanLimitCount[2]);
}

// The last words' writes, sent to a copy of the chip, leave its fans as the program's own
// give-back does, on each way a model stops a fan.
TEST(SmartFan, TheLastWordsRunEveryFanTheProgramStopped) {
  struct Case {
    sim::Model model;
    int sensor;
    double celsius;
  };
  for (const Case c : {Case{sim::Model::ZR420, 2, 10}, Case{sim::Model::ZR430, 0, 20},
                       Case{sim::Model::ZR410, 0, 59}}) {
    SCOPED_TRACE(sim::ModelName(c.model));
    Started s(c.model);
    chip::FanRestoreWrites kept;
    s.run.fans.OnFansSwitched([&](const chip::FanRestoreWrites& w) { kept = w; });
    for (int item : {9, 10, 11, 12 + c.sensor}) s.run.items.ItemEnabled[item] = 1;
    s.Temperature(c.sensor, c.celsius);
    s.Cycles(1);
    ASSERT_TRUE(s.run.fans.StoppedByProgram(1) || s.run.fans.StoppedByProgram(2) ||
                s.run.fans.StoppedByProgram(3));
    sim::ChipSim words = s.chip;
    for (uint8_t i = 0; i < kept.count; ++i) words.Out(kept.writes[i].port, kept.writes[i].value);
    s.run.fans.RestoreStoppedFans();
    for (uint8_t reg : {0x4D, 0x5A, 0x5B, 0x5E, 0x5F})
      EXPECT_EQ(words.Reg(0, reg), s.Reg(0, reg)) << std::hex << int{reg};
  }
}

// What the program's entry point installs: a run dying of an exception nobody caught gives its
// stopped fans back before the process ends. The chip's duty is shown by the handler that was
// there before, which the last words hand on to.
TEST(SmartFanDeathTest, AnUncaughtExceptionGivesTheStoppedFansBack) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        static Started* s = nullptr;
        s = new Started(sim::Model::ZR420);
        std::set_terminate([] {
          std::fprintf(stderr, "fan 3 duty %d\n", s->Reg(0, 0x5F));
          std::abort();
        });
        static platform::LastWords lastWords(
            [](uint16_t port, uint8_t value) { s->chip.Out(port, value); });
        s->run.fans.OnFansSwitched([](const chip::FanRestoreWrites& w) { lastWords.Keep(w); });
        s->run.items.ItemEnabled[14] = 1;
        s->run.items.ItemEnabled[11] = 1;
        s->Temperature(2, 10);
        s->Cycles(1);
        std::fprintf(stderr, "fan 3 duty %d before\n", s->Reg(0, 0x5F));
        // An exception nobody catches: it leaves its thread, which ends in std::terminate.
        std::thread([] { throw std::runtime_error("a fault nobody caught"); }).join();
      },
      "fan 3 duty 0 before\nfan 3 duty 255");
}

}  // namespace
}  // namespace vigilon
