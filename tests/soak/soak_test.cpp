// A bounded slice of the soak for every model, its logs and metrics file on, and proof that its
// checks see a broken chip, a broken beeper, a fan duty nobody wrote and a settings file changed
// behind the program, naming the seed and cycle that replay the failure.
#include "soak/soak.h"

#include <gtest/gtest.h>

#include "support/memory_files.h"

namespace vigilon::soak {
namespace {

constexpr uint64_t kSeed = 20261208;
constexpr int64_t kSliceCycles = 2500;  // about 2.8 hours of the program's time per model

TEST(Soak, ASliceOfEveryModelKeepsItsInvariantsAndMeetsEveryFault) {
  Report all;
  for (const sim::Model model :
       {sim::Model::ZR410, sim::Model::ZR420, sim::Model::ZR430, sim::Model::ZR460}) {
    SCOPED_TRACE(sim::ModelName(model));
    Options options;
    options.seed = kSeed;
    options.cycles = kSliceCycles;
    options.model = model;
    const Report report = RunSoak(options);
    EXPECT_TRUE(report.passed()) << report.failure;
    EXPECT_EQ(report.cycles, kSliceCycles);
    EXPECT_GT(report.pollCycles, kSliceCycles / 2) << "monitoring ran";
    EXPECT_GT(report.dialogsOpened, 0);
    // The log's folder could not be written for more than an hour of the slice, and what
    // waited then reached it (the soak counts every row against the cycles told); a restart
    // in that hour forgets what waited.
    EXPECT_GE(report.mostRowsWaiting, 200);
    EXPECT_GT(report.rowsWritten, kSliceCycles / 2);
    for (size_t a = 0; a < all.actions.size(); ++a) all.actions[a] += report.actions[a];
  }
  // A schedule that stopped producing a kind of fault would pass while testing less. (Help is
  // offered by one dialog only, the second core rail's, which a slice may never open.)
  for (size_t a = 0; a < all.actions.size(); ++a) {
    if (static_cast<Action>(a) == Action::WarningHelp) continue;
    EXPECT_GT(all.actions[a], 0) << ActionName(static_cast<Action>(a)) << " never happened";
  }
}

Report Sabotaged(int64_t at, std::function<void(sim::ChipSim&, items::MemoryFiles&)> sabotage) {
  Options options;
  options.seed = kSeed;
  options.cycles = 200;
  options.sabotageAt = at;
  options.sabotage = std::move(sabotage);
  return RunSoak(options);
}

TEST(Soak, TheChecksSeeWhatTheProgramDidNotDoAndNameTheReplay) {
  const Report limit =
      Sabotaged(0, [](sim::ChipSim& chip, items::MemoryFiles&) { chip.PokeReg(0, 0x2B, 0); });
  ASSERT_FALSE(limit.passed());
  EXPECT_EQ(limit.failedCycle, 0);
  EXPECT_NE(limit.failure.find("rail 0: limit registers"), std::string::npos) << limit.failure;
  EXPECT_NE(limit.failure.find("seed 20261208, cycle 0"), std::string::npos) << limit.failure;
  EXPECT_NE(limit.failure.find("--seed 20261208 --cycles 1"), std::string::npos) << limit.failure;

  const Report beeper =
      Sabotaged(0, [](sim::ChipSim& chip, items::MemoryFiles&) { chip.PokeReg(0, 0x57, 0); });
  ASSERT_FALSE(beeper.passed());
  EXPECT_NE(beeper.failure.find("beep register 0x57"), std::string::npos) << beeper.failure;

  // A duty the smart fan never wrote: its state says full.
  const Report duty =
      Sabotaged(5, [](sim::ChipSim& chip, items::MemoryFiles&) { chip.PokeReg(0, 0x5F, 0); });
  ASSERT_FALSE(duty.passed());
  EXPECT_NE(duty.failure.find("duty register 0x5F holds 0"), std::string::npos) << duty.failure;

  const Report file = Sabotaged(3, [](sim::ChipSim&, items::MemoryFiles& files) {
    files.files["/vigilon/zr420.dat"].assign(326, 0);
  });
  ASSERT_FALSE(file.passed());
  EXPECT_EQ(file.failedCycle, 3);
  EXPECT_NE(file.failure.find("settings file changed"), std::string::npos) << file.failure;
}

TEST(Soak, ASeedIsTheWholeRun) {
  Options options;
  options.seed = 7;
  options.cycles = 600;
  const Report first = RunSoak(options);
  const Report again = RunSoak(options);
  EXPECT_EQ(first.actions, again.actions);
  EXPECT_EQ(first.pollCycles, again.pollCycles);
  EXPECT_EQ(first.dialogsOpened, again.dialogsOpened);
  options.seed = 8;
  EXPECT_NE(RunSoak(options).actions, first.actions);
}

}  // namespace
}  // namespace vigilon::soak
