#include "Verdict.h"

#include "Reports.h"

#include <Morva/Analyzer.h>
#include <Morva/Edge.h>
#include <Morva/Subdomain.h>

#include <algorithm>
#include <map>

namespace MorvaTool {

namespace {

// The pole a path is checked at: a register's data pin (the start of its
// check arc) or an output port.
const Morva::Pole* getEndpoint(const Morva::Route& route) {
  const Morva::Pole* target = route.getTarget();
  return target->isDual() ? route.getEdgeList().back()->getSource() : target;
}

void addSlack(NegativeSlack& result, long long slack) {
  if (slack >= 0) return;
  result.worst = std::min(result.worst, slack);
  result.total += slack;
}

NegativeSlack getSubdomainSlack(const Morva::Subdomain& subdomain, bool longest, bool searched) {
  const Morva::Domain& domain = *subdomain.getDomain();
  NegativeSlack result;
  const Morva::Delay rowSlack = longest ? getSetupSlack(subdomain) : getHoldSlack(subdomain);
  const Morva::Subdomain::RouteSet& routes = getRoutes(subdomain, longest);
  if (!searched || routes.empty()) {
    if (isTimedSlack(domain, rowSlack)) addSlack(result, rowSlack.getValue());
    return result;
  }
  std::map<const Morva::Pole*, long long, Morva::Object::StampLess> worst;
  for (const Morva::Route* route : routes) {
    const Morva::Delay slack = route->getSlack();
    if (!isTimedSlack(domain, slack)) continue;
    const auto [entry, added] = worst.try_emplace(getEndpoint(*route), slack.getValue());
    if (!added) entry->second = std::min<long long>(entry->second, slack.getValue());
  }
  for (const auto& [endpoint, slack] : worst) addSlack(result, slack);
  // The row may hold a worse slack than any path listed (paths governed
  // by delay constraints, or cut by the count): the worst is the lower.
  if (isTimedSlack(domain, rowSlack) && rowSlack.getValue() < result.worst)
    result.worst = rowSlack.getValue();
  return result;
}

}  // namespace

void NegativeSlack::add(const NegativeSlack& other) {
  worst = std::min(worst, other.worst);
  total += other.total;
}

void Verdict::add(const Verdict& other) {
  setup.add(other.setup);
  hold.add(other.hold);
}

Morva::Delay getSetupSlack(const Morva::Subdomain& subdomain) {
  return subdomain.getSetupRelation() - subdomain.getLAT();
}

Morva::Delay getHoldSlack(const Morva::Subdomain& subdomain) {
  return subdomain.getSAT() - subdomain.getHoldRelation();
}

bool isTimedSlack(const Morva::Domain& domain, const Morva::Delay& slack) {
  return domain.isTimed() && slack != Morva::Delay::getUndefined() &&
         slack != Morva::Delay::getMinimum() && slack != Morva::Delay::getMaximum();
}

Verdict getVerdict(const Morva::Domain& domain, const Options& options) {
  // Without route searches the rows give both kinds; otherwise the kinds
  // searched.
  const bool setup = options.noRoutes || options.searchesLongest();
  const bool hold = options.noRoutes || options.searchesShortest();
  Verdict verdict;
  for (const Morva::Subdomain* subdomain : domain.getSubdomainSet()) {
    if (setup) verdict.setup.add(getSubdomainSlack(*subdomain, true, options.searchesLongest()));
    if (hold) verdict.hold.add(getSubdomainSlack(*subdomain, false, options.searchesShortest()));
  }
  return verdict;
}

Verdict getVerdict(const Options& options) {
  Verdict verdict;
  for (const Morva::Domain* domain : Morva::analyzer->getDomainSet())
    verdict.add(getVerdict(*domain, options));
  return verdict;
}

unsigned long countViolations(const Options& options) {
  unsigned long violations = 0;
  for (const Morva::Domain* domain : Morva::analyzer->getDomainSet())
    for (const Morva::Subdomain* subdomain : domain->getSubdomainSet())
      for (const bool longest : {true, false}) {
        if (longest ? !options.searchesLongest() : !options.searchesShortest()) continue;
        for (const Morva::Route* route : getRoutes(*subdomain, longest)) {
          const Morva::Delay slack = route->getSlack();
          if (domain->isTimed() && slack != Morva::Delay::getUndefined() && slack < 0) ++violations;
        }
      }
  return violations;
}

}  // namespace MorvaTool
