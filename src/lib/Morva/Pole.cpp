#include <Morva/Analyzer.h>
#include <Morva/Pole.h>
#include <Morva/detail/ObjectPool.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Pole";

ObjectPool& getPool() {
  static ObjectPool pool(sizeof(Pole));
  return pool;
}

// What few poles have (report names, buddies), kept by pole rather than
// in every pole. Never destroyed, as poles may be destroyed late at exit.
template <class Value>
std::unordered_map<const Pole*, Value>& getAside() {
  static auto* values = new std::unordered_map<const Pole*, Value>();
  return *values;
}

// An empty value is not kept.
template <class Value>
void setAside(const Pole* pole, const Value& value) {
  if (value == Value())
    getAside<Value>().erase(pole);
  else
    getAside<Value>()[pole] = value;
}

template <class Value>
Value getAside(const Pole* pole) {
  const std::unordered_map<const Pole*, Value>& values = getAside<Value>();
  if (values.empty()) return Value();
  const auto found = values.find(pole);
  return found == values.end() ? Value() : found->second;
}

template <class Value>
void forgetAside(const Pole* pole) {
  std::unordered_map<const Pole*, Value>& values = getAside<Value>();
  if (!values.empty()) values.erase(pole);
}

// The numbers of the living poles, and the pole of each: freed numbers are
// taken again, smallest first, so that the numbers stay dense as poles come
// and go; once no pole lives, numbering starts over. Never destroyed, like
// the pool.
class PoleNumbers {
 public:
  // Numbering a pole or freeing its number changes the graph.
  uint32_t take(Pole* pole) {
    GraphEpoch::bump();
    ++_living;
    if (_free.empty()) {
      _poles.push_back(pole);
      return _bound++;
    }
    std::pop_heap(_free.begin(), _free.end(), std::greater<>());
    const uint32_t number = _free.back();
    _free.pop_back();
    _poles[number] = pole;
    return number;
  }
  void give(uint32_t number) {
    GraphEpoch::bump();
    if (--_living == 0) {
      _free.clear();
      _poles.clear();
      _bound = 0;
      return;
    }
    _poles[number] = nullptr;
    _free.push_back(number);
    std::push_heap(_free.begin(), _free.end(), std::greater<>());
  }
  std::size_t getBound() const { return _bound; }
  Pole* const* getPoles() const { return _poles.data(); }
  // Gives back the room the arrays grew beyond what they hold, when worth it.
  void trim() {
    if (_poles.capacity() - _poles.size() <= _poles.size() / 8) return;
    _poles.shrink_to_fit();
    _free.shrink_to_fit();
    GraphEpoch::bump();
  }

 private:
  std::vector<uint32_t> _free;
  std::vector<Pole*> _poles;
  uint32_t _bound = 0;
  std::size_t _living = 0;
};

PoleNumbers& getNumbers() {
  static auto* numbers = new PoleNumbers();
  return *numbers;
}

}  // namespace

std::size_t Pole::getNumberBound() {
  return getNumbers().getBound();
}

Pole* const* Pole::getNumberedPoles() {
  return getNumbers().getPoles();
}

void Pole::trimNumbers() {
  getNumbers().trim();
}

void* Pole::operator new(std::size_t size) {
  return getPool().allocate(size);
}

void Pole::operator delete(void* block, std::size_t size) {
  getPool().deallocate(block, size);
}

// The number is taken last, so that a failed construction keeps none.
Pole::Pole(const std::string& name) : _name(name) {
  _number = getNumbers().take(this);
}

Pole::~Pole() {
  getNumbers().give(_number);
  forgetAside<std::string>(this);
  forgetAside<Orvek::Stuff*>(this);
}

void Pole::setReportName(const std::string& name) {
  setAside(this, name);
}

void Pole::setBuddy(Orvek::Stuff* buddy) {
  setAside(this, buddy);
}

Orvek::Stuff* Pole::getBuddy() const {
  return getAside<Orvek::Stuff*>(this);
}

void Pole::preCreateMain(const std::string& name) {
  Object::preCreate();
  if (name.empty()) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreateMain", "Empty name");
  if (analyzer && analyzer->getMainPole(name))
    Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreateMain", "Already exists");
}

void Pole::preCreateDual(const std::string& name) {
  Object::preCreate();
  if (name.empty()) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreateDual", "Empty name");
  if (analyzer && analyzer->getDualPole(name))
    Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreateDual", "Already exists");
}

Pole* Pole::createMain(const std::string& name) {
  preCreateMain(name);
  auto* pole = new Pole(name);
  pole->setType(Type(Type::None));
  pole->postCreate(name);
  return pole;
}

Pole* Pole::createDual(const std::string& name) {
  preCreateDual(name);
  auto* pole = new Pole(name);
  pole->writeType(Type::Dual);
  pole->postCreate(name);
  return pole;
}

void Pole::postCreate(const std::string&) {
  if (analyzer) analyzer->attach(this);
  unmark();
  Object::postCreate();
}

void Pole::preDestroy() {
  Object::preDestroy();
  for (Edge* edge : getIncomingEdges()) edge->destroy();
  for (Edge* edge : getOutgoingEdges()) edge->destroy();
  if (analyzer) analyzer->detach(this);
}

std::string Pole::getReportName() const {
  if (hasWaveFlag() && analyzer) return analyzer->getWave(const_cast<Pole*>(this)).getName();
  std::string name = getAside<std::string>(this);
  return name.empty() ? _name : name;
}

std::string Pole::getAlias() const {
  if (isClock()) return "CLOCK[" + _name + "]";
  if (isDual()) return "DUAL[" + _name + "]";
  return "POLE[" + _name + "]";
}

void Pole::mark() {
  if (flag(5)) return;
  setFlagBit(5, true);
  if (analyzer) analyzer->noteMarked(this);
}

void Pole::setMode(const Mode& mode) {
  switch (mode.getCode()) {
    case Mode::None:
      setGraphFlagBit(1, false);
      setGraphFlagBit(2, false);
      break;
    case Mode::Rising:
      setGraphFlagBit(1, true);
      setGraphFlagBit(2, true);
      break;
    case Mode::Falling:
      setGraphFlagBit(1, true);
      setGraphFlagBit(2, false);
      break;
    default:
      break;
  }
}

// The analyzer files a pole by whether it is dual: a main pole never
// becomes Dual and a dual pole never leaves Dual, or its registry entry
// would be left behind when it is destroyed.
void Pole::setType(const Type& type) {
  if ((type.getCode() == Type::Dual) == isDual()) writeType(type.getCode());
}

void Pole::writeType(Type::Code code) {
  switch (code) {
    case Type::None:
      setGraphFlagBit(3, false);
      setGraphFlagBit(4, false);
      break;
    case Type::Primary:
      setGraphFlagBit(3, true);
      setGraphFlagBit(4, true);
      break;
    case Type::ClockSource:
      setGraphFlagBit(3, true);
      setGraphFlagBit(4, false);
      break;
    case Type::Dual:
      setGraphFlagBit(3, false);
      setGraphFlagBit(4, true);
      break;
    default:
      break;
  }
}

Pole* Pole::getMain() const {
  return analyzer ? analyzer->getMainPole(_name) : nullptr;
}

Pole* Pole::getDual() const {
  if (!isClock() || !analyzer) return nullptr;
  Pole* partner = getPartner();
  return partner ? partner : analyzer->getDualPole(_name);
}

Pole* Pole::getClock() const {
  if (!isDual() || !analyzer) return nullptr;
  Pole* partner = getPartner();
  return partner ? partner : analyzer->getMainPole(_name);
}

void Pole::pair(Pole* partner) {
  unpair();
  if (!partner) return;
  partner->unpair();
  _partnerNumber.set(partner->_number);
  partner->_partnerNumber.set(_number);
}

void Pole::unpair() {
  Pole* partner = getPartner();
  if (partner && partner->_partnerNumber == _number) partner->_partnerNumber.set(_noPartner);
  _partnerNumber.set(_noPartner);
}

Edge* Pole::getIncomingEdge(const Pole* source) const {
  for (Edge* edge : _incomingEdges)
    if (edge->getSource() == source) return edge;
  return nullptr;
}

Edge* Pole::getOutgoingEdge(const Pole* target) const {
  for (Edge* edge : _outgoingEdges)
    if (edge->getTarget() == target) return edge;
  return nullptr;
}

void Pole::attach(Edge* edge) {
  if (edge->getTarget() == this)
    _incomingEdges.insert(edge);
  else
    _outgoingEdges.insert(edge);
}

void Pole::detach(Edge* edge) {
  if (edge->getTarget() == this)
    _incomingEdges.erase(edge);
  else
    _outgoingEdges.erase(edge);
}

void Pole::combineOpening(const Mask& mask) {
  _openingMaskNumber.set(packMaskNumber((getOpeningMask() | mask).getNumber()));
}

void Pole::combineClosing(const Mask& mask) {
  _closingMaskNumber.set(packMaskNumber((getClosingMask() | mask).getNumber()));
}

void Pole::insulate() {
  for (Edge* edge : _incomingEdges) edge->disactivate();
  for (Edge* edge : _outgoingEdges) edge->disactivate();
}

void Pole::reset() {
  unmark();
  setWaveFlag(false);
  _openingMaskNumber.set(0);
  _closingMaskNumber.set(0);
}

std::string Pole::_getLabel() const {
  Orvek::Label label(Object::_getLabel());
  if (modeCode() != Mode::None) label.update(getMode()._getLabel());
  if (typeCode() != Type::None) label.update(getType()._getLabel());
  return label.getText();
}

Orvek::Record* Pole::_getRecord() const {
  auto* record = Object::_getRecord();
  record->addHeader("Pole");
  record->add("ReportName", getReportName());
  if (modeCode() != Mode::None) record->add("Mode", getMode());
  if (typeCode() != Type::None) record->add("Type", getType());
  auto addPole = [record](const std::string& name, Pole* pole) {
    if (pole)
      record->addSlot(pole->_getSlot(name));
    else
      record->addSlot(Orvek::NullSlot::create(name));
  };
  if (isDual()) addPole("Clock", getClock());
  if (isClock()) addPole("Dual", getDual());
  record->add("IncomingEdges", getIncomingEdges());
  record->add("OutgoingEdges", getOutgoingEdges());
  record->add("Marked", isMarked());
  record->add("OpeningMaskNumber", getOpeningMaskNumber());
  record->add("OpeningMask", getOpeningMask());
  record->add("ClosingMask", getClosingMask());
  return record;
}

}  // namespace Morva
