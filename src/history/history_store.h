// The run's history of readings: every cycle at full resolution for the last day, one minimum,
// maximum and average per minute for the last week, and per item the extremes since the start.
// All of it lives in memory reserved when the store is made; nothing grows afterwards.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "run/cycle_readings.h"

namespace vigilon::history {

inline constexpr int kItems = items::kItemCount;
// A day of one-second cycles, and a minute more for a timer that now and then comes early.
inline constexpr size_t kSampleCapacity = 24 * 60 * 60 + 60;
inline constexpr int64_t kMinuteMs = 60 * 1000;
inline constexpr size_t kMinuteCapacity = 7 * 24 * 60;
inline constexpr float kNothing = std::numeric_limits<float>::quiet_NaN();

// One cycle: the value of each item in its unit (volts, rpm, degrees Celsius), or kNothing where
// the item was not read. A cycle that was not complete is all kNothing: a gap.
struct Sample {
  int64_t unixMs = 0;
  std::array<float, kItems> value{};
};

// One minute of readings: the minute begins at startMs (a multiple of kMinuteMs).
struct MinuteFold {
  int64_t startMs = 0;
  std::array<float, kItems> min{};
  std::array<float, kItems> max{};
  std::array<float, kItems> mean{};
};

// An item's readings since the start or the last Clear, for the main window's tooltips.
struct RunStats {
  uint32_t count = 0;
  float min = 0, max = 0;
  int64_t minMs = 0, maxMs = 0;  // when the minimum and the maximum were first read
  double sum = 0;
  double average() const { return count ? sum / count : 0; }
};

// What one pixel column of a chart holds of one item: the extremes of its readings, the first and
// the last of them, and whether a line joins it to the column before (no gap between). An empty
// column has min NaN.
struct Column {
  float min = kNothing, max = kNothing, first = kNothing, last = kNothing;
  bool joined = false;
  bool empty() const { return min != min; }
};

// What a span shows of one item beside the chart.
struct SpanStats {
  float now = kNothing;  // the newest cycle's reading; kNothing when that cycle did not read it
  float min = kNothing, max = kNothing;
  double sum = 0;
  uint32_t count = 0;
  float average() const { return count ? static_cast<float>(sum / count) : kNothing; }
};

// What a chart asks for: the items in the order drawn, the span and its width in columns. A
// reading more than maxStepMs after the one before starts a new line.
struct ChartRequest {
  std::span<const int> items;
  int64_t fromMs = 0, toMs = 0;
  int columns = 0;
  int64_t maxStepMs = 0;
};

// The chart's prepared data, kept by its window so that drawing again allocates nothing once the
// widest chart has been drawn.
struct ChartData {
  int columns = 0;
  std::vector<std::vector<Column>> columnsOf;  // per requested item
  std::vector<SpanStats> stats;                // per requested item
  bool fromMinutes = false;                    // the span was longer than the full-resolution day
};

// One minute's readings as they arrive, folded the same way whoever hands them in: the live
// cycles, or an earlier run's rows read back from its log.
struct MinuteAccumulator {
  int64_t minute = -1;  // minutes since 1970
  std::array<float, kItems> min{}, max{};
  std::array<double, kItems> sum{};
  std::array<uint16_t, kItems> count{};
  void Start(int64_t m);
  void Add(const Sample& sample);
  // Writes the minute into `fold`; false when it read nothing.
  bool Fold(MinuteFold& fold) const;
};
// The minute a time falls in, for times before 1970 too.
int64_t MinuteOf(int64_t unixMs);

class HistoryStore final : public CycleObserver {
 public:
  HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  void CycleEnded(const CycleReadings& cycle) override;
  // Empties the history and the statistics since the start.
  void Clear();
  // How many times Clear ran: whoever is still adding the past stops once it changes.
  uint32_t clears() const { return clears_; }

  // Readings of earlier runs, oldest first, in slices of any size, all older than this run's
  // first cycle (later ones are passed over). Each sample is also folded into its minute. The
  // store keeps the newest it has room for; returns how many it took.
  size_t AddPastSamples(std::span<const Sample> samples);
  // Minutes already folded, oldest first, older than any minute the store holds. Returns how
  // many it took.
  size_t AddPastMinutes(std::span<const MinuteFold> minutes);

  size_t sampleCount() const { return count_; }
  // The i-th sample held, the oldest first.
  const Sample& SampleAt(size_t i) const { return samples_[(head_ + i) % kSampleCapacity]; }
  // The minute that began at startMs, or nullptr when nothing of it is held.
  const MinuteFold* MinuteAt(int64_t startMs) const;
  const RunStats& Stats(int item) const { return stats_[static_cast<size_t>(item)]; }
  // The newest cycle as it was handed over: which items it had, their limits, its local time.
  const CycleReadings& lastCycle() const { return last_; }

  // The chart's columns and the span's figures: from the full-resolution samples for a span
  // that they cover, from the minutes for a longer one.
  void Prepare(const ChartRequest& request, ChartData& out) const;

  // Bytes the store reserves, whatever it holds.
  static size_t ReservedBytes();

 private:
  using Accumulator = MinuteAccumulator;
  Sample& At(size_t i) { return samples_[(head_ + i) % kSampleCapacity]; }
  void Push(const Sample& sample);
  void StoreMinute(const Accumulator& acc, bool past);
  void PrepareFromSamples(const ChartRequest& request, ChartData& out) const;
  void PrepareFromMinutes(const ChartRequest& request, ChartData& out) const;

  std::vector<Sample> samples_;
  size_t head_ = 0, count_ = 0;
  size_t pastCount_ = 0;  // the samples of earlier runs, in front of this run's
  int64_t lastMs_ = std::numeric_limits<int64_t>::min();
  int64_t firstLiveMs_ = std::numeric_limits<int64_t>::max();
  std::vector<MinuteFold> minutes_;  // slot m % kMinuteCapacity; startMs -1 when empty
  Accumulator live_, past_;
  std::array<RunStats, kItems> stats_{};
  CycleReadings last_{};
  uint32_t clears_ = 0;
};

}  // namespace vigilon::history
