#include <Morva/Domain.h>
#include <Morva/MPath.h>
#include <Morva/Route.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>

#include "Support.h"

using namespace Morva;
using Support::edge;
using Support::pin;
using Support::port;

namespace {

class RouteSearchTest : public Support::AnalyzerFixture {
 protected:
  // An inputs-to-outputs subdomain, analysed.
  static Subdomain* analyzeIO(const std::vector<Pole*>& inputs, const std::vector<Pole*>& outputs,
                              int setup) {
    Subdomain* io = Subdomain::create(Domain::create(nullptr, nullptr), Mode(), Mode());
    for (Pole* input : inputs) io->captureLaunch(input);
    for (Pole* output : outputs) io->captureLatch(output);
    io->setSetupRelation(Delay(setup));
    analyze(io);
    return io;
  }
  static void analyze(Subdomain* subdomain) {
    Scanner* scanner = subdomain->openScanner();
    scanner->clockAnalyze();
    scanner->arrivalAnalyze();
    scanner->requireAnalyze();
  }
  static std::vector<int> slacks(const Subdomain::RouteSet& routes) {
    std::vector<int> result;
    for (const Route* route : routes) result.push_back(route->getSlack().getValue());
    return result;
  }
  static void destroyRoutes(Subdomain* subdomain) {
    for (const auto* set : {&subdomain->getLongestRouteSet(), &subdomain->getShortestRouteSet()}) {
      const std::vector<Route*> routes(set->begin(), set->end());
      for (Route* route : routes) route->destroy();
    }
  }

  // Inputs i0..i3 reach the output o through m0..m2; i_k -> m_j takes
  // (10k + 9j, 10k + 9j + 1) and m_j -> o (5, 5): twelve routes whose
  // longest delays are 10k + 9j + 6, all different.
  Subdomain* buildFan(int setup) {
    Pole* o = port("o");
    std::vector<Pole*> inputs, mids;
    for (int j = 0; j < 3; ++j) mids.push_back(pin("m" + std::to_string(j)));
    for (int k = 0; k < 4; ++k) {
      inputs.push_back(port("i" + std::to_string(k)));
      for (int j = 0; j < 3; ++j) edge(inputs.back(), mids[j], 10 * k + 9 * j, 10 * k + 9 * j + 1);
    }
    for (Pole* mid : mids) edge(mid, o, 5, 5);
    return analyzeIO(inputs, {o}, setup);
  }
};

}  // namespace

TEST_F(RouteSearchTest, KeepsTheMostCriticalRoutesInOrder) {
  Subdomain* fan = buildFan(0);
  fan->getScanner()->searchLongestRoutes(Delay::getMaximum(), 5);
  EXPECT_EQ(slacks(fan->getLongestRouteSet()), (std::vector<int>{-54, -45, -44, -36, -35}));
  const Route* worst = *fan->getLongestRouteSet().begin();
  EXPECT_EQ(worst->getIdentifier(), "i3...o");
  EXPECT_EQ(worst->getEdgeList().size(), 2u);
  // Outputs have no clock: both clock delays are 0.
  EXPECT_EQ(worst->getLatchDelay(), Delay(0));
  EXPECT_EQ(worst->getLaunchDelay(), Delay(0));

  // A later call adds to the routes, counting afresh.
  fan->getScanner()->searchLongestRoutes(Delay(-45), 1);
  // The least critical route held, -35, makes way for the new -54: the
  // count applies to the routes found by this call, the eviction to all.
  EXPECT_EQ(slacks(fan->getLongestRouteSet()), (std::vector<int>{-54, -54, -45, -45, -44, -36}));

  fan->getScanner()->searchShortestRoutes(Delay::getMaximum(), 3);
  EXPECT_EQ(slacks(fan->getShortestRouteSet()), (std::vector<int>{5, 14, 15}));
}

TEST_F(RouteSearchTest, TheLimitIsInclusiveAndTightens) {
  // Setup 36: the routes of delay 36 and 35 have slacks 0 and 1.
  Subdomain* fan = buildFan(36);
  fan->getScanner()->searchLongestRoutes(Delay(0), 50);
  EXPECT_EQ(slacks(fan->getLongestRouteSet()), (std::vector<int>{-18, -9, -8, 0}));
  destroyRoutes(fan);

  // Two routes of equal slack: with room for one, the first found stays.
  Pole* twin = port("twin");
  edge(twin, analyzer->getMainPole("m2"), 48, 49);
  Subdomain* twins = fan;
  twins->captureLaunch(twin);
  analyze(twins);
  twins->getScanner()->searchLongestRoutes(Delay::getMaximum(), 1);
  ASSERT_EQ(twins->getLongestRouteSet().size(), 1u);
  EXPECT_EQ((*twins->getLongestRouteSet().begin())->getIdentifier(), "i3...o");
  twins->getScanner()->searchLongestRoutes(Delay::getMaximum(), 2);
  EXPECT_EQ(slacks(twins->getLongestRouteSet()), (std::vector<int>{-18, -18, -18}));
  std::vector<std::string> order;
  for (const Route* route : twins->getLongestRouteSet()) order.push_back(route->getIdentifier());
  EXPECT_EQ(order, (std::vector<std::string>{"i3...o", "i3...o", "twin...o"}));
}

TEST_F(RouteSearchTest, ConstrainedRoutesFollowTheGoverningConstraint) {
  // clk -(10,12)-> cb -(5,7)-> ff1, cb -(6,9)-> ff2
  // ff1 =(100,120)=> q1 -(20,30)-> g -(40,50)-> d2 =setup(15,25)=> ff2'
  // in -(5,8)-> g, and a maximum delay path and a multicycle path on the
  // whole register-to-register path.
  Pole* clk = pin("clk");
  Pole* cb = pin("cb");
  Pole* ff1 = pin("ff1", Mode::Rising);
  Pole* ff2 = pin("ff2", Mode::Rising);
  Pole* ff2Data = Pole::createDual("ff2");
  Pole* q1 = pin("q1");
  Pole* g = pin("g");
  Pole* d2 = pin("d2");
  Pole* in = port("in");
  edge(clk, cb, 10, 12);
  edge(cb, ff1, 5, 7);
  edge(cb, ff2, 6, 9);
  const std::vector<Edge*> path{edge(ff1, q1, 100, 120, Purpose::IOPath), edge(q1, g, 20, 30),
                                edge(g, d2, 40, 50), edge(d2, ff2Data, 15, 25, Purpose::SetupHold)};
  edge(in, g, 5, 8);
  DPath* limit = DPath::createMaximum(Support::view({ff1}), Support::view({}),
                                      Support::view({ff2Data}), Delay(150));
  MPath* cycles =
      MPath::create(Support::view({ff1}), Support::view({}), Support::view({ff2Data}), 2);
  Mask::reset(2);
  limit->setMask(Mask::getBasic(1));
  cycles->setMask(Mask::getBasic(2));
  for (CPath* constraint : std::initializer_list<CPath*>{limit, cycles}) {
    constraint->validate();
    for (Edge* each : path) each->sensitize(constraint->getMask());
  }
  analyzer->setMaxdelayPathMask(limit->getMask());
  analyzer->setMulticyclePathMask(cycles->getMask());
  Subdomain* sub =
      Subdomain::create(Domain::create(clk, clk), Mode(Mode::Rising), Mode(Mode::Rising));
  sub->captureLaunch(ff1);
  sub->captureLaunch(in);
  sub->captureLatch(ff2);
  sub->setSetupRelation(Delay(1000));
  Scanner* scanner = sub->openScanner();
  scanner->clockAnalyze();
  scanner->arrivalAnalyze();
  scanner->requireAnalyze();

  // The register path belongs to both constraints and the maximum delay
  // governs it: 150 - 1000 + (1000 - 228). The multicycle search finds
  // the same route and records nothing; the input's route is unconstrained.
  scanner->searchLongestRoutes(Delay::getMaximum(), 10);
  ASSERT_EQ(slacks(sub->getLongestRouteSet()), (std::vector<int>{-78, 933}));
  const Route* governed = *sub->getLongestRouteSet().begin();
  EXPECT_EQ(governed->getConstrainedPath(), limit);
  EXPECT_EQ(governed->getLatchDelay(), Delay(16));
  EXPECT_EQ(governed->getLaunchDelay(), Delay(19));
  EXPECT_EQ(governed->getDifference(), Delay(-850));
  EXPECT_FALSE((*sub->getLongestRouteSet().rbegin())->isConstrained());
  destroyRoutes(sub);

  // Count 0 keeps only maximum delay routes below -1.
  scanner->searchLongestRoutes(Delay(5000), 0);
  ASSERT_EQ(slacks(sub->getLongestRouteSet()), (std::vector<int>{-78}));
  sub->setSetupRelation(Delay::getUndefined());
  Support::expectRaise<Orvek::InvalidRequest>([&] { scanner->searchLongestRoutes(Delay(0), 0); },
                                              "lib/Morva/Scanner", "searchLongestRoutes",
                                              "Undefined difference delay");
}
