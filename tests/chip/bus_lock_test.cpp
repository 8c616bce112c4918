// Sharing the bus: two programs (here two threads, each with its own register access over one
// simulated chip) never interleave an index write and its data access while they take the lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "chip/chip_access.h"
#include "chip/sim_port_io.h"
#include "sim/chip_sim.h"

namespace vigilon::chip {
namespace {

class TimedLock final : public BusLock {
 public:
  bool Acquire(uint32_t timeoutMs) override {
    return mutex_.try_lock_for(std::chrono::milliseconds(timeoutMs));
  }
  void Release() override { mutex_.unlock(); }

 private:
  std::timed_mutex mutex_;
};

sim::ChipSim Chip() {
  sim::Config config;
  config.superIoPort = 0;  // the monitor at ports 0 and 1, bank 0 selected
  sim::ChipSim chip(config);
  chip.InitialBus(1, 0x5A, 0x92, 0x90);
  return chip;
}

TEST(BusLock, TwoProgramsNeverInterleaveTheirAccessPairs) {
  sim::ChipSim chip = Chip();
  TimedLock lock;
  SimPortIo ioA(chip), ioB(chip);
  ChipAccess a(ioA), b(ioB);
  a.ShareBus(&lock);
  b.ShareBus(&lock);
  // One reads the chip identifier, the other the first rail's high limit: an index written by
  // one between the other's index and data would hand it the wrong register.
  const uint8_t chipId = chip.Reg(0, 0x58);
  const uint8_t limit = chip.Reg(0, 0x2B);
  ASSERT_NE(chipId, limit);
  constexpr int kReads = 20000;
  std::atomic<int> started{0};
  std::atomic<int> wrongA{0}, wrongB{0};
  auto run = [&](ChipAccess& access, uint8_t reg, uint8_t want, std::atomic<int>& wrong) {
    ++started;
    while (started < 2) std::this_thread::yield();
    for (int i = 0; i < kReads; ++i)
      if (access.ReadChipReg(reg) != want) ++wrong;
  };
  std::thread first(run, std::ref(a), 0x58, chipId, std::ref(wrongA));
  std::thread second(run, std::ref(b), 0x2B, limit, std::ref(wrongB));
  first.join();
  second.join();
  EXPECT_EQ(wrongA, 0);
  EXPECT_EQ(wrongB, 0);
  EXPECT_EQ(a.busLockTimeouts() + b.busLockTimeouts(), 0u);
  EXPECT_EQ(chip.Log().size(), 4u * kReads);
}

}  // namespace
}  // namespace vigilon::chip
