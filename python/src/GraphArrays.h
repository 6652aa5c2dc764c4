#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace MorvaPython {

// The timing graph of the one analyzer as flat columns, for NumPy: the
// poles in the analyzer's order (main poles, then dual poles), the edges
// pole by pole in the order of their sources' outgoing edges, each edge
// naming its source and target by pole index. Delays and slacks are
// picoseconds in the library's 32-bit encoding (the codes Undefined,
// Minimum and Maximum included).
struct GraphArrays {
  std::vector<std::string> poleNames;
  std::vector<std::string> poleTypes;
  std::vector<std::string> poleModes;
  std::vector<std::int64_t> sources;
  std::vector<std::int64_t> targets;
  std::vector<std::int32_t> minimumDelays;
  std::vector<std::int32_t> maximumDelays;
  std::vector<std::int8_t> purposes;
  std::vector<std::int32_t> slacks;
  std::vector<std::uint64_t> weights;

  static GraphArrays read();
};

}  // namespace MorvaPython
