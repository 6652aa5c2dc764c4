#include <Morva/Analyzer.h>
#include <Morva/MPath.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

namespace Morva {

namespace {
constexpr const char* kSource = "lib/Morva/MPath";
}

MPath::MPath(const Poles& sources, const Poles& bridges, const Poles& targets,
             unsigned long cycleCount)
    : CPath(sources, bridges, targets), _cycleCount(cycleCount) {}

void MPath::preCreate(const Poles& sources, const Poles& bridges, const Poles& targets,
                      unsigned long cycleCount) {
  CPath::preCreate(sources, bridges, targets);
  if (sources.isEmpty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "preCreate", "Empty sources");
  if (targets.isEmpty()) Orvek::raise<Orvek::InvalidRequest>(kSource, "preCreate", "Empty targets");
  if (cycleCount < 2)
    Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Too small cycle count");
}

MPath* MPath::create(const Poles& sources, const Poles& bridges, const Poles& targets,
                     unsigned long cycleCount) {
  preCreate(sources, bridges, targets, cycleCount);
  auto* path = new MPath(sources, bridges, targets, cycleCount);
  path->postCreate();
  return path;
}

void MPath::postCreate() {
  if (analyzer) analyzer->attach(this);
  CPath::postCreate();
}

void MPath::preDestroy() {
  CPath::preDestroy();
  if (analyzer) analyzer->detach(this);
}

std::string MPath::getAlias() const {
  return "MULTICYCLE-PATH[" + std::to_string(getStamp()) + "]";
}

Orvek::Record* MPath::_getRecord() const {
  auto* record = CPath::_getRecord();
  record->addHeader("MPath");
  record->add("CycleCount", Orvek::getLabel(_cycleCount));
  return record;
}

}  // namespace Morva
