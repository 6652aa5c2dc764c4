#include <Morva/Domain.h>
#include <Morva/Edge.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/DataScan.h>
#include <Morva/detail/LoopReport.h>
#include <Orvek/Exception.h>
#include <Orvek/Prefetch.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <source_location>
#include <string>
#include <unordered_map>
#include <utility>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Analyzer";

}  // namespace

// Lists of latch classes in the order their classes were added, interned:
// a pole holds the number of its list (0 the empty one), and each join of
// two lists is worked out once. A design has few distinct lists, one per
// set of latching domains, so the poles' lists cost 4 bytes each and no
// allocation, where a list per pole took a heap block and its misses.
class DataScan::LatchLists {
 public:
  LatchLists() { intern({}); }
  const LatchClasses& get(uint32_t id) const { return _lists[id]; }
  uint32_t getSingle(const LatchClass& latch) { return intern({latch}); }
  // The list `to` followed by the classes of `from` it lacks.
  uint32_t join(uint32_t to, uint32_t from) {
    if (from == 0 || from == to) return to;
    if (to == 0) return from;
    const uint64_t key = (uint64_t(to) << 32) | from;
    if (const auto found = _joins.find(key); found != _joins.end()) return found->second;
    LatchClasses joined = _lists[to];
    for (const LatchClass& latch : _lists[from])
      if (std::find(joined.begin(), joined.end(), latch) == joined.end()) joined.push_back(latch);
    const uint32_t id = intern(std::move(joined));
    _joins.emplace(key, id);
    return id;
  }

 private:
  struct Less {
    bool operator()(const LatchClasses& a, const LatchClasses& b) const {
      return std::lexicographical_compare(
          a.begin(), a.end(), b.begin(), b.end(), [](const LatchClass& x, const LatchClass& y) {
            return x.root != y.root ? std::less<Pole*>()(x.root, y.root) : x.mode < y.mode;
          });
    }
  };
  uint32_t intern(LatchClasses list) {
    const auto [place, added] = _ids.try_emplace(list, static_cast<uint32_t>(_lists.size()));
    if (added) _lists.push_back(std::move(list));
    return place->second;
  }

  std::vector<LatchClasses> _lists;
  std::map<LatchClasses, uint32_t, Less> _ids;
  std::unordered_map<uint64_t, uint32_t> _joins;
};

DataScan::DataScan(Analyzer& analyzer, const ClockMap& clockMap)
    : _analyzer(analyzer),
      _poles(Pole::getNumberedPoles()),
      _clockRoots(Pole::getNumberBound(), nullptr) {
  for (const auto& [pole, roots] : clockMap) _clockRoots[pole->getNumber()] = &roots;
}

void DataScan::run() {
  try {
    copyGraph();
    scanOutputs();
    scanRegisters();
  } catch (...) {
    // The domains made so far stay, with the launch points of the endpoints
    // already done.
    captureLaunches();
    throw;
  }
  captureLaunches();
  LoopReport::print(_loopCount, "data domain analysis");
}

void DataScan::copyGraph() {
  const std::size_t bound = Pole::getNumberBound();
  _rows.assign(bound + 1, 0);
  _states.assign(bound, Unseen);
  _launchClasses.resize(bound);
  _useCounts.assign(bound, 0);
  // A few poles ahead, their first incoming edges are fetched, then (the
  // lists now readable) their sources.
  constexpr std::size_t distance = 4;
  for (std::size_t number = 0; number < bound; ++number) {
    if (number + 2 * distance < bound)
      if (const Pole* ahead = _poles[number + 2 * distance])
        ahead->getIncomingEdgeSet().prefetchFirst();
    if (number + distance < bound)
      if (const Pole* ahead = _poles[number + distance])
        for (const Edge* edge : ahead->getIncomingEdgeSet()) Orvek::prefetch(edge->getSource());
    _rows[number] = static_cast<uint32_t>(_sources.size());
    Pole* pole = _poles[number];
    if (!pole) continue;
    if (pole->isInput() || pole->isClock()) _states[number] = Launching;
    // An endpoint counts one reader more, never released: its launch
    // classes stay for the domain creation.
    if (pole->isTerminal()) ++_useCounts[number];
    if (pole->isOutput()) _outputs.push_back(pole);
    if (pole->isClock()) _clocks.push_back(pole);
    for (const Edge* edge : pole->getIncomingEdgeSet()) {
      if (!edge->isActive()) continue;
      const uint32_t source = edge->getSource()->getNumber();
      _sources.push_back(source);
      ++_useCounts[source];
    }
  }
  _rows[bound] = static_cast<uint32_t>(_sources.size());
  _analyzer.orderPoles(_outputs);
  _analyzer.orderPoles(_clocks);
}

void DataScan::scanOutputs() {
  for (Pole* port : _outputs) {
    walk(port);
    IOConstraint constraint;
    Pole* latchRoot = nullptr;
    Mode latchMode;
    if (_analyzer.hasOutputConstraint(port, constraint)) {
      latchRoot = constraint.getClockRoot();
      latchMode = constraint.getMode();
    }
    capture(port, port, latchRoot, latchMode);
  }
}

void DataScan::scanRegisters() {
  for (Pole* clock : _clocks) {
    Pole* data = clock->getDual();
    if (!data)
      Orvek::raise<Orvek::InvalidRequest>(kSource, "scanData",
                                          "Null data input for " + clock->getReportName());
    walk(data);
    const PoleSet* latchRoots = getClockRoots(clock);
    if (!latchRoots) continue;
    for (Pole* latchRoot : *latchRoots) capture(data, clock, latchRoot, clock->getMode());
  }
}

void DataScan::walk(Pole* endpoint) {
  if (!enter(endpoint->getNumber())) return;
  while (!_stack.empty()) {
    Frame& frame = _stack.back();
    if (frame.pending != noPole) {
      take(frame.pending, frame.pole);
      frame.pending = noPole;
    }
    if (!descend(frame)) {
      _finished.push_back(frame.pole);
      _states[frame.pole] = Done;
      _stack.pop_back();
    }
  }
}

bool DataScan::descend(Frame& frame) {
  while (frame.next != frame.end) {
    const uint32_t source = _sources[frame.next++];
    const uint8_t state = _states[source] & walkState;
    if (state == OnPath) {
      ++_loopCount;
      continue;
    }
    if (state == Unseen) {
      frame.pending = source;
      // `frame` is not used once a new frame is stacked.
      if (enter(source)) return true;
      frame.pending = noPole;
    }
    take(source, frame.pole);
  }
  return false;
}

bool DataScan::enter(uint32_t number) {
  if ((_states[number] & walkState) != Unseen) return false;
  if ((_states[number] & Launching) == 0) {
    _states[number] = OnPath;
    const uint32_t begin = _rows[number];
    const uint32_t end = _rows[number + 1];
    // What the walk reads of the sources is fetched together, not one miss
    // after the other as the walk reaches each.
    for (uint32_t at = begin; at < end; ++at) {
      Orvek::prefetch(&_states[_sources[at]]);
      Orvek::prefetch(&_rows[_sources[at]]);
      Orvek::prefetch(&_launchClasses[_sources[at]]);
      Orvek::prefetch(&_useCounts[_sources[at]]);
    }
    _stack.push_back(Frame{number, begin, end, noPole});
    return true;
  }
  Pole* pole = _poles[number];
  if (!pole->isInput() && !getClockRoots(pole)) {
    // A launching register that no clock root reaches.
    const auto where = std::source_location::current();
    Orvek::raise<Orvek::Fatal>(kSource, "scanData",
                               "Abnormal (" + std::to_string(where.line()) + ")", where);
  }
  forEachLaunchRoot(pole, [this, pole](Pole* root) { addLaunch(pole, root); });
  _launchPoints.push_back(pole);
  _states[number] = Done | Launching;
  return false;
}

void DataScan::addLaunch(Pole* point, Pole* root) {
  merge({LaunchClass{root, getLaunchMode(point).getCode(), point}},
        _launchClasses[point->getNumber()]);
}

void DataScan::merge(const LaunchClasses& from, LaunchClasses& to) {
  // A pole's first source hands its classes over whole: they are sorted.
  if (to.empty()) {
    to = from;
    return;
  }
  const Object::StampLess less;
  for (const LaunchClass& entry : from) {
    auto place =
        std::lower_bound(to.begin(), to.end(), entry, [&less](const auto& a, const auto& b) {
          return a.root != b.root ? less(a.root, b.root) : a.mode < b.mode;
        });
    if (place != to.end() && place->root == entry.root && place->mode == entry.mode) {
      if (less(entry.first, place->first)) place->first = entry.first;
    } else {
      to.insert(place, entry);
    }
  }
}

void DataScan::take(uint32_t source, uint32_t pole) {
  LaunchClasses& to = _launchClasses[pole];
  LaunchClasses& from = _launchClasses[source];
  uint32_t& readers = _useCounts[source];
  const bool last = readers > 0 && --readers == 0;
  // The last reader of a source is often its only one: an empty pole then
  // takes the source's classes as they are, without a copy.
  if (last && to.empty()) {
    to.swap(from);
    return;
  }
  if (!from.empty()) merge(from, to);
  if (last) LaunchClasses().swap(from);
}

Mode DataScan::getLaunchMode(Pole* launchPoint) const {
  if (launchPoint->isClock()) return launchPoint->getMode();
  IOConstraint constraint;
  if (_analyzer.hasInputConstraint(launchPoint, constraint)) return constraint.getMode();
  return Mode();
}

Subdomain* DataScan::getSubdomain(Pole* launchRoot, Pole* latchRoot, const Mode& launchMode,
                                  const Mode& latchMode) {
  Domain*& domain = _domains[{launchRoot, latchRoot}];
  if (!domain) {
    domain = _analyzer.getDomain(launchRoot, latchRoot);
    if (!domain) domain = Domain::create(launchRoot, latchRoot);
  }
  Subdomain* subdomain = domain->getSubdomain(launchMode, latchMode);
  if (!subdomain) subdomain = Subdomain::create(domain, launchMode, latchMode);
  return subdomain;
}

void DataScan::capture(Pole* reached, Pole* latchPoint, Pole* latchRoot, const Mode& latchMode) {
  const LaunchClasses* classes = &_launchClasses[reached->getNumber()];
  if (classes->empty()) return;
  // For each launch root, the subdomains come in the order of the first
  // launch point of each mode.
  for (auto group = classes->begin(); group != classes->end();) {
    auto end = std::find_if(group, classes->end(), [&group](const LaunchClass& entry) {
      return entry.root != group->root;
    });
    // At most one entry per mode: three, put in order as they come.
    std::array<const LaunchClass*, 3> modes{};
    std::size_t count = 0;
    for (auto entry = group; entry != end && count < modes.size(); ++entry) {
      std::size_t place = count++;
      for (; place > 0 && Object::StampLess()(entry->first, modes[place - 1]->first); --place)
        modes[place] = modes[place - 1];
      modes[place] = &*entry;
    }
    for (std::size_t index = 0; index < count; ++index)
      getSubdomain(modes[index]->root, latchRoot, Mode(modes[index]->mode), latchMode)
          ->captureLatch(latchPoint);
    group = end;
  }
  _endpointLatches.emplace_back(reached, LatchClass{latchRoot, latchMode.getCode()});
}

void DataScan::captureLaunches() {
  // The launch classes have served: their room goes to the latch classes.
  std::vector<LaunchClasses>().swap(_launchClasses);
  std::vector<uint32_t>().swap(_useCounts);
  LatchLists lists;
  std::vector<uint32_t> latchLists(_states.size(), 0);
  std::vector<uint8_t>().swap(_states);
  for (const auto& [endpoint, latch] : _endpointLatches) {
    uint32_t& list = latchLists[endpoint->getNumber()];
    list = lists.join(list, lists.getSingle(latch));
  }
  // Every pole after all the poles it feeds through a followed edge: the
  // walks follow an edge once its source has finished, before its target.
  // A finished pole followed every edge of its row but those that closed a
  // loop, whose sources were still on the walk's path: those come earlier
  // in this order, and what they are given here is never read.
  for (auto pole = _finished.rbegin(); pole != _finished.rend(); ++pole) {
    // The poles a few steps on are fetched meanwhile: their rows, then
    // their classes and sources, then the classes of the sources.
    if (_finished.rend() - pole > 24) {
      Orvek::prefetch(&_rows[pole[24]]);
      Orvek::prefetch(&latchLists[pole[16]]);
      Orvek::prefetch(&_sources[_rows[pole[16]]]);
      for (uint32_t at = _rows[pole[8]]; at < _rows[pole[8] + 1]; ++at)
        Orvek::prefetch(&latchLists[_sources[at]]);
    }
    const uint32_t number = *pole;
    const uint32_t list = std::exchange(latchLists[number], 0);
    if (list == 0) continue;
    for (uint32_t at = _rows[number]; at < _rows[number + 1]; ++at)
      latchLists[_sources[at]] = lists.join(latchLists[_sources[at]], list);
  }
  // What is left are the launch points, captured in creation order: each
  // then joins its subdomains' leaves at their end.
  std::sort(_launchPoints.begin(), _launchPoints.end(), Object::StampLess());
  for (Pole* point : _launchPoints) {
    const LatchClasses& latches = lists.get(latchLists[point->getNumber()]);
    if (latches.empty()) continue;
    const Mode launchMode = getLaunchMode(point);
    forEachLaunchRoot(point, [&, point](Pole* root) {
      for (const LatchClass& latch : latches)
        getSubdomain(root, latch.root, launchMode, Mode(latch.mode))->captureLaunch(point);
    });
  }
}

}  // namespace Morva
