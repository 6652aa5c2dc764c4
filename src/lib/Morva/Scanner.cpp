#include <Morva/Analyzer.h>
#include <Morva/CPath.h>
#include <Morva/DPath.h>
#include <Morva/Edge.h>
#include <Morva/IOConstraint.h>
#include <Morva/MPath.h>
#include <Morva/Pole.h>
#include <Morva/Route.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/GraphImage.h>
#include <Morva/detail/Propagation.h>
#include <Orvek/Collection.h>
#include <Orvek/Console.h>
#include <Orvek/Debug.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Scanner";

// A double truncated toward zero to a 32-bit integer; a value outside that
// range (or NaN) gives the integer -2^31, the Delay code Undefined.
int32_t truncate(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The setup and hold shifts of one timing, with the bounded Delay
// arithmetic, the minimum first: into a register's data side the window
// widens, out of it it narrows.
void takeSetupHoldOf(const Delay& minimum, const Delay& maximum, Timing& timing) {
  timing.setMinimumDelay(timing.getMinimumDelay() - minimum);
  timing.setMaximumDelay(timing.getMaximumDelay() + maximum);
}

void freeSetupHoldOf(const Delay& minimum, const Delay& maximum, Timing& timing) {
  timing.setMinimumDelay(timing.getMinimumDelay() - maximum);
  timing.setMaximumDelay(timing.getMaximumDelay() + minimum);
}

bool meets(const Mask& a, const Mask& b) {
  return (a & b).getNumber() != 0;
}

// The set of poles on the current path of a walk: open addressing with
// linear probing and backward-shift deletion, so that entering and leaving
// a pole costs a probe and no allocation once the table has grown.
class PathSet {
 public:
  bool contains(const Pole* pole) const {
    if (_count == 0) return false;
    for (std::size_t slot = getSlot(pole);; slot = (slot + 1) & _mask) {
      if (_slots[slot] == pole) return true;
      if (!_slots[slot]) return false;
    }
  }

  void insert(Pole* pole) {
    if (2 * (_count + 1) > _slots.size()) grow();
    std::size_t slot = getSlot(pole);
    while (_slots[slot]) {
      if (_slots[slot] == pole) return;
      slot = (slot + 1) & _mask;
    }
    _slots[slot] = pole;
    ++_count;
  }

  void erase(const Pole* pole) {
    if (_count == 0) return;
    std::size_t hole = getSlot(pole);
    while (_slots[hole] != pole) {
      if (!_slots[hole]) return;
      hole = (hole + 1) & _mask;
    }
    // Move back every later entry of the run whose home slot does not lie
    // cyclically in (hole, slot].
    for (std::size_t slot = (hole + 1) & _mask; _slots[slot]; slot = (slot + 1) & _mask) {
      const std::size_t home = getSlot(_slots[slot]);
      const bool between =
          hole <= slot ? (hole < home && home <= slot) : (hole < home || home <= slot);
      if (!between) {
        _slots[hole] = _slots[slot];
        hole = slot;
      }
    }
    _slots[hole] = nullptr;
    --_count;
  }

 private:
  std::size_t getSlot(const Pole* pole) const {
    const uint64_t product =
        static_cast<uint64_t>(reinterpret_cast<std::uintptr_t>(pole)) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(product ^ (product >> 32)) & _mask;
  }

  void grow() {
    std::vector<Pole*> old;
    old.swap(_slots);
    _slots.assign(old.empty() ? 64 : 2 * old.size(), nullptr);
    _mask = _slots.size() - 1;
    _count = 0;
    for (Pole* pole : old)
      if (pole) insert(pole);
  }

  std::vector<Pole*> _slots;
  std::size_t _mask = 0;
  std::size_t _count = 0;
};

}  // namespace

// ---- Route search ------------------------------------------------------------

namespace {

// The class of the paths after `edge`: the constraints opening at its
// source join, only those the edge belongs to survive, those opening at
// its target join.
Mask getEdgeClass(const Edge* edge, const Mask& mask) {
  return ((mask | edge->getSource()->getOpeningMask()) & edge->getMask()) |
         edge->getTarget()->getOpeningMask();
}

}  // namespace

// The depth-first route enumeration with branch-and-bound of one search
// entry, on an explicit stack. The state shared by all the start points of
// the entry (limit, found counter, kept routes) lives in the entry; this
// object holds the walk's scratch buffers, reused from one start to the
// next.
class RouteSearch {
 public:
  RouteSearch(Scanner& scanner, bool longest, Delay& limit, unsigned long& found,
              unsigned long count)
      : _scanner(scanner), _longest(longest), _limit(limit), _found(found), _count(count) {}

  bool isLongest() const { return _longest; }
  // Every route the next runs record has a slack at least `gap` above the
  // search bound of each of its edges: an edge whose bound plus the gap
  // reaches the limit leads to no route kept, and is not followed.
  void setGap(int64_t gap) { _gap = gap; }

  // Enumerates the routes from `start` (along `path` when it is not null),
  // extending the route given by `visited`, `edges`, `mask` and `arrival`;
  // those are as they were given when it returns.
  void run(Pole* start, CPath* path, const Delay& difference, Mask& mask,
           const Scanner::VisitedSet& visited, std::vector<Edge*>& edges, Delay& arrival) {
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

 private:
  struct Frame {
    Pole* pole;
    EdgeSet::const_iterator next;
    EdgeSet::const_iterator end;
    // The route's class and arrival at this pole, restored when the search
    // comes back from the edge being followed.
    Mask mask;
    Delay arrival;
  };

  bool isOnPath(Pole* pole) const {
    return _pathSet.contains(pole) || (!_visited->empty() && _visited->count(pole));
  }

  // Enters a pole; true when a frame was pushed to follow its edges, false
  // when it ends the route (and the route was recorded).
  bool enter(Pole* pole, const Mask& mask, const Delay& arrival) {
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

  // The constraint that rules routes of class `mask`. The path constraints
  // do not change during a search, so each class is worked out once: with
  // many constraints, recomputing it at every route end dominated.
  Mask getPriorityMask(const Mask& mask) {
    const auto [entry, added] = _priorityMasks.try_emplace(mask.getNumber());
    if (added) entry->second = _scanner.getPriorityMask(mask, _longest);
    return entry->second;
  }

  // The required time of a constrained route at `target` depends on the
  // target and the class of the edge into it only: it is worked out once
  // per search and constraint.
  Delay getSlack(const Edge* edge, const Mask& mask, const Delay& arrival) {
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

  Delay getLatchDelay(const Pole* capture) const {
    return _scanner.getLatchDelay(capture, _longest);
  }

  Delay getLaunchDelay(bool modeRequired) const {
    return _scanner.getLaunchDelay(_edges->front()->getSource(), modeRequired, _longest);
  }

  // Records the route of the edges followed so far. Most routes a search
  // meets are less critical than those already kept: those are checked as
  // a route would be and weighed by their slack, but never made.
  void record(Delay latchDelay, Delay launchDelay, const Delay& difference) {
    Subdomain* subdomain = _scanner._subdomain;
    // Under SDC conventions a port's IO delay frames the route as a clock
    // delay would: the input delay launches later, the output delay
    // captures earlier.
    launchDelay = launchDelay + _scanner.getInputDelay(_edges->front()->getSource(), _longest);
    latchDelay = latchDelay - _scanner.getOutputDelay(_edges->back()->getTarget(), _longest);
    Route::checkSource(subdomain, _edges->front()->getSource());
    Route::checkTarget(subdomain, _edges->back()->getTarget());
    Route::checkDelays(latchDelay, launchDelay, difference);
    const Delay slack =
        Route::getSlack(subdomain, _longest, *_edges, latchDelay, launchDelay, difference);
    if (!isKept(slack)) {
      tighten();
      return;
    }
    const Edges edges{Orvek::VectorCollection<Edge*>(*_edges)};
    Route* route =
        _longest ? Route::createLongest(subdomain, edges, latchDelay, launchDelay, difference)
                 : Route::createShortest(subdomain, edges, latchDelay, launchDelay, difference);
    route->setConstrainedPath(_path);
    keep(route);
  }

  // A route that starts and ends at the same pole has no edge: nothing is
  // recorded for it.
  void recordUnconstrained(Pole* pole) {
    if (_edges->empty()) return;
    record(getLatchDelay(Scanner::getCapture(pole)), getLaunchDelay(true), Delay(0));
  }

  void recordConstrained(Pole* pole, const Mask& mask) {
    if (_edges->empty()) return;
    const Delay latchDelay = getLatchDelay(pole->isDual() ? pole->getClock() : pole);
    const Delay launchDelay = getLaunchDelay(false);
    if (getPriorityMask(mask) != _path->getMask()) return;
    record(latchDelay, launchDelay, _difference);
  }

  const Subdomain::RouteSet& getRoutes() const {
    return _longest ? _scanner._subdomain->getLongestRouteSet()
                    : _scanner._subdomain->getShortestRouteSet();
  }

  // Whether a route of that slack would stay among the kept ones: under the
  // limit, and more critical than the least critical kept one when the
  // count is reached (an equal slack ranks after it, being newer).
  bool isKept(const Delay& slack) const {
    if (!(slack.getValue() < _limit.getValue())) return false;
    const Subdomain::RouteSet& routes = getRoutes();
    return _found < _count || routes.empty() || slack < (*routes.rbegin())->getSlack();
  }

  // Keeps the `count` most critical routes and tightens the limit to the
  // least critical kept one once that many are held.
  void keep(Route* route) {
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

  void tighten() {
    const Subdomain::RouteSet& routes = getRoutes();
    if (_found == _count && !routes.empty()) {
      const Delay last = (*routes.rbegin())->getSlack();
      if (_limit == Delay::getUndefined())
        _limit = last;
      else if (last != Delay::getUndefined() && !(_limit < last))
        _limit = last;
    }
  }

  Scanner& _scanner;
  const bool _longest;
  Delay& _limit;
  unsigned long& _found;
  const unsigned long _count;
  int64_t _gap = 0;
  CPath* _path = nullptr;
  Delay _difference;
  const Scanner::VisitedSet* _visited = nullptr;
  std::vector<Edge*>* _edges = nullptr;
  std::unordered_map<unsigned long, Mask> _priorityMasks;
  struct TargetClassHash {
    std::size_t operator()(const std::pair<const Pole*, unsigned long>& key) const {
      return std::hash<const Pole*>()(key.first) ^ (std::hash<unsigned long>()(key.second) << 1);
    }
  };
  // Required times of the current constraint by target and edge class.
  std::unordered_map<std::pair<const Pole*, unsigned long>, std::optional<Delay>, TargetClassHash>
      _requiredTimes;
  PathSet _pathSet;
  std::vector<Frame> _stack;
};

// ---- Object protocol ---------------------------------------------------------

Scanner::Scanner(Subdomain* subdomain) : _subdomain(subdomain) {}

void Scanner::preCreate(Subdomain* subdomain) {
  Object::preCreate();
  if (!subdomain) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Null subdomain");
}

Scanner* Scanner::create(Subdomain* subdomain) {
  preCreate(subdomain);
  auto* scanner = new Scanner(subdomain);
  scanner->postCreate(subdomain);
  return scanner;
}

void Scanner::postCreate(Subdomain* subdomain) {
  subdomain->attach(this);
  Object::postCreate();
}

void Scanner::preDestroy() {
  Object::preDestroy();
  _subdomain->detach(this);
}

std::string Scanner::getAlias() const {
  return "SCNNER[" + _subdomain->getName() + "]";
}

std::string Scanner::_getLabel() const {
  return Object::_getLabel();
}

Orvek::Record* Scanner::_getRecord() const {
  Orvek::Record* record = Object::_getRecord();
  if (!record) return nullptr;
  record->addHeader("Scanner");
  record->addSlot(_subdomain ? _subdomain->_getSlot("Subdomain")
                             : Orvek::NullSlot::create("Subdomain"));
  record->add("DataAT Map", _arrivalMap);
  record->add("DataRT Map", _requireMap);
  record->add("LatchAT Map", _latchMap);
  record->add("LaunchAT Map", _launchMap);
  record->addSlot(_arrivalTiming._getSlot("Arrival Timing"));
  return record;
}

// ---- Accessors ---------------------------------------------------------------

namespace {

bool copyMap(const PoleTimingMap& table, const Pole* pole, TimingMap& map) {
  const std::size_t position = table.findPosition(pole);
  if (position == PoleTimingMap::npos) return false;
  table.copyAt(position, map);
  return true;
}

}  // namespace

bool Scanner::hasArrivalTimingMap(Pole* pole, TimingMap& map) const {
  return copyMap(_arrivalMap, pole, map);
}

bool Scanner::hasRequireTimingMap(Pole* pole, TimingMap& map) const {
  return copyMap(_requireMap, pole, map);
}

bool Scanner::hasLatchTimingMap(Pole* pole, TimingMap& map) const {
  return copyMap(_latchMap, pole, map);
}

bool Scanner::hasLaunchTimingMap(Pole* pole, TimingMap& map) const {
  return copyMap(_launchMap, pole, map);
}

Timing Scanner::getEntry(const TimingMap& map, unsigned long key) {
  const auto found = map.find(key);
  return found == map.end() ? Timing() : found->second;
}

// ---- Shifts ------------------------------------------------------------------

void Scanner::addDelay(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  const Timing shift(minimum, maximum);
  for (auto& entry : map) entry.second += shift;
}

void Scanner::addDelay(const Delay& delay, TimingMap& map) {
  addDelay(delay, delay, map);
}

void Scanner::minusDelay(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  // The earliest arrival loses the largest delay and the latest the smallest.
  const Timing shift(maximum, minimum);
  for (auto& entry : map) entry.second -= shift;
}

void Scanner::minusDelay(const Delay& delay, TimingMap& map) {
  minusDelay(delay, delay, map);
}

void Scanner::takeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  for (auto& entry : map) takeSetupHoldOf(minimum, maximum, entry.second);
}

void Scanner::freeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  for (auto& entry : map) freeSetupHoldOf(minimum, maximum, entry.second);
}

void Scanner::addLatchTiming(const Timing& latch, TimingMap& map) {
  for (auto& [key, timing] : map) {
    timing.setMinimumDelay(timing.getMinimumDelay() + latch.getMinimumDelay());
    timing.setMaximumDelay(timing.getMaximumDelay() + latch.getMaximumDelay());
  }
}

void Scanner::minusLatchTiming(const Timing& latch, TimingMap& map) {
  for (auto& [key, timing] : map) {
    timing.setMinimumDelay(timing.getMinimumDelay() - latch.getMaximumDelay());
    timing.setMaximumDelay(timing.getMaximumDelay() - latch.getMinimumDelay());
  }
}

// ---- Re-keying and filtering ---------------------------------------------------

void Scanner::combine(const TimingMap& source, TimingMap& target) {
  for (const auto& [key, timing] : source) target[key].combine(timing);
}

namespace {

// Files every entry of `map` under `getKey(old key)`, merging the entries
// that meet under one key, in ascending order of the old keys. A map whose
// keys all stay in place is left as it is.
template <class GetKey>
void rekey(TimingMap& map, GetKey getKey) {
  bool moved = false;
  for (const auto& entry : map) {
    if (getKey(entry.first) != entry.first) {
      moved = true;
      break;
    }
  }
  if (!moved) return;
  TimingMap rekeyed;
  for (const auto& [key, timing] : map) rekeyed[getKey(key)].combine(timing);
  map.swap(rekeyed);
}

}  // namespace

void Scanner::sensibilize(const Mask& mask, TimingMap& map) {
  // The empty class stays empty whatever the mask: the common map, a
  // single entry under key 0, is left as it is.
  if (map.size() == 1 && map.begin()->first == 0) return;
  rekey(map, [&mask](unsigned long key) { return (Mask(key) & mask).getNumber(); });
}

void Scanner::mingle(const Mask& mask, TimingMap& map) {
  if (mask.getNumber() == 0) return;
  rekey(map, [&mask](unsigned long key) { return (Mask(key) | mask).getNumber(); });
}

void Scanner::filter(const Mask& mask, TimingMap& map) {
  if (mask.getNumber() == 0) return;
  for (auto entry = map.begin(); entry != map.end();) {
    if (meets(Mask(entry->first), mask))
      entry = map.erase(entry);
    else
      ++entry;
  }
}

void Scanner::filter(const Mask& maxMask, const Mask& minMask, TimingMap& map) {
  if (maxMask == minMask) {
    filter(maxMask, map);
    return;
  }
  for (auto& [key, timing] : map) {
    const Mask mask(key);
    if (meets(mask, maxMask)) timing.setMaximumDelay(Delay::getMinimum());
    if (meets(mask, minMask)) timing.setMinimumDelay(Delay::getMaximum());
  }
}

void Scanner::divideCycleCount(TimingMap& map) {
  filter(analyzer->getMaxdelayPathMask(), analyzer->getMindelayPathMask(), map);
  constexpr double noCycles = 100000000.0;
  for (auto& [key, timing] : map) {
    if (key == 0) continue;
    MPath* first = nullptr;
    double cycles = noCycles;
    for (CPath* path : analyzer->getCPaths(Mask(key))) {
      auto* multicycle = dynamic_cast<MPath*>(path);
      if (!multicycle) continue;
      if (!first) first = multicycle;
      // The smallest cycle count, through the Delay comparison of the
      // count and the current value.
      const Delay count(static_cast<int32_t>(multicycle->getCycleCount()));
      const Delay current(truncate(cycles));
      Delay chosen;
      if (current == Delay::getUndefined())
        chosen = count;
      else if (count == Delay::getUndefined())
        chosen = current;
      else
        chosen = current < count ? current : count;
      cycles = static_cast<double>(chosen.getValue());
    }
    if (!first) continue;
    if (analyzer->isSdc()) {
      // The capture edge of the multicycle class lies whole latch periods
      // later: its arrivals count that much less against one period. A
      // code (the maximum of a delay path's class, set aside above) stays.
      const Delay maximum = timing.getMaximumDelay();
      if (maximum != Delay::getMinimum() && maximum != Delay::getMaximum() &&
          maximum != Delay::getUndefined())
        timing.setMaximumDelay(maximum - getCycleExtension(static_cast<unsigned long>(cycles)));
      continue;
    }
    Pole* launchRoot = _subdomain->getLaunchRoot();
    if (launchRoot && launchRoot == _subdomain->getLatchRoot()) {
      const auto duty = static_cast<double>(analyzer->getDutyRatio(launchRoot));
      if (_subdomain->getLaunchMode().getCode() != _subdomain->getLatchMode().getCode()) {
        if (_subdomain->getLaunchMode().getCode() == Mode::Rising)
          cycles = (cycles - 1.0) * 100.0 / duty + 1.0;
        else
          cycles = (cycles - 1.0) * 100.0 / (100.0 - duty) + 1.0;
      }
      if (cycles != noCycles && cycles > 1.0) {
        const double maximum = static_cast<double>(timing.getMaximumDelay().getValue());
        timing.setMaximumDelay(Delay(truncate(maximum / cycles)));
        continue;
      }
    }
    if (_subdomain->isPureClock())
      Orvek::raise<Orvek::InvalidRequest>(kSource, "divideCycleCount", "Abnormal multicycle Path");
    if (Orvek::isDebug())
      Orvek::console.warning(first->getAlias() + " is not available for " + _subdomain->getAlias(),
                             "");
  }
}

Mask Scanner::getPriorityMask(const Mask& mask, bool longest) const {
  const Mask maxdelay = mask & analyzer->getMaxdelayPathMask();
  const Mask mindelay = mask & analyzer->getMindelayPathMask();
  const Mask multicycle = mask & analyzer->getMulticyclePathMask();
  Mask result;
  if (longest) {
    if (maxdelay.getNumber() != 0) {
      Delay best = Delay::getMaximum();
      for (CPath* path : analyzer->getCPaths(maxdelay)) {
        auto* delayPath = dynamic_cast<DPath*>(path);
        if (!delayPath) continue;
        const Delay limit = delayPath->getMaxdelay();
        if (limit < best) {
          best = limit;
          result = delayPath->getMask();
        }
      }
      return result;
    }
    if (multicycle.getNumber() != 0) {
      unsigned long best = std::numeric_limits<unsigned long>::max();
      for (CPath* path : analyzer->getCPaths(multicycle)) {
        auto* multicyclePath = dynamic_cast<MPath*>(path);
        if (!multicyclePath) continue;
        if (multicyclePath->getCycleCount() < best) {
          best = multicyclePath->getCycleCount();
          result = multicyclePath->getMask();
        }
      }
      return result;
    }
    if (mindelay.getNumber() != 0) {
      for (CPath* path : analyzer->getCPaths(mindelay))
        if (auto* delayPath = dynamic_cast<DPath*>(path)) return delayPath->getMask();
    }
    return result;
  }
  if (mindelay.getNumber() != 0) {
    Delay best = Delay::getMinimum();
    for (CPath* path : analyzer->getCPaths(mindelay)) {
      auto* delayPath = dynamic_cast<DPath*>(path);
      if (!delayPath) continue;
      const Delay limit = delayPath->getMindelay();
      if (limit.getValue() > best.getValue()) {
        best = limit;
        result = delayPath->getMask();
      }
    }
    return result;
  }
  if (maxdelay.getNumber() != 0) {
    for (CPath* path : analyzer->getCPaths(maxdelay))
      if (auto* delayPath = dynamic_cast<DPath*>(path)) return delayPath->getMask();
    return result;
  }
  if (multicycle.getNumber() != 0) {
    for (CPath* path : analyzer->getCPaths(multicycle))
      if (auto* multicyclePath = dynamic_cast<MPath*>(path)) return multicyclePath->getMask();
  }
  return result;
}

// ---- Propagation ---------------------------------------------------------------

namespace {

using Arc = GraphImage::Arc;

// The number of the mask a pole or edge holds as `packed`, as its Mask
// would give it: a number the mask tables no longer hold reads as invalid.
unsigned long getMaskNumber(uint32_t packed) {
  return packed == 0 ? 0 : Mask(unpackMaskNumber(packed)).getNumber();
}

// Which poles of the graph image are in `poles`, by index.
std::vector<bool> indexPoles(const std::vector<Pole*>& poles) {
  const GraphImage& image = GraphImage::get();
  std::vector<bool> indexed(image.getSize(), false);
  for (const Pole* pole : poles) {
    const uint32_t index = image.getIndex(pole);
    if (index != GraphImage::none) indexed[index] = true;
  }
  return indexed;
}

// The false-path cut of a pole, its closing mask & the false-path mask.
class FalsePathCut {
 public:
  explicit FalsePathCut(const Mask& falsePaths)
      : _falsePaths(falsePaths), _ofNone((Mask() & falsePaths).getNumber()) {}
  unsigned long get(uint32_t closing) const {
    return closing == 0 ? _ofNone : (Mask(unpackMaskNumber(closing)) & _falsePaths).getNumber();
  }

 private:
  Mask _falsePaths;
  unsigned long _ofNone;
};

// Clock arrivals, travelling backward from a leaf to the clock root along
// cell arcs and interconnect.
struct ClockPass {
  ClockPass(Pole* root, PoleTimingMap& clocks)
      : root(root ? GraphImage::get().getIndex(root) : GraphImage::none),
        clocks(clocks),
        falsePathMask(analyzer->getFalsePathMask()),
        cut(falsePathMask) {}

  uint32_t root;
  PoleTimingMap& clocks;
  Mask falsePathMask;
  FalsePathCut cut;

  PoleTimingMap& getTable() { return clocks; }
  static const Arc* beginArcs(const GraphImage& image, uint32_t pole) {
    return image.beginIncoming(pole);
  }
  static const Arc* endArcs(const GraphImage& image, uint32_t pole) {
    return image.endIncoming(pole);
  }
  static bool isFollowed(const Arc& arc) { return arc.carriesClock(); }
  static bool isRefused(const GraphImage&, uint32_t) { return false; }
  bool isEnd(const GraphImage&, uint32_t pole) const { return pole == root; }
  void handleEnd(const GraphImage& image, uint32_t index) {
    Pole* pole = image.getPole(index);
    TimingMap& map = clocks[pole];
    map = TimingMap{{0, Timing(Delay(0), Delay(0))}};
    Scanner::mingle(pole->getOpeningMask() & falsePathMask, map);
  }
  unsigned long getCutMask(const GraphImage& image, uint32_t pole) const {
    return cut.get(image.getClosingMask(pole));
  }
  static unsigned long getStartMask(const GraphImage& image, uint32_t pole) {
    return getMaskNumber(image.getOpeningMask(pole));
  }
  static void shift(const GraphImage&, const Arc& arc, uint32_t, Timing& timing) {
    timing += Timing(Delay(arc.minimum), Delay(arc.maximum));
  }
};

}  // namespace

void Scanner::clockAnalyze(Pole* root, Pole* pole, VisitedSet& visited, PoleTimingMap& clocks) {
  ClockPass pass(root, clocks);
  Walk<ClockPass> walk(pass, visited);
  walk.run(pole);
  walk.publishMarks();
}

void Scanner::clockAnalyze() {
  // One side: the clock arrival of every leaf, collapsed into key 0.
  const auto analyzeSide = [this](Pole* root, const std::vector<Pole*>& leaves, bool launch) {
    analyzer->unmark();
    const VisitedSet visited;
    PoleTimingMap clocks;
    ClockPass pass(root, clocks);
    Walk<ClockPass> walk(pass, visited);
    PoleTimingMap& table = launch ? _launchMap : _latchMap;
    for (Pole* leaf : leaves) {
      if (walk.isMarked(leaf)) continue;
      if (launch ? leaf->isInput() : leaf->isOutput()) {
        table.assign(leaf->getNumber(), TimingMap(0, Timing(Delay(0), Delay(0))));
        continue;
      }
      walk.run(leaf);
      TimingMap holder;
      const TimingMap* found = clocks.find(leaf, holder);
      if (!found) continue;
      Delay low = Delay::getMaximum();
      Delay high = Delay::getMinimum();
      for (const auto& [key, timing] : *found) {
        const Delay minimum = timing.getMinimumDelay();
        const Delay maximum = timing.getMaximumDelay();
        if (low == Delay::getUndefined())
          low = minimum;
        else if (minimum != Delay::getUndefined() && minimum < low)
          low = minimum;
        if (high == Delay::getUndefined())
          high = maximum;
        else if (maximum != Delay::getUndefined() && high < maximum)
          high = maximum;
      }
      table.assign(leaf->getNumber(), TimingMap(0, Timing(low, high)));
    }
  };
  if (Pole* root = _subdomain->getLaunchRoot())
    analyzeSide(root, _subdomain->getLaunchLeafList(), true);
  if (Pole* root = _subdomain->getLatchRoot())
    analyzeSide(root, _subdomain->getLatchLeafList(), false);
  analyzer->unmark();
}

namespace {

// Data arrivals, travelling backward from a pole to the launch leaves.
struct ArrivalPass {
  static constexpr bool fromLower = true;

  ArrivalPass(Scanner& scanner, PoleTimingMap& arrivals, const std::vector<Pole*>& launchLeaves,
              void (Scanner::*start)(const GraphImage&, uint32_t))
      : scanner(scanner),
        arrivals(arrivals),
        launchLeaves(indexPoles(launchLeaves)),
        start(start),
        cut(analyzer->getFalsePathMask()) {}

  Scanner& scanner;
  PoleTimingMap& arrivals;
  std::vector<bool> launchLeaves;
  // Gives a launch leaf its arrival.
  void (Scanner::*start)(const GraphImage&, uint32_t);
  FalsePathCut cut;

  PoleTimingMap& getTable() { return arrivals; }
  static const Arc* beginArcs(const GraphImage& image, uint32_t pole) {
    return image.beginIncoming(pole);
  }
  static const Arc* endArcs(const GraphImage& image, uint32_t pole) {
    return image.endIncoming(pole);
  }
  static bool isFollowed(const Arc&) { return true; }
  static bool isRefused(const GraphImage&, uint32_t) { return false; }
  static const std::vector<bool>* getReached() { return nullptr; }
  static bool isEnd(const GraphImage& image, uint32_t pole) {
    return image.hasFact(pole, GraphImage::Initial);
  }
  // A start point that is not a launch leaf gets no arrival.
  void handleEnd(const GraphImage& image, uint32_t pole) {
    if (launchLeaves[pole]) (scanner.*start)(image, pole);
  }
  unsigned long getCutMask(const GraphImage& image, uint32_t pole) const {
    return cut.get(image.getClosingMask(pole));
  }
  static unsigned long getStartMask(const GraphImage& image, uint32_t pole) {
    return getMaskNumber(image.getOpeningMask(pole));
  }
  // The edge's target is the pole being computed: into a register's data
  // side, the check arc widens the window by the hold and setup times.
  static void shift(const GraphImage& image, const Arc& arc, uint32_t pole, Timing& timing) {
    if (image.hasFact(pole, GraphImage::Dual))
      takeSetupHoldOf(Delay(arc.minimum), Delay(arc.maximum), timing);
    else
      timing += Timing(Delay(arc.minimum), Delay(arc.maximum));
  }
};

// The capture point of an end point: its clock pole, or under SDC
// conventions an output port itself (its output delay times it).
uint32_t getCaptureIndex(const GraphImage& image, uint32_t end) {
  const uint32_t clock = image.getClock(end);
  if (clock == GraphImage::none && analyzer->isSdc() && image.hasFact(end, GraphImage::Output))
    return end;
  return clock;
}

// Required times, travelling forward from a pole to the capture side.
struct RequirePass {
  static constexpr bool fromLower = false;

  Scanner& scanner;
  PoleTimingMap& required;
  const PoleTimingMap& arrivals;
  // The poles with an arrival by index, when known.
  const std::vector<bool>* arrivalIndices;
  // The subdomain's latch leaves by index, and whether it has a latch root.
  std::vector<bool> latchLeaves;
  bool latchRoot;
  // Gives an end point its required time.
  void (Scanner::*end)(const GraphImage&, uint32_t);

  PoleTimingMap& getTable() { return required; }
  static const Arc* beginArcs(const GraphImage& image, uint32_t pole) {
    return image.beginOutgoing(pole);
  }
  static const Arc* endArcs(const GraphImage& image, uint32_t pole) {
    return image.endOutgoing(pole);
  }
  static bool isFollowed(const Arc&) { return true; }
  // The poles with an arrival are those the walks from the launch leaves
  // with an arrival enter: each got its arrival from a far end with one,
  // back to a launch leaf, and the walks enter no other pole.
  const std::vector<bool>* getReached() const { return arrivalIndices; }
  // Only poles with an arrival time are entered.
  bool isRefused(const GraphImage& image, uint32_t pole) const {
    if (arrivalIndices) return !(*arrivalIndices)[pole];
    return arrivals.findPositionByNumber(image.getNumber(pole)) == PoleTimingMap::npos;
  }
  static bool isEnd(const GraphImage& image, uint32_t pole) {
    return image.hasFact(pole, GraphImage::Terminal);
  }
  // With a latch root, an end point whose clock is a latch leaf gets a
  // required time; without, an end point that is a latch leaf.
  void handleEnd(const GraphImage& image, uint32_t index) {
    const uint32_t captured = latchRoot ? getCaptureIndex(image, index) : index;
    if (captured != GraphImage::none && latchLeaves[captured]) (scanner.*end)(image, index);
  }
  static unsigned long getCutMask(const GraphImage& image, uint32_t pole) {
    return getMaskNumber(image.getOpeningMask(pole));
  }
  static unsigned long getStartMask(const GraphImage& image, uint32_t pole) {
    return getMaskNumber(image.getClosingMask(pole));
  }
  static void shift(const GraphImage& image, const Arc& arc, uint32_t, Timing& timing) {
    if (image.hasFact(arc.getFar(), GraphImage::Dual))
      freeSetupHoldOf(Delay(arc.minimum), Delay(arc.maximum), timing);
    else
      timing -= Timing(Delay(arc.maximum), Delay(arc.minimum));
  }
};

}  // namespace

void Scanner::arrivalAnalyze(Pole* pole, VisitedSet& visited) {
  _arrivalIndices.clear();
  ArrivalPass pass(*this, _arrivalMap, _subdomain->getLaunchLeafList(), &Scanner::startArrival);
  Walk<ArrivalPass> walk(pass, visited);
  walk.run(pole);
  walk.publishMarks();
}

void Scanner::startArrival(const GraphImage& image, uint32_t index) {
  Pole* pole = image.getPole(index);
  const uint32_t number = image.getNumber(index);
  const Mask opening(unpackMaskNumber(image.getOpeningMask(index)));
  TimingMap map;
  if (_subdomain->getLaunchRoot()) {
    const std::size_t launch = _launchMap.findPositionByNumber(number);
    if (launch == PoleTimingMap::npos) return;
    _launchMap.copyAt(launch, map);
    sensibilize(Mask(), map);
    IOConstraint constraint;
    if (image.hasFact(index, GraphImage::Input) && analyzer->hasInputConstraint(pole, constraint))
      addDelay(constraint.getMinimum(), constraint.getMaximum(), map);
  } else {
    map[0] = Timing(Delay(0), Delay(0));
  }
  mingle(opening, map);
  _arrivalMap.assign(number, std::move(map));
}

void Scanner::arrivalAnalyze() {
  ArrivalPass pass(*this, _arrivalMap, _subdomain->getLaunchLeafList(), &Scanner::startArrival);
  Propagation<ArrivalPass> propagation(pass, getArrivalStarts(), &_arrivalIndices);
  if (propagation.isSwept()) {
    _arrivalVersion = GraphImage::getVersion();
  } else {
    _arrivalIndices.clear();
    // Room for every pole, so that the table never moves while it fills:
    // the room not written costs address space only, and the table is
    // trimmed at the end.
    _arrivalMap.reserve(Pole::getNumberBound());
  }
  try {
    captureArrivals(propagation);
  } catch (...) {
    // The table is now that of the walks made so far, not the sweep's.
    _arrivalIndices.clear();
    propagation.fail();
    throw;
  }
  // A domain keeps the tables of all its subdomains until its last step.
  _arrivalMap.shrink_to_fit();
  analyzer->unmark();
}

std::vector<Pole*> Scanner::getArrivalStarts() const {
  std::vector<Pole*> starts;
  if (!_subdomain->getLatchRoot()) {
    const std::vector<Pole*>& leaves = _subdomain->getLatchLeafList();
    starts.assign(leaves.begin(), leaves.end());
    return starts;
  }
  for (Pole* leaf : _subdomain->getLatchLeafList()) {
    if (!_latchMap.contains(leaf)) continue;
    Pole* data = leaf->getMode().getCode() != Mode::None ? leaf->getDual() : leaf;
    // The pass stops at a register without data side.
    if (!data) break;
    starts.push_back(data);
  }
  return starts;
}

template <class Propagation>
void Scanner::captureArrivals(Propagation& propagation) {
  const Mask multicycleMask = analyzer->getMulticyclePathMask();
  // Widens the subdomain's arrival window by one capture-side timing.
  const auto capture = [this, &multicycleMask](unsigned long key, const Timing& timing) {
    _arrivalTiming.combine(timing);
    if (_subdomain->isPureClock() && timing.getMaximumDelay() == _arrivalTiming.getMaximumDelay()) {
      if (meets(Mask(key), multicycleMask))
        _subdomain->setMPathCritical();
      else
        _subdomain->resetMPathCritical();
    }
    _subdomain->setLAT(_arrivalTiming.getMaximumDelay());
    _subdomain->setSAT(_arrivalTiming.getMinimumDelay());
  };
  if (_subdomain->getLatchRoot()) {
    for (Pole* leaf : _subdomain->getLatchLeafList()) {
      TimingMap latchMap;
      if (!copyMap(_latchMap, leaf, latchMap)) continue;
      sensibilize(Mask(), latchMap);
      Pole* data = leaf;
      if (leaf->getMode().getCode() != Mode::None) {
        data = leaf->getDual();
        if (!data)
          Orvek::raise<Orvek::InvalidRequest>(kSource, "arrivalAnalyze",
                                              "Null input data for " + leaf->getReportName());
      }
      propagation.walkFrom(data);
      TimingMap map;
      if (!copyMap(_arrivalMap, data, map)) continue;
      IOConstraint constraint;
      if (data->isOutput() && analyzer->hasOutputConstraint(data, constraint))
        addDelay(constraint.getMinimum(), constraint.getMaximum(), map);
      minusLatchTiming(latchMap[0], map);
      divideCycleCount(map);
      for (const auto& [key, timing] : map) capture(key, timing);
    }
  } else {
    for (Pole* leaf : _subdomain->getLatchLeafList()) {
      if (!leaf->isOutput()) Orvek::console.warning("Not an output pole", "");
      propagation.walkFrom(leaf);
      TimingMap map;
      if (!copyMap(_arrivalMap, leaf, map)) continue;
      filter(analyzer->getMaxdelayPathMask(), analyzer->getMindelayPathMask(), map);
      for (const auto& [key, timing] : map) capture(key, timing);
    }
  }
}

void Scanner::requireAnalyze(Pole* pole, VisitedSet& visited) {
  RequirePass pass{*this,
                   _requireMap,
                   _arrivalMap,
                   nullptr,
                   indexPoles(_subdomain->getLatchLeafList()),
                   _subdomain->getLatchRoot() != nullptr,
                   &Scanner::endRequire};
  Walk<RequirePass> walk(pass, visited);
  walk.run(pole);
  walk.publishMarks();
}

void Scanner::endRequire(const GraphImage& image, uint32_t index) {
  Pole* pole = image.getPole(index);
  const Delay setup = _subdomain->getSetupRelation();
  const Delay hold = _subdomain->getHoldRelation();
  TimingMap map;
  if (_subdomain->getLatchRoot()) {
    const uint32_t clock = getCaptureIndex(image, index);
    const std::size_t latch = _latchMap.findPositionByNumber(image.getNumber(clock));
    if (latch == PoleTimingMap::npos) return;
    TimingMap holder;
    const Timing timing = getEntry(_latchMap.readAt(latch, holder), 0);
    const Delay minimum = setup + timing.getMinimumDelay();
    // The earliest allowed arrival is the hold edge; the literal rules
    // subtract the hold relation instead.
    const Delay maximum =
        analyzer->isSdc() ? timing.getMaximumDelay() + hold : timing.getMaximumDelay() + (-hold);
    map[0] = Timing(minimum, maximum);
    IOConstraint constraint;
    if (image.hasFact(index, GraphImage::Output) && analyzer->hasOutputConstraint(pole, constraint))
      minusDelay(constraint.getMinimum(), constraint.getMaximum(), map);
  } else {
    map[0] = Timing(setup, -hold);
  }
  noteEndGap(pole, map[0].getMaximumDelay());
  mingle(Mask(unpackMaskNumber(image.getClosingMask(index))), map);
  _requireMap.assign(image.getNumber(index), std::move(map));
}

void Scanner::requireAnalyze() {
  const bool indexed = !_arrivalIndices.empty() && _arrivalVersion == GraphImage::getVersion();
  RequirePass pass{*this,
                   _requireMap,
                   _arrivalMap,
                   indexed ? &_arrivalIndices : nullptr,
                   indexPoles(_subdomain->getLatchLeafList()),
                   _subdomain->getLatchRoot() != nullptr,
                   &Scanner::endRequire};
  // The walks start at the launch leaves with an arrival (the arrival
  // table does not change while they run).
  const std::vector<Pole*>& leaves = _subdomain->getLaunchLeafList();
  std::vector<Pole*> starts;
  std::vector<bool> starting(leaves.size(), false);
  for (std::size_t position = 0; position < leaves.size(); ++position) {
    if (!_arrivalMap.contains(leaves[position])) continue;
    starts.push_back(leaves[position]);
    starting[position] = true;
  }
  _endGap = INT64_MAX;
  Propagation<RequirePass> propagation(pass, starts);
  // Only poles with an arrival time are entered: their count bounds the
  // table, which then never grows (and never holds two copies of itself).
  if (!propagation.isSwept()) _requireMap.reserve(_arrivalMap.size());
  try {
    const bool inputs = !_subdomain->getLaunchRoot();
    for (std::size_t position = 0; position < leaves.size(); ++position) {
      if (inputs && !leaves[position]->isInput()) Orvek::console.warning("Not an input pole", "");
      if (starting[position]) propagation.walkFrom(leaves[position]);
    }
  } catch (...) {
    // Not every end point was seen: the search gets no gap.
    _endGap = INT64_MIN;
    propagation.fail();
    throw;
  }
  _requireMap.shrink_to_fit();
  analyzer->unmark();
}

// ---- Slacks ----------------------------------------------------------------------

namespace {

// The required time left for a class once the entries sharing one of its
// constraints are dropped and the rest merged: the earliest minimum
// (`minimum`) or the latest maximum of those entries, Undefined if none.
Delay getFreeRequired(const TimingMap& required, const Mask& mask, bool minimum) {
  Timing merged;
  const bool filtering = mask.getNumber() != 0;
  for (const auto& [key, timing] : required)
    if (!filtering || !meets(Mask(key), mask)) merged.combine(timing);
  return minimum ? merged.getMinimumDelay() : merged.getMaximumDelay();
}

}  // namespace

Delay Scanner::calculateLSlack(Edge* edge, const Mask& mask, const Delay& arrival) const {
  if (!edge) Orvek::raise<Orvek::InvalidRequest>(kSource, "calculateLSlack", "Null edge");
  return getLSlack(edge, mask, arrival);
}

Delay Scanner::calculateSSlack(Edge* edge, const Mask& mask, const Delay& arrival) const {
  if (!edge) Orvek::raise<Orvek::InvalidRequest>(kSource, "calculateSSlack", "Null edge");
  return getSSlack(edge, mask, arrival);
}

Delay Scanner::calculateLSlack(Edge* edge, const Mask& mask, const Delay& arrival,
                               CPath* path) const {
  if (!edge) Orvek::raise<Orvek::InvalidRequest>(kSource, "calculateLSlack", "Null edge");
  return getConstrainedSlack(edge, mask, arrival, path, true);
}

Delay Scanner::calculateSSlack(Edge* edge, const Mask& mask, const Delay& arrival,
                               CPath* path) const {
  if (!edge) Orvek::raise<Orvek::InvalidRequest>(kSource, "calculateSSlack", "Null edge");
  return getConstrainedSlack(edge, mask, arrival, path, false);
}

Delay Scanner::getLSlack(const Edge* edge, const Mask& mask, const Delay& arrival) const {
  TimingMap holder;
  const TimingMap* found = _requireMap.find(edge->getTarget(), holder);
  if (!found) return Delay::getUndefined();
  const Delay required = getFreeRequired(*found, getEdgeClass(edge, mask), true);
  return required - (arrival + edge->getMaximumDelay());
}

Delay Scanner::getSSlack(const Edge* edge, const Mask& mask, const Delay& arrival) const {
  const Pole* target = edge->getTarget();
  TimingMap holder;
  const TimingMap* found = _requireMap.find(target, holder);
  if (!found) return Delay::getUndefined();
  const Mask edgeClass = getEdgeClass(edge, mask);
  // A check arc into a register's data side counts its hold time against
  // the arrival.
  const Delay after =
      target->isDual() ? arrival - edge->getMinimumDelay() : arrival + edge->getMinimumDelay();
  return after - getFreeRequired(*found, edgeClass, false);
}

double Scanner::getCycleFactor() const {
  Pole* launchRoot = _subdomain->getLaunchRoot();
  const Mode::Code launchMode = _subdomain->getLaunchMode().getCode();
  if (!launchRoot || launchRoot != _subdomain->getLatchRoot() ||
      launchMode == _subdomain->getLatchMode().getCode())
    return 1.0;
  const auto duty = static_cast<unsigned long>(analyzer->getDutyRatio(launchRoot));
  const unsigned long phase = launchMode == Mode::Rising ? duty : 100 - duty;
  // A clock without a high (or low) phase has no half-period correction.
  if (phase == 0) return 1.0;
  return static_cast<double>(100 / phase);
}

Pole* Scanner::getCapture(Pole* end) {
  Pole* clock = end->getClock();
  return !clock && analyzer->isSdc() && end->isOutput() ? end : clock;
}

namespace {

// A delay far enough from the codes and the 32-bit bounds that sums of a
// few of them neither wrap nor saturate.
bool isModest(const Delay& delay) {
  return delay != Delay::getUndefined() && delay.getValue() > -(1 << 29) &&
         delay.getValue() < (1 << 29);
}

}  // namespace

Delay Scanner::getLatchDelay(const Pole* capture, bool longest) const {
  if (!capture || !_subdomain->getLatchLeafSet().count(const_cast<Pole*>(capture)) ||
      !_latchMap.contains(capture))
    return Delay(0);
  TimingMap holder;
  const Timing timing = getEntry(*_latchMap.find(capture, holder), 0);
  return longest ? timing.getMinimumDelay() : timing.getMaximumDelay();
}

Delay Scanner::getLaunchDelay(const Pole* source, bool modeRequired, bool longest) const {
  if ((modeRequired && source->getMode().getCode() == Mode::None) || !_launchMap.contains(source))
    return Delay(0);
  TimingMap holder;
  const Timing timing = getEntry(*_launchMap.find(source, holder), 0);
  return longest ? timing.getMaximumDelay() : timing.getMinimumDelay();
}

// A hold route ending at `end` reports the slack (arrival + data delay) -
// (latch delay + hold relation); the search bounds it by (arrival + data
// delay) - required. Their difference at each end point is known once the
// required times are: the search cuts branches by the least of them.
void Scanner::noteEndGap(Pole* end, const Delay& required) {
  const Delay hold = _subdomain->getHoldRelation();
  const Delay latch = getLatchDelay(getCapture(end), false);
  const Delay output = getOutputDelay(end, false);
  if (!isModest(required) || !isModest(hold) || !isModest(latch) || !isModest(output)) {
    _endGap = INT64_MIN;
    return;
  }
  const int64_t gap = int64_t{required.getValue()} -
                      (int64_t{latch.getValue()} - output.getValue() + hold.getValue());
  _endGap = std::min(_endGap, gap);
}

// A route from `start` reports its launch delay where the search started
// from `arrival`: the gap at the end points less that difference.
int64_t Scanner::getHoldGap(const Pole* start, const Delay& arrival) const {
  if (_endGap == INT64_MIN || _endGap == INT64_MAX) return 0;
  const Delay launch = getLaunchDelay(start, true, false);
  const Delay input = getInputDelay(start, false);
  if (!isModest(arrival) || !isModest(launch) || !isModest(input)) return 0;
  const int64_t gap =
      _endGap - (int64_t{arrival.getValue()} - launch.getValue() - input.getValue());
  return std::max<int64_t>(gap, 0);
}

Delay Scanner::getCycleExtension(unsigned long cycles) const {
  Pole* latchRoot = _subdomain->getLatchRoot();
  if (!latchRoot || cycles < 2) return Delay(0);
  const Delay period = analyzer->getRequiredPeriod(latchRoot);
  if (period == Delay::getUndefined()) return Delay(0);
  const int64_t extension = static_cast<int64_t>(cycles - 1) * period.getValue();
  return Delay(truncate(static_cast<double>(extension)));
}

Delay Scanner::getInputDelay(const Pole* source, bool longest) const {
  IOConstraint constraint;
  if (!analyzer->isSdc() || !source->isInput() ||
      !analyzer->hasInputConstraint(const_cast<Pole*>(source), constraint))
    return Delay(0);
  return longest ? constraint.getMaximum() : constraint.getMinimum();
}

Delay Scanner::getOutputDelay(const Pole* target, bool longest) const {
  IOConstraint constraint;
  if (!analyzer->isSdc() || !_subdomain->getLatchRoot() || !target->isOutput() ||
      !analyzer->hasOutputConstraint(const_cast<Pole*>(target), constraint))
    return Delay(0);
  return longest ? constraint.getMaximum() : constraint.getMinimum();
}

Delay Scanner::getConstrainedSlack(const Edge* edge, const Mask& mask, const Delay& arrival,
                                   CPath* path, bool longest) const {
  if (!path) return Delay::getUndefined();
  const auto time = getConstrainedTime(edge->getTarget(), getEdgeClass(edge, mask), path, longest);
  return time ? getConstrainedSlack(edge, arrival, *time, path, longest) : Delay::getUndefined();
}

std::optional<Delay> Scanner::getConstrainedTime(const Pole* target, const Mask& edgeClass,
                                                 CPath* path, bool longest) const {
  TimingMap required;
  if (!copyMap(_requireMap, target, required)) return std::nullopt;
  filter(edgeClass & analyzer->getFalsePathMask(), required);
  sensibilize(path->getMask(), required);
  for (const auto& [key, timing] : required)
    if (meets(Mask(key), path->getMask()))
      return longest ? timing.getMinimumDelay() : timing.getMaximumDelay();
  return Delay::getUndefined();
}

Delay Scanner::getConstrainedSlack(const Edge* edge, const Delay& arrival, const Delay& time,
                                   CPath* path, bool longest) const {
  const Delay setup = _subdomain->getSetupRelation();
  if (longest) {
    // A setup relationship held as a code (no unconstrained path reached the
    // subdomain's ends) is no time: the required times built on it are none
    // either, so, as with an Undefined required time, there is no slack.
    if (setup == Delay::getMinimum() || setup == Delay::getMaximum()) return Delay::getUndefined();
    Delay result = time - (arrival + edge->getMaximumDelay());
    if (auto* delayPath = dynamic_cast<DPath*>(path)) {
      if (delayPath->isMaximum()) result = delayPath->getMaxdelay() - (setup - result);
    } else if (auto* multicycle = dynamic_cast<MPath*>(path); multicycle && analyzer->isSdc()) {
      result = result + getCycleExtension(multicycle->getCycleCount());
    } else if (multicycle) {
      const double cycles = static_cast<double>(multicycle->getCycleCount()) - 1.0;
      const double extension = cycles * getCycleFactor() * static_cast<double>(setup.getValue());
      result = result + Delay(truncate(extension));
    }
    return result;
  }
  const Pole* target = edge->getTarget();
  const Delay after =
      target->isDual() ? arrival - edge->getMinimumDelay() : arrival + edge->getMinimumDelay();
  Delay result = after - time;
  if (auto* delayPath = dynamic_cast<DPath*>(path))
    if (!delayPath->isMaximum()) result = result - delayPath->getMindelay();
  return result;
}

// An edge keeps the least slack it is given, so the poles may come in any
// order: the table is walked as it stands, not sorted by creation.
void Scanner::tagSlacks() {
  const Mask constrainedMask = analyzer->getMaxdelayPathMask() | analyzer->getMulticyclePathMask();
  _arrivalMap.visitUnordered([&](Pole* pole, const TimingMap& arrivals) {
    for (Edge* edge : pole->getOutgoingEdgeSet()) {
      Delay best = Delay::getMaximum();
      for (const auto& [key, timing] : arrivals) {
        const Mask mask(key);
        const Delay arrival = timing.getMaximumDelay();
        Delay slack = getLSlack(edge, mask, arrival);
        if (slack != Delay::getUndefined() && slack < best) best = slack;
        const Mask constrained = mask & constrainedMask;
        if (constrained.getNumber() == 0) continue;
        for (CPath* path : analyzer->getCPaths(constrained)) {
          slack = getConstrainedSlack(edge, mask, arrival, path, true);
          if (slack != Delay::getUndefined() && slack < best) best = slack;
        }
      }
      const Delay current = edge->getSlack();
      if (current == Delay::getUndefined()) {
        if (best != Delay::getMaximum()) edge->setSlack(best);
      } else if (best < current) {
        edge->setSlack(best);
      }
    }
  });
}

// ---- Route search ----------------------------------------------------------------

void Scanner::searchLongestRoutes(Delay limit, unsigned long count) {
  if (count == 0) {
    // Only the maximum delay paths, each from its sources once, keeping up
    // to 50 routes below -1 ps.
    limit = Delay(-1);
    count = 50;
    unsigned long found = 0;
    RouteSearch search(*this, true, limit, found, count);
    for (DPath* path : analyzer->getMaxdelayPaths()) {
      const Delay difference = path->getMaxdelay() - _subdomain->getSetupRelation();
      if (difference == Delay::getUndefined())
        Orvek::raise<Orvek::InvalidRequest>(kSource, "searchLongestRoutes",
                                            "Undefined difference delay");
      searchSources(search, path, difference);
    }
    return;
  }
  if (limit == Delay::getUndefined())
    Orvek::raise<Orvek::InvalidRequest>(kSource, "searchLongestRoutes", "Undefined maximumSlack");
  searchRoutes(true, limit, count);
}

void Scanner::searchShortestRoutes(Delay limit, unsigned long count) {
  if (limit == Delay::getUndefined())
    Orvek::raise<Orvek::InvalidRequest>(kSource, "searchShortestRoutes", "Undefined maximumSlack");
  if (count == 0)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "searchShortestRoutes", "Zero limit");
  searchRoutes(false, limit, count);
}

Delay Scanner::getStartArrival(Pole* pole, bool longest) const {
  TimingMap holder;
  const Timing timing =
      getEntry(*_arrivalMap.find(pole, holder), (Mask() | pole->getOpeningMask()).getNumber());
  return longest ? timing.getMaximumDelay() : timing.getMinimumDelay();
}

void Scanner::searchSources(RouteSearch& search, CPath* path, const Delay& difference) {
  const VisitedSet visited;
  std::vector<Edge*> edges;
  for (Pole* source : path->getSourceSet()) {
    if (!_arrivalMap.contains(source)) continue;
    Mask mask;
    Delay arrival = getStartArrival(source, search.isLongest());
    search.run(source, path, difference, mask, visited, edges, arrival);
  }
}

void Scanner::searchRoutes(bool longest, Delay limit, unsigned long count) {
  if (limit != Delay::getMaximum()) limit = limit + Delay(1);
  unsigned long found = 0;
  RouteSearch search(*this, longest, limit, found, count);
  const VisitedSet visited;
  std::vector<Edge*> edges;

  // Start points ranked by the best slack of their first edges, so that the
  // limit drops early.
  std::map<Delay, PoleSet> ranking;
  for (Pole* leaf : _subdomain->getLaunchLeafList()) {
    Delay best = Delay::getMaximum();
    for (Edge* edge : leaf->getOutgoingEdgeSet()) {
      if (!_arrivalMap.contains(leaf)) continue;
      const Delay arrival = getStartArrival(leaf, longest);
      const Delay slack =
          longest ? getLSlack(edge, Mask(), arrival) : getSSlack(edge, Mask(), arrival);
      if (slack == Delay::getUndefined()) continue;
      if (best == Delay::getUndefined() || slack < best) best = slack;
    }
    ranking[best].insert(leaf);
  }
  for (const auto& [slack, leaves] : ranking) {
    for (Pole* leaf : leaves) {
      if (!_arrivalMap.contains(leaf)) continue;
      Mask mask;
      Delay arrival = getStartArrival(leaf, longest);
      search.setGap(longest ? 0 : getHoldGap(leaf, arrival));
      search.run(leaf, nullptr, Delay(0), mask, visited, edges, arrival);
    }
  }
  search.setGap(0);

  // The poles that capture the targets of a path constraint in this
  // subdomain, each once.
  const auto getCaptures = [this](CPath* path) {
    std::vector<Pole*> captures;
    for (Pole* target : path->getTargetSet()) {
      Pole* clock = getCapture(target);
      if (!clock || !_subdomain->getLatchLeafSet().count(clock) || !_latchMap.contains(clock))
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
      Pole* launchRoot = _subdomain->getLaunchRoot();
      if (longest && analyzer->isSdc()) {
        difference = getCycleExtension(path->getCycleCount());
      } else if (longest && launchRoot && launchRoot == _subdomain->getLatchRoot()) {
        const double cycles = static_cast<double>(path->getCycleCount()) - 1.0;
        const double longestArrival =
            static_cast<double>(_arrivalTiming.getMaximumDelay().getValue());
        difference = Delay(truncate(cycles * getCycleFactor() * longestArrival));
      }
      searchSources(search, path, difference);
    }
  }
  for (DPath* path : analyzer->getMaxdelayPaths()) {
    for (std::size_t capture = getCaptures(path).size(); capture > 0; --capture) {
      Delay difference(0);
      if (longest) {
        difference = path->getMaxdelay() - _subdomain->getSetupRelation();
        if (difference == Delay::getUndefined())
          Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Undefined difference delay");
      }
      searchSources(search, path, difference);
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
      searchSources(search, path, difference);
    }
  }
}

namespace {

// Runs one search step from `pole` with the caller's route given as a list.
void runStep(RouteSearch& search, Pole* pole, CPath* path, const Delay& difference, Mask& mask,
             const Scanner::VisitedSet& visited, std::list<Edge*>& edges, Delay& arrival) {
  std::vector<Edge*> route(edges.begin(), edges.end());
  search.run(pole, path, difference, mask, visited, route, arrival);
}

}  // namespace

void Scanner::searchLongestRoutes(Pole* pole, Mask& mask, VisitedSet& visited,
                                  std::list<Edge*>& edges, Delay& arrival, Delay& limit,
                                  unsigned long& found, const unsigned long& count) {
  RouteSearch search(*this, true, limit, found, count);
  runStep(search, pole, nullptr, Delay(0), mask, visited, edges, arrival);
}

void Scanner::searchShortestRoutes(Pole* pole, Mask& mask, VisitedSet& visited,
                                   std::list<Edge*>& edges, Delay& arrival, Delay& limit,
                                   unsigned long& found, const unsigned long& count) {
  RouteSearch search(*this, false, limit, found, count);
  runStep(search, pole, nullptr, Delay(0), mask, visited, edges, arrival);
}

void Scanner::searchLongestRoutes(Pole* pole, CPath* path, const Delay& difference, Mask& mask,
                                  VisitedSet& visited, std::list<Edge*>& edges, Delay& arrival,
                                  Delay& limit, unsigned long& found, const unsigned long& count) {
  RouteSearch search(*this, true, limit, found, count);
  runStep(search, pole, path, difference, mask, visited, edges, arrival);
}

void Scanner::searchShortestRoutes(Pole* pole, CPath* path, const Delay& difference, Mask& mask,
                                   VisitedSet& visited, std::list<Edge*>& edges, Delay& arrival,
                                   Delay& limit, unsigned long& found, const unsigned long& count) {
  RouteSearch search(*this, false, limit, found, count);
  runStep(search, pole, path, difference, mask, visited, edges, arrival);
}

}  // namespace Morva
