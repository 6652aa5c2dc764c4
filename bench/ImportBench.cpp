// Reading speed of the design readers on the largest shared ISCAS'85
// circuit: its SDF file, the same cells fifty times over in one file, and
// its Verilog netlist. The texts are read from disk once; each iteration
// parses them into fresh data.

#include <Message.h>
#include <Netlist.h>
#include <SdfReader.h>
#include <TextFile.h>
#include <VerilogReader.h>
#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string kCircuit = std::string(MORVA_BENCHMARK_DATA) + "/iscas85-sdf/c7552_synth";

// The SDF text with its cells repeated `copies` times inside one DELAYFILE.
std::string getReplicatedSdf(int copies) {
  const std::string text = MorvaImport::readTextFile(kCircuit + ".sdf");
  const std::size_t cells = text.find("(CELL");
  const std::size_t end = text.rfind(')');
  std::string result = text.substr(0, cells);
  for (int copy = 0; copy < copies; ++copy) result += text.substr(cells, end - cells);
  return result + ")\n";
}

void readSdf(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    MorvaImport::SdfData data;
    MorvaImport::SdfReader(data, MorvaImport::Corner::MinMax).readText("bench.sdf", text);
    benchmark::DoNotOptimize(data.entries.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_SdfLargestShared(benchmark::State& state) {
  static const std::string text = getReplicatedSdf(1);
  readSdf(state, text);
}
BENCHMARK(BM_SdfLargestShared)->Unit(benchmark::kMillisecond);

void BM_SdfReplicated50(benchmark::State& state) {
  static const std::string text = getReplicatedSdf(50);
  readSdf(state, text);
}
BENCHMARK(BM_SdfReplicated50)->Unit(benchmark::kMillisecond);

void BM_VerilogLargestShared(benchmark::State& state) {
  static const std::string text = MorvaImport::readTextFile(kCircuit + ".v");
  for (auto _ : state) {
    MorvaImport::Netlist netlist;
    MorvaImport::VerilogReader(netlist).readText("bench.v", text);
    benchmark::DoNotOptimize(netlist.modules.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_VerilogLargestShared)->Unit(benchmark::kMillisecond);

}  // namespace
