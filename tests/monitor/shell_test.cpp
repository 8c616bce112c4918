// The main window's commands over the simulator: hiding to the notification area and back,
// the ways out with their chip work, the defaults, saving, About, and the power moments.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "items/settings_record.h"
#include "support/vigilon_system.h"

namespace vigilon {
namespace {

using platform::NotifyOp;
using test::ChipOf;
using test::VigilonSystem;
using ui::PowerNotice;

struct Started : VigilonSystem {
  explicit Started(sim::Config config) : VigilonSystem(config) {
    EXPECT_EQ(Start(), startup::StartupOutcome::MainWindowShown);
  }
  explicit Started(sim::Model model = sim::Model::ZR420) : Started(ChipOf(model)) {}
  std::vector<NotifyOp> TrayOps() const {
    std::vector<NotifyOp> ops;
    for (const auto& call : platform.notifyCalls)
      if (call.op != NotifyOp::Modify) ops.push_back(call.op);
    return ops;
  }
  // Lets the smart fan stop the chassis fan (fan 1): its sensor well below the first threshold.
  void StopFanOne() {
    run.items.ItemEnabled[9] = 1;
    Sensors([](sim::Sensors& in) { in.celsius[0] = 5; });
    Cycles(1);
    ASSERT_EQ(Reg(0, 0x5B), 0);
  }
};

TEST(Tray, TheCloseBoxHidesToTheTrayAndMonitoringGoesOn) {
  Started s;
  frmvigilon& w = s.window();
  s.platform.notifyCalls.clear();
  EXPECT_FALSE(w.RequestClose(ui::UnloadMode::ControlMenu)) << "closing is refused";
  EXPECT_FALSE(w.visible());
  EXPECT_TRUE(s.main->Loaded());
  ASSERT_EQ(s.TrayOps(), std::vector<NotifyOp>{NotifyOp::Add});
  const platform::NotifyIconRecord& r = s.platform.notifyCalls[0].record;
  EXPECT_EQ(r.cbSize, 88u);
  EXPECT_EQ(r.hWnd, w.hWnd());
  EXPECT_EQ(r.uID, 1u);
  EXPECT_EQ(r.uFlags, 7u);
  EXPECT_EQ(r.uCallbackMessage, 0x200u);
  EXPECT_EQ(r.hIcon, w.icon());
  EXPECT_EQ(std::string(r.szTip.begin(), r.szTip.end()), "Vigilon" + std::string(57, ' '));

  // Still watching: a stopped CPU fan warns while only the icon shows, and the icon animates.
  s.Sensors([](sim::Sensors& in) { in.rpm[1] = 0; });
  s.Cycles(1);
  EXPECT_NE(w.warnings().Dialog(10), nullptr);
  EXPECT_EQ(s.platform.notifyCalls.back().op, NotifyOp::Modify);
  EXPECT_EQ(s.platform.notifyCalls.back().record.uID, 1u) << "only the icon changes";

  // The Minimize button does the same.
  w.Show();
  s.platform.notifyCalls.clear();
  w.Command2.Click();
  EXPECT_FALSE(w.visible());
  EXPECT_EQ(s.TrayOps(), std::vector<NotifyOp>{NotifyOp::Add});
}

TEST(Tray, DoubleClickRestoresAndTheRightButtonPopsUpTheMenu) {
  Started s;
  frmvigilon& w = s.window();
  w.Command2.Click();
  s.platform.notifyCalls.clear();
  for (int ignored : {0x200, 0x201, 0x202, 0x204, 0x206}) w.DeliverMouseMove(0, 0, ignored, 0);
  EXPECT_TRUE(s.runtime.popups.empty());
  EXPECT_FALSE(w.visible());

  w.DeliverMouseMove(0, 0, 0x205, 0);
  EXPECT_EQ(s.runtime.popups, std::vector<std::string>{"iconMenu"});
  EXPECT_FALSE(w.visible()) << "closed without a pick";

  s.runtime.popupPicks.push_back("IconMenuRestore");
  w.DeliverMouseMove(0, 0, 0x205, 0);
  EXPECT_TRUE(w.visible());
  EXPECT_FALSE(w.iconMenu.visible()) << "no Test menu in the menu bar";
  EXPECT_EQ(s.TrayOps(), std::vector<NotifyOp>{NotifyOp::Delete});

  // Visible: the right button does nothing; hidden again, a double-click restores.
  w.DeliverMouseMove(0, 0, 0x205, 0);
  EXPECT_EQ(s.runtime.popups.size(), 2u);
  w.Command2.Click();
  w.DeliverMouseMove(0, 0, 0x203, 0);
  EXPECT_TRUE(w.visible());
  EXPECT_FALSE(w.iconMenu.visible());
}

TEST(Tray, TheIconComesBackWhenTheShellRestarts) {
  Started s;
  s.window().Command2.Click();
  s.platform.notifyCalls.clear();
  s.runtime.BroadcastTaskbarCreated();
  ASSERT_EQ(s.TrayOps(), std::vector<NotifyOp>{NotifyOp::Add});
  EXPECT_EQ(s.platform.notifyCalls[0].record.uID, 1u);
  s.window().Show();
  s.platform.notifyCalls.clear();
  s.runtime.BroadcastTaskbarCreated();
  EXPECT_TRUE(s.TrayOps().empty()) << "a shown window has no icon";
}

// An icon the shell does not take, at hiding or after the shell restarted, never leaves the
// window hidden without it: it stays (or comes back) shown, and hides once the icon is there.
TEST(Tray, AnIconTheShellRefusesKeepsTheWindowShownUntilItTakesIt) {
  Started s;
  frmvigilon& w = s.window();
  s.platform.trayAddsRefused = 2;
  w.Command2.Click();
  EXPECT_TRUE(w.visible());
  s.runtime.Advance(1000);
  EXPECT_TRUE(w.visible()) << "refused again";
  s.runtime.Advance(1000);
  EXPECT_FALSE(w.visible());

  s.platform.trayAddsRefused = 1;
  s.runtime.BroadcastTaskbarCreated();
  EXPECT_TRUE(w.visible());
  s.runtime.Advance(1000);
  EXPECT_FALSE(w.visible());
}

// A second copy's ask brings the hidden window back as its tray icon's double-click does, and
// a window kept shown by a refused icon is not hidden later by the retry.
TEST(Tray, ASecondCopysAskShowsTheWindowForGood) {
  Started s;
  frmvigilon& w = s.window();
  w.Command2.Click();
  ASSERT_FALSE(w.visible());
  s.platform.notifyCalls.clear();
  EXPECT_TRUE(w.DeliverComeForward());
  EXPECT_TRUE(w.visible());
  EXPECT_FALSE(w.iconMenu.visible());
  EXPECT_EQ(s.TrayOps(), std::vector<NotifyOp>{NotifyOp::Delete});

  s.platform.trayAddsRefused = 1;
  w.Command2.Click();
  ASSERT_TRUE(w.visible());
  EXPECT_TRUE(w.DeliverComeForward());
  s.runtime.Advance(2000);
  EXPECT_TRUE(w.visible()) << "hidden by the icon's retry after the ask";
}

TEST(WaysOut, ExitSilencesTheChipRunsTheFansAndHandsTheDeviceBack) {
  sim::Config config = ChipOf(sim::Model::ZR430);
  config.monitorActive = false;
  Started s(config);
  s.chip.PokeReg(0, 0x5A, 0x40);
  s.chip.PokeReg(0, 0x5B, 0x40);
  ASSERT_EQ(s.chip.SuperIoReg(0x0B, 0x30), 1) << "activated at start";
  s.window().Command1.Click();
  EXPECT_TRUE(s.runtime.ended());
  EXPECT_EQ(s.Reg(0, 0x57) & 0x80, 0);
  EXPECT_EQ(s.Reg(0, 0x5A), 0x40) << "fan 1's item is not monitored by default";
  EXPECT_EQ(s.Reg(0, 0x5B), 255);
  EXPECT_EQ(s.chip.SuperIoReg(0x0B, 0x30), 0);
  EXPECT_TRUE(s.files.files.empty()) << "nothing saved";

  // The first model drives no duty at exit.
  Started first(sim::Model::ZR410);
  first.chip.PokeReg(0, 0x5F, 0x40);
  first.window().mExit_Click();
  EXPECT_EQ(first.Reg(0, 0x5F), 0x40);
  EXPECT_EQ(first.Reg(0, 0x57) & 0x80, 0);
}

TEST(WaysOut, TheTrayExitTouchesNothingButTheIcon) {
  Started s;
  s.window().Command2.Click();
  s.platform.notifyCalls.clear();
  const size_t from = s.chip.Log().size();
  s.runtime.popupPicks.push_back("IconMenuExit");
  s.window().DeliverMouseMove(0, 0, 0x205, 0);
  EXPECT_TRUE(s.runtime.ended());
  EXPECT_EQ(s.TrayOps(), std::vector<NotifyOp>{NotifyOp::Delete});
  EXPECT_EQ(s.chip.Log().size(), from) << "no chip clean-up";
  EXPECT_EQ(s.Reg(0, 0x57) & 0x80, 0x80);
}

TEST(WaysOut, NoWayOutLeavesAFanTheProgramStopped) {
  struct Path {
    const char* name;
    void (*leave)(Started&);
  };
  const Path paths[] = {
      {"Exit", [](Started& s) { s.window().mExit_Click(); }},
      {"tray Exit",
       [](Started& s) {
         s.window().Command2.Click();
         s.runtime.popupPicks.push_back("IconMenuExit");
         s.window().DeliverMouseMove(0, 0, 0x205, 0);
       }},
      {"end of the session",
       [](Started& s) { s.window().RequestClose(ui::UnloadMode::AppWindows); }},
      {"task manager", [](Started& s) { s.window().RequestClose(ui::UnloadMode::TaskManager); }},
  };
  for (const Path& p : paths) {
    SCOPED_TRACE(p.name);
    Started s;
    s.StopFanOne();
    s.run.items.ItemEnabled[9] = 0;  // and then no longer monitored
    p.leave(s);
    EXPECT_TRUE(s.runtime.ended());
    EXPECT_EQ(s.Reg(0, 0x5B), 255);
  }
}

TEST(WaysOut, TheSessionEndsOnlyWhenItReallyEnds) {
  Started s;
  EXPECT_TRUE(s.window().QueryClose(ui::UnloadMode::AppWindows));
  EXPECT_FALSE(s.runtime.ended()) << "another program may still veto";
  EXPECT_TRUE(s.window().visible());
}

TEST(Commands, LoadDefaultResetsTablesControlsAndChipButNotTheFile) {
  Started s;
  frmvigilon& w = s.window();
  limits::LimitPanel& p = w.panel();
  ASSERT_TRUE(items::SaveSettingsFile(s.run.items, s.files, s.run.SettingsLocation()).saved);
  const auto saved = s.files.files;
  p.updHiLimit[2].ArrowDown();
  p.updFanLoLimit[1].ArrowUp();
  w.HScroll1.SetValue(9);
  s.run.items.ItemEnabled[3] = 0;
  w.Command3.Click();
  EXPECT_EQ(p.updHiLimit[2].value(), 227);
  EXPECT_EQ(s.Reg(0, 0x2F), 227);
  EXPECT_EQ(p.updFanLoLimit[1].value(), 171);
  EXPECT_EQ(s.Reg(0, 0x3C), 84);
  EXPECT_EQ(w.Text1.text(), "4");
  EXPECT_EQ(w.HScroll1.value(), 4);
  EXPECT_EQ(s.run.items.ItemEnabled[3], 1);
  EXPECT_TRUE(p.lblStatusV[3].visible());
  EXPECT_FLOAT_EQ(s.run.items.VoltLowLimit[0], 1.85f) << "from the processor's VID";
  EXPECT_EQ(s.Reg(0, 0x40) & 0x01, 0x01);
  EXPECT_EQ(w.mousePointer(), ui::MousePointer::Default);
  EXPECT_EQ(s.files.files, saved);
}

TEST(Commands, SaveAndMakeDataWriteTheModelsRecord) {
  Started s(sim::Model::ZR460);
  s.window().Command4.Click();
  const std::string path = "/vigilon/ZR460.dat";
  ASSERT_EQ(s.files.files.count(path), 1u);
  EXPECT_EQ(s.files.files[path].size(), 326u);

  VigilonSystem debug(ChipOf(sim::Model::ZR420));
  debug.platform.files.insert("Debug for TALV.TAG");
  ASSERT_EQ(debug.Start(), startup::StartupOutcome::MainWindowShown);
  debug.window().HScroll1.SetValue(9);
  debug.window().Command7.Click();
  const auto& bytes = debug.files.files["/vigilon/zr420.dat"];
  ASSERT_EQ(bytes.size(), 326u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 320, bytes.end()),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x00}));
  EXPECT_EQ(debug.window().HScroll1.value(), 9) << "the scroll bar keeps its position";
  debug.Cycles(1);
  EXPECT_EQ(debug.window().Text1.text(), "4");
}

TEST(Commands, AboutOpensOneWindowAndOkClosesIt) {
  Started s;
  frmvigilon& w = s.window();
  w.Command6.Click();
  shell::frmAbout* about = w.about().IfLoaded();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->caption(), "About Vigilon");
  EXPECT_EQ(about->Label2.caption(), "Vigilon for Windows ");
  EXPECT_EQ(about->Label4.caption(), "Version 2.5.0");
  EXPECT_EQ(about->Label5.caption(), "Build: 2550-0111-026");
  EXPECT_EQ(about->Frame1.caption(), "Norvane Hardware Monitor Product Utility");
  EXPECT_EQ(about->Label2.font(), ui::Font("Times New Roman", 14.25));
  EXPECT_EQ(about->Label5.font(), ui::Font("Arial", 8.25));
  w.Show();
  w.mAbout.Click();
  EXPECT_EQ(w.about().IfLoaded(), about) << "the same window";
  EXPECT_GT(about->frontStamp(), w.frontStamp()) << "brought to the front";
  EXPECT_EQ(s.runtime.forms().size(), 2u);
  about->cmdOk.Click();
  EXPECT_EQ(w.about().IfLoaded(), nullptr);
  EXPECT_FALSE(s.runtime.ended());
}

TEST(Commands, TheUnitPicturesSwitchTheUnit) {
  Started s;
  frmvigilon& w = s.window();
  w.Image2.Click();
  EXPECT_TRUE(w.Option2.value());
  EXPECT_FALSE(items::IsTrue(s.run.items.TempInCelsius));
  EXPECT_TRUE(w.panel().Image4.visible());
  w.panel().Image4.Click();
  EXPECT_TRUE(w.Option1.value());
  EXPECT_TRUE(items::IsTrue(s.run.items.TempInCelsius));
  w.panel().Image3.Click();
  EXPECT_TRUE(w.Option2.value());
  w.Image1.Click();
  EXPECT_TRUE(w.Option1.value());
  EXPECT_TRUE(w.panel().Image3.visible());
  EXPECT_FALSE(w.panel().Image4.visible());
}

// ---- Suspend and resume ----

TEST(Power, ASuspendAndResumeBlankTheReadingsForTenSeconds) {
  Started s;
  frmvigilon& w = s.window();
  s.Cycles(1);
  ASSERT_NE(w.panel().lblStatusV[0].caption(), "------");
  const uint8_t beep1 = s.Reg(0, 0x56);
  const uint8_t beep2 = s.Reg(0, 0x57);

  w.DeliverPowerNotice(PowerNotice::Suspend);
  EXPECT_TRUE(s.run.MonitorSuspended);
  EXPECT_EQ(s.Reg(0, 0x56), beep1 & 0x3F) << "fan beeps off, the others kept";
  EXPECT_EQ(s.Reg(0, 0x57), beep2 & 0xF7);
  EXPECT_EQ(s.Reg(0, 0x40) & 0x01, 0);
  s.Cycles(1);
  EXPECT_EQ(w.panel().lblStatusV[0].caption(), "------");
  EXPECT_EQ(w.panel().lblFanSpeed[1].caption(), "------");
  EXPECT_EQ(w.panel().lblCaseOpen.caption(), "");

  const uint64_t resumedAt = s.runtime.now();
  w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
  w.DeliverPowerNotice(PowerNotice::ResumeSuspend);
  EXPECT_EQ(w.mousePointer(), ui::MousePointer::Hourglass);
  EXPECT_EQ(w.panel().lblStatusV[0].caption(), "------");
  s.runtime.Advance(750);
  EXPECT_EQ(w.caption(), std::string("Norvane Vigilon Ver 2.50") + std::string(66, ' ') +
                             "....... Initializing !!")
      << "the long form first";
  s.runtime.Advance(750);
  EXPECT_EQ(w.caption(), "Norvane Vigilon Ver 2.50");
  s.runtime.Advance(resumedAt + 9999 - s.runtime.now());
  EXPECT_TRUE(s.run.MonitorSuspended);
  s.runtime.Advance(1);
  EXPECT_FALSE(s.run.MonitorSuspended);
  EXPECT_NE(w.panel().lblStatusV[0].caption(), "------");
  EXPECT_EQ(w.caption(), "Norvane Vigilon Ver 2.50");
  EXPECT_EQ(w.mousePointer(), ui::MousePointer::Default);
  EXPECT_EQ(s.Reg(0, 0x56), beep1);
  EXPECT_EQ(s.Reg(0, 0x57), beep2);
  EXPECT_EQ(s.Reg(0, 0x40) & 0x01, 0x01);
  s.runtime.Advance(3000);
  EXPECT_EQ(w.caption(), "Norvane Vigilon Ver 2.50") << "the blink stopped";
}

TEST(Power, TwoResumesThreeSecondsApartSettleTenSecondsAfterTheSecond) {
  Started s;
  frmvigilon& w = s.window();
  int steps = 0;
  w.DeliverPowerNotice(PowerNotice::Suspend);
  w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
  s.runtime.Advance(3000);
  w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
  const uint64_t second = s.runtime.now();
  for (int i = 0; i < 15; ++i) {
    const bool before = s.run.MonitorSuspended;
    s.runtime.Advance(1000);
    if (before && !s.run.MonitorSuspended) {
      ++steps;
      EXPECT_EQ(s.runtime.now(), second + 10000);
    }
  }
  EXPECT_EQ(steps, 1);
}

TEST(Power, AResumeWithoutASuspendKeepsMonitoring) {
  Started s;
  frmvigilon& w = s.window();
  w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
  EXPECT_FALSE(s.run.MonitorSuspended);
  EXPECT_NE(w.panel().lblStatusV[0].caption(), "------") << "the resume's cycle reads";
  s.runtime.Advance(10000);
  EXPECT_EQ(w.caption(), "Norvane Vigilon Ver 2.50");
}

// Every pause a suspend notice starts has a way out, whatever notice comes next or none.
TEST(Power, ASuspendThatNeverComesEndsAndOneInsideTheSettlingTimeStopsIt) {
  Started s;
  frmvigilon& w = s.window();
  auto monitoringRuns = [&] { return (s.Reg(0, 0x40) & 0x01) != 0; };

  // Refused by another program: the failure notice ends the pause as a resume does.
  w.DeliverPowerNotice(PowerNotice::QuerySuspend);
  s.chip.ClearLog();
  s.Cycles(2);
  EXPECT_TRUE(s.chip.Log().empty()) << "a suspended cycle touches no register";
  w.DeliverPowerNotice(PowerNotice::QuerySuspendFailed);
  s.runtime.Advance(10000);
  EXPECT_FALSE(s.run.MonitorSuspended);
  EXPECT_TRUE(monitoringRuns());
  EXPECT_NE(w.panel().lblStatusV[0].caption(), "------");

  // A query nothing follows: the system runs on, so the program ends the pause itself. The
  // defaults loaded meanwhile leave the chip stopped and the fans silent until then.
  w.DeliverPowerNotice(PowerNotice::QuerySuspend);
  s.runtime.Advance(20000);
  w.Command3.Click();
  EXPECT_FALSE(monitoringRuns()) << "Load Default";
  EXPECT_EQ(s.Reg(0, 0x56) & 0xC0, 0);
  s.runtime.Advance(30000);
  EXPECT_TRUE(s.run.MonitorSuspended) << "a slow suspend is waited for a while";
  s.runtime.Advance(20000);
  EXPECT_FALSE(s.run.MonitorSuspended);
  EXPECT_TRUE(monitoringRuns());

  // An announced suspend that no resume follows while the program runs (posted by another
  // program) ends sooner, counted from the last announcement.
  w.DeliverPowerNotice(PowerNotice::QuerySuspend);
  s.runtime.Advance(20000);
  w.DeliverPowerNotice(PowerNotice::Suspend);
  s.runtime.Advance(25000);
  EXPECT_TRUE(s.run.MonitorSuspended);
  s.runtime.Advance(20000);
  EXPECT_FALSE(s.run.MonitorSuspended);
  EXPECT_TRUE(monitoringRuns());

  // A new suspend inside the ten seconds after a resume stops the settling there.
  w.DeliverPowerNotice(PowerNotice::Suspend);
  w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
  s.runtime.Advance(4000);
  w.DeliverPowerNotice(PowerNotice::Suspend);
  s.runtime.Advance(9000);
  EXPECT_TRUE(s.run.MonitorSuspended);
  EXPECT_FALSE(monitoringRuns());
  EXPECT_EQ(s.Reg(0, 0x56) & 0xC0, 0) << "the fan beeps stay off";
  EXPECT_EQ(w.caption(), "Norvane Vigilon Ver 2.50") << "no blinking";
  w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
  s.runtime.Advance(10000);
  EXPECT_FALSE(s.run.MonitorSuspended);
  EXPECT_TRUE(monitoringRuns());
}

// A suspend notice can come while the cycle waits for the shell (or a dialog): the rest of
// that cycle reads and writes nothing, not even the status registers that clear when read.
TEST(Power, ASuspendInTheMiddleOfACycleEndsItThere) {
  for (int call = 0; call < 4; ++call) {  // inside each icon change before the status read
    SCOPED_TRACE(testing::Message() << "the cycle's icon call " << call);
    Started s;
    frmvigilon& w = s.window();
    s.Sensors([](sim::Sensors& in) { in.chassisOpen = true; });
    int calls = 0;
    size_t afterNotice = 0;
    s.platform.whileTrayRequest = [&] {
      if (calls++ != call) return;
      w.DeliverPowerNotice(PowerNotice::Suspend);
      afterNotice = s.chip.Log().size();
    };
    s.Cycles(1);
    s.platform.whileTrayRequest = nullptr;
    ASSERT_TRUE(s.run.MonitorSuspended);
    EXPECT_EQ(s.chip.Log().size(), afterNotice) << "the chip was touched after the notice";
    EXPECT_EQ(s.Reg(0, 0x40) & 0x01, 0) << "monitoring stays stopped";
    EXPECT_EQ(w.panel().lblStatusV[0].caption(), "------");
    EXPECT_EQ(w.panel().lblCaseOpen.caption(), "");
    EXPECT_TRUE(s.platform.sleeps.empty()) << "a suspended cycle has no pause";
  }
}

// ---- A chip that stops answering, and an item taken out of monitoring ----

void ChipAnswers(Started& s, bool answers) {
  sim::Config config = s.chip.config();
  config.noChip = !answers;
  s.chip.Reconfigure(config);
}

TEST(SilentChip, NoReadingOfASilentChipIsShownWarnedAboutOrSteeredBy) {
  Started s;
  frmvigilon& w = s.window();
  s.Cycles(2);
  const auto states = s.run.smartFan.SmartFanState;
  ChipAnswers(s, false);
  s.Cycles(1);  // the cycle in which it falls silent
  for (int item = 0; item < items::kItemCount; ++item) {
    EXPECT_EQ(w.warnings().Dialog(item), nullptr) << "item " << item;
    EXPECT_EQ(s.run.ItemWarnCount[item], 0) << "item " << item;
  }
  EXPECT_EQ(w.panel().lblStatusV[0].caption(), "------");
  EXPECT_EQ(w.panel().lblStatusT[1].caption(), "------");
  EXPECT_EQ(w.panel().lblFanSpeed[1].caption(), "------");
  EXPECT_EQ(s.run.smartFan.SmartFanState, states) << "no fan steered from -1 degree";
  EXPECT_NE(w.caption().find("does not answer"), std::string::npos);
  w.Command2.Click();  // hidden in the tray, the tip says it too
  const std::string tip(s.run.TrayIconData.szTip.begin(), s.run.TrayIconData.szTip.end());
  EXPECT_NE(tip.find("does not answer"), std::string::npos);

  ChipAnswers(s, true);
  s.Cycles(1);
  EXPECT_EQ(w.caption(), "Norvane Vigilon Ver 2.50");
  EXPECT_NE(w.panel().lblStatusV[0].caption(), "------");
}

// Where no step reads the chip (nothing is monitored) the status read sees it fall silent, and
// the defaults' VID read sees it before any cycle: either tells the user at once.
TEST(SilentChip, SeenOutsideTheReadingStepsItIsToldAtOnce) {
  Started s;
  frmvigilon& w = s.window();
  s.run.items.ItemEnabled.fill(0);
  w.RefreshPanelEnable();
  ChipAnswers(s, false);
  s.Cycles(1);
  EXPECT_TRUE(s.run.ChipSilent);
  EXPECT_NE(w.caption().find("does not answer"), std::string::npos);
  EXPECT_EQ(w.panel().lblStatusV[0].caption(), "------");
  ChipAnswers(s, true);
  s.Cycles(1);
  EXPECT_EQ(w.caption(), "Norvane Vigilon Ver 2.50");

  ChipAnswers(s, false);
  w.Command3.Click();
  EXPECT_NE(w.caption().find("does not answer"), std::string::npos) << "Load Default";
  EXPECT_EQ(w.panel().lblStatusV[0].caption(), "------");
}

TEST(SilentChip, WhatChangedMeanwhileReachesTheChipOnceItAnswersAgain) {
  Started s;
  limits::LimitPanel& p = s.panel();
  s.StopFanOne();
  ChipAnswers(s, false);
  s.Cycles(1);
  EXPECT_TRUE(s.run.ChipSilent);
  const uint8_t before = s.Reg(0, 0x2F);
  for (int i = 0; i < 3; ++i) p.updHiLimit[2].ArrowUp();
  // The defaults stop watching the stopped fan: the program gives it full duty, in vain.
  s.window().Command3.Click();
  for (int i = 0; i < 3; ++i) p.updHiLimit[2].ArrowUp();
  s.Cycles(2);
  EXPECT_EQ(s.Reg(0, 0x2F), before) << "the writes went nowhere";
  EXPECT_EQ(s.Reg(0, 0x5B), 0);
  // It comes back stopped (the start after a resume went nowhere), its readings as they were.
  s.chip.PokeReg(0, 0x40, s.Reg(0, 0x40) & 0xFE);
  s.Sensors([](sim::Sensors& in) { in.celsius[0] = 50; });

  ChipAnswers(s, true);
  s.Cycles(1);
  EXPECT_FALSE(s.run.ChipSilent);
  EXPECT_EQ(p.lblStatusT[0].caption(), "50.00") << "programmed before it is read";
  EXPECT_EQ(s.Reg(0, 0x2F), p.updHiLimit[2].value());
  EXPECT_EQ(s.Reg(0, 0x5B), 255) << "the fan given back runs";
  EXPECT_EQ(s.Reg(0, 0x40) & 0x01, 0x01) << "monitoring runs";
  EXPECT_EQ(s.Reg(0, 0x57) & 0x80, 0x80) << "the beeper is armed";
}

// Silent only within a pause, the chip is never seen silent; the end of the pause drives the
// fans as the program holds them all the same.
TEST(SilentChip, AFanGivenBackWhileTheChipWasAwayInAPauseRunsAfterIt) {
  Started s;
  s.StopFanOne();
  frmvigilon& w = s.window();
  w.DeliverPowerNotice(PowerNotice::QuerySuspend);
  ChipAnswers(s, false);
  s.run.items.ItemEnabled[9] = 0;  // the fan leaves monitoring: given back, in vain
  w.RefreshPanelEnable();
  ChipAnswers(s, true);
  w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
  s.runtime.Advance(10000);
  EXPECT_FALSE(s.run.MonitorSuspended);
  EXPECT_EQ(s.Reg(0, 0x5B), 255);
}

// Its sensor left monitoring and came back while the chip heard nothing: the fan never ran, so
// it is still the smart fan's switched-off fan after the pause, and a stopped fan the program
// holds off warns of nothing (on the first model inside its sensor's band, where it stays off;
// on the others warm enough to start, which the smart fan then does).
TEST(SilentChip, AFanWatchedAgainBeforeItsGiveBackReachedTheChipIsStillTheSmartFans) {
  struct Case {
    sim::Model model;
    int row;        // the fan limit row the smart fan switches
    double before;  // the first sensor, cold enough to stop the fan
    double after;
  };
  for (const Case& c : {Case{sim::Model::ZR410, 1, 10, 62}, Case{sim::Model::ZR420, 0, 5, 40}}) {
    SCOPED_TRACE(static_cast<int>(c.model));
    Started s(c.model);
    frmvigilon& w = s.window();
    const int fanItem = 9 + c.row;
    s.run.items.ItemEnabled[fanItem] = 1;
    s.Sensors([&](sim::Sensors& in) { in.celsius[0] = c.before; });
    s.Cycles(1);
    ASSERT_FALSE(s.panel().updFanLoLimit[c.row].enabled()) << "switched off";
    w.DeliverPowerNotice(PowerNotice::QuerySuspend);
    ChipAnswers(s, false);
    s.run.items.ItemEnabled[12] = 0;
    w.RefreshPanelEnable();
    s.run.items.ItemEnabled[12] = 1;
    w.RefreshPanelEnable();
    ChipAnswers(s, true);
    s.Sensors([&](sim::Sensors& in) {
      in.celsius[0] = c.after;
      in.rpm[static_cast<size_t>(c.row)] = 0;  // stopped, as the program left it
    });
    w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
    s.runtime.Advance(10000);
    ASSERT_FALSE(s.run.MonitorSuspended);
    EXPECT_EQ(w.warnings().Dialog(fanItem), nullptr) << "a fan the program holds off warns";
    if (c.model == sim::Model::ZR410) {
      s.Cycles(3);
      EXPECT_EQ(w.warnings().Dialog(fanItem), nullptr);
      EXPECT_EQ(s.Reg(0, 0x4D) & 0x30, 0);
      EXPECT_FALSE(s.panel().updFanLoLimit[c.row].enabled());
    } else {
      EXPECT_EQ(s.Reg(0, 0x5B), 255) << "started by the smart fan";
    }
  }
}

// A chip stopped for a pause keeps the count it measured of the fan the program had stopped: a
// fan given back meanwhile gets its row's limit, and warns once it is seen not to turn. On the
// first model that row is the CPU fan's, which stands for fan 3.
TEST(SuspendResume, AFanGivenBackInAPauseIsNotTakenForStoppedByTheCountTheChipKept) {
  for (const auto& [model, row] : {std::pair{sim::Model::ZR410, 1}, {sim::Model::ZR420, 0}}) {
    SCOPED_TRACE(static_cast<int>(model));
    Started s(model);
    frmvigilon& w = s.window();
    const int fanItem = 9 + row;
    s.run.items.ItemEnabled[fanItem] = 1;
    s.Sensors([&](sim::Sensors& in) {
      in.celsius[0] = 5;
      in.rpm[static_cast<size_t>(row)] = 0;
    });
    s.Cycles(1);
    ASSERT_FALSE(s.panel().updFanLoLimit[row].enabled()) << "switched off";
    w.DeliverPowerNotice(PowerNotice::QuerySuspend);
    s.run.items.ItemEnabled[12] = 0;
    w.RefreshPanelEnable();
    w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
    EXPECT_TRUE(s.panel().updFanLoLimit[row].enabled()) << "the user's limit";
    s.runtime.Advance(10000);
    s.Cycles(3);
    EXPECT_NE(w.warnings().Dialog(fanItem), nullptr) << "a fan given back that does not turn";
  }
}

TEST(SilentChip, AResumeBeforeTheChipAnswersKeepsTheCoreRailLimits) {
  Started s;
  frmvigilon& w = s.window();
  const float low = s.run.items.VoltLowLimit[0];
  const float high = s.run.items.VoltHighLimit[0];
  w.DeliverPowerNotice(PowerNotice::QuerySuspend);
  w.DeliverPowerNotice(PowerNotice::Suspend);
  ChipAnswers(s, false);
  w.DeliverPowerNotice(PowerNotice::ResumeAutomatic);
  EXPECT_EQ(s.run.items.VoltLowLimit[0], low) << "not from all-ones VID pins";
  EXPECT_EQ(s.run.items.VoltHighLimit[0], high);
  ChipAnswers(s, true);
  s.runtime.Advance(10000);
  s.Cycles(1);
  EXPECT_FALSE(s.run.MonitorSuspended);
  EXPECT_EQ(s.Reg(0, 0x2B), s.panel().updHiLimit[0].value());
  EXPECT_EQ(s.Reg(0, 0x2C), s.panel().updLoLimit[0].value());
}

// Every user action that switches the unit reads the temperatures once: a second read within
// it would count a bad reading twice and bring a Low Sensitive warning early.
TEST(Commands, EachWayToSwitchTheUnitReadsTheTemperaturesOnce) {
  VigilonSystem s(ChipOf(sim::Model::ZR420));
  s.platform.files.insert("Debug for TALV.TAG");  // for Make Data
  ASSERT_EQ(s.Start(), startup::StartupOutcome::MainWindowShown);
  frmvigilon& w = s.window();
  s.run.items.ItemWErr1[12] = 0;  // Low Sensitive: counts up to the third bad reading
  s.run.items.ItemWErr3[12] = 1;
  s.Sensors([](sim::Sensors& in) { in.celsius[0] = 99; });
  auto lowSensitive = [&] {
    s.run.items.ItemWErr1[12] = 0;
    s.run.items.ItemWErr3[12] = 1;
    s.run.ItemWarnCount[12] = 0;
  };
  struct Way {
    const char* name;
    std::function<void()> act;
    bool celsiusAfter;
  };
  // Load Default and Make Data change the unit by the tables: the cycle after them must not
  // switch it a second time.
  const Way ways[] = {
      {"Image2", [&] { w.Image2.Click(); }, false},
      {"Image4", [&] { w.panel().Image4.Click(); }, true},
      {"Image3", [&] { w.panel().Image3.Click(); }, false},
      {"Image1", [&] { w.Image1.Click(); }, true},
      {"Image1 again", [&] { w.Image1.Click(); }, true},
      {"Option2", [&] { w.Option2.UserClick(); }, false},
      {"the cycle after Load Default",
       [&] {
         w.Command3.Click();
         lowSensitive();
         s.Cycles(1);
       },
       true},
      {"Option2 again", [&] { w.Option2.UserClick(); }, false},
      {"the cycle after Make Data",
       [&] {
         w.Command7.Click();
         lowSensitive();
         s.Cycles(1);
       },
       true},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    lowSensitive();
    way.act();
    EXPECT_EQ(s.run.ItemWarnCount[12], 1);
    EXPECT_EQ(w.Option1.value(), way.celsiusAfter);
    EXPECT_EQ(w.panel().Image3.visible(), way.celsiusAfter);
    EXPECT_EQ(w.panel().Image4.visible(), !way.celsiusAfter);
  }
}

TEST(Commands, LoadDefaultReachesAnOpenConfigurationDialogAndItsCancel) {
  Started s;
  frmvigilon& w = s.window();
  s.run.items.ItemBeep[3] = 0;
  w.Command5.Click();
  config::frmConfig* f = w.configDialog().IfLoaded();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->chkBeep[3].value(), 0);
  w.Command3.Click();
  EXPECT_EQ(f->chkBeep[3].value(), 1) << "the dialog shows the defaults";
  f->cmdSelect[1].Click();
  EXPECT_EQ(s.run.items.ItemBeep[3], 1) << "Cancel keeps the defaults the main window loaded";
  EXPECT_NE(s.Reg(0, 0x56) & 0x08, 0);
}

TEST(Unwatched, AnItemTakenOutOfMonitoringByTheDefaultsLosesItsWarning) {
  Started s;
  frmvigilon& w = s.window();
  w.Command5.Click();
  config::frmConfig* f = w.configDialog().IfLoaded();
  ASSERT_NE(f, nullptr);
  f->chkEnable[9].UserClick();  // fan 1 is off by default
  f->cmdSelect[0].Click();
  s.Sensors([](sim::Sensors& in) { in.rpm[0] = 0; });
  s.Cycles(1);
  ASSERT_NE(w.warnings().Dialog(9), nullptr);
  w.Command3.Click();
  EXPECT_EQ(s.run.items.ItemEnabled[9], 0);
  EXPECT_EQ(w.warnings().Dialog(9), nullptr);
  EXPECT_EQ(s.run.ItemWarnCount[9], 0);
}

}  // namespace
}  // namespace vigilon
