#include "Notes.h"

#include "Reports.h"
#include "Verdict.h"

#include <Morva/Analyzer.h>
#include <Morva/MPath.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace MorvaTool {

namespace {

using Morva::Delay;

// One kind of note: how many cases, and the text of the worst one (the
// one whose result the other rules change most).
class Note {
 public:
  // The subject follows the count: `one` for a single case, `many` else.
  Note(std::string one, std::string many, std::string remedy)
      : _one(std::move(one)), _many(std::move(many)), _remedy(std::move(remedy)) {}

  void add(long long weight, const std::string& text) {
    if (_count++ == 0 || weight > _weight) {
      _weight = weight;
      _worst = text;
    }
  }

  void collect(std::vector<std::string>& notes) const {
    if (_count == 0) return;
    notes.push_back(std::to_string(_count) + " " + (_count == 1 ? _one : _many) +
                    " (worst: " + _worst + "); " + _remedy);
  }

 private:
  std::string _one;
  std::string _many;
  std::string _remedy;
  unsigned long _count = 0;
  long long _weight = 0;
  std::string _worst;
};

std::string getRowName(const Morva::Subdomain& subdomain) {
  return subdomain.getSourceName() + " to " + subdomain.getTargetName();
}

std::string getRouteName(const Morva::Route& route) {
  const Morva::Pole* target = route.getTarget();
  const Morva::Pole* end = target->isDual() ? route.getEdgeList().back()->getSource() : target;
  return route.getSource()->getName() + " to " + end->getName();
}

bool isTime(const Delay& delay) {
  return delay != Delay::getUndefined() && delay != Delay::getMinimum() &&
         delay != Delay::getMaximum();
}

long long getDistance(const Delay& a, const Delay& b) {
  return std::llabs(static_cast<long long>(a.getValue()) - static_cast<long long>(b.getValue()));
}

// Relationships between two clocks, and the integer duty factor of a
// clock's half-period subdomains.
void noteRelationships(const Morva::Domain& domain, Note& relationships, Note& duty) {
  const Morva::Analyzer& analyzer = *Morva::analyzer;
  if (!domain.isTimed() || domain.isAsynchronous()) return;
  for (const Morva::Subdomain* subdomain : domain.getSubdomainSet()) {
    const Morva::Mode::Code launch = subdomain->getLaunchMode().getCode();
    const Morva::Mode::Code latch = subdomain->getLatchMode().getCode();
    if (domain.isPureClock()) {
      Morva::Pole* root = domain.getLaunchRoot();
      const Delay period = analyzer.getRequiredPeriod(root);
      if (launch == latch || !isTime(period) || !subdomain->isDecisive()) continue;
      const unsigned long ratio = analyzer.getDutyRatio(root);
      const Delay part =
          launch == Morva::Mode::Rising ? analyzer.getHighWidth(root) : analyzer.getLowWidth(root);
      const unsigned long phase = launch == Morva::Mode::Rising ? ratio : 100 - ratio;
      if (phase == 0 || !isTime(part) || part.getValue() <= 0) continue;
      const double exact = static_cast<double>(period.getValue()) / part.getValue();
      const double integer = static_cast<double>(100 / phase);
      if (std::fabs(exact - integer) < 1e-9) continue;
      char text[64];
      std::snprintf(text, sizeof text, ": x%g, exact x%g", integer, exact);
      duty.add(static_cast<long long>(std::fabs(exact - integer) * 1000),
               getRowName(*subdomain) + text);
      continue;
    }
    Delay setup;
    Delay hold;
    const bool known = domain.getWaveRelationship(subdomain, Morva::Conventions::Sdc, setup, hold);
    if (!known || setup == subdomain->getSetupRelation()) continue;
    relationships.add(getDistance(setup, subdomain->getSetupRelation()),
                      getRowName(*subdomain) + ": " + subdomain->getSetupRelation()._getLabel() +
                          ", closest " + setup._getLabel());
  }
}

// Rows that SDC conventions leave unconstrained: the ports without IO
// delays, asynchronous clocks and clocks without a wave.
void noteUnconstrained(const Morva::Domain& domain, Note& unconstrained) {
  const Morva::Analyzer& analyzer = *Morva::analyzer;
  const bool timed = domain.getLaunchRoot() && domain.getLatchRoot() && !domain.isAsynchronous() &&
                     isTime(analyzer.getRequiredPeriod(domain.getLaunchRoot())) &&
                     isTime(analyzer.getRequiredPeriod(domain.getLatchRoot()));
  if (timed) return;
  for (const Morva::Subdomain* subdomain : domain.getSubdomainSet()) {
    const Delay hold = getHoldSlack(*subdomain);
    const Delay setup = getSetupSlack(*subdomain);
    const bool holdWorse = isTime(hold) && (!isTime(setup) || hold < setup);
    const Delay worst = holdWorse ? hold : setup;
    const long long weight = isTime(worst) ? -static_cast<long long>(worst.getValue()) : INT64_MIN;
    unconstrained.add(weight, getRowName(*subdomain) + ": " + (holdWorse ? "hold " : "setup ") +
                                  worst._getLabel());
  }
}

// Routes whose slack the SDC readings of IO delays and multicycle paths
// change.
void noteRoutes(const Morva::Subdomain& subdomain, bool longest, const Options& options,
                Note& inputs, Note& multicycles, Note& compact) {
  const Morva::Analyzer& analyzer = *Morva::analyzer;
  for (const Morva::Route* route : getRoutes(subdomain, longest)) {
    const Delay slack = route->getSlack();
    Morva::IOConstraint input;
    Morva::Pole* source = route->getSource();
    if (subdomain.getLaunchRoot() && source->isInput() &&
        analyzer.hasInputConstraint(source, input)) {
      const Delay delay = longest ? input.getMaximum() : input.getMinimum();
      const Delay corrected = longest ? slack - delay : slack + delay;
      if (isTime(delay) && delay.getValue() != 0)
        inputs.add(-static_cast<long long>(corrected.getValue()),
                   getRouteName(*route) + ": " + slack._getLabel() + ", with its input delay " +
                       corrected._getLabel());
    }
    const auto* multicycle = dynamic_cast<const Morva::MPath*>(route->getConstrainedPath());
    if (longest && multicycle && subdomain.getLatchRoot()) {
      const Delay period = analyzer.getRequiredPeriod(subdomain.getLatchRoot());
      if (isTime(period)) {
        const Delay whole(static_cast<int32_t>(
            static_cast<int64_t>(multicycle->getCycleCount() - 1) * period.getValue()));
        if (whole != route->getDifference())
          multicycles.add(getDistance(whole, route->getDifference()),
                          getRouteName(*route) + ": +" + route->getDifference()._getLabel() +
                              " instead of +" + whole._getLabel());
      }
    }
    if (!longest && options.compact && route->getAdjustedDelay() != slack)
      compact.add(getDistance(route->getAdjustedDelay(), slack),
                  getRouteName(*route) + ": " + route->getAdjustedDelay()._getLabel() +
                      " for a slack of " + slack._getLabel());
  }
}

std::string describe(const Morva::CPath& path) {
  std::string text = "FALSE_PATH";
  const auto group = [&text](const char* option, const Morva::PoleSet& poles) {
    if (poles.empty()) return;
    text += std::string(" ") + option;
    for (const Morva::Pole* pole : poles) text += " " + pole->getName();
  };
  group("-from", path.getSourceSet());
  group("-through", path.getBridgeSet());
  group("-to", path.getTargetSet());
  return text;
}

void noteFalsePaths(Note& falsePaths) {
  for (const Morva::FPath* path : Morva::analyzer->getFalsePaths()) {
    bool clockTarget = false;
    for (const Morva::Pole* target : path->getTargetSet()) clockTarget |= target->isClock();
    if (path->isInsulated() || clockTarget)
      falsePaths.add(static_cast<long long>(path->getPoles().getCount()), describe(*path));
  }
}

}  // namespace

std::vector<std::string> getNotes(const Options& options) {
  std::vector<std::string> notes;
  if (Morva::analyzer->isSdc()) return notes;
  Note relationships(
      "subdomain between clocks uses a setup relationship other than its closest edges",
      "subdomains between clocks use a setup relationship other than their closest edges",
      "--conventions sdc times them against the closest edges");
  Note duty("half-period subdomain scales its arrival time by an integer duty factor",
            "half-period subdomains scale their arrival time by an integer duty factor",
            "--conventions sdc uses the exact ratio");
  Note unconstrained("subdomain of ports without IO delays or of unrelated clocks shows slacks",
                     "subdomains of ports without IO delays or of unrelated clocks show slacks",
                     "--conventions sdc reports them unconstrained");
  Note inputs("listed path from an input port leaves its input delay out of its slack",
              "listed paths from input ports leave their input delay out of their slack",
              "--conventions sdc counts it in the slack and in the path search");
  Note outputs("output port with an output delay has no listed path",
               "output ports with an output delay have no listed paths",
               "--conventions sdc lists them, required at the capture edge minus the delay");
  Note multicycles(
      "multicycle path gains N - 1 times its subdomain's longest arrival instead of N - 1 periods",
      "multicycle paths gain N - 1 times their subdomain's longest arrival instead of N - 1 "
      "periods",
      "--conventions sdc moves the capture edge by whole periods");
  Note falsePaths(
      "false path cuts more than the paths it names",
      "false paths cut more than the paths they name",
      "given by one group of poles, a false path cuts every edge of them, and -to a clock pin "
      "matches nothing; --conventions sdc cuts only the paths that start, pass or end there");
  Note compact(
      "hold path shows its short delay, not its slack, in the compact \"Slack\" column",
      "hold paths show their short delay, not their slack, in the compact \"Slack\" column",
      "--conventions sdc shows the slack");
  Note holdSign("subdomain searches hold paths with its hold relationship's sign reversed",
                "subdomains search hold paths with their hold relationship's sign reversed",
                "--conventions sdc searches with the slack it reports");
  for (const Morva::Domain* domain : Morva::analyzer->getDomainSet()) {
    noteRelationships(*domain, relationships, duty);
    noteUnconstrained(*domain, unconstrained);
    for (const Morva::Subdomain* subdomain : domain->getSubdomainSet()) {
      for (const bool longest : {true, false})
        if (longest ? options.searchesLongest() : options.searchesShortest())
          noteRoutes(*subdomain, longest, options, inputs, multicycles, compact);
      // The reversed sign only matters where the search prunes: under a
      // limit or a margin, or once the count is reached.
      const Delay hold = subdomain->getHoldRelation();
      const bool pruned = options.limit != Delay::getMaximum() ||
                          options.margin != Delay::getMaximum() ||
                          subdomain->getShortestRouteSet().size() >= options.count;
      if (options.searchesShortest() && pruned && domain->getLatchRoot() && isTime(hold) &&
          hold.getValue() != 0)
        holdSign.add(std::llabs(hold.getValue()),
                     getRowName(*subdomain) + ": hold relationship " + hold._getLabel());
    }
  }
  for (const auto& [port, constraint] : Morva::analyzer->getOutputDelays())
    if (constraint.getClockRoot()) outputs.add(0, port->getName());
  noteFalsePaths(falsePaths);
  for (const Note* note : {&relationships, &duty, &unconstrained, &inputs, &outputs, &multicycles,
                           &falsePaths, &compact, &holdSign})
    note->collect(notes);
  return notes;
}

}  // namespace MorvaTool
