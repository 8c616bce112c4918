// The history store: a ring of the day's cycles, a ring of the week's minutes, and the statistics
// since the start; the chart's per-column envelopes are made from them here.
#include "history/history_store.h"

#include <algorithm>
#include <cmath>

namespace vigilon::history {

namespace {
constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
constexpr int64_t kDayMs = 24 * 60 * kMinuteMs;

size_t SlotOf(int64_t minute) {
  const auto cap = static_cast<int64_t>(kMinuteCapacity);
  return static_cast<size_t>(((minute % cap) + cap) % cap);
}
bool Read(float v) {
  return !std::isnan(v);
}

// Walks readings in time order into the columns of each requested item and its span figures.
class ColumnFiller {
 public:
  ColumnFiller(const ChartRequest& request, ChartData& out) : request_(request), out_(out) {
    const size_t n = request.items.size();
    out.columns = std::max(request.columns, 1);
    out.columnsOf.resize(n);
    for (auto& columns : out.columnsOf) columns.assign(static_cast<size_t>(out.columns), Column{});
    out.stats.assign(n, SpanStats{});
    prevMs_.fill(kNoTime);
    span_ = std::max<int64_t>(request.toMs - request.fromMs, 1);
  }
  bool Within(int64_t t) const { return t >= request_.fromMs && t <= request_.toMs; }
  // One reading of requested item k at time t: its extremes, and the first and last value drawn.
  void Add(size_t k, int64_t t, float min, float max, float value, int64_t maxStepMs) {
    if (!Read(value)) {
      prevMs_[k] = kNoTime;  // a gap: the next reading starts a new line
      return;
    }
    const auto col = static_cast<size_t>(
        std::min<int64_t>((t - request_.fromMs) * out_.columns / span_, out_.columns - 1));
    Column& c = out_.columnsOf[k][col];
    if (c.empty()) {
      c.min = min;
      c.max = max;
      c.first = value;
      c.joined = prevMs_[k] != kNoTime && t - prevMs_[k] <= maxStepMs;
    } else {
      c.min = std::min(c.min, min);
      c.max = std::max(c.max, max);
    }
    c.last = value;
    prevMs_[k] = t;
    SpanStats& s = out_.stats[k];
    s.min = s.count ? std::min(s.min, min) : min;
    s.max = s.count ? std::max(s.max, max) : max;
    s.sum += value;
    ++s.count;
  }

 private:
  const ChartRequest& request_;
  ChartData& out_;
  int64_t span_ = 1;
  std::array<int64_t, kItems> prevMs_{};
};
}  // namespace

int64_t MinuteOf(int64_t unixMs) {
  return unixMs >= 0 ? unixMs / kMinuteMs : -((-unixMs + kMinuteMs - 1) / kMinuteMs);
}

void MinuteAccumulator::Start(int64_t m) {
  minute = m;
  sum.fill(0);
  count.fill(0);
}

void MinuteAccumulator::Add(const Sample& sample) {
  for (size_t i = 0; i < kItems; ++i) {
    const float v = sample.value[i];
    if (!Read(v)) continue;
    min[i] = count[i] ? std::min(min[i], v) : v;
    max[i] = count[i] ? std::max(max[i], v) : v;
    sum[i] += v;
    ++count[i];
  }
}

bool MinuteAccumulator::Fold(MinuteFold& fold) const {
  bool any = false;
  fold.startMs = minute * kMinuteMs;
  for (size_t i = 0; i < kItems; ++i) {
    const bool has = count[i] > 0;
    any = any || has;
    fold.min[i] = has ? min[i] : kNothing;
    fold.max[i] = has ? max[i] : kNothing;
    fold.mean[i] = has ? static_cast<float>(sum[i] / count[i]) : kNothing;
  }
  return any && minute >= 0;
}

HistoryStore::HistoryStore() : samples_(kSampleCapacity), minutes_(kMinuteCapacity) {
  Clear();
}

size_t HistoryStore::ReservedBytes() {
  return kSampleCapacity * sizeof(Sample) + kMinuteCapacity * sizeof(MinuteFold) +
         sizeof(HistoryStore);
}

void HistoryStore::Clear() {
  head_ = count_ = pastCount_ = 0;
  for (MinuteFold& m : minutes_) m.startMs = -1;
  live_.Start(-1);
  past_.Start(-1);
  stats_.fill(RunStats{});
  ++clears_;
}

void HistoryStore::Push(const Sample& sample) {
  if (count_ == kSampleCapacity) {
    head_ = (head_ + 1) % kSampleCapacity;
    --count_;
    if (pastCount_ > 0) --pastCount_;
  }
  At(count_) = sample;
  ++count_;
}

void HistoryStore::CycleEnded(const CycleReadings& cycle) {
  last_ = cycle;
  Sample s;
  // A clock set back must not break the time order the queries rely on.
  s.unixMs = lastMs_ == kNoTime ? cycle.unixMs : std::max(cycle.unixMs, lastMs_ + 1);
  lastMs_ = s.unixMs;
  firstLiveMs_ = std::min(firstLiveMs_, s.unixMs);
  const bool complete = cycle.outcome == CycleOutcome::Complete;
  for (size_t i = 0; i < kItems; ++i) {
    const ItemReading& r = cycle.items[i];
    const bool has = complete && r.present && r.monitored && r.read;
    s.value[i] = has ? static_cast<float>(r.value) : kNothing;
    if (!has) continue;
    RunStats& st = stats_[i];
    const float v = s.value[i];
    if (st.count == 0 || v < st.min) st.min = v, st.minMs = s.unixMs;
    if (st.count == 0 || v > st.max) st.max = v, st.maxMs = s.unixMs;
    st.sum += v;
    ++st.count;
  }
  Push(s);
  const int64_t m = MinuteOf(s.unixMs);
  if (m != live_.minute) live_.Start(m);
  live_.Add(s);
  StoreMinute(live_, /*past=*/false);
}

void HistoryStore::StoreMinute(const Accumulator& acc, bool past) {
  MinuteFold fold;
  if (!acc.Fold(fold)) return;
  MinuteFold& slot = minutes_[SlotOf(acc.minute)];
  // A past minute never replaces a later one, nor one this run has read in; the same minute it
  // replaces as more of it arrives.
  if (past && (slot.startMs > fold.startMs || fold.startMs >= MinuteOf(firstLiveMs_) * kMinuteMs))
    return;
  slot = fold;
}

size_t HistoryStore::AddPastSamples(std::span<const Sample> samples) {
  const int64_t after = pastCount_ ? At(pastCount_ - 1).unixMs : kNoTime;
  // Taken: in time order, after the past already held and before this run's first cycle.
  auto filter = [this, after] {
    return [this, last = after](const Sample& s) mutable {
      if (s.unixMs <= last || s.unixMs >= firstLiveMs_) return false;
      last = s.unixMs;
      return true;
    };
  };
  auto takes = filter();
  size_t accepted = 0;
  for (const Sample& s : samples) accepted += takes(s) ? 1 : 0;
  // This run's samples stay; the oldest of the past give way first.
  const size_t room = kSampleCapacity - (count_ - pastCount_);
  const size_t take = std::min(accepted, room);
  size_t skip = accepted - take;
  if (count_ + take > kSampleCapacity) {
    const size_t drop = count_ + take - kSampleCapacity;
    head_ = (head_ + drop) % kSampleCapacity;
    count_ -= drop;
    pastCount_ -= drop;
  }
  for (size_t j = count_; j-- > pastCount_;) At(j + take) = At(j);
  auto accept = filter();
  size_t at = pastCount_;
  for (const Sample& s : samples) {
    if (!accept(s)) continue;
    const int64_t m = MinuteOf(s.unixMs);
    if (m != past_.minute) {
      StoreMinute(past_, /*past=*/true);
      past_.Start(m);
    }
    past_.Add(s);
    if (skip > 0) {
      --skip;
      continue;
    }
    At(at++) = s;
    lastMs_ = std::max(lastMs_, s.unixMs);
  }
  StoreMinute(past_, /*past=*/true);
  pastCount_ += take;
  count_ += take;
  return take;
}

size_t HistoryStore::AddPastMinutes(std::span<const MinuteFold> minutes) {
  size_t taken = 0;
  for (const MinuteFold& fold : minutes) {
    const int64_t m = MinuteOf(fold.startMs);
    MinuteFold& slot = minutes_[SlotOf(m)];
    if (slot.startMs >= m * kMinuteMs || m >= MinuteOf(firstLiveMs_)) continue;
    slot = fold;
    slot.startMs = m * kMinuteMs;
    ++taken;
  }
  return taken;
}

const MinuteFold* HistoryStore::MinuteAt(int64_t startMs) const {
  const int64_t m = MinuteOf(startMs);
  const MinuteFold& slot = minutes_[SlotOf(m)];
  return slot.startMs == m * kMinuteMs ? &slot : nullptr;
}

void HistoryStore::Prepare(const ChartRequest& request, ChartData& out) const {
  out.fromMinutes = request.toMs - request.fromMs > kDayMs;
  if (out.fromMinutes)
    PrepareFromMinutes(request, out);
  else
    PrepareFromSamples(request, out);
  if (count_ == 0) return;
  const Sample& newest = SampleAt(count_ - 1);
  for (size_t k = 0; k < request.items.size(); ++k)
    out.stats[k].now = newest.value[static_cast<size_t>(request.items[k])];
}

void HistoryStore::PrepareFromSamples(const ChartRequest& request, ChartData& out) const {
  ColumnFiller filler(request, out);
  // The first sample of the span, found by halving: the ring is in time order.
  size_t lo = 0, hi = count_;
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (SampleAt(mid).unixMs < request.fromMs)
      lo = mid + 1;
    else
      hi = mid;
  }
  for (size_t i = lo; i < count_; ++i) {
    const Sample& s = SampleAt(i);
    if (!filler.Within(s.unixMs)) break;
    for (size_t k = 0; k < request.items.size(); ++k) {
      const float v = s.value[static_cast<size_t>(request.items[k])];
      filler.Add(k, s.unixMs, v, v, v, request.maxStepMs);
    }
  }
}

void HistoryStore::PrepareFromMinutes(const ChartRequest& request, ChartData& out) const {
  ColumnFiller filler(request, out);
  // A minute without readings between two with them is a gap; one read every few minutes is not.
  const int64_t maxStep = request.maxStepMs + kMinuteMs;
  for (int64_t m = MinuteOf(request.fromMs); m <= MinuteOf(request.toMs); ++m) {
    const MinuteFold* fold = MinuteAt(m * kMinuteMs);
    const int64_t t = m * kMinuteMs + kMinuteMs / 2;
    if (!fold || !filler.Within(t)) continue;
    for (size_t k = 0; k < request.items.size(); ++k) {
      const auto item = static_cast<size_t>(request.items[k]);
      filler.Add(k, t, fold->min[item], fold->max[item], fold->mean[item], maxStep);
    }
  }
}

}  // namespace vigilon::history
