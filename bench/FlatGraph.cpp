#include "FlatGraph.h"

#include <algorithm>
#include <limits>

namespace MorvaBench {

FlatGraph::FlatGraph(std::size_t poleCount, const std::vector<Arc>& arcs) {
  // Kahn's algorithm over the arcs as given.
  std::vector<std::uint32_t> outStart(poleCount + 1, 0);
  std::vector<std::uint32_t> inDegree(poleCount, 0);
  for (const Arc& arc : arcs) {
    ++outStart[arc.source + 1];
    ++inDegree[arc.target];
  }
  for (std::size_t pole = 0; pole < poleCount; ++pole) outStart[pole + 1] += outStart[pole];
  std::vector<std::uint32_t> outArcs(arcs.size());
  {
    std::vector<std::uint32_t> fill(outStart.begin(), outStart.end() - 1);
    for (std::uint32_t index = 0; index < arcs.size(); ++index)
      outArcs[fill[arcs[index].source]++] = index;
  }
  constexpr std::uint32_t unplaced = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> position(poleCount, unplaced);
  std::vector<std::uint32_t> order;
  order.reserve(poleCount);
  std::vector<std::uint32_t> ready;
  for (std::uint32_t pole = 0; pole < poleCount; ++pole)
    if (inDegree[pole] == 0) ready.push_back(pole);
  std::uint32_t stalled = 0;
  while (order.size() < poleCount) {
    if (ready.empty()) {
      // A cycle: release the first pole not yet placed.
      while (position[stalled] != unplaced) ++stalled;
      inDegree[stalled] = 0;
      ready.push_back(stalled);
    }
    const std::uint32_t pole = ready.back();
    ready.pop_back();
    if (position[pole] != unplaced) continue;
    position[pole] = static_cast<std::uint32_t>(order.size());
    order.push_back(pole);
    for (std::uint32_t arc = outStart[pole]; arc < outStart[pole + 1]; ++arc) {
      const std::uint32_t target = arcs[outArcs[arc]].target;
      if (position[target] == unplaced && inDegree[target] > 0 && --inDegree[target] == 0)
        ready.push_back(target);
    }
  }

  // Rows by position, keeping the arcs that run forward in the order.
  _offsets.assign(poleCount + 1, 0);
  _hasInput.assign(poleCount, 0);
  for (const Arc& arc : arcs) {
    if (position[arc.source] < position[arc.target])
      ++_offsets[position[arc.source] + 1];
    else
      ++_dropped;
  }
  for (std::size_t pole = 0; pole < poleCount; ++pole) _offsets[pole + 1] += _offsets[pole];
  const std::size_t kept = arcs.size() - _dropped;
  _targets.resize(kept);
  _minimum.resize(kept);
  _maximum.resize(kept);
  std::vector<std::uint32_t> fill(_offsets.begin(), _offsets.end() - 1);
  // Within a row the arcs keep their given order.
  for (std::uint32_t source : order) {
    for (std::uint32_t arc = outStart[source]; arc < outStart[source + 1]; ++arc) {
      const Arc& given = arcs[outArcs[arc]];
      const std::uint32_t from = position[given.source];
      const std::uint32_t to = position[given.target];
      if (from >= to) continue;
      const std::uint32_t slot = fill[from]++;
      _targets[slot] = to;
      _minimum[slot] = given.minimum;
      _maximum[slot] = given.maximum;
      _hasInput[to] = 1;
    }
  }
  _earlyArrival.resize(poleCount);
  _lateArrival.resize(poleCount);
  _earlyRequired.resize(poleCount);
  _lateRequired.resize(poleCount);
}

std::int64_t FlatGraph::propagateForward() {
  const std::size_t count = getPoleCount();
  constexpr std::int32_t high = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t low = std::numeric_limits<std::int32_t>::min();
  for (std::size_t pole = 0; pole < count; ++pole) {
    _earlyArrival[pole] = _hasInput[pole] ? high : 0;
    _lateArrival[pole] = _hasInput[pole] ? low : 0;
  }
  // In topological order every input of a pole is final before the pole
  // is read, so no sentinel ever reaches an addition.
  for (std::size_t pole = 0; pole < count; ++pole) {
    const std::int32_t early = _earlyArrival[pole];
    const std::int32_t late = _lateArrival[pole];
    for (std::uint32_t arc = _offsets[pole]; arc < _offsets[pole + 1]; ++arc) {
      const std::uint32_t target = _targets[arc];
      _earlyArrival[target] = std::min(_earlyArrival[target], early + _minimum[arc]);
      _lateArrival[target] = std::max(_lateArrival[target], late + _maximum[arc]);
    }
  }
  std::int64_t sum = 0;
  for (std::size_t pole = 0; pole < count; ++pole) sum += _lateArrival[pole] - _earlyArrival[pole];
  return sum;
}

std::int64_t FlatGraph::propagateBackward(std::int32_t period) {
  const std::size_t count = getPoleCount();
  std::int64_t sum = 0;
  for (std::size_t pole = count; pole-- > 0;) {
    const std::uint32_t first = _offsets[pole];
    const std::uint32_t last = _offsets[pole + 1];
    if (first == last) {
      _lateRequired[pole] = period;
      _earlyRequired[pole] = 0;
    } else {
      std::int32_t late = std::numeric_limits<std::int32_t>::max();
      std::int32_t early = std::numeric_limits<std::int32_t>::min();
      for (std::uint32_t arc = first; arc < last; ++arc) {
        const std::uint32_t target = _targets[arc];
        late = std::min(late, _lateRequired[target] - _maximum[arc]);
        early = std::max(early, _earlyRequired[target] - _minimum[arc]);
      }
      _lateRequired[pole] = late;
      _earlyRequired[pole] = early;
    }
    // The worst setup and hold slacks, for the checksum.
    sum += std::min(_lateRequired[pole] - _lateArrival[pole],
                    _earlyArrival[pole] - _earlyRequired[pole]);
  }
  return sum;
}

}  // namespace MorvaBench
