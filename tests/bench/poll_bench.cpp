// The cost of one steady-state monitoring cycle, natively over the simulator: heap allocations
// (a counting allocator), port accesses (the simulator's log), the holds of the shared bus lock
// and, under callgrind, instructions (collect only inside PollSensors). Not a test:
// scripts/bench runs it and prints the figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "history/history_store.h"
#include "support/vigilon_system.h"

namespace {
// Counts every allocation of the process; the cycles measured below start with it at zero.
std::size_t g_allocations = 0;
bool g_counting = false;

// A lock nobody else holds: times every hold. The room for the times is made before the
// measured cycles, so that it allocates nothing while they run.
class TimingLock final : public vigilon::chip::BusLock {
 public:
  bool Acquire(uint32_t) override {
    since_ = std::chrono::steady_clock::now();
    return true;
  }
  void Release() override {
    const auto held = std::chrono::steady_clock::now() - since_;
    if (holds.size() < holds.capacity())
      holds.push_back(std::chrono::duration<double, std::micro>(held).count());
  }
  std::vector<double> holds;

 private:
  std::chrono::steady_clock::time_point since_;
};

struct Figures {
  double allocations, accesses, holds, longestTypicalHoldUs, longestHoldUs;
};

// A steady cycle takes the lock the same number of times in the same order: the k-th hold of
// every cycle is the same transaction. Its median over the cycles is that transaction's cost
// without the times the scheduler took the core away in the middle of it; the longest of those
// medians is the longest transaction of a cycle.
double LongestTypicalHold(const std::vector<double>& holds, int cycles) {
  const std::size_t perCycle = holds.size() / static_cast<std::size_t>(cycles);
  double longest = 0;
  std::vector<double> same(static_cast<std::size_t>(cycles));
  for (std::size_t k = 0; k < perCycle; ++k) {
    for (std::size_t c = 0; c < same.size(); ++c) same[c] = holds[c * perCycle + k];
    std::nth_element(same.begin(), same.begin() + same.size() / 2, same.end());
    longest = std::max(longest, same[same.size() / 2]);
  }
  return longest;
}

Figures Measure(sim::Model model, int cycles) {
  using namespace vigilon;
  test::VigilonSystem system(test::ChipOf(model));
  TimingLock lock;
  system.run.chip.ShareBus(&lock);
  if (system.Start() != startup::StartupOutcome::MainWindowShown) {
    std::fprintf(stderr, "start-up failed\n");
    std::exit(1);
  }
  // Every monitored item on, so that a cycle does all its work.
  system.run.items.ItemEnabled.fill(1);
  system.platform.recordCalls = false;
  frmvigilon& window = system.window();
  // Warm-up: captions, colours and icons reach their steady values, and the smart fan its
  // settled states (its first cycles write duties and limits).
  for (int i = 0; i < 8; ++i) window.PollSensors();
  // The simulator's log keeps its capacity when cleared, so the harness allocates nothing either.
  std::size_t accesses = 0;
  lock.holds.clear();
  lock.holds.reserve(static_cast<std::size_t>(cycles) * 200);
  g_allocations = 0;
  g_counting = true;
  for (int i = 0; i < cycles; ++i) {
    system.chip.ClearLog();
    window.PollSensors();
    accesses += system.chip.Log().size();
  }
  g_counting = false;
  const std::vector<double>& h = lock.holds;
  return {static_cast<double>(g_allocations) / cycles, static_cast<double>(accesses) / cycles,
          static_cast<double>(h.size()) / cycles, LongestTypicalHold(h, cycles),
          h.empty() ? 0 : *std::max_element(h.begin(), h.end())};
}
// What preparing a chart costs: a day of one-second cycles with every item read, seven items drawn
// into 1,920 columns. The median of several runs, in milliseconds.
double ChartEnvelopeMs() {
  using namespace vigilon;
  auto store = std::make_unique<history::HistoryStore>();
  CycleReadings cycle;
  for (ItemReading& r : cycle.items) r.present = r.monitored = r.read = true;
  const int64_t start = 1'800'000'000'000;
  for (int64_t s = 0; s < 24 * 60 * 60; ++s) {
    cycle.unixMs = start + s * 1000;
    for (size_t i = 0; i < cycle.items.size(); ++i)
      cycle.items[i].value = static_cast<double>((s * 7 + static_cast<int64_t>(i) * 13) % 1000);
    store->CycleEnded(cycle);
  }
  const int items[] = {0, 2, 4, 9, 10, 12, 13};
  const history::ChartRequest request{items, start, start + 24 * 60 * 60 * 1000, 1920, 2500};
  history::ChartData data;
  std::vector<double> times;
  for (int run = 0; run < 15; ++run) {
    const auto began = std::chrono::steady_clock::now();
    store->Prepare(request, data);
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
            .count());
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

// poll_bench [cycles] [model]: every model (or the one named), its cost per steady cycle and its
// bus-lock holds; with every model, the cost of preparing a day's chart too.
int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  std::vector<sim::Model> models{sim::Model::ZR410, sim::Model::ZR420, sim::Model::ZR430,
                                 sim::Model::ZR460};
  if (argc > 2) {
    const std::optional<sim::Model> named = sim::ModelFromName(argv[2]);
    if (!named) {
      std::fprintf(stderr, "unknown model %s\n", argv[2]);
      return 2;
    }
    models = {*named};
  }
  std::printf(
      "cycles: %d; hold times in microseconds: the longest transaction (its median over\n"
      "the cycles), and the longest single hold, scheduler interruptions included\n",
      cycles);
  std::printf("%-6s %12s %14s %15s %17s %13s\n", "model", "allocations", "port accesses",
              "bus-lock holds", "longest typical", "longest any");
  for (sim::Model model : models) {
    const Figures f = Measure(model, cycles);
    std::printf("%-6s %12.3f %14.1f %15.1f %17.2f %13.2f\n", sim::ModelName(model), f.allocations,
                f.accesses, f.holds, f.longestTypicalHoldUs, f.longestHoldUs);
  }
  // Not under callgrind, which names one model.
  if (argc <= 2) {
    std::printf("chart envelope, 24 h of 1 s samples, 7 items, 1920 columns: %.1f ms\n",
                ChartEnvelopeMs());
  }
  return 0;
}
