// Time per edge of the scanner's passes and route search on generated
// designs of 10^4, 10^5 and 10^6 edges. Counter "edge" is the time per
// edge of the design (seconds, shown with the unit suffix). `graphWalk` is
// the floor every pass stands on: a bare depth-first walk backward from
// the capture side over the pole edge sets, with marks and the closing
// `Analyzer::unmark()`, carrying no timing.

#include "Generator.h"

#include <Morva/Route.h>

#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

namespace {

using namespace Morva;

// One design at a time: the passes clear the marks of every pole of the
// analyzer, so designs of other sizes must not linger beside it.
const MorvaBench::Design& getDesign(std::size_t edges) {
  static MorvaBench::Design design;
  static std::size_t built = 0;
  if (built != edges) {
    design = MorvaBench::generate(edges, 2024);
    built = edges;
  }
  return design;
}

// A fresh scanner with the passes before `stage` done (0: none, 1: clock,
// 2: clock and arrival, 3: all three).
Scanner* prepare(Subdomain* subdomain, int stage) {
  Scanner* scanner = subdomain->openScanner();
  if (stage > 0) scanner->clockAnalyze();
  if (stage > 1) scanner->arrivalAnalyze();
  if (stage > 2) scanner->requireAnalyze();
  return scanner;
}

void destroyRoutes(Subdomain* subdomain) {
  const std::vector<Route*> routes(subdomain->getLongestRouteSet().begin(),
                                   subdomain->getLongestRouteSet().end());
  for (Route* route : routes) route->destroy();
}

void report(benchmark::State& state, const MorvaBench::Design& design) {
  state.counters["edge"] = benchmark::Counter(
      static_cast<double>(design.edgeCount),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["edges"] = static_cast<double>(design.edgeCount);
}

// Runs `stage` (1 clock, 2 arrival, 3 required, 4 route search) on a
// scanner prepared outside the timing.
void run(benchmark::State& state, int stage) {
  const MorvaBench::Design& design = getDesign(static_cast<std::size_t>(state.range(0)));
  Subdomain* subdomain = design.subdomain;
  for (auto _ : state) {
    state.PauseTiming();
    destroyRoutes(subdomain);
    Scanner* scanner = prepare(subdomain, stage - 1);
    state.ResumeTiming();
    switch (stage) {
      case 1:
        scanner->clockAnalyze();
        break;
      case 2:
        scanner->arrivalAnalyze();
        break;
      case 3:
        scanner->requireAnalyze();
        break;
      default:
        scanner->searchLongestRoutes(Delay::getMaximum(), 50);
    }
    benchmark::DoNotOptimize(scanner);
  }
  report(state, design);
}

void graphWalk(benchmark::State& state) {
  const MorvaBench::Design& design = getDesign(static_cast<std::size_t>(state.range(0)));
  std::vector<std::pair<Pole*, EdgeSet::const_iterator>> stack;
  for (auto _ : state) {
    std::size_t visits = 0;
    for (Pole* leaf : design.subdomain->getLatchLeafSet()) {
      Pole* start = leaf->getDual();
      if (start->isMarked()) continue;
      start->mark();
      stack.emplace_back(start, start->getIncomingEdgeSet().begin());
      while (!stack.empty()) {
        auto& [pole, next] = stack.back();
        if (next == pole->getIncomingEdgeSet().end()) {
          stack.pop_back();
          continue;
        }
        Pole* source = (*next++)->getSource();
        ++visits;
        if (source->isMarked()) continue;
        source->mark();
        stack.emplace_back(source, source->getIncomingEdgeSet().begin());
      }
    }
    analyzer->unmark();
    benchmark::DoNotOptimize(visits);
  }
  report(state, design);
}

void clockAnalyze(benchmark::State& state) {
  run(state, 1);
}
void arrivalAnalyze(benchmark::State& state) {
  run(state, 2);
}
void requireAnalyze(benchmark::State& state) {
  run(state, 3);
}
void searchLongestRoutes(benchmark::State& state) {
  run(state, 4);
}

// Grouped by size, so that each design is built once.
#define MORVA_SCANNER_BENCH(size)                                      \
  BENCHMARK(graphWalk)->Arg(size)->Unit(benchmark::kMillisecond);      \
  BENCHMARK(clockAnalyze)->Arg(size)->Unit(benchmark::kMillisecond);   \
  BENCHMARK(arrivalAnalyze)->Arg(size)->Unit(benchmark::kMillisecond); \
  BENCHMARK(requireAnalyze)->Arg(size)->Unit(benchmark::kMillisecond); \
  BENCHMARK(searchLongestRoutes)->Arg(size)->Unit(benchmark::kMillisecond)

MORVA_SCANNER_BENCH(10000);
MORVA_SCANNER_BENCH(100000);
MORVA_SCANNER_BENCH(1000000);

}  // namespace
