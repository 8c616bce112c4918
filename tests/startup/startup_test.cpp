// Start-up against the chip simulator: detection paths, the start-up failures and what the
// chip holds when the main window is about to open.
#include "startup/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <optional>
#include <tuple>
#include <vector>

#include "chip/sim_port_io.h"
#include "items/settings_record.h"
#include "monitor/frmvigilon.h"
#include "platform/fake_platform.h"
#include "sim/chip_sim.h"
#include "support/memory_files.h"
#include "support/vigilon_system.h"
#include "ui/headless_runtime.h"

namespace vigilon::startup {
namespace {

using platform::MsgBoxButtons;
using sim::PortAccess;

struct System {
  explicit System(sim::Config config) : chip(config), io(chip), run(io, platform, files) {}
  StartupOutcome Start() {
    return Main(run, [this](RunState&) { ++mainWindowShown; });
  }
  // Whether the program wrote a Super-I/O configuration register (index write, then data write).
  bool WroteSuperIoReg(uint8_t reg) const {
    const auto& log = chip.Log();
    for (size_t i = 0; i + 1 < log.size(); ++i)
      if (log[i] == PortAccess{PortAccess::Kind::Out, 0x2E, reg, false} &&
          log[i + 1].kind == PortAccess::Kind::Out && log[i + 1].port == 0x2F)
        return true;
    return false;
  }
  sim::ChipSim chip;
  chip::SimPortIo io;
  platform::FakePlatform platform;
  items::MemoryFiles files;
  RunState run;
  int mainWindowShown = 0;
};

sim::Config Healthy(sim::Model model = sim::Model::ZR420) {
  sim::Config config;
  config.model = model;
  return config;
}

TEST(StartupDetection, FindsTheMonitorThroughEachWay) {
  struct Case {
    const char* name;
    uint16_t superIo;
    uint16_t base;
    uint16_t wantSuperIo;
    uint16_t wantMonitor;
  };
  const Case cases[] = {
      {"device at 0x2E", 0x2E, 0x290, 0x2E, 0x295},
      {"device only at 0x4E", 0x4E, 0x290, 0x4E, 0x295},
      {"base with low bits set", 0x2E, 0x297, 0x2E, 0x295},
      {"base elsewhere", 0x4E, 0x0A10, 0x4E, 0x0A15},
      {"no Super-I/O device", 0, 0x290, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Config config = Healthy();
    config.superIoPort = c.superIo;
    config.monitorBase = c.base;
    System s(config);
    EXPECT_EQ(s.Start(), StartupOutcome::MainWindowShown);
    EXPECT_EQ(s.run.chip.SuperIoPort(), c.wantSuperIo);
    EXPECT_EQ(s.run.chip.MonitorPort(), c.wantMonitor);
    EXPECT_EQ(s.run.ChipId, 0x30);
    EXPECT_EQ(s.mainWindowShown, 1);
    EXPECT_TRUE(s.platform.msgBoxes.empty());
    for (const PortAccess& a : s.chip.Log()) EXPECT_FALSE(a.refused) << "port " << a.port;
  }
}

TEST(StartupDetection, ProbesEachConfigurationPortWithItsOwnEntryKey) {
  sim::Config config = Healthy();
  config.superIoPort = 0x4E;
  System s(config);
  s.Start();
  const auto& log = s.chip.Log();
  // The first probe knocks on 0x2E, the second on 0x4E itself.
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], (PortAccess{PortAccess::Kind::Out, 0x2E, 0x87, false}));
  EXPECT_EQ(log[1], (PortAccess{PortAccess::Kind::Out, 0x2E, 0x87, false}));
  const auto key4E =
      std::find(log.begin(), log.end(), PortAccess{PortAccess::Kind::Out, 0x4E, 0x87, false});
  ASSERT_NE(key4E, log.end());
  EXPECT_EQ(*(key4E + 1), (PortAccess{PortAccess::Kind::Out, 0x4E, 0x87, false}));
}

// Another program reading the same device between the program's holds of the bus: its own
// entry...exit sequence each time the bus comes free.
class OtherProgramBetweenHolds final : public chip::BusLock {
 public:
  explicit OtherProgramBetweenHolds(sim::ChipSim& chip) : chip_(chip) {}
  bool Acquire(uint32_t) override { return true; }
  void Release() override {
    for (uint8_t key : {0x87, 0x87, 0x07, 0xAA}) chip_.Out(0x2E, key);
  }

 private:
  sim::ChipSim& chip_;
};

TEST(StartupDetection, AnotherProgramsSequenceBetweenHoldsSplitsNoneOfOurs) {
  sim::Config config = Healthy();
  config.monitorActive = false;
  System s(config);
  OtherProgramBetweenHolds other(s.chip);
  s.run.chip.ShareBus(&other);
  EXPECT_EQ(s.Start(), StartupOutcome::MainWindowShown);
  EXPECT_EQ(s.run.chip.MonitorPort(), 0x295);
  EXPECT_EQ(s.chip.SuperIoReg(0x0B, 0x30), 1);
  s.run.chip.RestoreMonitorDevice(s.run.SuperIoActivation);
  EXPECT_EQ(s.chip.SuperIoReg(0x0B, 0x30), 0) << "handed back after the other's exit key";
}

TEST(StartupDetection, RevisionWithoutBit4IsNotAccepted) {
  sim::Config config = Healthy();
  config.superIoRevision = 0x02;
  System s(config);
  s.Start();
  EXPECT_EQ(s.run.chip.SuperIoPort(), 0);
  EXPECT_EQ(s.run.chip.MonitorPort(), 0);
}

TEST(StartupDetection, InactiveMonitorDeviceIsActivatedAndRemembered) {
  sim::Config config = Healthy();
  config.monitorActive = false;
  System s(config);
  EXPECT_EQ(s.Start(), StartupOutcome::MainWindowShown);
  EXPECT_EQ(s.run.SuperIoActivation, 0);
  EXPECT_EQ(s.chip.SuperIoReg(0x0B, 0x30), 1);
  EXPECT_TRUE(s.WroteSuperIoReg(0x30));
}

TEST(StartupDetection, ActiveMonitorDeviceIsLeftAlone) {
  System s(Healthy());
  s.Start();
  EXPECT_EQ(s.run.SuperIoActivation, 1);
  EXPECT_FALSE(s.WroteSuperIoReg(0x30));
}

TEST(StartupFailures, EachEndsWithItsMessageBeforeAnyWindow) {
  struct Case {
    const char* name;
    void (*configure)(sim::Config&);
    StartupOutcome outcome;
    const char* message;
  };
  const Case cases[] = {
      {"driver load fails", [](sim::Config& c) { c.loadFails = true; },
       StartupOutcome::DriverLoadFailed, "LOAD Device Driver fail!"},
      {"bus initialisation fails", [](sim::Config& c) { c.busInitFails = true; },
       StartupOutcome::BusInitFailed, "Initialize Bus Fail!"},
      {"no chip answers", [](sim::Config& c) { c.noChip = true; }, StartupOutcome::ChipMissing,
       "Norvane Hardware Monitor chip does not exist!"},
      {"vendor halves swapped", [](sim::Config& c) { c.vendorId = 0xA35C; },
       StartupOutcome::ChipMissing, "Norvane Hardware Monitor chip does not exist!"},
      {"another vendor", [](sim::Config& c) { c.vendorId = 0x1234; }, StartupOutcome::ChipMissing,
       "Norvane Hardware Monitor chip does not exist!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Config config = Healthy();
    c.configure(config);
    System s(config);
    EXPECT_EQ(s.Start(), c.outcome);
    EXPECT_EQ(s.mainWindowShown, 0);
    ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
    EXPECT_EQ(s.platform.msgBoxes[0].text, c.message);
    EXPECT_EQ(s.platform.msgBoxes[0].caption, "");  // the application title
    EXPECT_EQ(s.platform.msgBoxes[0].buttons, MsgBoxButtons::Ok);
  }
}

TEST(StartupFailures, ABaseNoMonitorCanHaveIsNoChipAndItsPortsAreNotTouched) {
  // Zero, among the mainboard's own ports, a pair over the first configuration port, and all
  // ones (what a bus where nothing answers reads).
  for (uint16_t base : {0x0000, 0x0060, 0x0028, 0x00FF, 0xFFFF}) {
    SCOPED_TRACE(base);
    sim::Config config = Healthy();
    config.monitorBase = base;
    config.monitorActive = false;
    System s(config);
    EXPECT_EQ(s.Start(), StartupOutcome::ChipMissing);
    ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
    EXPECT_EQ(s.platform.msgBoxes[0].text, "Norvane Hardware Monitor chip does not exist!");
    const uint16_t index = static_cast<uint16_t>((base & ~7u) + 5);
    for (const PortAccess& access : s.chip.Log())
      EXPECT_TRUE(access.port == 0x2E || access.port == 0x2F || access.port == 0x4E ||
                  access.port == 0x4F)
          << "port 0x" << std::hex << access.port << " (the pair would be 0x" << index << ")";
    EXPECT_EQ(s.chip.SuperIoReg(0x0B, 0x30), 0) << "the device goes back as it was found";
  }
}

TEST(StartupFailures, DriverLoadFailureTouchesNoPort) {
  sim::Config config = Healthy();
  config.loadFails = true;
  System s(config);
  s.Start();
  EXPECT_TRUE(s.chip.Log().empty());
}

TEST(StartupInstance, ACopyAlreadyRunningEndsTheStartBeforeTheDriver) {
  using Verdict = platform::InstanceCheck::Verdict;
  struct Case {
    const char* name;
    const char* heldMessage;  // empty: the copy runs in this session
    platform::FirstCopy firstCopy;
    StartupOutcome outcome;
    const char* message;  // the one box shown, or empty
  };
  const Case cases[] = {
      {"a copy in this session that comes forward", "", platform::FirstCopy::CameForward,
       StartupOutcome::SecondInstance, ""},
      {"a copy in this session that does not answer", "", platform::FirstCopy::NoAnswer,
       StartupOutcome::FirstCopySilent, startup::kMsgFirstCopySilent},
      {"the name held elsewhere", "held", platform::FirstCopy::CameForward,
       StartupOutcome::InstanceNameHeld, "held"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    System s(Healthy());
    s.platform.instance = {Verdict::AnotherCopyRuns, c.heldMessage};
    s.platform.firstCopy = c.firstCopy;
    EXPECT_EQ(s.Start(), c.outcome);
    // Only a copy in this session is asked; one elsewhere has no window here to show.
    EXPECT_EQ(s.platform.firstCopyAsks, *c.heldMessage == '\0' ? 1 : 0);
    if (*c.message == '\0') {
      EXPECT_TRUE(s.platform.msgBoxes.empty());
    } else {
      ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
      EXPECT_EQ(s.platform.msgBoxes[0].text, c.message);
      EXPECT_EQ(s.platform.msgBoxes[0].caption, "");  // the application title
      EXPECT_EQ(s.platform.msgBoxes[0].buttons, MsgBoxButtons::Ok);
    }
    EXPECT_TRUE(s.chip.Log().empty());
    EXPECT_EQ(s.mainWindowShown, 0);
  }
}

// An earlier run killed with the fans stopped: every message of the start that waits for the
// user waits with them running.
TEST(StartupInstance, EveryMessageOfTheStartWaitsWithTheFansRunning) {
  for (const bool cannotTell : {true, false}) {
    SCOPED_TRACE(cannotTell ? "no marker to tell" : "a damaged settings file");
    System s(Healthy());
    s.chip.PokeReg(0, 0x5B, 0);
    s.chip.PokeReg(0, 0x5F, 0);
    if (cannotTell) {
      s.platform.instance = {platform::InstanceCheck::Verdict::CannotTell, "cannot tell"};
    } else {
      s.files.files["/vigilon/zr420.dat"] = std::vector<uint8_t>(100, 0);
    }
    std::vector<int> duties;
    s.platform.whileMsgBoxShown = [&](const std::string&) {
      duties = {s.chip.Reg(0, 0x5B), s.chip.Reg(0, 0x5F)};
    };
    EXPECT_EQ(s.Start(), StartupOutcome::MainWindowShown);
    ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
    if (cannotTell) {
      EXPECT_EQ(s.platform.msgBoxes[0].text, "cannot tell");
    }
    EXPECT_EQ(duties, (std::vector<int>{255, 255}));
    EXPECT_EQ(s.mainWindowShown, 1);
  }
}

TEST(StartupFailures, UnsupportedChipIsNamedAndTheDeviceHandedBack) {
  sim::Config config = Healthy();
  config.chipId = 0x77;
  config.monitorActive = false;
  System s(config);
  const uint8_t fanControl = s.chip.Reg(0, 0x4D), control2 = s.chip.Reg(0, 0x5D);
  EXPECT_EQ(s.Start(), StartupOutcome::UnsupportedChip);
  ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
  EXPECT_NE(s.platform.msgBoxes[0].text.find("0x77"), std::string::npos);
  EXPECT_EQ(s.chip.SuperIoReg(0x0B, 0x30), 0);
  EXPECT_EQ(s.mainWindowShown, 0);
  // The start-up preparation of the chip never ran.
  EXPECT_EQ(s.chip.Reg(0, 0x4D), fanControl);
  EXPECT_EQ(s.chip.Reg(0, 0x5D), control2);
}

TEST(StartupChip, PreparesControlRegistersBeforeTheMainWindow) {
  sim::Config config = Healthy();
  System s(config);
  s.chip.PokeReg(0, 0x4D, 0x15);
  s.chip.PokeReg(0, 0x5D, 0xFF);
  s.Start();
  EXPECT_EQ(s.chip.Reg(0, 0x4D), 0x95);
  EXPECT_EQ(s.chip.Reg(0, 0x5D), 0xF7);
  EXPECT_EQ(s.run.HelpFile, "/vigilon/zr410.hlp");
}

TEST(StartupItems, EachModelIsIdentified) {
  const std::pair<sim::Model, uint8_t> models[] = {{sim::Model::ZR410, 0x10},
                                                   {sim::Model::ZR420, 0x30},
                                                   {sim::Model::ZR430, 0x40},
                                                   {sim::Model::ZR460, 0x21}};
  for (auto [model, id] : models) {
    System s(Healthy(model));
    EXPECT_EQ(s.Start(), StartupOutcome::MainWindowShown);
    EXPECT_EQ(s.run.ChipId, id);
    EXPECT_EQ(s.run.VendorId, 0x5CA3u);
  }
}

}  // namespace
}  // namespace vigilon::startup

namespace vigilon {
namespace {

TEST(StartupSystem, ZR420ReachesItsMainWindowHeadless) {
  sim::ChipSim chip;
  chip::SimPortIo io(chip);
  platform::FakePlatform platform;
  items::MemoryFiles files;
  RunState run(io, platform, files);
  ui::HeadlessRuntime runtime(platform);
  std::optional<ui::FormSlot<frmvigilon, RunState&>> mainWindow;
  const auto outcome = startup::Main(run, [&](RunState& state) {
    mainWindow.emplace(runtime, state);
    mainWindow->Get().Show();
  });
  ASSERT_EQ(outcome, startup::StartupOutcome::MainWindowShown);
  ASSERT_TRUE(mainWindow && mainWindow->Loaded());
  EXPECT_TRUE(mainWindow->Get().visible());
  EXPECT_EQ(mainWindow->Get().caption(), "Norvane Vigilon Ver 2.50");
  EXPECT_TRUE(platform.msgBoxes.empty());
}

}  // namespace
}  // namespace vigilon

namespace vigilon::startup {
namespace {

// A settings file as the program would save it for `chipId`, after `edit` changed the tables.
std::vector<uint8_t> SavedSettings(uint8_t chipId,
                                   const std::function<void(items::ItemTables&)>& edit) {
  items::ItemTables tables;
  const items::ItemAvailability availability =
      items::ItemAvailabilityFor(*chip::ChipTraitsFor(chipId));
  tables.ItemPresent = availability.ItemPresent;
  tables.ItemBeepCapable = availability.ItemBeepCapable;
  items::LoadDefaultLimits(tables);
  edit(tables);
  items::SettingsRecord record{};
  items::StoreSettingsRecord(tables, record);
  const auto bytes = items::EncodeSettingsRecord(record);
  return {bytes.begin(), bytes.end()};
}

sim::Config WithVid(uint8_t vid) {
  sim::Config config;
  config.vid = vid;
  return config;
}

// What each model has, as the program shows and programs it: from a settings file that watches
// and beeps for every item, the items the chip lacks get no row and no configuration boxes, and
// only the items with a beep option get their beep bit and their Beep box.
// Puts one item's input far outside its default limits: a dead rail, a stopped fan, a hot sensor,
// an open case.
void DriveOutOfLimits(sim::Sensors& in, int item) {
  if (item < 9) {
    in.volts[item] = 0;
  } else if (item < 12) {
    in.rpm[item - 9] = 0;
  } else if (item < 15) {
    in.celsius[item - 12] = 120;
  } else {
    in.chassisOpen = true;
  }
}

TEST(StartupItems, EachModelShowsAndBeepsOnlyTheItemsItHas) {
  struct Case {
    sim::Model model;
    const char* file;
    std::vector<int> absent;
    std::vector<int> noBeep;
  };
  const Case cases[] = {
      {sim::Model::ZR410, "zr410.dat", {7, 8}, {7, 8, 12, 13, 14}},
      {sim::Model::ZR420, "zr420.dat", {}, {}},
      {sim::Model::ZR430, "zr430.dat", {1, 6, 7, 8, 11, 14, 15}, {1, 6, 7, 8, 11, 14, 15}},
      {sim::Model::ZR460, "ZR460.dat", {1, 6}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(sim::ModelName(c.model));
    test::VigilonSystem s(test::ChipOf(c.model));
    s.files.files[std::string("/vigilon/") + c.file] =
        SavedSettings(sim::ModelChipId(c.model), [](items::ItemTables& t) {
          t.ItemEnabled.fill(1);
          t.ItemBeep.fill(1);
          t.ItemWErr1.fill(1);
          t.ItemWErr3.fill(0);
        });
    ASSERT_EQ(s.Start(), StartupOutcome::MainWindowShown);
    const sim::Config healthy = s.chip.config();
    s.window().Command5.Click();
    config::frmConfig* f = s.window().configDialog().IfLoaded();
    ASSERT_NE(f, nullptr);
    const limits::LimitPanel& p = s.panel();
    // The chassis goes last: its latch outlasts the open case.
    for (int item = 0; item < items::kItemCount; ++item) {
      SCOPED_TRACE(item);
      const bool has = std::count(c.absent.begin(), c.absent.end(), item) == 0;
      const bool beeper = has && std::count(c.noBeep.begin(), c.noBeep.end(), item) == 0;
      const ui::Label& row = item < 9    ? p.lblItemName[item]
                             : item < 12 ? p.lblFanItem[item - 9]
                             : item < 15 ? p.lblTempItem[item - 12]
                                         : p.lblCaseOpen;
      EXPECT_EQ(row.visible(), has);
      EXPECT_EQ(f->lblItemName[item].visible(), has);
      EXPECT_EQ(f->chkEnable[item].visible(), has);
      EXPECT_EQ(f->chkBeep[item].visible(), beeper);
      if (!has) continue;

      // The chip alarms for the item by itself; its beeper sounds only where the item beeps.
      ASSERT_FALSE(s.chip.Beeping());
      sim::Config alarming = healthy;
      DriveOutOfLimits(alarming.sensors, item);
      s.chip.Reconfigure(alarming);
      ASSERT_TRUE(s.chip.ItemAlarm(item));
      EXPECT_EQ(s.chip.Beeping(), beeper);
      if (beeper) {
        f->chkBeep[item].SetValue(0);
        EXPECT_FALSE(s.chip.Beeping()) << "its beep switched off";
        f->chkBeep[item].SetValue(1);
        EXPECT_TRUE(s.chip.Beeping()) << "and on again";
      }
      s.chip.Reconfigure(healthy);
    }
  }
}

TEST(StartupSettings, MissingFileGivesTheModelsDefaultsAndTheVidLimits) {
  sim::Config config = WithVid(0);
  config.model = sim::Model::ZR430;
  System s(config);
  ASSERT_EQ(s.Start(), StartupOutcome::MainWindowShown);
  const items::ItemTables& t = s.run.items;
  for (int item : {1, 6, 7, 8, 11, 14, 15}) EXPECT_EQ(t.ItemEnabled[item], 0) << item;
  EXPECT_EQ(t.ItemEnabled[0], 1);
  EXPECT_EQ(t.PollInterval, 4);
  // The defaults ask for the processor's own core voltage: VID code 0 is 2.05 V.
  EXPECT_FLOAT_EQ(t.VoltLowLimit[0], 1.85f);
  EXPECT_FLOAT_EQ(t.VoltHighLimit[0], 2.25f);
  EXPECT_EQ(t.VidDefaultsPending, items::kFalse);
  EXPECT_TRUE(s.files.files.empty()) << "nothing is saved at start";
  EXPECT_TRUE(s.platform.msgBoxes.empty());
}

TEST(StartupSettings, SavedLimitsAreKeptUnlessTheFileAsksForTheVid) {
  struct Case {
    const char* name;
    int16_t vidPending;
    uint8_t vid;
    float wantLow, wantHigh;
  };
  const Case cases[] = {
      {"user's limits", items::kFalse, 16, 1.5f, 1.9f},
      {"VID code 16", items::kTrue, 16, 3.3f, 3.7f},
      {"VID code 31", items::kTrue, 31, 1.2f, 3.9f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    System s(WithVid(c.vid));
    s.files.files["/vigilon/zr420.dat"] = SavedSettings(0x30, [&](items::ItemTables& t) {
      t.VoltLowLimit[0] = 1.5f;
      t.VoltHighLimit[0] = 1.9f;
      t.VidDefaultsPending = c.vidPending;
      t.PollInterval = 7;
    });
    ASSERT_EQ(s.Start(), StartupOutcome::MainWindowShown);
    EXPECT_FLOAT_EQ(s.run.items.VoltLowLimit[0], c.wantLow);
    EXPECT_FLOAT_EQ(s.run.items.VoltHighLimit[0], c.wantHigh);
    EXPECT_EQ(s.run.items.VidDefaultsPending, items::kFalse);
    EXPECT_EQ(s.run.items.PollInterval, 7);
    EXPECT_EQ(s.files.writes(), 0);
  }
}

TEST(StartupSettings, EachModelReadsItsOwnFile) {
  const std::tuple<sim::Model, const char*> models[] = {{sim::Model::ZR410, "zr410.dat"},
                                                        {sim::Model::ZR420, "zr420.dat"},
                                                        {sim::Model::ZR430, "zr430.dat"},
                                                        {sim::Model::ZR460, "ZR460.dat"}};
  for (auto [model, file] : models) {
    SCOPED_TRACE(file);
    sim::Config config;
    config.model = model;
    System s(config);
    const uint8_t chipId = sim::ModelChipId(model);
    s.files.files[std::string("/vigilon/") + file] =
        SavedSettings(chipId, [](items::ItemTables& t) {
          t.PollInterval = 9;
          t.VidDefaultsPending = items::kFalse;
        });
    ASSERT_EQ(s.Start(), StartupOutcome::MainWindowShown);
    EXPECT_EQ(s.run.items.PollInterval, 9);
  }
}

// Others may change the program's files: said once, before the main window, and the start
// goes on.
TEST(StartupSystem, ProgramFilesOthersMayChangeAreToldOnceAndStartGoesOn) {
  System s(Healthy());
  s.platform.filesWarning = "Other users of this computer may change Vigilon's program files";
  int windowsWhileTold = -1;
  s.platform.whileMsgBoxShown = [&](const std::string&) { windowsWhileTold = s.mainWindowShown; };
  ASSERT_EQ(s.Start(), StartupOutcome::MainWindowShown);
  ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
  EXPECT_EQ(s.platform.msgBoxes[0].text, s.platform.filesWarning);
  EXPECT_EQ(windowsWhileTold, 0);
}

TEST(StartupSettings, AFileNotUsedAsItWasIsToldOnceBeforeTheMainWindow) {
  std::vector<uint8_t> oneShort = SavedSettings(0x30, [](items::ItemTables& t) {
    t.PollInterval = 17;
    t.VidDefaultsPending = items::kFalse;
  });
  oneShort.pop_back();
  const std::vector<uint8_t> fourteenRepairs = SavedSettings(0x30, [](items::ItemTables& t) {
    t.FanDivisor = {1, 1, 1, 0};
    t.PollInterval = 0;
    t.TempHyst = {200, 200, 200, 0};  // clamped to 127, then put below the limit: one line each
    for (int i = 0; i < 7; ++i) t.VoltFactor[i] = std::numeric_limits<float>::quiet_NaN();
  });
  struct Case {
    const char* name;
    std::optional<std::vector<uint8_t>> file;
    bool locked, folder;
    std::vector<std::string> says;
  };
  const Case cases[] = {
      {"one byte short",
       oneShort,
       false,
       false,
       {"The settings file could not be used as it is:\n/vigilon/zr420.dat\n\n",
        "It is too short: 325 of 326 bytes.", "The defaults are in use instead.",
        "The file stays as it is until you save. Saving first keeps its old contents beside it "
        "as \"zr420.dat.damaged\"."}},
      {"locked by another program",
       oneShort,
       true,
       false,
       {"/vigilon/zr420.dat", "It could not be read: sharing violation.",
        "The defaults are in use instead.", "only once it can be read"}},
      {"a folder in its place",
       std::nullopt,
       false,
       true,
       {"/vigilon/zr420.dat", "A folder is in its place.", "The defaults are in use instead."}},
      {"fourteen values repaired",
       fourteenRepairs,
       false,
       false,
       {"/vigilon/zr420.dat",
        "FanDivisor(0) was 1, now 8 (the chip counts every fan with divisor 8)",
        "TempHyst(0) was 200, now 60 (at or above its limit)", "    and 2 more\n",
        "The repaired values are in use instead.", "\"zr420.dat.damaged\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    System s(Healthy());
    const std::string path = "/vigilon/zr420.dat";
    if (c.file) s.files.files[path] = *c.file;
    if (c.locked) s.files.unreadable.insert(path);
    if (c.folder) s.files.folders.insert(path);
    int windowsWhileTold = -1;
    s.platform.whileMsgBoxShown = [&](const std::string&) { windowsWhileTold = s.mainWindowShown; };
    ASSERT_EQ(s.Start(), StartupOutcome::MainWindowShown);
    ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
    const auto& box = s.platform.msgBoxes[0];
    for (const std::string& part : c.says)
      EXPECT_NE(box.text.find(part), std::string::npos) << part << "\nin:\n" << box.text;
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(box.buttons, MsgBoxButtons::Ok);
    EXPECT_EQ(windowsWhileTold, 0) << "the message comes before the main window";
    EXPECT_EQ(s.files.writes(), 0) << "the file stays as it is";
    if (c.name == std::string("fourteen values repaired")) {
      // A dozen repair lines, then the count of the rest.
      int lines = 0;
      for (std::size_t at = box.text.find(", now "); at != std::string::npos;
           at = box.text.find(", now ", at + 1))
        ++lines;
      EXPECT_EQ(lines, 12) << box.text;
      EXPECT_EQ(s.run.items.FanDivisor[2], 8);
    } else {
      EXPECT_EQ(s.run.items.PollInterval, 4);
    }
  }
}

}  // namespace
}  // namespace vigilon::startup
