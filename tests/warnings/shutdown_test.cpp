// The shutdown command: its three outcomes, and a warning dialog closed by the monitoring cycle
// while the dialog's shutdown question is up.
#include "warnings/shutdown.h"

#include <gtest/gtest.h>

#include <functional>

#include "warnings_system.h"

namespace vigilon::warnings {
namespace {

using platform::MsgBoxAnswer;
using platform::MsgBoxButtons;
using test_support::Calls;
using test_support::Open;
using test_support::System;

constexpr const char* kQuestion = "Do you want to shut down your System?";
constexpr const char* kNoRight = " You don't have the priviledge to shut down the system! ";

struct Outcome {
  const char* name;
  MsgBoxAnswer answer;
  bool refused;
  Calls calls;
};
const Outcome kOutcomes[] = {
    {"no", MsgBoxAnswer::No, false, {"MsgBox"}},
    {"right refused", MsgBoxAnswer::Yes, true, {"MsgBox", "EnablePri", "MsgBox"}},
    {"granted", MsgBoxAnswer::Yes, false, {"MsgBox", "EnablePri", "ExitWindowsEx", "DisablePri"}},
};

void Script(System& s, const Outcome& o) {
  sim::Config config = s.chip.config();
  config.shutdownRefused = o.refused;
  s.chip.Reconfigure(config);
  s.platform.msgBoxAnswers = {o.answer};
}

TEST(ConfirmShutdown, AsksThenShutsDownOnlyWithTheRight) {
  for (const Outcome& o : kOutcomes) {
    SCOPED_TRACE(o.name);
    System s;
    Script(s, o);
    ConfirmShutdown(s.run);
    EXPECT_EQ(s.calls, o.calls);
    ASSERT_FALSE(s.platform.msgBoxes.empty());
    EXPECT_EQ(s.platform.msgBoxes[0].text, kQuestion);
    EXPECT_EQ(s.platform.msgBoxes[0].caption, "Vigilon");
    EXPECT_EQ(s.platform.msgBoxes[0].buttons, MsgBoxButtons::YesNo);
    if (o.refused) {
      ASSERT_EQ(s.platform.msgBoxes.size(), 2u);
      EXPECT_EQ(s.platform.msgBoxes[1].text, kNoRight);
      EXPECT_EQ(s.platform.msgBoxes[1].caption, "");
      EXPECT_EQ(s.platform.msgBoxes[1].buttons, MsgBoxButtons::Ok);
    }
    using ExitCalls = std::vector<std::pair<uint32_t, uint32_t>>;
    const bool granted = o.calls.back() == "DisablePri";
    EXPECT_EQ(s.platform.exitWindowsCalls, (granted ? ExitCalls{{1, 0}} : ExitCalls{}));
  }
}

// The main window's monitoring cycle, as far as the warnings see it: a timer that reports a
// reading of the chassis at each tick.
class MonitorCycle : public ui::Form {
 public:
  MonitorCycle(ui::Runtime& runtime, std::function<void()> reading)
      : Form(runtime, ui::FormArgs("frmCycle", "cycle")) {
    Create({{tmrCycle, ui::Args("tmrCycle")}});
    tmrCycle.SetInterval(1000);
    tmrCycle.onTimer = std::move(reading);
  }
  ui::Timer tmrCycle;
};

TEST(ShutDownUnderTheCycle, DialogClosedWhileItsQuestionIsUp) {
  for (const Outcome& o : kOutcomes) {
    SCOPED_TRACE(o.name);
    System s;
    Script(s, o);
    frmWarning& d = Open(s, 15);
    ui::FormSlot<MonitorCycle, std::function<void()>> cycle(
        s.runtime, std::function<void()>([&s] { s.dialogs.CloseWarning(15); }));
    cycle.Get();
    s.platform.whileMsgBoxShown = [&s](const std::string&) { s.runtime.Advance(1000); };
    d.Command[kShutDown].Click();
    EXPECT_EQ(s.calls, o.calls);
    EXPECT_EQ(s.dialogs.Dialog(15), nullptr);
    EXPECT_EQ(s.captions, (Calls{"Chassis is opened", "Chassis is closed"}));
    EXPECT_EQ(s.chip.Reg(0, chip::reg::kBeep1) & 0x10, 0);
    EXPECT_EQ(s.runtime.forms().size(), 1u);  // the cycle's own
  }
}

TEST(ShutDownUnderTheCycle, FreshDialogOpenedUnderTheQuestionStays) {
  System s;
  frmWarning& d = Open(s, 15);
  s.platform.msgBoxAnswers = {MsgBoxAnswer::No};
  s.platform.whileMsgBoxShown = [&s](const std::string&) {
    s.dialogs.CloseWarning(15);
    s.dialogs.ShowWarning(15);
  };
  d.Command[kShutDown].Click();
  ASSERT_NE(s.dialogs.Dialog(15), nullptr);
  EXPECT_TRUE(s.dialogs.Dialog(15)->visible());
  EXPECT_EQ(s.captions, (Calls{"Chassis is opened", "Chassis is closed", "Chassis is opened"}));
  EXPECT_EQ(s.chip.Reg(0, chip::reg::kBeep1) & 0x10, 0x10);
}

}  // namespace
}  // namespace vigilon::warnings
