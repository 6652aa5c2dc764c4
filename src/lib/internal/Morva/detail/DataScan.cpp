#include <Morva/Domain.h>
#include <Morva/Edge.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/DataScan.h>
#include <Morva/detail/LoopReport.h>
#include <Orvek/Exception.h>
#include <Orvek/Prefetch.h>

#include <cassert>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <numeric>
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
  _roots.push_back(nullptr);
  for (const auto& [pole, roots] : clockMap) {
    _clockRoots[pole->getNumber()] = &roots;
    _roots.insert(_roots.end(), roots.begin(), roots.end());
  }
}

void DataScan::run() {
  try {
    copyGraph();
    sweep();
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
  // A few poles ahead, their first incoming edges are fetched, then their
  // second ones.
  constexpr std::size_t distance = 6;
  for (std::size_t number = 0; number < bound; ++number) {
    if (number + 2 * distance < bound)
      if (const Pole* ahead = _poles[number + 2 * distance])
        ahead->getIncomingEdgeSet().prefetchFirst();
    if (number + distance < bound)
      if (const Pole* ahead = _poles[number + distance])
        ahead->getIncomingEdgeSet().prefetchSecond();
    _rows[number] = static_cast<uint32_t>(_sources.size());
    Pole* pole = _poles[number];
    if (!pole) continue;
    if (pole->isInput() || pole->isClock()) {
      _states[number] = Launching;
      _launching.push_back(static_cast<uint32_t>(number));
      // A walk that meets a launching register no clock root reaches stops
      // there: where it does is the endpoints' walks' to find.
      if (isUnclocked(pole)) _states[number] |= Held;
    }
    // An endpoint counts one reader more, never released: its launch
    // classes stay for the domain creation.
    if (pole->isTerminal()) ++_useCounts[number];
    // A data input feeding other poles hands its classes over before or
    // after it is captured, as the endpoints' walks come.
    else if (pole->isDual())
      _states[number] |= Held;
    if (pole->isOutput()) _outputs.push_back(pole);
    if (pole->isClock()) _clocks.push_back(pole);
    for (const Edge* edge : pole->getIncomingEdgeSet()) {
      if (!edge->isActive()) continue;
      _sources.push_back(edge->getSourceNumber());
      ++_useCounts[edge->getSourceNumber()];
    }
  }
  _rows[bound] = static_cast<uint32_t>(_sources.size());
  _analyzer.orderPoles(_outputs);
  _analyzer.orderPoles(_clocks);
  rankLaunches();
}

void DataScan::rankLaunches() {
  for (const auto& [port, constraint] : _analyzer.getInputDelays())
    if (constraint.getClockRoot()) _roots.push_back(constraint.getClockRoot());
  std::sort(_roots.begin() + 1, _roots.end(), Object::StampLess());
  _roots.erase(std::unique(_roots.begin() + 1, _roots.end()), _roots.end());
  // The launching poles' positions in `_launching`, in creation order.
  std::vector<uint32_t> order(_launching.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
    return Object::StampLess()(_poles[_launching[a]], _poles[_launching[b]]);
  });
  _launchRanks.resize(order.size());
  _launchOrder.reserve(order.size());
  for (uint32_t rank = 0; rank < order.size(); ++rank) {
    _launchRanks[order[rank]] = rank;
    _launchOrder.push_back(_poles[_launching[order[rank]]]);
  }
}

uint32_t DataScan::getLaunchRank(uint32_t number) const {
  const auto place = std::lower_bound(_launching.begin(), _launching.end(), number);
  return _launchRanks[place - _launching.begin()];
}

uint32_t DataScan::getRootRank(const Pole* root) const {
  if (!root) return 0;
  const auto place = std::lower_bound(_roots.begin() + 1, _roots.end(), root, Object::StampLess());
  assert(place != _roots.end() && *place == root);
  return static_cast<uint32_t>(place - _roots.begin());
}

void DataScan::sweep() {
  // Each round walks the poles whose sources are done, in number order:
  // most sources come before the poles they feed, the rest (an endpoint is
  // often made before its cone) are done by the next round.
  constexpr int rounds = 3;
  for (int round = 0; round < rounds; ++round) {
    std::size_t walked = 0;
    for (uint32_t number = 0; number < _states.size(); ++number)
      if (isReady(number)) {
        walk(number);
        ++walked;
      }
    if (walked == 0) return;
  }
}

bool DataScan::isReady(uint32_t number) const {
  if (!_poles[number] || (_states[number] & (walkState | Held)) != 0) return false;
  if (_states[number] & Launching) return true;
  for (uint32_t at = _rows[number]; at < _rows[number + 1]; ++at)
    if ((_states[_sources[at]] & walkState) != Done) return false;
  return true;
}

void DataScan::scanOutputs() {
  for (Pole* port : _outputs) {
    walk(port->getNumber());
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
    walk(data->getNumber());
    const PoleSet* latchRoots = getClockRoots(clock);
    if (!latchRoots) continue;
    for (Pole* latchRoot : *latchRoots) capture(data, clock, latchRoot, clock->getMode());
  }
}

void DataScan::walk(uint32_t start) {
  if (!enter(start)) return;
  while (!_stack.empty()) {
    Frame& frame = _stack.back();
    // The source entered last is done: its classes are taken. The next
    // source entered, or the end of the frame, replaces `pending`.
    if (frame.pending != noPole) take(frame.pending, frame.pole);
    if (!descend(frame)) {
      _finished.push_back(frame.pole);
      setWalkState(frame.pole, Done);
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
    setWalkState(number, OnPath);
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
  if (isUnclocked(pole)) {
    const auto where = std::source_location::current();
    Orvek::raise<Orvek::Fatal>(kSource, "scanData",
                               "Abnormal (" + std::to_string(where.line()) + ")", where);
  }
  const uint32_t rank = getLaunchRank(number);
  const Mode::Code mode = getLaunchMode(pole).getCode();
  forEachLaunchRoot(pole, [this, number, rank, mode](Pole* root) {
    const LaunchClass launch{LaunchClass::makeKey(getRootRank(root), mode), rank};
    _launchClasses[number].merge(&launch, 1);
  });
  _launchPoints.push_back(rank);
  setWalkState(number, Done);
  return false;
}

void DataScan::take(uint32_t source, uint32_t pole) {
  LaunchClassList& to = _launchClasses[pole];
  LaunchClassList& from = _launchClasses[source];
  uint32_t& readers = _useCounts[source];
  const bool last = readers > 0 && --readers == 0;
  // The last reader of a source is often its only one: an empty pole then
  // takes the source's classes as they are, without a copy.
  if (last && to.empty()) {
    to.swap(from);
    return;
  }
  if (!from.empty()) to.merge(from);
  if (last) LaunchClassList().swap(from);
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
  const LaunchClassList& classes = _launchClasses[reached->getNumber()];
  if (classes.empty()) return;
  // For each launch root, the subdomains come in the order of the first
  // launch point of each mode.
  for (const LaunchClass* group = classes.begin(); group != classes.end();) {
    const uint32_t root = group->getRootRank();
    const LaunchClass* end = std::find_if(group, classes.end(), [root](const LaunchClass& entry) {
      return entry.getRootRank() != root;
    });
    // At most one entry per mode: three, put in order as they come.
    std::array<const LaunchClass*, 3> modes{};
    std::size_t count = 0;
    for (const LaunchClass* entry = group; entry != end && count < modes.size(); ++entry) {
      std::size_t place = count++;
      for (; place > 0 && entry->first < modes[place - 1]->first; --place)
        modes[place] = modes[place - 1];
      modes[place] = entry;
    }
    for (std::size_t index = 0; index < count; ++index)
      getSubdomain(_roots[root], latchRoot, Mode(Mode::Code(modes[index]->getMode())), latchMode)
          ->captureLatch(latchPoint);
    group = end;
  }
  _endpointLatches.emplace_back(reached, LatchClass{latchRoot, latchMode.getCode()});
}

void DataScan::captureLaunches() {
  // The launch classes have served: their room goes to the latch classes.
  std::vector<LaunchClassList>().swap(_launchClasses);
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
      Orvek::prefetch(_sources.data() + _rows[pole[16]]);
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
  std::sort(_launchPoints.begin(), _launchPoints.end());
  for (const uint32_t rank : _launchPoints) {
    Pole* point = _launchOrder[rank];
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
