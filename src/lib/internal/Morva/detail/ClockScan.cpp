#include <Morva/detail/ClockScan.h>
#include <Morva/detail/LoopReport.h>
#include <Orvek/Console.h>

#include <vector>

namespace Morva {

namespace {

// A pole of the walk with the incoming edges still to follow and the source
// whose walk must be merged in when the walk comes back to it.
struct Frame {
  Pole* pole;
  EdgeSet::const_iterator next;
  EdgeSet::const_iterator end;
  Pole* pending;
};

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
  for (Pole* pole : _analyzer.getPoles()) {
    if (!pole->isClock() || clockMap.count(pole)) continue;
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
  _analyzer.loopClose();
  _analyzer.unmark();
  LoopReport::print(_loopCount, "clock paths analysis");
}

void ClockScan::walk(Pole* origin, ClockMap& roots) {
  if (origin->isMarked()) return;
  std::vector<Frame> stack;
  // Marks and stacks a pole; true when its incoming edges are to be walked.
  auto enter = [&](Pole* pole) {
    pole->mark();
    _analyzer.loopPush(pole);
    if (isClockRoot(pole)) {
      roots[pole].insert(pole);
      _analyzer.loopPop();
      return false;
    }
    const EdgeSet& edges = pole->getIncomingEdgeSet();
    stack.push_back({pole, edges.begin(), edges.end(), nullptr});
    return true;
  };
  enter(origin);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.pending) {
      addRoots(roots, frame.pending, frame.pole);
      frame.pending = nullptr;
    }
    bool descended = false;
    while (frame.next != frame.end) {
      Edge* edge = *frame.next++;
      // A register's timing checks are no part of its clock network.
      if (!edge->isActive() || (frame.pole->isClock() && edge->isControl())) continue;
      Pole* source = edge->getSource();
      if (source->isClock())
        Orvek::console.remark(
            "Generated clock " + origin->getReportName() + " by " + source->getReportName(), "");
      if (_analyzer.isLooping(source)) {
        ++_loopCount;
        continue;
      }
      if (!source->isMarked()) {
        frame.pending = source;
        // `frame` is not used once a new frame is stacked.
        if (enter(source)) {
          descended = true;
          break;
        }
        frame.pending = nullptr;
      }
      addRoots(roots, source, frame.pole);
    }
    if (descended) continue;
    _analyzer.loopPop();
    stack.pop_back();
  }
}

}  // namespace Morva
