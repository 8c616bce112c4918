// The record of a cycle's readings, as the run's observers are handed it, for each way a cycle
// ends, on every model.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "support/vigilon_system.h"

namespace vigilon {
namespace {

using test::ChipOf;
using test::VigilonSystem;

struct Recorder final : CycleObserver {
  void CycleStarts() override { ++starts; }
  void CycleEnded(const CycleReadings& cycle) override { cycles.push_back(cycle); }
  int starts = 0;
  std::vector<CycleReadings> cycles;
};

class CycleRecord : public testing::TestWithParam<sim::Model> {
 protected:
  CycleRecord() : s(ChipOf(GetParam())) {
    s.run.observers.push_back(&recorder);
    EXPECT_EQ(s.Start(), startup::StartupOutcome::MainWindowShown);
  }
  const CycleReadings& Last() const { return recorder.cycles.back(); }
  // Items read in the last cycle, as a bit per item.
  unsigned ReadItems() const {
    unsigned bits = 0;
    for (int k = 0; k < items::kItemCount; ++k)
      if (Last().items[static_cast<std::size_t>(k)].read) bits |= 1u << k;
    return bits;
  }
  unsigned Monitored() const {
    unsigned bits = 0;
    for (int k = 0; k < items::kItemCount; ++k)
      if (s.run.items.ItemEnabled[k] == 1) bits |= 1u << k;
    return bits;
  }

  VigilonSystem s;
  Recorder recorder;
};

TEST_P(CycleRecord, ACompleteCycleHoldsEveryMonitoredItemInItsUnitAgainstItsLimits) {
  s.Cycles(2);
  ASSERT_EQ(recorder.cycles.size(), 2u);
  EXPECT_EQ(recorder.starts, 2);
  const CycleReadings& c = Last();
  EXPECT_EQ(c.outcome, CycleOutcome::Complete);
  EXPECT_EQ(c.sequence, 2u);
  const int64_t intervalMs = s.run.items.PollInterval * 1000;
  EXPECT_EQ(c.unixMs, s.platform.unixMsBase + 2 * intervalMs) << "virtual time is wall time";
  EXPECT_EQ(c.utcOffsetMinutes, s.platform.utcOffsetMinutes);
  EXPECT_EQ(ReadItems(), Monitored());
  const sim::Sensors in = s.chip.config().sensors;
  for (int k = 0; k < items::kItemCount; ++k) {
    SCOPED_TRACE(testing::Message() << "item " << k);
    const ItemReading& r = c.items[static_cast<std::size_t>(k)];
    EXPECT_EQ(r.present, s.run.items.ItemPresent[k] == 1);
    if (!r.read) continue;
    EXPECT_TRUE(r.inLimits) << "the simulator's defaults are healthy";
    if (k < items::kFirstFanItem) {
      EXPECT_NEAR(r.value, in.volts[static_cast<std::size_t>(k)], 0.25);
      EXPECT_LT(r.low, r.value);
      EXPECT_GT(r.high, r.value);
    } else if (k < items::kFirstTempItem) {
      EXPECT_TRUE(std::isnan(r.high));
      if (r.raw == 0xFF) {  // no pulses
        // Switched off by the smart fan: its row accepts it.
        EXPECT_EQ(r.value, 0);
        EXPECT_EQ(r.low, 0);
      } else {
        // A row the smart fan holds for its switched-off fan accepts it (low 0) before its
        // count shows it stopped.
        EXPECT_NEAR(r.value, in.rpm[static_cast<std::size_t>(k - items::kFirstFanItem)], 150);
        EXPECT_LT(r.low, r.value);
      }
    } else if (k < items::kChassisItem) {
      EXPECT_EQ(r.value, in.celsius[static_cast<std::size_t>(k - items::kFirstTempItem)]);
      EXPECT_EQ(r.rawHalf, r.value != std::floor(r.value) ? 1 : 0);
      EXPECT_TRUE(std::isnan(r.low));
      EXPECT_GT(r.high, r.value);
    } else {
      EXPECT_EQ(r.value, 0) << "closed";
      EXPECT_TRUE(std::isnan(r.low) && std::isnan(r.high));
    }
  }

  // Out of its limits, in the record as on the row.
  s.Sensors([](sim::Sensors& in) {
    in.celsius[1] = 99;
    in.volts[3] = 6;
  });
  s.Cycles(1);
  EXPECT_FALSE(Last().items[items::kFirstTempItem + 1].inLimits);
  EXPECT_EQ(Last().items[items::kFirstTempItem + 1].value, 99);
  EXPECT_FALSE(Last().items[3].inLimits);
  EXPECT_GT(Last().items[3].value, Last().items[3].high);
}

TEST_P(CycleRecord, ASuspendedCycleReadsNothing) {
  s.Cycles(1);
  s.window().DeliverPowerNotice(ui::PowerNotice::QuerySuspend);
  s.Cycles(1);
  ASSERT_EQ(recorder.cycles.size(), 2u);
  EXPECT_EQ(Last().outcome, CycleOutcome::Suspended);
  EXPECT_EQ(Last().sequence, 2u);
  EXPECT_EQ(ReadItems(), 0u);
  EXPECT_TRUE(Last().items[0].monitored);
}

TEST_P(CycleRecord, ASilentChipsCycleCountsNothingItSaid) {
  // It falls silent in the middle, after the voltages and temperatures were read.
  sim::Config config = s.chip.config();
  int calls = 0;
  s.platform.whileTrayRequest = [&] {
    if (++calls != 2) return;
    config.noChip = true;
    s.chip.Reconfigure(config);
  };
  s.Cycles(1);
  s.platform.whileTrayRequest = nullptr;
  ASSERT_EQ(recorder.cycles.size(), 1u);
  EXPECT_EQ(Last().outcome, CycleOutcome::ChipSilent);
  EXPECT_EQ(ReadItems(), 0u);
  config.noChip = false;
  s.chip.Reconfigure(config);
  s.Cycles(1);
  EXPECT_EQ(Last().outcome, CycleOutcome::Complete);
  EXPECT_EQ(ReadItems(), Monitored());
}

TEST_P(CycleRecord, ASuspendInTheMiddleKeepsWhatWasReadBeforeIt) {
  // The icon shown after the smart-fan step lets the notice in: the voltages and temperatures
  // are read, the chassis and the fans not.
  int calls = 0;
  s.platform.whileTrayRequest = [&] {
    if (++calls == 2) s.window().DeliverPowerNotice(ui::PowerNotice::Suspend);
  };
  s.Cycles(1);
  s.platform.whileTrayRequest = nullptr;
  ASSERT_EQ(recorder.cycles.size(), 1u);
  EXPECT_EQ(recorder.starts, 1);
  EXPECT_EQ(Last().outcome, CycleOutcome::CutShort);
  const unsigned voltsAndTemps =
      ((1u << items::kVoltItemCount) - 1) | (7u << items::kFirstTempItem);
  EXPECT_EQ(ReadItems(), Monitored() & voltsAndTemps);
}

std::string ModelName(const testing::TestParamInfo<sim::Model>& info) {
  constexpr std::array<const char*, 4> kNames{"ZR410", "ZR420", "ZR430", "ZR460"};
  return kNames[static_cast<std::size_t>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryModel, CycleRecord,
                         testing::Values(sim::Model::ZR410, sim::Model::ZR420, sim::Model::ZR430,
                                         sim::Model::ZR460),
                         ModelName);

}  // namespace
}  // namespace vigilon
