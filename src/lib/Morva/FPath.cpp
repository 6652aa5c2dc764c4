#include <Morva/Analyzer.h>
#include <Morva/FPath.h>
#include <Orvek/Record.h>

namespace Morva {

void FPath::preCreate(const Poles& sources, const Poles& bridges, const Poles& targets) {
  CPath::preCreate(sources, bridges, targets);
}

FPath* FPath::create(const Poles& sources, const Poles& bridges, const Poles& targets) {
  preCreate(sources, bridges, targets);
  auto* path = new FPath(sources, bridges, targets);
  path->postCreate();
  return path;
}

void FPath::postCreate() {
  if (analyzer) analyzer->attach(this);
  CPath::postCreate();
}

void FPath::preDestroy() {
  CPath::preDestroy();
  if (analyzer) analyzer->detach(this);
}

std::string FPath::getAlias() const {
  return "FALSE-PATH[" + std::to_string(getStamp()) + "]";
}

Orvek::Record* FPath::_getRecord() const {
  auto* record = CPath::_getRecord();
  record->addHeader("FPath");
  return record;
}

}  // namespace Morva
