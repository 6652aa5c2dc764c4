#pragma once

#include <Morva/Export.h>
#include <Morva/Pole.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Morva {

struct SweepBuffers;
struct WalkBuffers;

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
// Every change to what the image copies (poles and edges created or
// destroyed, modes, types, masks, delays, activity, pairs of main and dual
// poles, any object flag set through `Object::setFlag`) calls `touch`; the
// next `get` rebuilds it.
// Exported for the benchmarks, which time its making as a stage; the
// header is not installed.
class MORVA_API GraphImage {
 public:
  // An active edge as seen from one of its ends.
  struct Arc {
    // The index of the other end; the top bit is set for cell arcs and
    // interconnect, the edges that carry clocks.
    uint32_t far;
    // The edge's mask number, packed.
    uint32_t mask;
    int32_t minimum;
    int32_t maximum;

    static constexpr uint32_t clockBit = 1U << 31;
    uint32_t getFar() const { return far & ~clockBit; }
    bool carriesClock() const { return (far & clockBit) != 0; }
  };

  // What the passes need to know of a pole, one bit each.
  enum Fact : uint8_t { Initial = 1, Terminal = 2, Dual = 4, Input = 8, Output = 16 };

  static constexpr uint32_t none = UINT32_MAX;

  // The image of the graph as it is now.
  static const GraphImage& get();
  static void touch() { ++_version; }
  // Changes with every `touch`.
  static uint64_t getVersion() { return _version; }
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
  uint32_t getOpeningMask(uint32_t index) const { return _openingMasks[index]; }
  uint32_t getClosingMask(uint32_t index) const { return _closingMasks[index]; }
  // Scratch of the sweeps (Sweep.h) and walks (Walk.h) over this image,
  // kept with it: reused from pass to pass, and freed when the image goes.
  SweepBuffers& getSweepBuffers() const;
  std::shared_ptr<WalkBuffers> getWalkBuffers() const;
  // The index of the pole's `Pole::getClock`, or `none`.
  uint32_t getClock(uint32_t index) const { return _clocks[index]; }
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
  // they have one.
  void sort();

  static uint64_t _version;

  uint64_t _builtVersion = 0;
  bool _acyclic = false;
  // By index, each in an array of its own, so that a pass streams what it
  // reads only. Rows of arcs: row i spans [rows[i], rows[i + 1]).
  std::vector<uint32_t> _numbers;
  // The poles by number: any pole made or destroyed makes the image stale.
  Pole* const* _poles = nullptr;
  std::vector<uint8_t> _facts;
  std::vector<uint32_t> _openingMasks;
  std::vector<uint32_t> _closingMasks;
  std::vector<uint32_t> _incomingRows;
  std::vector<uint32_t> _outgoingRows;
  std::vector<Arc> _incoming;
  std::vector<Arc> _outgoing;
  // The index of each pole number, `none` for a free number.
  std::vector<uint32_t> _indices;
  // By index, read at end points only.
  std::vector<uint32_t> _clocks;
  mutable std::shared_ptr<SweepBuffers> _sweepBuffers;
  mutable std::shared_ptr<WalkBuffers> _walkBuffers;
};

}  // namespace Morva
