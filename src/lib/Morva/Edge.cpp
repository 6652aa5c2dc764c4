#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Morva/detail/ObjectPool.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Edge";

ObjectPool& getPool() {
  static ObjectPool pool(sizeof(Edge));
  return pool;
}

// Walks an edge list keeping the edges that pass the filters.
class EdgeSetLocator : public Orvek::Cloneable<EdgeSetLocator, Orvek::LocatorDriver<Edge*>> {
 public:
  EdgeSetLocator(EdgeSet::const_iterator current, EdgeSet::const_iterator end, unsigned filters)
      : _current(current), _end(end), _filters(filters) {
    skip();
  }
  Edge* getCurrent() const override { return *_current; }
  bool isValid() const override { return _current != _end; }
  void progress() override {
    ++_current;
    skip();
  }

 private:
  void skip() {
    while (_current != _end && !Edges::isAccepted(*_current, _filters)) ++_current;
  }
  EdgeSet::const_iterator _current;
  EdgeSet::const_iterator _end;
  unsigned _filters;
};

// A filtered view of an edge list (no filter: the whole list).
class EdgeSetDriver : public Orvek::Cloneable<EdgeSetDriver, Orvek::CollectionDriver<Edge*>> {
 public:
  EdgeSetDriver(const EdgeSet& set, unsigned filters) : _set(&set), _filters(filters) {}
  Orvek::Locator<Edge*> getLocator() const override {
    return Orvek::Locator<Edge*>::make<EdgeSetLocator>(_set->begin(), _set->end(), _filters);
  }
  unsigned long getCount() const override {
    if (_filters == 0) return _set->size();
    return Orvek::CollectionDriver<Edge*>::getCount();
  }
  bool isEmpty() const override {
    return _filters == 0 ? _set->empty() : Orvek::CollectionDriver<Edge*>::isEmpty();
  }
  const EdgeSet& getSet() const { return *_set; }
  unsigned getFilters() const { return _filters; }

 private:
  const EdgeSet* _set;
  unsigned _filters;
};

struct FilterAccept {
  unsigned filters;
  bool operator()(Edge* edge) const { return Edges::isAccepted(edge, filters); }
};

}  // namespace

void EdgeList::insert(Edge* edge) {
  GraphEpoch::bump();
  if (contains(edge)) return;
  Edge* const last = getLast();
  // The edge goes after `after`, or first when that is null.
  Edge* after = last;
  while (after && Object::StampLess()(edge, after))
    after = after == _first ? nullptr : previous(after);
  if (!after) {
    previous(edge) = last ? last : edge;
    next(edge) = _first;
    if (_first) previous(_first) = edge;
    _first = edge;
  } else {
    Edge* const before = next(after);
    previous(edge) = after;
    next(edge) = before;
    next(after) = edge;
    previous(before ? before : _first) = edge;
  }
  ++_size;
}

void EdgeList::erase(Edge* edge) {
  GraphEpoch::bump();
  if (!contains(edge)) return;
  Edge* const before = next(edge);
  // The last edge when `edge` is the first.
  Edge* const after = previous(edge);
  if (edge == _first) {
    _first = before;
    if (before) previous(before) = after;
  } else {
    next(after) = before;
    previous(before ? before : _first) = after;
  }
  previous(edge) = nullptr;
  next(edge) = nullptr;
  --_size;
}

Edges::Edges(const EdgeSet& set)
    : Orvek::Collection<Edge*>(Orvek::Collection<Edge*>::make<EdgeSetDriver>(set, 0u)) {}

bool Edges::isAccepted(const Edge* edge, unsigned filters) {
  if ((filters & Active) && !edge->isActive()) return false;
  if ((filters & Internal) && !edge->isInternal()) return false;
  if ((filters & External) && !edge->isExternal()) return false;
  if ((filters & IOPaths) && !edge->isIOPath()) return false;
  if ((filters & SetupHolds) && !edge->isSetupHold()) return false;
  if ((filters & Interconnects) && !edge->isInterconnect()) return false;
  if ((filters & RecoveryRemovals) && !edge->isRecoveryRemoval()) return false;
  if ((filters & Controls) && !edge->isControl()) return false;
  return true;
}

Edges Edges::filter(unsigned char filter) const {
  if (const auto* driver = dynamic_cast<const EdgeSetDriver*>(getDriver()))
    return Orvek::Collection<Edge*>::make<EdgeSetDriver>(driver->getSet(),
                                                         driver->getFilters() | filter);
  return Orvek::Collection<Edge*>::make<Orvek::FilterDriver<Edge*, FilterAccept>>(
      static_cast<const Orvek::Collection<Edge*>&>(*this), FilterAccept{filter});
}

void* Edge::operator new(std::size_t size) {
  return getPool().allocate(size);
}

void Edge::operator delete(void* block, std::size_t size) {
  getPool().deallocate(block, size);
}

Edge::Edge(Pole* source, Pole* target, const Purpose&)
    : _source(source),
      _target(target),
      _minimumDelay(static_cast<int>(Delay::getUndefined())),
      _maximumDelay(static_cast<int>(Delay::getUndefined())),
      _slack(static_cast<int>(Delay::getUndefined())),
      _sourceNumber(source->getNumber()) {}

void Edge::preCreate(Pole* source, Pole* target, const Purpose&) {
  Object::preCreate();
  if (!source) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Null source");
  if (!target) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Null target");
  if (source == target) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Identical poles");
}

Edge* Edge::create(Pole* source, Pole* target, const Purpose& purpose) {
  preCreate(source, target, purpose);
  auto* edge = new Edge(source, target, purpose);
  edge->postCreate(source, target, purpose);
  return edge;
}

Edge* Edge::createIOPath(Pole* source, Pole* target) {
  return create(source, target, Purpose(Purpose::IOPath));
}

Edge* Edge::createSetupHold(Pole* source, Pole* target) {
  return create(source, target, Purpose(Purpose::SetupHold));
}

Edge* Edge::createRecoveryRemoval(Pole* source, Pole* target) {
  return create(source, target, Purpose(Purpose::RecoveryRemoval));
}

Edge* Edge::createInterconnect(Pole* source, Pole* target) {
  return create(source, target, Purpose(Purpose::Interconnect));
}

void Edge::postCreate(Pole* source, Pole* target, const Purpose& purpose) {
  source->attach(this);
  target->attach(this);
  const auto code = static_cast<unsigned>(purpose.getCode());
  setGraphFlagBit(1, code <= 3 && (code & 2));
  setGraphFlagBit(2, code <= 3 && (code & 1));
  activate();
  Object::postCreate();
}

void Edge::preDestroy() {
  Object::preDestroy();
  _target->detach(this);
  _source->detach(this);
}

std::string Edge::getName() const {
  return _source->getName() + "->" + _target->getName();
}

std::string Edge::getAlias() const {
  return getPurpose().getName() + "[" + getName() + "]";
}

void Edge::setMinimumDelay(const Delay& delay) {
  _minimumDelay.set(static_cast<int>(delay));
}

void Edge::setMaximumDelay(const Delay& delay) {
  _maximumDelay.set(static_cast<int>(delay));
}

void Edge::activate() {
  setGraphFlagBit(3, true);
}

void Edge::disactivate() {
  setGraphFlagBit(3, false);
}

void Edge::sensitize(const Mask& mask) {
  _maskNumber.set(packMaskNumber((getMask() | mask).getNumber()));
}

void Edge::reset() {
  activate();
  _maskNumber.set(0);
}

std::string Edge::_getLabel() const {
  Orvek::Label label(Object::_getLabel());
  label.update("S:" + getSlack()._getLabel());
  label.update("W:" + Orvek::getLabel(_weight));
  return label.getText();
}

Orvek::Record* Edge::_getRecord() const {
  auto* record = Object::_getRecord();
  record->addHeader("Edge");
  record->add("Source", _source);
  record->add("Target", _target);
  record->add("Purpose", getPurpose());
  record->add("MinimumDelay", getMinimumDelay());
  record->add("MaximumDelay", getMaximumDelay());
  record->add("Mask", getMask());
  record->add("DomainMask", getDomainMask());
  record->add("Slack", getSlack());
  record->add("Weight", _weight);
  return record;
}

}  // namespace Morva
