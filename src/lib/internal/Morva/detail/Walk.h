#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Collections.h>
#include <Morva/Mask.h>
#include <Morva/Pole.h>
#include <Morva/PoleTimingMap.h>
#include <Morva/TimingMap.h>
#include <Morva/detail/GraphImage.h>
#include <Morva/detail/TimingMaps.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace Morva {

// A pole without map yet in the table being filled, as the walks and the
// sweeps keep table positions in 32 bits.
constexpr uint32_t noPosition = UINT32_MAX;

// Folds `far`, the map of an edge's far end, through `arc` into the map of
// the pole at `index`, as the passes do for each edge they follow: the cut
// mask filters it, the pass shifts it by the edge's delays, the edge's
// mask re-keys it, it is combined into the pole's map (entered in `table`
// on first use, its position kept in `position`) and that map is mingled
// with the start mask.
template <class Pass>
void fold(Pass& pass, const GraphImage& image, PoleTimingMap& table, TimingMap& scratch,
          const GraphImage::Arc& arc, const TimingMap& far, uint32_t index, unsigned long cut,
          unsigned long start, uint32_t& position) {
  scratch = far;
  if (cut != 0) TimingMaps::filter(Mask(cut), scratch);
  for (auto& entry : scratch) pass.shift(image, arc, index, entry.second);
  // Under the empty mask, which every generation of masks holds, a lone
  // key-0 entry stays as it is.
  if (arc.hasMask() || scratch.size() != 1 || scratch.begin()->first != 0)
    TimingMaps::sensibilize(Mask(unpackMaskNumber(image.getMask(arc))), scratch);
  if (position == noPosition)
    position = static_cast<uint32_t>(table.getPositionByNumber(image.getNumber(index)));
  TimingMap& map = table.getAt(position);
  TimingMaps::combine(scratch, map);
  if (start != 0) TimingMaps::mingle(Mask(start), map);
}

// The depth-first walk shared by the three propagation passes, on an
// explicit stack, over the graph image. `Pass` supplies the direction of
// travel, the edges followed, the start (or end) points and the per-edge
// transformation, poles being given by their index in the graph image:
//   const Arc* beginArcs(image, n); const Arc* endArcs(image, n);
//   bool isFollowed(const Arc&); bool isRefused(image, n);
//   bool isEnd(image, n); void handleEnd(image, n);
//   unsigned long getCutMask(image, n); unsigned long getStartMask(image, n);
//   void shift(image, const Arc&, n, Timing&) (one timing of the far end's
//   map, shifted by the edge's delays); PoleTimingMap& getTable().
// A pole's frame stays on the stack while its edges are followed; when a
// frame is popped, the edge of its parent's frame that led to it is
// completed, which is the post-order storing of a recursion.
//
// The walk keeps its marks to itself, starting from the poles marked when
// it was made: the passes clear every mark when they end, so marking the
// poles themselves would only cost a cache miss per pole. `publishMarks`
// sets them on the poles, as does a failing step, so that a caller sees
// the marks a recursion would have left.
template <class Pass>
class Walk {
 public:
  Walk(Pass& pass, const PoleSet& visited)
      : _pass(pass), _visited(visited), _image(GraphImage::get()), _buffers(acquire(_image)) {
    _states = _buffers->states.data();
    _positions = _buffers->positions.data();
    try {
      for (const Pole* pole : analyzer->getMarkedPoles()) {
        const uint32_t index = _image.getIndex(pole);
        if (pole->isMarked() && index != GraphImage::none) setState(index, _marked);
      }
    } catch (...) {
      release();
      throw;
    }
  }
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;
  ~Walk() { release(); }

  bool isMarked(const Pole* pole) const {
    const uint32_t index = _image.getIndex(pole);
    return index != GraphImage::none && (_states[index] & _marked) != 0;
  }

  void run(Pole* start) {
    if (!start || _image.getIndex(start) == GraphImage::none) return;
    try {
      walk(_image.getIndex(start));
    } catch (...) {
      publishMarks();
      throw;
    }
  }

  void publishMarks() {
    for (const uint32_t index : _entered) _image.getPole(index)->mark();
    _entered.clear();
  }

 private:
  using Arc = GraphImage::Arc;

  struct Frame {
    uint32_t index;
    // The position of the pole's own map in the table, once it has one.
    uint32_t position;
    const Arc* next;
    const Arc* end;
    unsigned long cut;
    unsigned long start;
  };
  // States: marked (complete or on the current path), on the current
  // path, refused by the pass.
  static constexpr uint8_t _marked = 1;
  static constexpr uint8_t _onPath = 2;
  static constexpr uint8_t _refused = 4;
  // Positions are kept plus one, 0 being a pole whose map is not known
  // yet; `noPosition` stands for itself.
  static constexpr uint32_t _unknown = 0;
  static uint32_t encode(uint32_t position) {
    return position == noPosition ? noPosition : position + 1;
  }
  static uint32_t decode(uint32_t kept) { return kept == noPosition ? noPosition : kept - 1; }

  // The image's buffers, or buffers of its own while another walk holds
  // those.
  static std::shared_ptr<WalkBuffers> acquire(const GraphImage& image) {
    std::shared_ptr<WalkBuffers> buffers = image.getWalkBuffers();
    if (buffers->busy) buffers = std::make_shared<WalkBuffers>();
    if (buffers->states.size() != image.getSize()) {
      buffers->states.assign(image.getSize(), 0);
      buffers->positions.assign(image.getSize(), _unknown);
    }
    buffers->busy = true;
    return buffers;
  }

  // Puts back the zeros the walk overwrote and hands the buffers back.
  void release() {
    for (const uint32_t index : _buffers->touched) {
      _states[index] = 0;
      _positions[index] = _unknown;
    }
    _buffers->touched.clear();
    _buffers->busy = false;
  }

  void setState(uint32_t index, uint8_t state) {
    if (_states[index] == 0) _buffers->touched.push_back(index);
    _states[index] |= state;
  }

  void walk(uint32_t start) {
    if (!enter(start)) return;
    PoleTimingMap& table = _pass.getTable();
    while (!_stack.empty()) {
      Frame& frame = _stack.back();
      if (frame.next == frame.end) {
        // Only a pole's own frame writes its map: the popped frame knows
        // where that map is, or that there is none.
        const uint32_t position = frame.position;
        _states[frame.index] &= ~_onPath;
        _positions[frame.index] = encode(position);
        _stack.pop_back();
        if (!_stack.empty()) complete(_stack.back(), table, position);
        continue;
      }
      const Arc& arc = *frame.next;
      if (!_pass.isFollowed(arc)) {
        ++frame.next;
        continue;
      }
      const uint32_t far = arc.getFar();
      if (isOnPath(far)) {
        ++frame.next;
        continue;
      }
      // A frame pushed for `far` completes this edge when it is popped.
      if (enter(far)) continue;
      complete(_stack.back(), table, findPosition(table, far));
    }
  }

  bool isOnPath(uint32_t index) const {
    return (_states[index] & _onPath) ||
           (!_visited.empty() && _visited.count(_image.getPole(index)));
  }

  // The position of the map of a pole the walk will not enter, or
  // `noPosition`.
  uint32_t findPosition(const PoleTimingMap& table, uint32_t index) {
    if (_positions[index] == _unknown) {
      const std::size_t position = table.findPositionByNumber(_image.getNumber(index));
      _positions[index] =
          encode(position == PoleTimingMap::npos ? noPosition : static_cast<uint32_t>(position));
    }
    return decode(_positions[index]);
  }

  // Enters a pole; true when a frame was pushed for it.
  bool enter(uint32_t index) {
    uint8_t& state = _states[index];
    if (state & (_marked | _refused)) return false;
    if (_pass.isRefused(_image, index)) {
      setState(index, _refused);
      return false;
    }
    setState(index, _marked);
    _entered.push_back(index);
    if (_pass.isEnd(_image, index)) {
      _pass.handleEnd(_image, index);
      return false;
    }
    state |= _onPath;
    _stack.push_back(Frame{index, noPosition, _pass.beginArcs(_image, index),
                           _pass.endArcs(_image, index), _pass.getCutMask(_image, index),
                           _pass.getStartMask(_image, index)});
    return true;
  }

  // Folds the far end's map (at `far` in the table, if it has one),
  // through the frame's current edge, into the map of the frame's pole,
  // and moves to the next edge.
  void complete(Frame& frame, PoleTimingMap& table, uint32_t far) {
    const Arc& arc = *frame.next;
    ++frame.next;
    if (far == noPosition) return;
    fold(_pass, _image, table, _scratch, arc, table.readAt(far, _farMap), frame.index, frame.cut,
         frame.start, frame.position);
  }

  Pass& _pass;
  const PoleSet& _visited;
  const GraphImage& _image;
  std::shared_ptr<WalkBuffers> _buffers;
  uint8_t* _states;
  uint32_t* _positions;
  // The poles this walk marked, in order.
  std::vector<uint32_t> _entered;
  std::vector<Frame> _stack;
  TimingMap _scratch;
  // Holds the map of a far end kept in place in the table.
  TimingMap _farMap;
};

}  // namespace Morva
