// The save commands over a started system: what reaches the file, and what the user is told
// when the file cannot be written.
#include "shell/settings_commands.h"

#include <gtest/gtest.h>

#include "chip/sim_port_io.h"
#include "items/settings_record.h"
#include "platform/fake_platform.h"
#include "sim/chip_sim.h"
#include "startup/startup.h"
#include "support/memory_files.h"

namespace vigilon::shell {
namespace {

struct Started {
  Started() : io(chip), run(io, platform, files) {
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
