// The monitoring configuration dialog headless over the chip simulator: what each box does to
// the item flags and the beep registers, Cancel, the tabs, the chassis row and the warnings'
// Disable.
#include "config/frmconfig.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "chip/sim_port_io.h"
#include "platform/fake_platform.h"
#include "sim/chip_sim.h"
#include "support/bank_writes.h"
#include "support/memory_files.h"
#include "ui/headless_runtime.h"

namespace vigilon::config {
namespace {

sim::Config MonitorAtPortsZeroAndOne(sim::Model model) {
  sim::Config c;
  c.model = model;
  c.superIoPort = 0;
  return c;
}

// Stands in for the main window: the program ends when its last form goes.
class HostForm : public ui::Form {
 public:
  explicit HostForm(ui::Runtime& runtime) : ui::Form(runtime, ui::FormArgs("frmHost", "Host")) {}
  ~HostForm() override { Discard(); }
};

// One run over the simulator with the model's defaults, the main window's and the warnings'
// hooks counted, and the dialog's owner in place.
struct Bench {
  explicit Bench(sim::Model model = sim::Model::ZR420)
      : sim(MonitorAtPortsZeroAndOne(model)), io(sim), runtime(platform), run(io, platform, files) {
    sim.InitialBus(1, 0x5A, 0x92, 0x90);
    run.chip.access().MonitorPort = 0;
    run.ChipId = sim::ModelChipId(model);
    run.chip.SetModel(*chip::ChipTraitsFor(run.ChipId));
    const items::ItemAvailability available = items::ItemAvailabilityFor(run.traits());
    run.items.ItemPresent = available.ItemPresent;
    run.items.ItemBeepCapable = available.ItemBeepCapable;
    items::LoadDefaultLimits(run.items);
    run.chip.ApplyBeepSettings(run.items.ItemEnabled, run.items.ItemBeep);  // as the main window's load
    run.hooks.RefreshPanelEnable = [this] { ++refreshes; };
    run.hooks.CloseWarning = [this](int item) { closedWarnings.push_back(item); };
    host.emplace(runtime);
    host->Get();
    dialog.emplace(runtime, run);
  }
  frmConfig& Open() {
    dialog->Show();
    return *dialog->IfLoaded();
  }
  bool Beeps(uint8_t reg, uint8_t mask, int bank = 0) const {
    return (sim.Reg(bank, reg) & mask) != 0;
  }
  // Enable, High, Low, Beep.
  std::vector<uint8_t> Flags(int item) const {
    const items::ItemTables& t = run.items;
    return {t.ItemEnabled[item], t.ItemWErr1[item], t.ItemWErr3[item], t.ItemBeep[item]};
  }

  sim::ChipSim sim;
  chip::SimPortIo io;
  platform::FakePlatform platform;
  items::MemoryFiles files;
  ui::HeadlessRuntime runtime;
  RunState run;
  std::optional<ui::FormSlot<HostForm>> host;
  std::optional<ConfigDialog> dialog;
  int refreshes = 0;
  std::vector<int> closedWarnings;
};

using Bytes = std::vector<uint8_t>;

TEST(ConfigSensitivity, LowAndHighAreAlwaysOppositeAndStoredAtOnce) {
  Bench b;
  frmConfig& f = b.Open();
  EXPECT_EQ(f.caption(), "Monitoring Config.");
  EXPECT_TRUE(f.visible());
  EXPECT_TRUE(f.ControlIdCollisions().empty());
  f.chkWErr3[3].UserClick();
  EXPECT_EQ(f.chkWErr1[3].value(), 0);
  EXPECT_EQ(b.Flags(3), (Bytes{1, 0, 1, 1}));
  f.chkWErr3[3].UserClick();
  EXPECT_EQ(b.Flags(3), (Bytes{1, 1, 0, 1}));
  f.chkWErr1[3].UserClick();
  EXPECT_EQ(b.Flags(3), (Bytes{1, 0, 1, 1}));
}

TEST(ConfigBeep, BeepRegistersFollowEveryClick) {
  Bench b;
  frmConfig& f = b.Open();
  ASSERT_TRUE(b.Beeps(0x56, 0x08));  // item 3
  f.chkBeep[3].UserClick();
  EXPECT_EQ(b.run.items.ItemBeep[3], 0);
  EXPECT_FALSE(b.Beeps(0x56, 0x08));
  ASSERT_TRUE(b.Beeps(0x53, 0x01, 4));  // item 7, in the extra register
  f.chkBeep[7].UserClick();
  EXPECT_FALSE(b.Beeps(0x53, 0x01, 4));
  f.chkBeep[7].UserClick();
  EXPECT_TRUE(b.Beeps(0x53, 0x01, 4));
  EXPECT_TRUE(b.Beeps(0x57, 0x10));  // the chassis keeps beeping throughout
}

TEST(ConfigEnable, ClearingHidesAndClosesTickingBringsTheOptionsBack) {
  Bench b;
  frmConfig& f = b.Open();
  f.chkWErr3[10].UserClick();  // Low Sensitive, beep on
  b.closedWarnings.clear();    // the load closes those of the items that are off
  const int refreshesBefore = b.refreshes;
  f.chkEnable[10].UserClick();
  EXPECT_FALSE(f.chkWErr1[10].visible() || f.chkWErr3[10].visible() || f.chkBeep[10].visible());
  EXPECT_EQ(b.closedWarnings, (std::vector<int>{10}));
  EXPECT_EQ(b.refreshes, refreshesBefore + 1);
  EXPECT_EQ(b.Flags(10), (Bytes{0, 1, 0, 0}));
  EXPECT_FALSE(b.Beeps(0x56, 0x80));
  f.chkEnable[10].UserClick();
  EXPECT_TRUE(f.chkWErr1[10].visible() && f.chkWErr3[10].visible() && f.chkBeep[10].visible());
  EXPECT_EQ(b.Flags(10), (Bytes{1, 0, 1, 1}));
  EXPECT_TRUE(b.Beeps(0x56, 0x80));
}

TEST(ConfigEnable, AnItemTheChipCannotBeepForIsNeverOfferedItsBeep) {
  Bench b(sim::Model::ZR410);  // the temperatures have no beep here
  frmConfig& f = b.Open();
  for (int round = 0; round < 2; ++round) {
    f.chkEnable[14].UserClick();
    EXPECT_FALSE(f.chkBeep[14].visible());
    EXPECT_EQ(b.run.items.ItemBeep[14], 0);
  }
}

TEST(ConfigCancel, PutsBackTheFlagsOfTheLastOpening) {
  Bench b;
  // A row that is off, with options of its own that the opening shows as a cleared row's.
  b.run.items.ItemWErr1[9] = 0;
  b.run.items.ItemWErr3[9] = 1;
  b.run.items.ItemBeep[9] = 1;
  const items::ItemTables first = b.run.items;
  frmConfig& f = b.Open();
  f.chkWErr3[2].UserClick();
  f.cmdSelect[1].Click();
  EXPECT_EQ(b.run.items.ItemWErr1, first.ItemWErr1) << "the opening's own changes go too";
  EXPECT_EQ(b.run.items.ItemWErr3, first.ItemWErr3);
  EXPECT_EQ(b.run.items.ItemBeep, first.ItemBeep);

  b.Open().chkWErr3[2].UserClick();
  b.dialog->IfLoaded()->cmdSelect[0].Click();
  EXPECT_EQ(b.dialog->IfLoaded(), nullptr);
  const items::ItemTables kept = b.run.items;
  frmConfig& again = b.Open();
  again.chkEnable[0].UserClick();
  again.chkBeep[4].UserClick();
  again.chkEnable[9].UserClick();
  again.chkEnable[15].UserClick();
  const int refreshesBefore = b.refreshes;
  again.cmdSelect[1].Click();
  EXPECT_EQ(b.run.items.ItemEnabled, kept.ItemEnabled);
  EXPECT_EQ(b.run.items.ItemWErr1, kept.ItemWErr1);
  EXPECT_EQ(b.run.items.ItemWErr3, kept.ItemWErr3);
  EXPECT_EQ(b.run.items.ItemBeep, kept.ItemBeep);
  EXPECT_EQ(b.run.items.ItemWErr3[2], 1);  // from the earlier OK
  EXPECT_EQ(b.refreshes, refreshesBefore + 1);
  EXPECT_TRUE(b.Beeps(0x56, 0x01) && b.Beeps(0x57, 0x01) && !b.Beeps(0x56, 0x40));
  EXPECT_EQ(b.dialog->IfLoaded(), nullptr);
}

TEST(ConfigCancel, ClosingByTheCloseBoxKeepsTheChanges) {
  Bench b;
  b.Open().chkBeep[12].UserClick();
  b.dialog->IfLoaded()->RequestClose(ui::UnloadMode::ControlMenu);
  EXPECT_EQ(b.dialog->IfLoaded(), nullptr);
  EXPECT_EQ(b.run.items.ItemBeep[12], 0);
}

TEST(ConfigLoad, DisabledItemOpensAsAClearedRowAndCancelRestoresItsOptions) {
  Bench b;
  b.run.items.ItemEnabled[4] = 0;
  b.run.items.ItemWErr1[4] = 0;
  b.run.items.ItemWErr3[4] = 1;
  frmConfig& f = b.Open();
  EXPECT_EQ(b.Flags(4), (Bytes{0, 1, 0, 0}));
  EXPECT_FALSE(f.chkBeep[4].visible());
  EXPECT_TRUE(f.chkEnable[4].visible());
  f.cmdSelect[1].Click();
  EXPECT_EQ(b.Flags(4), (Bytes{0, 0, 1, 1}));
}

TEST(ConfigLoad, OpeningKeepsTheWatchedRowsFlagsWritesNoBeepAndCancelRestoresTheChassisBeep) {
  Bench b;
  // A rail watched at the third bad reading with its beep silenced, and a silent chassis.
  b.run.items.ItemWErr1[3] = 0;
  b.run.items.ItemWErr3[3] = 1;
  b.run.items.ItemBeep[3] = 0;
  b.run.items.ItemBeep[15] = 0;
  b.run.chip.ApplyBeepSettings(b.run.items.ItemEnabled, b.run.items.ItemBeep);
  const items::ItemTables before = b.run.items;
  const size_t from = b.sim.Log().size();
  frmConfig& f = b.Open();
  // The boxes' reactions pass through design values on the way; a chip in alarm would chirp at
  // each beep they wrote.
  for (const test::BankWrite& w : test::WritesSince(b.sim, from, 0))
    EXPECT_TRUE(w.reg != 0x56 && w.reg != 0x57 && !(w.bank == 4 && w.reg == 0x53)) << w;
  for (int i = 0; i < items::kItemCount; ++i) {
    if (before.ItemEnabled[i] != 1) continue;  // a row that is off opens as a cleared row
    EXPECT_EQ(b.Flags(i), (Bytes{before.ItemEnabled[i], before.ItemWErr1[i],
                                 before.ItemWErr3[i], before.ItemBeep[i]}))
        << "item " << i;
  }
  EXPECT_EQ(f.chkBeep[3].value(), 0);
  f.chkBeep[15].UserClick();
  EXPECT_EQ(b.run.items.ItemBeep[15], 1);
  EXPECT_TRUE(b.Beeps(0x57, 0x10));
  f.cmdSelect[1].Click();
  EXPECT_EQ(b.run.items.ItemBeep[15], 0) << "Cancel returns to the opening's flags";
  EXPECT_FALSE(b.Beeps(0x57, 0x10));
}

TEST(ConfigLoad, AbsentItemsShowNoNameAndNoBoxes) {
  Bench b(sim::Model::ZR410);      // no items 7, 8
  b.run.items.ItemEnabled[7] = 1;  // as another model's settings would have it
  frmConfig& f = b.Open();
  for (int i : {7, 8}) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(f.lblItemName[i].visible() || f.chkEnable[i].visible() ||
                 f.chkWErr1[i].visible() || f.chkWErr3[i].visible() || f.chkBeep[i].visible());
    EXPECT_EQ(f.chkEnable[i].value(), 0);
    EXPECT_EQ(b.run.items.ItemEnabled[i], 0);
  }
  EXPECT_TRUE(f.lblItemName[5].visible() && f.chkBeep[5].visible());
  EXPECT_FALSE(f.chkBeep[12].visible());  // present, but this model gives it no beep
  EXPECT_EQ(f.lblItemName[0].caption(), "CPU");
  EXPECT_EQ(f.lblItemName[3].top(), 945);
}

TEST(ConfigLoad, VcoreModelNamesTheFirstRowAndMovesTheRowsUp) {
  Bench b(sim::Model::ZR430);
  frmConfig& f = b.Open();
  EXPECT_EQ(f.lblItemName[0].caption(), "Vcore");
  EXPECT_EQ(f.lblItemName[3].top(), 615);
  EXPECT_EQ(f.chkWErr1[6].top(), 1605);
  EXPECT_EQ(f.chkBeep[4].top(), 945);
  EXPECT_EQ(f.chkWErr3[2].rect(), f.chkWErr3[1].rect());  // parked where row 1 was
  EXPECT_GT(f.chkWErr3[2].top(), f.Frame1[0].height());
  // This chip has no case switch: its row is not offered.
  EXPECT_FALSE(f.chkEnable[15].visible() || f.lblItemName[15].visible() ||
               f.chkBeep[15].visible());
}

TEST(ConfigTabs, EachTabBringsItsPageAndTheChassisGreysTheSensitivities) {
  Bench b;
  frmConfig& f = b.Open();
  const char* headings[] = {" Voltage ", " Fan Speed ", " Tempurature ", ""};
  for (int tab : {1, 3, 2, 0}) {
    SCOPED_TRACE(tab);
    f.TabStrip1.SetSelectedIndex(tab);
    for (int p = 0; p < 4; ++p) {
      EXPECT_TRUE(p == tab || f.Frame1[tab].IsInFrontOf(f.Frame1[p])) << p;
    }
    EXPECT_EQ(f.Frame2.caption(), headings[tab]);
    EXPECT_EQ(f.ColumeName[1].enabled(), tab != 3);
    EXPECT_EQ(f.ColumeName[4].enabled(), tab != 3);
  }
}

TEST(ConfigChassis, SettlesOnLowSensitiveAndNeverShowsItsSensitivities) {
  Bench b;
  b.run.items.ItemWErr1[15] = 1;
  b.run.items.ItemWErr3[15] = 0;
  frmConfig& f = b.Open();
  EXPECT_EQ(b.Flags(15), (Bytes{1, 0, 1, 1}));
  EXPECT_TRUE(f.chkBeep[15].visible());
  f.chkEnable[15].UserClick();
  EXPECT_EQ(b.Flags(15), (Bytes{0, 1, 0, 0}));
  EXPECT_FALSE(f.chkBeep[15].visible());
  f.chkEnable[15].UserClick();
  EXPECT_FALSE(f.chkWErr1[15].visible() || f.chkWErr3[15].visible());
  f.chkWErr1[15].SetValue(0);
  f.chkWErr1[15].SetValue(1);  // set by the program while enabled
  EXPECT_EQ(b.Flags(15), (Bytes{1, 0, 1, 1}));
  EXPECT_TRUE(f.chkBeep[15].visible());
  EXPECT_FALSE(f.chkWErr1[15].visible() || f.chkWErr3[15].visible());
}

TEST(ConfigDisable, CreatesTheDialogUnshownAndOpeningItLaterStartsFromTheFlags) {
  Bench b;
  b.run.items.ItemEnabled[5] = 0;  // the warning's own part
  b.run.hooks.DisableInConfig(5);
  frmConfig* f = b.dialog->IfLoaded();
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(f->visible());
  EXPECT_EQ(f->ConfigBackupEnabled[5], 0);
  EXPECT_EQ(f->chkEnable[5].value(), 0);
  EXPECT_FALSE(f->chkWErr1[5].visible() || f->chkWErr3[5].visible() || f->chkBeep[5].visible());
  // The flags change before the user opens it: it opens on them, not on the hidden copy.
  b.run.items.ItemEnabled[2] = 0;
  frmConfig& shown = b.Open();
  EXPECT_TRUE(shown.visible());
  EXPECT_EQ(shown.ConfigBackupEnabled[2], 0);
  EXPECT_EQ(shown.chkEnable[2].value(), 0);
  shown.cmdSelect[1].Click();
  EXPECT_EQ(b.run.items.ItemEnabled[5], 0);
  EXPECT_EQ(b.run.items.ItemEnabled[2], 0) << "Cancel returns to the opening's flags";
}

TEST(ConfigDisable, OnAnOpenDialogClearsTheRowAndOutlivesCancel) {
  Bench b;
  frmConfig& f = b.Open();
  f.chkBeep[5].UserClick();
  b.closedWarnings.clear();
  b.run.items.ItemEnabled[5] = 0;
  b.run.hooks.DisableInConfig(5);
  EXPECT_EQ(f.chkEnable[5].value(), 0);
  EXPECT_EQ(b.closedWarnings, (std::vector<int>{5}));
  f.cmdSelect[1].Click();
  EXPECT_EQ(b.Flags(5), (Bytes{0, 1, 0, 1}));
}

TEST(ConfigDisable, HookGoesWithTheOwner) {
  Bench b;
  ASSERT_TRUE(b.run.hooks.DisableInConfig);
  b.dialog.reset();
  EXPECT_FALSE(b.run.hooks.DisableInConfig);
}

}  // namespace
}  // namespace vigilon::config
