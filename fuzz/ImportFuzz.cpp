// libFuzzer target of the design readers: the first byte of an input picks
// the reader (Verilog with flattening, SDF, .bench, then the design built
// into an analyzer; or SDC on a small fixed design), the rest is the
// file's text. A read error is the
// expected answer to bad input; anything else is a finding.

#include <BenchReader.h>
#include <DesignBuilder.h>
#include <Flattener.h>
#include <Message.h>
#include <Morva/Analyzer.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>
#include <SdcReader.h>
#include <SdfReader.h>
#include <VerilogReader.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

// Two registers on two clocks with a cell between them.
const char* kNetlist =
    "module m (c1, c2, d, q);\n input c1, c2, d;\n output q;\n wire a, b;\n"
    " DFF r1 (.CK(c1), .D(d), .Q(a));\n BUF u (.A(a), .Y(b));\n"
    " DFF r2 (.CK(c2), .D(b), .Q(q));\nendmodule\n";
const char* kDelays =
    "(DELAYFILE (TIMESCALE 1ps)\n (CELL (CELLTYPE \"DFF\") (INSTANCE *)\n"
    "  (DELAY (ABSOLUTE (IOPATH (posedge CK) Q (10:20:30))))\n"
    "  (TIMINGCHECK (SETUPHOLD D (posedge CK) (5) (2))))\n"
    " (CELL (CELLTYPE \"BUF\") (INSTANCE u) (DELAY (ABSOLUTE (IOPATH A Y (40))))))\n";

void readConstraints(const std::string& text) {
  MorvaImport::Netlist netlist;
  MorvaImport::VerilogReader(netlist).readText("fuzz.v", kNetlist);
  MorvaImport::SdfData sdf;
  MorvaImport::SdfReader(sdf, MorvaImport::Corner::MinMax).readText("fuzz.sdf", kDelays);
  const MorvaImport::FlatNetlist flat = MorvaImport::flatten(netlist, "", '/');
  MorvaImport::buildDesign(flat, sdf).commit();
  MorvaImport::SdcDesign design('/', &flat);
  MorvaImport::SdcReader reader(design, false);
  reader.readText("fuzz.sdc", text);
  reader.commit();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static std::ostringstream sink;
  sink.str("");
  Orvek::console.setOutput(sink);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  Morva::Analyzer::create();
  try {
    switch (data[0] % 4) {
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
      case 2:
        MorvaImport::readBench("fuzz.bench", text, {}).commit();
        break;
      default:
        readConstraints(text);
        break;
    }
  } catch (const Orvek::Exception&) {
    // Read errors, and names the analyzer refuses (a pole made twice).
  }
  Morva::analyzer->destroy();
  return 0;
}
