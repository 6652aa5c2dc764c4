#include <Morva/DataScan.h>
#include <Morva/Domain.h>
#include <Morva/LoopReport.h>
#include <Morva/Subdomain.h>
#include <Orvek/Exception.h>

#include <source_location>
#include <string>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Analyzer";

}  // namespace

void DataScan::run() {
  _analyzer.loopOpen();
  try {
    scanOutputs();
    scanRegisters();
  } catch (...) {
    // The domains made so far stay; the walk is left closed and unmarked
    // so that the analyzer can scan again.
    _analyzer.loopClose();
    _analyzer.unmark();
    throw;
  }
  _analyzer.loopClose();
  _analyzer.unmark();
  LoopReport::print(_loopCount, "data domain analysis");
}

void DataScan::scanOutputs() {
  for (const PoleNameMap* poles : {&_analyzer.getMainPoleMap(), &_analyzer.getDualPoleMap()}) {
    for (const auto& [name, port] : *poles) {
      if (!port->isOutput()) continue;
      walk(port);
      IOConstraint constraint;
      Pole* latchRoot = nullptr;
      Mode latchMode;
      if (_analyzer.hasOutputConstraint(port, constraint)) {
        latchRoot = constraint.getClockRoot();
        latchMode = constraint.getMode();
      }
      if (const LaunchSets* sets = getLaunchSets(port))
        for (const auto& [launchRoot, points] : *sets)
          for (Pole* point : points) capture(launchRoot, latchRoot, point, port, latchMode);
    }
  }
}

void DataScan::scanRegisters() {
  for (const PoleNameMap* poles : {&_analyzer.getMainPoleMap(), &_analyzer.getDualPoleMap()}) {
    for (const auto& [name, clock] : *poles) {
      if (!clock->isClock()) continue;
      Pole* data = clock->getDual();
      if (!data)
        Orvek::raise<Orvek::InvalidRequest>(kSource, "scanData",
                                            "Null data input for " + clock->getReportName());
      walk(data);
      auto latchRoots = _clockMap.find(clock);
      if (latchRoots == _clockMap.end()) continue;
      const LaunchSets* sets = getLaunchSets(data);
      if (!sets) continue;
      const Mode latchMode = clock->getMode();
      for (Pole* latchRoot : latchRoots->second)
        for (const auto& [launchRoot, points] : *sets)
          for (Pole* point : points) capture(launchRoot, latchRoot, point, clock, latchMode);
    }
  }
}

const DataScan::LaunchSets* DataScan::getLaunchSets(Pole* pole) const {
  auto found = _launchMap.find(pole);
  return found == _launchMap.end() ? nullptr : &found->second;
}

void DataScan::walk(Pole* endpoint) {
  if (endpoint->isMarked() || !enter(endpoint)) return;
  while (!_stack.empty()) {
    Frame& frame = _stack.back();
    if (frame.pending) {
      take(frame.pending, frame.pole);
      frame.pending = nullptr;
    }
    bool descended = false;
    while (frame.next != frame.end) {
      Edge* edge = *frame.next++;
      if (!edge->isActive()) continue;
      Pole* source = edge->getSource();
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
      take(source, frame.pole);
    }
    if (descended) continue;
    Pole* pole = frame.pole;
    _stack.pop_back();
    _analyzer.loopPop();
    // Marked only now: a pole still on the stack is told apart from a
    // finished one by its mark.
    pole->mark();
  }
}

bool DataScan::enter(Pole* pole) {
  _analyzer.loopPush(pole);
  // An endpoint counts one reader more, never released: its launch sets
  // stay for the domain creation.
  unsigned long readers = pole->isTerminal() ? 1 : 0;
  for (Edge* edge : pole->getOutgoingEdgeSet())
    if (edge->isActive()) ++readers;
  _useCounts[pole] = readers;
  if (pole->isInput()) {
    IOConstraint constraint;
    Pole* root =
        _analyzer.hasInputConstraint(pole, constraint) ? constraint.getClockRoot() : nullptr;
    _launchMap[pole][root].insert(pole);
  } else if (pole->isClock()) {
    auto roots = _clockMap.find(pole);
    if (roots == _clockMap.end()) {
      // A launching register that no clock root reaches.
      const auto where = std::source_location::current();
      Orvek::raise<Orvek::Fatal>(kSource, "scanData",
                                 "Abnormal (" + std::to_string(where.line()) + ")", where);
    }
    for (Pole* root : roots->second) _launchMap[pole][root].insert(pole);
  } else {
    const EdgeSet& edges = pole->getIncomingEdgeSet();
    _stack.push_back({pole, edges.begin(), edges.end(), nullptr});
    return true;
  }
  _analyzer.loopPop();
  pole->mark();
  return false;
}

void DataScan::take(Pole* source, Pole* pole) {
  auto found = _launchMap.find(source);
  if (found != _launchMap.end()) {
    // References into the table survive its growth; iterators need not.
    const LaunchSets& from = found->second;
    if (!from.empty()) {
      LaunchSets& to = _launchMap[pole];
      for (const auto& [root, points] : from) to[root].insert(points.begin(), points.end());
    }
  }
  unsigned long& readers = _useCounts[source];
  if (readers > 0 && --readers == 0) _launchMap.erase(source);
}

Mode DataScan::getLaunchMode(Pole* launchPoint) const {
  if (launchPoint->isClock()) return launchPoint->getMode();
  IOConstraint constraint;
  if (_analyzer.hasInputConstraint(launchPoint, constraint)) return constraint.getMode();
  return Mode();
}

void DataScan::capture(Pole* launchRoot, Pole* latchRoot, Pole* launchPoint, Pole* latchPoint,
                       const Mode& latchMode) {
  Domain*& domain = _domains[{launchRoot, latchRoot}];
  if (!domain) {
    domain = _analyzer.getDomain(launchRoot, latchRoot);
    if (!domain) domain = Domain::create(launchRoot, latchRoot);
  }
  const Mode launchMode = getLaunchMode(launchPoint);
  Subdomain* subdomain = domain->getSubdomain(launchMode, latchMode);
  if (!subdomain) subdomain = Subdomain::create(domain, launchMode, latchMode);
  subdomain->captureLatch(latchPoint);
  subdomain->captureLaunch(launchPoint);
}

}  // namespace Morva
