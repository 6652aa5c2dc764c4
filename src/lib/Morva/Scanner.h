#pragma once

#include <Morva/Collections.h>
#include <Morva/Delay.h>
#include <Morva/Export.h>
#include <Morva/Mask.h>
#include <Morva/Object.h>
#include <Morva/PoleTimingMap.h>
#include <Morva/Timing.h>
#include <Morva/TimingMap.h>

#include <cstdint>
#include <list>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace Morva {

class CPath;
class Edge;
class GraphImage;
class Pole;
class RouteSearch;
class Subdomain;

// The propagation engine of one subdomain. It carries clock arrival times,
// data arrival times and required times through the timing graph as timing
// maps (one timing per class of path constraints), computes slacks from
// them, tags edges with their worst setup slack and searches the most
// critical routes.
//
// Every graph walk runs on an explicit stack, so its depth is bounded by
// memory rather than by the thread's stack. The walks keep the visiting
// order of a depth-first recursion: the edges of a pole are followed in
// creation order, a pole on the current path closes a loop and is skipped,
// and a pole's result is stored after each of its edges has been followed.
// Where the graph has no loop, a pass sweeps a flat copy of it in
// topological order instead, which gives the same tables.
class MORVA_API Scanner : public Object {
 public:
  using VisitedSet = std::set<Pole*, Object::StampLess>;

  static Scanner* create(Subdomain* subdomain);
  static void preCreate(Subdomain* subdomain);

  Subdomain* getSubdomain() const { return _subdomain; }
  const Timing& getArrivalTiming() const { return _arrivalTiming; }

  // Table look-ups; the map forms copy the pole's timing map into `map`
  // and leave it untouched when the pole has none.
  bool hasArrivalTimingMap(Pole* pole) const { return _arrivalMap.contains(pole); }
  bool hasRequireTimingMap(Pole* pole) const { return _requireMap.contains(pole); }
  bool hasArrivalTimingMap(Pole* pole, TimingMap& map) const;
  bool hasRequireTimingMap(Pole* pole, TimingMap& map) const;
  bool hasLatchTimingMap(Pole* pole, TimingMap& map) const;
  bool hasLaunchTimingMap(Pole* pole, TimingMap& map) const;

  // Shifts. The addDelay and minusDelay forms use the wrapping Timing
  // arithmetic; the others the bounded Delay arithmetic, the minimum
  // component first. Two-delay forms take the lower bound first.
  static void addDelay(const Delay& minimum, const Delay& maximum, TimingMap& map);
  static void addDelay(const Delay& delay, TimingMap& map);
  static void minusDelay(const Delay& minimum, const Delay& maximum, TimingMap& map);
  static void minusDelay(const Delay& delay, TimingMap& map);
  static void takeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map);
  static void freeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map);
  static void addLatchTiming(const Timing& latch, TimingMap& map);
  static void minusLatchTiming(const Timing& latch, TimingMap& map);

  // Re-keying and filtering.
  static void combine(const TimingMap& source, TimingMap& target);
  static void sensibilize(const Mask& mask, TimingMap& map);
  static void mingle(const Mask& mask, TimingMap& map);
  static void filter(const Mask& mask, TimingMap& map);
  static void filter(const Mask& maxMask, const Mask& minMask, TimingMap& map);
  void divideCycleCount(TimingMap& map);
  Mask getPriorityMask(const Mask& mask, bool longest) const;

  void analyze() {}

  // Propagation passes, in calling order.
  void clockAnalyze();
  void arrivalAnalyze();
  void requireAnalyze();
  // Their walks from one pole; `visited` holds the poles of the caller's
  // current path, which close loops, and is left as it was given.
  void clockAnalyze(Pole* root, Pole* pole, VisitedSet& visited, PoleTimingMap& clocks);
  void arrivalAnalyze(Pole* pole, VisitedSet& visited);
  void requireAnalyze(Pole* pole, VisitedSet& visited);

  // Slacks; Undefined when none can be computed (no required time at the
  // edge's target, an Undefined arrival, or a null path constraint).
  Delay calculateLSlack(Edge* edge, const Mask& mask, const Delay& arrival) const;
  Delay calculateLSlack(Edge* edge, const Mask& mask, const Delay& arrival, CPath* path) const;
  Delay calculateSSlack(Edge* edge, const Mask& mask, const Delay& arrival) const;
  Delay calculateSSlack(Edge* edge, const Mask& mask, const Delay& arrival, CPath* path) const;
  void tagSlacks();

  // Route search.
  void searchLongestRoutes(Delay limit, unsigned long count);
  void searchShortestRoutes(Delay limit, unsigned long count);
  // Their searches from one pole, unconstrained and along one path
  // constraint (a null path searches unconstrained); `visited` and
  // `edges` describe the route so far and are left as they were given.
  void searchLongestRoutes(Pole* pole, Mask& mask, VisitedSet& visited, std::list<Edge*>& edges,
                           Delay& arrival, Delay& limit, unsigned long& found,
                           const unsigned long& count);
  void searchShortestRoutes(Pole* pole, Mask& mask, VisitedSet& visited, std::list<Edge*>& edges,
                            Delay& arrival, Delay& limit, unsigned long& found,
                            const unsigned long& count);
  void searchLongestRoutes(Pole* pole, CPath* path, const Delay& difference, Mask& mask,
                           VisitedSet& visited, std::list<Edge*>& edges, Delay& arrival,
                           Delay& limit, unsigned long& found, const unsigned long& count);
  void searchShortestRoutes(Pole* pole, CPath* path, const Delay& difference, Mask& mask,
                            VisitedSet& visited, std::list<Edge*>& edges, Delay& arrival,
                            Delay& limit, unsigned long& found, const unsigned long& count);

  std::string getAlias() const override;
  std::string _getLabel() const override;
  Orvek::Record* _getRecord() const override;

 protected:
  explicit Scanner(Subdomain* subdomain);
  void postCreate(Subdomain* subdomain);
  void preDestroy() override;

 private:
  friend class RouteSearch;

  // The entry of `key` of `map`, or (Undefined, Undefined).
  static Timing getEntry(const TimingMap& map, unsigned long key);
  // The slack computations after the null-edge check.
  Delay getLSlack(const Edge* edge, const Mask& mask, const Delay& arrival) const;
  Delay getSSlack(const Edge* edge, const Mask& mask, const Delay& arrival) const;
  Delay getConstrainedSlack(const Edge* edge, const Mask& mask, const Delay& arrival, CPath* path,
                            bool longest) const;
  // The required time a constrained route meets at `target` through an edge
  // of class `edgeClass` (none without a required-time map at the target),
  // and the slack of the edge with it.
  std::optional<Delay> getConstrainedTime(const Pole* target, const Mask& edgeClass, CPath* path,
                                          bool longest) const;
  Delay getConstrainedSlack(const Edge* edge, const Delay& arrival, const Delay& time, CPath* path,
                            bool longest) const;
  // The capture point of a route's end: its clock pole, or under SDC
  // conventions an output port itself (its output delay times it).
  static Pole* getCapture(Pole* end);
  // Under SDC conventions, the external delay a port's IO constraint adds
  // to a route: the input delay of a start port, the output delay of an
  // end port (maximum for the longest routes, minimum for the shortest),
  // 0 for other poles.
  Delay getInputDelay(const Pole* source, bool longest) const;
  Delay getOutputDelay(const Pole* target, bool longest) const;

  // The clock delays that frame a route, 0 where there is none: the latch
  // delay at its capture pole (a latch leaf), the earliest for the longest
  // routes; the launch delay at its first pole (only a pole with a Mode
  // when `modeRequired`), the latest for the longest routes.
  Delay getLatchDelay(const Pole* capture, bool longest) const;
  Delay getLaunchDelay(const Pole* source, bool modeRequired, bool longest) const;
  // Keeps `_endGap` up to date with an end point given its required time.
  void noteEndGap(Pole* end, const Delay& required);
  // How much more than its search bound the slack of every hold route from
  // `start`, reached with `arrival`, is at least (0 when nothing is known).
  int64_t getHoldGap(const Pole* start, const Delay& arrival) const;

  // The arrival of a start point, a launch leaf or a constraint's
  // source, under the class that opens there.
  Delay getStartArrival(Pole* pole, bool longest) const;
  // The end handling of the arrival and required-time walks: the arrival
  // of a launch leaf, and the required time of an end point that is
  // captured (its clock is a latch leaf, or without latch root it is one).
  void startArrival(const GraphImage& image, uint32_t index);
  void endRequire(const GraphImage& image, uint32_t index);
  // The poles the arrival pass walks from, in order, and what it does
  // with their arrivals.
  std::vector<Pole*> getArrivalStarts() const;
  template <class Propagation>
  void captureArrivals(Propagation& propagation);

  // The route search of one entry after its limit and count checks.
  void searchRoutes(bool longest, Delay limit, unsigned long count);

  Subdomain* _subdomain;
  PoleTimingMap _launchMap;
  PoleTimingMap _latchMap;
  PoleTimingMap _arrivalMap;
  PoleTimingMap _requireMap;
  Timing _arrivalTiming;
  // The least, over the end points with a required time, of how far the
  // earliest-arrival bound the required times give lies above the one a
  // hold route's slack is reported against (its latch delay plus the hold
  // relation): 0 under SDC conventions, twice the negated hold relation
  // under the literal rules. INT64_MIN when not known.
  int64_t _endGap = INT64_MIN;
  // The poles with an arrival, by index in the graph image of epoch
  // `_arrivalEpoch`, when the arrival pass swept it; empty otherwise.
  std::vector<bool> _arrivalIndices;
  uint64_t _arrivalEpoch = 0;
};

}  // namespace Morva
