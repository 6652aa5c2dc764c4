#pragma once

#include "BenchReader.h"
#include "Netlist.h"
#include "SdfData.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace MorvaImport {

enum class FileKind { Archive, Verilog, Sdf, Sdc, Bench };

// The kind of an input file: by its extension (.v, .vg, .sdf, .sdc, .bench,
// each possibly followed by .gz), otherwise, for a regular file, by its
// first word; anything else is an archive.
FileKind detectKind(const std::string& fileName);

struct ImportOptions {
  std::string top;  // the top module; empty to find it
  // The pin order file for positional connections to cells; empty for none.
  std::string pinOrderFile;
  Corner corner = Corner::MinMax;
  BenchOptions bench;
  // Unknown SDC commands are skipped with a warning instead of failing.
  bool lenient = false;
};

// Reads design files and builds them into the analyzer: the Verilog
// netlist with its SDF delays as one design, each `.bench` netlist as
// another.
class Importer {
 public:
  explicit Importer(ImportOptions options) : _options(std::move(options)) {}

  // Reads one file of the given kind (not an archive); raises a read error
  // on a problem.
  void read(const std::string& fileName, FileKind kind);
  bool isEmpty() const {
    return _verilogFiles.empty() && _sdfFiles.empty() && _benches.empty() && _sdcFiles.empty();
  }
  bool hasConstraints() const { return !_sdcFiles.empty(); }
  // Creates the designs read in the analyzer.
  void build();
  // Evaluates the SDC files on what the analyzer holds (the designs built,
  // and any archives loaded since) and creates their constraints.
  void constrain();

 private:
  // A copy: callers may hand a temporary.
  const ImportOptions _options;
  Netlist _netlist;
  SdfData _sdf;
  std::vector<std::string> _verilogFiles;
  std::vector<std::string> _sdfFiles;
  std::vector<std::string> _sdcFiles;
  // The Verilog design flattened, for the nets SDC names.
  std::optional<FlatNetlist> _flat;
  std::vector<GraphPlan> _benches;
};

}  // namespace MorvaImport
