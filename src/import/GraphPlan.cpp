#include "GraphPlan.h"

#include <Morva/Analyzer.h>
#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Orvek/Exception.h>

#include <limits>

namespace MorvaImport {

namespace {

constexpr const char* kSource = "import/GraphPlan";

Morva::Delay toDelay(long long value) {
  // Delays beyond a few milliseconds are beyond what the codes allow.
  if (value < -1000000000LL || value > 1000000000LL)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "commit", "Delay out of range");
  return Morva::Delay(static_cast<int>(value));
}

}  // namespace

int GraphPlan::addPole(const std::string& name) {
  const auto [found, added] = _poleIndex.emplace(name, static_cast<int>(_poles.size()));
  if (added) _poles.push_back(Pole{name, false, 0});
  return found->second;
}

int GraphPlan::findPole(const std::string& name) const {
  const auto found = _poleIndex.find(name);
  return found == _poleIndex.end() ? -1 : found->second;
}

GraphPlan::Arc& GraphPlan::addArc(int source, int target, Morva::Purpose::Code purpose) {
  const auto [found, added] =
      _arcIndex.emplace(std::make_tuple(source, target, static_cast<int>(purpose)), _arcs.size());
  if (added) _arcs.push_back(Arc{source, target, purpose, {}, false, 0});
  return _arcs[found->second];
}

void GraphPlan::commit() const {
  std::vector<Morva::Pole*> mains;
  std::vector<Morva::Pole*> duals(_poles.size(), nullptr);
  mains.reserve(_poles.size());
  for (std::size_t i = 0; i < _poles.size(); ++i) {
    const Pole& plan = _poles[i];
    Morva::Pole* pole = Morva::Pole::createMain(plan.name);
    if (plan.mode)
      pole->setMode(Morva::Mode(plan.mode == 'r' ? Morva::Mode::Rising : Morva::Mode::Falling));
    if (plan.primary) pole->setType(Morva::Type(Morva::Type::Primary));
    if (plan.mode) duals[i] = Morva::Pole::createDual(plan.name);
    mains.push_back(pole);
  }
  for (const Arc& arc : _arcs) {
    const bool control =
        arc.purpose == Morva::Purpose::SetupHold || arc.purpose == Morva::Purpose::RecoveryRemoval;
    Morva::Pole* target = control ? duals[static_cast<std::size_t>(arc.target)]
                                  : mains[static_cast<std::size_t>(arc.target)];
    Morva::Edge* edge = Morva::Edge::create(mains[static_cast<std::size_t>(arc.source)], target,
                                            Morva::Purpose(arc.purpose));
    edge->setMinimumDelay(toDelay(arc.bounds.minimum));
    edge->setMaximumDelay(toDelay(arc.bounds.maximum));
  }
  for (const Clock& clock : _clocks)
    Morva::analyzer->createClock(mains[static_cast<std::size_t>(clock.root)], clock.name,
                                 toDelay(clock.period), toDelay(clock.rising),
                                 toDelay(clock.falling));
}

}  // namespace MorvaImport
