#pragma once

#include <Morva/Analyzer.h>
#include <Morva/GraphImage.h>
#include <Morva/Pole.h>
#include <Morva/TimingMap.h>
#include <Morva/Walk.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Morva {

// The result of a walk, computed by sweeping the graph image in its
// topological order rather than depth first. Without loops the two agree:
// a pole's map combines the maps its followed edges bring, whichever order
// those were completed in. The sweep reads the image from one end to the
// other, which is what makes it fast; the walk jumps from pole to pole.
//
// It stands in for the walks of a whole pass, from all their start points,
// when it can give the same result (`isUsable`): the image has no loop, no
// pole is marked (a walk would take a marked pole as complete) and the
// table is empty (a walk would combine into what it holds). It sets no
// marks; the pass clears them at its end anyway. A pass whose sweep fails
// empties the table and walks instead, so that it fails as the walk does.
//
// `Pass` is that of the walk, plus `static constexpr bool fromLower`: the
// far ends of the followed edges sit at lower indices (edges are followed
// backward) or at higher ones.
template <class Pass>
class Sweep {
 public:
  static bool isUsable(const PoleTimingMap& table) {
    if (!table.empty() || !GraphImage::get().isAcyclic()) return false;
    const std::vector<Pole*>& marked = analyzer->getMarkedPoles();
    return std::none_of(marked.begin(), marked.end(), [](Pole* pole) { return pole->isMarked(); });
  }

  explicit Sweep(Pass& pass) : _pass(pass), _image(GraphImage::get()), _buffers(getBuffers()) {}

  void run(const std::vector<Pole*>& starts) {
    const std::size_t size = _image.getSize();
    // The states are cleared; results of earlier sweeps are told apart by
    // their sweep number, and positions are read for poles given a map only.
    _buffers.states.assign(size, 0);
    _buffers.positions.resize(size);
    _buffers.results.resize(size);
    if (++_buffers.sweep >= _lastSweep) {
      std::fill(_buffers.results.begin(), _buffers.results.end(), Result{});
      _buffers.sweep = 1;
    }
    _sweep = _buffers.sweep;
    _states = _buffers.states.data();
    _positions = _buffers.positions.data();
    _results = _buffers.results.data();
    uint32_t low = UINT32_MAX;
    uint32_t high = 0;
    for (Pole* start : starts) {
      const uint32_t index = _image.getIndex(start);
      if (index == GraphImage::none || !reach(index)) continue;
      low = std::min(low, index);
      high = std::max(high, index);
    }
    if (low > high) return;
    // Every pole reached lies between the start points and the far ends of
    // the followed edges: below them when edges are followed backward.
    std::size_t reached = 0;
    if (Pass::fromLower) {
      for (uint32_t index = high + 1; index-- > 0;)
        if (spread(index)) {
          low = index;
          ++reached;
        }
    } else {
      for (uint32_t index = low; index < size; ++index)
        if (spread(index)) {
          high = index;
          ++reached;
        }
    }
    // At most one map per pole reached.
    _pass.getTable().reserve(reached);
    if (Pass::fromLower) {
      for (uint32_t index = low; index <= high; ++index) compute(index);
    } else {
      for (uint32_t index = high + 1; index-- > low;) compute(index);
    }
    _low = low;
    _high = high;
  }

  // The poles given a map, by index.
  void getMapped(std::vector<bool>& mapped) const {
    mapped.assign(_image.getSize(), false);
    for (uint32_t index = _low; index <= _high; ++index)
      if (isMapped(_results[index])) mapped[index] = true;
  }

 private:
  using Arc = GraphImage::Arc;

  // What a later pole reads of one given a map, in one place: the sweep
  // that gave it (`tag` >> 1), whether the map is one key-0 entry (the low
  // bit of `tag`) and then that entry's timing.
  struct Result {
    int32_t minimum = 0;
    int32_t maximum = 0;
    uint32_t tag = 0;
  };
  static constexpr uint32_t _lastSweep = UINT32_MAX >> 1;
  // Scratch reused from sweep to sweep, by index: a state, a table
  // position, a result.
  struct Buffers {
    std::vector<uint8_t> states;
    std::vector<uint32_t> positions;
    std::vector<Result> results;
    uint32_t sweep = 0;
  };
  static Buffers& getBuffers() {
    static Buffers buffers;
    return buffers;
  }

  static constexpr uint8_t _reached = 1;
  static constexpr uint8_t _refused = 2;
  static constexpr uint8_t _checked = 4;
  static constexpr uint32_t _noPosition = UINT32_MAX;

  bool isMapped(const Result& result) const { return result.tag >> 1 == _sweep; }

  // Reaches a pole as a walk enters it: true unless the pass refuses it.
  bool reach(uint32_t index) {
    uint8_t& state = _states[index];
    if (!(state & _checked)) {
      state |= _checked;
      if (_pass.isRefused(_image, index)) state |= _refused;
    }
    if (state & _refused) return false;
    state |= _reached;
    return true;
  }

  // Reaches the far ends of a reached pole that is not an end point; true
  // when the pole was reached.
  bool spread(uint32_t index) {
    if (!(_states[index] & _reached)) return false;
    if (_pass.isEnd(_image, index)) return true;
    for (const Arc* arc = _pass.beginArcs(_image, index); arc != _pass.endArcs(_image, index);
         ++arc)
      if (_pass.isFollowed(*arc) && !(_states[arc->getFar()] & _reached)) reach(arc->getFar());
    return true;
  }

  // Computes the map of a reached pole, whose far ends are all complete.
  void compute(uint32_t index) {
    if (!(_states[index] & _reached)) return;
    PoleTimingMap& table = _pass.getTable();
    Pole* pole = _image.getPole(index);
    const uint32_t number = _image.getNumber(index);
    uint32_t position = _noPosition;
    if (_pass.isEnd(_image, index)) {
      _pass.handleEnd(_image, index);
      const std::size_t found = table.findPosition(pole, number);
      if (found != PoleTimingMap::npos) position = static_cast<uint32_t>(found);
    } else {
      const unsigned long cut = _pass.getCutMask(_image, index);
      const unsigned long start = _pass.getStartMask(_image, index);
      // Where nothing is cut or started, a key-0 timing brought by an edge
      // of the empty mask stays a key-0 timing: those are combined aside
      // and entered once, which spares a table access per edge.
      const bool plain = cut == 0 && start == 0;
      Timing single;
      bool singles = false;
      for (const Arc* arc = _pass.beginArcs(_image, index); arc != _pass.endArcs(_image, index);
           ++arc) {
        if (!_pass.isFollowed(*arc)) continue;
        const uint32_t far = arc->getFar();
        // A far end refused, or reached but without map, has no result.
        const Result& result = _results[far];
        if (!isMapped(result)) continue;
        if (plain && arc->mask == 0 && (result.tag & 1)) {
          Timing timing(Delay(result.minimum), Delay(result.maximum));
          _pass.shift(_image, *arc, index, timing);
          single.combine(timing);
          singles = true;
          continue;
        }
        fold(_pass, _image, table, _scratch, *arc, table.getAt(_positions[far]), index, cut, start,
             position);
      }
      if (singles) {
        if (position == _noPosition)
          position = static_cast<uint32_t>(table.getPosition(pole, number));
        table.getAt(position)[0].combine(single);
      }
    }
    if (position == _noPosition) return;
    _positions[index] = position;
    const TimingMap& map = table.getAt(position);
    Result& result = _results[index];
    result.tag = _sweep << 1;
    if (map.size() == 1 && map.begin()->first == 0) {
      const Timing& timing = map.begin()->second;
      result = Result{timing.getMinimumDelay().getValue(), timing.getMaximumDelay().getValue(),
                      _sweep << 1 | 1};
    }
  }

  Pass& _pass;
  const GraphImage& _image;
  Buffers& _buffers;
  // The buffers' arrays, held apart: stores through the states (bytes) would
  // otherwise make the compiler load the others' addresses again.
  uint8_t* _states = nullptr;
  uint32_t* _positions = nullptr;
  Result* _results = nullptr;
  uint32_t _sweep = 0;
  // The span of the poles reached.
  uint32_t _low = 1;
  uint32_t _high = 0;
  TimingMap _scratch;
};

}  // namespace Morva
