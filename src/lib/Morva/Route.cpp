#include <Morva/Route.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/ClockArithmetic.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Route";

using EdgeList = std::list<Edge*>;

// Walks the poles of a route: the first edge's source, then the target of
// every edge.
class RoutePoleLocator : public Orvek::Cloneable<RoutePoleLocator, Orvek::LocatorDriver<Pole*>> {
 public:
  RoutePoleLocator(EdgeList::const_iterator current, EdgeList::const_iterator end)
      : _current(current), _end(end) {}
  Pole* getCurrent() const override {
    return _atSource ? (*_current)->getSource() : (*_current)->getTarget();
  }
  bool isValid() const override { return _current != _end; }
  void progress() override {
    if (_atSource)
      _atSource = false;
    else
      ++_current;
  }

 private:
  EdgeList::const_iterator _current;
  EdgeList::const_iterator _end;
  bool _atSource = true;
};

class RoutePoleDriver : public Orvek::Cloneable<RoutePoleDriver, Orvek::CollectionDriver<Pole*>> {
 public:
  explicit RoutePoleDriver(const EdgeList& edges) : _edges(&edges) {}
  Orvek::Locator<Pole*> getLocator() const override {
    return Orvek::Locator<Pole*>::make<RoutePoleLocator>(_edges->begin(), _edges->end());
  }
  unsigned long getCount() const override { return _edges->empty() ? 0 : _edges->size() + 1; }
  bool isEmpty() const override { return _edges->empty(); }

 private:
  const EdgeList* _edges;
};

// The delay of the edges of a route, edges into dual poles (checks) left
// out.
template <class EdgeRange>
Delay getDataDelay(const EdgeRange& edges, bool longest) {
  Delay data(0);
  for (const Edge* edge : edges)
    if (!edge->getTarget()->isDual())
      data += longest ? edge->getMaximumDelay() : edge->getMinimumDelay();
  return data;
}

// The slack of a route of `edges` (not empty), in the order of operations
// of the delay accessors: the data delay less the skew, with the setup or
// hold time of a check at the end.
template <class EdgeRange>
Delay getRouteSlack(const Subdomain* subdomain, bool longest, const EdgeRange& edges,
                    const Delay& latchDelay, const Delay& launchDelay, const Delay& difference) {
  const Delay delay =
      getDataDelay(edges, longest) - ClockArithmetic::getWrappedDifference(latchDelay, launchDelay);
  const Edge* last = edges.back();
  const bool check = last->getTarget()->isDual();
  if (longest)
    return (subdomain->getSetupRelation() -
            (delay + (check ? last->getMaximumDelay() : Delay(0)))) +
           difference;
  return ((delay - (check ? last->getMinimumDelay() : Delay(0))) - subdomain->getHoldRelation()) -
         difference;
}

// The factory's refusal of a route.
[[noreturn]] void refuse(const char* message) {
  Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", message);
}

void addObject(Orvek::Record* record, const std::string& name, const Object* object) {
  if (object)
    record->addSlot(object->_getSlot(name));
  else
    record->addSlot(Orvek::NullSlot::create(name));
}

}  // namespace

Route::Route(Subdomain* subdomain, bool longest, const Edges& edges, const Delay& latchDelay,
             const Delay& launchDelay, const Delay& difference)
    : _subdomain(subdomain),
      _latchDelay(static_cast<int>(latchDelay)),
      _launchDelay(static_cast<int>(launchDelay)),
      _difference(static_cast<int>(difference)) {
  for (Edge* edge : edges) _edges.push_back(edge);
  setFlagBit(1, longest);
}

void Route::preCreate(Subdomain* subdomain, bool, const Edges& edges, const Delay& latchDelay,
                      const Delay& launchDelay, const Delay& difference) {
  Object::preCreate();
  if (!subdomain) refuse("Null subdomain");
  std::vector<Edge*> chain;
  for (Edge* edge : edges) {
    if (!edge) refuse("Null edge");
    chain.push_back(edge);
  }
  if (chain.empty()) refuse("Empty edges");
  Pole* source = chain.front()->getSource();
  Pole* target = chain.back()->getTarget();
  checkSource(subdomain, source);
  checkTarget(subdomain, target);
  for (std::size_t index = 1; index < chain.size(); ++index)
    if (chain[index - 1]->getTarget() != chain[index]->getSource()) refuse("Rejected edge");
  checkDelays(latchDelay, launchDelay, difference);
}

void Route::checkSource(const Subdomain* subdomain, const Pole* source) {
  if (!subdomain->getLaunchRoot() && !source->isInput()) refuse("Rejected source");
  if (!subdomain->getLaunchLeafSet().contains(const_cast<Pole*>(source)))
    refuse("Incompatible source");
}

void Route::checkTarget(const Subdomain* subdomain, const Pole* target) {
  const PoleSet& latchLeaves = subdomain->getLatchLeafSet();
  if (!subdomain->getLatchRoot() || target->isOutput()) {
    if (!latchLeaves.contains(const_cast<Pole*>(target))) refuse("Incompatible target");
  } else {
    // Any other target stands for the clock pole of its register.
    Pole* clock = target->getClock();
    if (!clock) refuse("Null clock pole");
    if (!latchLeaves.contains(clock)) refuse("Incompatible target");
  }
}

void Route::checkDelays(const Delay& latchDelay, const Delay& launchDelay,
                        const Delay& difference) {
  if (latchDelay == Delay::getUndefined()) refuse("Undefined latchDelay");
  if (launchDelay == Delay::getUndefined()) refuse("Undefined launchDelay");
  if (difference == Delay::getUndefined()) refuse("Undefined difference");
}

Route* Route::create(Subdomain* subdomain, bool longest, const Edges& edges,
                     const Delay& latchDelay, const Delay& launchDelay, const Delay& difference) {
  preCreate(subdomain, longest, edges, latchDelay, launchDelay, difference);
  auto* route = new Route(subdomain, longest, edges, latchDelay, launchDelay, difference);
  try {
    route->postCreate(subdomain, longest, edges, latchDelay, launchDelay, difference);
  } catch (...) {
    // Filing the route computes slacks, whose arithmetic may overflow; the
    // route is then not filed and must not be left behind.
    route->destroy();
    throw;
  }
  return route;
}

Route* Route::createLongest(Subdomain* subdomain, const Edges& edges, const Delay& latchDelay,
                            const Delay& launchDelay, const Delay& difference) {
  return create(subdomain, true, edges, latchDelay, launchDelay, difference);
}

Route* Route::createShortest(Subdomain* subdomain, const Edges& edges, const Delay& latchDelay,
                             const Delay& launchDelay, const Delay& difference) {
  return create(subdomain, false, edges, latchDelay, launchDelay, difference);
}

void Route::postCreate(Subdomain* subdomain, bool, const Edges&, const Delay&, const Delay&,
                       const Delay&) {
  subdomain->attach(this);
  Object::postCreate();
}

void Route::preDestroy() {
  Object::preDestroy();
  _subdomain->detach(this);
}

// ---- Structure -------------------------------------------------------------

Edges Route::getEdges() const {
  return Orvek::ListCollection<Edge*>(_edges);
}

Pole* Route::getSource() const {
  return _edges.empty() ? nullptr : _edges.front()->getSource();
}

Pole* Route::getTarget() const {
  return _edges.empty() ? nullptr : _edges.back()->getTarget();
}

Poles Route::getPoles() const {
  return Orvek::Collection<Pole*>::make<RoutePoleDriver>(_edges);
}

unsigned long Route::getDepth() const {
  return std::count_if(_edges.begin(), _edges.end(),
                       [](const Edge* edge) { return edge->isInternal(); });
}

bool Route::contains(Pole* pole) const {
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "contains", "Null pole");
  if (_edges.empty()) return false;
  if (_edges.front()->getSource() == pole) return true;
  return std::any_of(_edges.begin(), _edges.end(),
                     [pole](const Edge* edge) { return edge->getTarget() == pole; });
}

bool Route::contains(Edge* edge) const {
  if (!edge) Orvek::raise<Orvek::InvalidRequest>(kSource, "contains", "Null edge");
  return std::find(_edges.begin(), _edges.end(), edge) != _edges.end();
}

// ---- Delays ----------------------------------------------------------------

bool Route::hasDualTarget() const {
  const Pole* target = getTarget();
  return target && target->isDual();
}

Delay Route::getEdgeDelay(const Edge* edge) const {
  return isLongest() ? edge->getMaximumDelay() : edge->getMinimumDelay();
}

Delay Route::getDataDelay() const {
  return Morva::getDataDelay(_edges, isLongest());
}

Delay Route::getSkew() const {
  return ClockArithmetic::getWrappedDifference(getLatchDelay(), getLaunchDelay());
}

Delay Route::getDelay() const {
  return getDataDelay() - getSkew();
}

Delay Route::getLongDelay() const {
  const Edge* last = getLastEdge();
  return getDelay() + (last && hasDualTarget() ? last->getMaximumDelay() : Delay(0));
}

Delay Route::getShortDelay() const {
  const Edge* last = getLastEdge();
  return getDelay() - (last && hasDualTarget() ? last->getMinimumDelay() : Delay(0));
}

Delay Route::getAdjustedDelay() const {
  return isLongest() ? getLongDelay() : getShortDelay();
}

Delay Route::getInternalDelay() const {
  Delay delay(0);
  for (const Edge* edge : _edges)
    if (edge->isInternal()) delay += getEdgeDelay(edge);
  return delay;
}

Delay Route::getExternalDelay() const {
  Delay delay(0);
  for (const Edge* edge : _edges)
    if (edge->isExternal()) delay += getEdgeDelay(edge);
  return delay;
}

Delay Route::getSetupTime() const {
  const Edge* last = getLastEdge();
  return last && last->isSetupHold() ? last->getMaximumDelay() : Delay::getUndefined();
}

Delay Route::getHoldTime() const {
  const Edge* last = getLastEdge();
  return last && last->isSetupHold() ? last->getMinimumDelay() : Delay::getUndefined();
}

Delay Route::getRecoveryTime() const {
  const Edge* last = getLastEdge();
  return last && last->isRecoveryRemoval() ? last->getMaximumDelay() : Delay::getUndefined();
}

Delay Route::getRemovalTime() const {
  const Edge* last = getLastEdge();
  return last && last->isRecoveryRemoval() ? last->getMinimumDelay() : Delay::getUndefined();
}

// A route always has edges (its factory refuses none). The kept routes are
// ordered by slack and the search weighs the least critical one at every
// route end: the slack is worked out again only when the graph or the
// subdomain's relation changed.
Delay Route::getSlack() const {
  const Delay relation =
      isLongest() ? _subdomain->getSetupRelation() : _subdomain->getHoldRelation();
  if (_slackEpoch != GraphEpoch::get() || _slackRelation != static_cast<int>(relation)) {
    _slack = static_cast<int>(getRouteSlack(_subdomain, isLongest(), _edges, getLatchDelay(),
                                            getLaunchDelay(), getDifference()));
    _slackEpoch = GraphEpoch::get();
    _slackRelation = static_cast<int>(relation);
  }
  return Delay(_slack);
}

Delay Route::getSlack(const Subdomain* subdomain, bool longest, const std::vector<Edge*>& edges,
                      const Delay& latchDelay, const Delay& launchDelay, const Delay& difference) {
  return getRouteSlack(subdomain, longest, edges, latchDelay, launchDelay, difference);
}

// ---- Identity and inspection -----------------------------------------------

std::string Route::getIdentifier() const {
  const Pole* source = getSource();
  const Pole* target = getTarget();
  return (source ? source->getName() : std::string()) + "..." +
         (target ? target->getName() : std::string());
}

std::string Route::getAlias() const {
  return std::string(isLongest() ? "LONGEST-ROUTE" : "SHORTEST-ROUTE") + "[" + getIdentifier() +
         "]";
}

std::string Route::_getLabel() const {
  Orvek::Label label(Object::_getLabel());
  label.update(getDelay()._getLabel());
  return label.getText();
}

Orvek::Record* Route::_getRecord() const {
  auto* record = Object::_getRecord();
  record->addHeader("Route");
  addObject(record, "Subdomain", _subdomain);
  record->add("Poles", getPoles());
  addObject(record, "Source", getSource());
  addObject(record, "Target", getTarget());
  record->add("Edges", getEdges());
  record->add("InternalEdges", getInternalEdges());
  record->add("ExternalEdges", getExternalEdges());
  record->add("Depth", getDepth());
  record->add("LatchDelay", getLatchDelay());
  record->add("LaunchDelay", getLaunchDelay());
  record->add("Difference", getDifference());
  record->add("DataDelay", getDataDelay());
  record->add("ClockSkew", getSkew());
  record->add("RouteDelay", getDelay());
  if (const Edge* last = getLastEdge()) {
    if (isLongest()) {
      if (last->isSetupHold()) record->add("SetupTime", getSetupTime());
      if (last->isRecoveryRemoval()) record->add("RecoveryTime", getRecoveryTime());
      record->add("MaxArrivalTime", _subdomain->getLAT());
    } else {
      if (last->isSetupHold()) record->add("HoldTime", getHoldTime());
      if (last->isRecoveryRemoval()) record->add("RemovalTime", getRemovalTime());
      record->add("MinArrivalTime", _subdomain->getSAT());
    }
  }
  record->add("Slack", getSlack());
  return record;
}

}  // namespace Morva
