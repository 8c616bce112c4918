// The limit rows of the main window over the simulator: set-up from the default tables on each
// model, the chip's limit registers, the user's up-down steps and the rows following the flags.
#include <gtest/gtest.h>

#include <vector>

#include "support/bank_writes.h"
#include "support/vigilon_system.h"

namespace vigilon {
namespace {

using test::BankWrite;
using test::ChipOf;
using test::VigilonSystem;
using test::WritesSince;

struct Started : VigilonSystem {
  explicit Started(sim::Model model) : VigilonSystem(ChipOf(model)) {
    EXPECT_EQ(Start(), startup::StartupOutcome::MainWindowShown);
  }
  uint16_t Index() const { return run.chip.MonitorPort(); }
};

TEST(VoltageRows, DefaultsOnTheLaterModelsAndTheirRegisters) {
  Started s(sim::Model::ZR420);
  limits::LimitPanel& p = s.panel();
  // +3.3V, factor 0.016.
  EXPECT_EQ(p.SldVoltage[2].min(), 144);
  EXPECT_EQ(p.SldVoltage[2].max(), 250);
  EXPECT_EQ(p.updLoLimit[2].value(), 186);
  EXPECT_EQ(p.updHiLimit[2].value(), 227);
  EXPECT_EQ(p.SldVoltage[2].selStart(), 186);
  EXPECT_EQ(p.SldVoltage[2].selLength(), 41);
  EXPECT_EQ(p.LblLoLimit[2].caption(), "2.98");
  EXPECT_EQ(p.LblHiLimit[2].caption(), "3.63");
  EXPECT_EQ(p.lblLoBound[2].caption(), "2.30");
  EXPECT_EQ(p.lblHiBound[2].caption(), "4.00");
  EXPECT_EQ(s.Reg(0, 0x30), 186);
  EXPECT_EQ(s.Reg(0, 0x2F), 227);
  // Vbat's display range ends at 6 V = 375 counts, more than a register holds.
  EXPECT_EQ(p.SldVoltage[8].max(), 255);
  EXPECT_EQ(p.updHiLimit[8].max(), 255);
  // -12V through the offset formula; its captions are the stored limits.
  EXPECT_EQ(p.SldVoltage[5].min(), 11);
  EXPECT_EQ(p.SldVoltage[5].max(), 60);
  EXPECT_EQ(p.updLoLimit[5].value(), 17);
  EXPECT_EQ(p.updHiLimit[5].value(), 53);
  EXPECT_EQ(s.Reg(0, 0x36), 17);
  EXPECT_EQ(s.Reg(0, 0x35), 53);
  EXPECT_EQ(p.LblLoLimit[5].caption(), "-13.51");
  EXPECT_EQ(p.LblHiLimit[5].caption(), "-10.52");
  // 5Vsb and Vbat live in bank 5.
  EXPECT_EQ(s.Reg(5, 0x55), p.updLoLimit[7].value());
  EXPECT_EQ(s.Reg(5, 0x54), p.updHiLimit[7].value());
  EXPECT_EQ(s.Reg(5, 0x57), p.updLoLimit[8].value());
  EXPECT_EQ(s.Reg(5, 0x56), p.updHiLimit[8].value());
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(p.SldVoltage[i].enabled()) << "a gauge, not an input";
}

TEST(VoltageRows, TheFirstModelNegatesItsNegativeRailsAndStoresThemCrosswise) {
  Started s(sim::Model::ZR410);
  limits::LimitPanel& p = s.panel();
  EXPECT_EQ(p.SldVoltage[5].min(), -251);
  EXPECT_EQ(p.SldVoltage[5].max(), -179);
  EXPECT_EQ(p.updLoLimit[5].value(), -242);
  EXPECT_EQ(p.updHiLimit[5].value(), -189);
  EXPECT_EQ(s.Reg(0, 0x35), 242) << "the more negative limit is the high register";
  EXPECT_EQ(s.Reg(0, 0x36), 189);
  EXPECT_EQ(p.LblLoLimit[5].caption(), "-13.49");
  // A step of either limit writes the other register, negated.
  size_t from = s.chip.Log().size();
  p.updHiLimit[5].ArrowUp();
  EXPECT_EQ(WritesSince(s.chip, from, s.Index()), (std::vector<BankWrite>{{0, 0x36, 188}}));
  EXPECT_FLOAT_EQ(s.run.items.VoltHighLimit[5], -188 * s.run.items.VoltFactor[5]);
  from = s.chip.Log().size();
  p.updLoLimit[5].ArrowUp();
  EXPECT_EQ(WritesSince(s.chip, from, s.Index()), (std::vector<BankWrite>{{0, 0x35, 241}}));
  EXPECT_FLOAT_EQ(s.run.items.VoltLowLimit[5], -241 * s.run.items.VoltFactor[5]);
}

TEST(VoltageRows, StepsMoveTheBandTheCaptionTheTableAndOneRegister) {
  Started s(sim::Model::ZR420);
  limits::LimitPanel& p = s.panel();
  // Raising the low limit up to the high one is allowed; one more step is refused.
  p.updLoLimit[2].SetValue(226);
  p.updLoLimit[2].ArrowUp();
  EXPECT_EQ(p.updLoLimit[2].value(), 227);
  EXPECT_EQ(p.updHiLimit[2].min(), 227);
  p.updLoLimit[2].ArrowUp();
  EXPECT_EQ(p.updLoLimit[2].value(), 227);
  EXPECT_EQ(p.SldVoltage[2].selStart(), 227);
  EXPECT_EQ(p.SldVoltage[2].selLength(), 0);
  EXPECT_EQ(p.LblLoLimit[2].caption(), "3.63");
  EXPECT_EQ(s.Reg(0, 0x30), 227);

  // 5Vsb's high limit: bank 5 register 0x54 and nothing else.
  const int before = p.updHiLimit[7].value();
  const size_t from = s.chip.Log().size();
  p.updHiLimit[7].ArrowUp();
  EXPECT_EQ(WritesSince(s.chip, from, s.Index()),
            (std::vector<BankWrite>{{5, 0x54, static_cast<uint8_t>(before + 1)}}));
  EXPECT_EQ(p.SldVoltage[7].selLength(), before + 1 - p.updLoLimit[7].value());
}

TEST(VoltageRows, VoltsToCountsTakeTheNearestOfTheStoredValuesQuotient) {
  // 2.2 V over 0.016 V per count is 137.49999... with the stored single values, though a
  // single-precision division would round it to 137.5 first and then to 138.
  VigilonSystem s(ChipOf(sim::Model::ZR420));
  ASSERT_EQ(s.Start(), startup::StartupOutcome::MainWindowShown);
  s.run.items.VoltLowLimit[0] = 2.2f;
  s.run.items.VoltHighLimit[0] = 2.4f;
  s.panel().InitVoltageControls();
  EXPECT_EQ(s.panel().updLoLimit[0].value(), 137);
  EXPECT_EQ(s.Reg(0, 0x2C), 137);
}

TEST(VoltageRows, ModelsWithoutASecondCoreRailMoveTheRowsUp) {
  Started zr420(sim::Model::ZR420);
  Started zr430(sim::Model::ZR430);
  limits::LimitPanel& design = zr420.panel();
  limits::LimitPanel& moved = zr430.panel();
  EXPECT_EQ(moved.lblItemName[0].caption(), "Vcore");
  EXPECT_EQ(design.lblItemName[0].caption(), "CPU");
  for (int a = 3; a <= 6; ++a) {
    EXPECT_EQ(moved.lblItemName[a].rect(), design.lblItemName[a - 1].rect()) << a;
    EXPECT_EQ(moved.updHiLimit[a].rect(), design.updHiLimit[a - 1].rect()) << a;
    EXPECT_EQ(moved.lblStatusV[a].rect(), design.lblStatusV[a - 1].rect()) << a;
  }
  EXPECT_EQ(moved.SldVoltage[2].rect(), design.SldVoltage[1].rect());
  EXPECT_GT(moved.SldVoltage[2].top(), moved.FraVoltage.height()) << "below the frame";
  // The rows of the items this chip lacks are gone, names included.
  for (int item : {1, 6, 7, 8}) {
    EXPECT_FALSE(moved.lblItemName[item].visible()) << item;
    EXPECT_FALSE(moved.lblStatusV[item].visible()) << item;
  }
  EXPECT_FALSE(moved.lblFanItem[2].visible());
  EXPECT_FALSE(moved.sldTemp[2].visible());
  EXPECT_FALSE(moved.lblCaseOpen.visible());
}

TEST(TemperatureRows, DefaultsAndTheirRegisters) {
  Started s(sim::Model::ZR420);
  limits::LimitPanel& p = s.panel();
  EXPECT_EQ(p.updTempHiLimit[0].value(), 105);
  EXPECT_EQ(p.sldTemp[0].selStart(), 100);
  EXPECT_EQ(p.sldTemp[0].selLength(), 5);
  EXPECT_EQ(p.sldTemp[0].max(), 167);
  EXPECT_EQ(p.sldTemp[0].min(), 0);
  EXPECT_EQ(s.Reg(0, 0x39), 65);
  EXPECT_EQ(s.Reg(0, 0x3A), 60);
  EXPECT_EQ(p.updTempHiLimit[1].value(), 250);
  EXPECT_EQ(p.sldTemp[1].selStart(), 240);
  EXPECT_EQ(p.sldTemp[1].selLength(), 10);
  EXPECT_EQ(p.sldTemp[1].max(), 334);
  EXPECT_EQ(s.Reg(1, 0x55), 85);
  EXPECT_EQ(s.Reg(1, 0x56), 0);
  EXPECT_EQ(s.Reg(1, 0x53), 80);
  EXPECT_EQ(s.Reg(1, 0x54), 0);
  EXPECT_EQ(p.lblTempHiLimit[0].caption(), "65.0") << "rewritten by the unit button's click";
  EXPECT_EQ(p.updTempHiLimit[0].min(), 5) << "-35 degrees is the lowest high limit";
  EXPECT_EQ(p.updTempHiLimit[1].min(), 10);

  // Half a degree up on sensor 1.
  p.updTempHiLimit[1].ArrowUp();
  EXPECT_EQ(s.Reg(1, 0x55), 85);
  EXPECT_EQ(s.Reg(1, 0x56), 0x80);
  EXPECT_EQ(s.Reg(1, 0x53), 80);
  EXPECT_EQ(s.Reg(1, 0x54), 0x80);
  EXPECT_EQ(p.lblTempHiLimit[1].caption(), "85.5");
  EXPECT_FLOAT_EQ(s.run.items.TempLimit[1], 85.5f);
  EXPECT_FLOAT_EQ(s.run.items.TempHyst[1], 80.5f);

  // Below zero on sensor 0: two's complement.
  p.updTempHiLimit[0].SetValue(30);  // -10 degrees
  EXPECT_EQ(s.Reg(0, 0x39), 0xF6);
  EXPECT_EQ(s.Reg(0, 0x3A), 0xF1);
}

TEST(TemperatureRows, AnAbsentSensorKeepsItsDesignRangeAndWritesNothing) {
  Started s(sim::Model::ZR430);
  limits::LimitPanel& p = s.panel();
  EXPECT_EQ(p.sldTemp[2].max(), 10) << "the control's design range";
  EXPECT_EQ(p.updTempHiLimit[2].value(), 0);
  EXPECT_EQ(s.Reg(2, 0x55), 0x7F) << "as the chip powered up";
  // The unit switch runs the change steps of every row: not into an absent sensor's table.
  const float stored = s.run.items.TempLimit[2];
  s.window().Option2.UserClick();
  s.window().Option1.UserClick();
  EXPECT_EQ(s.run.items.TempLimit[2], stored);
  EXPECT_EQ(s.Reg(2, 0x55), 0x7F);
}

TEST(FanRows, DefaultsStepsAndAFanFoundStopped) {
  sim::Config config = ChipOf(sim::Model::ZR420);
  config.sensors.rpm = {3000, 4500, 0};
  Started s(sim::Model::ZR420);
  VigilonSystem stopped(config);
  ASSERT_EQ(stopped.Start(), startup::StartupOutcome::MainWindowShown);

  limits::LimitPanel& p = s.panel();
  EXPECT_EQ(p.updFanLoLimit[0].value(), 87);
  EXPECT_EQ(p.lblFanLoLimit[0].caption(), " 1004");
  EXPECT_EQ(s.Reg(0, 0x3B), 168);
  EXPECT_EQ(p.updFanLoLimit[1].value(), 171);
  EXPECT_EQ(p.lblFanLoLimit[1].caption(), " 2009");
  EXPECT_EQ(s.Reg(0, 0x3C), 84);
  EXPECT_EQ(s.Reg(0, 0x3D), 84);
  EXPECT_EQ(s.Reg(0, 0x47) & 0xF0, 0xF0) << "divisor bits all ones";
  EXPECT_EQ(s.Reg(0, 0x4B) & 0xC0, 0xC0);

  p.updFanLoLimit[1].ArrowUp();
  EXPECT_EQ(s.run.items.FanLimitCount[1], 83);
  EXPECT_EQ(p.lblFanLoLimit[1].caption(), " 2033");
  EXPECT_EQ(s.Reg(0, 0x3C), 83);
  // The top stops short of a count of 0, which has no speed.
  p.updFanLoLimit[1].SetValue(255);
  EXPECT_EQ(p.updFanLoLimit[1].value(), 254);
  EXPECT_EQ(p.lblFanLoLimit[1].caption(), " 168750");

  limits::LimitPanel& q = stopped.panel();
  EXPECT_EQ(q.updFanLoLimit[2].value(), 1);
  EXPECT_FALSE(q.updFanLoLimit[2].enabled());
  EXPECT_EQ(q.lblFanSpeed[2].caption(), "low speed");
  EXPECT_EQ(q.lblFanLoLimit[2].caption(), " 662");
  EXPECT_EQ(stopped.Reg(0, 0x3D), 255);
  EXPECT_EQ(stopped.run.items.FanLimitCount[2], 84) << "the table keeps the user's limit";

  // The program's own assignment while disarmed writes nothing.
  q.FanLimitArmed = false;
  const size_t from = stopped.chip.Log().size();
  q.updFanLoLimit[0].SetValue(100);
  EXPECT_TRUE(WritesSince(stopped.chip, from, stopped.run.chip.MonitorPort()).empty());
}

TEST(PanelRefresh, RowsFollowTheEnableFlagAndFlagsOtherThanOneCountAsOff) {
  Started s(sim::Model::ZR420);
  limits::LimitPanel& p = s.panel();
  s.run.items.ItemEnabled[5] = 0;
  s.run.items.ItemEnabled[14] = 2;
  s.window().RefreshPanelEnable();
  EXPECT_FALSE(p.lblItemName[5].enabled()) << "greyed";
  EXPECT_TRUE(p.lblItemName[5].visible());
  for (const ui::Control* c : std::initializer_list<const ui::Control*>{
           &p.updLoLimit[5], &p.LblLoLimit[5], &p.lblLoBound[5], &p.SldVoltage[5], &p.lblHiBound[5],
           &p.LblHiLimit[5], &p.updHiLimit[5], &p.lblStatusV[5]})
    EXPECT_FALSE(c->visible()) << c->name();
  EXPECT_FALSE(p.lblTempHiBound[2].visible());
  EXPECT_FALSE(p.dfTempHiBound[2].visible());
  EXPECT_FALSE(p.sldTemp[2].visible());
  s.run.items.ItemEnabled[5] = 1;
  s.window().RefreshPanelEnable();
  EXPECT_TRUE(p.SldVoltage[5].visible());
  EXPECT_TRUE(p.lblItemName[5].enabled());
}

}  // namespace
}  // namespace vigilon
