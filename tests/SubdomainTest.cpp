// The edge colouring walk of subdomains against its plain recursion.
#include <Morva/Domain.h>
#include <Morva/DomainMask.h>
#include <Morva/Route.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>

#include "Support.h"

#include <functional>

using Morva::Delay;
using Morva::Domain;
using Morva::DomainMask;
using Morva::Edge;
using Morva::Mode;
using Morva::Pole;
using Morva::Subdomain;

namespace {

const Mode kNone(Mode::None);
const Mode kRising(Mode::Rising);
const Mode kFalling(Mode::Falling);

using SubdomainTest = Support::AnalyzerFixture;

// The colouring walk as the plain recursion it stands for.
void colourRecursively(Subdomain* subdomain) {
  const DomainMask mask = subdomain->getMask();
  Morva::PoleSet pathPoles;
  std::set<Edge*, Morva::Object::StampLess> pathEdges;
  auto colour = [&]() {
    for (Edge* edge : pathEdges) edge->setDomainMask(edge->getDomainMask() | mask);
  };
  std::function<void(Pole*)> visit = [&](Pole* pole) {
    if (pole->isMarked()) {
      for (Edge* edge : pole->getOutgoingEdges())
        if ((edge->getDomainMask() & mask).getNumber() != 0) return colour();
      return;
    }
    pathPoles.insert(pole);
    if (pole->isTerminal()) {
      if (subdomain->getLatchLeafSet().contains(pole->getMain())) colour();
      pathPoles.erase(pole);
      return;
    }
    pole->mark();
    for (Edge* edge : pole->getOutgoingEdges().getActives()) {
      if (pathPoles.contains(edge->getTarget())) continue;
      pathEdges.insert(edge);
      visit(edge->getTarget());
      pathEdges.erase(edge);
    }
    pathPoles.erase(pole);
  };
  Morva::analyzer->unmark();
  for (Pole* leaf : subdomain->getLaunchLeaves()) visit(leaf);
  Morva::analyzer->unmark();
}

std::vector<unsigned long> getDomainMasks(const std::vector<Edge*>& edges) {
  std::vector<unsigned long> masks;
  for (Edge* edge : edges) masks.push_back(edge->getDomainMask().getNumber());
  return masks;
}

}  // namespace

TEST_F(SubdomainTest, ColourizeMatchesRecursiveWalk) {
  std::mt19937 random(7);
  auto pick = [&random](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  for (int trial = 0; trial < 300; ++trial) {
    Morva::analyzer->destroy();
    Morva::Analyzer::create();
    std::vector<Pole*> poles;
    for (std::size_t index = 0, count = 4 + pick(9); index < count; ++index) {
      const std::string name = "n" + std::to_string(index);
      poles.push_back(Pole::createMain(name));
      if (pick(3) == 0) poles.push_back(Pole::createDual(name));
    }
    // Random edges make cycles, shared fan-in and inactive arcs.
    std::vector<Edge*> edges;
    for (std::size_t index = 0, count = pick(3 * poles.size()); index < count; ++index) {
      Pole* source = poles[pick(poles.size())];
      Pole* target = poles[pick(poles.size())];
      if (source == target) continue;
      edges.push_back(Edge::createInterconnect(source, target));
      if (pick(6) == 0) edges.back()->disactivate();
    }
    Pole* clkA = Support::clock("clkA");
    std::vector<Subdomain*> subdomains;
    for (Domain* domain : {Domain::create(clkA, clkA), Domain::create(nullptr, clkA)}) {
      subdomains.push_back(
          Subdomain::create(domain, domain->getLaunchRoot() ? kRising : kNone, kRising));
      subdomains.push_back(
          Subdomain::create(domain, domain->getLaunchRoot() ? kFalling : kNone, kFalling));
    }
    for (Subdomain* subdomain : subdomains)
      for (Pole* pole : poles) {
        if (pick(3) == 0) subdomain->captureLaunch(pole);
        if (pick(3) == 0) subdomain->captureLatch(pole->getMain());
      }
    DomainMask::reset(2);
    subdomains[0]->getDomain()->setMask(DomainMask::getBasic(1));
    subdomains[2]->getDomain()->setMask(DomainMask::getBasic(2));

    // Subdomains of one domain see each other's colours, so the walks are
    // compared after each subdomain.
    std::vector<std::vector<unsigned long>> expected;
    for (Subdomain* subdomain : subdomains) {
      colourRecursively(subdomain);
      expected.push_back(getDomainMasks(edges));
    }
    for (Edge* edge : edges) edge->setDomainMask(DomainMask(0));
    for (std::size_t index = 0; index < subdomains.size(); ++index) {
      subdomains[index]->colourizeEdges();
      ASSERT_EQ(getDomainMasks(edges), expected[index]) << "trial " << trial;
    }
    for (Pole* pole : poles) ASSERT_FALSE(pole->isMarked());
  }
}
