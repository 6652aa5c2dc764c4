// libFuzzer target of the design readers: the first byte of an input picks
// the reader (Verilog with flattening, SDF, .bench, then the design built
// into an analyzer), the rest is the file's text. A read error is the
// expected answer to bad input; anything else is a finding.

#include <BenchReader.h>
#include <DesignBuilder.h>
#include <Flattener.h>
#include <Message.h>
#include <Morva/Analyzer.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>
#include <SdfReader.h>
#include <VerilogReader.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static std::ostringstream sink;
  sink.str("");
  Orvek::console.setOutput(sink);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  Morva::Analyzer::create();
  try {
    switch (data[0] % 3) {
      case 0: {
        MorvaImport::Netlist netlist;
        MorvaImport::VerilogReader(netlist).readText("fuzz.v", text);
        MorvaImport::buildDesign(MorvaImport::flatten(netlist, "", '/'), {}).commit();
        break;
      }
      case 1: {
        MorvaImport::SdfData sdf;
        MorvaImport::SdfReader(sdf, MorvaImport::Corner::MinMax).readText("fuzz.sdf", text);
        break;
      }
      default:
        MorvaImport::readBench("fuzz.bench", text, {}).commit();
        break;
    }
  } catch (const Orvek::Exception&) {
    // Read errors, and names the analyzer refuses (a pole made twice).
  }
  Morva::analyzer->destroy();
  return 0;
}
