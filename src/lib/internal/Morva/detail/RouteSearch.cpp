#include <Morva/Analyzer.h>
#include <Morva/CPath.h>
#include <Morva/DPath.h>
#include <Morva/MPath.h>
#include <Morva/Pole.h>
#include <Morva/Route.h>
#include <Morva/Scanner.h>
#include <Morva/detail/ClockArithmetic.h>
#include <Morva/detail/Precedence.h>
#include <Morva/detail/RouteSearch.h>
#include <Morva/detail/TimingMaps.h>
#include <Orvek/Collection.h>
#include <Orvek/Exception.h>

#include <algorithm>
#include <map>

namespace Morva {

namespace {

// The search fails as the scanner's search entry that runs it.
constexpr const char* kSource = "lib/Morva/Scanner";

using ClockArithmetic::truncate;
using TimingMaps::meets;

}  // namespace

void RouteSearch::run(Pole* start, CPath* path, const Delay& difference, Mask& mask,
                      const PoleSet& visited, std::vector<Edge*>& edges, Delay& arrival) {
  if (path != _path) _requiredTimes.clear();
  _path = path;
  _difference = difference;
  _visited = &visited;
  _edges = &edges;
  if (!start || !enter(start, mask, arrival)) return;
  while (!_stack.empty()) {
    Frame& frame = _stack.back();
    Edge* edge = nullptr;
    while (frame.next != frame.end) {
      Edge* candidate = *frame.next;
      ++frame.next;
      if (candidate->isActive() && (!path || meets(candidate->getMask(), path->getMask()))) {
        edge = candidate;
        break;
      }
    }
    if (!edge) {
      _pathSet.erase(frame.pole);
      _stack.pop_back();
      if (!_stack.empty()) {
        mask = _stack.back().mask;
        arrival = _stack.back().arrival;
        edges.pop_back();
      }
      continue;
    }
    edges.push_back(edge);
    Pole* target = edge->getTarget();
    if (isOnPath(target)) {
      edges.pop_back();
      continue;
    }
    const Delay slack = getSlack(edge, mask, arrival);
    if (slack == Delay::getUndefined() || !(slack < _limit) ||
        int64_t{slack.getValue()} + _gap >= int64_t{_limit.getValue()}) {
      edges.pop_back();
      continue;
    }
    frame.mask = mask;
    frame.arrival = arrival;
    mask = (mask | frame.pole->getOpeningMask()) & edge->getMask();
    arrival = arrival + (_longest ? edge->getMaximumDelay() : edge->getMinimumDelay());
    if (!enter(target, mask, arrival)) {
      mask = _stack.back().mask;
      arrival = _stack.back().arrival;
      edges.pop_back();
    }
  }
}
bool RouteSearch::isOnPath(Pole* pole) const {
  return _pathSet.contains(pole) || (!_visited->empty() && _visited->count(pole));
}

bool RouteSearch::enter(Pole* pole, const Mask& mask, const Delay& arrival) {
  const bool ends = _path ? _path->getTargetSet().count(pole) != 0 : pole->isTerminal();
  if (ends) {
    if (_path)
      recordConstrained(pole, mask);
    else
      recordUnconstrained(pole);
    return false;
  }
  _pathSet.insert(pole);
  const EdgeSet& edges = pole->getOutgoingEdgeSet();
  _stack.push_back(Frame{pole, edges.begin(), edges.end(), mask, arrival});
  return true;
}

Mask RouteSearch::getPriorityMask(const Mask& mask) {
  const auto [entry, added] = _priorityMasks.try_emplace(mask.getNumber());
  if (added) entry->second = _scanner.getPriorityMask(mask, _longest);
  return entry->second;
}

// The required time of a constrained route at `target` depends on the
// target and the class of the edge into it only: it is worked out once
// per search and constraint.
Delay RouteSearch::getSlack(const Edge* edge, const Mask& mask, const Delay& arrival) {
  if (_path) {
    const Pole* target = edge->getTarget();
    const Mask edgeClass = getEdgeClass(edge, mask);
    const auto [entry, added] = _requiredTimes.try_emplace({target, edgeClass.getNumber()});
    if (added) entry->second = _scanner.getConstrainedTime(target, edgeClass, _path, _longest);
    if (!entry->second) return Delay::getUndefined();
    return _scanner.getConstrainedSlack(edge, arrival, *entry->second, _path, _longest);
  }
  return _longest ? _scanner.getLSlack(edge, mask, arrival)
                  : _scanner.getSSlack(edge, mask, arrival);
}

Delay RouteSearch::getLatchDelay(const Pole* capture) {
  const auto [entry, added] = _latchDelays.try_emplace(capture);
  if (added) entry->second = _scanner.getLatchDelay(capture, _longest);
  return entry->second;
}

Delay RouteSearch::getLaunchDelay(bool modeRequired) const {
  return _scanner.getLaunchDelay(_edges->front()->getSource(), modeRequired, _longest);
}

void RouteSearch::record(Delay latchDelay, Delay launchDelay, const Delay& difference) {
  Subdomain* subdomain = _scanner._subdomain;
  // Under SDC conventions a port's IO delay frames the route as a clock
  // delay would: the input delay launches later, the output delay
  // captures earlier.
  launchDelay = launchDelay + _scanner.getInputDelay(_edges->front()->getSource(), _longest);
  latchDelay = latchDelay - _scanner.getOutputDelay(_edges->back()->getTarget(), _longest);
  // A pole passes the checks of a route's ends once and for all in a
  // search: they read only the subdomain's leaves.
  Pole* source = _edges->front()->getSource();
  Pole* target = _edges->back()->getTarget();
  if (!_checkedSources.contains(source)) {
    Route::checkSource(subdomain, source);
    _checkedSources.insert(source);
  }
  if (!_checkedTargets.contains(target)) {
    Route::checkTarget(subdomain, target);
    _checkedTargets.insert(target);
  }
  Route::checkDelays(latchDelay, launchDelay, difference);
  const Delay slack =
      Route::getSlack(subdomain, _longest, *_edges, latchDelay, launchDelay, difference);
  if (!isKept(slack)) {
    tighten();
    return;
  }
  const Edges edges{Orvek::VectorCollection<Edge*>(*_edges)};
  Route* route = _longest
                     ? Route::createLongest(subdomain, edges, latchDelay, launchDelay, difference)
                     : Route::createShortest(subdomain, edges, latchDelay, launchDelay, difference);
  route->setConstrainedPath(_path);
  keep(route);
}

void RouteSearch::recordUnconstrained(Pole* pole) {
  if (_edges->empty()) return;
  record(getLatchDelay(Scanner::getCapture(pole)), getLaunchDelay(true), Delay(0));
}

void RouteSearch::recordConstrained(Pole* pole, const Mask& mask) {
  if (_edges->empty()) return;
  const Delay latchDelay = getLatchDelay(pole->isDual() ? pole->getClock() : pole);
  const Delay launchDelay = getLaunchDelay(false);
  if (getPriorityMask(mask) != _path->getMask()) return;
  record(latchDelay, launchDelay, _difference);
}

const Subdomain::RouteSet& RouteSearch::getRoutes() const {
  return _longest ? _scanner._subdomain->getLongestRouteSet()
                  : _scanner._subdomain->getShortestRouteSet();
}

bool RouteSearch::isKept(const Delay& slack) const {
  if (!(slack.getValue() < _limit.getValue())) return false;
  const Subdomain::RouteSet& routes = getRoutes();
  return _found < _count || routes.empty() || slack < (*routes.rbegin())->getSlack();
}

void RouteSearch::keep(Route* route) {
  const Subdomain::RouteSet& routes = getRoutes();
  const Delay slack = route->getSlack();
  if (!(slack.getValue() < _limit.getValue())) {
    route->destroy();
  } else if (_found < _count) {
    ++_found;
  } else {
    Route* least = *routes.rbegin();
    if (slack < least->getSlack())
      least->destroy();
    else
      route->destroy();
  }
  tighten();
}

void RouteSearch::tighten() {
  const Subdomain::RouteSet& routes = getRoutes();
  if (_found == _count && !routes.empty()) {
    const Delay last = (*routes.rbegin())->getSlack();
    if (_limit == Delay::getUndefined())
      _limit = last;
    else if (last != Delay::getUndefined() && !(_limit < last))
      _limit = last;
  }
}

void RouteSearch::runSources(CPath* path, const Delay& difference) {
  const PoleSet visited;
  std::vector<Edge*> edges;
  for (Pole* source : path->getSourceSet()) {
    if (!_scanner._arrivalMap.contains(source)) continue;
    Mask mask;
    Delay arrival = _scanner.getStartArrival(source, _longest);
    run(source, path, difference, mask, visited, edges, arrival);
  }
}

void RouteSearch::runEntry() {
  const bool longest = _longest;
  Scanner& scanner = _scanner;
  Subdomain* subdomain = scanner._subdomain;
  const PoleSet visited;
  std::vector<Edge*> edges;

  // Start points ranked by the best slack of their first edges, so that the
  // limit drops early.
  std::map<Delay, PoleSet> ranking;
  for (Pole* leaf : subdomain->getLaunchLeafList()) {
    Delay best = Delay::getMaximum();
    for (Edge* edge : leaf->getOutgoingEdgeSet()) {
      if (!scanner._arrivalMap.contains(leaf)) continue;
      const Delay arrival = scanner.getStartArrival(leaf, longest);
      const Delay slack = longest ? scanner.getLSlack(edge, Mask(), arrival)
                                  : scanner.getSSlack(edge, Mask(), arrival);
      if (slack == Delay::getUndefined()) continue;
      if (best == Delay::getUndefined() || slack < best) best = slack;
    }
    ranking[best].insert(leaf);
  }
  for (const auto& [slack, leaves] : ranking) {
    for (Pole* leaf : leaves) {
      if (!scanner._arrivalMap.contains(leaf)) continue;
      Mask mask;
      Delay arrival = scanner.getStartArrival(leaf, longest);
      setGap(longest ? 0 : scanner.getHoldGap(leaf, arrival));
      run(leaf, nullptr, Delay(0), mask, visited, edges, arrival);
    }
  }
  setGap(0);

  // The poles that capture the targets of a path constraint in this
  // subdomain, each once.
  const auto getCaptures = [&scanner, subdomain](CPath* path) {
    std::vector<Pole*> captures;
    for (Pole* target : path->getTargetSet()) {
      Pole* clock = scanner.getCapture(target);
      if (!clock || !subdomain->getLatchLeafSet().count(clock) ||
          !scanner._latchMap.contains(clock))
        continue;
      if (std::find(captures.begin(), captures.end(), clock) == captures.end())
        captures.push_back(clock);
    }
    return captures;
  };
  const char* operation = longest ? "searchLongestRoutes" : "searchShortestRoutes";

  for (MPath* path : analyzer->getMulticyclePaths()) {
    for (std::size_t capture = getCaptures(path).size(); capture > 0; --capture) {
      Delay difference(0);
      Pole* launchRoot = subdomain->getLaunchRoot();
      if (longest && analyzer->isSdc()) {
        difference = Precedence(*analyzer, subdomain).getCycleExtension(path->getCycleCount());
      } else if (longest && launchRoot && launchRoot == subdomain->getLatchRoot()) {
        const double cycles = static_cast<double>(path->getCycleCount()) - 1.0;
        const double longestArrival =
            static_cast<double>(scanner._arrivalTiming.getMaximumDelay().getValue());
        difference = Delay(
            truncate(cycles * Precedence(*analyzer, subdomain).getCycleFactor() * longestArrival));
      }
      runSources(path, difference);
    }
  }
  for (DPath* path : analyzer->getMaxdelayPaths()) {
    for (std::size_t capture = getCaptures(path).size(); capture > 0; --capture) {
      Delay difference(0);
      if (longest) {
        difference = path->getMaxdelay() - subdomain->getSetupRelation();
        if (difference == Delay::getUndefined())
          Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Undefined difference delay");
      }
      runSources(path, difference);
    }
  }
  for (DPath* path : analyzer->getMindelayPaths()) {
    for (std::size_t capture = getCaptures(path).size(); capture > 0; --capture) {
      Delay difference(0);
      if (!longest) {
        difference = path->getMindelay();
        if (difference == Delay::getUndefined())
          Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Undefined difference delay");
      }
      runSources(path, difference);
    }
  }
}

}  // namespace Morva
