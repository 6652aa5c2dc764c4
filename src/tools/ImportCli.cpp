#include "ImportCli.h"

namespace MorvaTool {

void ImportCli::addTo(CLI::App& app) {
  app.add_option("--top", _top,
                 "Top module of the Verilog netlist (default: the one no other instantiates)");
  app.add_option("--pin-order", _pinOrder,
                 "File of cell pin orders for positional connections: one line per cell type, "
                 "the type then its pins in order");
  app.add_option(
         "--sdf-corner", _corner,
         "SDF values taken: minmax (the minimum and maximum fields) or typ (the typical field)")
      ->check(CLI::IsMember({"minmax", "typ"}))
      ->capture_default_str();
  app.add_option("--period", _period, "Clock period of the flip-flops of .bench netlists, in PS")
      ->check(CLI::Range(2LL, 1000000000LL))
      ->capture_default_str();
  app.add_option(
         "--bench-delay", _benchDelay,
         "Gate delays of .bench netlists: unit (every gate the unit) or fanout (the unit plus a "
         "quarter of it per load beyond the first)")
      ->check(CLI::IsMember({"unit", "fanout"}))
      ->capture_default_str();
  app.add_option("--bench-unit", _benchUnit, "The unit delay of .bench netlists, in PS")
      ->check(CLI::Range(0LL, 1000000LL))
      ->capture_default_str();
}

MorvaImport::ImportOptions ImportCli::getOptions() const {
  MorvaImport::ImportOptions options;
  options.top = _top;
  options.pinOrderFile = _pinOrder;
  options.corner = _corner == "typ" ? MorvaImport::Corner::Typical : MorvaImport::Corner::MinMax;
  options.bench.model = _benchDelay == "fanout" ? MorvaImport::BenchOptions::Model::Fanout
                                                : MorvaImport::BenchOptions::Model::Unit;
  options.bench.unit = _benchUnit;
  options.bench.period = _period;
  return options;
}

}  // namespace MorvaTool
