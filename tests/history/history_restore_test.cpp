// Reading the readings log back into the history: logs written by the log itself over an
// in-memory folder, read back beside a store that saw the same cycles live.
#include "history/history_restore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/memory_record_files.h"
#include "records/readings_log.h"

namespace vigilon::history {
namespace {

using chip::Model;
using chip::TraitsOf;

constexpr int64_t kHour = 3'600'000;
constexpr int64_t kStart = 1'800'000'000'000 + 500;  // 08:00:00.5 UTC, this run's start
const records::DailyCsvPlace kPlace{"/logs", '/', "vigilon", 30};

// Readings a log keeps exactly (two decimals, whole rpm, one decimal), varying per cycle, with
// now and then a cycle cut short and an item not watched.
CycleReadings Cycle(const chip::ChipTraits& model, int64_t ms) {
  const int64_t n = ms / 1000;
  CycleReadings c;
  c.unixMs = ms;
  // Cut short by a suspend: the log keeps what it read, the history a gap.
  c.outcome = n % 97 == 0 ? CycleOutcome::CutShort : CycleOutcome::Complete;
  for (int i = 0; i < kItems; ++i) {
    ItemReading& r = c.items[static_cast<size_t>(i)];
    r.present = model.ItemPresent(i);
    r.monitored = r.present && !(i == 1 && n % 13 == 0);
    r.read = r.monitored && (c.outcome == CycleOutcome::Complete || i < 3);
    const double v = static_cast<double>((n * (i + 3)) % 41);
    r.value = i < items::kFirstFanItem    ? (100 + v) / 100.0
              : i < items::kFirstTempItem ? 2000 + 10 * v
              : i < items::kChassisItem   ? (300 + v) / 10.0
                                          : static_cast<double>(n % 2);
  }
  return c;
}

struct PastRun {
  platform::MemoryRecordFiles folder;
  PastRun() { folder.folders.insert("/logs"); }
  // The log of an earlier run of `model`, one cycle every `stepMs`; `live` sees them too.
  void Log(Model model, int64_t fromMs, int64_t toMs, int64_t stepMs, HistoryStore* live) {
    records::ReadingsLog log(folder, kPlace, TraitsOf(model));
    for (int64_t t = fromMs; t < toMs; t += stepMs) {
      log.CycleEnded(Cycle(TraitsOf(model), t));
      if (live) live->CycleEnded(Cycle(TraitsOf(model), t));
    }
  }
  HistoryRestore Restore() { return {folder, kPlace, TraitsOf(Model::ZR420), kStart, 0}; }
};

bool Same(const Sample& a, const Sample& b) {
  return a.unixMs == b.unixMs && std::memcmp(&a.value, &b.value, sizeof a.value) == 0;
}
bool Same(const MinuteFold* a, const MinuteFold* b) {
  if (!a || !b) return a == b;
  return std::memcmp(a, b, sizeof *a) == 0;
}

TEST(HistoryRestore, YesterdayAndTodayAtOneAndFourSecondsAsTheLiveStoreHadThem) {
  for (const int64_t step : {1000, 4000}) {
    SCOPED_TRACE(step);
    PastRun run;
    auto live = std::make_unique<HistoryStore>();
    run.Log(Model::ZR420, kStart - 500 - 30 * kHour, kStart - 10'000, step, live.get());
    auto store = std::make_unique<HistoryStore>();
    HistoryRestore restore = run.Restore();
    while (restore.Step(*store)) {
    }
    // The last 24 hours at full resolution, the same samples the live store held.
    const size_t n = store->sampleCount();
    ASSERT_GT(n, 0u);
    EXPECT_LE(store->SampleAt(0).unixMs, kStart - 24 * kHour + 60'000);
    EXPECT_GE(store->SampleAt(0).unixMs, kStart - 24 * kHour);
    for (size_t i = 0; i < n; ++i)
      ASSERT_TRUE(Same(store->SampleAt(i), live->SampleAt(live->sampleCount() - n + i))) << i;
    // Every minute, older than the day or not, folded as the live cycles folded it.
    for (int64_t m = kStart - 31 * kHour; m < kStart; m += kMinuteMs)
      ASSERT_TRUE(Same(store->MinuteAt(m), live->MinuteAt(m))) << (kStart - m) / kMinuteMs;
    // The main window's figures since the start stay this run's own.
    EXPECT_EQ(store->Stats(0).count, 0u);
  }
}

TEST(HistoryRestore, SkipsDamagedRowsOtherModelsOldDaysAndStopsAtAClear) {
  PastRun run;
  const int64_t yesterday10 = kStart + 2 * kHour - 24 * kHour;
  run.Log(Model::ZR420, kStart - 8 * 24 * kHour, kStart - 8 * 24 * kHour + 60'000, 1000, nullptr);
  run.Log(Model::ZR420, kStart - 3 * 24 * kHour, kStart - 3 * 24 * kHour + 60'000, 1000, nullptr);
  std::string& renamed = run.folder.files["/logs/vigilon-2027-01-12.csv"];
  ASSERT_FALSE(renamed.empty());
  renamed.replace(renamed.find("CPU (V)"), 7, "Vin0 (V)");  // another model's columns
  run.Log(Model::ZR420, yesterday10, yesterday10 + 60'000, 1000, nullptr);
  std::string& day = run.folder.files["/logs/vigilon-2027-01-14.csv"];
  const size_t row = day.find('\n', day.find('\n') + 1) + 1;  // the second row, edited by hand
  day.replace(day.find(',', day.find(',', row) + 1) + 1, 4, "1.0O");
  day.append(day.substr(day.find('\n', row) + 1, 40));  // a torn last line
  run.Log(Model::ZR430, kStart - 7 * kHour, kStart - 7 * kHour + 60'000, 1000, nullptr);
  run.Log(Model::ZR420, kStart - 6 * kHour, kStart - 6 * kHour + 60'000, 1000, nullptr);
  ASSERT_EQ(run.folder.files.count("/logs/vigilon-2027-01-15-2.csv"), 1u);

  auto store = std::make_unique<HistoryStore>();
  HistoryRestore restore = run.Restore();
  while (restore.Step(*store)) {
  }
  EXPECT_EQ(restore.rowsSkipped(), 2u);
  ASSERT_EQ(store->sampleCount(), 59u + 60u);
  EXPECT_EQ(store->SampleAt(0).unixMs, yesterday10 - 500);
  EXPECT_EQ(store->SampleAt(59).unixMs, kStart - 6 * kHour - 500);
  for (const int64_t gone : {8 * 24, 3 * 24, 7})
    EXPECT_EQ(store->MinuteAt(kStart - gone * kHour), nullptr) << gone;

  // A Clear while it reads empties what was read and ends the reading.
  store = std::make_unique<HistoryStore>();
  HistoryRestore again = run.Restore();
  ASSERT_TRUE(again.Step(*store) && again.Step(*store));
  store->Clear();
  while (again.Step(*store)) {
  }
  EXPECT_EQ(store->sampleCount(), 0u);
}

TEST(HistoryRestore, MeetsTheLiveCyclesInOrderWithoutOverlapABoundedSliceAtATime) {
  PastRun run;
  run.Log(Model::ZR420, kStart - 2 * kHour, kStart - 5000, 1000, nullptr);
  const size_t shortest = run.folder.files.begin()->second.find('\n', 200) -
                          run.folder.files.begin()->second.rfind('\n', 199);
  records::ReadingsLog log(run.folder, kPlace, TraitsOf(Model::ZR420));
  auto store = std::make_unique<HistoryStore>();
  HistoryRestore restore = run.Restore();
  uint64_t most = 0, steps = 0;
  int64_t t = kStart;
  for (bool more = true; more; t += 1000, ++steps) {
    // This run's cycle, logged in the same file the reading-back reads, then the slice.
    log.CycleEnded(Cycle(TraitsOf(Model::ZR420), t));
    store->CycleEnded(Cycle(TraitsOf(Model::ZR420), t));
    const uint64_t before = restore.rowsTaken();
    more = restore.Step(*store);
    // The first tick only lists the folder.
    if (steps == 0) {
      EXPECT_EQ(restore.rowsTaken(), 0u);
    }
    most = std::max(most, restore.rowsTaken() - before);
  }
  EXPECT_LE(most, HistoryRestore::kSliceBytes / (shortest - 12));
  EXPECT_GT(steps, 7200 * shortest / HistoryRestore::kSliceBytes);
  const size_t n = store->sampleCount();
  ASSERT_EQ(n, 2 * 3600 - 5 + steps);
  for (size_t i = 1; i < n; ++i)
    ASSERT_LT(store->SampleAt(i - 1).unixMs, store->SampleAt(i).unixMs);
  EXPECT_EQ(store->SampleAt(n - steps).unixMs, kStart);
  EXPECT_EQ(store->SampleAt(n - steps - 1).unixMs, kStart - 6500);
}

}  // namespace
}  // namespace vigilon::history
