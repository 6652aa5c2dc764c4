#include <Morva/Analyzer.h>
#include <Morva/CPath.h>
#include <Morva/Pole.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/CPath";

PoleSet collect(const Poles& poles) {
  PoleSet set;
  for (Pole* pole : poles) set.insert(pole);
  return set;
}

}  // namespace

CPath::CPath(const Poles& sources, const Poles& bridges, const Poles& targets)
    : _sources(collect(sources)), _bridges(collect(bridges)), _targets(collect(targets)) {}

void CPath::preCreate(const Poles& sources, const Poles& bridges, const Poles& targets) {
  Object::preCreate();
  for (const Poles* group : {&sources, &bridges, &targets})
    for (Pole* pole : *group)
      if (!pole) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Null pole");
  if (sources.isEmpty() && bridges.isEmpty() && targets.isEmpty())
    Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Empty poles");
}

void CPath::postCreate() {
  if (analyzer) analyzer->demandReset();
  Object::postCreate();
}

void CPath::preDestroy() {
  Object::preDestroy();
}

Poles CPath::getPoles() const {
  return Orvek::AppendCollection<Pole*>(Orvek::AppendCollection<Pole*>(getSources(), getBridges()),
                                        getTargets());
}

bool CPath::isIn(const Mask& mask) const {
  return !((_mask & mask) == Mask(0));
}

bool CPath::isInsulated() const {
  return (!_sources.empty()) + (!_bridges.empty()) + (!_targets.empty()) == 1;
}

void CPath::validate() {
  for (Pole* pole : _sources) pole->combineOpening(_mask);
  for (Pole* pole : _targets) pole->combineClosing(_mask);
}

std::string CPath::_getLabel() const {
  return Orvek::Label(Object::_getLabel()).update(_mask._getLabel()).getText();
}

Orvek::Record* CPath::_getRecord() const {
  auto* record = Object::_getRecord();
  record->addHeader("CPath");
  record->add("Sources", getSources());
  record->add("Targets", getTargets());
  record->add("Bridges", getBridges());
  record->add("Mask", _mask);
  return record;
}

}  // namespace Morva
