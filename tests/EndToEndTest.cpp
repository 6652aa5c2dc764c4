// End-to-end analyses of small designs: every expected number below is
// worked out by hand from the clock waves and the edge delays, following
// the propagation rules step by step (clock arrivals, data arrivals with
// the setup/hold check taken at the capture point, the latch correction,
// the clock relationships, required times, route delays, skew and slack).
// Delays are in picoseconds; (m, M) is a (minimum, maximum) timing.

#include <Morva/Archive.h>
#include <Morva/CPath.h>
#include <Morva/Domain.h>
#include <Morva/Route.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>
#include <Morva/TimingMap.h>

#include "Support.h"

#include <utility>

using namespace Morva;

namespace {

using Cells = std::vector<std::string>;
// A route as "source>...>target" (the poles it passes) and its slack.
using RouteLine = std::pair<std::string, int>;

std::string pathOf(const Route* route) {
  std::string text;
  for (Edge* edge : route->getEdges()) text += edge->getSource()->getName() + ">";
  return text + route->getTarget()->getName();
}

std::vector<RouteLine> linesOf(const Routes& routes) {
  std::vector<RouteLine> lines;
  for (Route* route : routes)
    lines.emplace_back(pathOf(route), static_cast<int>(route->getSlack()));
  return lines;
}

class EndToEndTest : public Support::AnalyzerFixture {
 protected:
  // The longest and the shortest routes of a subdomain, in report order.
  static void expectRoutes(const Subdomain* subdomain, const std::vector<RouteLine>& longest,
                           const std::vector<RouteLine>& shortest) {
    ASSERT_NE(subdomain, nullptr);
    EXPECT_EQ(linesOf(subdomain->getLongestRoutes()), longest);
    EXPECT_EQ(linesOf(subdomain->getShortestRoutes()), shortest);
  }
  // Writes the archive text into the temporary folder and loads it.
  void load(const std::string& text) {
    Archive(_directory.writeFile("design" + std::to_string(++_files) + ".morva", text)).load();
  }
  // The analysis again, launched with `tag`ged slacks, `count` routes and
  // the search `margin`.
  static void relaunch(bool tag, unsigned long count, Delay margin) {
    analyzer->reset();
    analyzer->createDomains();
    analyzer->launch(analyzer->getDomains(), tag, false, true, true, count, margin,
                     Delay::getMaximum());
  }
  // The propagation of domain clk to clk step by step, its scanners left
  // open: the scanner of the Rising to Falling subdomain.
  static Scanner* openRiseFall() {
    analyzer->reset();
    analyzer->createDomains();
    analyzer->achieveConstrainedPaths();
    Domain* domain = analyzer->getDomain("clk to clk");
    domain->clockAnalyze();
    domain->arrivalAnalyze();
    domain->requireAnalyze();
    return find("clk to clk", Mode::Rising, Mode::Falling)->getScanner();
  }
  // A fresh analyzer for a second design within one test.
  void restart() {
    analyzer->destroy();
    Analyzer::create();
    _console.clear();
  }

  static Subdomain* find(const std::string& domain, Mode::Code launch, Mode::Code latch) {
    Domain* owner = analyzer->getDomain(domain);
    return owner ? owner->getSubdomain(Mode(launch), Mode(latch)) : nullptr;
  }
  static Pole* pin(const std::string& name) { return analyzer->getMainPole(name); }
  static Pole* capture(const std::string& name) { return analyzer->getDualPole(name); }
  static Edge* edge(const std::string& source, Pole* target) {
    return pin(source)->getOutgoingEdge(target);
  }

  // The rendered table rows whose first cell is one of `firsts`, in order.
  std::vector<Cells> rows(const std::vector<std::string>& firsts) const {
    std::vector<Cells> found;
    std::istringstream stream(_console.text());
    for (std::string line; std::getline(stream, line);) {
      const Cells cells = Support::cellsOf(line);
      for (const std::string& first : firsts)
        if (!cells.empty() && cells[0] == first) {
          found.push_back(cells);
          break;
        }
    }
    return found;
  }
  bool printed(const std::string& text) const {
    return _console.text().find(text) != std::string::npos;
  }

  Support::ConsoleCapture _console;
  Support::TempDir _directory{"morva-e2e"};
  int _files = 0;
};

// Sources of the domain report rows.
const std::vector<std::string> kSources{"Input",         "clk (Rising)",  "clk (Falling)",
                                        "clkA (Rising)", "clkB (Rising)", "Total"};

// ---- A two-register pipeline with a skewed clock tree ----------------------------

const char* kPipeline = R"(
POLE clk     None   Primary
POLE ckbuf/Y None   None
POLE a/CK    Rising None
POLE a/Q     None   None
POLE b/CK    Rising None
POLE b/D     None   None
POLE g/Y     None   None
EDGE clk     ckbuf/Y IOPath       100 120
EDGE ckbuf/Y a/CK    Interconnect  10  20
EDGE ckbuf/Y b/CK    Interconnect  50  70
EDGE a/CK    a/Q     IOPath        80 100
EDGE a/Q     g/Y     IOPath       300 500
EDGE g/Y     b/D     Interconnect  20  30
EDGE a/Q     b/D     Interconnect  40  60
EDGE b/D     b/CK    SetupHold     15  60
CREATE_CLOCK clk -name clk -period 1000 -rising 0 -falling 500
)";

TEST_F(EndToEndTest, TwoRegisterPipelineWithClockSkew) {
  load(kPipeline);
  analyzer->analyze();
  ASSERT_EQ(analyzer->getDomains().getCount(), 1u);
  Subdomain* only = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(only, nullptr);

  // Clock arrivals: a/CK = (100+10, 120+20) = (110, 140); b/CK = (100+50,
  // 120+70) = (150, 190).
  // Data arrivals: a/Q = (190, 240); g/Y = (490, 740); b/D combines
  // (510, 770) through g/Y and (230, 300) directly: (230, 770). The dual
  // pole takes the check: (230 - 15, 770 + 60) = (215, 830). Latch
  // correction with b/CK (150, 190): (215 - 190, 830 - 150) = (25, 680).
  EXPECT_EQ(only->getLAT(), Delay(680));
  EXPECT_EQ(only->getSAT(), Delay(25));
  // Pure clock domain, duty 500 * 100 / 1000 = 50, Rising to Rising: factor
  // 1, the required period is the longest arrival 680 (decisive). The
  // relations then come from the wave: setup = period 1000, hold 0.
  EXPECT_TRUE(only->isDecisive());
  EXPECT_EQ(analyzer->getPeriod(pin("clk")), Delay(680));
  EXPECT_EQ(only->getSetupRelation(), Delay(1000));
  EXPECT_EQ(only->getHoldRelation(), Delay(0));

  // Report: required 1000ps gives 999999999 Hz ("1000.000MHz"); 680ps gives
  // 1e12 / 680 = 1470588235 Hz ("1.471GHz"); hold slack 25 - 0; setup slack
  // 1000 - 680 = 320.
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clk (Rising)", "clk (Rising)", "1000.000MHz", "1.471GHz", "25ps",
                                 "25ps", "0ps", "320ps", "680ps", "1.000ns"},
                                {"Total", "1"}}));

  // Required times (setup, hold): capture point (1000 + 150, 190 - 0) =
  // (1150, 190); b/D frees the check: (1150 - 60, 190 + 15) = (1090, 205);
  // g/Y (1060, 185); a/Q combines (560, -115) and (1030, 165): (560, 165).
  // Longest routes, launch delay 140 (a/CK maximum), latch delay 150 (b/CK
  // minimum), skew 10:
  // - through g/Y: data 100 + 500 + 30 = 630, route delay 620, long delay
  //   620 + 60 = 680, slack 1000 - 680 = 320;
  // - direct: data 100 + 60 = 160, route delay 150, long 210, slack 790.
  EXPECT_EQ(linesOf(only->getLongestRoutes()),
            (std::vector<RouteLine>{{"a/CK>a/Q>g/Y>b/D>b/CK", 320}, {"a/CK>a/Q>b/D>b/CK", 790}}));
  Route* worst = only->getLongestRoutes().getFirst();
  EXPECT_EQ(worst->getSource(), pin("a/CK"));
  EXPECT_EQ(worst->getTarget(), capture("b/CK"));
  // Launch, latch, data, skew, route, long delay and setup time.
  EXPECT_EQ((std::vector<Delay>{worst->getLaunchDelay(), worst->getLatchDelay(),
                                worst->getDataDelay(), worst->getSkew(), worst->getDelay(),
                                worst->getLongDelay(), worst->getSetupTime()}),
            (std::vector<Delay>{140, 150, 630, 10, 620, 680, 60}));
  // Shortest routes, launch delay 110 (a/CK minimum), latch delay 190 (b/CK
  // maximum), skew 80:
  // - direct: data 80 + 40 = 120, route delay 40, short 40 - 15 = 25;
  // - through g/Y: data 80 + 300 + 20 = 400, route delay 320, short 305.
  EXPECT_EQ(linesOf(only->getShortestRoutes()),
            (std::vector<RouteLine>{{"a/CK>a/Q>b/D>b/CK", 25}, {"a/CK>a/Q>g/Y>b/D>b/CK", 305}}));
  Route* tightest = only->getShortestRoutes().getFirst();
  EXPECT_EQ(
      (std::vector<Delay>{tightest->getSkew(), tightest->getShortDelay(), tightest->getHoldTime()}),
      (std::vector<Delay>{80, 25, 15}));

  // The plain analysis does not tag slacks; a launch with tagging writes the
  // worst setup slack of every path through each edge: arrival maximum plus
  // edge delay against the target's required minimum.
  Edge* launch = edge("a/CK", pin("a/Q"));
  EXPECT_EQ(launch->getSlack(), Delay::getUndefined());
  relaunch(true, 50, Delay::getMaximum());
  EXPECT_EQ(launch->getSlack(), Delay(320));                                   // 560 - (140 + 100)
  EXPECT_EQ(edge("a/Q", pin("g/Y"))->getSlack(), Delay(320));                  // 1060 - (240 + 500)
  EXPECT_EQ(edge("g/Y", pin("b/D"))->getSlack(), Delay(320));                  // 1090 - (740 + 30)
  EXPECT_EQ(edge("a/Q", pin("b/D"))->getSlack(), Delay(790));                  // 1090 - (240 + 60)
  EXPECT_EQ(edge("b/D", capture("b/CK"))->getSlack(), Delay(320));             // 1150 - (770 + 60)
  EXPECT_EQ(edge("ckbuf/Y", pin("a/CK"))->getSlack(), Delay::getUndefined());  // clock tree
  EXPECT_EQ(linesOf(find("clk to clk", Mode::Rising, Mode::Rising)->getLongestRoutes()),
            (std::vector<RouteLine>{{"a/CK>a/Q>g/Y>b/D>b/CK", 320}, {"a/CK>a/Q>b/D>b/CK", 790}}));

  // A margin of 0 limits each search to the subdomain's worst slack: setup
  // 1000 - 680 = 320, hold 25 - 0 = 25; the other routes are cut.
  relaunch(false, 50, Delay(0));
  Subdomain* bounded = find("clk to clk", Mode::Rising, Mode::Rising);
  expectRoutes(bounded, {{"a/CK>a/Q>g/Y>b/D>b/CK", 320}}, {{"a/CK>a/Q>b/D>b/CK", 25}});
  // A count of 1 keeps the first route found when it is the worst: through
  // g/Y (edges in creation order) for the setup side; for the hold side the
  // route through g/Y (305) comes first and is replaced by the direct one.
  relaunch(false, 1, Delay::getMaximum());
  bounded = find("clk to clk", Mode::Rising, Mode::Rising);
  expectRoutes(bounded, {{"a/CK>a/Q>g/Y>b/D>b/CK", 320}}, {{"a/CK>a/Q>b/D>b/CK", 25}});
}

// ---- Half-cycle paths between a rising and a falling register ---------------------

// Duty 400 * 100 / 1000 = 40: high width 400, low width 600.
const char* kHalfCycle = R"(
POLE clk  None    Primary
POLE a/CK Rising  None
POLE a/D  None    None
POLE a/Q  None    None
POLE c/CK Falling None
POLE c/D  None    None
POLE c/Q  None    None
EDGE clk  a/CK Interconnect  30  40
EDGE clk  c/CK Interconnect  60  80
EDGE a/CK a/Q  IOPath        50  70
EDGE a/Q  c/D  Interconnect 100 200
EDGE c/D  c/CK SetupHold     10  40
EDGE c/CK c/Q  IOPath        50  70
EDGE c/Q  a/D  Interconnect 150 250
EDGE a/D  a/CK SetupHold     10  40
CREATE_CLOCK clk -name clk -period 1000 -rising 0 -falling 400
)";

TEST_F(EndToEndTest, HalfCyclePathsBetweenRisingAndFallingRegisters) {
  load(kHalfCycle);
  analyzer->analyze();
  Subdomain* riseFall = find("clk to clk", Mode::Rising, Mode::Falling);
  Subdomain* fallRise = find("clk to clk", Mode::Falling, Mode::Rising);
  ASSERT_NE(riseFall, nullptr);
  ASSERT_NE(fallRise, nullptr);

  // Rising to Falling: a/CK (30, 40), a/Q (80, 110), c/D (180, 310), check
  // (170, 350), latch c/CK (60, 80): (170 - 80, 350 - 60) = (90, 290).
  EXPECT_EQ(riseFall->getSAT(), Delay(90));
  EXPECT_EQ(riseFall->getLAT(), Delay(290));
  // Falling to Rising: c/CK (60, 80), c/Q (110, 150), a/D (260, 400), check
  // (250, 440), latch a/CK (30, 40): (250 - 40, 440 - 30) = (210, 410).
  EXPECT_EQ(fallRise->getSAT(), Delay(210));
  EXPECT_EQ(fallRise->getLAT(), Delay(410));
  // Required period: the integer quotients 100 / 40 = 2 (Rising to Falling)
  // and 100 / 60 = 1 (Falling to Rising) give the candidates 290 * 2 = 580
  // and 410; the first wins and is decisive.
  EXPECT_EQ(analyzer->getPeriod(pin("clk")), Delay(580));
  EXPECT_TRUE(riseFall->isDecisive());
  EXPECT_FALSE(fallRise->isDecisive());
  // Relations from the wave: Rising to Falling setup = high 400, hold = -low
  // = -600; Falling to Rising setup = low 600, hold = -high = -400.
  EXPECT_EQ(riseFall->getSetupRelation(), Delay(400));
  EXPECT_EQ(riseFall->getHoldRelation(), Delay(-600));
  EXPECT_EQ(fallRise->getSetupRelation(), Delay(600));
  EXPECT_EQ(fallRise->getHoldRelation(), Delay(-400));
  // Hold slacks 90 + 600 = 690 and 210 + 400 = 610; setup slacks 400 - 290
  // = 110 and 600 - 410 = 190; 1e12 / 580 = 1724137931 Hz.
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clk (Rising)", "clk (Falling)", "1000.000MHz", "1.724GHz",
                                 "690ps", "90ps", "-600ps", "110ps", "290ps", "400ps"},
                                {"clk (Falling)", "clk (Rising)", "-", "-", "610ps", "210ps",
                                 "-400ps", "190ps", "410ps", "600ps"},
                                {"Total", "2"}}));

  // Rising to Falling routes. Longest: data 70 + 200 = 270, skew 60 - 40 =
  // 20, long 270 - 20 + 40 = 290, slack 400 - 290 = 110. Shortest: data
  // 50 + 100 = 150, skew 80 - 30 = 50, short 150 - 50 - 10 = 90, slack
  // 90 + 600 = 690.
  expectRoutes(riseFall, {{"a/CK>a/Q>c/D>c/CK", 110}}, {{"a/CK>a/Q>c/D>c/CK", 690}});
  // Falling to Rising. Longest: data 70 + 250 = 320, skew 30 - 80 = -50,
  // long 320 + 50 + 40 = 410, slack 600 - 410 = 190. Shortest: data
  // 50 + 150 = 200, skew 40 - 60 = -20, short 200 + 20 - 10 = 210, slack
  // 210 + 400 = 610.
  expectRoutes(fallRise, {{"c/CK>c/Q>a/D>a/CK", 190}}, {{"c/CK>c/Q>a/D>a/CK", 610}});

  // The same analysis step by step keeps the scanners open. The required
  // time at the capture point is (setup + latch minimum, latch maximum -
  // hold) = (400 + 60, 80 + 600) = (460, 680): the hold relation enters the
  // required maximum negated, so the edge-level hold slack has the opposite
  // sign convention of the route's: at a/CK -> a/Q the required time is
  // (460 - 40 - 200 = 220, 680 + 10 - 100 = 590), and the shortest slack is
  // (30 + 50) - 590 = -510, while the route over that edge has slack 690.
  Scanner* scanner = openRiseFall();
  ASSERT_NE(scanner, nullptr);
  TimingMap required;
  ASSERT_TRUE(scanner->hasRequireTimingMap(capture("c/CK"), required));
  EXPECT_EQ(required, (TimingMap{{0, Timing(Delay(460), Delay(680))}}));
  ASSERT_TRUE(scanner->hasRequireTimingMap(pin("a/Q"), required));
  EXPECT_EQ(required, (TimingMap{{0, Timing(Delay(220), Delay(590))}}));
  Edge* first = edge("a/CK", pin("a/Q"));
  EXPECT_EQ(scanner->calculateSSlack(first, Mask(), Delay(30)), Delay(-510));
  EXPECT_EQ(scanner->calculateLSlack(first, Mask(), Delay(40)), Delay(110));  // 220 - 110
  analyzer->getDomain("clk to clk")->closeScanners();
}

TEST_F(EndToEndTest, MulticycleOnAHalfCyclePath) {
  load(std::string(kHalfCycle) + "MULTICYCLE_PATH 2 -from a/CK -to c/CK\n");
  analyzer->analyze();
  Subdomain* riseFall = find("clk to clk", Mode::Rising, Mode::Falling);
  Subdomain* fallRise = find("clk to clk", Mode::Falling, Mode::Rising);
  ASSERT_NE(riseFall, nullptr);
  ASSERT_NE(fallRise, nullptr);
  // Rising to Falling arrives (90, 290) in the multicycle class. The cycle
  // count 2 is stretched by the duty on a half-period path: (2 - 1) * 100 /
  // 40 + 1 = 3.5, and 290 / 3.5 = 82.86, truncated to 82.
  EXPECT_EQ(riseFall->getLAT(), Delay(82));
  EXPECT_EQ(riseFall->getSAT(), Delay(90));
  EXPECT_TRUE(riseFall->isMPathCritical());
  // Candidates 82 * 2 = 164 and 410 * 1: Falling to Rising is decisive now,
  // period 410 (1e12 / 410 = 2439024390 Hz). Relations still from the wave.
  EXPECT_EQ(analyzer->getPeriod(pin("clk")), Delay(410));
  EXPECT_TRUE(fallRise->isDecisive());
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clk (Rising)", "clk (Falling)", "-", "-", "690ps", "90ps",
                                 "-600ps", "318ps", "82ps", "400ps"},
                                {"clk (Falling)", "clk (Rising)", "1000.000MHz", "2.439GHz",
                                 "610ps", "210ps", "-400ps", "190ps", "410ps", "600ps"},
                                {"Total", "2"}}));
  // Only the multicycle search reaches c: factor 100 / 40 = 2 (integer),
  // difference (2 - 1) * 2 * the longest arrival 82 = 164; long delay 290 as
  // without the exception, slack 400 - 290 + 164 = 274. Hold side: slack
  // 90 + 600 = 690 with difference 0.
  EXPECT_EQ(linesOf(riseFall->getLongestRoutes()),
            (std::vector<RouteLine>{{"a/CK>a/Q>c/D>c/CK", 274}}));
  EXPECT_EQ(riseFall->getLongestRoutes().getFirst()->getDifference(), Delay(164));
  EXPECT_EQ(linesOf(riseFall->getShortestRoutes()),
            (std::vector<RouteLine>{{"a/CK>a/Q>c/D>c/CK", 690}}));
  // The edge slack along the path extends the required time by (2 - 1) * 2
  // * the setup relation 400 instead: 220 - (40 + 70) + 800 = 910.
  Scanner* scanner = openRiseFall();
  ASSERT_NE(scanner, nullptr);
  CPath* multicycle = analyzer->getMulticyclePaths().getFirst();
  EXPECT_EQ(scanner->calculateLSlack(edge("a/CK", pin("a/Q")), Mask(), Delay(40), multicycle),
            Delay(910));
  analyzer->getDomain("clk to clk")->closeScanners();
}

// ---- Two clocks of 10 ns and 4 ns ---------------------------------------------------

const char* kTwoClocks = R"(
POLE pA   None    Primary
POLE pB   None    Primary
POLE a/CK Rising  None
POLE a/D  None    None
POLE a/Q  None    None
POLE b/CK Rising  None
POLE b/D  None    None
POLE b/Q  None    None
POLE f/CK Falling None
POLE f/D  None    None
EDGE pA   a/CK Interconnect 100 120
EDGE pB   b/CK Interconnect 200 260
EDGE pB   f/CK Interconnect 150 170
EDGE a/CK a/Q  IOPath        50  60
EDGE b/CK b/Q  IOPath        40  50
EDGE a/Q  b/D  Interconnect 300 400
EDGE a/Q  f/D  Interconnect 200 250
EDGE b/Q  a/D  Interconnect 500 700
EDGE a/D  a/CK SetupHold     25  35
EDGE b/D  b/CK SetupHold     20  30
EDGE f/D  f/CK SetupHold     15  25
CREATE_CLOCK pA -name clkA -period 10000 -rising 0    -falling 5000
CREATE_CLOCK pB -name clkB -period 4000  -rising 1000 -falling 2500
)";

TEST_F(EndToEndTest, TwoClocksOfTenAndFourNanoseconds) {
  load(kTwoClocks);
  analyzer->analyze();
  std::vector<std::string> names;
  for (Domain* domain : analyzer->getDomains()) names.push_back(domain->getName());
  EXPECT_EQ(names, (std::vector<std::string>{"clkA to clkB", "clkB to clkA"}));
  Subdomain* aToB = find("clkA to clkB", Mode::Rising, Mode::Rising);
  Subdomain* aToBFalling = find("clkA to clkB", Mode::Rising, Mode::Falling);
  Subdomain* bToA = find("clkB to clkA", Mode::Rising, Mode::Rising);
  ASSERT_NE(aToB, nullptr);
  ASSERT_NE(aToBFalling, nullptr);
  ASSERT_NE(bToA, nullptr);
  EXPECT_FALSE(analyzer->getDomain("clkA to clkB")->isAsynchronous());

  // clkA rising (edge 0) to clkB rising (edge 1000): latch later, distance
  // 1000. Subtractive Euclid on 10000 and 4000: remainders 6000, 2000, 2000,
  // none below 1000, so best stays 0 and setup = 1000 - 0 = 1000; gcd 2000,
  // hold = 1000 - 2000 = -1000.
  EXPECT_EQ(aToB->getSetupRelation(), Delay(1000));
  EXPECT_EQ(aToB->getHoldRelation(), Delay(-1000));
  // clkA rising to clkB falling (1000 + high 1500 = 2500): remainders 6000,
  // 2000 (below 2500: best 2000), 2000; setup = 2500 - 2000 = 500, hold =
  // 500 - 2000 = -1500.
  EXPECT_EQ(aToBFalling->getSetupRelation(), Delay(500));
  EXPECT_EQ(aToBFalling->getHoldRelation(), Delay(-1500));
  // clkB rising (1000) to clkA rising (0): latch earlier, distance 1000.
  // Periods 4000 and 10000: remainders 6000 (best), 2000 (best), 2000; setup
  // = 2000 - 1000 = 1000, hold = 1000 - 2000 = -1000.
  EXPECT_EQ(bToA->getSetupRelation(), Delay(1000));
  EXPECT_EQ(bToA->getHoldRelation(), Delay(-1000));

  // Arrivals. a -> b: a/CK (100, 120), a/Q (150, 180), b/D (450, 580), check
  // (430, 610), latch b/CK (200, 260): (170, 410).
  // a -> f: f/D (350, 430), check (335, 455), latch f/CK (150, 170): (165, 305).
  // b -> a: b/CK (200, 260), b/Q (240, 310), a/D (740, 1010), check
  // (715, 1045), latch a/CK (100, 120): (595, 945).
  // Hold slacks 170 + 1000, 165 + 1500, 595 + 1000; setup slacks
  // 1000 - 410, 500 - 305, 1000 - 945. No frequency for different clocks.
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clkA (Rising)", "clkB (Rising)", "-", "-", "1.170ns", "170ps",
                                 "-1.000ns", "590ps", "410ps", "1.000ns"},
                                {"clkA (Rising)", "clkB (Falling)", "-", "-", "1.665ns", "165ps",
                                 "-1.500ns", "195ps", "305ps", "500ps"},
                                {"clkB (Rising)", "clkA (Rising)", "-", "-", "1.595ns", "595ps",
                                 "-1.000ns", "55ps", "945ps", "1.000ns"},
                                {"Total", "3"}}));

  // Routes. a -> b longest: data 60 + 400 = 460, skew 200 - 120 = 80, long
  // 460 - 80 + 30 = 410, slack 590; shortest: data 50 + 300 = 350, skew
  // 260 - 100 = 160, short 350 - 160 - 20 = 170, slack 170 + 1000 = 1170.
  expectRoutes(aToB, {{"a/CK>a/Q>b/D>b/CK", 590}}, {{"a/CK>a/Q>b/D>b/CK", 1170}});
  // a -> f longest: data 310, skew 150 - 120 = 30, long 305, slack 195;
  // shortest: data 250, skew 170 - 100 = 70, short 165, slack 1665.
  expectRoutes(aToBFalling, {{"a/CK>a/Q>f/D>f/CK", 195}}, {{"a/CK>a/Q>f/D>f/CK", 1665}});
  // b -> a longest: data 50 + 700 = 750, skew 100 - 260 = -160, long
  // 750 + 160 + 35 = 945, slack 55; shortest: data 540, skew 120 - 200 =
  // -80, short 540 + 80 - 25 = 595, slack 1595.
  expectRoutes(bToA, {{"b/CK>b/Q>a/D>a/CK", 55}}, {{"b/CK>b/Q>a/D>a/CK", 1595}});
  EXPECT_EQ(bToA->getLongestRoutes().getFirst()->getSkew(), Delay(-160));

  // Declared asynchronous, the crossings keep the relations of their own
  // arrivals: setup = longest arrival, hold 0, so the setup slack is 0. The
  // reset clears the roots' wave flags while the waves stay declared, so
  // the domains and rows are named after the root poles from then on.
  analyzer->createClockGroups(Orvek::Collect1Collection<Pole*>(pin("pA")),
                              Orvek::Collect1Collection<Pole*>(pin("pB")), false);
  analyzer->reset();
  _console.clear();
  analyzer->analyze();
  EXPECT_EQ(analyzer->getDomain("clkA to clkB"), nullptr);
  Domain* crossing = analyzer->getDomain("pA to pB");
  ASSERT_NE(crossing, nullptr);
  EXPECT_TRUE(crossing->isAsynchronous());
  EXPECT_TRUE(analyzer->hasWave(pin("pA")));
  EXPECT_EQ(rows({"pA (Rising)"})[0], (Cells{"pA (Rising)", "pB (Rising)", "-", "-", "170ps",
                                             "170ps", "0ps", "0ps", "410ps", "410ps"}));
  EXPECT_EQ(linesOf(find("pB to pA", Mode::Rising, Mode::Rising)->getLongestRoutes()),
            (std::vector<RouteLine>{{"b/CK>b/Q>a/D>a/CK", 0}}));  // 945 - 945

  // Declared exclusive, the crossings are not analysed at all.
  analyzer->resetClockGroups();
  analyzer->createClockGroups(Orvek::Collect1Collection<Pole*>(pin("pA")),
                              Orvek::Collect1Collection<Pole*>(pin("pB")), true);
  analyzer->reset();
  _console.clear();
  analyzer->analyze();
  EXPECT_TRUE(analyzer->getDomains().isEmpty());
  EXPECT_TRUE(printed("Reporting domains\n  Analyzer not launched\n"));
}

// ---- Input and output delays ---------------------------------------------------------

TEST_F(EndToEndTest, InputAndOutputDelays) {
  load(R"(
POLE clk  None   Primary
POLE din  None   Primary
POLE en   None   Primary
POLE dout None   Primary
POLE dbg  None   Primary
POLE r/CK Rising None
POLE r/D  None   None
POLE r/Q  None   None
EDGE clk  r/CK Interconnect  40  50
EDGE din  r/D  Interconnect 100 150
EDGE en   r/D  Interconnect  10  20
EDGE r/D  r/CK SetupHold     20  60
EDGE r/CK r/Q  IOPath        70  90
EDGE r/Q  dout Interconnect 200 300
EDGE r/Q  dbg  Interconnect  30  40
CREATE_CLOCK clk -name clk -period 2000 -rising 0 -falling 1000
SET_INPUT_DELAY  -clock clk -min 300  -max 800 -port din
SET_OUTPUT_DELAY -clock clk -min -100 -max 500 -port dout
)");
  analyzer->analyze();
  // en has no input delay (launch root null), dbg no output delay (latch
  // root null); din and dout are timed against clk like registers.
  std::vector<std::string> names;
  for (Domain* domain : analyzer->getDomains()) names.push_back(domain->getName());
  EXPECT_EQ(names, (std::vector<std::string>{"Input to clk", "clk to clk", "clk to Output"}));
  Subdomain* input = find("Input to clk", Mode::None, Mode::Rising);
  Subdomain* clocked = find("clk to clk", Mode::Rising, Mode::Rising);
  Subdomain* output = find("clk to Output", Mode::Rising, Mode::None);
  ASSERT_NE(input, nullptr);
  ASSERT_NE(clocked, nullptr);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(clocked->getLaunchLeafSet(), (PoleSet{pin("din"), pin("r/CK")}));
  EXPECT_EQ(clocked->getLatchLeafSet(), (PoleSet{pin("dout"), pin("r/CK")}));

  // Input to clk (asynchronous, so setup = longest arrival, hold 0): en
  // (0, 0), r/D (10, 20), check (-10, 80), latch r/CK (40, 50): (-60, 40).
  // clk to clk: dout first: r/CK (40, 50), r/Q (110, 140), dout (310, 440),
  // plus the output delay (-100, 500): (210, 940), latch (0, 0). Then r/CK:
  // din (0, 0) plus the input delay (300, 800), r/D (400, 950), check
  // (380, 1010), latch (40, 50): (330, 970). Together (210, 970); period 970
  // (1e12 / 970 = 1030927835 Hz), relations 2000 and 0.
  // clk to Output (asynchronous): dbg (140, 180), no latch correction.
  EXPECT_EQ(
      rows(kSources),
      (std::vector<Cells>{
          {"Input", "clk (Rising)", "-", "-", "-60ps", "-60ps", "0ps", "0ps", "40ps", "40ps"},
          {"clk (Rising)", "clk (Rising)", "500.000MHz", "1.031GHz", "210ps", "210ps", "0ps",
           "1.030ns", "970ps", "2.000ns"},
          {"clk (Rising)", "Output", "-", "-", "140ps", "140ps", "0ps", "0ps", "180ps", "180ps"},
          {"Total", "3"}}));

  // Input to clk: required at the capture point (40 + 40, 50 - 0) =
  // (80, 50). Longest: data 20, skew 40 - 0 (an input has no launch clock
  // delay), long 20 - 40 + 60 = 40, slack 40 - 40 = 0. Shortest: data 10,
  // skew 50, short 10 - 50 - 20 = -60, slack -60.
  expectRoutes(input, {{"en>r/D>r/CK", 0}}, {{"en>r/D>r/CK", -60}});
  // clk to clk: a route leaves out the input delay. The edge slack from din
  // is 1980 - (800 + 150) = 1030, but the route's long delay is 150 - 40 + 60
  // = 170, slack 2000 - 170 = 1830; shortest 100 - 50 - 20 = 30. An output
  // port gets no required time in a clocked subdomain (it has no clock
  // pole), so no route ends at dout.
  expectRoutes(clocked, {{"din>r/D>r/CK", 1830}}, {{"din>r/D>r/CK", 30}});
  // clk to Output: required at dbg (180, 0). Longest: data 90 + 40 = 130,
  // skew 0 - 50 = -50, long 180, slack 0. Shortest: data 100, skew -40,
  // short 140, slack 140.
  expectRoutes(output, {{"r/CK>r/Q>dbg", 0}}, {{"r/CK>r/Q>dbg", 140}});
  EXPECT_FALSE(printed("Not an input pole"));
  EXPECT_FALSE(printed("Not an output pole"));
  // The compact report keeps the clock-to-clock row only.
  _console.clear();
  analyzer->reportDomains(true);
  EXPECT_EQ(rows(kSources), (std::vector<Cells>{{"clk (Rising)", "clk (Rising)", "500.000MHz",
                                                 "1.031GHz", "210ps", "970ps"}}));

  // The route report of the inputs shows the latch clock delay (the skew);
  // that of the outputs the launch clock delay (the negated skew).
  _console.clear();
  analyzer->getDomain("Input to clk")->reportLongestRoutes(false);
  analyzer->getDomain("clk to Output")->reportLongestRoutes(false);
  EXPECT_TRUE(printed("Reporting longest paths for domain Input to clk:Rising"));
  // Headings wrap at 15 characters: "Latch Clock" / "Delay".
  EXPECT_EQ(rows({"Slack"}),
            (std::vector<Cells>{{"Slack", "Source", "Target", "Data Delay", "Latch Clock",
                                 "Setup/Recovery", "Depth", "Note"},
                                {"Slack", "Source", "Target", "Data Delay", "Launch Clock",
                                 "Setup/Recovery", "Depth", "Note"}}));
  EXPECT_EQ(rows({"0ps"}),
            (std::vector<Cells>{{"0ps", "en", "r/D", "20ps", "40ps", "60ps", "1", ""},
                                {"0ps", "r/CK", "dbg", "130ps", "50ps", "-", "1", ""}}));
}

// ---- Path exceptions ------------------------------------------------------------------

// Three registers on one clock: a and b launch, c captures through g/Y.
std::string threeRegisters(int slow, int exception) {
  return R"(
POLE clk  None   Primary
POLE a/CK Rising None
POLE a/Q  None   None
POLE b/CK Rising None
POLE b/Q  None   None
POLE c/CK Rising None
POLE c/D  None   None
POLE g/Y  None   None
EDGE clk  a/CK Interconnect 10 20
EDGE clk  b/CK Interconnect 10 20
EDGE clk  c/CK Interconnect 30 40
EDGE a/CK a/Q  IOPath       50 60
EDGE b/CK b/Q  IOPath       50 60
EDGE a/Q  g/Y  IOPath       )" +
         std::to_string(slow) + " " + std::to_string(exception) + R"(
EDGE b/Q  g/Y  IOPath       100 200
EDGE g/Y  c/D  Interconnect 10 20
EDGE c/D  c/CK SetupHold    10 30
CREATE_CLOCK clk -name clk -period 1000 -rising 0 -falling 500
)";
}

// The b path in every exception design: b/CK (10, 20), b/Q (60, 80), g/Y
// (160, 280), c/D (170, 300), check (160, 330), latch c/CK (30, 40):
// (120, 300). Longest route: data 60 + 200 + 20 = 280, skew 30 - 20 = 10,
// long 280 - 10 + 30 = 300, slack 1000 - 300 = 700. Shortest: data
// 50 + 100 + 10 = 160, skew 40 - 10 = 30, short 160 - 30 - 10 = 120.
const RouteLine kLongB{"b/CK>b/Q>g/Y>c/D>c/CK", 700};
const RouteLine kShortB{"b/CK>b/Q>g/Y>c/D>c/CK", 120};
const std::string kPathA = "a/CK>a/Q>g/Y>c/D>c/CK";

TEST_F(EndToEndTest, FalsePaths) {
  load(threeRegisters(400, 900) + "FALSE_PATH -from a/CK -to c/D\n");
  analyzer->analyze();
  Subdomain* only = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(only, nullptr);
  // The a path carries the false path's bit from a/CK and dies at c/D,
  // where it closes: only the b path (120, 300) reaches the capture point.
  // Period 300 (1e12 / 300 = 3333333333 Hz), setup slack 1000 - 300.
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clk (Rising)", "clk (Rising)", "1000.000MHz", "3.333GHz", "120ps",
                                 "120ps", "0ps", "700ps", "300ps", "1.000ns"},
                                {"Total", "1"}}));
  // Required times from a/CK keep the false path's class and are dropped
  // where it opens, so a/CK starts no route.
  expectRoutes(only, {kLongB}, {kShortB});
  EXPECT_EQ(edge("a/Q", pin("g/Y"))->getMask(), Mask::getBasic(1));
  EXPECT_EQ(edge("b/Q", pin("g/Y"))->getMask(), Mask(0));

  // A false path written to a register's clock pin is taken as written: the
  // walk back from the clock pin meets only the clock tree, never a/CK, so
  // the path is not validated and the a path stays timed: a/Q (60, 80),
  // g/Y (460, 980), c/D (470, 1000), check (460, 1030), latch (420, 1000);
  // longest arrival 1000, route slack 1000 - (980 - 10 + 30) = 0.
  restart();
  load(threeRegisters(400, 900) + "FALSE_PATH -from a/CK -to c/CK\n");
  analyzer->analyze();
  only = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(only, nullptr);
  EXPECT_EQ(only->getLAT(), Delay(1000));
  EXPECT_EQ(pin("a/CK")->getOpeningMask(), Mask(0));
  EXPECT_EQ(linesOf(only->getLongestRoutes()), (std::vector<RouteLine>{{kPathA, 0}, kLongB}));

  // A false path from the only launching register leaves its pure clock
  // domain without any arrival: every candidate period is Undefined, the
  // period stays the code Minimum and the analysis stops.
  restart();
  load(std::string(kPipeline) + "FALSE_PATH -from a/CK\n");
  try {
    analyzer->analyze();
    FAIL() << "no exception";
  } catch (const Orvek::Fatal& error) {
    EXPECT_STREQ(error.what(), "Abnormal period");
  }
  EXPECT_TRUE(printed("Abnormal period: minimum"));
  EXPECT_FALSE(edge("a/CK", pin("a/Q"))->isActive());
  EXPECT_EQ(find("clk to clk", Mode::Rising, Mode::Rising)->getLAT(), Delay::getUndefined());
}

TEST_F(EndToEndTest, MulticycleOfTwoInAPureClockDomain) {
  load(threeRegisters(800, 1500) + "MULTICYCLE_PATH 2 -from a/CK -to c/CK\n");
  analyzer->analyze();
  Subdomain* only = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(only, nullptr);
  // The a path, in the multicycle class: a/Q (60, 80), g/Y (860, 1580), c/D
  // (870, 1600), check (860, 1630), latch (820, 1600); the maximum is
  // divided by the 2 cycles: (820, 800). With the b path (120, 300) the
  // subdomain has (120, 800), its longest arrival from the multicycle class.
  EXPECT_EQ(only->getSAT(), Delay(120));
  EXPECT_EQ(only->getLAT(), Delay(800));
  EXPECT_TRUE(only->isMPathCritical());
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clk (Rising)", "clk (Rising)", "1000.000MHz", "1.250GHz", "120ps",
                                 "120ps", "0ps", "200ps", "800ps", "1.000ns"},
                                {"Total", "1"}}));

  // The multicycle route: data 60 + 1500 + 20 = 1580, skew 10, long 1600;
  // its difference is (2 - 1) x the scanner's longest arrival 800, so the
  // slack is 1000 - 1600 + 800 = 200 (the edge-level constrained slack adds
  // one setup relation instead: 1030 - 1630 + 1000 = 400).
  EXPECT_EQ(linesOf(only->getLongestRoutes()), (std::vector<RouteLine>{{kPathA, 200}, kLongB}));
  Route* multicycle = only->getLongestRoutes().getFirst();
  EXPECT_EQ(multicycle->getDifference(), Delay(800));
  EXPECT_EQ(multicycle->getConstrainedPath(), analyzer->getMulticyclePaths().getFirst());
  // Shortest: the multicycle search adds nothing to the hold side (difference
  // 0): data 50 + 800 + 10 = 860, skew 30, short 820, slack 820.
  EXPECT_EQ(linesOf(only->getShortestRoutes()), (std::vector<RouteLine>{kShortB, {kPathA, 820}}));
  EXPECT_TRUE(only->getShortestRoutes().getLast()->isConstrained());

  // The route report names the data pin of the check as target and notes the
  // cycle count.
  _console.clear();
  analyzer->getDomain("clk to clk")->reportLongestRoutes(false);
  EXPECT_TRUE(printed("Reporting longest paths for domain clk:Rising to clk:Rising"));
  EXPECT_TRUE(printed("Clock Skew"));
  EXPECT_EQ(rows({"200ps", "700ps", "Total"}),
            (std::vector<Cells>{
                {"200ps", "a/CK", "c/D", "1.580ns", "10ps", "30ps", "3", "MultiCycle: x2"},
                {"700ps", "b/CK", "c/D", "280ps", "10ps", "30ps", "3", ""},
                {"Total", "2"}}));
}

TEST_F(EndToEndTest, MaximumDelayPaths) {
  load(threeRegisters(400, 500) + "MAXIMUM_DELAY_PATH 700 -from a/CK -to c/CK\n");
  analyzer->analyze();
  Subdomain* only = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(only, nullptr);
  // The a path (420, 600) is in the maximum delay class: its maximum becomes
  // the code Minimum and leaves the summary to the b path (120, 300).
  EXPECT_EQ(only->getLAT(), Delay(300));
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clk (Rising)", "clk (Rising)", "1000.000MHz", "3.333GHz", "120ps",
                                 "120ps", "0ps", "700ps", "300ps", "1.000ns"},
                                {"Total", "1"}}));
  // The constrained route: data 60 + 500 + 20 = 580, skew 10, long 600,
  // difference 700 - 1000 = -300, slack 1000 - 600 - 300 = 100, the limit
  // minus the path delay.
  EXPECT_EQ(linesOf(only->getLongestRoutes()), (std::vector<RouteLine>{{kPathA, 100}, kLongB}));
  EXPECT_EQ(only->getLongestRoutes().getFirst()->getDifference(), Delay(-300));
  // Shortest, difference 0: data 50 + 400 + 10 = 460, skew 30, short 420.
  EXPECT_EQ(linesOf(only->getShortestRoutes()), (std::vector<RouteLine>{kShortB, {kPathA, 420}}));
  _console.clear();
  analyzer->getDomain("clk to clk")->reportLongestRoutes(false);
  EXPECT_EQ(rows({"100ps"}), (std::vector<Cells>{{"100ps", "a/CK", "c/D", "580ps", "10ps", "30ps",
                                                  "3", "MaxDelay: 700ps"}}));

  // Between ports without IO delays, the maximum delay class removes the
  // only arrival maximum: the summary shows the code Minimum (setup slack
  // Minimum - Minimum = 0). Its targets have no clock pole, so the path is
  // never searched, and the unconstrained search drops its class: no route.
  restart();
  load(R"(
POLE tin   None Primary
POLE tout  None Primary
POLE buf/A None None
POLE buf/Y None None
EDGE tin   buf/A Interconnect 100 150
EDGE buf/A buf/Y IOPath       200 300
EDGE buf/Y tout  Interconnect 120 180
MAXIMUM_DELAY_PATH 500 -from tin -to tout
)");
  analyzer->analyze();
  Subdomain* ports = find("Input to Output", Mode::None, Mode::None);
  ASSERT_NE(ports, nullptr);
  // tin (0, 0), buf/A (100, 150), buf/Y (300, 450), tout (420, 630).
  EXPECT_EQ(ports->getSAT(), Delay(420));
  EXPECT_EQ(ports->getLAT(), Delay::getMinimum());
  EXPECT_EQ(rows(kSources), (std::vector<Cells>{{"Input", "Output", "-", "-", "420ps", "420ps",
                                                 "0ps", "0ps", "minimum", "minimum"},
                                                {"Total", "1"}}));
  EXPECT_TRUE(ports->getLongestRoutes().isEmpty());
  EXPECT_TRUE(ports->getShortestRoutes().isEmpty());
}

TEST_F(EndToEndTest, MinimumDelayPath) {
  load(threeRegisters(400, 500) + "MINIMUM_DELAY_PATH 600 -from a/CK -to c/CK\n");
  analyzer->analyze();
  Subdomain* only = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(only, nullptr);
  // The a path (420, 600) is in the minimum delay class: its minimum becomes
  // the code Maximum, its maximum 600 stays: the subdomain has (120, 600),
  // period 600 (1e12 / 600 = 1666666666 Hz).
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clk (Rising)", "clk (Rising)", "1000.000MHz", "1.667GHz", "120ps",
                                 "120ps", "0ps", "400ps", "600ps", "1.000ns"},
                                {"Total", "1"}}));
  // Longest: the a route is found along the minimum delay path (it governs
  // its class) with difference 0: long 600, slack 400.
  EXPECT_EQ(linesOf(only->getLongestRoutes()), (std::vector<RouteLine>{{kPathA, 400}, kLongB}));
  // Shortest: short delay 460 - 30 - 10 = 420, difference 600, slack
  // 420 - 600 = -180, the hold violation of the minimum delay.
  EXPECT_EQ(linesOf(only->getShortestRoutes()), (std::vector<RouteLine>{{kPathA, -180}, kShortB}));
  EXPECT_EQ(only->getShortestRoutes().getFirst()->getDifference(), Delay(600));
  _console.clear();
  analyzer->getDomain("clk to clk")->reportShortestRoutes(false);
  EXPECT_EQ(rows({"-180ps"}), (std::vector<Cells>{{"-180ps", "a/CK", "c/D", "460ps", "30ps", "10ps",
                                                   "3", "MinDelay: 600ps"}}));
}

// ---- A combinational loop --------------------------------------------------------------

TEST_F(EndToEndTest, CombinationalLoopIsReportedAndSkipped) {
  load(R"(
POLE clk  None   Primary
POLE a/CK Rising None
POLE a/Q  None   None
POLE b/CK Rising None
POLE b/D  None   None
POLE u1/A None   None
POLE u1/Y None   None
POLE u2/A None   None
POLE u2/Y None   None
EDGE clk  a/CK Interconnect  10  20
EDGE clk  b/CK Interconnect  30  40
EDGE a/CK a/Q  IOPath        50  60
EDGE a/Q  u1/A Interconnect  10  10
EDGE u1/A u1/Y IOPath       100 100
EDGE u1/Y u2/A Interconnect  10  10
EDGE u2/A u2/Y IOPath       100 100
EDGE u2/Y u1/A Interconnect  10  10
EDGE u1/Y b/D  Interconnect  20  20
EDGE b/D  b/CK SetupHold     10  30
CREATE_CLOCK clk -name clk -period 1000 -rising 0 -falling 500
)");
  analyzer->analyze();
  EXPECT_TRUE(printed("1 combinatorial loop detected during data domain analysis."));
  EXPECT_FALSE(printed("during clock paths analysis"));
  Subdomain* only = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(only, nullptr);
  // The edge back into u1/A is ignored: a/CK (10, 20), a/Q (60, 80), u1/A
  // (70, 90), u1/Y (170, 190), b/D (190, 210), check (180, 240), latch
  // b/CK (30, 40): (140, 210); 1e12 / 210 = 4761904761 Hz.
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"clk (Rising)", "clk (Rising)", "1000.000MHz", "4.762GHz", "140ps",
                                 "140ps", "0ps", "790ps", "210ps", "1.000ns"},
                                {"Total", "1"}}));
  // u2 has no arrival, so the search does not enter the loop. Longest: data
  // 60 + 10 + 100 + 20 = 190, skew 10, long 210, slack 790; shortest: data
  // 180, skew 30, short 140.
  expectRoutes(only, {{"a/CK>a/Q>u1/A>u1/Y>b/D>b/CK", 790}},
               {{"a/CK>a/Q>u1/A>u1/Y>b/D>b/CK", 140}});
}

// ---- The shipped examples -----------------------------------------------------------------

// The pipeline example, checked by hand: clk -> ckbuf/A (10, 15) -> ckbuf/Y
// (50, 70); r1/CK (70, 95), r2/CK (72, 98), r3/CK (75, 102), r4/CK (71, 97).
// r1 -> r2: r1/Q (160, 225), r2/D (168, 237), check (153, 297), latch r2/CK
// (72, 98): (55, 225). r2 -> r3: r2/Q (162, 228), u1/A (172, 242), u1/Y
// (207, 292), r3/D (216, 305), check (201, 365), latch (75, 102): (99, 290).
// r3 -> r4: r3/Q (165, 232), u2/A (176, 248), and r1 -> r4: u2/B
// (220, 320); u2/Y combines (221, 318) and (270, 395): (221, 395); r4/D
// (228, 405), check (213, 465), latch (71, 97): (116, 394). The din input
// (no input delay) and the dout output (no output delay) are domains of
// their own. Longest arrival 394, period 2000.
TEST_F(EndToEndTest, PipelineExampleByHand) {
  Archive(std::string(MORVA_EXAMPLES) + "/pipeline.morva").load();
  analyzer->analyze();
  Subdomain* core = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(core, nullptr);
  EXPECT_EQ(core->getSAT(), Delay(55));
  EXPECT_EQ(core->getLAT(), Delay(394));
  EXPECT_EQ(analyzer->getPeriod(pin("clk")), Delay(394));
  // 1e12 / 394 = 2538071065 Hz; setup slack 2000 - 394 = 1606.
  EXPECT_EQ(rows({"clk (Rising)"})[0],
            (Cells{"clk (Rising)", "clk (Rising)", "500.000MHz", "2.538GHz", "55ps", "55ps", "0ps",
                   "1.606ns", "394ps", "2.000ns"}));
  // The worst setup route r1 -> u2/B -> r4: data 130 + 95 + 75 + 10 = 310,
  // skew 71 - 95 = -24, long 310 + 24 + 60 = 394, slack 1606; then r3 -> r4:
  // data 130 + 16 + 70 + 10 = 226, skew 71 - 102 = -31, long 317, slack
  // 1683; r2 -> r3: data 130 + 14 + 50 + 13 = 207, skew 75 - 98 = -23, long
  // 290, slack 1710; r1 -> r2: data 142, skew 72 - 95 = -23, long 225,
  // slack 1775.
  EXPECT_EQ(linesOf(core->getLongestRoutes()),
            (std::vector<RouteLine>{{"r1/CK>r1/Q>u2/B>u2/Y>r4/D>r4/CK", 1606},
                                    {"r3/CK>r3/Q>u2/A>u2/Y>r4/D>r4/CK", 1683},
                                    {"r2/CK>r2/Q>u1/A>u1/Y>r3/D>r3/CK", 1710},
                                    {"r1/CK>r1/Q>r2/D>r2/CK", 1775}}));
  // Shortest: r1 -> r2: data 98, skew 98 - 70 = 28, short 98 - 28 - 15 = 55;
  // r2 -> r3: data 90 + 10 + 35 + 9 = 144, skew 102 - 72 = 30, short 99;
  // r3 -> r4: data 90 + 11 + 45 + 7 = 153, skew 97 - 75 = 22, short 116;
  // r1 -> r4: data 90 + 60 + 50 + 7 = 207, skew 97 - 70 = 27, short 165.
  EXPECT_EQ(linesOf(core->getShortestRoutes()),
            (std::vector<RouteLine>{{"r1/CK>r1/Q>r2/D>r2/CK", 55},
                                    {"r2/CK>r2/Q>u1/A>u1/Y>r3/D>r3/CK", 99},
                                    {"r3/CK>r3/Q>u2/A>u2/Y>r4/D>r4/CK", 116},
                                    {"r1/CK>r1/Q>u2/B>u2/Y>r4/D>r4/CK", 165}}));
}

// io_delays.morva by hand. Clock arrivals: i0/CK and i1/CK (50, 70), iv/CK
// (52, 72), o0/CK and o1/CK (55, 76); duty 50, high and low 2500.
// - Input to clk (rst_n has no input delay, asynchronous): rst_n (0, 0),
//   o0/RN (80, 120), recovery/removal check (40, 210), latch o0/CK: (-36, 155).
// - clk (Rising) to clk (Rising): q through o0: o0/Q (165, 226), q
//   (205, 286), output delay (-200, 1200): (5, 1486); d0 (300, 1800), i0/D
//   (320, 1830), check (300, 1900), latch: (230, 1850); d1 (300, 1800), i1/D
//   (322, 1833), check (302, 1903), latch: (232, 1853); o0 through sum: sum/Y
//   (460, 1077), o0/D (469, 1091), check (449, 1161), latch: (373, 1106).
//   Together (5, 1853), factor 1.
// - clk (Rising) to clk (Falling): iv/Q (152, 212), o1/D (182, 257), check
//   (162, 327), latch o1/CK: (86, 272), factor 100 / 50 = 2: 544.
// - clk (Falling) to clk (Rising): rdy (205, 286) plus (0, 700): (205, 986);
//   vin (100, 900) (falling-edge input delay), iv/D (125, 935), check
//   (105, 1005), latch iv/CK: (33, 953). Together (33, 986), factor 2: 1972,
//   the decisive period (1e12 / 1972 = 507099391 Hz).
TEST_F(EndToEndTest, IoDelaysExampleByHand) {
  Archive(std::string(MORVA_EXAMPLES) + "/io_delays.morva").load();
  _console.clear();
  analyzer->analyze();
  EXPECT_EQ(rows(kSources),
            (std::vector<Cells>{{"Input", "clk (Rising)", "-", "-", "-36ps", "-36ps", "0ps", "0ps",
                                 "155ps", "155ps"},
                                {"clk (Rising)", "clk (Rising)", "-", "-", "5ps", "5ps", "0ps",
                                 "3.147ns", "1.853ns", "5.000ns"},
                                {"clk (Rising)", "clk (Falling)", "-", "-", "2.586ns", "86ps",
                                 "-2.500ns", "2.228ns", "272ps", "2.500ns"},
                                {"clk (Falling)", "clk (Rising)", "200.000MHz", "507.099MHz",
                                 "2.533ns", "33ps", "-2.500ns", "1.514ns", "986ps", "2.500ns"},
                                {"Total", "4"}}));
  // The reset path: required (155 + 55, 76) at the capture point. Longest:
  // data 120, skew 55, long 65 + 90 = 155, slack 0, recovery time 90.
  // Shortest: data 80, skew 76, short 4 - 40 = -36.
  Subdomain* reset = find("Input to clk", Mode::None, Mode::Rising);
  ASSERT_NE(reset, nullptr);
  expectRoutes(reset, {{"rst_n>o0/RN>o0/CK", 0}}, {{"rst_n>o0/RN>o0/CK", -36}});
  Route* recovery = reset->getLongestRoutes().getFirst();
  EXPECT_EQ(recovery->getRecoveryTime(), Delay(90));
  EXPECT_EQ(recovery->getSetupTime(), Delay::getUndefined());
  EXPECT_EQ(reset->getShortestRoutes().getFirst()->getRemovalTime(), Delay(40));
}

// exceptions.morva by hand, the clk (Rising) to clk (Rising) subdomain.
// cfg/CK, the only source of its false path, is cut out of the graph, so
// cfg launches nothing. Clock arrivals: m_a/CK (30, 40), m_b/CK (31, 41),
// acc/CK (33, 45), r_src/CK (20, 30), r_dst/CK (90, 120).
// Capture at acc: the multicycle class (through mul/P) reaches mul/P with
// (1920, 3266), add/S (2230, 3881); acc's own loop gives add/S (425, 773);
// acc/D (433, 785) and (2238, 3893); check (418, 835) and (2223, 3943);
// latch acc/CK (33, 45): (373, 802) and (2178, 3910), the latter divided
// by 2 cycles: (2178, 1955). Capture at r_dst: r_dst/D (360, 536), check
// (345, 586), latch (90, 120): (225, 496), in the minimum delay class, so
// its minimum becomes Maximum. Together (373, 1955); period 1955
// (1e12 / 1955 = 511508951 Hz), required 2500 (400 MHz).
TEST_F(EndToEndTest, ExceptionsExampleByHand) {
  Archive(std::string(MORVA_EXAMPLES) + "/exceptions.morva").load();
  _console.clear();
  analyzer->analyze();
  EXPECT_FALSE(edge("cfg/CK", pin("cfg/Q"))->isActive());
  Subdomain* core = find("clk to clk", Mode::Rising, Mode::Rising);
  ASSERT_NE(core, nullptr);
  EXPECT_TRUE(core->isMPathCritical());
  EXPECT_EQ(rows({"clk (Rising)"})[0],
            (Cells{"clk (Rising)", "clk (Rising)", "400.000MHz", "511.509MHz", "373ps", "373ps",
                   "0ps", "545ps", "1.955ns", "2.500ns"}));
  // Longest routes. Multicycle, difference (2 - 1) x 1955: data 110 + 15 +
  // 3100 + 15 + 600 + 12 = 3852, long 3852 - (33 - 41) + 50 = 3910 from
  // m_b (slack 2500 - 3910 + 1955 = 545) and 3909 from m_a (546). The acc
  // loop: data 110 + 18 + 600 + 12 = 740, skew 33 - 45, long 802, slack
  // 1698. The minimum delay path, searched along its own edges: data 506,
  // skew 90 - 30 = 60, long 496, slack 2004.
  EXPECT_EQ(linesOf(core->getLongestRoutes()),
            (std::vector<RouteLine>{{"m_b/CK>m_b/Q>mul/B>mul/P>add/A>add/S>acc/D>acc/CK", 545},
                                    {"m_a/CK>m_a/Q>mul/A>mul/P>add/A>add/S>acc/D>acc/CK", 546},
                                    {"acc/CK>acc/Q>add/B>add/S>acc/D>acc/CK", 1698},
                                    {"r_src/CK>r_src/Q>dly/A>dly/Y>r_dst/D>r_dst/CK", 2004}}));
  // Shortest routes. Minimum delay: data 80 + 5 + 250 + 5 = 340, skew
  // 120 - 20 = 100, short 225, difference 400: slack -175. The acc loop:
  // data 400, skew 45 - 33, short 373. Multicycle (difference 0): data
  // 80 + 10 + 1800 + 10 + 300 + 8 = 2208, skew 45 - 30 or 45 - 31, short
  // 2178 (m_a) and 2179 (m_b).
  EXPECT_EQ(linesOf(core->getShortestRoutes()),
            (std::vector<RouteLine>{{"r_src/CK>r_src/Q>dly/A>dly/Y>r_dst/D>r_dst/CK", -175},
                                    {"acc/CK>acc/Q>add/B>add/S>acc/D>acc/CK", 373},
                                    {"m_a/CK>m_a/Q>mul/A>mul/P>add/A>add/S>acc/D>acc/CK", 2178},
                                    {"m_b/CK>m_b/Q>mul/B>mul/P>add/A>add/S>acc/D>acc/CK", 2179}}));
}

}  // namespace
