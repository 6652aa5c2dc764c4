#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Pole.h>
#include <Morva/PoleTimingMap.h>
#include <Morva/TimingMap.h>
#include <Morva/detail/GraphImage.h>
#include <Morva/detail/Walk.h>

#include <algorithm>
#include <cstdint>
#include <memory>
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
// `Pass` is that of the walk, plus `static constexpr bool fromLower` (the
// far ends of the followed edges sit at lower indices, edges being
// followed backward, or at higher ones) and `getReached()`: the poles the
// walks would enter, by index, when the pass knows them already, else null.
template <class Pass>
class Sweep {
 public:
  static bool isUsable(const PoleTimingMap& table) {
    if (!table.empty() || !GraphImage::get().isAcyclic()) return false;
    const std::vector<Pole*>& marked = analyzer->getMarkedPoles();
    return std::none_of(marked.begin(), marked.end(), [](Pole* pole) { return pole->isMarked(); });
  }

  explicit Sweep(Pass& pass)
      : _pass(pass), _image(GraphImage::get()), _buffers(_image.getSweepBuffers()) {}

  // Computes the maps of the walks from `starts`; `mapped`, if given,
  // receives the poles given a map, by index.
  void run(const std::vector<Pole*>& starts, std::vector<bool>* mapped) {
    const std::size_t size = _image.getSize();
    // The states are cleared; a result is read only where the state says
    // there is one.
    _buffers.states.assign(size, 0);
    _buffers.results.resize(size);
    _states = _buffers.states.data();
    _results = _buffers.results.data();
    if (mapped) mapped->assign(size, false);
    uint32_t low = UINT32_MAX;
    uint32_t high = 0;
    std::size_t reached = 0;
    if (const std::vector<bool>* known = _pass.getReached()) {
      for (uint32_t index = 0; index < size; ++index) {
        if (!(*known)[index]) continue;
        _states[index] = _reached;
        low = std::min(low, index);
        high = index;
        ++reached;
      }
    } else {
      reached = reachFrom(starts, low, high);
    }
    if (reached == 0) return;
    std::size_t deferred = 0;
    if (Pass::fromLower) {
      for (uint32_t index = low; index <= high; ++index) deferred += compute(index);
    } else {
      for (uint32_t index = high + 1; index-- > low;) deferred += compute(index);
    }
    // The maps of one key-0 entry computed aside are entered now, the
    // count known: the table is filled once, without room to spare.
    PoleTimingMap& table = _pass.getTable();
    table.reserve(table.size() + deferred);
    for (uint32_t index = low; index <= high; ++index) {
      if (!(_states[index] & _mapped)) continue;
      if (mapped) (*mapped)[index] = true;
      if (_states[index] & _entered) continue;
      const SweepResult& result = _results[index];
      table.tryEmplace(_image.getNumber(index),
                       TimingMap(0, Timing(Delay(result.minimum), Delay(result.maximum))));
    }
  }

  // Reaches the poles the walks from `starts` enter, and the span of their
  // indices; returns their count.
  std::size_t reachFrom(const std::vector<Pole*>& starts, uint32_t& low, uint32_t& high) {
    for (Pole* start : starts) {
      const uint32_t index = _image.getIndex(start);
      if (index == GraphImage::none || !reach(index)) continue;
      low = std::min(low, index);
      high = std::max(high, index);
    }
    if (low > high) return 0;
    // Every pole reached lies between the start points and the far ends of
    // the followed edges: below them when edges are followed backward.
    std::size_t reached = 0;
    const auto size = static_cast<uint32_t>(_image.getSize());
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
    return reached;
  }

 private:
  using Arc = GraphImage::Arc;

  static constexpr uint8_t _reached = 1;
  static constexpr uint8_t _refused = 2;
  static constexpr uint8_t _checked = 4;
  // Given a map, which is one key-0 entry, which is in the table already.
  static constexpr uint8_t _mapped = 8;
  static constexpr uint8_t _single = 16;
  static constexpr uint8_t _entered = 32;

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
  // A map of one key-0 entry made here is kept in the pole's result, to be
  // entered in the table later: returns 1 for such a map, else 0.
  std::size_t compute(uint32_t index) {
    if (!(_states[index] & _reached)) return 0;
    PoleTimingMap& table = _pass.getTable();
    uint32_t position = noPosition;
    if (_pass.isEnd(_image, index)) {
      _pass.handleEnd(_image, index);
      const std::size_t found = table.findPositionByNumber(_image.getNumber(index));
      if (found != PoleTimingMap::npos) position = static_cast<uint32_t>(found);
    } else {
      const unsigned long cut = _pass.getCutMask(_image, index);
      const unsigned long start = _pass.getStartMask(_image, index);
      // Where nothing is cut or started, a key-0 timing brought by an edge
      // of the empty mask stays a key-0 timing: those are combined aside.
      const bool plain = cut == 0 && start == 0;
      Timing single;
      bool singles = false;
      for (const Arc* arc = _pass.beginArcs(_image, index); arc != _pass.endArcs(_image, index);
           ++arc) {
        if (!_pass.isFollowed(*arc)) continue;
        const uint32_t far = arc->getFar();
        // A far end refused, or reached but without map, has no result.
        const uint8_t state = _states[far];
        if (!(state & _mapped)) continue;
        const SweepResult& result = _results[far];
        if (plain && !arc->hasMask() && (state & _single)) {
          Timing timing(Delay(result.minimum), Delay(result.maximum));
          _pass.shift(_image, *arc, index, timing);
          single.combine(timing);
          singles = true;
          continue;
        }
        if (state & _single)
          _farMap.assign(0, Timing(Delay(result.minimum), Delay(result.maximum)));
        const TimingMap& farMap =
            state & _single ? _farMap
                            : table.readAt(static_cast<uint32_t>(result.minimum), _farMap);
        fold(_pass, _image, table, _scratch, *arc, farMap, index, cut, start, position);
      }
      if (singles && position == noPosition) {
        _results[index] =
            SweepResult{single.getMinimumDelay().getValue(), single.getMaximumDelay().getValue()};
        _states[index] |= _mapped | _single;
        return 1;
      }
      if (singles) table.getAt(position)[0].combine(single);
    }
    if (position == noPosition) return 0;
    const TimingMap& map = table.readAt(position, _farMap);
    if (map.size() == 1 && map.begin()->first == 0) {
      const Timing& timing = map.begin()->second;
      _results[index] =
          SweepResult{timing.getMinimumDelay().getValue(), timing.getMaximumDelay().getValue()};
      _states[index] |= _mapped | _entered | _single;
    } else {
      _results[index] = SweepResult{static_cast<int32_t>(position), 0};
      _states[index] |= _mapped | _entered;
    }
    return 0;
  }

  Pass& _pass;
  const GraphImage& _image;
  SweepBuffers& _buffers;
  // The buffers' arrays, held apart: stores through the states (bytes) would
  // otherwise make the compiler load the others' addresses again.
  uint8_t* _states = nullptr;
  SweepResult* _results = nullptr;
  TimingMap _scratch;
  // The map of a far end not entered yet, or kept in place in the table.
  TimingMap _farMap;
};

}  // namespace Morva
