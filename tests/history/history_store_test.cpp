// The history store: the ring's wrap-around, the minutes, gaps, span figures, the chart's
// columns and readings of earlier runs.
#include "history/history_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace vigilon::history {
namespace {

constexpr int64_t kStart = 1'800'000'000'000;  // a whole minute
constexpr int kFan = items::kFirstFanItem;

// A cycle at `ms` where item i reads `base + i`; the chassis item is not monitored.
CycleReadings Cycle(int64_t ms, double base, CycleOutcome outcome = CycleOutcome::Complete) {
  CycleReadings c;
  c.unixMs = ms;
  c.outcome = outcome;
  for (int i = 0; i < kItems; ++i) {
    ItemReading& r = c.items[static_cast<size_t>(i)];
    r.present = true;
    r.monitored = i != items::kChassisItem;
    // A cycle cut short keeps what it read before the suspend came.
    r.read =
        r.monitored && (outcome == CycleOutcome::Complete || outcome == CycleOutcome::CutShort);
    r.value = base + i;
  }
  return c;
}

struct Store : ::testing::Test {
  std::unique_ptr<HistoryStore> store = std::make_unique<HistoryStore>();
};

TEST_F(Store, KeepsTheNewestDayInTimeOrderWithinItsReservedMemory) {
  EXPECT_LE(HistoryStore::ReservedBytes(), 8u << 20);
  const size_t extra = 500;
  for (size_t i = 0; i < kSampleCapacity + extra; ++i)
    store->CycleEnded(Cycle(kStart + static_cast<int64_t>(i) * 1000, static_cast<double>(i)));
  ASSERT_EQ(store->sampleCount(), kSampleCapacity);
  EXPECT_EQ(store->SampleAt(0).unixMs, kStart + static_cast<int64_t>(extra) * 1000);
  EXPECT_EQ(store->SampleAt(kSampleCapacity - 1).value[0],
            static_cast<float>(kSampleCapacity + extra - 1));
  // Every reading since the start counts for the tooltip, not only those the ring still holds.
  EXPECT_EQ(store->Stats(0).count, kSampleCapacity + extra);
  EXPECT_EQ(store->Stats(0).min, 0.0f);
  EXPECT_EQ(store->Stats(0).minMs, kStart);
  store->Clear();
  EXPECT_EQ(store->sampleCount(), 0u);
  EXPECT_EQ(store->Stats(0).count, 0u);
  EXPECT_EQ(store->MinuteAt(kStart), nullptr);
}

TEST_F(Store, FoldsMinutesAndLeavesGapsForCyclesThatWereNotComplete) {
  // Minute 0: readings 10, 20, 30 and a silent chip; minute 1: only a suspend; minute 2: 40.
  store->CycleEnded(Cycle(kStart + 1000, 10));
  store->CycleEnded(Cycle(kStart + 2000, 20));
  store->CycleEnded(Cycle(kStart + 3000, 0, CycleOutcome::ChipSilent));
  store->CycleEnded(Cycle(kStart + 4000, 30));
  store->CycleEnded(Cycle(kStart + kMinuteMs + 1000, 0, CycleOutcome::Suspended));
  store->CycleEnded(Cycle(kStart + 2 * kMinuteMs, 40, CycleOutcome::CutShort));
  store->CycleEnded(Cycle(kStart + 2 * kMinuteMs + 5000, 40));

  const MinuteFold* first = store->MinuteAt(kStart);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->min[kFan], 10.0f + kFan);
  EXPECT_EQ(first->max[kFan], 30.0f + kFan);
  EXPECT_FLOAT_EQ(first->mean[kFan], 20.0f + kFan);
  EXPECT_TRUE(std::isnan(first->mean[items::kChassisItem]));
  EXPECT_EQ(store->MinuteAt(kStart + kMinuteMs), nullptr);
  ASSERT_NE(store->MinuteAt(kStart + 2 * kMinuteMs), nullptr);

  // The silent, suspended and cut-short cycles hold no reading, not a zero or the one before.
  ASSERT_EQ(store->sampleCount(), 7u);
  for (size_t i : {2u, 4u, 5u}) EXPECT_TRUE(std::isnan(store->SampleAt(i).value[kFan])) << i;
  EXPECT_EQ(store->Stats(kFan).count, 4u);
  EXPECT_DOUBLE_EQ(store->Stats(kFan).average(), 25.0 + kFan);
}

TEST_F(Store, ChartColumnsHoldEachColumnsExtremesAndBreakAtGaps) {
  // Ten minutes at 1 s: reading i at second i, a silent chip at second 300.
  for (int i = 0; i < 600; ++i)
    store->CycleEnded(
        Cycle(kStart + i * 1000, i, i == 300 ? CycleOutcome::ChipSilent : CycleOutcome::Complete));
  const int items[] = {0, kFan};
  ChartData data;
  store->Prepare({items, kStart, kStart + 600'000, 60, 2500}, data);
  ASSERT_EQ(data.columnsOf.size(), 2u);
  ASSERT_EQ(data.columns, 60);
  const Column& c = data.columnsOf[1][10];  // seconds 100..109
  EXPECT_EQ(c.min, 100.0f + kFan);
  EXPECT_EQ(c.max, 109.0f + kFan);
  EXPECT_EQ(c.first, 100.0f + kFan);
  EXPECT_EQ(c.last, 109.0f + kFan);
  EXPECT_TRUE(c.joined);
  EXPECT_FALSE(data.columnsOf[1][0].joined);
  EXPECT_EQ(data.columnsOf[1][30].first, 301.0f + kFan);  // after the gap: a new line
  EXPECT_FALSE(data.columnsOf[1][30].joined);
  EXPECT_EQ(data.stats[1].min, 0.0f + kFan);
  EXPECT_EQ(data.stats[1].max, 599.0f + kFan);
  EXPECT_EQ(data.stats[1].count, 599u);
  EXPECT_EQ(data.stats[1].now, 599.0f + kFan);

  // The last two minutes only, and a step limit shorter than the interval: no line joins.
  store->Prepare({items, kStart + 480'000, kStart + 600'000, 240, 500}, data);
  EXPECT_EQ(data.stats[0].min, 480.0f);
  EXPECT_EQ(data.stats[0].count, 120u);
  for (const Column& col : data.columnsOf[0]) EXPECT_FALSE(col.joined);

  // A week is drawn from the minutes: ten of them, their averages joined.
  store->Prepare({items, kStart + 600'000 - 7 * 24 * 60 * kMinuteMs, kStart + 600'000, 10080, 1000},
                 data);
  EXPECT_TRUE(data.fromMinutes);
  EXPECT_EQ(data.stats[0].count, 10u);
  EXPECT_EQ(data.stats[0].max, 599.0f);
  EXPECT_FLOAT_EQ(data.columnsOf[0][10080 - 1].first, 569.5f);
  EXPECT_TRUE(data.columnsOf[0][10080 - 1].joined);
}

TEST_F(Store, TakesEarlierRunsInFrontOfThisRunsCycles) {
  store->CycleEnded(Cycle(kStart, 100));
  std::vector<Sample> past(3);
  for (size_t i = 0; i < past.size(); ++i) {
    past[i].unixMs = kStart - 10 * kMinuteMs + static_cast<int64_t>(i) * 1000;
    past[i].value.fill(static_cast<float>(i));
  }
  EXPECT_EQ(store->AddPastSamples(std::span(past).first(2)), 2u);
  // A slice that repeats a sample held and one newer than this run's start: only the third.
  Sample late = past[0];
  late.unixMs = kStart + 1;
  const Sample again[] = {past[1], past[2], late};
  EXPECT_EQ(store->AddPastSamples(again), 1u);
  ASSERT_EQ(store->sampleCount(), 4u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(store->SampleAt(i).unixMs, past[i].unixMs);
  EXPECT_EQ(store->SampleAt(3).unixMs, kStart);
  const MinuteFold* folded = store->MinuteAt(kStart - 10 * kMinuteMs);
  ASSERT_NE(folded, nullptr);
  EXPECT_EQ(folded->max[0], 2.0f);
  EXPECT_EQ(store->Stats(0).count, 1u);  // the tooltips count this run only

  MinuteFold older;
  older.startMs = kStart - 20 * kMinuteMs;
  older.mean.fill(5);
  const MinuteFold minutes[] = {older, *folded};  // the second is held already
  EXPECT_EQ(store->AddPastMinutes(minutes), 1u);
  EXPECT_EQ(store->MinuteAt(older.startMs)->mean[3], 5.0f);
}

}  // namespace
}  // namespace vigilon::history
