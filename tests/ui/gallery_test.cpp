// The control gallery driven headless: the same actions the Wine test takes through Win32
// messages, through the model's user-input entry points, with the same log expected.
#include <gtest/gtest.h>

#include "../e2e/gallery/gallery_form.h"
#include "platform/fake_platform.h"
#include "ui/headless_runtime.h"

namespace vigilon::gallery {
namespace {

using Lines = std::vector<std::string>;

TEST(GalleryTest, UserInputRunsTheEventsInOrder) {
  platform::FakePlatform fake;
  ui::HeadlessRuntime runtime(fake);
  ui::FormSlot<GalleryForm> slot(runtime);
  GalleryForm& form = slot.Get();
  form.Show();
  EXPECT_EQ(form.Events(), (Lines{"load", "unit=Celsius"}));
  EXPECT_TRUE(form.ControlIdCollisions().empty());

  form.updLimit.ArrowUp();
  form.chkBeep.UserClick();
  form.optFahrenheit.UserClick();
  form.tabPages.SetSelectedIndex(1);
  form.scrInterval.SmallStep(+1);
  form.imgMark.Click();
  form.DeliverPowerNotice(ui::PowerNotice::QuerySuspend);
  form.DeliverPowerNotice(ui::PowerNotice::Suspend);
  form.DeliverPowerNotice(ui::PowerNotice::ResumeAutomatic);
  form.DeliverPowerNotice(ui::PowerNotice::ResumeSuspend);
  form.DeliverMouseMove(0, 0, 0x203, 0);
  EXPECT_EQ(form.Events(),
            (Lines{"load", "unit=Celsius", "upd=6", "chk=1", "unit=Fahrenheit", "tab=Fan",
                   "scroll=5", "unit=Celsius", "power=suspend", "power=resume", "tray=0x203"}));
  EXPECT_EQ(form.lblLimit.caption(), "6");
  EXPECT_EQ(form.txtInterval.text(), "5");
  EXPECT_EQ(form.lblPage.caption(), "Fan");
  EXPECT_EQ(form.imgMark.picture(), "°C");

  // The gauge keeps its reading beyond the track.
  EXPECT_EQ(form.sldGauge.value(), 130);
  EXPECT_EQ(form.sldGauge.ThumbPosition(), 100);

  runtime.Advance(1000);
  EXPECT_EQ(form.prbSpeed.value(), 25);

  form.mHide.Click();
  EXPECT_FALSE(form.visible());
  runtime.BroadcastTaskbarCreated();
  form.DeliverMouseMove(0, 0, 0x203, 0);
  EXPECT_TRUE(form.visible());
  runtime.BroadcastTaskbarCreated();  // shown: not for this form
  const Lines events = form.Events();
  EXPECT_EQ(Lines(events.end() - 3, events.end()), (Lines{"hidden", "taskbar", "tray=0x203"}));

  // The tray menu: only while hidden, and the pick runs before the pop-up returns.
  runtime.popupPicks = {"IconMenuRestore"};
  form.DeliverMouseMove(0, 0, 0x205, 0);
  EXPECT_TRUE(runtime.popups.empty());
  form.mHide.Click();
  form.DeliverMouseMove(0, 0, 0x205, 0);
  EXPECT_EQ(runtime.popups, (std::vector<std::string>{"iconMenu"}));
  EXPECT_TRUE(form.visible());
  const Lines after = form.Events();
  EXPECT_EQ(Lines(after.end() - 4, after.end()),
            (Lines{"tray=0x205", "hidden", "tray=0x205", "restore"}));

  form.mExit.Click();
  EXPECT_FALSE(slot.Loaded());
}

}  // namespace
}  // namespace vigilon::gallery
