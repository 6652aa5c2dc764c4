// Domains: registration with the analyzer, clock arithmetic (required
// period and relationships) and the analysis steps.
#include <Morva/Domain.h>
#include <Morva/Subdomain.h>

#include "Support.h"

using Morva::Delay;
using Morva::Domain;
using Morva::Mode;
using Morva::Pole;
using Morva::Subdomain;

namespace {

const Mode kNone(Mode::None);
const Mode kRising(Mode::Rising);
const Mode kFalling(Mode::Falling);

class DomainTest : public Support::AnalyzerFixture {
 protected:
  // A clock root carrying a wave named `clock`.
  static Pole* clock(const std::string& name, const std::string& clock, int period, int rising,
                     int falling) {
    Pole* root = Pole::createMain(name);
    root->setType(Morva::Type(Morva::Type::Primary));
    Morva::analyzer->createClock(root, clock, Delay(period), Delay(rising), Delay(falling));
    return root;
  }
  std::string output() {
    const std::string text = _console.text();
    _console.clear();
    return text;
  }

  Support::ConsoleCapture _console;
};

// The relationship by subtracting one period at a time, as the clock
// arithmetic is defined.
void subtractiveRelationship(Delay& setup, Delay& hold, const Delay& a, const Delay& b,
                             const Delay& c, const Delay& d) {
  const bool earlier = d < c;
  const Delay diff = earlier ? c - d : d - c;
  Delay x = a, y = b, best = earlier ? Delay::getMaximum() : Delay(0);
  bool found = diff == Delay(0);
  while (x != y) {
    Delay r = int(y) < int(x) ? (x = x - y) : (y = y - x);
    if (diff == Delay(0)) continue;
    if (earlier ? (diff < r && r < best) : (r < diff && best < r)) best = r;
    if (r == diff) found = true;
  }
  setup = found ? x : (earlier ? best - diff : diff - best);
  hold = setup - x;
}

// Both forms give the same relations, or fail the same way.
void expectSameRelationship(int a, int b, int c, int d) {
  Delay fastSetup, fastHold, slowSetup, slowHold;
  std::string fastError = "none", slowError = "none";
  try {
    Domain::calculateRelationship(fastSetup, fastHold, a, b, c, d);
  } catch (const Orvek::Exception& error) {
    fastError = error.getMessage();
  }
  try {
    subtractiveRelationship(slowSetup, slowHold, a, b, c, d);
  } catch (const Orvek::Exception& error) {
    slowError = error.getMessage();
  }
  ASSERT_EQ(fastError, slowError) << a << " " << b << " " << c << " " << d;
  ASSERT_EQ(int(fastSetup), int(slowSetup)) << a << " " << b << " " << c << " " << d;
  ASSERT_EQ(int(fastHold), int(slowHold)) << a << " " << b << " " << c << " " << d;
}

}  // namespace

TEST_F(DomainTest, RegistryOrderAndNames) {
  Pole* clkA = clock("a", "clkA", 1000, 0, 500);
  Pole* clkB = clock("b", "clkB", 800, 0, 400);
  Pole* r10 = clock("r10", "r10", 800, 0, 400);
  Pole* r2 = clock("r2", "r2", 800, 0, 400);
  Domain* toOutput = Domain::create(clkA, nullptr);
  Domain* bToA = Domain::create(clkB, clkA);
  Domain* aToB = Domain::create(clkA, clkB);
  Domain* input = Domain::create(nullptr, clkB);
  Domain* r10ToR2 = Domain::create(r10, r2);
  Domain* r2ToR10 = Domain::create(r2, r10);
  Domain* aToA = Domain::create(clkA, clkA);
  Domain* open = Domain::create(nullptr, nullptr);
  EXPECT_EQ(input->getName(), "Input to clkB");
  EXPECT_EQ(toOutput->getAlias(), "DOMAIN[clkA to Output]");
  EXPECT_THROW(Domain::create(clkA, clkB), Orvek::FactoryFailed);

  // Inputs first, clock pairs by pole names (r2 before r10), outputs last.
  std::vector<Domain*> order;
  for (Domain* domain : Morva::analyzer->getDomains()) order.push_back(domain);
  EXPECT_EQ(order,
            (std::vector<Domain*>{input, open, aToA, aToB, bToA, r2ToR10, r10ToR2, toOutput}));
  EXPECT_EQ(Morva::analyzer->getDomain(clkB, clkA), bToA);
  EXPECT_EQ(Morva::analyzer->getDomain("clkA", "Output"), toOutput);

  // A renamed root changes the name; destruction still clears the entry.
  Morva::analyzer->createClock(clkB, "renamed", Delay(800), Delay(0), Delay(400));
  bToA->destroy();
  EXPECT_EQ(Morva::analyzer->getDomain("clkB to clkA"), nullptr);
  EXPECT_EQ(Morva::analyzer->getDomains().getCount(), 7UL);

  // The analyzer takes its domains and their subdomains down with it.
  Subdomain::create(aToA, kRising, kFalling);
  Morva::analyzer->destroy();
  try {
    Domain::create(nullptr, nullptr);
    ADD_FAILURE() << "created without analyzer";
  } catch (const Orvek::FactoryFailed& error) {
    EXPECT_EQ(error.getMessage(), "Null analyzer");
  }
}

TEST_F(DomainTest, LeavesAreListedOnceEachInCreationOrder) {
  Pole* clkA = clock("a", "clkA", 1000, 0, 500);
  Subdomain* subdomain = Subdomain::create(Domain::create(clkA, clkA), kRising, kRising);
  std::vector<Pole*> poles;
  for (const char* name : {"p0", "p1", "p2", "p3"}) poles.push_back(Pole::createMain(name));
  // Captured out of creation order, some twice: in order at first, then not.
  for (const int index : {1, 3, 3, 0, 2, 1}) {
    subdomain->captureLatch(poles[index]);
    subdomain->captureLaunch(poles[3 - index]);
  }
  EXPECT_EQ(subdomain->getLatchLeafList(), poles);
  EXPECT_EQ(subdomain->getLaunchLeafList(), poles);
  EXPECT_EQ(subdomain->getLatchLeafSet().size(), poles.size());
  EXPECT_EQ(subdomain->getLaunchLeafSet().size(), poles.size());
}

TEST_F(DomainTest, Relationship) {
  Delay setup, hold;
  auto relation = [&](int a, int b, int c, int d) {
    EXPECT_TRUE(Domain::calculateRelationship(setup, hold, a, b, c, d));
    return std::vector<int>{int(setup), int(hold)};
  };
  EXPECT_EQ(relation(10, 10, 0, 3), (std::vector<int>{3, -7}));
  EXPECT_EQ(relation(10, 5, 3, 0), (std::vector<int>{2, -3}));
  EXPECT_EQ(relation(10, 4, 0, 7), (std::vector<int>{1, -1}));
  EXPECT_EQ(relation(10, 4, 0, 2), (std::vector<int>{2, 0}));
  // A subtraction at a time would take 2^31 steps; with 2 and an odd period
  // only odd remainders are visited, 4 lying between 3 and 5.
  const int largest = int(Delay::getMaximum());
  EXPECT_EQ(relation(1, largest, 0, 5), (std::vector<int>{1, 0}));
  EXPECT_EQ(relation(2, largest, 0, 4), (std::vector<int>{1, 0}));
  EXPECT_EQ(relation(largest, 2, 4, 0), (std::vector<int>{1, 0}));

  // Periods of 0 or below are refused rather than looped on.
  for (int period : {0, -10, int(Delay::getMinimum()), int(Delay::getUndefined())}) {
    EXPECT_FALSE(Domain::calculateRelationship(setup, hold, period, 10, 0, 3));
    EXPECT_EQ(setup, Delay::getUndefined());
    EXPECT_EQ(hold, Delay::getUndefined());
    EXPECT_FALSE(Domain::calculateRelationship(setup, hold, 10, period, 0, 3));
  }

  std::mt19937 random(20260101);
  auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int trial = 0; trial < 30000; ++trial)
    expectSameRelationship(pick(1, 60), pick(1, 60), pick(-70, 70), pick(-70, 70));
  for (int trial = 0; trial < 3000; ++trial)
    expectSameRelationship(pick(1, 5000), pick(1, 5000), pick(-6000, 6000), pick(-6000, 6000));
  const int codes[] = {int(Delay::getUndefined()), int(Delay::getMinimum()),
                       int(Delay::getMaximum()), 0, 7};
  for (int c : codes)
    for (int d : codes) expectSameRelationship(pick(1, 50), pick(1, 50), c, d);
}

TEST_F(DomainTest, RequiredPeriod) {
  // Duty 30: a rising-to-falling path counts 100 / 30 = 3 times, a
  // falling-to-rising one 100 / 70 = 1 time.
  Pole* narrow = clock("n", "narrow", 1000, 0, 300);
  Domain* domain = Domain::create(narrow, narrow);
  Subdomain* rr = Subdomain::create(domain, kRising, kRising);
  Subdomain* rf = Subdomain::create(domain, kRising, kFalling);
  Subdomain* fr = Subdomain::create(domain, kFalling, kRising);
  rr->setLAT(Delay(900));
  rf->setLAT(Delay(400));
  fr->setLAT(Delay(1100));
  EXPECT_EQ(int(domain->calculatePeriod()), 1200);
  EXPECT_TRUE(rf->isDecisive());
  EXPECT_FALSE(rr->isDecisive() || fr->isDecisive());
  EXPECT_EQ(int(rr->getSetupRelation()), 1200);
  EXPECT_EQ(std::vector<int>({rf->getSetupRelation(), rf->getHoldRelation()}),
            std::vector<int>({360, -840}));
  EXPECT_EQ(std::vector<int>({fr->getSetupRelation(), fr->getHoldRelation()}),
            std::vector<int>({840, -360}));
  // The first of equal candidates decides.
  rr->setLAT(Delay(1200));
  rf->setDecisive(false);
  domain->calculatePeriod();
  EXPECT_TRUE(rr->isDecisive());
  EXPECT_FALSE(rf->isDecisive());
  EXPECT_EQ(Domain::create(nullptr, narrow)->calculatePeriod(), Delay::getUndefined());

  // No candidate: no subdomain, or only Undefined arrival times.
  Pole* clk = clock("c", "clk", 1000, 0, 500);
  Domain* bare = Domain::create(clk, clk);
  for (int pass = 0; pass < 2; ++pass) {
    try {
      bare->calculatePeriod();
      ADD_FAILURE() << "a period without candidate";
    } catch (const Orvek::Fatal& error) {
      EXPECT_EQ(error.getMessage(), "Abnormal period");
    }
    EXPECT_EQ(output(), "Error: Abnormal period: minimum\n");
    if (pass == 0) Subdomain::create(bare, kRising, kFalling);
  }
}

TEST_F(DomainTest, DutyRatioWithoutHalfPeriod) {
  // Duty 0 leaves rising-to-falling paths, duty 100 falling-to-rising
  // paths, no half period: their arrival time counts unscaled.
  Pole* flat = clock("f", "flat", 1000, 0, 0);
  Pole* full = clock("u", "full", 1000, 0, 1000);
  for (Pole* root : {flat, full}) {
    Domain* domain = Domain::create(root, root);
    Subdomain* rf = Subdomain::create(domain, kRising, kFalling);
    Subdomain* fr = Subdomain::create(domain, kFalling, kRising);
    Subdomain* starved = root == flat ? rf : fr;
    rf->setLAT(Delay(root == flat ? 700 : 200));
    fr->setLAT(Delay(root == flat ? 300 : 500));
    EXPECT_EQ(int(domain->calculatePeriod()), root == flat ? 700 : 500);
    EXPECT_TRUE(starved->isDecisive());
    EXPECT_EQ(output(), "Warning: Unusable duty ratio " + std::string(root == flat ? "0" : "100") +
                            "% for " + starved->getAlias() +
                            ", its arrival time is taken unscaled\n");
  }
}

TEST_F(DomainTest, UpdateRelationship) {
  // Pure clock: the declared period and the phase widths 300 and 700.
  Pole* clk = clock("c", "clk", 1000, 100, 400);
  Domain* pure = Domain::create(clk, clk);
  Subdomain* rr = Subdomain::create(pure, kRising, kRising);
  Subdomain* rf = Subdomain::create(pure, kRising, kFalling);
  Subdomain* fr = Subdomain::create(pure, kFalling, kRising);
  pure->updateRelationship();
  EXPECT_EQ(std::vector<int>({rr->getSetupRelation(), rf->getSetupRelation(), rf->getHoldRelation(),
                              fr->getSetupRelation(), fr->getHoldRelation()}),
            std::vector<int>({1000, 300, -700, 700, -300}));

  // Periods 10 and 4, launch at 0, latch rising at 7 or falling at 8.
  Pole* fast = clock("f", "fast", 4, 7, 8);
  Pole* slow = clock("s", "slow", 10, 0, 5);
  Domain* cross = Domain::create(slow, fast);
  Subdomain* toRise = Subdomain::create(cross, kRising, kRising);
  Subdomain* toFall = Subdomain::create(cross, kRising, kFalling);
  cross->updateRelationship();
  EXPECT_EQ(std::vector<int>({toRise->getSetupRelation(), toRise->getHoldRelation(),
                              toFall->getSetupRelation(), toFall->getHoldRelation()}),
            std::vector<int>({1, -1, 2, 0}));

  // Left as they were: asynchronous domains, missing roots or waves, and
  // (with one warning per domain) periods of 0 or below.
  Pole* bare = Pole::createMain("bare");
  Domain* async = Domain::create(fast, slow);
  async->setAsynchronous(true);
  std::vector<Domain*> kept{async, Domain::create(nullptr, fast), Domain::create(bare, fast)};
  EXPECT_EQ(output(), "");
  for (int period : {0, -10}) {
    const std::string name = "bad" + std::to_string(-period);
    Pole* bad = clock(name, name, period, 0, 0);
    kept.push_back(Domain::create(bad, fast));
    Subdomain::create(kept.back(), kFalling, kRising);
  }
  for (Domain* domain : kept) {
    Subdomain* subdomain =
        Subdomain::create(domain, domain->getLaunchRoot() ? kRising : kNone, kRising);
    subdomain->setSetupRelation(Delay(77));
    domain->updateRelationship();
    EXPECT_EQ(int(subdomain->getSetupRelation()), 77);
    EXPECT_EQ(int(subdomain->getHoldRelation()), 0);
  }
  EXPECT_EQ(output(),
            "Warning: Unusable clock period for DOMAIN[bad0 to fast]\n"
            "Warning: Unusable clock period for DOMAIN[bad10 to fast]\n");
}

namespace {

// A clock clk reaches the rising registers ff1, ff2 and ff3 after 10ps;
// ff1 launches through q (100ps) to d2 (30ps more, then ff2's 50ps check)
// and to d3 (`far` ps more, then ff3's 50ps check). With `falling`, q also
// reaches d5 (10ps, then the 50ps check of the falling register ff5).
struct Design {
  Pole* clk;
  Domain* domain;
  Subdomain* subdomain;
  Subdomain* halfCycle = nullptr;

  explicit Design(int far, bool falling = false) {
    clk = Support::clock("clk");
    auto edge = [](Pole* source, Pole* target, Morva::Purpose::Code purpose, int delay) {
      Support::edge(source, target, delay, delay, purpose);
    };
    auto reg = [&](const std::string& name, const Mode& mode) {
      Pole* pole = Pole::createMain(name);
      pole->setMode(mode);
      Pole::createDual(name);
      edge(clk, pole, Morva::Purpose::Interconnect, 10);
      return pole;
    };
    auto check = [&](Pole* q, const std::string& pin, int wire, const std::string& reg) {
      Pole* data = Pole::createMain(pin);
      edge(q, data, Morva::Purpose::Interconnect, wire);
      edge(data, Morva::analyzer->getDualPole(reg), Morva::Purpose::SetupHold, 50);
    };
    Pole* ff1 = reg("ff1", kRising);
    Pole* q = Pole::createMain("q");
    edge(ff1, q, Morva::Purpose::IOPath, 100);
    domain = Domain::create(clk, clk);
    subdomain = Subdomain::create(domain, kRising, kRising);
    subdomain->captureLaunch(ff1);
    subdomain->captureLatch(reg("ff2", kRising));
    subdomain->captureLatch(reg("ff3", kRising));
    check(q, "d2", 30, "ff2");
    check(q, "d3", far, "ff3");
    if (!falling) return;
    halfCycle = Subdomain::create(domain, kRising, kFalling);
    halfCycle->captureLaunch(ff1);
    halfCycle->captureLatch(reg("ff5", kFalling));
    check(q, "d5", 10, "ff5");
  }
};

}  // namespace
