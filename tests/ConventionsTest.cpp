// The two rule sets on paths no clock edge times, then random small designs
// under SDC conventions against a reference that enumerates every path and
// every pair of clock edges over the common period.

#include <Morva/Archive.h>
#include <Morva/Domain.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>

#include "Support.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <tuple>

using namespace Morva;

namespace {

// A listed path: "subdomain|source>endpoint|slack", the endpoint being the
// data pin of a register's check or an output port.
std::string describe(const Route& route, const std::string& slack) {
  const Pole* target = route.getTarget();
  const Pole* end = target->isDual() ? route.getEdgeList().back()->getSource() : target;
  return route.getSubdomain()->getName() + "|" + route.getSource()->getName() + ">" +
         end->getName() + "|" + slack;
}

class ConventionsTest : public Support::AnalyzerFixture {
 protected:
  // Analyses `text` afresh under `conventions` and lists the `count` worst
  // paths of each subdomain of the kind asked for, sorted.
  std::vector<std::string> analyze(const std::string& text, Conventions conventions, bool longest,
                                   unsigned long count = 1000) {
    load(text, conventions);
    analyzer->launch(analyzer->getDomains(), false, false, true, true, count, Delay::getMaximum(),
                     Delay::getMaximum());
    std::vector<std::string> lines;
    for (Domain* domain : analyzer->getDomainSet())
      for (Subdomain* subdomain : domain->getSubdomainSet())
        for (Route* route :
             longest ? subdomain->getLongestRoutes() : subdomain->getShortestRoutes())
          lines.push_back(describe(*route, subdomain->getSlackLabel(*route)));
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  // A fresh analyzer under `conventions` with the design and its domains.
  void load(const std::string& text, Conventions conventions) {
    analyzer->destroy();
    Analyzer::create();
    analyzer->setConventions(conventions);
    Archive(_directory.writeFile("design.morva", text)).load();
    analyzer->createDomains();
    analyzer->achieveConstrainedPaths();
  }

  Support::TempDir _directory{"conventions"};
  Support::ConsoleCapture _console;
};

TEST_F(ConventionsTest, PathsNoClockEdgeTimesAreUnconstrained) {
  // A port without IO delay into r1, and two asynchronous clocks.
  const std::string design = R"(
POLE ckA None Primary
POLE ckB None Primary
POLE in None Primary
POLE a/CK Rising None
POLE a/D None None
POLE a/Q None None
POLE b/CK Rising None
POLE b/D None None
EDGE ckA a/CK Interconnect 0 0
EDGE ckB b/CK Interconnect 0 0
EDGE in a/D Interconnect 70 80
EDGE a/D a/CK SetupHold 10 20
EDGE a/CK a/Q IOPath 100 100
EDGE a/Q b/D Interconnect 300 300
EDGE b/D b/CK SetupHold 10 20
CREATE_CLOCK ckA -name A -period 1000 -rising 0 -falling 500
CREATE_CLOCK ckB -name B -period 3000 -rising 0 -falling 1500
CREATE_CLOCK_GROUPS -asynchronous -group A -group B
)";
  EXPECT_EQ(analyze(design, Conventions::Literal, false),
            (std::vector<std::string>{"A:Rising to B:Rising|a/CK>b/D|390ps",
                                      "Input to A:Rising|in>a/D|60ps"}));
  EXPECT_EQ(analyze(design, Conventions::Sdc, false),
            (std::vector<std::string>{"A:Rising to B:Rising|a/CK>b/D|unconstrained",
                                      "Input to A:Rising|in>a/D|unconstrained"}));
  for (Domain* domain : analyzer->getDomainSet()) EXPECT_FALSE(domain->isTimed());
  _console.clear();
  analyzer->reportDomains(false);
  EXPECT_NE(_console.text().find("unconstrained"), std::string::npos) << _console.text();
  // With a limit they have no slack to compare: nothing is searched.
  for (const Delay& limit : {Delay(5000), Delay::getMaximum()}) {
    load(design, Conventions::Sdc);
    Domain* crossing = analyzer->getDomain("A", "B");
    ASSERT_NE(crossing, nullptr);
    crossing->clockAnalyze();
    crossing->arrivalAnalyze();
    crossing->requireAnalyze();
    crossing->searchShortestRoutes(Delay::getMaximum(), limit, 5);
    std::size_t found = 0;
    for (Subdomain* subdomain : crossing->getSubdomainSet())
      found += subdomain->getShortestRouteSet().size();
    EXPECT_EQ(found, limit == Delay::getMaximum() ? 1u : 0u);
  }
}

// ---- Random designs under SDC conventions against a brute-force reference ----

// A small random design: clocks of unequal periods, registers on either
// edge, input and output ports with IO delays, a combinational DAG between
// them, a multicycle path and a false path. `text` is its archive, and the
// reference lists every path with its setup and hold slack, computed from
// every pair of clock edges over the common period.
class RandomDesign {
 public:
  explicit RandomDesign(unsigned seed) : _random(seed) { make(); }

  const std::string& text() const { return _text; }
  // Every path of one kind as `describe` writes it, sorted.
  std::vector<std::string> reference(bool longest) const {
    std::vector<std::string> lines;
    for (const Path& path : _paths)
      if (!path.cut)
        lines.push_back(path.subdomain + "|" + path.source + ">" + path.end + "|" +
                        Delay(longest ? path.setup : path.hold)._getLabel());
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  // The `count` worst slacks of one kind per subdomain, sorted.
  std::vector<std::string> worst(bool longest, std::size_t count) const {
    std::map<std::string, std::vector<int>> slacks;
    for (const Path& path : _paths)
      if (!path.cut) slacks[path.subdomain].push_back(longest ? path.setup : path.hold);
    std::vector<std::string> lines;
    for (auto& [subdomain, values] : slacks) {
      std::sort(values.begin(), values.end());
      for (std::size_t at = 0; at < std::min(count, values.size()); ++at)
        lines.push_back(subdomain + "|" + Delay(values[at])._getLabel());
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }

 private:
  struct Clock {
    std::string name;
    int period, falling;
  };
  // A start or end point: its clock, edge and the (min, max) time its
  // clock arc or IO delay adds.
  struct Point {
    std::string name;
    int clock;
    bool falling;
    int minimum, maximum;
  };
  struct Arc {
    int target;
    int minimum, maximum;
  };
  struct Path {
    std::string subdomain, source, end;
    int setup, hold;
    bool cut;
  };

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(_random); }

  void edge(const std::string& from, const std::string& to, const char* purpose, int minimum,
            int maximum) {
    _text += "EDGE " + from + " " + to + " " + purpose + " " + std::to_string(minimum) + " " +
             std::to_string(maximum) + "\n";
  }

  void make() {
    const int periods[] = {4000, 5000, 6000, 10000, 12000};
    const int clocks = pick(1, 3);
    for (int index = 0; index < clocks; ++index) {
      const int period = periods[pick(0, 4)];
      _clocks.push_back({"c" + std::to_string(index), period, period / 10 * pick(3, 6)});
      _text += "POLE ck" + std::to_string(index) + " None Primary\n";
    }
    // Nodes of the data graph: starts (register outputs, inputs), then
    // gates, then ends (register data pins, outputs), each a pole.
    const int registers = pick(2, 5);
    const int inputs = pick(1, 2);
    const int outputs = pick(1, 2);
    const int gates = pick(2, 6);
    std::vector<Point> launches, captures;
    std::vector<std::string> nodes;
    for (int index = 0; index < registers; ++index) {
      const std::string name = "r" + std::to_string(index);
      const bool falling = pick(0, 3) == 0;
      const int clock = pick(0, clocks - 1);
      const int minimum = pick(0, 60);
      const int maximum = minimum + pick(0, 40);
      _text += "POLE " + name + "/CK " + (falling ? "Falling" : "Rising") + " None\nPOLE " + name +
               "/D None None\nPOLE " + name + "/Q None None\n";
      edge("ck" + std::to_string(clock), name + "/CK", "Interconnect", minimum, maximum);
      const int hold = pick(0, 30);
      _checks.push_back({hold, hold + pick(0, 50)});
      edge(name + "/D", name + "/CK", "SetupHold", _checks.back().first, _checks.back().second);
      const int clockToOutput = pick(50, 150);
      _clockToOutput.push_back({clockToOutput, clockToOutput + pick(0, 50)});
      edge(name + "/CK", name + "/Q", "IOPath", _clockToOutput.back().first,
           _clockToOutput.back().second);
      launches.push_back({name, clock, falling, minimum, maximum});
      captures.push_back({name, clock, falling, minimum, maximum});
      nodes.push_back(name + "/Q");
    }
    for (int index = 0; index < inputs; ++index) {
      const std::string name = "in" + std::to_string(index);
      const int clock = pick(0, clocks - 1);
      const int minimum = pick(0, 500);
      const int maximum = minimum + pick(0, 800);
      _text += "POLE " + name + " None Primary\n";
      _delays += "SET_INPUT_DELAY -clock ck" + std::to_string(clock) + " -min " +
                 std::to_string(minimum) + " -max " + std::to_string(maximum) + " -port " + name +
                 "\n";
      launches.push_back({name, clock, false, minimum, maximum});
      nodes.push_back(name);
    }
    for (int index = 0; index < gates; ++index) {
      nodes.push_back("g" + std::to_string(index));
      _text += "POLE " + nodes.back() + " None None\n";
    }
    const std::size_t firstEnd = nodes.size();
    for (int index = 0; index < registers; ++index)
      nodes.push_back("r" + std::to_string(index) + "/D");
    for (int index = 0; index < outputs; ++index) {
      const std::string name = "out" + std::to_string(index);
      const int clock = pick(0, clocks - 1);
      const int minimum = pick(-100, 300);
      const int maximum = minimum + pick(0, 900);
      _text += "POLE " + name + " None Primary\n";
      _delays += "SET_OUTPUT_DELAY -clock ck" + std::to_string(clock) + " -min " +
                 std::to_string(minimum) + " -max " + std::to_string(maximum) + " -port " + name +
                 "\n";
      captures.push_back({name, clock, false, minimum, maximum});
      nodes.push_back(name);
    }
    // Arcs only from a node to a later one: a DAG, every end driven once
    // or twice, every gate driving something later.
    const std::size_t firstGate = registers + inputs;
    _arcs.assign(nodes.size(), {});
    for (std::size_t target = firstGate; target < nodes.size(); ++target) {
      const std::size_t drivers = target < firstEnd ? pick(1, 2) : pick(1, 2);
      for (std::size_t count = 0; count < drivers; ++count) {
        const std::size_t limit = std::min(target, firstEnd) - 1;
        const std::size_t source = pick(0, static_cast<int>(limit));
        const bool known = std::any_of(_arcs[source].begin(), _arcs[source].end(),
                                       [&](const Arc& arc) { return arc.target == int(target); });
        if (known) continue;
        const int minimum = pick(10, 400);
        const int maximum = minimum + pick(0, 1500);
        _arcs[source].push_back({static_cast<int>(target), minimum, maximum});
        edge(nodes[source], nodes[target], "Interconnect", minimum, maximum);
      }
    }
    for (int index = 0; index < clocks; ++index)
      _text += "CREATE_CLOCK ck" + std::to_string(index) + " -name c" + std::to_string(index) +
               " -period " + std::to_string(_clocks[index].period) + " -rising 0 -falling " +
               std::to_string(_clocks[index].falling) + "\n";
    // The IO delays need the ports' edges.
    _text += _delays;
    // Exceptions between registers: a multicycle path and a false path in
    // one of the SDC forms.
    const int cycles = pick(2, 3);
    const int fromCycle = pick(0, registers - 1), toCycle = pick(0, registers - 1);
    _text += "MULTICYCLE_PATH " + std::to_string(cycles) + " -from r" + std::to_string(fromCycle) +
             "/CK -to r" + std::to_string(toCycle) + "/CK\n";
    const int form = pick(0, 4);
    const int fromCut = pick(0, registers - 1), toCut = pick(0, registers - 1);
    const std::string cutFrom = "r" + std::to_string(fromCut) + "/CK";
    const std::string cutTo = "r" + std::to_string(toCut);
    const std::string forms[] = {"-from " + cutFrom, "-to " + cutTo + "/CK", "-to " + cutTo + "/D",
                                 "-from " + cutFrom + " -to " + cutTo + "/CK", "-from in0"};
    _text += "FALSE_PATH " + forms[form] + "\n";

    // Every path from every start to every end, depth first.
    for (std::size_t start = 0; start < launches.size(); ++start) {
      const bool isRegister = int(start) < registers;
      std::vector<std::tuple<int, int, int>> stack{{static_cast<int>(start),
                                                    isRegister ? _clockToOutput[start].first : 0,
                                                    isRegister ? _clockToOutput[start].second : 0}};
      while (!stack.empty()) {
        const auto [node, minimum, maximum] = stack.back();
        stack.pop_back();
        if (node >= int(firstEnd)) {
          const int end = node - int(firstEnd);
          const bool cut = (form == 0 && isRegister && int(start) == fromCut) ||
                           ((form == 1 || form == 2) && end == toCut) ||
                           (form == 3 && isRegister && int(start) == fromCut && end == toCut) ||
                           (form == 4 && int(start) == registers);
          const bool multicycle = isRegister && int(start) == fromCycle && end == toCycle;
          addPath(launches[start], captures[end], end < registers, minimum, maximum,
                  multicycle ? cycles : 1, cut, end < registers ? _checks[end] : std::pair{0, 0});
          continue;
        }
        for (const Arc& arc : _arcs[node])
          stack.emplace_back(arc.target, minimum + arc.minimum, maximum + arc.maximum);
      }
    }
  }

  // The slacks of one path from `launch` to `capture` with data delays
  // (minimum, maximum), against the closest edges over the common period.
  void addPath(const Point& launch, const Point& capture, bool toRegister, int minimum, int maximum,
               int cycles, bool cut, std::pair<int, int> check) {
    const Clock& from = _clocks[launch.clock];
    const Clock& to = _clocks[capture.clock];
    const int common = std::gcd(from.period, to.period);
    const int distance = (capture.falling ? to.falling : 0) - (launch.falling ? from.falling : 0);
    // The smallest positive distance from a launch edge to a latch edge:
    // the edges of one clock repeat with its period, so distances between
    // the two repeat with the gcd; walk them all over the common period.
    int setup = 0;
    const long common_period =
        std::lcm(static_cast<long>(from.period), static_cast<long>(to.period));
    long best = common_period + 1;
    for (long launchAt = 0; launchAt < common_period; launchAt += from.period)
      for (long latchAt = 0; latchAt < 2 * common_period; latchAt += to.period) {
        const long gap = latchAt + distance + (launch.falling ? 0 : 0) - launchAt;
        if (gap > 0 && gap < best) best = gap;
      }
    setup = static_cast<int>(best);
    const int hold = setup - common;
    // A register's clock arc frames the data; a port's IO delay does it
    // for a port (an output delay is required before the capture edge).
    const bool outputPort = !toRegister;
    const int captureEarly = outputPort ? -capture.maximum : capture.minimum;
    const int captureLate = outputPort ? -capture.minimum : capture.maximum;
    const int setupSlack =
        setup + (cycles - 1) * to.period + captureEarly - (launch.maximum + maximum) - check.second;
    const int holdSlack = (launch.minimum + minimum) - captureLate - check.first - hold;
    const std::string edge = launch.falling ? "Falling" : "Rising";
    const std::string latch = capture.falling ? "Falling" : "Rising";
    const std::string end = toRegister ? capture.name + "/D" : capture.name;
    _paths.push_back({from.name + ":" + edge + " to " + to.name + ":" + latch,
                      launch.name.starts_with("in") ? launch.name : launch.name + "/CK", end,
                      setupSlack, holdSlack, cut});
  }

  std::mt19937 _random;
  std::string _text;
  std::string _delays;
  std::vector<Clock> _clocks;
  std::vector<std::pair<int, int>> _checks;
  std::vector<std::pair<int, int>> _clockToOutput;
  std::vector<std::vector<Arc>> _arcs;
  std::vector<Path> _paths;
};

TEST_F(ConventionsTest, RandomDesignsMatchEveryPathAndEveryEdgePair) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    const RandomDesign design(seed);
    SCOPED_TRACE(testing::Message() << "seed " << seed << "\n" << design.text());
    for (const bool longest : {true, false}) {
      ASSERT_EQ(analyze(design.text(), Conventions::Sdc, longest), design.reference(longest));
      // The N worst of each subdomain are the N worst there are.
      std::vector<std::string> kept;
      for (const std::string& line : analyze(design.text(), Conventions::Sdc, longest, 2))
        kept.push_back(line.substr(0, line.find('|')) + line.substr(line.rfind('|')));
      std::sort(kept.begin(), kept.end());
      EXPECT_EQ(kept, design.worst(longest, 2));
    }
  }
}

}  // namespace
