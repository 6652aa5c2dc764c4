#pragma once

#include "Netlist.h"

#include <string>

namespace MorvaImport {

// Reads a structural gate-level Verilog text into modules: ports, nets,
// cell and module instances, assigns and constants. Raises a read error
// at the first construct it cannot read.
class VerilogReader {
 public:
  explicit VerilogReader(Netlist& netlist) : _netlist(netlist) {}

  void readFile(const std::string& fileName);
  void readText(const std::string& fileName, const std::string& text);

 private:
  Netlist& _netlist;
};

}  // namespace MorvaImport
