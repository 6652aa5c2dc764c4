#include <Morva/Analyzer.h>
#include <Morva/Edge.h>
#include <Morva/Mask.h>
#include <Morva/Pole.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>

#include "Support.h"

#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

using Morva::Edge;
using Morva::Edges;
using Morva::Mask;
using Morva::Mode;
using Morva::Object;
using Morva::Pole;
using Morva::Purpose;
using Morva::Type;

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

TEST_F(GraphTest, CounterpartsAndAliases) {
  Pole* main = Pole::createMain("a");
  Pole* dual = Pole::createDual("a");
  Pole* plain = Pole::createMain("b");
  Pole* lonely = Pole::createMain("c");

  EXPECT_EQ(main->getAlias(), "POLE[a]");
  EXPECT_EQ(main->getDual(), nullptr);  // not a clock pole
  main->setMode(Mode(Mode::Rising));
  EXPECT_EQ(main->getAlias(), "CLOCK[a]");
  EXPECT_EQ(main->getDual(), dual);
  EXPECT_EQ(main->getClock(), nullptr);
  EXPECT_EQ(main->getMain(), main);

  EXPECT_EQ(dual->getAlias(), "DUAL[a]");
  EXPECT_EQ(dual->getClock(), main);
  EXPECT_EQ(dual->getDual(), nullptr);
  EXPECT_EQ(dual->getMain(), main);
  // The clock test comes first.
  dual->setMode(Mode(Mode::Falling));
  EXPECT_EQ(dual->getAlias(), "CLOCK[a]");
  EXPECT_EQ(dual->getClock(), main);

  EXPECT_EQ(plain->getAlias(), "POLE[b]");
  EXPECT_EQ(plain->getDual(), nullptr);
  EXPECT_EQ(plain->getClock(), nullptr);
  lonely->setMode(Mode(Mode::Falling));
  EXPECT_EQ(lonely->getDual(), nullptr);

  EXPECT_EQ(main->_getLabel(), "<Pole \"CLOCK[a]\" Rising>");
  main->setType(Type(Type::Primary));
  EXPECT_EQ(main->_getLabel(), "<Pole \"CLOCK[a]\" Rising Primary>");
  EXPECT_EQ(plain->_getLabel(), "<Pole \"POLE[b]\">");
  EXPECT_EQ(dual->_getLabel(), "<Pole \"CLOCK[a]\" Falling Dual>");
}

TEST_F(GraphTest, GraphPosition) {
  Pole* port = Pole::createMain("port");
  Pole* driver = Pole::createMain("driver");
  Pole* load = Pole::createMain("load");
  port->setType(Type(Type::Primary));

  EXPECT_TRUE(port->isInput());
  EXPECT_TRUE(port->isInitial());
  EXPECT_TRUE(port->isTerminal());
  EXPECT_FALSE(port->isOutput());
  EXPECT_FALSE(driver->isInput());  // type None

  Edge::createInterconnect(driver, port);
  EXPECT_TRUE(port->isOutput());
  EXPECT_FALSE(port->isInput());
  EXPECT_FALSE(port->isInitial());
  EXPECT_TRUE(port->isTerminal());

  Edge::createIOPath(port, load);
  EXPECT_FALSE(port->isOutput());
  EXPECT_FALSE(port->isTerminal());

  // A clock pole with incoming edges is still initial.
  load->setMode(Mode(Mode::Rising));
  EXPECT_TRUE(load->isInitial());
  load->setMode(Mode(Mode::None));
  EXPECT_FALSE(load->isInitial());
}

TEST_F(GraphTest, ReportNameMasksInsulateAndReset) {
  Pole* pole = Pole::createMain("clk");
  Pole* other = Pole::createMain("d");
  EXPECT_EQ(pole->getReportName(), "clk");
  pole->setReportName("nice");
  EXPECT_EQ(pole->getReportName(), "nice");
  pole->setReportName("");
  EXPECT_EQ(pole->getReportName(), "clk");
  Morva::analyzer->createClock(pole, Morva::Wave("wave", 1000));
  EXPECT_TRUE(pole->hasWaveFlag());
  EXPECT_EQ(pole->getReportName(), "wave");

  const Mask one = Mask::getBasic(1);
  const Mask two = Mask::getBasic(2);
  pole->combineOpening(one);
  pole->combineOpening(two);
  EXPECT_EQ(pole->getOpeningMask(), one | two);
  EXPECT_EQ(pole->getClosingMask(), Mask(0));
  pole->combineClosing(two);
  EXPECT_EQ(pole->getClosingMask(), two);
  EXPECT_EQ(pole->getOpeningMaskNumber(), (one | two).getNumber());

  Edge* in = Edge::createInterconnect(other, pole);
  Edge* out = Edge::createIOPath(pole, other);
  Edge* aside = Edge::createIOPath(other, Pole::createMain("e"));
  pole->insulate();
  EXPECT_FALSE(in->isActive());
  EXPECT_FALSE(out->isActive());
  EXPECT_TRUE(aside->isActive());
  EXPECT_TRUE(pole->getIncomingEdges().getActives().isEmpty());
  EXPECT_TRUE(pole->getOutgoingEdges().getActives().isEmpty());
  EXPECT_EQ(Support::toVector(pole->getIncomingEdges()), std::vector<Edge*>{in});
  EXPECT_EQ(Support::toVector(other->getOutgoingEdges().getActives()), std::vector<Edge*>{aside});

  pole->setMode(Mode(Mode::Rising));
  pole->setType(Type(Type::Primary));
  pole->mark();
  pole->reset();
  EXPECT_FALSE(pole->isMarked());
  EXPECT_FALSE(pole->hasWaveFlag());
  EXPECT_EQ(pole->getOpeningMaskNumber(), 0UL);
  EXPECT_EQ(pole->getClosingMaskNumber(), 0UL);
  EXPECT_EQ(pole->getMode().getCode(), Mode::Rising);
  EXPECT_EQ(pole->getType().getCode(), Type::Primary);
  EXPECT_EQ(pole->getReportName(), "clk");
  EXPECT_EQ(pole->getIncomingEdges().getCount(), 1UL);
  // Edges stay disactivated: resetting them is the edges' own business.
  EXPECT_FALSE(in->isActive());
}

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

TEST_F(GraphTest, PurposePredicates) {
  Pole* a = Pole::createMain("a");
  Pole* b = Pole::createMain("b");
  Edge* io = Edge::createIOPath(a, b);
  Edge* check = Edge::createSetupHold(a, b);
  Edge* recovery = Edge::createRecoveryRemoval(a, b);
  Edge* wire = Edge::createInterconnect(a, b);
  struct Row {
    Edge* edge;
    bool ioPath, setupHold, recoveryRemoval, interconnect, control;
  };
  for (const Row& row : {Row{io, 1, 0, 0, 0, 0}, Row{check, 0, 1, 0, 0, 1},
                         Row{recovery, 0, 0, 1, 0, 1}, Row{wire, 0, 0, 0, 1, 0}}) {
    SCOPED_TRACE(row.edge->getAlias());
    EXPECT_EQ(row.edge->isIOPath(), row.ioPath);
    EXPECT_EQ(row.edge->isSetupHold(), row.setupHold);
    EXPECT_EQ(row.edge->isRecoveryRemoval(), row.recoveryRemoval);
    EXPECT_EQ(row.edge->isInterconnect(), row.interconnect);
    EXPECT_EQ(row.edge->isExternal(), row.interconnect);
    EXPECT_EQ(row.edge->isInternal(), !row.interconnect);
    EXPECT_EQ(row.edge->isControl(), row.control);
  }

  // A code outside the table leaves both purpose flags clear: an IO path.
  Edge* odd = Edge::create(a, b, Purpose(static_cast<Purpose::Code>(9)));
  EXPECT_EQ(odd->getPurpose().getCode(), Purpose::IOPath);
  EXPECT_TRUE(odd->isActive());
}

TEST_F(GraphTest, ParallelEdgesAndTheOldestOne) {
  Pole* a = Pole::createMain("a");
  Pole* b = Pole::createMain("b");
  Pole* c = Pole::createMain("c");
  Object::setRequiredStamp(100);
  Edge* newer = Edge::createIOPath(a, b);
  Object::setRequiredStamp(50);
  Edge* older = Edge::createInterconnect(a, b);
  Edge* toC = Edge::createIOPath(a, c);
  EXPECT_EQ(Support::toVector(a->getOutgoingEdges()), (std::vector<Edge*>{toC, older, newer}));
  EXPECT_EQ(a->getOutgoingEdge(b), older);
  EXPECT_EQ(b->getIncomingEdge(a), older);
  EXPECT_EQ(a->getOutgoingEdge(c), toC);
  EXPECT_EQ(a->getIncomingEdge(b), nullptr);
  EXPECT_EQ(b->getOutgoingEdge(a), nullptr);
  EXPECT_EQ(c->getIncomingEdge(b), nullptr);

  older->destroy();
  EXPECT_EQ(a->getOutgoingEdge(b), newer);
  EXPECT_EQ(b->getIncomingEdge(a), newer);
  EXPECT_EQ(Support::toVector(b->getIncomingEdges()), std::vector<Edge*>{newer});
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
  EXPECT_EQ(all.getActives().getInternals().getCount(), 3UL);
  EXPECT_TRUE(all.getActives().getInternals().hasCount(3));
  EXPECT_EQ(all.getControls().getFirst(), check);
  EXPECT_EQ(all.getControls().getLast(), recoveryOff);

  EXPECT_TRUE(Edges::isAccepted(wire, Edges::Active | Edges::External | Edges::Interconnects));
  EXPECT_FALSE(Edges::isAccepted(wireOff, Edges::Active | Edges::External));
  EXPECT_TRUE(Edges::isAccepted(wireOff, 0));
  EXPECT_FALSE(Edges::isAccepted(check, Edges::Controls | Edges::RecoveryRemovals));

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

TEST_F(GraphTest, DestroyingAPoleDestroysItsEdges) {
  Pole* a = Pole::createMain("a");
  Pole* b = Pole::createMain("b");
  Pole* c = Pole::createMain("c");
  Edge::createInterconnect(a, b);
  Edge::createIOPath(b, c);
  Edge::createSetupHold(c, b);
  Edge::createIOPath(a, c);
  EXPECT_EQ(Morva::analyzer->getEdges().getCount(), 4UL);

  b->destroy();
  EXPECT_EQ(Morva::analyzer->getMainPole("b"), nullptr);
  EXPECT_TRUE(a->getOutgoingEdges().hasCount(1));
  EXPECT_EQ(a->getOutgoingEdges().getFirst()->getTarget(), c);
  EXPECT_TRUE(c->getIncomingEdges().hasCount(1));
  EXPECT_TRUE(c->getOutgoingEdges().isEmpty());
  EXPECT_EQ(Morva::analyzer->getEdges().getCount(), 1UL);

  // The name is free again.
  Pole* again = Pole::createMain("b");
  EXPECT_EQ(Morva::analyzer->getMainPole("b"), again);
  EXPECT_TRUE(again->getIncomingEdges().isEmpty());

  // A dual pole leaves only the dual registry.
  Pole* dual = Pole::createDual("a");
  Edge::createSetupHold(a, dual);
  dual->destroy();
  EXPECT_EQ(Morva::analyzer->getDualPole("a"), nullptr);
  EXPECT_EQ(Morva::analyzer->getMainPole("a"), a);
  EXPECT_EQ(a->getOutgoingEdges().getCount(), 1UL);
}
