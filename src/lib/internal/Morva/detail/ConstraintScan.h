#pragma once

#include <Morva/Analyzer.h>
#include <Morva/detail/DepthFirst.h>

#include <set>
#include <unordered_set>
#include <vector>

namespace Morva {

// Numbers the constrained paths with their mask bits and sensitises the
// graph with them: the edges that lie on a path from a source to a target
// (through a bridge when the path has bridges) carry the path's bit, its
// sources open and its targets close it. False paths given by one group of
// poles cut those poles out of the graph instead.
class ConstraintScan : private BackwardScan {
 public:
  explicit ConstraintScan(Analyzer& analyzer)
      : BackwardScan(analyzer, _loopCount), _analyzer(analyzer) {}

  // Resets the mask table for one bit per path, gives path i the basic mask
  // i and adds it to the mask of the path's kind.
  void number();
  // Sensitises the graph with every path, in path order.
  void sensitize();

 private:
  // One walk backwards from every root to the starts.
  void walk(const PoleSet& roots, const PoleSet& starts);
  // The walk from one root back along incoming edges (`DepthFirst`, with
  // this scan as its policy).
  void walkFrom(Pole* root, const PoleSet& starts);
  friend class DepthFirst<ConstraintScan>;
  struct FrameData {
    // The loop count when the pole was entered.
    unsigned long loops;
    // The pole and all poles before it on the walk path are known and
    // their edges found.
    bool committed;
  };
  // Starts the walk of a pole reached through `via` (null for a root); true
  // when its incoming edges are to be walked.
  bool enter(Pole* pole, Edge* via, FrameData& data);
  static bool isFollowed(const Edge* edge, const Pole*) { return edge->isActive(); }
  static bool isNew(const Pole*) { return true; }
  static void join(Pole*, Pole*) {}
  void leave(Pole* pole, FrameData& data);
  // The current walk path reaches a start: its poles are known to lead to
  // one and its edges are found, together with `via` that led to `pole`.
  void commit(Pole* pole, Edge* via);
  void clear();
  // The poles where a path ends.
  PoleSet getTargets(const CPath& path) const;

  Analyzer& _analyzer;
  // Poles known to lead to a start.
  std::unordered_set<Pole*> _known;
  // Poles whose whole walk met neither a start nor a loop: walking them
  // again, from any path, cannot change anything.
  std::unordered_set<Pole*> _barren;
  std::set<Edge*, Object::StampLess> _found;
  bool _hit = false;
  // The walk under way, and the starts it goes back to.
  DepthFirst<ConstraintScan>* _walk = nullptr;
  const PoleSet* _starts = nullptr;
  unsigned long _loopCount = 0;
};

}  // namespace Morva
