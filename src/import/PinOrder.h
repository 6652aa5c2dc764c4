#pragma once

#include <map>
#include <string>
#include <vector>

namespace MorvaImport {

// The pins of each cell type in the order positional Verilog connections
// follow, by cell type.
using PinOrder = std::map<std::string, std::vector<std::string>>;

// Reads a pin order file: one line per cell type, the type then its pins
// in order (`DFF CK D Q`), blank-separated; `#` starts a comment. A type
// listed twice, without pins, or with a pin twice is a read error.
PinOrder readPinOrder(const std::string& fileName, const std::string& text);

}  // namespace MorvaImport
