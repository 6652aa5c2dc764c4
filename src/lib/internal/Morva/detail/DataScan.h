#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Mode.h>
#include <Morva/Pole.h>
#include <Morva/detail/LaunchClassList.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace Morva {

// The data scan of domain creation: from every endpoint (output ports, then
// the data inputs of registers) back to the launch points (input ports and
// clock poles) whose data reaches it, creating the domain of every launch
// root and latch root pair met and the subdomain of every pair of clock
// edges. Loop-closing edges are counted and reported, never followed.
//
// The walks run over a copy of the graph made first, in pole number order:
// for each pole, the source numbers of its active incoming edges in list
// order. The poles lie in their pool in number order, so the copy reads
// them one after the other, and the walks, which visit poles in no order
// memory would like, then read a few arrays instead of a pole and its edges
// at every step.
//
// What reaches a pole is kept as launch classes, not as launch points: one
// entry per launch root and launch mode, with the first launch point (in
// creation order) of that class. That is all an endpoint needs to create
// its domains and subdomains in the order the points would give, and it
// stays small however many registers feed the pole. Which subdomains a
// launch point belongs to is settled afterwards by carrying the endpoints'
// latch classes back over the same edges the walk followed, in the reverse
// of the order in which the walk finished the poles. The classes held by an
// inner pole are released as soon as their last reader has taken them.
//
// The per-pole tables are arrays indexed by pole number: a scan touches
// most poles of the design, and arrays cost neither a node per pole nor
// the heap fragments such nodes leave behind.
class DataScan {
 public:
  DataScan(Analyzer& analyzer, const ClockMap& clockMap);

  void run();

 private:
  struct LatchClass {
    Pole* root;
    Mode::Code mode;
    bool operator==(const LatchClass&) const = default;
  };
  using LatchClasses = std::vector<LatchClass>;
  class LatchLists;

  // A pole's state in the walks (low bits), whether it launches, and
  // whether it is left to the endpoints' walks.
  enum State : uint8_t { Unseen = 0, OnPath = 1, Done = 2, Launching = 4, Held = 8 };
  static constexpr uint8_t walkState = OnPath | Done;
  void setWalkState(uint32_t number, State state) {
    _states[number] = static_cast<uint8_t>((_states[number] & ~walkState) | state);
  }
  static constexpr uint32_t noPole = UINT32_MAX;
  struct Frame {
    uint32_t pole;
    // The next and the end position in the pole's row of sources.
    uint32_t next;
    uint32_t end;
    // A source entered from this pole, to be taken when the walk comes back.
    uint32_t pending;
  };

  // Copies the sources and reader counts of every pole, and finds the
  // endpoints and clock poles on the way.
  void copyGraph();
  // Walks, before the endpoints' walks, the poles whose classes do not
  // depend on the order of the walks: those whose sources are done, in
  // rounds over the poles in number order. Most poles come after their
  // sources in that order: the rounds read the copy from one end to the
  // other, taking classes just made, where the endpoints' walks jump about
  // it. Poles on or after a loop never become ready: where a loop is cut,
  // and so what reaches them, is the endpoints' walks' to decide.
  void sweep();
  // Whether a pole is to be walked by the sweep: it launches or its sources
  // are done.
  bool isReady(uint32_t number) const;
  // The walk from one pole back along incoming edges, depth first on an
  // explicit stack; a pole is done once its launch classes are complete.
  void walk(uint32_t start);
  // Follows the frame's sources until one leads to a pole to walk (true)
  // or none is left (false).
  bool descend(Frame& frame);
  // Starts the walk of a pole; true when its sources are to be walked.
  bool enter(uint32_t number);
  // Hands the launch classes of `source` on to `pole`.
  void take(uint32_t source, uint32_t pole);
  // The ranks of launch classes' roots and first points.
  void rankLaunches();
  uint32_t getRootRank(const Pole* root) const;
  // The rank of a launching pole.
  uint32_t getLaunchRank(uint32_t number) const;
  // The domains and subdomains of the launch classes that reach `reached`
  // (an output port or a register's data input), latched by `latchRoot` on
  // `latchMode`; `latchPoint` is captured as a latch point in each.
  void capture(Pole* reached, Pole* latchPoint, Pole* latchRoot, const Mode& latchMode);
  // Found, or created when absent.
  Subdomain* getSubdomain(Pole* launchRoot, Pole* latchRoot, const Mode& launchMode,
                          const Mode& latchMode);
  // Captures every launch point in the subdomains of the endpoints it
  // reaches.
  void captureLaunches();
  Mode getLaunchMode(Pole* launchPoint) const;
  // Calls `visit` on the launch roots of a launch point: the clock root of
  // an input port's input delay (null without one), the clock roots that
  // reach a clock pole.
  template <class Visit>
  void forEachLaunchRoot(Pole* point, Visit visit) const {
    if (point->isInput()) {
      IOConstraint constraint;
      visit(_analyzer.hasInputConstraint(point, constraint) ? constraint.getClockRoot() : nullptr);
      return;
    }
    if (const PoleSet* roots = getClockRoots(point))
      for (Pole* root : *roots) visit(root);
  }
  // Whether a launching pole is a register that no clock root reaches.
  bool isUnclocked(const Pole* pole) const { return !pole->isInput() && !getClockRoots(pole); }
  // The clock roots that reach a pole, null for none.
  const PoleSet* getClockRoots(const Pole* pole) const {
    return pole->getNumber() < _clockRoots.size() ? _clockRoots[pole->getNumber()] : nullptr;
  }
  void scanOutputs();
  void scanRegisters();

  Analyzer& _analyzer;
  Pole* const* _poles;
  // The clock map by pole number: the map is ordered by stamp, and a look-up
  // there reads a pole at every step.
  std::vector<const PoleSet*> _clockRoots;
  // The copy of the graph: pole i's sources are _sources[_rows[i]] up to
  // _sources[_rows[i + 1]].
  std::vector<uint32_t> _rows;
  std::vector<uint32_t> _sources;
  // By pole number: states, launch classes and the readers still to come
  // for them.
  std::vector<uint8_t> _states;
  std::vector<LaunchClassList> _launchClasses;
  std::vector<uint32_t> _useCounts;
  std::vector<Frame> _stack;
  // The output ports and the clock poles, in name order.
  std::vector<Pole*> _outputs;
  std::vector<Pole*> _clocks;
  // The launch roots by rank, null first, then in creation order; the
  // numbers of the launching poles in number order with the rank of each
  // in creation order; those poles by rank.
  std::vector<Pole*> _roots;
  std::vector<uint32_t> _launching;
  std::vector<uint32_t> _launchRanks;
  std::vector<Pole*> _launchOrder;
  // The numbers of the finished inner (not launching) poles, in the order
  // the walk finished them, and the ranks of the launch points met.
  std::vector<uint32_t> _finished;
  std::vector<uint32_t> _launchPoints;
  // The latch classes of the endpoints that captured, until the launch
  // points are captured.
  std::vector<std::pair<Pole*, LatchClass>> _endpointLatches;
  std::map<std::pair<Pole*, Pole*>, Domain*> _domains;
  unsigned long _loopCount = 0;
};

}  // namespace Morva
