// The warning count per item, each item's dialog and what its buttons do.
#include "warnings/warning_dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "warnings_system.h"

namespace vigilon::warnings {
namespace {

using test_support::Calls;
using test_support::Open;
using test_support::System;

// Feeds readings to an item ('x' bad, 'o' good: the monitor closes the warning) and returns
// after each whether the item's dialog is up ('D') or not ('-').
std::string Trace(System& s, int item, std::string_view readings) {
  std::string shown;
  for (char reading : readings) {
    if (reading == 'x') {
      s.dialogs.ShowWarning(item);
    } else {
      s.dialogs.CloseWarning(item);
    }
    const frmWarning* dialog = s.dialogs.Dialog(item);
    shown += dialog != nullptr && dialog->visible() ? 'D' : '-';
  }
  return shown;
}

TEST(Sensitivity, LowWaitsForThreeBadReadingsInARow) {
  System s;
  EXPECT_EQ(Trace(s, 3, "xxoxx"), "-----");
  EXPECT_EQ(s.run.ItemWarnCount[3], 2);
  EXPECT_EQ(Trace(s, 3, "x"), "D");
  EXPECT_EQ(s.run.ItemWarnCount[3], 0);
  // Bad readings go on counting under the open dialog; Ignore starts the count over.
  EXPECT_EQ(Trace(s, 3, "xx"), "DD");
  EXPECT_EQ(s.run.ItemWarnCount[3], 2);
  s.dialogs.Dialog(3)->Command[kIgnore].Click();
  EXPECT_EQ(s.run.ItemWarnCount[3], 0);
  EXPECT_EQ(Trace(s, 3, "xxx"), "--D");
}

// What the events log is told: each dialog shown, and the button pressed in it.
TEST(Dialogs, TellTheRunsEventsWhatWasShownAndPressed) {
  struct Recorder : RunEventObserver {
    std::string told;
    void RunEventHappened(const RunEvent& e) override {
      told += std::to_string(static_cast<int>(e.kind)) + ":" + std::to_string(e.item) + ":" +
              std::string(e.detail) + " ";
    }
  } recorder;
  System s;
  s.run.events.observers.push_back(&recorder);
  s.High(10);
  EXPECT_EQ(Trace(s, 10, "xx"), "DD");  // a dialog already up is not shown again
  s.dialogs.Dialog(10)->Command[kDisable].Click();
  EXPECT_EQ(recorder.told, "1:10: 2:10:Disable ");
}

TEST(Sensitivity, HighWarnsAtTheFirstBadReading) {
  System s;
  s.High(10);
  EXPECT_EQ(Trace(s, 10, "x"), "D");
  s.dialogs.Dialog(10)->Command[kIgnore].Click();
  EXPECT_EQ(Trace(s, 10, "xoxo"), "D-D-");
  EXPECT_EQ(s.run.ItemWarnCount[10], 0);
  EXPECT_EQ(Trace(s, 11, "xx"), "--");  // a neighbour keeps its own sensitivity
}

TEST(Sensitivity, VisibleDialogIsLeftAsItIs) {
  System s;
  EXPECT_EQ(Trace(s, 15, "xxx"), "--D");
  frmWarning* dialog = s.dialogs.Dialog(15);
  EXPECT_EQ(Trace(s, 15, "xxx"), "DDD");
  EXPECT_EQ(s.dialogs.Dialog(15), dialog);
  EXPECT_EQ(s.captions, (Calls{"Chassis is opened"}));  // loaded once
  // Hidden but loaded: the next warning shows the same dialog again.
  dialog->Hide();
  EXPECT_EQ(Trace(s, 15, "xxx"), "--D");
  EXPECT_EQ(s.dialogs.Dialog(15), dialog);
  EXPECT_EQ(s.captions.size(), 1u);
}

TEST(Sensitivity, UnwatchedItemNeitherCountsNorWarns) {
  System s;
  s.High(5);
  s.run.items.ItemEnabled[5] = 0;
  s.run.items.ItemEnabled[6] = 0;
  EXPECT_EQ(Trace(s, 5, "xxxx"), "----");
  EXPECT_EQ(Trace(s, 6, "xxxx"), "----");
  EXPECT_EQ(s.run.ItemWarnCount[5], 0);
  EXPECT_EQ(s.run.ItemWarnCount[6], 0);

  // Closing does not ask whether the item is watched, and other windows reach it by the hook.
  Open(s, 2);
  s.run.items.ItemEnabled[2] = 0;
  s.run.ItemWarnCount[2] = 2;
  s.run.hooks.CloseWarning(2);
  EXPECT_EQ(s.dialogs.Dialog(2), nullptr);
  EXPECT_EQ(s.run.ItemWarnCount[2], 0);
}

TEST(Dialogs, HelpIsOfferedOnTheSecondCoreWarningOnly) {
  System s;
  s.platform.files = {"vwarn.hlp", "fanwarn.hlp", "twarn.hlp", "zr410.hlp"};
  for (int item = 0; item < 16; ++item) {
    SCOPED_TRACE(item);
    frmWarning& d = Open(s, item);
    const bool offered = item == 1;
    for (const ui::Control* c :
         {static_cast<ui::Control*>(&d.Command[kHelp]), static_cast<ui::Control*>(&d.Tip[kHelp])}) {
      EXPECT_EQ(c->visible(), offered);
      EXPECT_EQ(c->enabled(), offered);
    }
    d.Command[kHelp].Click();
    ASSERT_EQ(s.platform.helpCalls.size(), offered ? 1u : 0u);
    if (offered) {
      EXPECT_EQ(s.platform.helpCalls[0].file, "/vigilon/vwarn.hlp");
      EXPECT_EQ(s.platform.helpCalls[0].command, 1u);
      EXPECT_EQ(s.platform.helpCalls[0].context, 10u);
    }
    s.platform.helpCalls.clear();
  }
  EXPECT_TRUE(s.platform.msgBoxes.empty());
}

// Help hands the file to the viewer only where there is a file, and says why there is no help
// where the file is missing or no viewer takes it.
TEST(Dialogs, HelpWithoutItsFileOrAViewerSaysWhy) {
  struct Case {
    bool file;
    bool viewer;
    size_t viewerCalls;
    const char* said;  // part of the message, or nullptr for none
  };
  const Case cases[] = {
      {true, true, 1, nullptr},
      {false, true, 0, "help file \"/vigilon/vwarn.hlp\" is not in the program's folder"},
      {true, false, 1, "no viewer for Windows Help files such as \"/vigilon/vwarn.hlp\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "file " << c.file << ", viewer " << c.viewer);
    System s;
    if (c.file) s.platform.files = {"VWARN.HLP"};
    s.platform.helpViewer = c.viewer;
    frmWarning& d = Open(s, 1);
    d.Command[kHelp].Click();
    EXPECT_EQ(s.platform.helpCalls.size(), c.viewerCalls);
    if (c.said == nullptr) {
      EXPECT_TRUE(s.platform.msgBoxes.empty());
    } else {
      ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
      EXPECT_NE(s.platform.msgBoxes[0].text.find(c.said), std::string::npos)
          << s.platform.msgBoxes[0].text;
    }
    EXPECT_TRUE(d.visible()) << "the warning stays";
  }
}

// Generous text extents in twips: about 6 px per character of the 8.25-point font, scaled by the
// font's size, with a fifth to spare.
int TextWidth(const std::string& text, const ui::Font& font) {
  return static_cast<int>(static_cast<double>(text.size()) * 6 * 15 * font.size / 8.25 * 1.2);
}
int TextHeight(const ui::Font& font) {
  return static_cast<int>(font.size * 96 / 72 * 15 * 1.2);
}
bool Overlap(const ui::Rect& a, const ui::Rect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

TEST(Dialogs, OneLayoutWhoseTextsFit) {
  const char* const buttons[] = {"Ignore", "Disable", "Shut Down", "Help"};
  const char* const tips[] = {"Ignore this Warning Message.", "No more monitor this item",
                              "Exit Windows", "More Information"};
  for (sim::Model model : {sim::Model::ZR420, sim::Model::ZR430}) {
    System s(model);
    for (int item = 0; item < 16; ++item) {
      SCOPED_TRACE(testing::Message() << sim::ModelName(model) << " item " << item);
      frmWarning& d = Open(s, item);
      EXPECT_EQ(d.Label1.caption(), "Warning!");
      EXPECT_EQ(d.Label1.foreColor(), 0x0000FFu);
      EXPECT_EQ(d.Label1.font(), ui::Font("MS Sans Serif", 18));
      EXPECT_EQ(d.Label2.foreColor(), 0xC00000u);
      for (size_t i = 0; i < 4; ++i) {
        const auto* button = d.Find<ui::CommandButton>(ui::ArrayName("Command", i));
        const auto* tip = d.Find<ui::Label>(ui::ArrayName("Tip", i));
        ASSERT_EQ(button, &d.Command[i]);
        ASSERT_EQ(tip, &d.Tip[i]);
        EXPECT_EQ(button->caption(), buttons[i]);
        EXPECT_EQ(tip->caption(), tips[i]);
        EXPECT_EQ((ui::Rect{d.Command[0].left(), button->top(), 1215, 375}), button->rect());
        EXPECT_GT(tip->left(), button->left() + button->width());
        EXPECT_TRUE(tip->top() < button->top() + button->height() &&
                    button->top() < tip->top() + tip->height());
      }
      const std::vector<ui::Control*>& controls = d.controls();
      for (size_t i = 0; i < controls.size(); ++i) {
        const ui::Control& c = *controls[i];
        SCOPED_TRACE(c.name());
        EXPECT_GE(c.left(), 0);
        EXPECT_GE(c.top(), 0);
        EXPECT_LE(c.left() + c.width(), d.args().clientWidth);
        EXPECT_LE(c.top() + c.height(), d.args().clientHeight);
        if (const auto* label = dynamic_cast<const ui::Label*>(&c)) {
          EXPECT_GE(c.width(), TextWidth(label->caption(), c.font()));
          EXPECT_GE(c.height(), TextHeight(c.font()));
        } else if (const auto* button = dynamic_cast<const ui::CommandButton*>(&c)) {
          EXPECT_GE(c.width(), TextWidth(button->caption(), c.font()) + 240);
        }
        for (size_t j = i + 1; j < controls.size(); ++j)
          EXPECT_FALSE(Overlap(c.rect(), controls[j]->rect())) << controls[j]->name();
      }
    }
  }
}

// The main window's rows and the configuration dialog as they will react to Disable; the
// configuration dialog closes the item's warning through the hook.
void ReactAsTheOtherWindows(System& s, int item, Calls& order) {
  s.run.hooks.RefreshPanelEnable = [&s, &order, item] {
    order.push_back("rows, Enable " + std::to_string(s.run.items.ItemEnabled[item]));
  };
  s.run.hooks.DisableInConfig = [&s, &order](int k) {
    order.push_back("config " + std::to_string(k));
    s.run.hooks.CloseWarning(k);
  };
}

TEST(Buttons, DisableStopsWatchingTheItemAndClosesItsDialog) {
  for (int item : {0, 9, 14}) {
    SCOPED_TRACE(item);
    System s;
    Calls order;
    ReactAsTheOtherWindows(s, item, order);
    s.run.ItemWarnCount[item] = 1;
    Open(s, item).Command[kDisable].Click();
    EXPECT_EQ(order, (Calls{"rows, Enable 0", "config " + std::to_string(item)}));
    EXPECT_EQ(s.dialogs.Dialog(item), nullptr);
    EXPECT_TRUE(s.runtime.forms().empty());
    EXPECT_EQ(Trace(s, item, "xxx"), "---");
  }
  // Before the configuration dialog exists the dialog closes all the same, and the chip stops
  // beeping for the item at once.
  System s;
  s.run.items.ItemBeep[4] = 1;
  s.run.items.ItemBeep[3] = 1;
  s.chip.PokeReg(0, 0x57, 0x81);  // item 4's beep, as the last programming left it
  Open(s, 4).Command[kDisable].Click();
  EXPECT_EQ(s.run.items.ItemEnabled[4], 0);
  EXPECT_EQ(s.dialogs.Dialog(4), nullptr);
  EXPECT_EQ(s.chip.Reg(0, 0x57), 0x80);
  EXPECT_EQ(s.chip.Reg(0, 0x56), 0x08) << "the other items' beeps as their flags say";
}

TEST(Buttons, ShutDownLeavesTheDialogOpen) {
  System s;
  frmWarning& d = Open(s, 12);
  s.platform.msgBoxAnswers = {platform::MsgBoxAnswer::No, platform::MsgBoxAnswer::Yes};
  d.Command[kShutDown].Click();
  d.Command[kShutDown].Click();
  EXPECT_EQ(s.platform.msgBoxes.size(), 2u);
  EXPECT_EQ(s.platform.exitWindowsCalls.size(), 1u);
  ASSERT_EQ(s.dialogs.Dialog(12), &d);
  EXPECT_TRUE(d.visible());
}

uint8_t Beep1(const System& s) {
  return s.chip.Reg(0, chip::reg::kBeep1);
}

TEST(CaseOpen, BeepBitIsSetWhileTheDialogIsUpHoweverItCloses) {
  struct Way {
    const char* name;
    void (*close)(System&);
  };
  const Way ways[] = {
      {"CloseWarning", [](System& s) { s.dialogs.CloseWarning(15); }},
      {"Ignore", [](System& s) { s.dialogs.Dialog(15)->Command[kIgnore].Click(); }},
      {"close box",
       [](System& s) { s.dialogs.Dialog(15)->RequestClose(ui::UnloadMode::ControlMenu); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    System s;
    s.chip.PokeReg(0, 0x56, 0x2F);
    s.chip.PokeReg(0, 0x4E, 0x03);  // another bank selected
    Open(s, 15);
    EXPECT_EQ(Beep1(s), 0x3F);
    EXPECT_EQ(s.chip.SelectedBank(), 0);
    EXPECT_EQ(s.captions, (Calls{"Chassis is opened"}));

    // The other bits may change meanwhile: the unload reads the register again.
    s.chip.PokeReg(0, 0x56, 0xFF);
    s.chip.PokeReg(0, 0x4E, 0x02);
    way.close(s);
    EXPECT_EQ(s.dialogs.Dialog(15), nullptr);
    EXPECT_EQ(Beep1(s), 0xEF);
    EXPECT_EQ(s.chip.SelectedBank(), 0);
    EXPECT_EQ(s.captions, (Calls{"Chassis is opened", "Chassis is closed"}));

    s.chip.PokeReg(0, 0x56, 0x10);
    s.dialogs.CloseWarning(15);  // nothing left to close
    EXPECT_EQ(Beep1(s), 0x10);
    EXPECT_EQ(s.captions.size(), 2u);
    s.dialogs.ShowWarning(15);  // a new dialog loads afresh
    EXPECT_EQ(s.captions.size(), 3u);
  }
}

// The dialog borrows the first temperature's beep bit; closing it hands the bit back as that
// item's flags have it instead of silencing an overheating processor.
TEST(CaseOpen, ClosingGivesTheFirstTemperatureItsBeepBack) {
  for (const int16_t enabled : {1, 0}) {
    SCOPED_TRACE(enabled);
    System s;
    s.run.items.ItemEnabled[12] = enabled;
    s.run.items.ItemBeep[12] = 1;
    s.chip.PokeReg(0, 0x56, 0x2F);
    Open(s, 15);
    s.dialogs.CloseWarning(15);
    EXPECT_EQ(Beep1(s), enabled ? 0x3F : 0x2F);
  }
}

TEST(CaseOpen, DisableKeepsTheDialogUntilIgnore) {
  System s;
  Calls order;
  ReactAsTheOtherWindows(s, 15, order);
  frmWarning& d = Open(s, 15);
  d.Command[kDisable].Click();
  EXPECT_EQ(order, (Calls{"rows, Enable 0", "config 15"}));
  ASSERT_EQ(s.dialogs.Dialog(15), &d);
  EXPECT_TRUE(d.visible());
  EXPECT_EQ(Beep1(s) & 0x10, 0x10);
  EXPECT_EQ(s.captions, (Calls{"Chassis is opened"}));

  d.Command[kIgnore].Click();
  EXPECT_EQ(s.dialogs.Dialog(15), nullptr);
  EXPECT_EQ(Beep1(s) & 0x10, 0);
  EXPECT_EQ(s.captions, (Calls{"Chassis is opened", "Chassis is closed"}));
}

}  // namespace
}  // namespace vigilon::warnings
