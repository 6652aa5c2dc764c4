#include <Morva/Mask.h>

#include "Support.h"

#include <cstdint>

using Morva::Edge;
using Morva::Edges;
using Morva::Mask;
using Morva::Mode;
using Morva::Object;
using Morva::Pole;

namespace {

class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _default = Object::_defaultStamp;
    Morva::Analyzer::create();
    Mask::reset(4);
    Morva::DomainMask::reset(2);
  }
  void TearDown() override {
    if (Morva::analyzer) Morva::analyzer->destroy();
    Object::setRequiredStamp(0);
    Object::setDefaultStamp(_default);
  }

 private:
  unsigned long _default = 0;
};

}  // namespace

TEST_F(GraphTest, PoleNumbersStayDenseAndReusedStorageStartsClean) {
  ASSERT_EQ(Pole::getNumberBound(), 0u) << "poles left alive by an earlier test";
  Pole* a = Pole::createMain("a");
  Pole* b = Pole::createMain("b");
  Pole* c = Pole::createDual("c");
  EXPECT_EQ(std::vector<uint32_t>({a->getNumber(), b->getNumber(), c->getNumber()}),
            std::vector<uint32_t>({0, 1, 2}));
  EXPECT_EQ(Pole::getNumberBound(), 3u);
  a->setReportName("nice");
  Morva::Delay buddy(7);
  a->setBuddy(&buddy);
  b->setBuddy(&buddy);
  c->destroy();
  a->destroy();
  // The smallest free number goes first; a pole made where a destroyed one
  // lived has none of its state.
  Pole* d = Pole::createMain("d");
  Pole* e = Pole::createMain("a");
  EXPECT_EQ(d->getNumber(), 0u);
  EXPECT_EQ(e->getNumber(), 2u);
  EXPECT_EQ(Pole::getNumberBound(), 3u);
  EXPECT_EQ(d->getReportName(), "d");
  EXPECT_EQ(e->getReportName(), "a");
  EXPECT_EQ(Morva::analyzer->getMainPole("a"), e);
  EXPECT_EQ(Morva::analyzer->getDualPole("c"), nullptr);
  EXPECT_EQ(d->getBuddy(), nullptr);
  EXPECT_EQ(e->getBuddy(), nullptr);
  EXPECT_EQ(b->getBuddy(), &buddy);
  b->setBuddy(nullptr);
  EXPECT_EQ(b->getBuddy(), nullptr);
  // Nor does it become the partner of the destroyed pole's partner.
  Pole* clock = Pole::createMain("p");
  clock->setMode(Mode(Mode::Rising));
  Pole* side = Pole::createDual("p");
  EXPECT_EQ(clock->getDual(), side);
  EXPECT_EQ(side->getClock(), clock);
  const uint32_t number = side->getNumber();
  side->destroy();
  EXPECT_EQ(Pole::createDual("q")->getNumber(), number);
  EXPECT_EQ(clock->getDual(), nullptr);
  // Once no pole lives, numbering starts over.
  Morva::analyzer->destroy();
  EXPECT_EQ(Pole::getNumberBound(), 0u);
  Morva::Analyzer::create();
  EXPECT_EQ(Pole::createMain("z")->getNumber(), 0u);
}

TEST_F(GraphTest, EdgeFilters) {
  Pole* hub = Pole::createMain("hub");
  std::vector<Pole*> loads;
  for (const char* name : {"l0", "l1", "l2", "l3", "l4", "l5", "l6", "l7"})
    loads.push_back(Pole::createMain(name));
  Edge* io = Edge::createIOPath(hub, loads[0]);
  Edge* check = Edge::createSetupHold(hub, loads[1]);
  Edge* recovery = Edge::createRecoveryRemoval(hub, loads[2]);
  Edge* wire = Edge::createInterconnect(hub, loads[3]);
  Edge* ioOff = Edge::createIOPath(hub, loads[4]);
  Edge* checkOff = Edge::createSetupHold(hub, loads[5]);
  Edge* recoveryOff = Edge::createRecoveryRemoval(hub, loads[6]);
  Edge* wireOff = Edge::createInterconnect(hub, loads[7]);
  for (Edge* edge : {ioOff, checkOff, recoveryOff, wireOff}) edge->disactivate();
  using List = std::vector<Edge*>;

  const Edges all = hub->getOutgoingEdges();
  EXPECT_EQ(all.getCount(), 8UL);
  EXPECT_EQ(Support::toVector(all.getActives()), (List{io, check, recovery, wire}));
  EXPECT_EQ(Support::toVector(all.getInternals()),
            (List{io, check, recovery, ioOff, checkOff, recoveryOff}));
  EXPECT_EQ(Support::toVector(all.getExternals()), (List{wire, wireOff}));
  EXPECT_EQ(Support::toVector(all.getIOPaths()), (List{io, ioOff}));
  EXPECT_EQ(Support::toVector(all.getSetupHolds()), (List{check, checkOff}));
  EXPECT_EQ(Support::toVector(all.getInterconnects()), (List{wire, wireOff}));
  EXPECT_EQ(Support::toVector(all.getRecoveryRemovals()), (List{recovery, recoveryOff}));
  EXPECT_EQ(Support::toVector(all.getControls()), (List{check, recovery, checkOff, recoveryOff}));

  // Combinations keep what every filter accepts, in either order.
  EXPECT_EQ(Support::toVector(all.getActives().getInterconnects()), (List{wire}));
  EXPECT_EQ(Support::toVector(all.getInterconnects().getActives()), (List{wire}));
  EXPECT_EQ(Support::toVector(all.getActives().getControls()), (List{check, recovery}));
  EXPECT_EQ(Support::toVector(all.getInternals().getControls().getActives().getRecoveryRemovals()),
            (List{recovery}));
  EXPECT_TRUE(all.getExternals().getIOPaths().isEmpty());

  // Filters over any edge collection, here the analyzer's edges.
  Edge* back = Edge::createSetupHold(loads[0], hub);
  const Edges everything = Morva::analyzer->getEdges();
  EXPECT_EQ(everything.getCount(), 9UL);
  EXPECT_EQ(Support::toVector(everything.getActives().getSetupHolds()), (List{check, back}));
  EXPECT_EQ(Support::toVector(everything.getSetupHolds().getActives()), (List{check, back}));

  // Views are lazy: they read the edges when they are walked.
  const Edges actives = all.getActives();
  const Edges activeWires = everything.getActives().getInterconnects();
  wire->disactivate();
  wireOff->activate();
  EXPECT_EQ(Support::toVector(actives), (List{io, check, recovery, wireOff}));
  EXPECT_EQ(Support::toVector(activeWires), (List{wireOff}));
  Edge* late = Edge::createInterconnect(hub, loads[1]);
  EXPECT_EQ(Support::toVector(actives).back(), late);
  EXPECT_EQ(Support::toVector(activeWires), (List{wireOff, late}));
}

TEST_F(GraphTest, DestroyingEdgesWhileWalkingThem) {
  Pole* hub = Pole::createMain("hub");
  std::vector<Pole*> others;
  for (const char* name : {"a", "b", "c", "d"}) others.push_back(Pole::createMain(name));
  for (Pole* other : others) {
    Edge::createInterconnect(hub, other);
    Edge::createIOPath(hub, other);
    Edge::createSetupHold(other, hub);
  }
  for (Edge* edge : hub->getOutgoingEdges().getInterconnects()) edge->destroy();
  EXPECT_EQ(hub->getOutgoingEdges().getCount(), 4UL);
  EXPECT_TRUE(hub->getOutgoingEdges().getInterconnects().isEmpty());
  for (Pole* other : others) EXPECT_EQ(other->getIncomingEdges().getCount(), 1UL);

  for (Edge* edge : hub->getOutgoingEdges()) edge->destroy();
  EXPECT_TRUE(hub->getOutgoingEdges().isEmpty());
  for (Pole* other : others) EXPECT_TRUE(other->getIncomingEdges().isEmpty());
  EXPECT_EQ(hub->getIncomingEdges().getCount(), 4UL);

  for (Edge* edge : Morva::analyzer->getEdges()) edge->destroy();
  EXPECT_TRUE(hub->getIncomingEdges().isEmpty());
  EXPECT_TRUE(Morva::analyzer->getEdges().isEmpty());
}

TEST_F(GraphTest, EdgeListsKeepStampOrderThroughRemovals) {
  using List = std::vector<Edge*>;
  Pole* hub = Pole::createMain("hub");
  std::vector<Pole*> loads;
  List edges;
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    loads.push_back(Pole::createMain(name));
    edges.push_back(Edge::createInterconnect(hub, loads.back()));
  }
  // The last, a middle and the first edge go; the list closes over them.
  for (std::size_t index : {4, 2, 0}) edges[index]->destroy();
  EXPECT_EQ(Support::toVector(hub->getOutgoingEdges()), (List{edges[1], edges[3]}));
  Edge* late = Edge::createInterconnect(hub, loads[0]);
  EXPECT_EQ(Support::toVector(hub->getOutgoingEdges()), (List{edges[1], edges[3], late}));
  // An edge stamped between two others joins between them, one stamped
  // before all first.
  Object::_requiredStamp = edges[1]->getStamp() + 1;
  Edge* between = Edge::createInterconnect(hub, loads[2]);
  Object::_requiredStamp = 1;
  Edge* early = Edge::createInterconnect(hub, loads[4]);
  EXPECT_EQ(Support::toVector(hub->getOutgoingEdges()),
            (List{early, edges[1], between, edges[3], late}));
  EXPECT_EQ(Support::toVector(loads[4]->getIncomingEdges()), (List{early}));
  edges[1]->destroy();
  EXPECT_EQ(Support::toVector(hub->getOutgoingEdges()), (List{early, between, edges[3], late}));
  for (Edge* edge : {early, late, edges[3]}) edge->destroy();
  EXPECT_EQ(Support::toVector(hub->getOutgoingEdges()), (List{between}));
  between->destroy();
  EXPECT_TRUE(hub->getOutgoingEdges().isEmpty());
  Edge* again = Edge::createInterconnect(hub, loads[1]);
  Edge* next = Edge::createInterconnect(hub, loads[3]);
  EXPECT_EQ(Support::toVector(hub->getOutgoingEdges()), (List{again, next}));
}

// Room made ahead, for more poles than the registry holds or for fewer,
// keeps every pole found under its name through the growth that follows.
TEST_F(GraphTest, ARegistryKeepsItsPolesThroughRoomMadeAhead) {
  Morva::PoleRegistry registry;
  std::vector<Pole*> poles;
  const auto fileUpTo = [&](std::size_t count) {
    while (poles.size() < count) {
      poles.push_back(Support::port("p" + std::to_string(poles.size())));
      registry.insert(poles.back());
    }
  };
  const auto expectAllFound = [&] {
    ASSERT_EQ(registry.size(), poles.size());
    for (Pole* pole : poles) ASSERT_EQ(registry.find(pole->getName()), pole) << pole->getName();
    EXPECT_EQ(registry.find("p" + std::to_string(poles.size())), nullptr);
  };
  fileUpTo(100);
  for (std::size_t count : {0, 100, 5000, 20}) {
    registry.reserve(count);
    expectAllFound();
  }
  fileUpTo(6000);
  expectAllFound();
  Morva::analyzer->reserveMainPoles(10000);
  EXPECT_EQ(Morva::analyzer->getMainPole("p5999"), poles.back());
}
