// The whole program with its records in a folder held in memory: a folder that cannot be
// written shows in the title, the tray tip and About, and once it can be written again they are
// exactly as designed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/memory_record_files.h"
#include "records/records.h"
#include "support/vigilon_system.h"

namespace vigilon {
namespace {

struct WithRecords : test::VigilonSystem {
  WithRecords() {
    folder.folders.insert(platform.folder);
    folder.files[platform.folder + "/vigilon.ini"] = "[Log]\nEnabled=1\nFolder=logs\n";
    beforeMainWindow = [this](RunState& state) {
      EXPECT_TRUE(records.Start(state.traits()).empty());
      state.observers.push_back(&records);
      state.hooks.RecordsTrouble = [this](int32_t offset) { return records.Trouble(offset); };
    };
    EXPECT_EQ(Start(), startup::StartupOutcome::MainWindowShown);
  }
  std::string Tip() const {
    const auto& tip = run.TrayIconData.szTip;
    return std::string(tip.begin(), tip.end());
  }
  // Hours and minutes of the fake wall clock's local time now.
  std::string LocalClock() {
    const int64_t secondsOfDay =
        (platform.UnixTimeMs() / 1000 + platform.utcOffsetMinutes * 60) % 86400;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(secondsOfDay / 3600),
                  static_cast<int>(secondsOfDay / 60 % 60));
    return text;
  }

  platform::MemoryRecordFiles folder;
  records::Records records{
      folder, files,
      records::RecordsSetting{platform.folder, '/', "2.5.0",
                              [this] { return platform.UnixTimeMs(); },
                              [this](int64_t) { return platform.utcOffsetMinutes; }}};
};

TEST(RecordsTrouble, AnUnwritableFolderShowsInTitleTipAndAboutUntilItCanBeWrittenAgain) {
  WithRecords system;
  frmvigilon& window = system.window();
  const std::string designedTip = "Vigilon" + std::string(57, ' ');
  system.Cycles(2);
  ASSERT_FALSE(system.folder.files.empty()) << "the log is not written";
  EXPECT_EQ(window.caption(), kMainWindowTitle);

  // Hidden to the tray, so the tip is the one the shell shows.
  window.Command2.Click();
  EXPECT_EQ(system.Tip(), designedTip);
  system.folder.failWrites = true;
  system.runtime.Advance(system.run.items.PollInterval * 1000 - 500);
  const std::string since = system.LocalClock();
  system.runtime.Advance(500);
  const std::string trouble = "the log cannot be written since " + since;
  EXPECT_EQ(window.caption(), std::string(kMainWindowTitle) + "  -  " + trouble);
  const std::string tip = "Vigilon - " + trouble;
  EXPECT_EQ(system.Tip(), tip + std::string(64 - tip.size(), ' '));
  ASSERT_FALSE(system.platform.notifyCalls.empty());
  EXPECT_EQ(system.platform.notifyCalls.back().record.szTip, system.run.TrayIconData.szTip)
      << "the shell was not told";
  // Cycles later it still says since when it began.
  system.Cycles(3);
  EXPECT_EQ(window.caption(), std::string(kMainWindowTitle) + "  -  " + trouble);
  window.mAbout_Click();
  shell::frmAbout& about = window.about().Get();
  EXPECT_TRUE(about.lblRecordsTrouble.visible());
  EXPECT_EQ(about.lblRecordsTrouble.caption(), "The log cannot be written since " + since);

  system.folder.failWrites = false;
  system.Cycles(1);
  EXPECT_EQ(window.caption(), kMainWindowTitle);
  EXPECT_EQ(system.Tip(), designedTip);
  EXPECT_FALSE(about.lblRecordsTrouble.visible()) << "the open About kept the trouble";
  std::string events;
  for (const auto& [path, text] : system.folder.files)
    if (path.find("vigilon-events-") != std::string::npos) events += text;
  EXPECT_NE(events.find("log written again"), std::string::npos) << events;
}

}  // namespace
}  // namespace vigilon
