#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/FPath.h>
#include <Morva/MPath.h>
#include <Morva/Pole.h>
#include <Morva/detail/ClockScan.h>
#include <Morva/detail/ConstraintScan.h>
#include <Morva/detail/DataScan.h>
#include <Morva/detail/DomainReport.h>
#include <Morva/detail/GraphImage.h>
#include <Morva/detail/WeightTagger.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <algorithm>
#include <vector>

namespace Morva {

Analyzer* analyzer = nullptr;

namespace {

constexpr const char* kSource = "lib/Morva/Analyzer";

template <class Map>
typename Map::mapped_type find(const Map& map, const typename Map::key_type& key) {
  auto found = map.find(key);
  return found == map.end() ? typename Map::mapped_type() : found->second;
}

}  // namespace

Analyzer::Analyzer() = default;

Analyzer::~Analyzer() = default;

void Analyzer::preCreate() {
  Object::preCreate();
  if (analyzer) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Already exists");
}

Analyzer* Analyzer::create() {
  preCreate();
  auto* created = new Analyzer();
  created->postCreate();
  return created;
}

void Analyzer::postCreate() {
  analyzer = this;
  Mask::reset(0);
  Object::postCreate();
}

void Analyzer::preDestroy() {
  Object::preDestroy();
  // Not in name order, which may have been released: in address order,
  // which walks the pools from one end to the other.
  std::vector<Pole*> poles;
  poles.reserve(_mainPoles.size() + _dualPoles.size());
  for (const PoleRegistry* registry : {&_mainPoles, &_dualPoles})
    registry->forEach([&poles](Pole* pole) { poles.push_back(pole); });
  std::sort(poles.begin(), poles.end(), std::less<>());
  for (Pole* pole : poles) pole->destroy();
  for (CPath* path : getCPaths()) path->destroy();
  for (Domain* domain : getDomains()) domain->destroy();
  GraphImage::release();
  analyzer = nullptr;
}

// ---- Registration ----------------------------------------------------------

void Analyzer::attach(Pole* pole) {
  (pole->isDual() ? _dualPoles : _mainPoles).insert(pole);
  pole->pair((pole->isDual() ? _mainPoles : _dualPoles).find(pole->getName()));
}

void Analyzer::detach(Pole* pole) {
  (pole->isDual() ? _dualPoles : _mainPoles).erase(pole);
  pole->unpair();
  if (!_markedPoles.empty()) std::erase(_markedPoles, pole);
  // While the analyzer itself goes, its tables are discarded whole.
  if (!isDestroying()) forget(pole);
}

// The clock, group, period and IO tables are ordered by stamp: a destroyed
// pole left in one of them would be read by every later look-up.
void Analyzer::forget(Pole* pole) {
  _waveMap.erase(pole);
  _periodMap.erase(pole);
  std::erase_if(_clockNameMap, [pole](const auto& entry) { return entry.second == pole; });
  for (PoleSetMap* table : {&_exclusivePoleSetMap, &_asynchronousPoleSetMap}) {
    table->erase(pole);
    for (auto& entry : *table) entry.second.erase(pole);
  }
  for (IOConstraintMap* table : {&_inputDelay, &_outputDelay}) {
    table->erase(pole);
    std::erase_if(*table,
                  [pole](const auto& entry) { return entry.second.getClockRoot() == pole; });
  }
  if (isLooping(pole)) {
    _loopingNumbers[pole->getNumber()] = false;
    std::erase(_loopStack, pole);
  }
}

void Analyzer::attach(FPath* path) {
  _falsePaths.insert(path);
}

void Analyzer::attach(DPath* path) {
  (path->isMaximum() ? _maxdelayPaths : _mindelayPaths).insert(path);
}

void Analyzer::attach(MPath* path) {
  _multicyclePaths.insert(path);
}

void Analyzer::detach(FPath* path) {
  if (!isDestroying()) _falsePaths.erase(path);
}

void Analyzer::detach(DPath* path) {
  if (!isDestroying()) (path->isMaximum() ? _maxdelayPaths : _mindelayPaths).erase(path);
}

void Analyzer::detach(MPath* path) {
  if (!isDestroying()) _multicyclePaths.erase(path);
}

// ---- Domains: registration and look-ups -------------------------------------

// Roots compare by pole name; names equal in that order fall through to the
// next criterion so that the order stays strict.
bool Analyzer::DomainSetLess::operator()(const Domain* a, const Domain* b) const {
  const Pole* launchA = a->getLaunchRoot();
  const Pole* launchB = b->getLaunchRoot();
  if (!launchA != !launchB) return !launchA;
  const Pole* latchA = a->getLatchRoot();
  const Pole* latchB = b->getLatchRoot();
  if (!latchA != !latchB) return latchA != nullptr;
  if (launchA && launchB && launchA != launchB) {
    if (Orvek::isAlphaLess(launchA->getName(), launchB->getName())) return true;
    if (Orvek::isAlphaLess(launchB->getName(), launchA->getName())) return false;
  }
  if (latchA && latchB && latchA != latchB) {
    if (Orvek::isAlphaLess(latchA->getName(), latchB->getName())) return true;
    if (Orvek::isAlphaLess(latchB->getName(), latchA->getName())) return false;
  }
  return StampLess()(a, b);
}

void Analyzer::attach(Domain* domain) {
  _domainNameMap[domain->getName()] = domain;
  _domains.insert(domain);
}

// A domain's name follows the report names of its roots, which may have
// changed since it was filed: the entry is found by its domain.
void Analyzer::detach(Domain* domain) {
  if (isDestroying()) return;
  _domains.erase(domain);
  auto named = _domainNameMap.find(domain->getName());
  if (named == _domainNameMap.end() || named->second != domain)
    named = std::find_if(_domainNameMap.begin(), _domainNameMap.end(),
                         [domain](const auto& entry) { return entry.second == domain; });
  if (named != _domainNameMap.end()) _domainNameMap.erase(named);
}

Domains Analyzer::getDomains() const {
  return Orvek::SetCollection<Domain*, DomainSetLess>(_domains);
}

Domain* Analyzer::getDomain(const std::string& name) const {
  return find(_domainNameMap, name);
}

Domain* Analyzer::getDomain(Pole* launchRoot, Pole* latchRoot) const {
  return getDomain(Domain::getName(launchRoot, latchRoot));
}

Domain* Analyzer::getDomain(const std::string& launchClock, const std::string& latchClock) const {
  return getDomain(launchClock + " to " + latchClock);
}

// ---- Look-ups --------------------------------------------------------------

Pole* Analyzer::getMainPole(const std::string& name) const {
  if (name.empty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "getMainPole", "Empty name");
  return _mainPoles.find(name);
}

Pole* Analyzer::getDualPole(const std::string& name) const {
  if (name.empty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "getDualPole", "Empty name");
  return _dualPoles.find(name);
}

Pole* Analyzer::getClockRoot(const std::string& name) const {
  if (name.empty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "getClockRoot", "Empty name");
  if (Pole* root = find(_clockNameMap, name)) return root;
  Pole* pole = _mainPoles.find(name);
  if (pole && (pole->getType().getCode() == Type::Primary ||
               pole->getType().getCode() == Type::ClockSource))
    return pole;
  return nullptr;
}

Poles Analyzer::getMainPoles() const {
  return _mainPoles.getPoles();
}

Poles Analyzer::getDualPoles() const {
  return _dualPoles.getPoles();
}

Poles Analyzer::getPoles() const {
  return Orvek::AppendCollection<Pole*>(getMainPoles(), getDualPoles());
}

void Analyzer::orderPoles(std::vector<Pole*>& poles) const {
  const auto firstDual =
      std::partition(poles.begin(), poles.end(), [](const Pole* pole) { return !pole->isDual(); });
  std::vector<Pole*> duals(firstDual, poles.end());
  poles.erase(firstDual, poles.end());
  _mainPoles.keepFiled(poles);
  _dualPoles.keepFiled(duals);
  poles.insert(poles.end(), duals.begin(), duals.end());
}

Edges Analyzer::getEdges() const {
  static const Orvek::MemberAccessor<Pole, Edge*, Edges> accessor(&Pole::getOutgoingEdges);
  return Orvek::AssociatesCollection<Pole*, Edge*>(getPoles(), accessor);
}

FPaths Analyzer::getFalsePaths() const {
  return Orvek::TypeCollection<FPath, CPath>(Orvek::SetCollection<CPath*, StampLess>(_falsePaths));
}

DPaths Analyzer::getMaxdelayPaths() const {
  return Orvek::TypeCollection<DPath, CPath>(
      Orvek::SetCollection<CPath*, StampLess>(_maxdelayPaths));
}

DPaths Analyzer::getMindelayPaths() const {
  return Orvek::TypeCollection<DPath, CPath>(
      Orvek::SetCollection<CPath*, StampLess>(_mindelayPaths));
}

MPaths Analyzer::getMulticyclePaths() const {
  return Orvek::TypeCollection<MPath, CPath>(
      Orvek::SetCollection<CPath*, StampLess>(_multicyclePaths));
}

CPaths Analyzer::getCPaths() const {
  using Set = Orvek::SetCollection<CPath*, StampLess>;
  using Append = Orvek::AppendCollection<CPath*>;
  return Append(Append(Set(_falsePaths), Set(_maxdelayPaths)),
                Append(Set(_mindelayPaths), Set(_multicyclePaths)));
}

CPaths Analyzer::getCPaths(const Mask& mask) const {
  static const Orvek::MemberDatumPredicate<CPath, Mask> isIn(&CPath::isIn);
  return Orvek::SubsetCollection<CPath*, Mask>(getCPaths(), isIn, mask);
}

unsigned long Analyzer::getCPathCount() const {
  return _falsePaths.size() + _maxdelayPaths.size() + _mindelayPaths.size() +
         _multicyclePaths.size();
}

bool Analyzer::hasWave(Pole* pole) const {
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "hasWave", "Null clock");
  return _waveMap.count(pole) != 0;
}

const Wave& Analyzer::getWave(Pole* pole) const {
  static const Wave undefined;
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "getWave", "Null clock");
  auto found = _waveMap.find(pole);
  return found == _waveMap.end() ? undefined : found->second;
}

const Delay& Analyzer::getPeriod(Pole* pole) const {
  static const Delay undefined = Delay::getUndefined();
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "getPeriod", "Null clock");
  auto found = _periodMap.find(pole);
  return found == _periodMap.end() ? undefined : found->second;
}

void Analyzer::setPeriod(Pole* pole, const Delay& period) {
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "setPeriod", "Null clock");
  if (period == Delay::getUndefined())
    _periodMap.erase(pole);
  else
    _periodMap.insert_or_assign(pole, period);
}

// ---- Clocks ----------------------------------------------------------------

void Analyzer::createClock(Pole* root, const Wave& wave) {
  if (!root) Orvek::raise<Orvek::InvalidRequest>(kSource, "createClock", "Null pole!");
  if (!wave.isDefined())
    Orvek::raise<Orvek::InvalidRequest>(kSource, "createClock", "Undefined wave!");
  _waveMap.insert_or_assign(root, wave);
  _clockNameMap[wave.getName()] = root;
  if (root->getType().getCode() == Type::None) root->setType(Type("ClockSource"));
  root->setWaveFlag(true);
  demandReset();
}

void Analyzer::createClock(Pole* root, const std::string& name, const Delay& period,
                           const Delay& rising, const Delay& falling) {
  if (!root) Orvek::raise<Orvek::InvalidRequest>(kSource, "createClock", "Null pole!");
  if (name.empty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "createClock", "Null name!");
  if (period == Delay::getUndefined())
    Orvek::raise<Orvek::InvalidRequest>(kSource, "createClock", "Undefined period!");
  createClock(root, Wave(name, period, rising, falling));
}

void Analyzer::removeClock(const std::string& name) {
  if (name.empty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "removeClock", "Empty name");
  auto found = _clockNameMap.find(name);
  if (found == _clockNameMap.end()) {
    Orvek::console.warning(name + " could not be matched with a clock", "");
    return;
  }
  Pole* root = found->second;
  _clockNameMap.erase(found);
  _waveMap.erase(root);
  if (root->getType().getCode() == Type::ClockSource) root->setType(Type("None"));
  root->setWaveFlag(false);
  demandReset();
}

void Analyzer::resetClocks() {
  for (const auto& [name, root] : _clockNameMap) {
    _waveMap.erase(root);
    if (root->getType().getCode() == Type::ClockSource) root->setType(Type("None"));
    root->setWaveFlag(false);
  }
  _clockNameMap.clear();
  demandReset();
}

Delay Analyzer::getRequiredPeriod(Pole* root) const {
  const Wave& wave = getWave(root);
  return wave.isDefined() ? wave.getPeriod() : Delay::getUndefined();
}

unsigned long Analyzer::getDutyRatio(Pole* root) const {
  const Wave& wave = getWave(root);
  return wave.isDefined() ? static_cast<unsigned long>(wave.getDutyRatio()) : 50;
}

Delay Analyzer::getHighWidth(Pole* root) const {
  const Wave& wave = getWave(root);
  return wave.isDefined() ? wave.getHighWidth() : Delay::getUndefined();
}

Delay Analyzer::getLowWidth(Pole* root) const {
  const Wave& wave = getWave(root);
  return wave.isDefined() ? wave.getLowWidth() : Delay::getUndefined();
}

Delay Analyzer::getClockShift(Pole* root) const {
  const Wave& wave = getWave(root);
  return wave.isDefined() ? wave.getShift() : Delay(0);
}

// ---- Clock groups ----------------------------------------------------------

void Analyzer::createClockGroups(const Poles& first, const Poles& second, bool exclusive) {
  PoleSet small, large;
  for (Pole* pole : first)
    if (pole) small.insert(pole);
  for (Pole* pole : second)
    if (pole) large.insert(pole);
  if (small.size() > large.size()) std::swap(small, large);
  PoleSetMap& table = exclusive ? _exclusivePoleSetMap : _asynchronousPoleSetMap;
  for (Pole* pole : small) {
    auto found = table.find(pole);
    if (found != table.end())
      found->second.insert(large.begin(), large.end());
    else
      table.emplace(pole, large);
  }
  demandReset();
}

void Analyzer::resetClockGroups() {
  _exclusivePoleSetMap.clear();
  _asynchronousPoleSetMap.clear();
  demandReset();
}

bool Analyzer::isRelated(const PoleSetMap& table, Pole* a, Pole* b) {
  auto related = [&table](Pole* key, Pole* member) {
    auto found = table.find(key);
    return found != table.end() && found->second.count(member) != 0;
  };
  return related(b, a) || related(a, b);
}

// ---- Input and output delays ----------------------------------------------

void Analyzer::checkPort(Pole* port, bool input, const char* operation) {
  if (!port)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation,
                                        input ? "Null input port" : "Null output port");
  if (input ? !port->isInput() : !port->isOutput())
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation,
                                        input ? "Not an input port" : "Not an output port");
}

void Analyzer::setInputConstraint(Pole* port, const IOConstraint& constraint) {
  checkPort(port, true, "setInputConstraint");
  if (_inputDelay.count(port))
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setInputConstraint",
                                        "Input delay already exists");
  if (!constraint.isDefined())
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setInputConstraint", "Undefined IOConstraint");
  _inputDelay.emplace(port, constraint);
}

void Analyzer::setOutputConstraint(Pole* port, const IOConstraint& constraint) {
  checkPort(port, false, "setOutputConstraint");
  if (_outputDelay.count(port))
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setOutputConstraint",
                                        "Output delay already exists");
  if (!constraint.isDefined())
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setOutputConstraint", "Undefined IOConstraint");
  _outputDelay.emplace(port, constraint);
}

bool Analyzer::hasInputConstraint(Pole* port) const {
  checkPort(port, true, "hasInputConstraint");
  return _inputDelay.count(port) != 0;
}

bool Analyzer::hasInputConstraint(Pole* port, IOConstraint& constraint) const {
  checkPort(port, true, "hasInputConstraint");
  auto found = _inputDelay.find(port);
  if (found == _inputDelay.end()) return false;
  constraint = found->second;
  return true;
}

bool Analyzer::hasOutputConstraint(Pole* port) const {
  checkPort(port, false, "hasOutputConstraint");
  return _outputDelay.count(port) != 0;
}

bool Analyzer::hasOutputConstraint(Pole* port, IOConstraint& constraint) const {
  checkPort(port, false, "hasOutputConstraint");
  auto found = _outputDelay.find(port);
  if (found == _outputDelay.end()) return false;
  constraint = found->second;
  return true;
}

const IOConstraint& Analyzer::getInputConstraint(Pole* port) const {
  static const IOConstraint undefined;
  if (!port || !port->isInput()) return undefined;
  auto found = _inputDelay.find(port);
  return found == _inputDelay.end() ? undefined : found->second;
}

const IOConstraint& Analyzer::getOutputConstraint(Pole* port) const {
  static const IOConstraint undefined;
  if (!port || !port->isOutput()) return undefined;
  auto found = _outputDelay.find(port);
  return found == _outputDelay.end() ? undefined : found->second;
}

// ---- Loop stack ------------------------------------------------------------

void Analyzer::loopOpen() {
  if (_loopOpened) Orvek::raise<Orvek::InvalidRequest>(kSource, "loopOpen", "Already opened");
  _loopOpened = true;
}

void Analyzer::loopPush(Pole* pole) {
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "loopPush", "Null pole");
  _loopStack.push_front(pole);
  if (pole->getNumber() >= _loopingNumbers.size()) _loopingNumbers.resize(Pole::getNumberBound());
  _loopingNumbers[pole->getNumber()] = true;
}

void Analyzer::loopPop() {
  if (_loopStack.empty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "loopPop", "Empty stack");
  _loopingNumbers[_loopStack.front()->getNumber()] = false;
  _loopStack.pop_front();
}

void Analyzer::loopClose() {
  if (!_loopOpened) Orvek::raise<Orvek::InvalidRequest>(kSource, "loopClose", "Not opened");
  clearLoopStack();
  _loopOpened = false;
}

bool Analyzer::isLooping(Pole* pole) const {
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "isLooping", "Null pole");
  return pole->getNumber() < _loopingNumbers.size() && _loopingNumbers[pole->getNumber()];
}

Poles Analyzer::getLoopPoles() const {
  return Poles::make<Orvek::ContainerDriver<std::deque<Pole*>, Pole*, Orvek::ReadElement>>(
      _loopStack);
}

void Analyzer::clearLoopStack() {
  for (Pole* pole : _loopStack) _loopingNumbers[pole->getNumber()] = false;
  _loopStack.clear();
}

void Analyzer::unmark() {
  for (Pole* pole : _markedPoles) pole->unmark();
  // Domain creation marks every pole once; the passes mark few. The room
  // of the first is given back rather than kept through the analysis.
  if (_markedPoles.capacity() > 65536)
    std::vector<Pole*>().swap(_markedPoles);
  else
    _markedPoles.clear();
}

// ---- Analysis: domain creation, constraints, weights, driver, report ------

bool Analyzer::isExclusive(Domain* domain) const {
  if (!domain) Orvek::raise<Orvek::InvalidRequest>(kSource, "isExclusive", "Null domain");
  Pole* launchRoot = domain->getLaunchRoot();
  Pole* latchRoot = domain->getLatchRoot();
  if (_exclusivePoleSetMap.empty() || !launchRoot || !latchRoot) return false;
  return isRelated(_exclusivePoleSetMap, launchRoot, latchRoot);
}

bool Analyzer::isAsynchronous(Domain* domain) const {
  if (!domain) Orvek::raise<Orvek::InvalidRequest>(kSource, "isAsynchronous", "Null domain");
  Pole* launchRoot = domain->getLaunchRoot();
  Pole* latchRoot = domain->getLatchRoot();
  if (!launchRoot || !latchRoot) return true;
  if (launchRoot == latchRoot) return false;
  if (!hasWave(launchRoot) || !hasWave(latchRoot)) return true;
  return isRelated(_asynchronousPoleSetMap, launchRoot, latchRoot);
}

void Analyzer::scanClocks(ClockMap& clockMap) {
  ClockScan(*this).run(clockMap);
}

void Analyzer::scanData(const ClockMap& clockMap) {
  DataScan(*this, clockMap).run();
}

void Analyzer::createDomains() {
  Orvek::console.print("Creating domains", "");
  Orvek::console.indent();
  Pole::trimNumbers();
  try {
    ClockMap clockMap;
    scanClocks(clockMap);
    scanData(clockMap);
  } catch (...) {
    Orvek::console.unindent();
    throw;
  }
  // The scans took their starts in name order without working out that of
  // every pole; one a host asked for before would take 8 bytes a pole
  // through the analysis, which does not walk by name.
  _mainPoles.releaseOrder();
  _dualPoles.releaseOrder();
  // Exclusive clocks never meet: their domains go.
  const std::vector<Domain*> domains(_domains.begin(), _domains.end());
  for (Domain* domain : domains) {
    if (isExclusive(domain))
      domain->destroy();
    else if (isAsynchronous(domain))
      domain->setAsynchronous(true);
  }
  Orvek::console.unindent();
}

void Analyzer::prolog() {
  ConstraintScan(*this).number();
}

void Analyzer::scanConstrainedPaths() {
  ConstraintScan(*this).sensitize();
}

void Analyzer::achieveConstrainedPaths() {
  ConstraintScan scan(*this);
  scan.number();
  scan.sensitize();
  _cpathsAchieved = true;
}

namespace {

// Destroys every path of one kind; the set is copied first because each
// path detaches itself.
void destroyPaths(const CPathSet& paths) {
  const std::vector<CPath*> copy(paths.begin(), paths.end());
  for (CPath* path : copy) path->destroy();
}

}  // namespace

void Analyzer::resetFalsePaths() {
  _falsePathMask = Mask(0);
  destroyPaths(_falsePaths);
  demandReset();
}

void Analyzer::resetMaxdelayPaths() {
  _maxdelayPathMask = Mask(0);
  destroyPaths(_maxdelayPaths);
  demandReset();
}

void Analyzer::resetMindelayPaths() {
  _mindelayPathMask = Mask(0);
  destroyPaths(_mindelayPaths);
  demandReset();
}

void Analyzer::resetMulticyclePaths() {
  _multicyclePathMask = Mask(0);
  destroyPaths(_multicyclePaths);
  demandReset();
}

void Analyzer::tagWeights(float ratio) {
  WeightTagger tagger(*this);
  tagger.tag(tagger.getLimit(ratio));
}

void Analyzer::tagWeights(const Delay& limit) {
  WeightTagger(*this).tag(limit);
}

void Analyzer::forwardScan(const Delay& limit, PathCountMap& counts) {
  WeightTagger(*this).countForward(limit, counts);
}

void Analyzer::backwardScan(const Delay& limit, PathCountMap& counts) {
  WeightTagger(*this).countBackward(limit, counts);
}

void Analyzer::colourizeEdges() {
  DomainMask::reset(_domains.size());
  unsigned long number = 0;
  for (Domain* domain : _domains) domain->setMask(DomainMask::getBasic(++number));
  for (Domain* domain : _domains) domain->colourizeEdges();
}

void Analyzer::analyze() {
  createDomains();
  if (!_cpathsAchieved) achieveConstrainedPaths();
  for (Domain* domain : _domains)
    domain->analyze(false, true, true, 50, Delay::getMaximum(), Delay::getMaximum());
  reportDomains(false);
}

void Analyzer::analyze(const Domains& domains) {
  if (!_cpathsAchieved) achieveConstrainedPaths();
  for (Domain* domain : domains)
    domain->analyze(false, true, true, 50, Delay::getMaximum(), Delay::getMaximum());
  tagWeights(0.5f);
}

void Analyzer::launch(const Domains& domains, bool tagging, bool weights, bool longest,
                      bool shortest, unsigned long count, const Delay& margin, const Delay& limit) {
  if (!_cpathsAchieved) achieveConstrainedPaths();
  for (Domain* domain : domains) domain->analyze(tagging, longest, shortest, count, margin, limit);
  // Weights need the slacks of the tagging.
  if (tagging && weights) tagWeights(0.5f);
}

void Analyzer::reset() {
  _periodMap.clear();
  const std::vector<Domain*> domains(_domains.begin(), _domains.end());
  for (Domain* domain : domains) domain->destroy();
  for (const PoleRegistry* poles : {&_mainPoles, &_dualPoles})
    poles->forEach([](Pole* pole) {
      pole->reset();
      for (Edge* edge : pole->getOutgoingEdgeSet()) edge->reset();
    });
  _markedPoles.clear();
  clearLoopStack();
  _loopOpened = false;
  _needReset = false;
  _cpathsAchieved = false;
}

void Analyzer::reportDomains(bool compact) const {
  DomainReport(*this).print(compact);
}

// ---- End of analysis --------------------------------------------------------

// ---- Inspection ------------------------------------------------------------

Orvek::Record* Analyzer::_getRecord() const {
  auto* record = Object::_getRecord();
  record->addHeader("Analyzer");
  record->add("MainPoles", getMainPoles());
  record->add("DualPoles", getDualPoles());
  record->add("Edges", getEdges());
  record->add("Domains", getDomains());
  record->add("FalsePaths", getFalsePaths());
  record->add("MaxdelayPaths", getMaxdelayPaths());
  record->add("MindelayPaths", getMindelayPaths());
  record->add("MulticyclePaths", getMulticyclePaths());
  record->add("FalsePathMask", _falsePathMask);
  record->add("MaxdelayPathMask", _maxdelayPathMask);
  record->add("MindelayPathMask", _mindelayPathMask);
  record->add("MulticyclePathMask", _multicyclePathMask);
  record->add("WaveMap", _waveMap);
  record->add("ClockNameMap", _clockNameMap);
  record->add("ExclusivePoleSetMap", _exclusivePoleSetMap);
  record->add("AsynchronousPoleSetMap", _asynchronousPoleSetMap);
  if (!_inputDelay.empty()) record->add("InputDelay", _inputDelay);
  if (!_outputDelay.empty()) record->add("OutputDelay", _outputDelay);
  if (isSdc()) record->add("Conventions", getName(_conventions));
  return record;
}

}  // namespace Morva
