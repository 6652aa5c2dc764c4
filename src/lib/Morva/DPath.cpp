#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/Pole.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

namespace Morva {

namespace {
constexpr const char* kSource = "lib/Morva/DPath";
}

DPath::DPath(const Poles& sources, const Poles& bridges, const Poles& targets, const Delay& delay,
             bool maximum)
    : CPath(sources, bridges, targets), _delay(static_cast<int>(delay)), _maximum(maximum) {}

void DPath::preCreate(const Poles& sources, const Poles& bridges, const Poles& targets,
                      const Delay& delay) {
  CPath::preCreate(sources, bridges, targets);
  if (sources.isEmpty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "preCreate", "Empty sources");
  if (targets.isEmpty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "preCreate", "Empty targets");
  for (Pole* pole : sources)
    if (!pole->isInitial())
      Orvek::raise<Orvek::InvalidRequest>(kSource, "preCreate", "Invalid source");
  for (Pole* pole : targets)
    if (!pole->isTerminal())
      Orvek::raise<Orvek::InvalidRequest>(kSource, "preCreate", "Invalid target");
  if (delay == Delay::getUndefined())
    Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Undefined delay");
}

DPath* DPath::create(const Poles& sources, const Poles& bridges, const Poles& targets,
                     const Delay& delay, bool maximum) {
  preCreate(sources, bridges, targets, delay);
  auto* path = new DPath(sources, bridges, targets, delay, maximum);
  path->postCreate();
  return path;
}

DPath* DPath::createMaximum(const Poles& sources, const Poles& bridges, const Poles& targets,
                            const Delay& delay) {
  return create(sources, bridges, targets, delay, true);
}

DPath* DPath::createMinimum(const Poles& sources, const Poles& bridges, const Poles& targets,
                            const Delay& delay) {
  return create(sources, bridges, targets, delay, false);
}

void DPath::postCreate() {
  if (analyzer) analyzer->attach(this);
  CPath::postCreate();
}

void DPath::preDestroy() {
  CPath::preDestroy();
  if (analyzer) analyzer->detach(this);
}

Delay DPath::getMaxdelay() const {
  if (!_maximum) Orvek::raise<Orvek::InvalidRequest>(kSource, "getMaxdelay", "Invalid maxdelay");
  return Delay(_delay);
}

Delay DPath::getMindelay() const {
  if (_maximum) Orvek::raise<Orvek::InvalidRequest>(kSource, "getMindelay", "Invalid mindelay");
  return Delay(_delay);
}

std::string DPath::getAlias() const {
  return (_maximum ? "MAXDELAY-PATH[" : "MINDELAY-PATH[") + std::to_string(getStamp()) + "]";
}

Orvek::Record* DPath::_getRecord() const {
  auto* record = CPath::_getRecord();
  record->addHeader("DPath");
  record->add(_maximum ? "Maxdelay" : "Mindelay", getDelay()._getLabel());
  return record;
}

}  // namespace Morva
