// The save commands over a started system: what reaches the file, and what the user is told
// when the file cannot be written.
#include "shell/settings_commands.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "chip/sim_port_io.h"
#include "items/settings_record.h"
#include "platform/fake_platform.h"
#include "sim/chip_sim.h"
#include "startup/startup.h"
#include "support/memory_files.h"

namespace vigilon::shell {
namespace {

struct Started {
  explicit Started(std::map<std::string, std::vector<uint8_t>> onDisk = {})
      : io(chip), run(io, platform, files) {
    files.files = std::move(onDisk);
    EXPECT_EQ(startup::Main(run, [](RunState&) {}), startup::StartupOutcome::MainWindowShown);
  }
  sim::ChipSim chip;
  chip::SimPortIo io;
  platform::FakePlatform platform;
  items::MemoryFiles files;
  RunState run;
};

constexpr const char* kFile = "/vigilon/zr420.dat";

TEST(SaveSettings, WritesTheRecordAndSaysNothing) {
  Started s;
  s.run.items.PollInterval = 11;
  EXPECT_TRUE(SaveSettings(s.run));
  ASSERT_EQ(s.files.files.count(kFile), 1u);
  const auto& bytes = s.files.files[kFile];
  ASSERT_EQ(bytes.size(), items::kSettingsRecordSize);
  EXPECT_EQ(bytes[324], 11);
  // The VID limits were applied at start, so the file no longer asks for them.
  EXPECT_EQ(bytes[320], 0);
  EXPECT_EQ(bytes[321], 0);
  EXPECT_TRUE(s.platform.msgBoxes.empty());
}

TEST(SaveSettings, FailureIsToldAndLosesNothing) {
  Started s;
  ASSERT_TRUE(SaveSettings(s.run));
  const auto before = s.files.files[kFile];
  s.run.items.PollInterval = 30;
  s.files.replaceError = "access denied";
  EXPECT_FALSE(SaveSettings(s.run));
  ASSERT_EQ(s.platform.msgBoxes.size(), 1u);
  const auto& box = s.platform.msgBoxes[0];
  EXPECT_NE(box.text.find("access denied"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find(kFile), std::string::npos) << box.text;
  EXPECT_EQ(box.caption, "");
  EXPECT_EQ(box.buttons, platform::MsgBoxButtons::Ok);
  EXPECT_EQ(s.files.files[kFile], before);
  EXPECT_EQ(s.run.items.PollInterval, 30) << "the user's change stays in effect";
}

// The user's file with interval 17, one byte short: after a start and one Save it must still
// be there, beside the new file.
TEST(SaveSettings, AfterADamagedStartTheOldBytesAreKeptOnce) {
  std::vector<uint8_t> damaged(items::kSettingsRecordSize - 1, 0);
  damaged[324] = 17;
  Started s({{kFile, damaged}});
  ASSERT_EQ(s.platform.msgBoxes.size(), 1u) << "told at start";
  EXPECT_TRUE(SaveSettings(s.run));
  EXPECT_EQ(s.platform.msgBoxes.size(), 1u) << "the save went as the start-up message said";
  EXPECT_EQ(s.files.files["/vigilon/zr420.dat.damaged"], damaged);
  EXPECT_EQ(s.files.files[kFile].size(), items::kSettingsRecordSize);
  s.run.items.PollInterval = 5;
  EXPECT_TRUE(SaveSettings(s.run));
  EXPECT_EQ(s.files.files.size(), 2u);
  EXPECT_EQ(s.files.files["/vigilon/zr420.dat.damaged"], damaged);
}

TEST(SaveSettings, OldBytesThatCannotBeKeptStopTheSave) {
  const std::vector<uint8_t> damaged(100, 0xAB);
  Started s({{kFile, damaged}});
  s.files.createError = "cannot create /vigilon/zr420.dat.damaged (read-only folder)";
  EXPECT_FALSE(SaveSettings(s.run));
  ASSERT_EQ(s.platform.msgBoxes.size(), 2u);
  const std::string& text = s.platform.msgBoxes[1].text;
  EXPECT_NE(text.find("could not be kept"), std::string::npos) << text;
  EXPECT_NE(text.find("read-only folder"), std::string::npos) << text;
  EXPECT_NE(text.find("The settings file was left as it was."), std::string::npos) << text;
  EXPECT_EQ(s.files.files.size(), 1u);
  EXPECT_EQ(s.files.files[kFile], damaged);
}

TEST(MakeData, WritesAFileThatAsksForTheVidAtTheNextStart) {
  Started s;
  s.run.items.PollInterval = 17;
  s.run.items.TempInCelsius = items::kFalse;
  EXPECT_TRUE(MakeData(s.run));
  const auto& bytes = s.files.files[kFile];
  ASSERT_EQ(bytes.size(), items::kSettingsRecordSize);
  const std::vector<uint8_t> tail(bytes.begin() + 320, bytes.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x00}));
}

}  // namespace
}  // namespace vigilon::shell
