// Creation cost of the timing graph: N poles and 2N edges, with the time and
// the heap bytes (from the allocator) per pole and per edge.
#include <Morva/Analyzer.h>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

std::size_t heapInUse() {
  return mallinfo2().uordblks;
}

void createGraph(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<std::string> names(n);
  for (std::size_t i = 0; i < n; ++i) names[i] = "u" + std::to_string(i) + "/Y";
  double poleSeconds = 0, edgeSeconds = 0;
  std::size_t poleBytes = 0, edgeBytes = 0;
  for (auto _ : state) {
    Morva::Analyzer::create();
    std::vector<Morva::Pole*> poles(n);
    const auto before = heapInUse();
    auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < n; ++i) poles[i] = Morva::Pole::createMain(names[i]);
    auto middle = std::chrono::steady_clock::now();
    const auto afterPoles = heapInUse();
    for (std::size_t i = 0; i < n; ++i) {
      Morva::Edge::createInterconnect(poles[i], poles[(i + 1) % n]);
      Morva::Edge::createIOPath(poles[i],
                                poles[(i * 7 + 3) % n == i ? (i + 2) % n : (i * 7 + 3) % n]);
    }
    auto end = std::chrono::steady_clock::now();
    const auto afterEdges = heapInUse();
    poleSeconds = std::chrono::duration<double>(middle - start).count();
    edgeSeconds = std::chrono::duration<double>(end - middle).count();
    poleBytes = afterPoles - before;
    edgeBytes = afterEdges - afterPoles;
    state.PauseTiming();
    Morva::analyzer->destroy();
    state.ResumeTiming();
  }
  state.counters["ns/pole"] = 1e9 * poleSeconds / n;
  state.counters["ns/edge"] = 1e9 * edgeSeconds / (2 * n);
  state.counters["B/pole"] = static_cast<double>(poleBytes) / n;
  state.counters["B/edge"] = static_cast<double>(edgeBytes) / (2 * n);
}

}  // namespace

BENCHMARK(createGraph)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
