// The soak as a program: a week (or as long as asked) of one model or of all four, with the
// heap in use counted. scripts/soak builds it optimised and runs the week.
//
//   vigilon_soak [--model ZR410|ZR420|ZR430|ZR460|all] [--seed N] [--cycles N] [--trace]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>
#include <string>

#include "soak/soak.h"

namespace {
// The heap in use in the calm state at the end of a run may exceed that of the end of the first
// hour by this much: what the soak itself keeps varies by that (the settings file and its kept
// copies, the strings of the last captions), while a leak of one block per hour over a week, or
// of anything per cycle, goes beyond it.
constexpr long long kHeapGrowthBound = 8 * 1024;
// Bytes in use on the heap, counted through a header before each block.
long long g_inUse = 0;
long long g_allocations = 0;
constexpr std::size_t kHeader = 16;  // keeps the block's alignment
}  // namespace

void* operator new(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, &size, sizeof size);
  g_inUse += static_cast<long long>(size);
  ++g_allocations;
  return block + kHeader;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  g_inUse -= static_cast<long long>(size);
  std::free(block);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

int main(int argc, char** argv) {
  using namespace vigilon::soak;
  std::string model = "all";
  uint64_t seed = 1;
  int64_t cycles = kCyclesPerWeek;
  bool trace = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--model" && i + 1 < argc) {
      model = argv[++i];
    } else if (a == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--cycles" && i + 1 < argc) {
      cycles = std::strtoll(argv[++i], nullptr, 10);
    } else if (a == "--trace") {
      trace = true;
    } else {
      std::cerr << "usage: vigilon_soak [--model ZR410|ZR420|ZR430|ZR460|all] [--seed N] "
                   "[--cycles N] [--trace]\n";
      return 2;
    }
  }
  std::vector<sim::Model> models;
  if (model == "all") {
    models = {sim::Model::ZR410, sim::Model::ZR420, sim::Model::ZR430, sim::Model::ZR460};
  } else {
    const std::optional<sim::Model> m = sim::ModelFromName(model);
    if (!m) {
      std::cerr << "unknown model " << model << "\n";
      return 2;
    }
    models = {*m};
  }

  bool allPassed = true;
  for (const sim::Model m : models) {
    // The heap at the two calm moments (the end of the first hour, the end of the run), and
    // its lowest and highest over each day: a leak shows as a calm value or a floor that rises.
    long long afterFirstHour = -1, atEnd = -1, dayLow = 0, dayHigh = 0;
    Options options;
    options.seed = seed;
    options.cycles = cycles;
    options.model = m;
    if (trace) options.trace = &std::cout;
    options.afterCycle = [&](int64_t cycle, bool quiet) {
      if (quiet && cycle + 1 == kCyclesPerHour) afterFirstHour = dayLow = dayHigh = g_inUse;
      if (quiet && cycle + 1 == cycles) atEnd = g_inUse;
      if (cycle + 1 <= kCyclesPerHour) return;
      dayLow = std::min(dayLow, g_inUse);
      dayHigh = std::max(dayHigh, g_inUse);
      if ((cycle + 1) % (24 * kCyclesPerHour) == 0 || cycle + 1 == cycles) {
        std::printf("  %s day %lld: heap in use %lld..%lld bytes\n", sim::ModelName(m),
                    static_cast<long long>((cycle + 24 * kCyclesPerHour) / (24 * kCyclesPerHour)),
                    dayLow, dayHigh);
        dayLow = dayHigh = g_inUse;
      }
    };
    const auto start = std::chrono::steady_clock::now();
    const Report report = RunSoak(options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s, seed %llu: %s in %.1f s\n%s", sim::ModelName(m),
                static_cast<unsigned long long>(seed), report.passed() ? "passed" : "FAILED",
                seconds, report.Summary().c_str());
    if (afterFirstHour >= 0)
      std::printf("  heap in use, calm, after the first hour %lld bytes, at the end %lld bytes\n",
                  afterFirstHour, atEnd);
    if (report.passed() && afterFirstHour >= 0 && atEnd >= 0 &&
        atEnd - afterFirstHour > kHeapGrowthBound) {
      std::printf(
          "%s, seed %llu: FAILED: the heap in use grew by %lld bytes after the first "
          "hour, more than %lld\n",
          sim::ModelName(m), static_cast<unsigned long long>(seed), atEnd - afterFirstHour,
          kHeapGrowthBound);
      allPassed = false;
    }
    if (!report.passed()) {
      std::printf("%s", report.failure.c_str());
      allPassed = false;
    }
    std::fflush(stdout);
  }
  std::printf("heap allocations in all: %lld\n", g_allocations);
  return allPassed ? 0 : 1;
}
