#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Orvek/Prefetch.h>

#include <cassert>
#include <vector>

namespace Morva {

// The explicit-stack depth-first walk of the scans, the weight tagger and
// the edge colouring: the stack, not the thread's, grows with the design.
// From a pole, the walk follows the edges its policy gives in list order;
// a far end on the current path closes a loop and is skipped; a far end
// met for the first time is entered, and once it is done (at once, or when
// the walk comes back from it) its result is joined into the pole's.
//
// The policy provides:
//   struct FrameData;                          what a frame keeps besides the pole
//   bool enter(Pole*, Edge* via, FrameData&);  true: walk the pole's edges;
//                                              false: the pole is done at once
//   const EdgeSet& getEdges(Pole*);            the edges to follow from a pole
//   Pole* getFar(Edge*);                       the end the walk goes on to
//   bool isFollowed(Edge*, Pole* from);        whether to follow the edge
//   bool isOnPath(Pole*);                      the current path: a loop
//   void closeLoop();                          a loop was skipped
//   bool isNew(Pole*);                         whether to enter the far end
//   void join(Pole* far, Pole* pole);          far is done: fold it into pole
//   void leave(Pole*, FrameData&);             every edge of the pole was
//                                              followed; it is unstacked
template <class Policy>
class DepthFirst;

// Whether every pole the walks of a scan pushed on the analyzer's loop
// stack was popped again: checked before the scan closes it.
inline bool isLoopStackEmpty(const Analyzer& analyzer) {
  return analyzer.getLoopPoles().getCount() == 0;
}

// The policy parts of the scans that walk back along incoming edges with
// the analyzer's loop stack as their current path, counting the loops
// they skip.
class BackwardScan {
 public:
  BackwardScan(Analyzer& analyzer, unsigned long& loopCount)
      : _loopStack(analyzer), _loopCount(loopCount) {}

  static const EdgeSet& getEdges(Pole* pole) { return pole->getIncomingEdgeSet(); }
  static Pole* getFar(Edge* edge) { return edge->getSource(); }
  bool isOnPath(Pole* pole) const { return _loopStack.isLooping(pole); }
  void closeLoop() { ++_loopCount; }

 private:
  Analyzer& _loopStack;
  unsigned long& _loopCount;
};

template <class Policy>
class DepthFirst {
 public:
  struct Frame {
    Pole* pole;
    // The edge that led to the pole (null for the start).
    Edge* via;
    EdgeSet::const_iterator next;
    EdgeSet::const_iterator end;
    // A far end entered from this pole, to be joined when the walk comes
    // back to it.
    Pole* pending;
    typename Policy::FrameData data;
  };

  explicit DepthFirst(Policy& policy) : _policy(policy) {}

  // The current path, from the start; the policy may read and mark it.
  std::vector<Frame>& getStack() { return _stack; }

  void run(Pole* start) {
    assert(_stack.empty());
    if (!enter(start, nullptr)) return;
    while (!_stack.empty()) {
      Frame& frame = _stack.back();
      // The far end entered last is done: it is joined. The next far end
      // entered, or the end of the frame, replaces `pending`.
      if (frame.pending) _policy.join(frame.pending, frame.pole);
      if (!descend(frame)) {
        Frame done = std::move(_stack.back());
        _stack.pop_back();
        _policy.leave(done.pole, done.data);
      }
    }
  }

 private:
  // Follows the frame's edges until one leads to a pole to walk (true) or
  // none is left (false).
  bool descend(Frame& frame) {
    while (frame.next != frame.end) {
      Edge* edge = *frame.next++;
      if (!_policy.isFollowed(edge, frame.pole)) continue;
      Pole* far = _policy.getFar(edge);
      if (_policy.isOnPath(far)) {
        _policy.closeLoop();
        continue;
      }
      if (_policy.isNew(far)) {
        frame.pending = far;
        // `frame` is not used once a new frame is stacked.
        if (enter(far, edge)) return true;
        frame.pending = nullptr;
      }
      _policy.join(far, frame.pole);
    }
    return false;
  }

  bool enter(Pole* pole, Edge* via) {
    typename Policy::FrameData data{};
    if (!_policy.enter(pole, via, data)) return false;
    const EdgeSet& edges = _policy.getEdges(pole);
    // The far ends are fetched into the cache together, not one miss after
    // the other as the walk reaches each.
    for (Edge* edge : edges) Orvek::prefetch(_policy.getFar(edge));
    _stack.push_back(Frame{pole, via, edges.begin(), edges.end(), nullptr, data});
    return true;
  }

  Policy& _policy;
  std::vector<Frame> _stack;
};

}  // namespace Morva
