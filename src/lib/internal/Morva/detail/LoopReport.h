#pragma once

#include <string>

namespace Morva {

// The console warning that closes a graph walk which met combinational
// loops: the number of loop-closing edges skipped and the walk's phrase.
class LoopReport {
 public:
  static void print(unsigned long count, const std::string& phrase);
};

}  // namespace Morva
