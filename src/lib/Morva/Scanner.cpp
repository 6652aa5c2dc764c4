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
#include <Morva/detail/ClockArithmetic.h>
#include <Morva/detail/GraphImage.h>
#include <Morva/detail/Passes.h>
#include <Morva/detail/Precedence.h>
#include <Morva/detail/Propagation.h>
#include <Morva/detail/RouteSearch.h>
#include <Morva/detail/TimingMaps.h>
#include <Orvek/Collection.h>
#include <Orvek/Console.h>
#include <Orvek/Debug.h>
#include <Orvek/Exception.h>
#include <Orvek/Prefetch.h>
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

using ClockArithmetic::truncate;
using TimingMaps::meets;

}  // namespace

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
  return TimingMaps::getEntry(map, key);
}

// ---- Timing-map operations -------------------------------------------------------

void Scanner::addDelay(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  TimingMaps::addDelay(minimum, maximum, map);
}

void Scanner::addDelay(const Delay& delay, TimingMap& map) {
  TimingMaps::addDelay(delay, delay, map);
}

void Scanner::minusDelay(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  TimingMaps::minusDelay(minimum, maximum, map);
}

void Scanner::minusDelay(const Delay& delay, TimingMap& map) {
  TimingMaps::minusDelay(delay, delay, map);
}

void Scanner::takeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  TimingMaps::takeSetupHold(minimum, maximum, map);
}

void Scanner::freeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  TimingMaps::freeSetupHold(minimum, maximum, map);
}

void Scanner::addLatchTiming(const Timing& latch, TimingMap& map) {
  TimingMaps::addLatchTiming(latch, map);
}

void Scanner::minusLatchTiming(const Timing& latch, TimingMap& map) {
  TimingMaps::minusLatchTiming(latch, map);
}

void Scanner::combine(const TimingMap& source, TimingMap& target) {
  TimingMaps::combine(source, target);
}

void Scanner::sensibilize(const Mask& mask, TimingMap& map) {
  TimingMaps::sensibilize(mask, map);
}

void Scanner::mingle(const Mask& mask, TimingMap& map) {
  TimingMaps::mingle(mask, map);
}

void Scanner::filter(const Mask& mask, TimingMap& map) {
  TimingMaps::filter(mask, map);
}

void Scanner::filter(const Mask& maxMask, const Mask& minMask, TimingMap& map) {
  TimingMaps::filter(maxMask, minMask, map);
}

// ---- Constraint precedence ---------------------------------------------------------

void Scanner::divideCycleCount(TimingMap& map) {
  Precedence(*analyzer, _subdomain).divideCycleCount(map);
}

Mask Scanner::getPriorityMask(const Mask& mask, bool longest) const {
  return Precedence(*analyzer).getPriorityMask(mask, longest);
}

// ---- Propagation ---------------------------------------------------------------

using Passes::ArrivalPass;
using Passes::ClockPass;
using Passes::getCaptureIndex;
using Passes::indexPoles;
using Passes::RequirePass;

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
      table.assign(leaf->getNumber(), TimingMap(0, TimingMaps::getEnvelope(*found)));
    }
  };
  if (Pole* root = _subdomain->getLaunchRoot())
    analyzeSide(root, _subdomain->getLaunchLeafList(), true);
  if (Pole* root = _subdomain->getLatchRoot())
    analyzeSide(root, _subdomain->getLatchLeafList(), false);
  analyzer->unmark();
}

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
    _arrivalEpoch = GraphEpoch::get();
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
  const bool indexed = !_arrivalIndices.empty() && _arrivalEpoch == GraphEpoch::get();
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
  const Delay required = TimingMaps::getFreeRequired(*found, getEdgeClass(edge, mask), true);
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
  return after - TimingMaps::getFreeRequired(*found, edgeClass, false);
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
    MPath* multicycle = asMulticyclePath(path);
    if (DPath* delayPath = asDelayPath(path)) {
      if (delayPath->isMaximum()) result = delayPath->getMaxdelay() - (setup - result);
    } else if (multicycle && analyzer->isSdc()) {
      result =
          result + Precedence(*analyzer, _subdomain).getCycleExtension(multicycle->getCycleCount());
    } else if (multicycle) {
      const double cycles = static_cast<double>(multicycle->getCycleCount()) - 1.0;
      const double extension = cycles * Precedence(*analyzer, _subdomain).getCycleFactor() *
                               static_cast<double>(setup.getValue());
      result = result + Delay(truncate(extension));
    }
    return result;
  }
  const Pole* target = edge->getTarget();
  const Delay after =
      target->isDual() ? arrival - edge->getMinimumDelay() : arrival + edge->getMinimumDelay();
  Delay result = after - time;
  if (DPath* delayPath = asDelayPath(path))
    if (!delayPath->isMaximum()) result = result - delayPath->getMindelay();
  return result;
}

// An edge keeps the least slack it is given, so the poles may come in any
// order: the table is walked as it stands, not sorted by creation.
void Scanner::tagSlacks() {
  const Mask constrainedMask = analyzer->getMaxdelayPathMask() | analyzer->getMulticyclePathMask();
  // A pole's edges are fetched before its turn, then their far ends, then
  // the entries of their required times.
  const auto fetchTargets = [this](const Pole* pole, int step) {
    const EdgeSet& edges = pole->getOutgoingEdgeSet();
    if (step == 0) {
      edges.prefetchFirst();
      return;
    }
    for (const Edge* edge : edges) {
      if (step == 1)
        Orvek::prefetch(edge->getTarget());
      else
        _requireMap.prefetch(edge->getTarget());
    }
  };
  _arrivalMap.visitUnordered<3>(
      [&](Pole* pole, const TimingMap& arrivals) {
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
      },
      fetchTargets);
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
      search.runSources(path, difference);
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

void Scanner::searchRoutes(bool longest, Delay limit, unsigned long count) {
  if (limit != Delay::getMaximum()) limit = limit + Delay(1);
  unsigned long found = 0;
  RouteSearch search(*this, longest, limit, found, count);
  search.runEntry();
}

namespace {

// Runs one search step from `pole` with the caller's route given as a list.
void runStep(RouteSearch& search, Pole* pole, CPath* path, const Delay& difference, Mask& mask,
             const PoleSet& visited, std::list<Edge*>& edges, Delay& arrival) {
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
