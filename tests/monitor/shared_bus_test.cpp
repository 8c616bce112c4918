// The whole program on a bus another monitoring program uses too: every sequence of accesses
// that relies on the bank select holds the lock from the select on, and a lock the other
// program never gives back costs each moment of the program one wait, not the window.
#include <gtest/gtest.h>

#include <array>

#include "chip/bus_lock.h"
#include "support/vigilon_system.h"

namespace vigilon {
namespace {

using test::ChipOf;
using test::VigilonSystem;

// The other program takes the lock between any two of ours: whenever ours asks for it, the
// other has just had it, flipped a bit of its own in a bank-0 register that ours updates by
// read-modify-write (the chassis register, which every cycle updates), then selected a bank of
// its own and written a register there.
class OtherProgramFirst final : public chip::BusLock {
 public:
  static constexpr uint8_t kTheirBank = 3;
  static constexpr uint8_t kTheirReg = 0x5A;
  static constexpr uint8_t kTheirValue = 0xA5;
  static constexpr uint8_t kSharedReg = 0x46;
  static constexpr uint8_t kTheirBit = 0x01;
  explicit OtherProgramFirst(sim::ChipSim& chip) : chip_(chip) {}
  bool Acquire(uint32_t) override {
    if (const auto index = chip_.MonitorIndexPort()) {
      chip_.Out(*index, 0x4E);
      const uint8_t select = chip_.In(*index + 1) & 0x80;
      chip_.Out(*index + 1, select);
      chip_.Out(*index, kSharedReg);
      const uint8_t shared = chip_.In(*index + 1);
      // Their bit as they left it at their last turn, or one of our updates wrote it back.
      if (((shared & kTheirBit) != 0) != theirBitSet) ++clobbered;
      theirBitSet = !theirBitSet;
      chip_.Out(*index + 1,
                static_cast<uint8_t>((shared & ~kTheirBit) | (theirBitSet ? kTheirBit : 0)));
      chip_.Out(*index, 0x4E);
      chip_.Out(*index + 1, static_cast<uint8_t>(select | kTheirBank));
      chip_.Out(*index, kTheirReg);
      chip_.Out(*index + 1, kTheirValue);
      ++turns;
    }
    return true;
  }
  bool theirBitSet = false;
  int clobbered = 0;
  void Release() override {}
  int turns = 0;

 private:
  sim::ChipSim& chip_;
};

TEST(SharedBus, AnotherProgramNeverLandsBetweenOurSelectAndItsAccessesNorSplitsAnUpdate) {
  for (sim::Model model :
       {sim::Model::ZR410, sim::Model::ZR420, sim::Model::ZR430, sim::Model::ZR460}) {
    SCOPED_TRACE(sim::ModelName(model));
    VigilonSystem s(ChipOf(model));
    std::array<uint8_t, 256> theirBank{};
    for (int r = 0; r < 256; ++r) theirBank[r] = s.Reg(3, static_cast<uint8_t>(r));
    OtherProgramFirst other(s.chip);
    s.run.chip.ShareBus(&other);
    ASSERT_EQ(s.Start(), startup::StartupOutcome::MainWindowShown);
    s.Cycles(3);
    // Limits of the banked rows: the standby rail (bank 5) and the second sensor (bank 1).
    limits::LimitPanel& p = s.panel();
    p.updHiLimit[7].ArrowDown();
    p.updTempHiLimit[1].ArrowDown();
    s.Cycles(1);
    ASSERT_GT(other.turns, 0);

    // Nothing of ours went into the other program's bank...
    for (int r = 0; r < 256; ++r) {
      if (r == OtherProgramFirst::kTheirReg || r == 0x4E) continue;
      EXPECT_EQ(s.Reg(3, static_cast<uint8_t>(r)), theirBank[r]) << "bank 3 register " << r;
    }
    // ...no update of ours wrote back a bit of theirs as it was before their last write...
    EXPECT_EQ(other.clobbered, 0);
    // ...and what we wrote and read is that of our banks.
    if (s.run.items.ItemPresent[7] == 1) {
      EXPECT_EQ(s.Reg(5, 0x54), p.updHiLimit[7].value());
      EXPECT_EQ(p.SldVoltage[7].value(), s.Reg(5, 0x50));
    }
    EXPECT_EQ(s.Reg(1, 0x55), (p.updTempHiLimit[1].value() - 80) / 2);
    const int half = s.Reg(1, 0x51) == 0x80 ? 1 : 0;
    EXPECT_EQ(p.sldTemp[1].value(), 2 * static_cast<int8_t>(s.Reg(1, 0x50)) + half + 80);
    EXPECT_EQ(s.run.chip.busLockTimeouts(), 0u);
    s.window().mAbout_Click();
    EXPECT_FALSE(s.window().about().IfLoaded()->lblBusLockTimeouts.visible());
  }
}

// Held by a program that never lets go: the time each request would wait, summed.
class HeldForever final : public chip::BusLock {
 public:
  bool Acquire(uint32_t timeoutMs) override {
    waitedMs += timeoutMs;
    return false;
  }
  void Release() override { ADD_FAILURE() << "released a lock it never had"; }
  uint64_t waitedMs = 0;
};

TEST(SharedBus, ALockHeldForeverCostsOneWaitPerMomentAndTheMonitoringGoesOn) {
  VigilonSystem s(ChipOf(sim::Model::ZR420));
  HeldForever held;
  s.run.chip.ShareBus(&held);
  ASSERT_EQ(s.Start(), startup::StartupOutcome::MainWindowShown);
  EXPECT_EQ(held.waitedMs, chip::kBusLockWaitMs) << "start-up up to the main window";
  EXPECT_EQ(s.run.chip.busLockTimeouts(), 1u);

  s.Sensors([](sim::Sensors& in) { in.celsius[1] = 52.5; });
  for (int cycle = 1; cycle <= 3; ++cycle) {
    const uint64_t before = held.waitedMs;
    s.Cycles(1);
    EXPECT_EQ(held.waitedMs - before, chip::kBusLockWaitMs) << "cycle " << cycle;
    // The user's change between cycles waits no more.
    s.panel().updHiLimit[2].ArrowDown();
    EXPECT_EQ(held.waitedMs - before, chip::kBusLockWaitMs);
  }
  EXPECT_EQ(s.run.chip.busLockTimeouts(), 4u);
  s.window().mAbout_Click();
  EXPECT_TRUE(s.window().about().IfLoaded()->lblBusLockTimeouts.visible());
  EXPECT_EQ(s.window().about().IfLoaded()->lblBusLockTimeouts.caption(), "Bus lock time-outs: 4");
  // Without the lock the readings still come: a hung program must not blind the monitor.
  EXPECT_EQ(s.panel().lblStatusT[1].caption(), "52.50");
}

}  // namespace
}  // namespace vigilon
