#include "Builder.h"

#include "Errors.h"

#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/Edge.h>
#include <Morva/FPath.h>
#include <Morva/IOConstraint.h>
#include <Morva/MPath.h>
#include <Morva/Pole.h>
#include <Orvek/Exception.h>

namespace MorvaPython {

namespace {

using PoleView = Orvek::SetCollection<Morva::Pole*, Morva::Object::StampLess>;

// The times of a call: the ends of the 32-bit range are codes, not times.
constexpr long long kLowestTime = -2147483646LL;
constexpr long long kHighestTime = 2147483646LL;

Morva::Analyzer& getAnalyzer(const char* operation) {
  if (!Morva::analyzer) Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Null analyzer");
  return *Morva::analyzer;
}

Morva::Delay getDelay(long long time, const char* operation) {
  if (time < kLowestTime || time > kHighestTime)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation,
                                        "Delay out of range: " + std::to_string(time));
  return Morva::Delay(static_cast<int>(time));
}

// A code given by name: the name must be one of the code's own.
template <class Code>
Code getCode(const std::string& name, const char* what, const char* operation) {
  const Code code(name);
  if (code.getName() != name)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation,
                                        std::string("Invalid ") + what + " " + name);
  return code;
}

Morva::Pole* getMainPole(const std::string& name, const char* operation) {
  Morva::Pole* pole = getAnalyzer(operation).getMainPole(name);
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Unknown pole " + name);
  return pole;
}

Morva::Pole* getDualPole(const std::string& name, const char* operation) {
  Morva::Pole* pole = getAnalyzer(operation).getDualPole(name);
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Unknown dual pole " + name);
  return pole;
}

Morva::Pole* getClockRoot(const std::string& name, const char* operation) {
  Morva::Pole* root = getAnalyzer(operation).getClockRoot(name);
  if (!root) Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Unknown clock " + name);
  return root;
}

// The poles of a constrained path's sources, bridges or targets; a target
// that is a clock pole of a timed exception is its dual pole.
Morva::PoleSet getPoleSet(const Names& names, bool timedTargets, const char* operation) {
  Morva::PoleSet poles;
  for (const std::string& name : names) {
    Morva::Pole* pole = getMainPole(name, operation);
    if (timedTargets && pole->isClock()) pole = getDualPole(name, operation);
    poles.insert(pole);
  }
  return poles;
}

}  // namespace

void Builder::addPole(const std::string& name, const std::string& mode, const std::string& type,
                      const std::string& reportName) {
  const char* operation = "add_pole";
  getAnalyzer(operation);
  const auto poleMode = getCode<Morva::Mode>(mode, "mode", operation);
  const auto poleType = getCode<Morva::Type>(type, "type", operation);
  if (poleType.getCode() == Morva::Type::Dual)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation,
                                        "Dual poles come with their clock poles");
  Morva::Pole* pole = Morva::Pole::createMain(name);
  pole->setMode(poleMode);
  pole->setType(poleType);
  if (!reportName.empty()) pole->setReportName(reportName);
  // A clock pole is a register's clock pin: its capture point is the dual
  // pole of the same name.
  if (pole->isClock()) Morva::Pole::createDual(name)->setMode(Morva::Mode(Morva::Mode::None));
}

void Builder::addEdge(const std::string& source, const std::string& target,
                      const std::string& purpose, long long minimum, long long maximum) {
  const char* operation = "add_edge";
  const auto edgePurpose = getCode<Morva::Purpose>(purpose, "purpose", operation);
  const Morva::Delay minimumDelay = getDelay(minimum, operation);
  const Morva::Delay maximumDelay = getDelay(maximum, operation);
  Morva::Pole* from = getMainPole(source, operation);
  // Timing checks end at the data side of a register, its dual pole.
  const bool check = edgePurpose.getCode() == Morva::Purpose::SetupHold ||
                     edgePurpose.getCode() == Morva::Purpose::RecoveryRemoval;
  Morva::Pole* to = check ? getDualPole(target, operation) : getMainPole(target, operation);
  Morva::Edge* edge = Morva::Edge::create(from, to, edgePurpose);
  edge->setMinimumDelay(minimumDelay);
  edge->setMaximumDelay(maximumDelay);
}

void Builder::createClock(const std::string& root, const std::string& name, long long period,
                          long long rising, long long falling) {
  const char* operation = "create_clock";
  Morva::Pole* pole = getMainPole(root, operation);
  getAnalyzer(operation).createClock(pole, name, getDelay(period, operation),
                                     getDelay(rising, operation), getDelay(falling, operation));
}

void Builder::createClockGroups(const Names& first, const Names& second, bool exclusive) {
  const char* operation = "create_clock_groups";
  Morva::PoleSet groups[2];
  for (int index = 0; index < 2; ++index)
    for (const std::string& name : index == 0 ? first : second)
      groups[index].insert(getClockRoot(name, operation));
  if (groups[0].empty() || groups[1].empty())
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Empty clock group(s)");
  getAnalyzer(operation).createClockGroups(PoleView(groups[0]), PoleView(groups[1]), exclusive);
}

void Builder::setIODelay(bool input, const Names& ports, const std::string& clock,
                         const std::string& edge, long long minimum, long long maximum) {
  const char* operation = input ? "set_input_delay" : "set_output_delay";
  const auto mode = getCode<Morva::Mode>(edge, "clock edge", operation);
  if (mode.getCode() == Morva::Mode::None)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Invalid clock edge None");
  const Morva::IOConstraint constraint(getMainPole(clock, operation), mode,
                                       getDelay(minimum, operation), getDelay(maximum, operation));
  Morva::Analyzer& analyzer = getAnalyzer(operation);
  for (const std::string& name : ports) {
    Morva::Pole* port = getMainPole(name, operation);
    if (input)
      analyzer.setInputConstraint(port, constraint);
    else
      analyzer.setOutputConstraint(port, constraint);
  }
}

void Builder::addFalsePath(const Names& sources, const Names& bridges, const Names& targets) {
  const char* operation = "add_false_path";
  const Morva::PoleSet from = getPoleSet(sources, false, operation);
  const Morva::PoleSet through = getPoleSet(bridges, false, operation);
  const Morva::PoleSet to = getPoleSet(targets, false, operation);
  Morva::FPath::create(PoleView(from), PoleView(through), PoleView(to));
}

void Builder::addMulticyclePath(long long cycles, const Names& sources, const Names& bridges,
                                const Names& targets) {
  const char* operation = "add_multicycle_path";
  if (cycles < 0 || cycles > kHighestTime)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation,
                                        "Invalid cycle count " + std::to_string(cycles));
  const Morva::PoleSet from = getPoleSet(sources, false, operation);
  const Morva::PoleSet through = getPoleSet(bridges, false, operation);
  const Morva::PoleSet to = getPoleSet(targets, true, operation);
  Morva::MPath::create(PoleView(from), PoleView(through), PoleView(to),
                       static_cast<unsigned long>(cycles));
}

void Builder::addDelayPath(bool maximum, long long delay, const Names& sources,
                           const Names& bridges, const Names& targets) {
  const char* operation = maximum ? "add_max_delay_path" : "add_min_delay_path";
  const Morva::Delay limit = getDelay(delay, operation);
  const Morva::PoleSet from = getPoleSet(sources, false, operation);
  const Morva::PoleSet through = getPoleSet(bridges, false, operation);
  const Morva::PoleSet to = getPoleSet(targets, true, operation);
  if (maximum)
    Morva::DPath::createMaximum(PoleView(from), PoleView(through), PoleView(to), limit);
  else
    Morva::DPath::createMinimum(PoleView(from), PoleView(through), PoleView(to), limit);
}

}  // namespace MorvaPython
