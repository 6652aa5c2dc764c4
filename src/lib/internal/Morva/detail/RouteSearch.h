#pragma once

#include <Morva/Collections.h>
#include <Morva/Delay.h>
#include <Morva/Edge.h>
#include <Morva/Mask.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/PathSet.h>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Morva {

class CPath;
class Pole;
class Route;
class Scanner;

// The depth-first route enumeration with branch-and-bound of one search
// entry, on an explicit stack. The state shared by all the start points of
// the entry (limit, found counter, kept routes) lives in the entry; this
// object holds the walk's scratch buffers, reused from one start to the
// next.
class RouteSearch {
 public:
  RouteSearch(Scanner& scanner, bool longest, Delay& limit, unsigned long& found,
              unsigned long count)
      : _scanner(scanner), _longest(longest), _limit(limit), _found(found), _count(count) {}

  bool isLongest() const { return _longest; }
  // Every route the next runs record has a slack at least `gap` above the
  // search bound of each of its edges: an edge whose bound plus the gap
  // reaches the limit leads to no route kept, and is not followed.
  void setGap(int64_t gap) { _gap = gap; }

  // Enumerates the routes from `start` (along `path` when it is not null),
  // extending the route given by `visited`, `edges`, `mask` and `arrival`;
  // those are as they were given when it returns.
  void run(Pole* start, CPath* path, const Delay& difference, Mask& mask, const PoleSet& visited,
           std::vector<Edge*>& edges, Delay& arrival);
  // The whole search of a subdomain: from its launch leaves, the most
  // promising first, then along each path constraint once per capture
  // point of its targets.
  void runEntry();
  // The routes of a path constraint from each of its sources.
  void runSources(CPath* path, const Delay& difference);

 private:
  struct Frame {
    Pole* pole;
    EdgeSet::const_iterator next;
    EdgeSet::const_iterator end;
    // The route's class and arrival at this pole, restored when the search
    // comes back from the edge being followed.
    Mask mask;
    Delay arrival;
  };

  bool isOnPath(Pole* pole) const;
  // Enters a pole; true when a frame was pushed to follow its edges, false
  // when it ends the route (and the route was recorded).
  bool enter(Pole* pole, const Mask& mask, const Delay& arrival);
  // The constraint that rules routes of class `mask`. The path constraints
  // do not change during a search, so each class is worked out once: with
  // many constraints, recomputing it at every route end dominated.
  Mask getPriorityMask(const Mask& mask);
  // The search bound of an edge: its slack for the route so far.
  Delay getSlack(const Edge* edge, const Mask& mask, const Delay& arrival);
  // The latch delay at a capture point; the clock tables do not change
  // during a search, so each point's is worked out once.
  Delay getLatchDelay(const Pole* capture);
  Delay getLaunchDelay(bool modeRequired) const;
  // Records the route of the edges followed so far. Most routes a search
  // meets are less critical than those already kept: those are checked as
  // a route would be and weighed by their slack, but never made.
  void record(Delay latchDelay, Delay launchDelay, const Delay& difference);
  // A route that starts and ends at the same pole has no edge: nothing is
  // recorded for it.
  void recordUnconstrained(Pole* pole);
  void recordConstrained(Pole* pole, const Mask& mask);
  const Subdomain::RouteSet& getRoutes() const;
  // Whether a route of that slack would stay among the kept ones: under the
  // limit, and more critical than the least critical kept one when the
  // count is reached (an equal slack ranks after it, being newer).
  bool isKept(const Delay& slack) const;
  // Keeps the `count` most critical routes and tightens the limit to the
  // least critical kept one once that many are held.
  void keep(Route* route);
  void tighten();

  Scanner& _scanner;
  const bool _longest;
  Delay& _limit;
  unsigned long& _found;
  const unsigned long _count;
  int64_t _gap = 0;
  CPath* _path = nullptr;
  Delay _difference;
  const PoleSet* _visited = nullptr;
  std::vector<Edge*>* _edges = nullptr;
  std::unordered_map<unsigned long, Mask> _priorityMasks;
  std::unordered_map<const Pole*, Delay> _latchDelays;
  struct TargetClassHash {
    std::size_t operator()(const std::pair<const Pole*, unsigned long>& key) const {
      return std::hash<const Pole*>()(key.first) ^ (std::hash<unsigned long>()(key.second) << 1);
    }
  };
  // Required times of the current constraint by target and edge class.
  std::unordered_map<std::pair<const Pole*, unsigned long>, std::optional<Delay>, TargetClassHash>
      _requiredTimes;
  PathSet _pathSet;
  // The poles that passed the checks of a route's source or target.
  PathSet _checkedSources;
  PathSet _checkedTargets;
  std::vector<Frame> _stack;
};

}  // namespace Morva
