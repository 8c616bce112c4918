// The cost of one steady-state monitoring cycle, natively over the simulator: heap allocations
// (a counting allocator), port accesses (the simulator's log), the holds of the shared bus lock
// and, under callgrind, instructions (collect only inside PollSensors). Not a test:
// scripts/bench runs it and prints the figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

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
  double allocations, accesses, holds, p99HoldUs, longestHoldUs;
};

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
  // Warm-up: captions, colours and icons reach their steady values.
  for (int i = 0; i < 3; ++i) window.PollSensors();
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
  std::vector<double>& h = lock.holds;
  std::sort(h.begin(), h.end());
  const double p99 = h.empty() ? 0 : h[h.size() * 99 / 100];
  return {static_cast<double>(g_allocations) / cycles, static_cast<double>(accesses) / cycles,
          static_cast<double>(h.size()) / cycles, p99, h.empty() ? 0 : h.back()};
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

// poll_bench [cycles] [--all-models]: the ZR420 alone, or every model with its bus-lock holds.
int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
  const bool allModels = argc > 2 && std::strcmp(argv[2], "--all-models") == 0;
  std::printf("cycles: %d\n", cycles);
  if (!allModels) {
    const Figures f = Measure(sim::Model::ZR420, cycles);
    std::printf("heap allocations per cycle: %.3f\n", f.allocations);
    std::printf("port accesses per cycle: %.1f\n", f.accesses);
    return 0;
  }
  std::printf("%-6s %12s %14s %15s %15s %18s\n", "model", "allocations", "port accesses",
              "bus-lock holds", "p99 hold (us)", "longest hold (us)");
  for (sim::Model model : {sim::Model::ZR410, sim::Model::ZR420, sim::Model::ZR430,
                           sim::Model::ZR460}) {
    const Figures f = Measure(model, cycles);
    std::printf("%-6s %12.3f %14.1f %15.1f %15.2f %18.2f\n", sim::ModelName(model), f.allocations,
                f.accesses, f.holds, f.p99HoldUs, f.longestHoldUs);
  }
  return 0;
}
