#include <Morva/detail/ClockScan.h>
#include <Morva/detail/DepthFirst.h>
#include <Morva/detail/LoopReport.h>
#include <Orvek/Console.h>

#include <cassert>
#include <cstdint>
#include <deque>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Morva {

namespace {

// Clocks start at input ports and clock sources: the walk stops there.
bool isClockRoot(const Pole* pole) {
  return pole->isInput() || pole->getType().getCode() == Type::ClockSource;
}

}  // namespace

// The sets of clock roots the walks give poles, interned: a pole holds the
// number of its set (0 for none), and each union of two sets is worked out
// once. A design has few distinct sets, so a look-up costs neither a search
// of a map ordered by stamp nor the misses of reading the poles it compares.
class ClockScan::RootSets {
 public:
  RootSets() : _ids(Pole::getNumberBound(), 0) { _sets.emplace_back(); }

  uint32_t& at(const Pole* pole) {
    if (pole->getNumber() >= _ids.size()) _ids.resize(Pole::getNumberBound(), 0);
    return _ids[pole->getNumber()];
  }
  const PoleSet* find(const Pole* pole) {
    const uint32_t id = at(pole);
    return id == 0 ? nullptr : &_sets[id];
  }
  // A root's own set.
  void addRoot(Pole* root) { at(root) = join(at(root), intern(PoleSet{root})); }
  // `far`'s roots go to `pole` as well.
  void take(const Pole* far, const Pole* pole) {
    const uint32_t from = at(far);
    if (from != 0) at(pole) = join(at(pole), from);
  }

 private:
  uint32_t join(uint32_t to, uint32_t from) {
    if (from == to || from == 0) return to;
    if (to == 0) return from;
    const uint64_t key = (uint64_t(to) << 32) | from;
    if (const auto found = _joins.find(key); found != _joins.end()) return found->second;
    PoleSet joined = _sets[to];
    joined.insert(_sets[from].begin(), _sets[from].end());
    const uint32_t id = intern(std::move(joined));
    _joins.emplace(key, id);
    return id;
  }
  uint32_t intern(PoleSet set) {
    const auto [place, added] = _known.try_emplace(set, static_cast<uint32_t>(_sets.size()));
    if (added) _sets.push_back(std::move(set));
    return place->second;
  }

  std::vector<uint32_t> _ids;
  // A deque: the sets stay in place as others are added.
  std::deque<PoleSet> _sets;
  std::map<PoleSet, uint32_t> _known;
  std::unordered_map<uint64_t, uint32_t> _joins;
};

void ClockScan::run(ClockMap& clockMap) {
  _analyzer.loopOpen();
  RootSets roots;
  for (Pole* pole : _analyzer.selectPoles([](const Pole* pole) { return pole->isClock(); })) {
    if (clockMap.count(pole)) continue;
    // A clock pole met earlier inside another clock network is walked
    // again as an origin of its own.
    pole->unmark();
    walk(pole, roots);
    if (const PoleSet* found = roots.find(pole)) clockMap[pole] = *found;
  }
  for (const IOConstraintMap* delays : {&_analyzer.getInputDelays(), &_analyzer.getOutputDelays()})
    for (const auto& [port, constraint] : *delays)
      if (!clockMap.count(port) && constraint.isDefined())
        clockMap[port].insert(constraint.getClockRoot());
  assert(isLoopStackEmpty(_analyzer));
  _analyzer.loopClose();
  _analyzer.unmark();
  LoopReport::print(_loopCount, "clock paths analysis");
}

namespace {

// The walk from one clock pole back along incoming edges; every pole met
// gets its roots.
class ClockWalk : public BackwardScan {
 public:
  struct FrameData {};

  ClockWalk(Analyzer& analyzer, Pole* origin, ClockScan::RootSets& roots, unsigned long& loopCount)
      : BackwardScan(analyzer, loopCount), _analyzer(analyzer), _origin(origin), _roots(roots) {}

  bool enter(Pole* pole, Edge*, FrameData&) {
    pole->mark();
    _analyzer.loopPush(pole);
    if (!isClockRoot(pole)) return true;
    _roots.addRoot(pole);
    _analyzer.loopPop();
    return false;
  }
  bool isFollowed(Edge* edge, Pole* pole) const {
    // A register's timing checks are no part of its clock network.
    if (!edge->isActive() || (pole->isClock() && edge->isControl())) return false;
    Pole* source = edge->getSource();
    if (source->isClock())
      Orvek::console.remark(
          "Generated clock " + _origin->getReportName() + " by " + source->getReportName(), "");
    return true;
  }
  static bool isNew(Pole* pole) { return !pole->isMarked(); }
  void join(Pole* far, Pole* pole) { _roots.take(far, pole); }
  void leave(Pole*, FrameData&) { _analyzer.loopPop(); }

 private:
  Analyzer& _analyzer;
  Pole* _origin;
  ClockScan::RootSets& _roots;
};

}  // namespace

void ClockScan::walk(Pole* origin, RootSets& roots) {
  if (origin->isMarked()) return;
  ClockWalk policy(_analyzer, origin, roots, _loopCount);
  DepthFirst<ClockWalk>(policy).run(origin);
}

}  // namespace Morva
