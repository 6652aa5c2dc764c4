#include <Morva/Domain.h>
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
#include <source_location>
#include <string>
#include <unordered_map>
#include <utility>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Analyzer";

// The entry of `pole` in a table by pole number; a pole numbered after the
// table was sized widens it.
template <class Value>
Value& getEntry(std::vector<Value>& table, const Pole* pole) {
  if (pole->getNumber() >= table.size()) table.resize(Pole::getNumberBound());
  return table[pole->getNumber()];
}

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
    : BackwardScan(analyzer, _loopCount),
      _analyzer(analyzer),
      _clockRoots(Pole::getNumberBound(), nullptr),
      _launchClasses(Pole::getNumberBound()),
      _useCounts(Pole::getNumberBound(), 0) {
  for (const auto& [pole, roots] : clockMap) getEntry(_clockRoots, pole) = &roots;
}

void DataScan::run() {
  _analyzer.loopOpen();
  try {
    scanOutputs();
    scanRegisters();
  } catch (...) {
    // The domains made so far stay, with the launch points of the endpoints
    // already done; the walk is left closed and unmarked so that the
    // analyzer can scan again.
    captureLaunches();
    _analyzer.loopClose();
    _analyzer.unmark();
    throw;
  }
  captureLaunches();
  assert(isLoopStackEmpty(_analyzer));
  _analyzer.loopClose();
  _analyzer.unmark();
  LoopReport::print(_loopCount, "data domain analysis");
}

void DataScan::scanOutputs() {
  for (Pole* port : _analyzer.selectPoles([](const Pole* pole) { return pole->isOutput(); })) {
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
  for (Pole* clock : _analyzer.selectPoles([](const Pole* pole) { return pole->isClock(); })) {
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

const DataScan::LaunchClasses* DataScan::getLaunchClasses(Pole* pole) const {
  return pole->getNumber() < _launchClasses.size() ? &_launchClasses[pole->getNumber()] : nullptr;
}

void DataScan::walk(Pole* endpoint) {
  if (endpoint->isMarked()) return;
  DepthFirst<DataScan>(*this).run(endpoint);
}

void DataScan::leave(Pole* pole, FrameData&) {
  _finished.push_back(pole->getNumber());
  finish(pole);
}

bool DataScan::enter(Pole* pole, Edge*, FrameData&) {
  _analyzer.loopPush(pole);
  // An endpoint counts one reader more, never released: its launch classes
  // stay for the domain creation.
  uint32_t readers = pole->isTerminal() ? 1 : 0;
  for (Edge* edge : pole->getOutgoingEdgeSet())
    if (edge->isActive()) ++readers;
  getEntry(_useCounts, pole) = readers;
  if (pole->isInput() || pole->isClock()) {
    if (!pole->isInput() && !getClockRoots(pole)) {
      // A launching register that no clock root reaches.
      const auto where = std::source_location::current();
      Orvek::raise<Orvek::Fatal>(kSource, "scanData",
                                 "Abnormal (" + std::to_string(where.line()) + ")", where);
    }
    forEachLaunchRoot(pole, [this, pole](Pole* root) { addLaunch(pole, root); });
    _launchPoints.push_back(pole);
    finish(pole);
    return false;
  }
  return true;
}

// Marked only when finished: a pole still on the stack is told apart from a
// finished one by its mark.
void DataScan::finish(Pole* pole) {
  _analyzer.loopPop();
  pole->mark();
}

void DataScan::addLaunch(Pole* point, Pole* root) {
  merge({LaunchClass{root, getLaunchMode(point).getCode(), point}},
        getEntry(_launchClasses, point));
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

void DataScan::join(Pole* far, Pole* pole) {
  _followed.emplace_back(pole->getNumber(), far->getNumber());
  take(far, pole);
}

void DataScan::take(Pole* source, Pole* pole) {
  LaunchClasses& to = getEntry(_launchClasses, pole);
  // A widening takes the table to the current bound: this second look-up
  // leaves `to` in place.
  LaunchClasses& from = getEntry(_launchClasses, source);
  uint32_t& readers = getEntry(_useCounts, source);
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
  const LaunchClasses* classes = getLaunchClasses(reached);
  if (!classes || classes->empty()) return;
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
  std::vector<uint32_t> latchLists(Pole::getNumberBound(), 0);
  for (const auto& [endpoint, latch] : _endpointLatches) {
    uint32_t& list = getEntry(latchLists, endpoint);
    list = lists.join(list, lists.getSingle(latch));
  }
  // The sources of each target's followed edges, grouped by target number
  // in the order they were followed (a counting sort): the pass below then
  // reads numbers, not edge and pole objects scattered over memory.
  std::vector<uint32_t> starts(latchLists.size() + 1, 0);
  for (const auto& [target, source] : _followed) ++starts[target + 1];
  for (std::size_t number = 1; number < starts.size(); ++number)
    starts[number] += starts[number - 1];
  std::vector<uint32_t> sources(_followed.size());
  {
    std::vector<uint32_t> next(starts.begin(), starts.end() - 1);
    for (const auto& [target, source] : _followed) sources[next[target]++] = source;
  }
  std::vector<std::pair<uint32_t, uint32_t>>().swap(_followed);
  // Every pole after all the poles it feeds through a followed edge: the
  // walks follow an edge once its source has finished, before its target.
  for (auto pole = _finished.rbegin(); pole != _finished.rend(); ++pole) {
    // The poles a few steps on are fetched meanwhile: their classes, and
    // those of the poles that feed them.
    if (_finished.rend() - pole > 16) {
      Orvek::prefetch(&latchLists[pole[16]]);
      for (uint32_t at = starts[pole[8]]; at < starts[pole[8] + 1]; ++at)
        Orvek::prefetch(&latchLists[sources[at]]);
    }
    const uint32_t number = *pole;
    const uint32_t list = std::exchange(latchLists[number], 0);
    if (list == 0) continue;
    for (uint32_t at = starts[number]; at < starts[number + 1]; ++at)
      latchLists[sources[at]] = lists.join(latchLists[sources[at]], list);
  }
  // What is left are the launch points, captured in creation order: each
  // then joins its subdomains' leaves at their end.
  std::sort(_launchPoints.begin(), _launchPoints.end(), Object::StampLess());
  for (Pole* point : _launchPoints) {
    const LatchClasses& latches = lists.get(getEntry(latchLists, point));
    if (latches.empty()) continue;
    const Mode launchMode = getLaunchMode(point);
    forEachLaunchRoot(point, [&, point](Pole* root) {
      for (const LatchClass& latch : latches)
        getSubdomain(root, latch.root, launchMode, Mode(latch.mode))->captureLaunch(point);
    });
  }
}

}  // namespace Morva
