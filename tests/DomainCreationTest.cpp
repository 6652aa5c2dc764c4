#include <Morva/Domain.h>
#include <Morva/Subdomain.h>

#include "Support.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

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
  bool printed(const std::string& line) const {
    return ("\n" + _console.text()).find("\n" + line + "\n") != std::string::npos;
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

  try {
    analyzer->isExclusive(nullptr);
    FAIL() << "no exception";
  } catch (const Orvek::InvalidRequest& error) {
    EXPECT_STREQ(error.what(), "Null domain");
    EXPECT_EQ(error.getOperation(), "isExclusive");
  }
  EXPECT_THROW(analyzer->isAsynchronous(nullptr), Orvek::InvalidRequest);
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

// ---- Literal recursive forms of the scans, the reference of the walks --------

// Marks and loop stack of their own, so that the analyzer's are untouched.
struct ReferenceWalk {
  std::set<Pole*> marked;
  std::vector<Pole*> stack;
  unsigned long loops = 0;
  bool isLooping(Pole* pole) const {
    return std::find(stack.begin(), stack.end(), pole) != stack.end();
  }
};

struct ClockReference : ReferenceWalk {
  std::vector<std::string> remarks;

  void step(Pole* pole, ClockMap& map, Pole* origin) {
    if (marked.count(pole)) return;
    marked.insert(pole);
    stack.push_back(pole);
    if (pole->isInput() || pole->getType().getCode() == Type::ClockSource) {
      map[pole].insert(pole);
    } else {
      for (Edge* edge : pole->getIncomingEdges()) {
        if (pole->isClock() && edge->isControl()) continue;
        if (!edge->isActive()) continue;
        Pole* source = edge->getSource();
        if (source->isClock())
          remarks.push_back("Generated clock " + origin->getReportName() + " by " +
                            source->getReportName());
        if (isLooping(source)) {
          ++loops;
          continue;
        }
        step(source, map, origin);
        if (map.count(source)) {
          const PoleSet roots = map[source];
          map[pole].insert(roots.begin(), roots.end());
        }
      }
    }
    stack.pop_back();
  }

  ClockMap run() {
    ClockMap result;
    ClockMap local;
    for (Pole* pole : analyzer->getPoles()) {
      if (!pole->isClock() || result.count(pole)) continue;
      marked.erase(pole);
      step(pole, local, pole);
      if (local.count(pole)) result[pole] = local[pole];
    }
    for (const auto& [port, constraint] : analyzer->getInputDelays())
      if (!result.count(port)) result[port].insert(constraint.getClockRoot());
    for (const auto& [port, constraint] : analyzer->getOutputDelays())
      if (!result.count(port)) result[port].insert(constraint.getClockRoot());
    return result;
  }
};

// One subdomain step of the data scan.
using Capture = std::tuple<Pole*, Pole*, Pole*, Pole*, Mode::Code, Mode::Code>;

struct DataReference : ReferenceWalk {
  using LaunchSets = std::map<Pole*, PoleSet, Object::StampLess>;
  const ClockMap& clocks;
  std::map<Pole*, LaunchSets, Object::StampLess> launch;
  std::map<Pole*, unsigned long, Object::StampLess> uses;
  std::vector<Capture> captures;
  bool fatal = false;

  explicit DataReference(const ClockMap& clockMap) : clocks(clockMap) {}

  void step(Pole* pole) {
    if (marked.count(pole) || fatal) return;
    stack.push_back(pole);
    unsigned long readers = pole->isTerminal() ? 1 : 0;
    for (Edge* edge : pole->getOutgoingEdges())
      if (edge->isActive()) ++readers;
    uses[pole] = readers;
    if (pole->isInput()) {
      IOConstraint constraint;
      Pole* root =
          analyzer->hasInputConstraint(pole, constraint) ? constraint.getClockRoot() : nullptr;
      launch[pole][root].insert(pole);
    } else if (pole->isClock()) {
      if (!clocks.count(pole)) {
        fatal = true;
        return;
      }
      for (Pole* root : clocks.at(pole)) launch[pole][root].insert(pole);
    } else {
      for (Edge* edge : pole->getIncomingEdges()) {
        if (!edge->isActive()) continue;
        Pole* source = edge->getSource();
        if (isLooping(source)) {
          ++loops;
          continue;
        }
        step(source);
        if (fatal) return;
        if (launch.count(source)) {
          const LaunchSets sets = launch[source];
          for (const auto& [root, points] : sets)
            launch[pole][root].insert(points.begin(), points.end());
        }
        if (--uses[source] == 0) launch.erase(source);
      }
    }
    stack.pop_back();
    marked.insert(pole);
  }

  static Mode::Code launchMode(Pole* point) {
    if (point->isClock()) return point->getMode().getCode();
    IOConstraint constraint;
    if (analyzer->hasInputConstraint(point, constraint)) return constraint.getMode().getCode();
    return Mode::None;
  }

  void run() {
    for (Pole* pole : analyzer->getPoles()) {
      if (!pole->isOutput()) continue;
      step(pole);
      if (fatal) return;
      IOConstraint constraint;
      Pole* latchRoot = nullptr;
      Mode::Code latchMode = Mode::None;
      if (analyzer->hasOutputConstraint(pole, constraint)) {
        latchRoot = constraint.getClockRoot();
        latchMode = constraint.getMode().getCode();
      }
      for (const auto& [root, points] : launch[pole])
        for (Pole* point : points)
          captures.emplace_back(root, latchRoot, point, pole, launchMode(point), latchMode);
    }
    for (Pole* clock : analyzer->getPoles()) {
      if (!clock->isClock()) continue;
      Pole* data = clock->getDual();
      step(data);
      if (fatal) return;
      if (!clocks.count(clock)) continue;
      for (Pole* latchRoot : clocks.at(clock))
        for (const auto& [root, points] : launch[data])
          for (Pole* point : points)
            captures.emplace_back(root, latchRoot, point, clock, launchMode(point),
                                  clock->getMode().getCode());
    }
  }
};

// A domain as the data scan leaves it: roots, then each subdomain's modes
// and leaves, subdomains and domains in creation order.
using SubdomainView = std::tuple<Mode::Code, Mode::Code, std::vector<Pole*>, std::vector<Pole*>>;
using DomainView = std::tuple<Pole*, Pole*, std::vector<SubdomainView>>;

std::vector<Pole*> sorted(const PoleSet& poles) {
  return {poles.begin(), poles.end()};
}

std::vector<DomainView> expectedDomains(const std::vector<Capture>& captures) {
  std::vector<DomainView> domains;
  std::vector<std::vector<std::pair<PoleSet, PoleSet>>> leaves;
  for (const auto& [launchRoot, latchRoot, point, latch, launchMode, latchMode] : captures) {
    auto domain = std::find_if(domains.begin(), domains.end(), [&](const DomainView& view) {
      return std::get<0>(view) == launchRoot && std::get<1>(view) == latchRoot;
    });
    if (domain == domains.end()) {
      domains.emplace_back(launchRoot, latchRoot, std::vector<SubdomainView>{});
      leaves.emplace_back();
      domain = domains.end() - 1;
    }
    auto& subdomains = std::get<2>(*domain);
    auto& sets = leaves[domain - domains.begin()];
    auto subdomain = std::find_if(subdomains.begin(), subdomains.end(), [&](const auto& view) {
      return std::get<0>(view) == launchMode && std::get<1>(view) == latchMode;
    });
    if (subdomain == subdomains.end()) {
      subdomains.emplace_back(launchMode, latchMode, std::vector<Pole*>{}, std::vector<Pole*>{});
      sets.emplace_back();
      subdomain = subdomains.end() - 1;
    }
    auto& [launchLeaves, latchLeaves] = sets[subdomain - subdomains.begin()];
    launchLeaves.insert(point);
    latchLeaves.insert(latch);
    std::get<2>(*subdomain) = sorted(launchLeaves);
    std::get<3>(*subdomain) = sorted(latchLeaves);
  }
  return domains;
}

std::vector<DomainView> actualDomains() {
  std::vector<Domain*> domains;
  for (Domain* domain : analyzer->getDomains()) domains.push_back(domain);
  std::sort(domains.begin(), domains.end(), Object::StampLess());
  std::vector<DomainView> views;
  for (Domain* domain : domains) {
    std::vector<Subdomain*> subdomains;
    for (Subdomain* subdomain : domain->getSubdomains()) subdomains.push_back(subdomain);
    std::sort(subdomains.begin(), subdomains.end(), Object::StampLess());
    std::vector<SubdomainView> subviews;
    for (Subdomain* subdomain : subdomains)
      subviews.emplace_back(
          subdomain->getLaunchMode().getCode(), subdomain->getLatchMode().getCode(),
          sorted(subdomain->getLaunchLeafSet()), sorted(subdomain->getLatchLeafSet()));
    views.emplace_back(domain->getLaunchRoot(), domain->getLatchRoot(), subviews);
  }
  return views;
}

unsigned long loopsReported(const std::string& text, const std::string& phrase) {
  const std::string tail = " detected during " + phrase + ".";
  auto end = text.find(tail);
  if (end == std::string::npos) return 0;
  auto start = text.rfind("Warning: ", end) + 9;
  return std::stoul(text.substr(start, end - start));
}

TEST_F(DomainCreationTest, ScansMatchTheirRecursiveDefinitionOnRandomDesigns) {
  // What the designs exercised, over all seeds.
  unsigned long clockLoops = 0, dataLoops = 0, remarks = 0, subdomains = 0;
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Support::RandomDesign design(seed, 4 + seed % 7, 6 + seed % 13);

    ClockReference clockReference;
    const ClockMap expectedClocks = clockReference.run();
    DataReference dataReference(expectedClocks);
    dataReference.run();

    _console.clear();
    ClockMap clockMap;
    analyzer->scanClocks(clockMap);
    EXPECT_EQ(clockMap, expectedClocks);
    EXPECT_EQ(loopsReported(output(), "clock paths analysis"), clockReference.loops);
    std::string expectedRemarks;
    for (const std::string& remark : clockReference.remarks)
      expectedRemarks += "Remark: " + remark + "\n";
    std::string printedRemarks;
    std::istringstream lines(output());
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("Remark: ", 0) == 0) printedRemarks += line + "\n";
    EXPECT_EQ(printedRemarks, expectedRemarks);

    _console.clear();
    if (dataReference.fatal) {
      EXPECT_THROW(analyzer->scanData(clockMap), Orvek::Fatal);
    } else {
      analyzer->scanData(clockMap);
      EXPECT_EQ(loopsReported(output(), "data domain analysis"), dataReference.loops);
      EXPECT_EQ(actualDomains(), expectedDomains(dataReference.captures));
    }
    clockLoops += clockReference.loops;
    dataLoops += dataReference.loops;
    remarks += clockReference.remarks.size();
    for (Domain* domain : analyzer->getDomains()) subdomains += domain->getSubdomains().getCount();
    analyzer->destroy();
    Analyzer::create();
  }
  EXPECT_GT(clockLoops, 0u);
  EXPECT_GT(dataLoops, 0u);
  EXPECT_GT(remarks, 0u);
  EXPECT_GT(subdomains, 300u);
}

TEST_F(DomainCreationTest, AnInputPortWithAClockModeLaunchesAsAnInput) {
  // An input port whose mode is Rising is both an input and a clock pole:
  // it launches under its input delay's clock, like any input port.
  Pole* clk = clock("clk");
  Pole* other = clock("other");
  Pole* in = port("in");
  in->setMode(Mode(Mode::Rising));
  Pole::createDual("in");
  analyzer->setInputConstraint(in, IOConstraint(other, Mode(Mode::Falling), Delay(1), Delay(2)));
  Register ff = flop("ff");
  wire(clk, ff.clock);
  arc(in, ff.data);

  ClockReference clockReference;
  const ClockMap expectedClocks = clockReference.run();
  DataReference dataReference(expectedClocks);
  dataReference.run();
  ClockMap clockMap;
  analyzer->scanClocks(clockMap);
  ASSERT_EQ(clockMap, expectedClocks);
  analyzer->scanData(clockMap);
  EXPECT_EQ(actualDomains(), expectedDomains(dataReference.captures));
  EXPECT_EQ(domainNames(), (std::vector<std::string>{"other to clk"}));
}

}  // namespace
