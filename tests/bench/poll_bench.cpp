// The cost of one steady-state monitoring cycle, natively over the simulator: heap allocations
// (a counting allocator), port accesses (the simulator's log) and, under callgrind, instructions
// (collect only inside PollSensors). Not a test: scripts/bench runs it and prints the figures.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "support/vigilon_system.h"

namespace {
// Counts every allocation of the process; the cycles measured below start with it at zero.
std::size_t g_allocations = 0;
bool g_counting = false;
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

int main(int argc, char** argv) {
  using namespace vigilon;
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
  sim::Config config = test::ChipOf(sim::Model::ZR420);
  test::VigilonSystem system(config);
  if (system.Start() != startup::StartupOutcome::MainWindowShown) {
    std::fprintf(stderr, "start-up failed\n");
    return 1;
  }
  // Every monitored item on, so that a cycle does all its work.
  system.run.items.ItemEnabled.fill(1);
  system.platform.recordCalls = false;
  frmvigilon& window = system.window();
  // Warm-up: captions, colours and icons reach their steady values.
  for (int i = 0; i < 3; ++i) window.PollSensors();
  // The simulator's log keeps its capacity when cleared, so the harness allocates nothing either.
  std::size_t accesses = 0;
  g_allocations = 0;
  g_counting = true;
  for (int i = 0; i < cycles; ++i) {
    system.chip.ClearLog();
    window.PollSensors();
    accesses += system.chip.Log().size();
  }
  g_counting = false;
  const double ports = static_cast<double>(accesses) / cycles;
  std::printf("cycles: %d\n", cycles);
  std::printf("heap allocations per cycle: %.3f\n", static_cast<double>(g_allocations) / cycles);
  std::printf("port accesses per cycle: %.1f\n", ports);
  return 0;
}
