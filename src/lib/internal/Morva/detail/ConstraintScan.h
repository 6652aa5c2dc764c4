#pragma once

#include <Morva/Analyzer.h>

#include <set>
#include <unordered_set>
#include <vector>

namespace Morva {

// Numbers the constrained paths with their mask bits and sensitises the
// graph with them: the edges that lie on a path from a source to a target
// (through a bridge when the path has bridges) carry the path's bit, its
// sources open and its targets close it. False paths given by one group of
// poles cut those poles out of the graph instead.
class ConstraintScan {
 public:
  explicit ConstraintScan(Analyzer& analyzer) : _analyzer(analyzer) {}

  // Resets the mask table for one bit per path, gives path i the basic mask
  // i and adds it to the mask of the path's kind.
  void number();
  // Sensitises the graph with every path, in path order.
  void sensitize();

 private:
  // One walk backwards from every root to the starts.
  void walk(const PoleSet& roots, const PoleSet& starts);
  // The walk from one root, depth first over an explicit stack.
  void walkFrom(Pole* root, const PoleSet& starts);
  // Starts the walk of a pole reached through `via` (null for a root); true
  // when its incoming edges are to be walked.
  bool enter(Pole* pole, Edge* via, const PoleSet& starts);
  // The current walk path reaches a start: its poles are known to lead to
  // one and its edges are found, together with `via` that led to `pole`.
  void commit(Pole* pole, Edge* via);
  void clear();
  // The poles where a path ends.
  PoleSet getTargets(const CPath& path) const;

  struct Frame {
    Pole* pole;
    // The edge from this pole to the previous one of the walk path.
    Edge* via;
    EdgeSet::const_iterator next;
    EdgeSet::const_iterator end;
    // The loop count when the pole was entered.
    unsigned long loops;
    // The pole and all poles before it on the walk path are known and
    // their edges found.
    bool committed;
  };

  Analyzer& _analyzer;
  // Poles known to lead to a start.
  std::unordered_set<Pole*> _known;
  // Poles whose whole walk met neither a start nor a loop: walking them
  // again, from any path, cannot change anything.
  std::unordered_set<Pole*> _barren;
  std::set<Edge*, Object::StampLess> _found;
  bool _hit = false;
  std::vector<Frame> _stack;
  unsigned long _loopCount = 0;
};

}  // namespace Morva
