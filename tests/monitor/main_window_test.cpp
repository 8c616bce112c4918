// The main window over the simulator on a virtual clock: its load, the polling cycle's order,
// readings, colours and warnings per item kind, and the display options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chip/chip_registers.h"
#include "support/vigilon_system.h"

namespace vigilon {
namespace {

namespace reg = chip::reg;
using test::ChipOf;
using test::VigilonSystem;
constexpr ui::Color kGreen = 0xFF00;
constexpr ui::Color kRed = 0xFF;

struct Started : VigilonSystem {
  explicit Started(sim::Config config) : VigilonSystem(config) {
    EXPECT_EQ(Start(), startup::StartupOutcome::MainWindowShown);
  }
  explicit Started(sim::Model model = sim::Model::ZR420) : Started(ChipOf(model)) {}
  // Puts a voltage reading where the chip's converter gives exactly `count`.
  void RailCount(int item, int count, double divider = 1.0) {
    Sensors([&](sim::Sensors& in) { in.volts[item] = count * 0.016 / divider; });
  }
};

TEST(MainWindowLoad, ChipStateControlsAndTimersAfterTheLoad) {
  Started s;
  frmvigilon& w = s.window();
  EXPECT_TRUE(w.visible());
  EXPECT_EQ(w.caption(), "Norvane Vigilon Ver 2.50");
  EXPECT_NE(w.icon(), 0u) << "the design icon from the start";
  EXPECT_TRUE(s.run.PanelReady);
  EXPECT_EQ(s.Reg(0, 0x40) & 0x01, 0x01) << "monitoring restarted";
  EXPECT_EQ(s.Reg(0, 0x5D) & 0x01, 0x01) << "the start mirror follows on this model";
  EXPECT_EQ(s.Reg(0, 0x57) & 0x80, 0x80) << "beeps programmed";
  EXPECT_EQ(s.Reg(0, 0x4D) & 0x15, 0x15) << "fan inputs on";
  EXPECT_TRUE(w.mExit.enabled());
  EXPECT_TRUE(w.Command1.enabled());
  EXPECT_TRUE(w.Option1.value());
  EXPECT_FALSE(w.Option2.value());
  EXPECT_EQ(w.HScroll1.value(), 4);
  EXPECT_FALSE(w.Command7.visible()) << "no debug marker";
  EXPECT_FALSE(w.Text2.visible());
  EXPECT_FALSE(w.panel().updTempLoLimit[0].visible());
  EXPECT_EQ(w.panel().Image4.rect(), w.panel().Image3.rect());
  EXPECT_EQ(w.panel().dfTempHiBound[1].rect(), w.panel().lblTempHiBound[1].rect());
  EXPECT_EQ(w.panel().dfTempHiBound[1].caption(), "260.6");
  EXPECT_EQ(w.panel().dfTempLoBound[1].caption(), "-40");
  EXPECT_TRUE(w.HasMenuBar());
  EXPECT_FALSE(w.iconMenu.visible()) << "the tray pop-up is never in the bar";
  EXPECT_TRUE(s.platform.msgBoxes.empty());
}

TEST(MainWindowLoad, DebugMarkerShowsMakeData) {
  VigilonSystem s(ChipOf(sim::Model::ZR420));
  s.platform.files.insert("debug for talv.tag");
  ASSERT_EQ(s.Start(), startup::StartupOutcome::MainWindowShown);
  EXPECT_TRUE(s.window().Command7.visible());
  EXPECT_TRUE(s.window().Command7.enabled());
  EXPECT_TRUE(s.window().Text2.visible());
}

// The steps of a cycle in the order the chip saw them, one letter per run of accesses: a voltage
// reading (V), a temperature reading (T), a fan limit the smart fan switched (S), the chassis
// latch (C), a fan count (F), the status registers at the end (E).
std::string StepsSeenByTheChip(const sim::ChipSim& chip, size_t from, uint16_t index) {
  std::string steps;
  int bank = -1;
  uint8_t selected = 0;
  const auto& log = chip.Log();
  for (size_t i = from; i < log.size(); ++i) {
    const bool read = log[i].kind == sim::PortAccess::Kind::In;
    if (log[i].port == index && !read) selected = log[i].value;
    if (log[i].port != index + 1) continue;
    if (selected == reg::kBankSelect) {
      if (!read) bank = log[i].value & reg::kBankSelectBank;
      continue;
    }
    auto is = [&](int b, uint8_t r) { return bank == b && selected == r; };
    char step = 0;
    for (const reg::VoltRegs& v : reg::kVolt)
      if (read && is(v.reading.bank, v.reading.index)) step = 'V';
    for (const reg::TempRegs& t : reg::kTemp)
      if (read && (is(t.bank, t.reading) || (t.halfDegrees && is(t.bank, t.readingHalf))))
        step = 'T';
    for (int f = 0; f < 3; ++f) {
      if (!read && is(0, reg::kFanLimit[f])) step = 'S';
      if (read && is(0, reg::kFanCount[f])) step = 'F';
    }
    if (is(0, reg::kChassisClear)) step = 'C';
    if (read && is(0, reg::kStatus1)) step = 'E';
    if (step != 0 && (steps.empty() || steps.back() != step)) steps += step;
  }
  return steps;
}

TEST(PollingCycle, RunsEveryIntervalInItsOrder) {
  Started s;
  // The smart fan has something to do in the first cycle: the chassis fan's sensor is cold.
  s.run.items.ItemEnabled[9] = 1;
  s.Sensors([](sim::Sensors& in) { in.celsius[0] = 5; });
  s.platform.notifyCalls.clear();
  s.runtime.Advance(3999);
  EXPECT_TRUE(s.platform.notifyCalls.empty()) << "the first cycle comes after the interval";
  const size_t from = s.chip.Log().size();
  s.runtime.Advance(1);
  // What the window and the tray show, in order: the window's icon goes to the tray at each
  // change, and the window keeps the last.
  const auto shown = [&s] {
    std::vector<std::string> files;
    for (const auto& call : s.platform.notifyCalls) {
      EXPECT_EQ(call.op, platform::NotifyOp::Modify);
      EXPECT_EQ(call.record.cbSize, 88u);
      files.push_back(call.iconFile);
    }
    s.platform.notifyCalls.clear();
    return files;
  };
  const std::vector<std::string> cycle{"\\eye2.ico", "\\eye1.ico", "\\eye0.ico", "\\eye.ico",
                                       "\\eye0.ico", "\\eye1.ico", "\\eye2.ico"};
  EXPECT_EQ(shown(), cycle);
  EXPECT_EQ(s.platform.liveIcons.at(s.window().icon()), "\\eye2.ico");
  EXPECT_EQ(s.platform.sleeps, std::vector<uint32_t>{500});
  EXPECT_EQ(s.window().Text1.text(), "4");
  EXPECT_EQ(StepsSeenByTheChip(s.chip, from, 0x295), "VTSCFE");
  // The cycle ends with the two status registers, read and dropped, in bank 0.
  const auto& log = s.chip.Log();
  std::vector<uint8_t> indexWrites;
  for (size_t i = from; i < log.size(); ++i)
    if (log[i].kind == sim::PortAccess::Kind::Out && log[i].port == 0x295)
      indexWrites.push_back(log[i].value);
  ASSERT_GE(indexWrites.size(), 4u);
  EXPECT_EQ((std::vector<uint8_t>(indexWrites.end() - 4, indexWrites.end())),
            (std::vector<uint8_t>{0x4E, 0x4E, 0x41, 0x42}));

  // A steady cycle shows the same pictures and loads no file for them.
  s.platform.iconLoads.clear();
  s.Cycles(2);
  EXPECT_TRUE(s.platform.iconLoads.empty());
  std::vector<std::string> twice = cycle;
  twice.insert(twice.end(), cycle.begin(), cycle.end());
  EXPECT_EQ(shown(), twice);
  EXPECT_EQ(s.platform.liveIcons.size(), 4u) << "four pictures, the design icon given up";

  // A shorter interval from the scroll bar takes effect at the next comparison.
  s.window().HScroll1.SetValue(1);
  EXPECT_EQ(s.window().Text1.text(), "1");
  s.platform.sleeps.clear();
  s.runtime.Advance(3000);
  EXPECT_EQ(s.platform.sleeps.size(), 3u);
  // The scroll bar's ends are 1 and 120 seconds.
  s.window().HScroll1.SmallStep(-1);
  EXPECT_EQ(s.run.items.PollInterval, 1);
  for (int i = 0; i < 130; ++i) s.window().HScroll1.LargeStep(+1);
  EXPECT_EQ(s.run.items.PollInterval, 120);
  EXPECT_EQ(s.window().Text1.text(), "120");
}

TEST(PollingCycle, AMissingIconFileKeepsTheIconShown) {
  Started s;
  s.platform.files.erase("eye1.ico");
  s.platform.files.erase("eye2.ico");
  s.Cycles(1);
  EXPECT_EQ(s.platform.liveIcons.at(s.window().icon()), "\\eye0.ico");
}

TEST(VoltageReadings, InAndOutOfLimitsWithBothSensitivities) {
  Started s;
  frmvigilon& w = s.window();
  limits::LimitPanel& p = w.panel();
  s.RailCount(2, 207);  // 3.31 V; limits 186..227
  s.Cycles(1);
  EXPECT_EQ(p.SldVoltage[2].value(), 207);
  EXPECT_EQ(p.lblStatusV[2].caption(), "3.31");
  EXPECT_EQ(p.lblStatusV[2].backColor(), kGreen);

  // High Sensitive (the default): the first reading above the band opens the dialog.
  s.RailCount(2, 228);
  s.Cycles(1);
  EXPECT_EQ(p.lblStatusV[2].backColor(), kRed);
  ASSERT_NE(w.warnings().Dialog(2), nullptr);
  EXPECT_TRUE(w.warnings().Dialog(2)->visible());
  EXPECT_EQ(w.warnings().Dialog(2)->caption(), "+3.3V Voltage Warning !!!");

  // Back on the limit itself: green, and the dialog closes.
  s.RailCount(2, 227);
  s.Cycles(1);
  EXPECT_EQ(p.lblStatusV[2].backColor(), kGreen);
  EXPECT_EQ(w.warnings().Dialog(2), nullptr);

  // Low Sensitive: only the third bad reading in a row.
  s.run.items.ItemWErr1[2] = 0;
  s.run.items.ItemWErr3[2] = 1;
  s.RailCount(2, 185);
  s.Cycles(2);
  EXPECT_EQ(p.lblStatusV[2].backColor(), kRed);
  EXPECT_EQ(w.warnings().Dialog(2), nullptr);
  s.Cycles(1);
  EXPECT_NE(w.warnings().Dialog(2), nullptr);
}

TEST(VoltageReadings, AnUnmonitoredItemIsNeitherReadNorWarned) {
  Started s;
  limits::LimitPanel& p = s.panel();
  s.RailCount(3, 200, 0.595);
  s.Cycles(1);
  const std::string shown = p.lblStatusV[3].caption();
  s.run.items.ItemEnabled[3] = 0;
  s.RailCount(3, 100, 0.595);  // far below its limits
  s.Cycles(3);
  EXPECT_EQ(p.lblStatusV[3].caption(), shown);
  EXPECT_EQ(p.SldVoltage[3].value(), 200);
  EXPECT_EQ(s.window().warnings().Dialog(3), nullptr);
  EXPECT_EQ(s.run.ItemWarnCount[3], 0);
}

TEST(VoltageReadings, NegativeRailsPerModel) {
  Started zr410(sim::Model::ZR410);
  zr410.Sensors([](sim::Sensors& in) { in.volts[5] = -215 * 0.016 / 0.287; });
  zr410.Cycles(1);
  EXPECT_EQ(zr410.panel().SldVoltage[5].value(), -215);
  EXPECT_EQ(zr410.panel().lblStatusV[5].caption(), "-11.99");

  Started zr420(sim::Model::ZR420);
  // Count 35 through the offset formula: (0.56 - 3.6) x 5.14 + 3.6 = -12.0256 V.
  zr420.Sensors([](sim::Sensors& in) { in.volts[5] = (35 * 0.016 - 3.6) * 5.14 + 3.6; });
  zr420.Cycles(1);
  EXPECT_EQ(zr420.panel().SldVoltage[5].value(), 35);
  EXPECT_EQ(zr420.panel().lblStatusV[5].caption(), "-12.03");
}

TEST(VoltageReadings, AReadingBeyondTheDisplayRangeIsShownAndTestedAsRead) {
  Started s;
  s.RailCount(2, 255);  // above the +3.3V display range (144..250)
  s.Cycles(1);
  EXPECT_EQ(s.panel().SldVoltage[2].value(), 255);
  EXPECT_EQ(s.panel().lblStatusV[2].caption(), "4.08");
  EXPECT_EQ(s.panel().lblStatusV[2].backColor(), kRed);
}

TEST(FanReadings, SpeedsBarsAndAStoppedCpuFan) {
  sim::Config config = ChipOf(sim::Model::ZR420);
  Started s(config);
  frmvigilon& w = s.window();
  limits::LimitPanel& p = w.panel();
  // 2009 rpm is count 84 at divisor 8; its limit is count 84: in limits.
  s.Sensors([](sim::Sensors& in) { in.rpm[1] = 1350000.0 / (84 * 8); });
  s.Cycles(1);
  EXPECT_EQ(p.lblFanSpeed[1].caption(), "2,009");
  EXPECT_EQ(p.prbFanSpeed[1].value(), 255 - 84);
  EXPECT_EQ(p.lblFanSpeed[1].backColor(), kGreen);
  p.updFanLoLimit[1].ArrowUp();  // limit count 83: now too slow
  s.Cycles(1);
  EXPECT_EQ(p.lblFanSpeed[1].backColor(), kRed);
  ASSERT_NE(w.warnings().Dialog(10), nullptr);
  EXPECT_EQ(w.warnings().Dialog(10)->name(), "frmFan2");
  p.updFanLoLimit[1].ArrowDown();
  s.Cycles(1);
  EXPECT_EQ(w.warnings().Dialog(10), nullptr);

  s.Sensors([](sim::Sensors& in) { in.rpm[1] = 0; });
  s.Cycles(1);
  EXPECT_EQ(p.lblFanSpeed[1].caption(), "low_speed");
  EXPECT_EQ(p.lblFanSpeed[1].backColor(), kRed);
  EXPECT_EQ(p.prbFanSpeed[1].value(), 0);
  ASSERT_NE(w.warnings().Dialog(10), nullptr);
  // The lowest limit accepts a stopped fan.
  p.updFanLoLimit[1].SetValue(1);
  s.Cycles(1);
  EXPECT_EQ(p.lblFanSpeed[1].caption(), "Fan off");
  EXPECT_EQ(p.lblFanSpeed[1].backColor(), kGreen);
  EXPECT_EQ(w.warnings().Dialog(10), nullptr);
}

TEST(FanReadings, DisableOnTheFanDialogHidesTheRowAndStopsTheChecks) {
  Started s;
  frmvigilon& w = s.window();
  s.Sensors([](sim::Sensors& in) { in.rpm[1] = 0; });
  s.Cycles(1);
  warnings::frmWarning* dialog = w.warnings().Dialog(10);
  ASSERT_NE(dialog, nullptr);
  dialog->Find<ui::CommandButton>("Command(1)")->Click();
  EXPECT_EQ(s.run.items.ItemEnabled[10], 0);
  EXPECT_EQ(w.warnings().Dialog(10), nullptr);
  EXPECT_FALSE(w.panel().lblFanSpeed[1].visible());
  EXPECT_FALSE(w.panel().lblFanItem[1].enabled());
  s.Cycles(3);
  EXPECT_EQ(w.warnings().Dialog(10), nullptr) << "later cycles skip the fan";
}

TEST(TemperatureReadings, ScalesFormatsAndOnlyHeatWarns) {
  Started s;
  frmvigilon& w = s.window();
  limits::LimitPanel& p = w.panel();
  s.Sensors([](sim::Sensors& in) {
    in.celsius[0] = -40;
    in.celsius[1] = 47.5;
  });
  s.Cycles(1);
  EXPECT_EQ(p.sldTemp[0].value(), 0);
  EXPECT_EQ(p.lblStatusT[0].caption(), "-40.00");
  EXPECT_EQ(p.lblStatusT[0].backColor(), kGreen) << "below the band is no warning";
  EXPECT_EQ(p.sldTemp[1].value(), 175);
  EXPECT_EQ(p.lblStatusT[1].caption(), "47.50");

  // Exactly at the high limit is in limits; half a degree above on sensor 1 is not.
  s.Sensors([](sim::Sensors& in) { in.celsius[1] = 85; });
  s.Cycles(1);
  EXPECT_EQ(p.lblStatusT[1].backColor(), kGreen);
  s.Sensors([](sim::Sensors& in) { in.celsius[1] = 85.5; });
  s.Cycles(1);
  EXPECT_EQ(p.lblStatusT[1].backColor(), kRed);
  ASSERT_NE(w.warnings().Dialog(13), nullptr);
  EXPECT_EQ(w.warnings().Dialog(13)->caption(), "CPU Temp. Warning !!!");
}

TEST(Warnings, EachItemsBadReadingOpensItsOwnDialog) {
  struct Expected {
    const char* form;
    const char* title;
    const char* message;
  };
  const Expected dialogs[items::kItemCount] = {
      {"frmVcoreA", "CPU Voltage Warning !!!", "CPU Voltage abnormal !"},
      {"frmVcoreB", "Warning !!!", "Your VcoreB voltage exceed the limits."},
      {"frmV33", "+3.3V Voltage Warning !!!", "+3.3V Voltage abnormal !"},
      {"frmVp5", "+5V Voltage Warning !!!", "+5V Voltage abnormal !"},
      {"frmVp12", "+12V Voltage Warning !!!", "+12V Voltage abnormal !"},
      {"frmVn12", "-12V Voltage Warning !!!", "-12V Voltage abnormal !"},
      {"frmVn5", "-5V Voltage Warning !!!", "-5V Voltage abnormat !"},
      {"frmVsb", "5Vsb Voltage Warning!!!", "5Vsb Voltage abnormal !"},
      {"frmVbat", "Vbat Voltage Warning!!!", "Vbat Voltage abnarmal !"},
      {"frmFan1", "Warning !!!", "Chassis FAN abnormal !"},
      {"frmFan2", "Warning !!!", "CPU FAN abnormal !"},
      {"frmFan3", "Warning !!!", "Second FAN abnormal !"},
      {"frmTemp1", "Warning !!!", "System Tempurature abnormal !"},
      {"frmTemp2", "CPU Temp. Warning !!!", "CPU Tempurature abnormal !"},
      {"frmTemp3", "Other Device Temp. Warning !!!", "Other Device Temperature abnormal !"},
      {"frmCaseOpen", "Chassis Warning !!!", "Chassis has been opened."},
  };
  auto everythingWrong = [](sim::Sensors& in) {
    in.volts.fill(0);
    in.rpm.fill(0);
    in.celsius.fill(120);
    in.chassisOpen = true;
  };
  Started s;  // a model with every item, whose core rail is not called Vcore
  items::ItemTables& t = s.run.items;
  t.ItemEnabled.fill(1);
  t.ItemWErr1.fill(1);
  t.ItemWErr3.fill(0);
  s.window().RefreshPanelEnable();
  s.Sensors(everythingWrong);
  s.Cycles(1);
  for (int item = 0; item < items::kItemCount; ++item) {
    const Expected& want = dialogs[item];
    SCOPED_TRACE(want.form);
    const warnings::frmWarning* d = s.window().warnings().Dialog(item);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->visible());
    EXPECT_EQ(d->name(), want.form);
    EXPECT_EQ(d->caption(), want.title);
    const ui::Label* message = d->Find<ui::Label>(item == 0 ? "lblWarning" : "Label2");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->caption(), want.message);
  }

  Started vcore(sim::Model::ZR430);
  vcore.Sensors(everythingWrong);
  vcore.Cycles(1);
  ASSERT_NE(vcore.window().warnings().Dialog(0), nullptr);
  EXPECT_EQ(vcore.window().warnings().Dialog(0)->Find<ui::Label>("lblWarning")->caption(),
            "Your Vcore Voltage exceed the limits");
}

TEST(DisplayOptions, FahrenheitChangesCaptionsNotTheChip) {
  Started s;
  frmvigilon& w = s.window();
  limits::LimitPanel& p = w.panel();
  s.Sensors([](sim::Sensors& in) { in.celsius[1] = 47.5; });
  s.Cycles(1);
  w.Option2.UserClick();
  EXPECT_FALSE(items::IsTrue(s.run.items.TempInCelsius));
  EXPECT_EQ(p.lblTempHiLimit[0].caption(), "149.0");
  EXPECT_EQ(p.lblStatusT[1].caption(), "117.50") << "readings in the new unit at once";
  EXPECT_EQ(s.Reg(0, 0x39), 65);
  EXPECT_FALSE(p.Image3.visible());
  EXPECT_TRUE(p.Image4.visible());
  s.runtime.Advance(10);
  EXPECT_TRUE(p.dfTempHiBound[0].visible());
  EXPECT_FALSE(p.lblTempHiBound[0].visible());
  // Sensor 2 is not monitored by default: neither pair of its scale ends shows.
  EXPECT_FALSE(p.dfTempHiBound[2].visible());
  EXPECT_FALSE(p.lblTempHiBound[2].visible());

  w.Option1.UserClick();
  EXPECT_EQ(p.lblTempHiLimit[0].caption(), "65.0");
  s.runtime.Advance(10);
  EXPECT_TRUE(p.lblTempHiBound[0].visible());
  EXPECT_FALSE(p.dfTempHiBound[0].visible());
}

TEST(DisplayOptions, SavedFahrenheitAndIntervalAreShownFromTheLoad) {
  VigilonSystem s(ChipOf(sim::Model::ZR420));
  // A first start writes the defaults; the second start loads the edited file.
  ASSERT_EQ(s.Start(), startup::StartupOutcome::MainWindowShown);
  s.run.items.TempInCelsius = items::kFalse;
  s.run.items.PollInterval = 7;
  ASSERT_TRUE(items::SaveSettingsFile(s.run.items, s.files, s.run.SettingsLocation()).saved);
  VigilonSystem again(ChipOf(sim::Model::ZR420));
  again.files.files = s.files.files;
  ASSERT_EQ(again.Start(), startup::StartupOutcome::MainWindowShown);
  frmvigilon& w = again.window();
  EXPECT_TRUE(w.Option2.value());
  EXPECT_EQ(w.HScroll1.value(), 7);
  // The set-up writes the limit as "149.00"; the load's selection of the unit button then
  // runs its click, which writes it in the change reaction's format.
  EXPECT_EQ(w.panel().lblTempHiLimit[0].caption(), "149.0");
  EXPECT_TRUE(w.panel().Image4.visible());
  w.panel().InitTemperatureControls();
  EXPECT_EQ(w.panel().lblTempHiLimit[0].caption(), "149.00");
}

}  // namespace
}  // namespace vigilon
