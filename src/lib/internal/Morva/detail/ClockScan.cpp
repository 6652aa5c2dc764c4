#include <Morva/detail/ClockScan.h>
#include <Morva/detail/DepthFirst.h>
#include <Morva/detail/LoopReport.h>
#include <Orvek/Console.h>

#include <cassert>

namespace Morva {

namespace {

// Clocks start at input ports and clock sources: the walk stops there.
bool isClockRoot(const Pole* pole) {
  return pole->isInput() || pole->getType().getCode() == Type::ClockSource;
}

void addRoots(ClockMap& roots, Pole* source, Pole* pole) {
  auto found = roots.find(source);
  if (found != roots.end()) roots[pole].insert(found->second.begin(), found->second.end());
}

}  // namespace

void ClockScan::run(ClockMap& clockMap) {
  _analyzer.loopOpen();
  ClockMap roots;
  for (Pole* pole : _analyzer.selectPoles([](const Pole* pole) { return pole->isClock(); })) {
    if (clockMap.count(pole)) continue;
    // A clock pole met earlier inside another clock network is walked
    // again as an origin of its own.
    pole->unmark();
    walk(pole, roots);
    auto found = roots.find(pole);
    if (found != roots.end()) clockMap[pole] = found->second;
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

  ClockWalk(Analyzer& analyzer, Pole* origin, ClockMap& roots, unsigned long& loopCount)
      : BackwardScan(analyzer, loopCount), _analyzer(analyzer), _origin(origin), _roots(roots) {}

  bool enter(Pole* pole, Edge*, FrameData&) {
    pole->mark();
    _analyzer.loopPush(pole);
    if (!isClockRoot(pole)) return true;
    _roots[pole].insert(pole);
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
  void join(Pole* far, Pole* pole) { addRoots(_roots, far, pole); }
  void leave(Pole*, FrameData&) { _analyzer.loopPop(); }

 private:
  Analyzer& _analyzer;
  Pole* _origin;
  ClockMap& _roots;
};

}  // namespace

void ClockScan::walk(Pole* origin, ClockMap& roots) {
  if (origin->isMarked()) return;
  ClockWalk policy(_analyzer, origin, roots, _loopCount);
  DepthFirst<ClockWalk>(policy).run(origin);
}

}  // namespace Morva
