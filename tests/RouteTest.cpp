// Routes: creation checks, derived delays and slacks, and their filing in
// the subdomain.
#include <Morva/Domain.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>

#include "Support.h"

#include <list>

using Morva::Delay;
using Morva::Domain;
using Morva::Edge;
using Morva::Mode;
using Morva::Pole;
using Morva::Route;
using Morva::Subdomain;

namespace {

const Mode kNone(Mode::None);
const Mode kRising(Mode::Rising);
const Delay kUndefined = Delay::getUndefined();

Morva::Edges edgesOf(const std::list<Edge*>& edges) {
  return Orvek::ListCollection<Edge*>(edges);
}

// Clock clk drives the rising registers ff1 and ff2: ff1 -> q (80/100ps)
// -> d (20/30ps) -> setup check (10/50ps) into ff2's dual pole; the input
// port in feeds d and q drives the output port out (40/60ps).
class RouteTest : public Support::AnalyzerFixture {
 protected:
  void SetUp() override {
    AnalyzerFixture::SetUp();
    clk = Support::clock("clk");
    ff1 = Support::pin("ff1", Mode::Rising);
    ff2 = Support::pin("ff2", Mode::Rising);
    ff2Dual = Pole::createDual("ff2");
    q = Support::pin("q");
    d = Support::pin("d");
    in = Support::port("in");
    out = Support::port("out");
    clockToQ = Support::edge(ff1, q, 80, 100, Morva::Purpose::IOPath);
    wire = Support::edge(q, d, 20, 30);
    check = Support::edge(d, ff2Dual, 10, 50, Morva::Purpose::SetupHold);
    inWire = Support::edge(in, d, 5, 7);
    toOut = Support::edge(q, out, 40, 60, Morva::Purpose::IOPath);
    subdomain = Subdomain::create(Domain::create(clk, clk), kRising, kRising);
    subdomain->captureLaunch(ff1);
    subdomain->captureLatch(ff2);
    subdomain->setSetupRelation(Delay(1000));
  }

  static std::string creationError(Subdomain* subdomain, const std::list<Edge*>& edges,
                                   Delay latch = 0, Delay launch = 0, Delay difference = 0) {
    try {
      Route::createLongest(subdomain, edgesOf(edges), latch, launch, difference);
    } catch (const Orvek::FactoryFailed& error) {
      EXPECT_EQ(error.getFile() + ":" + error.getOperation(), "lib/Morva/Route:preCreate");
      return error.getMessage();
    }
    return "created";
  }

  Pole *clk, *ff1, *ff2, *ff2Dual, *q, *d, *in, *out;
  Edge *clockToQ, *wire, *check, *inWire, *toOut;
  Subdomain* subdomain;
};

}  // namespace

TEST_F(RouteTest, CreationChecksInOrder) {
  const std::list<Edge*> path{clockToQ, wire, check};
  EXPECT_EQ(creationError(nullptr, {}), "Null subdomain");
  EXPECT_EQ(creationError(subdomain, {clockToQ, nullptr}), "Null edge");
  EXPECT_EQ(creationError(subdomain, {}), "Empty edges");

  // Data from the inputs must start at an input port.
  Subdomain* fromInput = Subdomain::create(Domain::create(nullptr, clk), kNone, kRising);
  fromInput->captureLaunch(q);
  fromInput->captureLatch(ff2);
  EXPECT_EQ(creationError(fromInput, {wire, check}), "Rejected source");
  EXPECT_EQ(creationError(fromInput, {inWire, check}), "Incompatible source");

  // An output target must be a latch leaf itself, a dual one through its
  // clock; other targets have no clock. Without a latch root the target
  // itself must be a latch leaf.
  EXPECT_EQ(creationError(subdomain, {clockToQ, toOut}), "Incompatible target");
  EXPECT_EQ(creationError(subdomain, {clockToQ, wire}), "Null clock pole");
  Subdomain* toOutput = Subdomain::create(Domain::create(clk, nullptr), kRising, kNone);
  toOutput->captureLaunch(ff1);
  toOutput->captureLatch(ff2);
  EXPECT_EQ(creationError(toOutput, path), "Incompatible target");

  EXPECT_EQ(creationError(subdomain, {clockToQ, check}), "Rejected edge");
  EXPECT_EQ(creationError(subdomain, path, kUndefined, kUndefined, kUndefined),
            "Undefined latchDelay");
  EXPECT_EQ(creationError(subdomain, path, 0, kUndefined, kUndefined), "Undefined launchDelay");
  EXPECT_EQ(creationError(subdomain, path, 0, 0, kUndefined), "Undefined difference");
  EXPECT_TRUE(subdomain->getLongestRoutes().isEmpty());
  EXPECT_EQ(creationError(subdomain, path), "created");
  EXPECT_EQ(subdomain->getLongestRoutes().getCount(), 1UL);
}

TEST_F(RouteTest, DelaysAndSlacks) {
  Route* route = Route::createLongest(subdomain, edgesOf({clockToQ, wire, check}), 120, 100, 0);
  // The check arc is left out of the data delay and added to the long one.
  EXPECT_EQ(std::vector<int>({route->getDataDelay(), route->getSkew(), route->getDelay(),
                              route->getLongDelay(), route->getShortDelay(),
                              route->getInternalDelay(), route->getExternalDelay(),
                              route->getSetupTime(), route->getHoldTime(), route->getSlack()}),
            std::vector<int>({130, 20, 110, 160, 100, 150, 30, 50, 10, 840}));
  EXPECT_EQ(route->getRecoveryTime(), kUndefined);
  EXPECT_EQ(route->getDepth(), 2UL);
  subdomain->setSetupRelation(Delay(100));
  EXPECT_EQ(int(route->getSlack()), -60);
  // A changed edge delay shows in the slack at once.
  wire->setMaximumDelay(wire->getMaximumDelay() + Delay(10));
  EXPECT_EQ(int(route->getSlack()), -70);
  wire->setMaximumDelay(wire->getMaximumDelay() - Delay(10));

  Route* shortest = Route::createShortest(subdomain, edgesOf({clockToQ, wire, check}), 120, 100, 4);
  subdomain->setHoldRelation(Delay(30));
  EXPECT_EQ(std::vector<int>({shortest->getDataDelay(), shortest->getAdjustedDelay(),
                              shortest->getInternalDelay(), shortest->getSlack()}),
            std::vector<int>({100, 70, 90, 36}));

  // A lone check arc: no data delay, the route delay is minus the skew.
  Edge* direct = Support::edge(ff1, ff2Dual, 3, 9, Morva::Purpose::RecoveryRemoval);
  Route* lone = Route::createLongest(subdomain, edgesOf({direct}), 120, 100, -20);
  EXPECT_EQ(std::vector<int>({lone->getDataDelay(), lone->getDelay(), lone->getLongDelay(),
                              lone->getRecoveryTime(), lone->getRemovalTime(), lone->getSlack()}),
            std::vector<int>({0, -20, -11, 9, 3, 91}));
  EXPECT_EQ(lone->getSetupTime(), kUndefined);

  // Into an output port: no check time, the long delay is the route delay.
  subdomain->captureLatch(out);
  Route* toPort = Route::createLongest(subdomain, edgesOf({clockToQ, toOut}), 0, 30, 0);
  EXPECT_EQ(toPort->getHoldTime(), kUndefined);
  EXPECT_EQ(std::vector<int>({toPort->getSkew(), toPort->getDelay(), toPort->getLongDelay()}),
            std::vector<int>({-30, 190, 190}));
  // Skews wrap like 32-bit integers.
  Route* wrapped = Route::createLongest(subdomain, edgesOf({direct}), Delay::getMaximum(), -1, 0);
  EXPECT_EQ(wrapped->getSkew(), kUndefined);
}

TEST_F(RouteTest, FilingInTheSubdomain) {
  // Slacks 840, 890 and 840 again: worst first, equal slacks by creation.
  const std::list<Edge*> path{clockToQ, wire, check};
  Route* first = Route::createLongest(subdomain, edgesOf(path), 0, 0, 0);
  Route* better = Route::createLongest(subdomain, edgesOf(path), 0, 0, 50);
  Route* second = Route::createLongest(subdomain, edgesOf(path), 0, 0, 0);
  Route* hold = Route::createShortest(subdomain, edgesOf(path), 0, 0, 0);
  std::vector<Route*> order;
  for (Route* route : subdomain->getLongestRoutes()) order.push_back(route);
  EXPECT_EQ(order, (std::vector<Route*>{first, second, better}));
  EXPECT_EQ(subdomain->getShortestRoutes().getFirst(), hold);
  better->destroy();
  EXPECT_EQ(subdomain->getLongestRoutes().getCount(), 2UL);

  // With the relation undefined all slacks tie and the set no longer
  // follows its order; routes are still found when destroyed.
  Route* worst = Route::createLongest(subdomain, edgesOf(path), 0, 0, -9);
  ASSERT_EQ(subdomain->getLongestRoutes().getFirst(), worst);
  subdomain->setSetupRelation(kUndefined);
  worst->destroy();
  second->destroy();
  EXPECT_EQ(subdomain->getLongestRoutes().getCount(), 1UL);
  EXPECT_EQ(subdomain->getLongestRoutes().getFirst(), first);

  // A slack that underflows while the route is filed leaves no route.
  subdomain->setSetupRelation(Delay(-2147483600));
  try {
    Route::createLongest(subdomain, edgesOf(path), 0, 0, 0);
    ADD_FAILURE() << "an underflowing slack was filed";
  } catch (const Orvek::InvalidRequest& error) {
    EXPECT_EQ(error.getMessage(), "Delay underflow");
  }
  EXPECT_EQ(subdomain->getLongestRoutes().getCount(), 1UL);
}
