#include "SdcDesign.h"

#include <Morva/Analyzer.h>
#include <Morva/Edge.h>

#include <tcl.h>

#include <deque>
#include <set>

namespace MorvaImport {

namespace {

bool isCheck(const Morva::Edge* edge) {
  const Morva::Purpose::Code purpose = edge->getPurpose().getCode();
  return purpose == Morva::Purpose::SetupHold || purpose == Morva::Purpose::RecoveryRemoval;
}

bool matches(const std::string& name, const std::string& pattern) {
  return Tcl_StringMatch(name.c_str(), pattern.c_str()) != 0;
}

template <class Name>
std::vector<SdcObject> select(ObjectKind kind, const std::vector<Name>& names,
                              const std::string& pattern) {
  std::vector<SdcObject> found;
  for (const Name& name : names) {
    const std::string& text = [&name]() -> const std::string& {
      if constexpr (std::is_same_v<Name, Morva::Pole*>)
        return name->getName();
      else
        return name;
    }();
    if (matches(text, pattern)) found.push_back({kind, text});
  }
  return found;
}

}  // namespace

const char* getKindName(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Port:
      return "port";
    case ObjectKind::Pin:
      return "pin";
    case ObjectKind::Cell:
      return "cell";
    case ObjectKind::Net:
      return "net";
    case ObjectKind::Clock:
      return "clock";
  }
  return "object";
}

SdcDesign::SdcDesign(char divider, const FlatNetlist* netlist) {
  for (Morva::Pole* pole : Morva::analyzer->getMainPoles()) {
    if (pole->getType().getCode() == Morva::Type::Primary) {
      _ports.push_back(pole);
      continue;
    }
    _pins.push_back(pole);
    const std::size_t cut = pole->getName().rfind(divider);
    if (cut == std::string::npos || cut == 0) continue;
    const std::string cell = pole->getName().substr(0, cut);
    std::vector<Morva::Pole*>& pins = _cells[cell];
    if (pins.empty()) _cellNames.push_back(cell);
    pins.push_back(pole);
  }
  if (!netlist) return;
  _netNames = netlist->netNames;
  for (const FlatPort& port : netlist->ports)
    _nets[netlist->netNames[static_cast<std::size_t>(port.net)]].push_back(port.name);
  for (const FlatInstance& instance : netlist->instances)
    for (const FlatPin& pin : instance.pins)
      _nets[netlist->netNames[static_cast<std::size_t>(pin.net)]].push_back(instance.name +
                                                                            divider + pin.pin);
}

std::vector<SdcObject> SdcDesign::find(ObjectKind kind, const std::string& pattern) const {
  switch (kind) {
    case ObjectKind::Port:
      return select(kind, _ports, pattern);
    case ObjectKind::Pin:
      return select(kind, _pins, pattern);
    case ObjectKind::Cell:
      return select(kind, _cellNames, pattern);
    case ObjectKind::Net:
      return select(kind, _netNames, pattern);
    case ObjectKind::Clock:
      return select(kind, _clockNames, pattern);
  }
  return {};
}

std::vector<SdcObject> SdcDesign::getInputs() const {
  std::vector<SdcObject> found;
  for (Morva::Pole* port : _ports)
    if (port->isInput()) found.push_back({ObjectKind::Port, port->getName()});
  return found;
}

std::vector<SdcObject> SdcDesign::getOutputs() const {
  std::vector<SdcObject> found;
  for (Morva::Pole* port : _ports)
    if (!port->isInput()) found.push_back({ObjectKind::Port, port->getName()});
  return found;
}

std::vector<SdcObject> SdcDesign::getRegisters() const {
  std::vector<SdcObject> found;
  for (const std::string& cell : _cellNames)
    for (const Morva::Pole* pin : _cells.at(cell))
      if (pin->isClock()) {
        found.push_back({ObjectKind::Cell, cell});
        break;
      }
  return found;
}

bool SdcDesign::has(ObjectKind kind, const std::string& name) const {
  switch (kind) {
    case ObjectKind::Port:
    case ObjectKind::Pin: {
      const Morva::Pole* pole = getPole(name);
      return pole &&
             (pole->getType().getCode() == Morva::Type::Primary) == (kind == ObjectKind::Port);
    }
    case ObjectKind::Cell:
      return _cells.count(name) > 0;
    case ObjectKind::Net:
      return _nets.count(name) > 0;
    case ObjectKind::Clock:
      return _clocks.count(name) > 0;
  }
  return false;
}

void SdcDesign::addClock(const std::string& name, const std::vector<Morva::Pole*>& roots) {
  if (!_clocks.count(name)) _clockNames.push_back(name);
  _clocks[name] = roots;
}

std::vector<Morva::Pole*> SdcDesign::getClockRoots(const std::string& name) const {
  const auto found = _clocks.find(name);
  return found == _clocks.end() ? std::vector<Morva::Pole*>() : found->second;
}

std::vector<Morva::Pole*> SdcDesign::getClockPins(Morva::Pole* root) const {
  std::vector<Morva::Pole*> pins;
  std::set<Morva::Pole*> seen{root};
  std::deque<Morva::Pole*> queue{root};
  while (!queue.empty()) {
    Morva::Pole* pole = queue.front();
    queue.pop_front();
    if (pole != root && pole->isClock()) {
      pins.push_back(pole);
      continue;
    }
    for (Morva::Edge* edge : pole->getOutgoingEdgeSet())
      if (!isCheck(edge) && seen.insert(edge->getTarget()).second)
        queue.push_back(edge->getTarget());
  }
  return pins;
}

std::vector<Morva::Pole*> SdcDesign::getDataPins(Morva::Pole* clockPin) {
  std::vector<Morva::Pole*> pins;
  if (Morva::Pole* dual = clockPin->getDual())
    for (Morva::Edge* edge : dual->getIncomingEdgeSet()) pins.push_back(edge->getSource());
  return pins;
}

Morva::Pole* SdcDesign::getCheckingClock(Morva::Pole* dataPin) {
  for (Morva::Edge* edge : dataPin->getOutgoingEdgeSet())
    if (isCheck(edge)) return edge->getTarget()->getClock();
  return nullptr;
}

Morva::Pole* SdcDesign::getPole(const std::string& name) const {
  return Morva::analyzer->getMainPole(name);
}

const std::vector<Morva::Pole*>& SdcDesign::getCellPins(const std::string& cell) const {
  static const std::vector<Morva::Pole*> kNone;
  const auto found = _cells.find(cell);
  return found == _cells.end() ? kNone : found->second;
}

std::vector<Morva::Pole*> SdcDesign::getCellOutputs(const std::string& cell) const {
  std::vector<Morva::Pole*> outputs;
  for (Morva::Pole* pin : getCellPins(cell))
    for (const Morva::Edge* edge : pin->getIncomingEdgeSet())
      if (edge->getPurpose().getCode() == Morva::Purpose::IOPath) {
        outputs.push_back(pin);
        break;
      }
  return outputs;
}

std::vector<Morva::Pole*> SdcDesign::getNetPoles(const std::string& net) const {
  std::vector<Morva::Pole*> poles;
  const auto found = _nets.find(net);
  if (found != _nets.end())
    for (const std::string& name : found->second)
      if (Morva::Pole* pole = getPole(name)) poles.push_back(pole);
  return poles;
}

}  // namespace MorvaImport
