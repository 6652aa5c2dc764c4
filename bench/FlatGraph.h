#pragma once

// The speed-of-light baseline of the propagation passes: a timing graph
// copied into flat arrays (compressed sparse rows, poles renumbered in
// topological order) and the barest forward (earliest/latest arrival) and
// backward (earliest/latest required time) propagation over them, with
// 32-bit delays and no timing classes, clocks or exceptions.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace MorvaBench {

class FlatGraph {
 public:
  struct Arc {
    std::uint32_t source;
    std::uint32_t target;
    std::int32_t minimum;
    std::int32_t maximum;
  };

  // Builds the graph of `poleCount` poles (numbered from 0) and `arcs`.
  // Poles are ordered by Kahn's algorithm; when it stalls on a cycle, the
  // first pole left (by number) is taken as if its remaining inputs were
  // absent, and every arc that would then run backward in the order (the
  // loop-closing arcs) is dropped, as the library's walks skip the edge
  // that closes a loop.
  FlatGraph(std::size_t poleCount, const std::vector<Arc>& arcs);

  std::size_t getPoleCount() const { return _offsets.size() - 1; }
  std::size_t getArcCount() const { return _targets.size(); }
  std::size_t getDroppedCount() const { return _dropped; }

  // Arrival times from 0 at every pole without input; returns a checksum
  // so that the work cannot be optimised away.
  std::int64_t propagateForward();
  // Required times from `period` (latest) and 0 (earliest) at every pole
  // without output, against the arrival times for a checksum.
  std::int64_t propagateBackward(std::int32_t period);

 private:
  // Rows by source position: the arcs of pole p are [_offsets[p],
  // _offsets[p + 1]), their targets being positions too.
  std::vector<std::uint32_t> _offsets;
  std::vector<std::uint32_t> _targets;
  std::vector<std::int32_t> _minimum;
  std::vector<std::int32_t> _maximum;
  std::vector<std::uint8_t> _hasInput;
  std::vector<std::int32_t> _earlyArrival, _lateArrival;
  std::vector<std::int32_t> _earlyRequired, _lateRequired;
  std::size_t _dropped = 0;
};

}  // namespace MorvaBench
