#include <Morva/Domain.h>
#include <Morva/Subdomain.h>

#include "Support.h"

using namespace Morva;

namespace {

using Support::clock;
using Support::flop;
using Support::pin;
using Support::port;
using Support::Register;

class DomainCreationTest : public Support::AnalyzerFixture {
 protected:
  static Edge* wire(Pole* from, Pole* to) { return Edge::createInterconnect(from, to); }
  static Edge* arc(Pole* from, Pole* to) { return Edge::createIOPath(from, to); }

  static std::vector<std::string> domainNames() {
    std::vector<std::string> names;
    for (Domain* domain : analyzer->getDomains()) names.push_back(domain->getName());
    return names;
  }
  std::string output() const { return _console.text(); }
  // The latch points of the subdomain from `root` (rising, or none for no
  // root) to `latchRoot` rising.
  static const PoleSet& latches(Pole* root, Pole* latchRoot) {
    return analyzer->getDomain(root, latchRoot)
        ->getSubdomain(Mode(root ? Mode::Rising : Mode::None), Mode(Mode::Rising))
        ->getLatchLeafSet();
  }

  Support::ConsoleCapture _console;
};

TEST_F(DomainCreationTest, TheClockScanLeavesTheTimingChecksOfAClockPinAside) {
  // r/CK is clocked by clkA; a gating check from en and a recovery check
  // from g/CK (both under clkB) end at r/CK itself. The scan must not follow
  // them into clkB's network, nor take g/CK for a clock generator. Into a
  // pin that is no clock pole, a check arc is followed like any other edge.
  Pole* clkA = clock("clkA");
  Pole* clkB = clock("clkB");
  Register r = flop("r");
  Register g = flop("g");
  Register s = flop("s");
  wire(clkA, r.clock);
  wire(clkB, g.clock);
  Pole* en = pin("en");
  wire(clkB, en);
  Edge::createSetupHold(en, r.clock);
  Edge::createRecoveryRemoval(g.clock, r.clock);
  Pole* gate = pin("gate");
  Edge::createSetupHold(clkB, gate);
  wire(gate, s.clock);

  ClockMap clockMap;
  analyzer->scanClocks(clockMap);
  EXPECT_EQ(clockMap[r.clock], PoleSet{clkA});
  EXPECT_EQ(clockMap[g.clock], PoleSet{clkB});
  EXPECT_EQ(clockMap[s.clock], PoleSet{clkB});
  EXPECT_FALSE(Support::contains(output(), "Generated clock"));
}

TEST_F(DomainCreationTest, AClockPoleTakesEveryRootThatReachesIt) {
  // clkA and clkB meet in a mux whose buffer clocks r1 and r2; r3 has clkA
  // alone; r4 is clocked from r1's output, a generated clock that inherits
  // r1's roots through a network the walk has already marked.
  Pole* clkA = clock("clkA");
  Pole* clkB = clock("clkB");
  Pole* mux = pin("mux");
  Pole* buffer = pin("buffer");
  wire(clkA, mux);
  wire(clkB, mux);
  wire(mux, buffer);
  const Register r[] = {flop("r1"), flop("r2"), flop("r3"), flop("r4")};
  wire(buffer, r[0].clock);
  wire(buffer, r[1].clock);
  wire(clkA, r[2].clock);
  wire(r[0].output, r[3].clock);

  ClockMap clockMap;
  analyzer->scanClocks(clockMap);
  const PoleSet both{clkA, clkB};
  const PoleSet expected[] = {both, both, {clkA}, both};
  for (int index = 0; index < 4; ++index)
    EXPECT_EQ(clockMap[r[index].clock], expected[index]) << index;
  EXPECT_TRUE(Support::contains(output(), "Generated clock r4/CK by r1/CK"));
}

TEST_F(DomainCreationTest, ExclusiveClocksLoseTheirDomainsAsynchronousOnesAreMarked) {
  Pole* clkA = clock("clkA");
  Pole* clkB = clock("clkB");
  Pole* clkC = clock("clkC");
  Register a = flop("a");
  Register b = flop("b");
  Register c = flop("c");
  wire(clkA, a.clock);
  wire(clkB, b.clock);
  wire(clkC, c.clock);
  for (const Register* from : {&a, &b, &c})
    for (const Register* to : {&a, &b, &c}) wire(from->output, to->data);
  std::vector<Pole*> first{clkA};
  std::vector<Pole*> second{clkB};
  analyzer->createClockGroups(Orvek::VectorCollection<Pole*>(first),
                              Orvek::VectorCollection<Pole*>(second), true);
  std::vector<Pole*> third{clkC};
  analyzer->createClockGroups(Orvek::VectorCollection<Pole*>(third),
                              Orvek::VectorCollection<Pole*>(first), false);

  analyzer->createDomains();
  const std::vector<std::string> expected{"clkA to clkA", "clkA to clkC", "clkB to clkB",
                                          "clkB to clkC", "clkC to clkA", "clkC to clkB",
                                          "clkC to clkC"};
  EXPECT_EQ(domainNames(), expected);
  EXPECT_EQ(analyzer->getDomain(clkA, clkB), nullptr);
  EXPECT_EQ(analyzer->getDomain(clkB, clkA), nullptr);
  EXPECT_TRUE(analyzer->getDomain(clkA, clkC)->isAsynchronous());
  EXPECT_TRUE(analyzer->getDomain(clkC, clkA)->isAsynchronous());
  EXPECT_FALSE(analyzer->getDomain(clkB, clkC)->isAsynchronous());
  EXPECT_FALSE(analyzer->getDomain(clkA, clkA)->isAsynchronous());

  // A clock without a wave is asynchronous to every other clock.
  analyzer->removeClock("clkC");
  EXPECT_TRUE(analyzer->isAsynchronous(analyzer->getDomain(clkB, clkC)));
  EXPECT_FALSE(analyzer->isExclusive(analyzer->getDomain(clkB, clkC)));
}

TEST_F(DomainCreationTest, BrokenRegistersStopTheScanWithTheirErrors) {
  Pole* clk = clock("clk");
  Register ok = flop("ok");
  wire(clk, ok.clock);
  Pole* lonely = Pole::createMain("lonely/CK");
  lonely->setMode(Mode(Mode::Rising));
  wire(clk, lonely);
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      analyzer->createDomains();
      FAIL() << "no exception";
    } catch (const Orvek::InvalidRequest& error) {
      // The walk is closed again: the second attempt fails the same way.
      EXPECT_STREQ(error.what(), "Null data input for lonely/CK");
      EXPECT_EQ(error.getFile(), "lib/Morva/Analyzer");
      EXPECT_EQ(error.getOperation(), "scanData");
    }
  }
  lonely->destroy();

  // A register no clock reaches is no error while no endpoint needs it.
  const Register idle = flop("idle");
  arc(idle.output, pin("nowhere"));
  EXPECT_NO_THROW(analyzer->createDomains());

  // A register launching data without any clock root upstream.
  Register unclocked = flop("unclocked");
  wire(unclocked.output, ok.data);
  try {
    analyzer->createDomains();
    FAIL() << "no exception";
  } catch (const Orvek::Fatal& error) {
    const std::string message = error.what();
    EXPECT_EQ(message, "Abnormal (" + std::to_string(error.getLine()) + ")");
    EXPECT_GT(error.getLine(), 0u);
    EXPECT_EQ(error.getFile(), "lib/Morva/Analyzer");
  }
  // Still usable: the unclocked register gets a clock and the scan goes on.
  wire(clk, unclocked.clock);
  EXPECT_NO_THROW(analyzer->createDomains());
  EXPECT_NE(analyzer->getDomain(clk, clk), nullptr);
}

TEST_F(DomainCreationTest, AnInputPortWithAClockModeLaunchesAsAnInput) {
  // An input port whose mode is Rising is both an input and a clock pole:
  // it launches under its input delay's clock, like any input port, on the
  // edge of its own mode.
  Pole* clk = clock("clk");
  Pole* other = clock("other");
  Pole* in = port("in");
  in->setMode(Mode(Mode::Rising));
  Pole::createDual("in");
  analyzer->setInputConstraint(in, IOConstraint(other, Mode(Mode::Falling), Delay(1), Delay(2)));
  Register ff = flop("ff");
  wire(clk, ff.clock);
  arc(in, ff.data);

  analyzer->createDomains();
  Subdomain* launched =
      analyzer->getDomain(other, clk)->getSubdomain(Mode(Mode::Rising), Mode(Mode::Rising));
  ASSERT_NE(launched, nullptr);
  EXPECT_EQ(launched->getLaunchLeafSet(), PoleSet{in});
  EXPECT_EQ(launched->getLatchLeafSet(), PoleSet{ff.clock});
  EXPECT_EQ(domainNames(), (std::vector<std::string>{"other to clk"}));
}

TEST_F(DomainCreationTest, PolesMadeWithoutTheAnalyzerAreNoneOfItsEndpoints) {
  // A clock pin, an output port and a dual pole made while no analyzer was
  // there are in no registry: the scans must not start from them, nor may
  // a selection list them, though they are numbered among the analyzer's
  // poles. A selection lists the main poles, then the dual ones, each by
  // name whatever the order they were made in.
  analyzer->destroy();
  Pole* strayClock = pin("stray/CK", Mode::Rising);
  Pole* strayOutput = port("stray/out");
  Pole* strayDual = Pole::createDual("stray/CK");
  Analyzer::create();
  Pole* clk = clock("clk");
  Register ff = flop("ff");
  Register b = flop("b");
  wire(clk, ff.clock);
  wire(clk, b.clock);
  Pole* out = port("out");
  wire(ff.output, out);
  wire(ff.output, strayOutput);

  EXPECT_NO_THROW(analyzer->createDomains());
  EXPECT_EQ(domainNames(), (std::vector<std::string>{"clk to Output"}));
  EXPECT_EQ(analyzer->selectPoles([](const Pole*) { return true; }),
            (std::vector<Pole*>{b.clock, b.data, b.output, clk, ff.clock, ff.data, ff.output, out,
                                b.capture, ff.capture}));
  for (Pole* stray : {strayClock, strayOutput, strayDual}) stray->destroy();
}

TEST_F(DomainCreationTest, AClassFirstLaunchPointIsTheEarliestMadeOfAllThatMeet) {
  // A launch root's subdomains are made in the order of the first launch
  // point of each mode. At m, five classes meet (an input port without
  // delay, both edges of two clocks); clk's rising class comes from c, then
  // from a, made before b: its rising subdomain comes first. clk2's falling
  // class has e alone, made before d.
  Pole* clk = clock("clk");
  Pole* clk2 = clock("clk2");
  const Register a = flop("a");
  const Register b = flop("b", Mode::Falling);
  const Register c = flop("c");
  const Register e = flop("e", Mode::Falling);
  const Register d = flop("d");
  const Register z = flop("z");
  for (const Register* reg : {&a, &b, &c, &z}) wire(clk, reg->clock);
  for (const Register* reg : {&d, &e}) wire(clk2, reg->clock);
  Pole* in = port("in");
  Pole* m = pin("m");
  arc(c.output, m);
  arc(in, m);
  for (const Register* reg : {&d, &a, &e, &b}) arc(reg->output, m);
  wire(m, z.data);

  analyzer->createDomains();
  EXPECT_EQ(domainNames(), (std::vector<std::string>{"Input to clk", "clk to clk", "clk2 to clk"}));
  const auto madeFirst = [](Pole* root, Mode::Code first, Mode::Code second) {
    const Domain* domain = analyzer->getDomain(root, analyzer->getMainPole("clk"));
    return domain->getSubdomain(Mode(first), Mode(Mode::Rising))->getStamp() <
           domain->getSubdomain(Mode(second), Mode(Mode::Rising))->getStamp();
  };
  EXPECT_TRUE(madeFirst(clk, Mode::Rising, Mode::Falling));
  EXPECT_TRUE(madeFirst(clk2, Mode::Falling, Mode::Rising));
}

TEST_F(DomainCreationTest, TheEndpointsWalksDecideWhereLoopsAreCut) {
  // m1 and m2 feed each other. The walk from z1 (the first register by
  // name to reach them) enters m1, then m2, and leaves the edge from m1 to
  // m2 aside: m2 has b's class alone, m1 both. m2 and m1 are made before
  // z1 and z2, so that a walk in the order the poles were made would cut
  // the other edge.
  Pole* clkA = clock("clkA");
  Pole* clkB = clock("clkB");
  Pole* clk = clock("clk");
  const Register a = flop("a");
  const Register b = flop("b");
  Pole* m2 = pin("m2");
  Pole* m1 = pin("m1");
  const Register z1 = flop("z1");
  const Register z2 = flop("z2");
  const std::pair<Pole*, Pole*> edges[] = {
      {clkA, a.clock}, {clkB, b.clock}, {clk, z1.clock}, {clk, z2.clock}, {a.output, m1},
      {m2, m1},        {m1, m2},        {b.output, m2},  {m1, z1.data},   {m2, z2.data}};
  for (const auto& [from, to] : edges) wire(from, to);

  analyzer->createDomains();
  EXPECT_EQ(latches(clkA, clk), PoleSet{z1.clock});
  EXPECT_EQ(latches(clkB, clk), (PoleSet{z1.clock, z2.clock}));
  EXPECT_TRUE(
      Support::contains(output(), "1 combinatorial loop detected during data domain analysis."));
}

TEST_F(DomainCreationTest, ARegisterCapturesBeforeTheWalksThatTakeItsClassesAway) {
  // The data side of register r feeds x, and through it w's data input:
  // r, first by name, captures before w's walk takes its classes away.
  Pole* clk = clock("clk");
  Pole* in = port("in");
  Pole* x = pin("x");
  const Register w = flop("w");
  const Register r = flop("r");
  for (const Register* reg : {&r, &w}) wire(clk, reg->clock);
  wire(in, r.data);
  arc(r.capture, x);
  wire(x, w.data);

  analyzer->createDomains();
  EXPECT_EQ(latches(nullptr, clk), (PoleSet{r.clock, w.clock}));
}

}  // namespace
