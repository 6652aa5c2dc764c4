#pragma once

#include <Morva/Export.h>
#include <Morva/Pole.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Morva {

// What a sweep knows of a pole given a map, its state telling which: the
// map's timing when it is one key-0 entry, else the map's position in the
// table (in `minimum`).
struct SweepResult {
  int32_t minimum;
  int32_t maximum;
};

// Scratch reused from sweep to sweep, by index: a state and a result.
struct SweepBuffers {
  std::vector<uint8_t> states;
  std::vector<SweepResult> results;
};

// Scratch of the walks over one image, by index: states and positions,
// all zero between walks. A walk puts back the zeros it overwrote when it
// ends, so that the next one need not zero whole arrays again:
// the walks of a clock pass meet few poles scattered over the image.
struct WalkBuffers {
  std::vector<uint8_t> states;
  std::vector<uint32_t> positions;
  // The indices whose state the walk made non-zero.
  std::vector<uint32_t> touched;
  bool busy = false;
};

// A flat copy of the timing graph for the propagation passes. It holds
// what a pass reads of each living pole and, as compressed rows, the
// pole's active edges in each direction in list order. A pass then reads a
// few small arrays instead of pole and edge objects scattered over memory,
// whose cache misses are otherwise most of its time.
//
// Poles are known by their index in the image. When the active edges form
// no loop, indices follow a topological order (every edge runs from a
// lower index to a higher one), so that a pass may also sweep the image
// from one end to the other; otherwise they follow pole numbers.
//
// Every change to what the image copies moves the graph's epoch
// (`GraphEpoch`); the next `get` after one rebuilds it.
// Exported for the benchmarks, which time its making as a stage; the
// header is not installed.
class MORVA_API GraphImage {
 public:
  // An active edge as seen from one of its ends.
  struct Arc {
    // The index of the other end (2^30 poles would take 100 GB); the top
    // bit is set for cell arcs and interconnect, the edges that carry
    // clocks, the next one for edges with a mask, which few have: their
    // masks are kept apart.
    uint32_t far;
    int32_t minimum;
    int32_t maximum;

    static constexpr uint32_t clockBit = 1U << 31;
    static constexpr uint32_t maskBit = 1U << 30;
    uint32_t getFar() const { return far & ~(clockBit | maskBit); }
    bool carriesClock() const { return (far & clockBit) != 0; }
    bool hasMask() const { return (far & maskBit) != 0; }
  };

  // What the passes need to know of a pole, one bit each. Few poles have
  // an opening or closing mask, or a clock: those are kept apart.
  enum Fact : uint8_t {
    Initial = 1,
    Terminal = 2,
    Dual = 4,
    Input = 8,
    Output = 16,
    Masked = 32,
    Clocked = 64
  };

  static constexpr uint32_t none = UINT32_MAX;
  // Masks of arcs by their position in an array of arcs, while the image
  // is built.
  using ArcMasks = std::unordered_map<uint32_t, uint32_t>;

  // The image of the graph as it is now.
  static const GraphImage& get();
  // Frees the image; the next `get` builds it again.
  static void release();
  // Frees the scratch of the walks and sweeps, a few bytes a pole, while
  // no pass is due for a while; the next walk or sweep makes it again.
  static void releaseScratch();

  // The number of poles in the image; indices run below it.
  std::size_t getSize() const { return _numbers.size(); }
  bool isAcyclic() const { return _acyclic; }
  Pole* getPole(uint32_t index) const { return _poles[_numbers[index]]; }
  uint32_t getNumber(uint32_t index) const { return _numbers[index]; }
  // The index of a living pole, or `none`.
  uint32_t getIndex(const Pole* pole) const;
  bool hasFact(uint32_t index, Fact fact) const { return (_facts[index] & fact) != 0; }
  // The packed opening and closing mask numbers of a pole.
  uint32_t getOpeningMask(uint32_t index) const {
    return hasFact(index, Masked) ? _poleMasks.find(index)->second.first : 0;
  }
  uint32_t getClosingMask(uint32_t index) const {
    return hasFact(index, Masked) ? _poleMasks.find(index)->second.second : 0;
  }
  // The packed mask number of an arc of this image.
  uint32_t getMask(const Arc& arc) const {
    return arc.hasMask() ? _arcMasks.find(&arc)->second : 0;
  }
  // Scratch of the sweeps (Sweep.h) and walks (Walk.h) over this image,
  // kept with it: reused from pass to pass, and freed when the image goes.
  SweepBuffers& getSweepBuffers() const;
  std::shared_ptr<WalkBuffers> getWalkBuffers() const;
  // The index of the pole's `Pole::getClock`, or `none`.
  uint32_t getClock(uint32_t index) const {
    return hasFact(index, Clocked) ? _clocks.find(index)->second : none;
  }
  const Arc* beginIncoming(uint32_t index) const { return _incoming.data() + _incomingRows[index]; }
  const Arc* endIncoming(uint32_t index) const {
    return _incoming.data() + _incomingRows[index + 1];
  }
  const Arc* beginOutgoing(uint32_t index) const { return _outgoing.data() + _outgoingRows[index]; }
  const Arc* endOutgoing(uint32_t index) const {
    return _outgoing.data() + _outgoingRows[index + 1];
  }

 private:
  void build();
  // Renumbers the poles in a topological order of the active edges, if
  // they have one, and the arcs' masks with them.
  void sort(ArcMasks& incomingMasks, ArcMasks& outgoingMasks);
  // Whether every active edge runs from a lower index to a higher one.
  bool isTopological() const;

  // The graph's epoch when the image was built.
  uint64_t _builtEpoch = 0;
  bool _acyclic = false;
  // By index, each in an array of its own, so that a pass streams what it
  // reads only. Rows of arcs: row i spans [rows[i], rows[i + 1]).
  std::vector<uint32_t> _numbers;
  // The poles by number: any pole made or destroyed makes the image stale.
  Pole* const* _poles = nullptr;
  std::vector<uint8_t> _facts;
  std::vector<uint32_t> _incomingRows;
  std::vector<uint32_t> _outgoingRows;
  std::vector<Arc> _incoming;
  std::vector<Arc> _outgoing;
  // The index of each pole number, `none` for a free number.
  std::vector<uint32_t> _indices;
  // The few poles and arcs with masks, and the poles with a clock, which
  // are read at end points only.
  std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> _poleMasks;
  std::unordered_map<const Arc*, uint32_t> _arcMasks;
  std::unordered_map<uint32_t, uint32_t> _clocks;
  mutable std::shared_ptr<SweepBuffers> _sweepBuffers;
  mutable std::shared_ptr<WalkBuffers> _walkBuffers;
};

}  // namespace Morva
