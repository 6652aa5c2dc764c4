#include <Morva/Domain.h>
#include <Morva/MPath.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>
#include <Orvek/Debug.h>

#include "Support.h"

using namespace Morva;
using Support::edge;
using Support::pin;
using Support::port;
using Support::view;

namespace {

Timing timing(int minimum, int maximum) {
  return Timing(Delay(minimum), Delay(maximum));
}

// A fresh analyzer per test, destroyed with everything it owns.
class ScannerTest : public Support::AnalyzerFixture {
 protected:
  void TearDown() override {
    AnalyzerFixture::TearDown();
    Orvek::setDebug(false);
  }

  static TimingMap map(const TimingMap& value) { return value; }
  static TimingMap arrivalOf(Scanner* scanner, Pole* pole) {
    TimingMap map;
    EXPECT_TRUE(scanner->hasArrivalTimingMap(pole, map)) << pole->getName();
    return map;
  }
  static TimingMap requireOf(Scanner* scanner, Pole* pole) {
    TimingMap map;
    EXPECT_TRUE(scanner->hasRequireTimingMap(pole, map)) << pole->getName();
    return map;
  }

  // Two registers on clock clk through a clock buffer, the first feeding
  // the second through q1 -> g -> d2, and an input port into g:
  //   clk -(10,12)-> cb -(5,7)-> ff1, cb -(6,9)-> ff2
  //   ff1 =(100,120)=> q1 -(20,30)-> g -(40,50)-> d2 =setup(15,25)=> ff2'
  //   in -(5,8)-> g -(10,10)-> out
  void buildPipeline() {
    clk = pin("clk");
    cb = pin("cb");
    ff1 = pin("ff1", Mode::Rising);
    ff2 = pin("ff2", Mode::Rising);
    ff2Data = Pole::createDual("ff2");
    q1 = pin("q1");
    g = pin("g");
    d2 = pin("d2");
    in = port("in");
    out = port("out");
    edge(clk, cb, 10, 12);
    edge(cb, ff1, 5, 7);
    edge(cb, ff2, 6, 9);
    edge(ff1, q1, 100, 120, Purpose::IOPath);
    q1g = edge(q1, g, 20, 30);
    gd2 = edge(g, d2, 40, 50);
    setup = edge(d2, ff2Data, 15, 25, Purpose::SetupHold);
    edge(in, g, 5, 8);
    edge(g, out, 10, 10);
    subdomain = Subdomain::create(Domain::create(clk, clk), Mode(Mode::Rising), Mode(Mode::Rising));
    subdomain->captureLaunch(ff1);
    subdomain->captureLaunch(in);
    subdomain->captureLatch(ff2);
    subdomain->setSetupRelation(Delay(1000));
    subdomain->setHoldRelation(Delay(0));
    analyzer->setInputConstraint(in, IOConstraint(clk, Mode(Mode::Rising), Delay(2), Delay(3)));
  }

  // Gives the constrained path its own bit and sensitises its edges.
  static void constrain(CPath* path, std::initializer_list<Edge*> edges) {
    Mask::reset(1);
    path->setMask(Mask::getBasic(1));
    path->validate();
    for (Edge* edge : edges) edge->sensitize(path->getMask());
  }

  Pole *clk, *cb, *ff1, *ff2, *ff2Data, *q1, *g, *d2, *in, *out;
  Edge *q1g, *gd2, *setup;
  Subdomain* subdomain = nullptr;
};

}  // namespace

TEST_F(ScannerTest, ReportsLeafProblems) {
  buildPipeline();
  Support::ConsoleCapture output;
  // Without roots, a launch leaf that is no input and a latch leaf that is
  // no output are warned about and still analysed.
  Pole* sink = pin("sink");
  edge(g, sink, 10, 10);
  Subdomain* io = Subdomain::create(Domain::create(nullptr, nullptr), Mode(), Mode());
  io->captureLaunch(ff1);
  io->captureLatch(sink);
  io->setSetupRelation(Delay(500));
  Scanner* scanner = io->openScanner();
  scanner->clockAnalyze();
  scanner->arrivalAnalyze();
  EXPECT_EQ(output.text(), "Warning: Not an output pole\n");
  EXPECT_EQ(arrivalOf(scanner, ff1), map({{0, timing(0, 0)}}));
  EXPECT_EQ(arrivalOf(scanner, sink), map({{0, timing(130, 160)}}));
  EXPECT_EQ(scanner->getArrivalTiming(), timing(130, 160));
  scanner->requireAnalyze();
  EXPECT_EQ(output.text(), "Warning: Not an output pole\nWarning: Not an input pole\n");
  EXPECT_EQ(requireOf(scanner, sink), map({{0, timing(500, 0)}}));
  EXPECT_EQ(requireOf(scanner, ff1), map({{0, timing(340, -130)}}));

  // A latch leaf with a Mode needs its dual pole.
  Pole* lone = pin("lone", Mode::Rising);
  edge(cb, lone, 1, 1);
  subdomain->captureLatch(lone);
  Scanner* clocked = subdomain->openScanner();
  clocked->clockAnalyze();
  try {
    clocked->arrivalAnalyze();
    ADD_FAILURE() << "no dual pole accepted";
  } catch (const Orvek::InvalidRequest& error) {
    EXPECT_EQ(error.getMessage(), "Null input data for lone");
    EXPECT_EQ(error.getOperation(), "arrivalAnalyze");
  }
}

TEST_F(ScannerTest, DividesByHalfPeriodsAndRejectsUnusableCounts) {
  buildPipeline();
  analyzer->createClock(clk, "clk", Delay(100), Delay(0), Delay(25));  // duty 25
  MPath* path = MPath::create(view({q1}), view({}), view({d2}), 2);
  constrain(path, {});
  analyzer->setMulticyclePathMask(path->getMask());
  const unsigned long bit = path->getMask().getNumber();
  const auto divide = [&](Subdomain* owner, int maximum) {
    TimingMap divided{{0, timing(0, 3000)}, {bit, timing(0, maximum)}};
    Scanner* scanner = owner->openScanner();
    scanner->divideCycleCount(divided);
    EXPECT_EQ(divided.find(0)->second, timing(0, 3000));
    return divided.find(bit)->second.getMaximumDelay().getValue();
  };
  Domain* domain = subdomain->getDomain();
  // Launch Rising into Falling: 1 + 100 / 25 cycles.
  EXPECT_EQ(divide(Subdomain::create(domain, Mode(Mode::Rising), Mode(Mode::Falling)), 3000), 600);
  // Launch Falling into Rising: 1 + 100 / 75 cycles.
  EXPECT_EQ(divide(Subdomain::create(domain, Mode(Mode::Falling), Mode(Mode::Rising)), 3000), 1285);
  // Under a maximum delay path too, the disabled maximum is divided as a number.
  analyzer->setMaxdelayPathMask(path->getMask());
  EXPECT_EQ(divide(subdomain, 3000), (INT32_MIN + 1) / 2);
  analyzer->setMaxdelayPathMask(Mask());

  // Between different clocks the class is left whole, with a debug warning.
  Pole* other = pin("other");
  Subdomain* crossing =
      Subdomain::create(Domain::create(other, clk), Mode(Mode::Rising), Mode(Mode::Rising));
  Support::ConsoleCapture output;
  EXPECT_EQ(divide(crossing, 3000), 3000);
  EXPECT_EQ(output.text(), "");
  Orvek::setDebug(true);
  EXPECT_EQ(divide(crossing, 3000), 3000);
  EXPECT_EQ(output.text(), "Warning: " + path->getAlias() + " is not available for " +
                               crossing->getAlias() + "\n");
  // A count at the cap cannot divide a pure clock class.
  MPath* huge = MPath::create(view({q1}), view({}), view({d2}), 300000000);
  Mask::reset(1);
  huge->setMask(Mask::getBasic(1));
  path->setMask(Mask());
  analyzer->setMulticyclePathMask(huge->getMask());
  try {
    divide(subdomain, 3000);
    ADD_FAILURE() << "divided by the cap";
  } catch (const Orvek::InvalidRequest& error) {
    EXPECT_EQ(error.getMessage(), "Abnormal multicycle Path");
    EXPECT_EQ(error.getOperation(), "divideCycleCount");
  }
}

TEST_F(ScannerTest, ChoosesTheGoverningConstraint) {
  buildPipeline();
  DPath* slow = DPath::createMaximum(view({ff1}), view({}), view({ff2Data}), Delay(5000));
  DPath* fast = DPath::createMaximum(view({ff1}), view({}), view({ff2Data}), Delay(3000));
  DPath* tie = DPath::createMaximum(view({ff1}), view({}), view({ff2Data}), Delay(3000));
  DPath* low = DPath::createMinimum(view({ff1}), view({}), view({ff2Data}), Delay(100));
  DPath* high = DPath::createMinimum(view({ff1}), view({}), view({ff2Data}), Delay(200));
  MPath* four = MPath::create(view({q1}), view({}), view({d2}), 4);
  MPath* two = MPath::create(view({q1}), view({}), view({d2}), 2);
  MPath* three = MPath::create(view({q1}), view({}), view({d2}), 3);
  std::vector<CPath*> paths{slow, fast, tie, low, high, four, two, three};
  Mask::reset(paths.size());
  for (std::size_t index = 0; index < paths.size(); ++index)
    paths[index]->setMask(Mask::getBasic(index + 1));
  analyzer->setMaxdelayPathMask(slow->getMask() | fast->getMask() | tie->getMask());
  analyzer->setMindelayPathMask(low->getMask() | high->getMask());
  analyzer->setMulticyclePathMask(four->getMask() | two->getMask() | three->getMask());
  Scanner* scanner = subdomain->openScanner();
  const auto all = [](std::initializer_list<CPath*> list) {
    Mask mask;
    for (CPath* path : list) mask |= path->getMask();
    return mask;
  };
  EXPECT_EQ(scanner->getPriorityMask(all({slow, fast, tie, four, low}), true), fast->getMask());
  // The smallest cycle count governs, whatever the order of creation.
  EXPECT_EQ(scanner->getPriorityMask(all({four, two, three, low}), true), two->getMask());
  EXPECT_EQ(scanner->getPriorityMask(all({high, low}), true), low->getMask());
  EXPECT_EQ(scanner->getPriorityMask(Mask(), true), Mask());
  EXPECT_EQ(scanner->getPriorityMask(all({slow, low, high, two}), false), high->getMask());
  EXPECT_EQ(scanner->getPriorityMask(all({tie, slow, two}), false), slow->getMask());
  EXPECT_EQ(scanner->getPriorityMask(all({four, two}), false), four->getMask());
  EXPECT_EQ(scanner->getPriorityMask(Mask(), false), Mask());
}

// ---- Slacks ------------------------------------------------------------------

TEST_F(ScannerTest, ComputesTheFourSlacks) {
  // Without roots the capture poles require (setup, -hold) = (1000, 250).
  Pole* start = port("start");
  Pole* s = pin("s");
  Pole* sink = port("port");
  Pole* check = Pole::createDual("check");
  Pole* loose = pin("loose");
  edge(start, s, 1, 1);
  Edge* toPort = edge(s, sink, 10, 40);
  Edge* toCheck = edge(s, check, 10, 40, Purpose::SetupHold);
  Edge* toLoose = edge(s, loose, 10, 40);
  DPath* limit = DPath::createMaximum(view({start}), view({}), view({sink}), Delay(800));
  DPath* floor = DPath::createMinimum(view({start}), view({}), view({sink}), Delay(70));
  MPath* cycles = MPath::create(view({s}), view({}), view({sink}), 3);
  Mask::reset(3);
  limit->setMask(Mask::getBasic(1));
  floor->setMask(Mask::getBasic(2));
  cycles->setMask(Mask::getBasic(3));
  for (CPath* path : std::initializer_list<CPath*>{limit, floor, cycles})
    sink->combineClosing(path->getMask());
  toPort->sensitize(limit->getMask());
  Support::ConsoleCapture output;
  Subdomain* io = Subdomain::create(Domain::create(nullptr, nullptr), Mode(), Mode());
  io->captureLaunch(start);
  io->captureLatch(sink);
  io->captureLatch(check);
  io->setSetupRelation(Delay(1000));
  io->setHoldRelation(Delay(-250));
  Scanner* scanner = io->openScanner();
  scanner->clockAnalyze();
  scanner->arrivalAnalyze();
  scanner->requireAnalyze();

  EXPECT_EQ(scanner->calculateLSlack(toPort, Mask(), Delay(600)), Delay(360));
  EXPECT_EQ(scanner->calculateSSlack(toPort, Mask(), Delay(600)), Delay(360));
  EXPECT_EQ(scanner->calculateSSlack(toCheck, Mask(), Delay(600)), Delay(340));
  EXPECT_EQ(scanner->calculateLSlack(toCheck, Mask(), Delay(600)), Delay(360));
  EXPECT_EQ(scanner->calculateLSlack(toPort, Mask(), Delay::getUndefined()), Delay::getUndefined());
  // The limit replaces the setup relation; the cycles extend it.
  EXPECT_EQ(scanner->calculateLSlack(toPort, Mask(), Delay(600), limit), Delay(160));
  EXPECT_EQ(scanner->calculateLSlack(toPort, Mask(), Delay(600), cycles), Delay(2360));
  EXPECT_EQ(scanner->calculateLSlack(toPort, Mask(), Delay(600), floor), Delay(360));
  EXPECT_EQ(scanner->calculateSSlack(toPort, Mask(), Delay(600), floor), Delay(290));
  EXPECT_EQ(scanner->calculateSSlack(toPort, Mask(), Delay(600), limit), Delay(360));
  // The unconstrained slack of a class under the limit only sees required
  // times outside it: none here.
  EXPECT_EQ(scanner->calculateLSlack(toPort, limit->getMask(), Delay(600)), Delay::getUndefined());
  const Delay undefined = Delay::getUndefined();
  EXPECT_EQ(scanner->calculateLSlack(toLoose, Mask(), Delay(1)), undefined);
  EXPECT_EQ(scanner->calculateSSlack(toLoose, Mask(), Delay(1)), undefined);
  EXPECT_EQ(scanner->calculateLSlack(toLoose, Mask(), Delay(1), limit), undefined);
  EXPECT_EQ(scanner->calculateSSlack(toLoose, Mask(), Delay(1), floor), undefined);
  const auto expectNullEdge = [](auto call, const std::string& operation) {
    try {
      call();
      ADD_FAILURE() << "null edge accepted";
    } catch (const Orvek::InvalidRequest& error) {
      EXPECT_EQ(error.getMessage(), "Null edge");
      EXPECT_EQ(error.getOperation(), operation);
    }
  };
  expectNullEdge([&] { scanner->calculateLSlack(nullptr, Mask(), Delay(0)); }, "calculateLSlack");
  expectNullEdge([&] { scanner->calculateSSlack(nullptr, Mask(), Delay(0), limit); },
                 "calculateSSlack");
}
